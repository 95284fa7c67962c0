// The plug-in proper: the menu group "Vuvuv Avezuv" with "Export" and
// "About", and the export of the open document into the work folder.
//
// Export, every step only after the one before succeeded, the first error
// ending it (files written by then stay; the main program is not started):
//  1. the current document;
//  2. every layer's art tree walked: placed and raster images become
//     0.bmp, 1.bmp, ... in the work folder, text frames become outlines;
//  3. the document saved as work folder + "default.ai" by the save action;
//  4. the hand-over list work folder + "cor.param" (WriteParamFile);
//  5. the main program `brenvik` started from the install folder.
//
// The install folder is the environment variable BRENVIK_INSTALL_FOLDER, else
// the folder fixed when the plug-in was built; workPath.txt there names the
// work folder by the main program's rule, so both use the same folder.
#pragma once
#include "Plugin.h"

#include <string>
#include <vector>

class QorPlugin : public Plugin {
public:
    // One exported image: its file name in the work folder and the bounds of
    // the raster made from it, in points.
    struct BitmapEntry {
        std::string m_name;
        float m_left = 0.0f;
        float m_top = 0.0f;
        float m_right = 0.0f;
        float m_bottom = 0.0f;
    };

    explicit QorPlugin(const PluginMessage& message);
    ~QorPlugin() override = default;

    // Start-up of the base, then the menus and the work folder (kErrNoWorkFolder
    // when workPath.txt is missing or its first line is empty).
    HostErr StartupPlugin() override;
    HostErr GoMenuItem(const PluginMessage& message) override;
    HostErr UpdateMenuItem(const PluginMessage& message) override;

    // Rebuilds the object that lives at `memory` in place with this code, for
    // a "Reload": what the host handed out and the suites' state stay; the
    // work folder and the bitmap list become empty.
    static QorPlugin* RebuildInPlace(void* memory);

    // Writes the hand-over list to `path` in one step: the document's file
    // name, the drawing's extent and one entry per exported bitmap, CR LF
    // lines, millimetres from the document origin. 0, the first host error
    // (then no file is touched) or kErrWrite.
    HostErr WriteParamFile(const std::string& path);

    // The folder the plug-in reads workPath.txt from and starts the program
    // from, ending in '/'.
    static std::string InstallFolder();

private:
    QorPlugin(const Kept& kept, MenuItemHandle exportItem, MenuItemHandle aboutItem);

    HostErr AddMenus();
    HostErr ReadWorkFolder();
    HostErr Export();
    HostErr About();
    HostErr ExportArt();
    HostErr OutlineText(ArtHandle frame);
    HostErr ExportBitmap(ArtHandle art);
    HostErr WriteRasterBmp(ArtHandle raster, const std::string& path);
    HostErr SaveDocument();
    HostErr UnionArtBounds(HostRect& extent);
    HostErr StartProgram();

    MenuItemHandle m_exportItem = nullptr;
    MenuItemHandle m_aboutItem = nullptr;
    std::string m_workFolder; // ends in '/'; empty until read
    std::int32_t m_bitmapCount = 0;
    std::vector<BitmapEntry> m_bitmaps;
};
