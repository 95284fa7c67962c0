#include "FakeHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace plat {

namespace {

// The suites this host offers, by name and version.
struct Offered {
    const char* m_name;
    std::int32_t m_version;
};
constexpr Offered kOffered[] = {
    {"SP Access Suite", 3},         {"SP Plug-ins Suite", 4},    {"AI Notifier Suite", 2},
    {"AI Context Suite", 4},        {"ADM Basic Suite", 10},     {"AI User Suite", 9},
    {"AI File Path Suite", 2},      {"AI Folders Suite", 3},     {"SP Blocks Suite", 2},
    {"AI Unicode String Suite", 6}, {"AI Menu Suite", 9},        {"AI Document Suite", 11},
    {"AI File Format Suite", 11},   {"AI Action Manager Suite", 3}, {"AI Layer Suite", 11},
    {"AI Art Suite", 14},           {"AI Matching Art Suite", 5}, {"AI MdMemory Suite", 1},
    {"AI Raster Suite", 8},         {"AI Text Frame Suite", 1},  {"AI Path Style Suite", 10},
    {"AI Real Math Suite", 1},      {"AI Rasterize Suite", 7},   {"AI Art Set Suite", 6},
    {"AI Mask Suite", 3},
};
constexpr int kOfferedCount = int(sizeof kOffered / sizeof kOffered[0]);

enum SuiteId {
    kAccess = 0, kPlugins = 1, kNotifier = 2, kAdmBasic = 4, kUser = 5, kFilePath = 6, kMenu = 10,
    kDocument = 11, kActions = 13, kLayer = 14, kArt = 15, kRaster = 18, kTextFrame = 19, kPathStyle = 20,
    kRasterize = 22, kArtSet = 23,
    kBasic = -1, // acquiring and releasing: always there
};

template <class H>
std::uint32_t IdOf(H handle)
{
    return std::uint32_t(reinterpret_cast<std::uintptr_t>(handle));
}
template <class H>
H HandleOf(std::size_t id)
{
    return reinterpret_cast<H>(std::uintptr_t(id));
}

std::string KeyText(std::uint32_t key)
{
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i)
        s[i] = char(key >> (24 - 8 * i));
    return s;
}

} // namespace

FakeHost::FakeHost() : m_held(kOfferedCount, false) {}
FakeHost::~FakeHost() = default;

// --- the document ---

FakeHost::Art* FakeHost::NewArt(std::int16_t type, HostRect bounds)
{
    auto art = std::make_unique<Art>();
    art->m_id = std::uint32_t(m_arts.size() + 1);
    art->m_type = type;
    art->m_bounds = bounds;
    art->m_rasterTo = bounds;
    art->m_style.m_fillPaint = 1;
    art->m_style.m_strokePaint = 0;
    art->m_style.m_strokeWidth = 1.0f;
    m_arts.push_back(std::move(art));
    return m_arts.back().get();
}

FakeHost::Art* FakeHost::AddLayer(bool visible)
{
    Art* root = NewArt(kArtGroup, HostRect{});
    m_layers.push_back({visible, root});
    return root;
}

FakeHost::Art* FakeHost::AddArt(Art* parent, std::int16_t type, HostRect bounds, std::int32_t attr)
{
    Art* art = NewArt(type, bounds);
    art->m_attr = attr;
    Append(parent, art);
    return art;
}

ArtHandle FakeHost::Handle(const Art* art) const
{
    return art == nullptr ? nullptr : HandleOf<ArtHandle>(art->m_id);
}

FakeHost::Art* FakeHost::Find(std::uint32_t id)
{
    return id >= 1 && id <= m_arts.size() ? m_arts[id - 1].get() : nullptr;
}

std::vector<FakeHost::Art*> FakeHost::Children(const Art* art) const
{
    std::vector<Art*> out;
    for (Art* c = art->m_first; c != nullptr; c = c->m_next)
        out.push_back(c);
    return out;
}

std::uint8_t FakeHost::PixelByte(int serial, std::int32_t x, std::int32_t y, int k)
{
    switch (k) {
    case 0:
        return std::uint8_t(x * 7 + serial);
    case 1:
        return std::uint8_t(y * 3);
    case 2:
        return std::uint8_t(x ^ y);
    default:
        return std::uint8_t(0x80 + serial);
    }
}

void FakeHost::Detach(Art* art)
{
    Art* parent = art->m_parent;
    if (parent == nullptr)
        return;
    (art->m_prev != nullptr ? art->m_prev->m_next : parent->m_first) = art->m_next;
    (art->m_next != nullptr ? art->m_next->m_prev : parent->m_last) = art->m_prev;
    art->m_parent = art->m_prev = art->m_next = nullptr;
}

void FakeHost::Append(Art* parent, Art* art)
{
    art->m_parent = parent;
    art->m_prev = parent->m_last;
    art->m_next = nullptr;
    (parent->m_last != nullptr ? parent->m_last->m_next : parent->m_first) = art;
    parent->m_last = art;
}

void FakeHost::InsertAbove(Art* art, Art* below)
{
    Art* parent = below->m_parent;
    art->m_parent = parent;
    art->m_next = below;
    art->m_prev = below->m_prev;
    (below->m_prev != nullptr ? below->m_prev->m_next : parent->m_first) = art;
    below->m_prev = art;
}

// --- set-up, failures ---

bool FakeHost::LoadErrorStrings(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos)
            return false;
        m_errorStrings.push_back(line.substr(0, tab));
        m_errorStrings.push_back(line.substr(tab + 1));
    }
    return true;
}

void FakeHost::RefuseSuite(const std::string& name, HostErr code)
{
    m_refused[name] = code;
}

void FakeHost::FailCall(std::int64_t index, HostErr code)
{
    m_failIndex = index;
    m_failCode = code;
}

void FakeHost::FailMethod(const std::string& name, HostErr code, int occurrence)
{
    m_failMethod = name;
    m_failMethodCode = code;
    m_failOccurrence = occurrence;
    m_failSeen = 0;
}

HostErr FakeHost::Enter(const char* method, int suite)
{
    const std::int64_t index = m_callCount++;
    if (m_record)
        m_calls.emplace_back(method);
    if (suite >= 0 && !m_held[std::size_t(suite)])
        m_misuse.push_back(std::string(method) + " without " + kOffered[suite].m_name);
    if (index == m_failIndex)
        return m_failCode;
    if (!m_failMethod.empty() && m_failMethod == method && ++m_failSeen == m_failOccurrence)
        return m_failMethodCode;
    return 0;
}

FakeHost::Art* FakeHost::Use(ArtHandle handle, const char* method)
{
    Art* art = Find(IdOf(handle));
    if (art == nullptr) {
        m_misuse.push_back(std::string(method) + " on unknown art " + std::to_string(IdOf(handle)));
        return nullptr;
    }
    if (art->m_disposed) {
        m_misuse.push_back(std::string(method) + " on disposed art " + std::to_string(art->m_id));
        return nullptr;
    }
    return art;
}

FakeHost::ArtSet* FakeHost::UseSet(ArtSetHandle handle, const char* method)
{
    const std::uint32_t id = IdOf(handle);
    if (id < 1 || id > m_sets.size() || m_sets[id - 1].m_disposed) {
        m_misuse.push_back(std::string(method) + " on a bad art set");
        return nullptr;
    }
    return &m_sets[id - 1];
}

FakeHost::Params* FakeHost::UseParams(ActionParamsHandle handle, const char* method)
{
    const std::uint32_t id = IdOf(handle);
    if (id < 1 || id > m_params.size() || m_params[id - 1].m_deleted) {
        m_misuse.push_back(std::string(method) + " on a bad parameter block");
        return nullptr;
    }
    return &m_params[id - 1];
}

// --- suites ---

HostErr FakeHost::AcquireSuite(const char* name, std::int32_t version)
{
    if (HostErr err = Enter("AcquireSuite", kBasic))
        return err;
    if (auto it = m_refused.find(name); it != m_refused.end())
        return it->second;
    for (int i = 0; i < kOfferedCount; ++i) {
        if (std::strcmp(kOffered[i].m_name, name) == 0 && kOffered[i].m_version == version) {
            if (m_held[std::size_t(i)])
                m_misuse.push_back(std::string("suite acquired twice: ") + name);
            m_held[std::size_t(i)] = true;
            m_acquired.push_back(std::string(name) + " " + std::to_string(version));
            return 0;
        }
    }
    return kErrBadParameter;
}

HostErr FakeHost::ReleaseSuite(const char* name, std::int32_t version)
{
    if (HostErr err = Enter("ReleaseSuite", kBasic))
        return err;
    for (int i = 0; i < kOfferedCount; ++i) {
        if (std::strcmp(kOffered[i].m_name, name) == 0 && kOffered[i].m_version == version) {
            if (!m_held[std::size_t(i)])
                m_misuse.push_back(std::string("suite released but not held: ") + name);
            m_held[std::size_t(i)] = false;
            m_released.push_back(std::string(name) + " " + std::to_string(version));
            return 0;
        }
    }
    return kErrBadParameter;
}

HostErr FakeHost::AccessAcquirePlugin(PluginRef, AccessRef* access)
{
    if (HostErr err = Enter("AccessAcquirePlugin", kAccess))
        return err;
    ++m_locks;
    *access = HandleOf<AccessRef>(m_locks);
    return 0;
}

HostErr FakeHost::PluginsSetPluginName(PluginRef, const char* name)
{
    if (HostErr err = Enter("PluginsSetPluginName", kPlugins))
        return err;
    m_pluginName = name;
    return 0;
}

HostErr FakeHost::NotifierAddNotifier(PluginRef, const char* name, const char* type, NotifierHandle* notifier)
{
    if (HostErr err = Enter("NotifierAddNotifier", kNotifier))
        return err;
    m_notifiers.push_back(std::string(name) + "|" + type);
    *notifier = HandleOf<NotifierHandle>(++m_notifierCount);
    return 0;
}

HostErr FakeHost::BasicGetIndexString(PluginRef, std::int32_t listId, std::int32_t index, std::string& text)
{
    if (HostErr err = Enter("BasicGetIndexString", kAdmBasic))
        return err;
    if (listId != 16050 || index < 0 || std::size_t(index) >= m_errorStrings.size())
        return kErrBadParameter;
    text = m_errorStrings[std::size_t(index)];
    return 0;
}

HostErr FakeHost::BasicErrorAlert(const char* text)
{
    if (HostErr err = Enter("BasicErrorAlert", kAdmBasic))
        return err;
    m_errorAlerts.emplace_back(text);
    return 0;
}

HostErr FakeHost::BasicMessageBox(const char* caption, const char* text)
{
    if (HostErr err = Enter("BasicMessageBox", kAdmBasic))
        return err;
    m_messageBoxes.push_back(std::string(caption) + "|" + text);
    return 0;
}

HostErr FakeHost::UserMessageAlert(const char* text)
{
    if (HostErr err = Enter("UserMessageAlert", kUser))
        return err;
    m_userAlerts.emplace_back(text);
    return 0;
}

// --- menus ---

HostErr FakeHost::MenuCountMenuGroups(std::int32_t* count)
{
    if (HostErr err = Enter("MenuCountMenuGroups", kMenu))
        return err;
    *count = std::int32_t(m_menuGroups.size());
    return 0;
}

HostErr FakeHost::MenuGetNthMenuGroup(std::int32_t n, MenuGroupHandle* group)
{
    if (HostErr err = Enter("MenuGetNthMenuGroup", kMenu))
        return err;
    if (n < 0 || std::size_t(n) >= m_menuGroups.size())
        return kErrBadParameter;
    *group = HandleOf<MenuGroupHandle>(std::size_t(n) + 1);
    return 0;
}

HostErr FakeHost::MenuGetMenuGroupName(MenuGroupHandle group, std::string& name)
{
    if (HostErr err = Enter("MenuGetMenuGroupName", kMenu))
        return err;
    const std::uint32_t id = IdOf(group);
    if (id < 1 || id > m_menuGroups.size())
        return kErrBadParameter;
    name = m_menuGroups[id - 1];
    return 0;
}

HostErr FakeHost::MenuAddMenuItem(PluginRef, const char* name, const char* group, const char* text,
                                  std::int32_t options, MenuItemHandle* item)
{
    if (HostErr err = Enter("MenuAddMenuItem", kMenu))
        return err;
    if (std::find(m_menuGroups.begin(), m_menuGroups.end(), group) == m_menuGroups.end()) {
        m_misuse.push_back(std::string("menu item in a missing group: ") + group);
        return kErrBadParameter;
    }
    m_menuItems.push_back({name, group, text, options});
    *item = HandleOf<MenuItemHandle>(m_menuItems.size());
    return 0;
}

HostErr FakeHost::MenuAddMenuGroupAsSubMenu(const char* name, std::int32_t, MenuItemHandle parent,
                                            MenuGroupHandle* group)
{
    if (HostErr err = Enter("MenuAddMenuGroupAsSubMenu", kMenu))
        return err;
    if (IdOf(parent) < 1 || IdOf(parent) > m_menuItems.size())
        return kErrBadParameter;
    m_menuGroups.emplace_back(name);
    *group = HandleOf<MenuGroupHandle>(m_menuGroups.size());
    return 0;
}

HostErr FakeHost::MenuEnableItem(MenuItemHandle item)
{
    if (HostErr err = Enter("MenuEnableItem", kMenu))
        return err;
    if (IdOf(item) < 1 || IdOf(item) > m_menuItems.size())
        return kErrBadParameter;
    m_menuItems[IdOf(item) - 1].m_enabled = 1;
    return 0;
}

HostErr FakeHost::MenuDisableItem(MenuItemHandle item)
{
    if (HostErr err = Enter("MenuDisableItem", kMenu))
        return err;
    if (IdOf(item) < 1 || IdOf(item) > m_menuItems.size())
        return kErrBadParameter;
    m_menuItems[IdOf(item) - 1].m_enabled = 0;
    return 0;
}

// --- document, file path, actions ---

HostErr FakeHost::DocumentGetDocument(DocumentHandle* document)
{
    if (HostErr err = Enter("DocumentGetDocument", kDocument))
        return err;
    if (!m_hasDocument)
        return kErrNoDocument;
    *document = HandleOf<DocumentHandle>(1);
    return 0;
}

HostErr FakeHost::DocumentGetOrigin(HostPoint* origin)
{
    if (HostErr err = Enter("DocumentGetOrigin", kDocument))
        return err;
    *origin = m_origin;
    return 0;
}

HostErr FakeHost::DocumentGetFileSpecification(std::string& path)
{
    if (HostErr err = Enter("DocumentGetFileSpecification", kDocument))
        return err;
    path = m_fileSpec;
    return 0;
}

HostErr FakeHost::FilePathGetFileName(const std::string& path, std::string& name)
{
    if (HostErr err = Enter("FilePathGetFileName", kFilePath))
        return err;
    const std::size_t slash = path.rfind('/');
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    return 0;
}

HostErr FakeHost::ActionNewParams(ActionParamsHandle* params)
{
    if (HostErr err = Enter("ActionNewParams", kActions))
        return err;
    m_params.emplace_back();
    *params = HandleOf<ActionParamsHandle>(m_params.size());
    return 0;
}

HostErr FakeHost::ActionSetString(ActionParamsHandle params, std::uint32_t key, const char* value)
{
    if (HostErr err = Enter("ActionSetString", kActions))
        return err;
    Params* p = UseParams(params, "ActionSetString");
    if (p == nullptr)
        return kErrBadParameter;
    p->m_values.emplace_back(key, value);
    return 0;
}

HostErr FakeHost::ActionSetInteger(ActionParamsHandle params, std::uint32_t key, std::int32_t value)
{
    if (HostErr err = Enter("ActionSetInteger", kActions))
        return err;
    Params* p = UseParams(params, "ActionSetInteger");
    if (p == nullptr)
        return kErrBadParameter;
    p->m_values.emplace_back(key, std::to_string(value));
    return 0;
}

HostErr FakeHost::ActionSetBoolean(ActionParamsHandle params, std::uint32_t key, bool value)
{
    if (HostErr err = Enter("ActionSetBoolean", kActions))
        return err;
    Params* p = UseParams(params, "ActionSetBoolean");
    if (p == nullptr)
        return kErrBadParameter;
    p->m_values.emplace_back(key, value ? "true" : "false");
    return 0;
}

HostErr FakeHost::ActionPlayEvent(const char* event, bool showDialog, ActionParamsHandle params)
{
    if (HostErr err = Enter("ActionPlayEvent", kActions))
        return err;
    Params* p = UseParams(params, "ActionPlayEvent");
    if (p == nullptr)
        return kErrBadParameter;
    m_playedEvents.push_back(std::string(event) + (showDialog ? " with dialog" : ""));
    m_saveParams.clear();
    std::string target;
    for (const auto& [key, value] : p->m_values) {
        m_saveParams.push_back(KeyText(key) + "=" + value);
        if (key == FourChar("name"))
            target = value;
    }
    if (std::strcmp(event, "adobe_saveDocumentAs") != 0 || target.empty())
        return kErrBadParameter;
    std::string bytes = "fake drawing\n";
    if (!m_saveSource.empty()) {
        std::ifstream in(m_saveSource, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        bytes = all.str();
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        return FourCharErr("save");
    m_fileSpec = target;
    return 0;
}

HostErr FakeHost::ActionDeleteParams(ActionParamsHandle params)
{
    if (HostErr err = Enter("ActionDeleteParams", kActions))
        return err;
    Params* p = UseParams(params, "ActionDeleteParams");
    if (p == nullptr)
        return kErrBadParameter;
    p->m_deleted = true;
    return 0;
}

// --- layers and art ---

HostErr FakeHost::LayerCountLayers(std::int32_t* count)
{
    if (HostErr err = Enter("LayerCountLayers", kLayer))
        return err;
    *count = std::int32_t(m_layers.size());
    return 0;
}

HostErr FakeHost::LayerGetNthLayer(std::int32_t n, LayerHandle* layer)
{
    if (HostErr err = Enter("LayerGetNthLayer", kLayer))
        return err;
    if (n < 0 || std::size_t(n) >= m_layers.size())
        return kErrBadParameter;
    *layer = HandleOf<LayerHandle>(std::size_t(n) + 1);
    return 0;
}

HostErr FakeHost::LayerGetVisible(LayerHandle layer, bool* visible)
{
    if (HostErr err = Enter("LayerGetVisible", kLayer))
        return err;
    if (IdOf(layer) < 1 || IdOf(layer) > m_layers.size())
        return kErrBadParameter;
    *visible = m_layers[IdOf(layer) - 1].m_visible;
    return 0;
}

HostErr FakeHost::ArtGetFirstArtOfLayer(LayerHandle layer, ArtHandle* art)
{
    if (HostErr err = Enter("ArtGetFirstArtOfLayer", kArt))
        return err;
    if (IdOf(layer) < 1 || IdOf(layer) > m_layers.size())
        return kErrBadParameter;
    *art = Handle(m_layers[IdOf(layer) - 1].m_root);
    return 0;
}

HostErr FakeHost::ArtGetFirstChild(ArtHandle handle, ArtHandle* child)
{
    if (HostErr err = Enter("ArtGetFirstChild", kArt))
        return err;
    Art* art = Use(handle, "ArtGetFirstChild");
    if (art == nullptr)
        return kErrBadParameter;
    *child = Handle(art->m_first);
    return 0;
}

HostErr FakeHost::ArtGetSibling(ArtHandle handle, ArtHandle* sibling)
{
    if (HostErr err = Enter("ArtGetSibling", kArt))
        return err;
    Art* art = Use(handle, "ArtGetSibling");
    if (art == nullptr)
        return kErrBadParameter;
    *sibling = Handle(art->m_next);
    return 0;
}

HostErr FakeHost::ArtGetType(ArtHandle handle, std::int16_t* type)
{
    if (HostErr err = Enter("ArtGetType", kArt))
        return err;
    Art* art = Use(handle, "ArtGetType");
    if (art == nullptr)
        return kErrBadParameter;
    *type = art->m_type;
    return 0;
}

HostErr FakeHost::ArtGetBounds(ArtHandle handle, HostRect* bounds)
{
    if (HostErr err = Enter("ArtGetBounds", kArt))
        return err;
    Art* art = Use(handle, "ArtGetBounds");
    if (art == nullptr)
        return kErrBadParameter;
    *bounds = art->m_bounds;
    return 0;
}

HostErr FakeHost::ArtGetTransformBounds(ArtHandle handle, std::int32_t flags, HostRect* bounds)
{
    if (HostErr err = Enter("ArtGetTransformBounds", kArt))
        return err;
    Art* art = Use(handle, "ArtGetTransformBounds");
    if (art == nullptr)
        return kErrBadParameter;
    if (m_record)
        m_transformBoundsFlags.push_back(flags);
    *bounds = art->m_bounds;
    return 0;
}

HostErr FakeHost::ArtGetUserAttr(ArtHandle handle, std::int32_t mask, std::int32_t* attr)
{
    if (HostErr err = Enter("ArtGetUserAttr", kArt))
        return err;
    Art* art = Use(handle, "ArtGetUserAttr");
    if (art == nullptr)
        return kErrBadParameter;
    *attr = art->m_attr & mask;
    return 0;
}

HostErr FakeHost::ArtReorder(ArtHandle handle, std::int32_t paintOrder, ArtHandle prepHandle)
{
    if (HostErr err = Enter("ArtReorder", kArt))
        return err;
    Art* art = Use(handle, "ArtReorder");
    Art* prep = Use(prepHandle, "ArtReorder");
    if (art == nullptr || prep == nullptr || prep->m_parent == nullptr || paintOrder != kPlaceAbove)
        return kErrBadParameter;
    Detach(art);
    InsertAbove(art, prep);
    return 0;
}

HostErr FakeHost::ArtDispose(ArtHandle handle)
{
    if (HostErr err = Enter("ArtDispose", kArt))
        return err;
    Art* art = Use(handle, "ArtDispose");
    if (art == nullptr)
        return kErrBadParameter;
    Detach(art);
    // The art and everything inside it.
    std::vector<Art*> pending{art};
    while (!pending.empty()) {
        Art* a = pending.back();
        pending.pop_back();
        a->m_disposed = true;
        for (Art* c = a->m_first; c != nullptr; c = c->m_next)
            pending.push_back(c);
    }
    return 0;
}

HostErr FakeHost::TextFrameCreateOutline(ArtHandle handle, ArtHandle* outline)
{
    if (HostErr err = Enter("TextFrameCreateOutline", kTextFrame))
        return err;
    Art* frame = Use(handle, "TextFrameCreateOutline");
    if (frame == nullptr || frame->m_type != kArtTextFrame)
        return kErrBadParameter;
    // A group holding a compound path of the first two paths, then the rest.
    HostRect all = frame->m_outlinePaths.empty() ? frame->m_bounds : frame->m_outlinePaths.front();
    for (const HostRect& r : frame->m_outlinePaths) {
        all.left = std::min(all.left, r.left);
        all.top = std::max(all.top, r.top);
        all.right = std::max(all.right, r.right);
        all.bottom = std::min(all.bottom, r.bottom);
    }
    Art* group = NewArt(kArtGroup, all);
    Art* compound = nullptr;
    for (std::size_t i = 0; i < frame->m_outlinePaths.size(); ++i) {
        const HostRect& r = frame->m_outlinePaths[i];
        if (i < 2 && frame->m_outlinePaths.size() > 2) {
            if (compound == nullptr) {
                compound = NewArt(kArtCompoundPath, r);
                Append(group, compound);
            }
            compound->m_bounds.left = std::min(compound->m_bounds.left, r.left);
            compound->m_bounds.top = std::max(compound->m_bounds.top, r.top);
            compound->m_bounds.right = std::max(compound->m_bounds.right, r.right);
            compound->m_bounds.bottom = std::min(compound->m_bounds.bottom, r.bottom);
            Append(compound, NewArt(kArtPath, r));
        } else {
            Append(group, NewArt(kArtPath, r));
        }
    }
    *outline = Handle(group);
    return 0;
}

HostErr FakeHost::PathStyleGet(ArtHandle handle, PathStyle* style)
{
    if (HostErr err = Enter("PathStyleGet", kPathStyle))
        return err;
    Art* art = Use(handle, "PathStyleGet");
    if (art == nullptr)
        return kErrBadParameter;
    *style = art->m_style;
    return 0;
}

HostErr FakeHost::PathStyleSet(ArtHandle handle, const PathStyle& style)
{
    if (HostErr err = Enter("PathStyleSet", kPathStyle))
        return err;
    Art* art = Use(handle, "PathStyleSet");
    if (art == nullptr)
        return kErrBadParameter;
    if (art->m_type != kArtPath)
        m_misuse.push_back("path style on art of type " + std::to_string(art->m_type));
    art->m_style = style;
    return 0;
}

// --- art sets, rasters ---

HostErr FakeHost::ArtSetNew(ArtSetHandle* set)
{
    if (HostErr err = Enter("ArtSetNew", kArtSet))
        return err;
    m_sets.emplace_back();
    *set = HandleOf<ArtSetHandle>(m_sets.size());
    return 0;
}

HostErr FakeHost::ArtSetAddArt(ArtSetHandle handle, ArtHandle artHandle)
{
    if (HostErr err = Enter("ArtSetAddArt", kArtSet))
        return err;
    ArtSet* set = UseSet(handle, "ArtSetAddArt");
    Art* art = Use(artHandle, "ArtSetAddArt");
    if (set == nullptr || art == nullptr)
        return kErrBadParameter;
    set->m_arts.push_back(art);
    return 0;
}

HostErr FakeHost::ArtSetDispose(ArtSetHandle* handle)
{
    if (HostErr err = Enter("ArtSetDispose", kArtSet))
        return err;
    ArtSet* set = UseSet(*handle, "ArtSetDispose");
    if (set == nullptr)
        return kErrBadParameter;
    set->m_disposed = true;
    *handle = nullptr;
    return 0;
}

HostErr FakeHost::RasterizeComputeArtBounds(ArtSetHandle handle, HostRect* bounds)
{
    if (HostErr err = Enter("RasterizeComputeArtBounds", kRasterize))
        return err;
    ArtSet* set = UseSet(handle, "RasterizeComputeArtBounds");
    if (set == nullptr || set->m_arts.empty())
        return kErrBadParameter;
    ++m_computedSetBounds;
    // The set's bounds reach one point beyond its art, so that they can be
    // told from the art's own.
    HostRect r = set->m_arts.front()->m_bounds;
    r.left -= 1.0f;
    r.top += 1.0f;
    r.right += 1.0f;
    r.bottom -= 1.0f;
    *bounds = r;
    return 0;
}

HostErr FakeHost::RasterizeRasterize(ArtSetHandle handle, const RasterizeSettings& settings, const HostRect& bounds,
                                     std::int32_t paintOrder, ArtHandle prepHandle, ArtHandle* raster)
{
    if (HostErr err = Enter("RasterizeRasterize", kRasterize))
        return err;
    ArtSet* set = UseSet(handle, "RasterizeRasterize");
    Art* prep = Use(prepHandle, "RasterizeRasterize");
    if (set == nullptr || prep == nullptr || set->m_arts.empty() || paintOrder != kPlaceAbove ||
        prep->m_parent == nullptr || settings.m_resolution <= 0.0)
        return kErrBadParameter;
    m_rasterizeCalls.push_back({settings, bounds, prep->m_id});
    const HostRect to = set->m_arts.front()->m_rasterTo;
    Art* made = NewArt(kArtRaster, to);
    made->m_serial = m_rasterCount++;
    if (m_overridePixels) {
        made->m_pixels = m_pixelOverride;
    } else {
        const double scale = settings.m_resolution / 72.0;
        made->m_pixels = PixelRect{0, 0, std::int32_t(std::lround((to.right - to.left) * scale)),
                                   std::int32_t(std::lround((to.top - to.bottom) * scale))};
    }
    InsertAbove(made, prep);
    *raster = Handle(made);
    return 0;
}

HostErr FakeHost::RasterGetRecord(ArtHandle handle, RasterRecord* record)
{
    if (HostErr err = Enter("RasterGetRecord", kRaster))
        return err;
    Art* art = Use(handle, "RasterGetRecord");
    if (art == nullptr || art->m_type != kArtRaster || art->m_serial < 0)
        return kErrBadParameter;
    record->m_bounds = art->m_pixels;
    return 0;
}

HostErr FakeHost::RasterGetTile(ArtHandle handle, const PixelRect& area, std::uint8_t* dest, std::int64_t rowBytes)
{
    if (HostErr err = Enter("RasterGetTile", kRaster))
        return err;
    Art* art = Use(handle, "RasterGetTile");
    if (art == nullptr || art->m_serial < 0)
        return kErrBadParameter;
    const PixelRect& all = art->m_pixels;
    if (area.left < all.left || area.top < all.top || area.right > all.right || area.bottom > all.bottom ||
        area.left >= area.right || area.top >= area.bottom || rowBytes < std::int64_t(area.right - area.left) * 4) {
        m_misuse.push_back("tile outside the raster");
        return kErrBadParameter;
    }
    // PixelByte's values, made a row at a time: the benchmark fills
    // 25 million pixels with them.
    const int n = art->m_serial;
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        std::uint8_t* p = dest + std::int64_t(y - area.top) * rowBytes;
        const auto g = std::uint8_t(y * 3);
        for (std::int32_t x = area.left; x < area.right; ++x, p += 4) {
            p[0] = std::uint8_t(x * 7 + n);
            p[1] = g;
            p[2] = std::uint8_t(x ^ y);
            p[3] = std::uint8_t(0x80 + n);
        }
    }
    return 0;
}

} // namespace plat
