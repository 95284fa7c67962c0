// The removal itself, apart from the dialog: the places an edition left
// things are worked out from the environment's values, every one is checked
// before anything is deleted, and the outcome is reported item by item.
#pragma once
#include "uninstall/Edition.h"

#include <string>
#include <vector>

// The environment values the places derive from. An unset variable is
// represented by an empty string, as an empty one is treated the same way.
struct UninstallEnv {
    std::string home;          // $HOME
    std::string xdgDataHome;   // $XDG_DATA_HOME
    std::string xdgConfigHome; // $XDG_CONFIG_HOME
    std::string programFolder; // folder of the running program
};

// Reads HOME and the two XDG variables of this process; the program folder is
// left to the caller.
UninstallEnv EnvironmentOfProcess();

// Where the edition's items are.
struct UninstallBases {
    std::string startMenuFolder; // <data>/applications/<Edition>
    std::string settingsFile;    // <config>/Halvoren/<Edition>.conf
    std::string settingsFolder;  // <config>/Halvoren/<Edition>
    std::string programFolder;   // the program's own folder
    // Bases that could not be trusted, each named in a line of its own;
    // when not empty nothing may be deleted.
    std::vector<std::string> refused;
};

UninstallBases ComputeBases(const UninstallEnv& env, const EditionData& edition);

struct UninstallReport {
    bool refused = false;               // a base was refused: nothing was touched
    std::vector<std::string> refusedBases;
    std::vector<std::string> notRemoved; // items that exist and could not be removed
    bool Complete() const { return !refused && notRemoved.empty(); }
};

// Removes the edition's items: the Start-menu folder (never following a link,
// a link is removed as a link), the settings file and folder, and the listed
// files in the program folder (files and links only). Goes on past a failure;
// a missing item is no failure.
UninstallReport RunUninstall(const UninstallBases& bases, const EditionData& edition);

// The text shown for a report.
std::string ReportText(const UninstallReport& report);
