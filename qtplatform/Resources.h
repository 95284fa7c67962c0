// The program's resources by their designed ids: menus, toolbars with their
// button order, accelerators, and the images drawn for Brenvik (res/, made
// by scripts/resources/draw-resources.py).
#pragma once
#include "KeyRouter.h"
#include "platform/Win.h"

#include <QCursor>
#include <QIcon>
#include <QPixmap>

#include <span>

// Command ids used by the application shell.
namespace cmd {
constexpr plat::UINT FileNew = 32902, FileOpen = 32901, FileSave = 32903, FileSaveAs = 57604, FileClose = 57602,
                     FileImport = 32784, FilePrint = 57607,
                     FilePrintPreview = 57609, FilePrintSetup = 57606, FileMru1 = 57616, FileMru4 = 57619,
                     AppExit = 57665, WindowNew = 57648, WindowArrange = 57649, WindowCascade = 57650,
                     WindowTile = 57651, AppAbout = 57664, Help = 32916, ViewToolbar = 59392,
                     ViewStatusBar = 59393, PalettePage1 = 1000, PalettePage2 = 1001, EditUndo = 32907,
                     EditRedo = 32906, EditCut = 32904, EditCopy = 32905, EditPaste = 32908,
                     EditSelectAll = 57642;
}

// One toolbar button: its command and its image in the toolbar's strip (-1:
// none, the place of a control); a command of 0 is a separator.
struct ToolbarButton {
    plat::UINT id;
    int image;
};

// Buttons of a toolbar resource (128, 130, 180, 189, 196, 210, 238); empty
// for any other id.
std::span<const ToolbarButton> ToolbarButtons(int toolbarId);
// Image of a toolbar's strip, 16 x 15 pixels; null when there is none.
QPixmap ToolbarImage(int toolbarId, int image);

// Bitmaps 217, 220, 260 and 262 to 271; null for any other id.
QPixmap BitmapResource(int id);
// Icons 128 (the program's, 16 and 32 pixels), 228, 229, 230 and the
// transform handles 243 to 248 (16 pixels),
// and, 32 pixels, 137 and 138 (the palette bar's pages), 202 to 205 and 234
// (the arrows of the jog buttons); an empty icon for any other id.
QIcon IconResource(int id);

// Cursors 159 (zoom), 249 (node tool arrow), 250 (over a segment), 251
// (over a node) and 261 (pan hand); the standard arrow for any other id.
QCursor CursorResource(int id);

// One menu item. Level 0 opens a top-level menu, level 1 is an item in it;
// an item with id 0 is a separator. `accel` is the key shown beside the text
// (the accelerator table does the work); `bitmap` the item's mark, 0 for none.
struct MenuItemResource {
    int level;
    plat::UINT id;
    const char16_t* text;
    const char16_t* accel;
    int bitmap;
};

// Menu 128 (the frame's, while no document is open), 129 (a document's),
// and the context menus 171, 214 and 231 (one popup each); empty for any
// other id.
std::span<const MenuItemResource> MenuResource(int menuId);

// Accelerators of the main window: the designed ones, followed by the
// platform's standard keys of Save, Save As, Redo, Select All, Close and
// Quit where the design gives them none and no designed key is the same.
std::span<const Accelerator> AcceleratorTable();
// The added standard key of a command as the platform writes it (for its
// menu item); empty when none was added.
QString StandardKeyText(plat::UINT id);
