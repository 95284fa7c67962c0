#include "QorPlugin.h"

#include "BmpWriter.h"
#include "PluginBuild.h"
#include "ProgramStart.h"
#include "platform/Folders.h"
#include "platform/NumText.h"
#include "platform/TextFile.h"
#include "platform/WorkFolder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#ifndef BRENVIK_INSTALL_FOLDER_DEFAULT
#define BRENVIK_INSTALL_FOLDER_DEFAULT "/opt/brenvik/"
#endif

namespace {

constexpr const char* kMenuGroup = "Vuvuv Avezuv";
constexpr const char* kHostMenuGroup = "Tool Palettes";
constexpr const char* kExportItem = "Export";
constexpr const char* kAboutItem = "About";
constexpr const char* kAboutText = "Use to machining";
constexpr const char* kProgramName = "brenvik";
constexpr const char* kSavedDrawing = "default.ai";
constexpr const char* kParamFile = "cor.param";
constexpr const char* kSaveWriter = "Adobe Illustrator Any Format Writer";
constexpr const char* kSaveAction = "adobe_saveDocumentAs";

// Bounds query flags of the extent walk.
constexpr std::int32_t kExtentBoundsFlags = 6;

// Pixels fetched from the host per call, so that a large image needs no
// buffer of its whole size.
constexpr std::int64_t kBandBytes = 8 << 20;

// Walks the art from `first` (with its later siblings when `siblings`) depth
// first in list order, with a stack of its own, so that deep nesting cannot
// exhaust the call stack. `visit` (art, type, descend) may replace or delete
// the art: its sibling has been read before; it sets `descend` to walk the
// art's children next.
template <class Visit>
HostErr WalkArt(IHost& host, ArtHandle first, bool siblings, Visit&& visit)
{
    std::vector<ArtHandle> resume; // siblings to go on with, one per level entered
    ArtHandle art = first;
    bool readSibling = siblings;
    while (art != nullptr) {
        std::int16_t type = 0;
        if (const HostErr err = host.ArtGetType(art, &type))
            return err;
        ArtHandle next = nullptr;
        if (readSibling) {
            if (const HostErr err = host.ArtGetSibling(art, &next))
                return err;
        }
        readSibling = true;
        bool descend = false;
        if (const HostErr err = visit(art, type, descend))
            return err;
        if (descend) {
            ArtHandle child = nullptr;
            if (const HostErr err = host.ArtGetFirstChild(art, &child))
                return err;
            if (child != nullptr) {
                resume.push_back(next);
                art = child;
                continue;
            }
        }
        art = next;
        while (art == nullptr && !resume.empty()) {
            art = resume.back();
            resume.pop_back();
        }
    }
    return 0;
}

// Calls `visit` (art) for the first art of every layer, or of the visible
// ones only.
template <class Visit>
HostErr ForEachLayer(IHost& host, bool visibleOnly, Visit&& visit)
{
    std::int32_t count = 0;
    if (const HostErr err = host.LayerCountLayers(&count))
        return err;
    for (std::int32_t i = 0; i < count; ++i) {
        LayerHandle layer = nullptr;
        if (const HostErr err = host.LayerGetNthLayer(i, &layer))
            return err;
        if (visibleOnly) {
            bool visible = false;
            if (const HostErr err = host.LayerGetVisible(layer, &visible))
                return err;
            if (!visible)
                continue;
        }
        ArtHandle first = nullptr;
        if (const HostErr err = host.ArtGetFirstArtOfLayer(layer, &first))
            return err;
        if (const HostErr err = visit(first))
            return err;
    }
    return 0;
}

// " " and a length in points as millimetres, with at most 6 significant
// digits in the C locale's general notation.
std::string MmLine(double points)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, points / 72.0 * 25.4, std::chars_format::general, 6);
    return " " + std::string(buf, res.ptr);
}

std::string WithoutDoubledSeparators(const std::string& path)
{
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out += c;
    }
    return out;
}

void ReverseRows(std::uint8_t* rows, std::int64_t count, std::int64_t rowBytes)
{
    for (std::int64_t a = 0, b = count - 1; a < b; ++a, --b)
        std::swap_ranges(rows + a * rowBytes, rows + (a + 1) * rowBytes, rows + b * rowBytes);
}

} // namespace

QorPlugin::QorPlugin(const PluginMessage& message) : Plugin(message) {}

QorPlugin::QorPlugin(const Kept& kept, MenuItemHandle exportItem, MenuItemHandle aboutItem)
    : Plugin(kept), m_exportItem(exportItem), m_aboutItem(aboutItem)
{
}

QorPlugin* QorPlugin::RebuildInPlace(void* memory)
{
    auto* old = static_cast<QorPlugin*>(memory);
    const Kept kept = old->TakeKept();
    const MenuItemHandle exportItem = old->m_exportItem;
    const MenuItemHandle aboutItem = old->m_aboutItem;
    // Named, not virtual, destruction: the object's dispatch may point into
    // code that is no longer loaded.
    old->QorPlugin::~QorPlugin();
    return new (memory) QorPlugin(kept, exportItem, aboutItem);
}

std::string QorPlugin::InstallFolder()
{
    const char* env = std::getenv("BRENVIK_INSTALL_FOLDER");
    return plat::WithTrailingSeparator(env != nullptr && env[0] != '\0' ? env : BRENVIK_INSTALL_FOLDER_DEFAULT);
}

HostErr QorPlugin::StartupPlugin()
{
    if (const HostErr err = Plugin::StartupPlugin())
        return err;
    if (const HostErr err = AddMenus())
        return err;
    return ReadWorkFolder();
}

HostErr QorPlugin::AddMenus()
{
    std::int32_t groups = 0;
    if (const HostErr err = m_host->MenuCountMenuGroups(&groups))
        return err;
    bool found = false;
    for (std::int32_t i = 0; i < groups && !found; ++i) {
        MenuGroupHandle group = nullptr;
        std::string name;
        if (const HostErr err = m_host->MenuGetNthMenuGroup(i, &group))
            return err;
        if (const HostErr err = m_host->MenuGetMenuGroupName(group, name))
            return err;
        found = name == kMenuGroup;
    }
    if (!found) {
        MenuItemHandle parent = nullptr;
        if (const HostErr err = m_host->MenuAddMenuItem(m_plugin, kMenuGroup, kHostMenuGroup, kMenuGroup, 0, &parent))
            return err;
        MenuGroupHandle group = nullptr;
        if (const HostErr err = m_host->MenuAddMenuGroupAsSubMenu(kMenuGroup, 0, parent, &group))
            return err;
    }
    if (const HostErr err =
            m_host->MenuAddMenuItem(m_plugin, kExportItem, kMenuGroup, kExportItem, kMenuItemWantsUpdate, &m_exportItem))
        return err;
    return m_host->MenuAddMenuItem(m_plugin, kAboutItem, kMenuGroup, kAboutItem, 0, &m_aboutItem);
}

HostErr QorPlugin::ReadWorkFolder()
{
    std::vector<std::string> lines;
    if (!plat::ReadTextLines(InstallFolder() + plat::kWorkPathFile, lines) || lines.empty() || lines.front().empty())
        return kErrNoWorkFolder;
    m_workFolder = WithoutDoubledSeparators(plat::WorkFolderFromLine(lines.front()));
    return 0;
}

HostErr QorPlugin::UpdateMenuItem(const PluginMessage& message)
{
    if (message.m_menuItem == nullptr || message.m_menuItem != m_exportItem)
        return 0;
    DocumentHandle document = nullptr;
    if (m_host->DocumentGetDocument(&document) == 0)
        return m_host->MenuEnableItem(m_exportItem);
    return m_host->MenuDisableItem(m_exportItem);
}

HostErr QorPlugin::GoMenuItem(const PluginMessage& message)
{
    if (message.m_menuItem == nullptr)
        return 0;
    if (message.m_menuItem == m_exportItem)
        return Export();
    if (message.m_menuItem == m_aboutItem)
        return About();
    return 0;
}

HostErr QorPlugin::About()
{
    return m_host->BasicMessageBox(kAboutCaption, kAboutText);
}

HostErr QorPlugin::Export()
{
    // After a "Reload" the folder is unknown until the next start-up.
    if (m_workFolder.empty())
        return kErrNoWorkFolder;
    DocumentHandle document = nullptr;
    if (const HostErr err = m_host->DocumentGetDocument(&document))
        return err;
    m_bitmaps.clear();
    m_bitmapCount = 0;
    if (const HostErr err = ExportArt())
        return err;
    if (const HostErr err = SaveDocument())
        return err;
    if (const HostErr err = WriteParamFile(m_workFolder + kParamFile))
        return err;
    return StartProgram();
}

HostErr QorPlugin::ExportArt()
{
    return ForEachLayer(*m_host, false, [this](ArtHandle first) {
        return WalkArt(*m_host, first, true, [this](ArtHandle art, std::int16_t type, bool& descend) -> HostErr {
            switch (type) {
            case kArtGroup:
                descend = true;
                return 0;
            case kArtPlaced:
            case kArtRaster:
                return ExportBitmap(art);
            case kArtTextFrame:
                return OutlineText(art);
            default:
                return 0;
            }
        });
    });
}

HostErr QorPlugin::OutlineText(ArtHandle frame)
{
    ArtHandle outline = nullptr;
    if (const HostErr err = m_host->TextFrameCreateOutline(frame, &outline))
        return err;
    if (const HostErr err = m_host->ArtReorder(outline, kPlaceAbove, frame))
        return err;
    if (const HostErr err = m_host->ArtDispose(frame))
        return err;
    // The outlines are cut lines: no fill, a stroke.
    return WalkArt(*m_host, outline, false, [this](ArtHandle art, std::int16_t type, bool& descend) -> HostErr {
        if (type == kArtGroup || type == kArtCompoundPath) {
            descend = true;
            return 0;
        }
        if (type != kArtPath)
            return 0;
        PathStyle style;
        if (const HostErr err = m_host->PathStyleGet(art, &style))
            return err;
        style.m_fillPaint = 0;
        style.m_strokePaint = 1;
        return m_host->PathStyleSet(art, style);
    });
}

HostErr QorPlugin::ExportBitmap(ArtHandle art)
{
    const std::string name = plat::FormatInt(m_bitmapCount) + ".bmp";
    HostRect bounds;
    if (const HostErr err = m_host->ArtGetBounds(art, &bounds))
        return err;
    ArtSetHandle set = nullptr;
    if (const HostErr err = m_host->ArtSetNew(&set))
        return err;
    HostErr err = m_host->ArtSetAddArt(set, art);
    if (err == 0 && kRasterizeOverSetBounds)
        err = m_host->RasterizeComputeArtBounds(set, &bounds);
    ArtHandle raster = nullptr;
    if (err == 0) {
        RasterizeSettings settings;
        settings.m_type = 4;
        settings.m_resolution = 150.0;
        settings.m_antialiasing = 2;
        settings.m_options = 1;
        settings.m_colorConversion = 2;
        settings.m_spotColors = 0;
        err = m_host->RasterizeRasterize(set, settings, bounds, kPlaceAbove, art, &raster);
        if (err != 0)
            raster = nullptr;
    }
    const HostErr setErr = m_host->ArtSetDispose(&set);
    if (err == 0)
        err = setErr;
    if (raster == nullptr) {
        if (err != 0)
            return err;
        // A raster reported made but not handed out: no image to write.
        SetErrorDetail(m_workFolder + name);
        return kErrWrite;
    }

    if (err == 0)
        err = WriteRasterBmp(raster, m_workFolder + name);
    HostRect rasterBounds;
    if (err == 0)
        err = m_host->ArtGetTransformBounds(raster, 0, &rasterBounds);
    if (err == 0) {
        m_bitmaps.push_back({name, rasterBounds.left, rasterBounds.top, rasterBounds.right, rasterBounds.bottom});
        ++m_bitmapCount;
    }
    // The raster was only a means to the file: it leaves the document again,
    // also when the export stops here.
    const HostErr disposeErr = m_host->ArtDispose(raster);
    return err != 0 ? err : disposeErr;
}

HostErr QorPlugin::WriteRasterBmp(ArtHandle raster, const std::string& path)
{
    RasterRecord record;
    if (const HostErr err = m_host->RasterGetRecord(raster, &record))
        return err;
    const PixelRect& area = record.m_bounds;
    const std::int64_t width = std::int64_t(area.right) - area.left;
    const std::int64_t height = std::int64_t(area.bottom) - area.top;
    SetErrorDetail(path);
    BmpWriter file(path);
    if (!file.Begin(width, height))
        return kErrWrite;
    const std::int64_t rowBytes = width * 4;
    const std::int64_t bandRows = std::clamp<std::int64_t>(kBandBytes / rowBytes, 1, height);
    std::vector<std::uint8_t> band;
    try {
        band.resize(std::size_t(bandRows * rowBytes));
    } catch (const std::bad_alloc&) {
        return kErrWrite;
    }
    // Bands from the bottom of the image up, each turned upside down.
    for (std::int64_t end = height; end > 0;) {
        const std::int64_t rows = std::min(bandRows, end);
        const std::int64_t start = end - rows;
        const PixelRect part{area.left, std::int32_t(area.top + start), area.right, std::int32_t(area.top + end)};
        if (const HostErr err = m_host->RasterGetTile(raster, part, band.data(), rowBytes))
            return err;
        ReverseRows(band.data(), rows, rowBytes);
        if (!file.AppendRows(band.data(), std::size_t(rows * rowBytes)))
            return kErrWrite;
        end = start;
    }
    return file.Finish() ? 0 : kErrWrite;
}

HostErr QorPlugin::SaveDocument()
{
    ActionParamsHandle params = nullptr;
    if (const HostErr err = m_host->ActionNewParams(&params))
        return err;
    const std::string target = m_workFolder + kSavedDrawing;
    HostErr err = m_host->ActionSetString(params, FourChar("name"), target.c_str());
    if (err == 0)
        err = m_host->ActionSetString(params, FourChar("frmt"), kSaveWriter);
    if (err == 0)
        err = m_host->ActionSetInteger(params, FourChar("crtr"), 7);
    if (err == 0)
        err = m_host->ActionSetInteger(params, FourChar("incl"), 1);
    if (err == 0)
        err = m_host->ActionSetInteger(params, FourChar("embd"), 1);
    if (err == 0)
        err = m_host->ActionSetInteger(params, FourChar("rato"), 100);
    if (err == 0)
        err = m_host->ActionSetBoolean(params, FourChar("pdf "), true);
    if (err == 0)
        err = m_host->ActionSetBoolean(params, FourChar("sbst"), true);
    if (err == 0 && kSaveSetsSmab)
        err = m_host->ActionSetBoolean(params, FourChar("smab"), false);
    if (err == 0)
        err = m_host->ActionSetBoolean(params, FourChar("gprm"), false);
    if (err == 0)
        err = m_host->ActionPlayEvent(kSaveAction, false, params);
    const HostErr deleteErr = m_host->ActionDeleteParams(params);
    return err != 0 ? err : deleteErr;
}

HostErr QorPlugin::UnionArtBounds(HostRect& extent)
{
    extent = HostRect{};
    bool any = false;
    return ForEachLayer(*m_host, true, [&](ArtHandle first) {
        return WalkArt(*m_host, first, true, [&](ArtHandle art, std::int16_t type, bool& descend) -> HostErr {
            if (type == kArtGroup) {
                descend = true;
                return 0;
            }
            if (type != kArtPath && type != kArtCompoundPath && type != kArtTextFrame)
                return 0;
            std::int32_t attr = 0;
            if (const HostErr err = m_host->ArtGetUserAttr(art, kArtHidden | kArtExcluded, &attr))
                return err;
            if ((attr & (kArtHidden | kArtExcluded)) != 0)
                return 0;
            HostRect b;
            if (const HostErr err = m_host->ArtGetTransformBounds(art, kExtentBoundsFlags, &b))
                return err;
            if (!any) {
                extent = b;
                any = true;
            } else {
                extent.left = std::min(extent.left, b.left);
                extent.top = std::max(extent.top, b.top);
                extent.right = std::max(extent.right, b.right);
                extent.bottom = std::min(extent.bottom, b.bottom);
            }
            return 0;
        });
    });
}

HostErr QorPlugin::WriteParamFile(const std::string& path)
{
    DocumentHandle document = nullptr;
    if (const HostErr err = m_host->DocumentGetDocument(&document))
        return err;
    HostPoint origin;
    if (const HostErr err = m_host->DocumentGetOrigin(&origin))
        return err;
    std::string spec;
    std::string fileName;
    if (const HostErr err = m_host->DocumentGetFileSpecification(spec))
        return err;
    if (const HostErr err = m_host->FilePathGetFileName(spec, fileName))
        return err;
    HostRect extent;
    if (const HostErr err = UnionArtBounds(extent))
        return err;

    const double h = origin.h;
    const double v = origin.v;
    std::vector<std::string> lines = {
        fileName,
        "max",
        MmLine(h + extent.right),
        MmLine(v + extent.top),
        "min",
        MmLine(h + extent.left),
        MmLine(v + extent.bottom),
    };
    for (const BitmapEntry& b : m_bitmaps) {
        lines.push_back(b.m_name);
        lines.push_back(MmLine(double(b.m_left) + h));
        lines.push_back(MmLine(double(b.m_top) + v));
        lines.push_back("size");
        lines.push_back(MmLine(double(b.m_right) - b.m_left));
        lines.push_back(MmLine(std::fabs(double(b.m_top) - b.m_bottom)));
    }
    if (!plat::WriteTextLinesCrLf(path, lines)) {
        SetErrorDetail(path);
        return kErrWrite;
    }
    return 0;
}

HostErr QorPlugin::StartProgram()
{
    const std::string program = InstallFolder() + kProgramName;
    if (const int error = StartDetachedProgram(program)) {
        std::fprintf(stderr, "%d\n", error);
        SetErrorDetail(program);
        return kErrExec;
    }
    return 0;
}
