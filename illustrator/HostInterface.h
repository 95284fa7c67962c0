// What the Illustrator plug-in asks of its host, and the record each message
// of the host carries.
//
// The host reaches the plug-in through one exported function, PluginMain
// (caller, selector, message). Every host call the plug-in makes is one
// method of IHost, grouped by the suite it belongs to; each returns the
// host's result, 0 for success or a four-character error code, and fills its
// out-parameters only on success. The plug-in acquires a suite by name and
// version before it calls any method of that suite, and calls none after it
// has released it.
//
// Geometry is in host points (1/72 inch) with y growing upward; raster pixel
// areas have y growing downward. Texts are UTF-8.
#pragma once
#include <cstdint>
#include <string>

using HostErr = std::int32_t;

// Four characters packed into 32 bits, the first in the highest byte.
constexpr std::uint32_t FourChar(const char (&c)[5])
{
    return (std::uint32_t(std::uint8_t(c[0])) << 24) | (std::uint32_t(std::uint8_t(c[1])) << 16) |
           (std::uint32_t(std::uint8_t(c[2])) << 8) | std::uint32_t(std::uint8_t(c[3]));
}
constexpr HostErr FourCharErr(const char (&c)[5])
{
    return HostErr(FourChar(c));
}

// The plug-in's own error codes.
constexpr HostErr kErrNoMemory = FourCharErr("!MEM");     // the plug-in object could not be made
constexpr HostErr kErrNoWorkFolder = FourCharErr("!wpt"); // workPath.txt missing or empty
constexpr HostErr kErrUnhandled = FourCharErr("!MSG");    // nothing handles the message (never answered)
constexpr HostErr kErrWrite = FourCharErr("!wrt");        // a file of the hand-over could not be written
constexpr HostErr kErrExec = FourCharErr("!exe");         // the main program could not be started

// Opaque references the host hands out; the plug-in only passes them back.
struct HostPluginRef_;
struct HostAccessRef_;
struct HostNotifier_;
struct HostMenuItem_;
struct HostMenuGroup_;
struct HostDocument_;
struct HostLayer_;
struct HostArt_;
struct HostArtSet_;
struct HostActionParams_;
using PluginRef = HostPluginRef_*;
using AccessRef = HostAccessRef_*;
using NotifierHandle = HostNotifier_*;
using MenuItemHandle = HostMenuItem_*;
using MenuGroupHandle = HostMenuGroup_*;
using DocumentHandle = HostDocument_*;
using LayerHandle = HostLayer_*;
using ArtHandle = HostArt_*;
using ArtSetHandle = HostArtSet_*;
using ActionParamsHandle = HostActionParams_*;

struct HostPoint {
    float h = 0.0f;
    float v = 0.0f;
};

// Bounds in points, y up: top >= bottom for a box with extent.
struct HostRect {
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;
};

// A pixel area of a raster, y down: width right - left, height bottom - top.
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct RasterRecord {
    PixelRect m_bounds;
};

// The rasterizer's settings, in the order the host reads them.
struct RasterizeSettings {
    std::int32_t m_type = 0;
    double m_resolution = 0.0; // pixels per inch
    std::int32_t m_antialiasing = 0;
    std::int32_t m_options = 0;
    std::int32_t m_colorConversion = 0;
    std::int32_t m_spotColors = 0;
};

struct PathStyle {
    std::uint8_t m_fillPaint = 0;   // the shape is filled
    std::uint8_t m_strokePaint = 0; // the outline is stroked
    float m_strokeWidth = 0.0f;
};

// Art types.
constexpr std::int16_t kArtGroup = 1;
constexpr std::int16_t kArtPath = 2;
constexpr std::int16_t kArtCompoundPath = 3;
constexpr std::int16_t kArtPlaced = 7;
constexpr std::int16_t kArtRaster = 9;
constexpr std::int16_t kArtTextFrame = 12;

// Art attributes that keep an art out of the drawing's extent.
constexpr std::int32_t kArtHidden = 0x4;
constexpr std::int32_t kArtExcluded = 0x1000;

// Where new art goes relative to the art given with it.
constexpr std::int32_t kPlaceAbove = 1;

// Menu item option: the host sends "AI Update" before it shows the item.
constexpr std::int32_t kMenuItemWantsUpdate = 1;

class IHost {
public:
    virtual ~IHost() = default;

    // Suites by name and version.
    virtual HostErr AcquireSuite(const char* name, std::int32_t version) = 0;
    virtual HostErr ReleaseSuite(const char* name, std::int32_t version) = 0;

    // "SP Access Suite": keeps the plug-in in memory.
    virtual HostErr AccessAcquirePlugin(PluginRef plugin, AccessRef* access) = 0;

    // "SP Plug-ins Suite"
    virtual HostErr PluginsSetPluginName(PluginRef plugin, const char* name) = 0;

    // "AI Notifier Suite"
    virtual HostErr NotifierAddNotifier(PluginRef plugin, const char* name, const char* type,
                                        NotifierHandle* notifier) = 0;

    // "ADM Basic Suite": entry `index` (from 0) of the plug-in's indexed string
    // list `listId` (an error past the last entry); the error alert; a message
    // box with a caption.
    virtual HostErr BasicGetIndexString(PluginRef plugin, std::int32_t listId, std::int32_t index,
                                        std::string& text) = 0;
    virtual HostErr BasicErrorAlert(const char* text) = 0;
    virtual HostErr BasicMessageBox(const char* caption, const char* text) = 0;

    // "AI User Suite"
    virtual HostErr UserMessageAlert(const char* text) = 0;

    // "AI Menu Suite". Groups and items are named; an item hangs in the group
    // named `group`.
    virtual HostErr MenuCountMenuGroups(std::int32_t* count) = 0;
    virtual HostErr MenuGetNthMenuGroup(std::int32_t n, MenuGroupHandle* group) = 0;
    virtual HostErr MenuGetMenuGroupName(MenuGroupHandle group, std::string& name) = 0;
    virtual HostErr MenuAddMenuItem(PluginRef plugin, const char* name, const char* group, const char* text,
                                    std::int32_t options, MenuItemHandle* item) = 0;
    virtual HostErr MenuAddMenuGroupAsSubMenu(const char* name, std::int32_t options, MenuItemHandle parent,
                                              MenuGroupHandle* group) = 0;
    virtual HostErr MenuEnableItem(MenuItemHandle item) = 0;
    virtual HostErr MenuDisableItem(MenuItemHandle item) = 0;

    // "AI Document Suite": the current document (an error when none is
    // open), its origin and the file it was last saved as.
    virtual HostErr DocumentGetDocument(DocumentHandle* document) = 0;
    virtual HostErr DocumentGetOrigin(HostPoint* origin) = 0;
    virtual HostErr DocumentGetFileSpecification(std::string& path) = 0;

    // "AI File Path Suite": the file name of a path, without its folder.
    virtual HostErr FilePathGetFileName(const std::string& path, std::string& name) = 0;

    // "AI Action Manager Suite": a parameter block of keyed values and the
    // playing of a recorded action with it.
    virtual HostErr ActionNewParams(ActionParamsHandle* params) = 0;
    virtual HostErr ActionSetString(ActionParamsHandle params, std::uint32_t key, const char* value) = 0;
    virtual HostErr ActionSetInteger(ActionParamsHandle params, std::uint32_t key, std::int32_t value) = 0;
    virtual HostErr ActionSetBoolean(ActionParamsHandle params, std::uint32_t key, bool value) = 0;
    virtual HostErr ActionPlayEvent(const char* event, bool showDialog, ActionParamsHandle params) = 0;
    virtual HostErr ActionDeleteParams(ActionParamsHandle params) = 0;

    // "AI Layer Suite"
    virtual HostErr LayerCountLayers(std::int32_t* count) = 0;
    virtual HostErr LayerGetNthLayer(std::int32_t n, LayerHandle* layer) = 0;
    virtual HostErr LayerGetVisible(LayerHandle layer, bool* visible) = 0;

    // "AI Art Suite". Children are listed from the topmost down; a null
    // sibling or child ends a list.
    virtual HostErr ArtGetFirstArtOfLayer(LayerHandle layer, ArtHandle* art) = 0;
    virtual HostErr ArtGetFirstChild(ArtHandle art, ArtHandle* child) = 0;
    virtual HostErr ArtGetSibling(ArtHandle art, ArtHandle* sibling) = 0;
    virtual HostErr ArtGetType(ArtHandle art, std::int16_t* type) = 0;
    virtual HostErr ArtGetBounds(ArtHandle art, HostRect* bounds) = 0;
    virtual HostErr ArtGetTransformBounds(ArtHandle art, std::int32_t flags, HostRect* bounds) = 0;
    virtual HostErr ArtGetUserAttr(ArtHandle art, std::int32_t mask, std::int32_t* attr) = 0;
    virtual HostErr ArtReorder(ArtHandle art, std::int32_t paintOrder, ArtHandle prep) = 0;
    virtual HostErr ArtDispose(ArtHandle art) = 0;

    // "AI Text Frame Suite": a group of outlines of the frame's text, not yet
    // placed in the document.
    virtual HostErr TextFrameCreateOutline(ArtHandle frame, ArtHandle* outline) = 0;

    // "AI Path Style Suite"
    virtual HostErr PathStyleGet(ArtHandle path, PathStyle* style) = 0;
    virtual HostErr PathStyleSet(ArtHandle path, const PathStyle& style) = 0;

    // "AI Art Set Suite"
    virtual HostErr ArtSetNew(ArtSetHandle* set) = 0;
    virtual HostErr ArtSetAddArt(ArtSetHandle set, ArtHandle art) = 0;
    virtual HostErr ArtSetDispose(ArtSetHandle* set) = 0;

    // "AI Rasterize Suite": the bounds of a set's art, and a raster of the
    // set's art over `bounds` placed relative to `prep`.
    virtual HostErr RasterizeComputeArtBounds(ArtSetHandle set, HostRect* bounds) = 0;
    virtual HostErr RasterizeRasterize(ArtSetHandle set, const RasterizeSettings& settings, const HostRect& bounds,
                                       std::int32_t paintOrder, ArtHandle prep, ArtHandle* raster) = 0;

    // "AI Raster Suite": the raster's pixel area, and the pixels of part of
    // it, 4 bytes each, row r of `area` at dest + r x rowBytes.
    virtual HostErr RasterGetRecord(ArtHandle raster, RasterRecord* record) = 0;
    virtual HostErr RasterGetTile(ArtHandle raster, const PixelRect& area, std::uint8_t* dest,
                                  std::int64_t rowBytes) = 0;
};

// The record every message carries.
struct PluginMessage {
    IHost* m_host = nullptr;
    PluginRef m_plugin = nullptr;
    // The plug-in's object between messages: set by the plug-in at "Startup",
    // kept by the host and handed back with every later message.
    void* m_globals = nullptr;
    MenuItemHandle m_menuItem = nullptr; // "AI Menu": the item concerned
    NotifierHandle m_notifier = nullptr; // "AI Notifier": the notifier that fired
    // Milliseconds of a steady clock for the repeat limit of error alerts;
    // null: the system's steady clock.
    std::int64_t (*m_clockMs)() = nullptr;
};

// Callers and selectors of the messages the plug-in acts on.
inline constexpr const char* kCallerInterface = "SP Interface";
inline constexpr const char* kSelectorStartup = "Startup";
inline constexpr const char* kSelectorShutdown = "Shutdown";
inline constexpr const char* kCallerAccess = "SP Access";
inline constexpr const char* kSelectorReload = "Reload";
inline constexpr const char* kSelectorUnload = "Unload";
inline constexpr const char* kCallerCache = "SP Cache";
inline constexpr const char* kSelectorPurge = "Plug-in Purge";
inline constexpr const char* kCallerNotifier = "AI Notifier";
inline constexpr const char* kSelectorNotify = "AI Notify";
inline constexpr const char* kCallerMenu = "AI Menu";
inline constexpr const char* kSelectorGo = "AI Go";
inline constexpr const char* kSelectorUpdate = "AI Update";

// The plug-in's entry. Answers 0 or an error code; never throws.
using PluginMainFn = HostErr (*)(const char* caller, const char* selector, PluginMessage* message);
extern "C" __attribute__((visibility("default"))) HostErr PluginMain(const char* caller, const char* selector,
                                                                      PluginMessage* message);
