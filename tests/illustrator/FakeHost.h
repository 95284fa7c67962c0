// An Illustrator host in memory for the plug-in's tests and benchmark: one
// document of layers and art trees, menus, suites and the save action. It
// records the calls in order (when asked to), fails a chosen call with a
// chosen code, and notes every misuse: a call into a suite not held, and any
// use of a disposed or unknown art, art set or parameter block.
#pragma once
#include "illustrator/HostInterface.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace plat {

class FakeHost : public IHost {
public:
    struct Art {
        std::uint32_t m_id = 0;
        std::int16_t m_type = 0;
        HostRect m_bounds;
        std::int32_t m_attr = 0;
        bool m_disposed = false;
        Art* m_parent = nullptr;
        Art* m_first = nullptr; // topmost child
        Art* m_last = nullptr;
        Art* m_prev = nullptr;  // the sibling above
        Art* m_next = nullptr;  // the sibling below
        // Placed and raster images: the bounds of the raster made from them.
        HostRect m_rasterTo;
        // Text frames: the paths of their outlines.
        std::vector<HostRect> m_outlinePaths;
        // Rasters made by the rasterizer: their pixels and number (from 0).
        PixelRect m_pixels;
        int m_serial = -1;
        PathStyle m_style;
    };

    struct RasterizeCall {
        RasterizeSettings m_settings;
        HostRect m_bounds;
        std::uint32_t m_prep = 0;
    };

    struct MenuItem {
        std::string m_name;
        std::string m_group;
        std::string m_text;
        std::int32_t m_options = 0;
        int m_enabled = -1; // -1 never set, 0 disabled, 1 enabled
    };

    FakeHost();
    ~FakeHost() override;

    // --- the document ---
    // A layer; the result is its top group, to which its art is added.
    Art* AddLayer(bool visible);
    // Appends art below the last child of `parent`.
    Art* AddArt(Art* parent, std::int16_t type, HostRect bounds, std::int32_t attr = 0);
    ArtHandle Handle(const Art* art) const;
    Art* Find(std::uint32_t id);
    // The children of an art, topmost first.
    std::vector<Art*> Children(const Art* art) const;
    // Byte k of pixel (x, y) of the raster numbered `serial`.
    static std::uint8_t PixelByte(int serial, std::int32_t x, std::int32_t y, int k);

    bool m_hasDocument = true;
    HostPoint m_origin;
    std::string m_fileSpec = "/documents/Untitled-1.ai";
    // Copied by the save action to the file it names; empty: a short text.
    std::string m_saveSource;
    // Set: every raster is made with this pixel area.
    bool m_overridePixels = false;
    PixelRect m_pixelOverride;

    // --- menus, strings, suites ---
    std::vector<std::string> m_menuGroups{"Tool Palettes"};
    std::vector<MenuItem> m_menuItems;
    // The plug-in's indexed string list 16050, entry by entry.
    std::vector<std::string> m_errorStrings;
    // Loads the list from a file of "code<TAB>text" lines (# lines skipped).
    bool LoadErrorStrings(const std::string& path);
    // Acquiring this suite fails with `code`.
    void RefuseSuite(const std::string& name, HostErr code);

    // --- failures ---
    // Fails call number `index` (counted from 0 by CallCount) with `code`.
    void FailCall(std::int64_t index, HostErr code);
    // Fails the `occurrence`-th call (from 1) of the method `name` with `code`.
    void FailMethod(const std::string& name, HostErr code, int occurrence = 1);
    std::int64_t CallCount() const { return m_callCount; }

    // --- what happened ---
    bool m_record = true;              // record method names in m_calls
    std::vector<std::string> m_calls;  // method names in order
    std::vector<std::string> m_misuse; // one line per misuse
    std::vector<std::string> m_acquired; // "name version" in order of acquisition
    std::vector<std::string> m_released; // likewise of release
    std::string m_pluginName;
    std::vector<std::string> m_notifiers; // "name|type"
    int m_locks = 0;
    std::vector<std::string> m_errorAlerts;
    std::vector<std::string> m_messageBoxes; // "caption|text"
    std::vector<std::string> m_userAlerts;
    std::vector<std::string> m_saveParams; // "key=value" of the last action played
    std::vector<std::string> m_playedEvents;
    std::vector<RasterizeCall> m_rasterizeCalls;
    std::vector<std::int32_t> m_transformBoundsFlags;
    int m_computedSetBounds = 0;

    // IHost
    HostErr AcquireSuite(const char* name, std::int32_t version) override;
    HostErr ReleaseSuite(const char* name, std::int32_t version) override;
    HostErr AccessAcquirePlugin(PluginRef plugin, AccessRef* access) override;
    HostErr PluginsSetPluginName(PluginRef plugin, const char* name) override;
    HostErr NotifierAddNotifier(PluginRef plugin, const char* name, const char* type,
                                NotifierHandle* notifier) override;
    HostErr BasicGetIndexString(PluginRef plugin, std::int32_t listId, std::int32_t index,
                                std::string& text) override;
    HostErr BasicErrorAlert(const char* text) override;
    HostErr BasicMessageBox(const char* caption, const char* text) override;
    HostErr UserMessageAlert(const char* text) override;
    HostErr MenuCountMenuGroups(std::int32_t* count) override;
    HostErr MenuGetNthMenuGroup(std::int32_t n, MenuGroupHandle* group) override;
    HostErr MenuGetMenuGroupName(MenuGroupHandle group, std::string& name) override;
    HostErr MenuAddMenuItem(PluginRef plugin, const char* name, const char* group, const char* text,
                            std::int32_t options, MenuItemHandle* item) override;
    HostErr MenuAddMenuGroupAsSubMenu(const char* name, std::int32_t options, MenuItemHandle parent,
                                      MenuGroupHandle* group) override;
    HostErr MenuEnableItem(MenuItemHandle item) override;
    HostErr MenuDisableItem(MenuItemHandle item) override;
    HostErr DocumentGetDocument(DocumentHandle* document) override;
    HostErr DocumentGetOrigin(HostPoint* origin) override;
    HostErr DocumentGetFileSpecification(std::string& path) override;
    HostErr FilePathGetFileName(const std::string& path, std::string& name) override;
    HostErr ActionNewParams(ActionParamsHandle* params) override;
    HostErr ActionSetString(ActionParamsHandle params, std::uint32_t key, const char* value) override;
    HostErr ActionSetInteger(ActionParamsHandle params, std::uint32_t key, std::int32_t value) override;
    HostErr ActionSetBoolean(ActionParamsHandle params, std::uint32_t key, bool value) override;
    HostErr ActionPlayEvent(const char* event, bool showDialog, ActionParamsHandle params) override;
    HostErr ActionDeleteParams(ActionParamsHandle params) override;
    HostErr LayerCountLayers(std::int32_t* count) override;
    HostErr LayerGetNthLayer(std::int32_t n, LayerHandle* layer) override;
    HostErr LayerGetVisible(LayerHandle layer, bool* visible) override;
    HostErr ArtGetFirstArtOfLayer(LayerHandle layer, ArtHandle* art) override;
    HostErr ArtGetFirstChild(ArtHandle art, ArtHandle* child) override;
    HostErr ArtGetSibling(ArtHandle art, ArtHandle* sibling) override;
    HostErr ArtGetType(ArtHandle art, std::int16_t* type) override;
    HostErr ArtGetBounds(ArtHandle art, HostRect* bounds) override;
    HostErr ArtGetTransformBounds(ArtHandle art, std::int32_t flags, HostRect* bounds) override;
    HostErr ArtGetUserAttr(ArtHandle art, std::int32_t mask, std::int32_t* attr) override;
    HostErr ArtReorder(ArtHandle art, std::int32_t paintOrder, ArtHandle prep) override;
    HostErr ArtDispose(ArtHandle art) override;
    HostErr TextFrameCreateOutline(ArtHandle frame, ArtHandle* outline) override;
    HostErr PathStyleGet(ArtHandle path, PathStyle* style) override;
    HostErr PathStyleSet(ArtHandle path, const PathStyle& style) override;
    HostErr ArtSetNew(ArtSetHandle* set) override;
    HostErr ArtSetAddArt(ArtSetHandle set, ArtHandle art) override;
    HostErr ArtSetDispose(ArtSetHandle* set) override;
    HostErr RasterizeComputeArtBounds(ArtSetHandle set, HostRect* bounds) override;
    HostErr RasterizeRasterize(ArtSetHandle set, const RasterizeSettings& settings, const HostRect& bounds,
                               std::int32_t paintOrder, ArtHandle prep, ArtHandle* raster) override;
    HostErr RasterGetRecord(ArtHandle raster, RasterRecord* record) override;
    HostErr RasterGetTile(ArtHandle raster, const PixelRect& area, std::uint8_t* dest,
                          std::int64_t rowBytes) override;

    // The host's own error for a bad argument, an unknown suite or string.
    static constexpr HostErr kErrBadParameter = FourCharErr("PARM");
    static constexpr HostErr kErrNoDocument = FourCharErr("DOC?");

private:
    struct Layer {
        bool m_visible = true;
        Art* m_root = nullptr;
    };
    struct ArtSet {
        std::vector<Art*> m_arts;
        bool m_disposed = false;
    };
    struct Params {
        std::vector<std::pair<std::uint32_t, std::string>> m_values;
        bool m_deleted = false;
    };

    HostErr Enter(const char* method, int suite);
    Art* Use(ArtHandle handle, const char* method);
    ArtSet* UseSet(ArtSetHandle handle, const char* method);
    Params* UseParams(ActionParamsHandle handle, const char* method);
    Art* NewArt(std::int16_t type, HostRect bounds);
    static void Detach(Art* art);
    static void InsertAbove(Art* art, Art* below);
    static void Append(Art* parent, Art* art);

    std::vector<std::unique_ptr<Art>> m_arts;
    std::vector<Layer> m_layers;
    std::vector<ArtSet> m_sets;
    std::vector<Params> m_params;
    std::vector<bool> m_held;
    std::map<std::string, HostErr> m_refused;
    int m_rasterCount = 0;
    int m_notifierCount = 0;
    std::int64_t m_callCount = 0;
    std::int64_t m_failIndex = -1;
    HostErr m_failCode = 0;
    std::string m_failMethod;
    HostErr m_failMethodCode = 0;
    int m_failOccurrence = 0;
    int m_failSeen = 0;
};

} // namespace plat
