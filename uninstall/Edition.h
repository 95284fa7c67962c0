// What tells the two uninstallers apart: the edition's name, its button ids,
// the files its installer put beside the program and its About texts. One
// source serves both programs; each executable picks its column at compile
// time (see UninstallMain.cpp).
#pragma once
#include <string>
#include <vector>

struct EditionData {
    std::string name;              // Start-menu folder and settings name
    int uninstallId;               // control id of the Uninstall button
    int cancelId;                  // control id of the Cancel button
    std::vector<std::string> files; // deleted in the program folder, in order
    std::string aboutTitle;
    std::string aboutText;
    std::string aboutMenuText;     // the About item's text
};

const EditionData& PendrixEdition();
const EditionData& TarnwellEdition();

// Texts both programs share.
inline constexpr const char* kUninstallTitle = "卸载/Uninstall";
inline constexpr const char* kUninstallButton = "卸载/Uninstall";
inline constexpr const char* kCancelButton = "取消/Cancel";
inline constexpr const char* kAboutOk = "确定";
inline constexpr const char* kPathError = "Failed,Software installation path error!";
inline constexpr const char* kComplete = "Uninstall is complete!";
inline constexpr const char* kIncomplete = "Uninstall is incomplete! Not removed:";
