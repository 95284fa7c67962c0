#include "Resources.h"

#include <QKeySequence>
#include <QString>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr plat::UINT kSep = 0;

constexpr ToolbarButton kTools[] = {{32772, 0}, {32791, 1}, {32792, 2}, {32909, 3},
                                    {32793, 4}, {32794, 5}, {32882, 6}};
constexpr ToolbarButton kMain[] = {{32902, 0},  {32901, 1},  {32903, 2},  {kSep, -1}, {32904, 3},  {32905, 4},
                                   {32908, 5},  {kSep, -1},  {57607, 6},  {kSep, -1}, {32907, 7},  {32906, 8},
                                   {kSep, -1},  {32788, 9},  {32937, 10}, {32789, 11}, {32790, 12}, {kSep, -1},
                                   {32784, 13}};
constexpr ToolbarButton kGroup[] = {{32860, 0}, {32861, 1}, {32862, 2}, {kSep, -1},
                                    {32817, 3}, {32867, 4}, {32868, 5}, {32914, 6}};
constexpr ToolbarButton kPlace[] = {{32898, 0}, {32897, 1}, {32899, 2}};
// The property bar: controls at every place but 4, the proportion toggle.
constexpr ToolbarButton kProperty[] = {{32830, -1}, {32853, -1}, {32854, -1}, {32831, -1}, {32852, 0},
                                       {32832, -1}, {32832, -1}, {32855, -1}, {32856, -1}};
constexpr ToolbarButton kAlign[] = {{32833, 0}, {32834, 1}, {32835, 2}, {32839, 3},
                                    {32837, 4}, {32838, 5}, {32836, 6}, {32840, 7}};
// The path-tool bar: eight tools, then the assist combo and two push buttons.
constexpr ToolbarButton kPathTools[] = {{32872, 0}, {32873, 1}, {32874, 2},  {32913, 3},  {32876, 4},  {32888, 5},
                                        {32894, 6}, {32890, 7}, {kSep, -1}, {32939, -1}, {32875, -1}, {32915, -1}};

constexpr int kImageWidth = 16;
constexpr int kImageHeight = 15;

constexpr MenuItemResource kMenu128[] = {
    {0, 0, u"&File", nullptr, 0},
    {1, 32902, u"&New", u"Ctrl+N", 0},
    {1, 32901, u"&Open...", u"Ctrl+O", 0},
    {1, 0, nullptr, nullptr, 0},
    {1, 57606, u"Print Set&up...", nullptr, 0},
    {1, 0, nullptr, nullptr, 0},
    {1, 57616, u"Recent File", nullptr, 0},
    {1, 0, nullptr, nullptr, 0},
    {1, 57665, u"E&xit", nullptr, 0},
    {0, 0, u"&View", nullptr, 0},
    {1, 59392, u"&Toolbar", nullptr, 0},
    {1, 59393, u"&Status Bar", nullptr, 0},
    {0, 0, u"&Help", nullptr, 0},
    {1, 32916, u"&Help Topics", nullptr, 260},
    {1, 0, nullptr, nullptr, 0},
    {1, 57664, u"&About Brenvik...", nullptr, 0},
};

constexpr MenuItemResource kMenu129[] = {
    {0, 0, u"&File", nullptr, 0},
    {1, 32902, u"&New", u"Ctrl+N", 0},
    {1, 32901, u"&Open...", u"Ctrl+O", 0},
    {1, 57602, u"&Close", nullptr, 0},
    {1, 32903, u"&Save", nullptr, 0},
    {1, 57604, u"Save &As...", nullptr, 0},
    {1, 0, nullptr, nullptr, 0},
    {1, 32784, u"&Import...", nullptr, 0},
    {1, 0, nullptr, nullptr, 0},
    {1, 57607, u"&Print...", nullptr, 0},
    {1, 57609, u"Print Pre&view", nullptr, 0},
    {1, 57606, u"Print Set&up...", nullptr, 0},
    {1, 0, nullptr, nullptr, 0},
    {1, 57616, u"Recent File", nullptr, 0},
    {1, 0, nullptr, nullptr, 0},
    {1, 57665, u"E&xit", nullptr, 0},
    {0, 0, u"&Edit", nullptr, 0},
    {1, 32907, u"&Undo", u"Ctrl+Z", 0},
    {1, 32906, u"&Redo", nullptr, 0},
    {1, 0, nullptr, nullptr, 0},
    {1, 32904, u"Cu&t", u"Ctrl+X", 0},
    {1, 32905, u"&Copy", u"Ctrl+C", 0},
    {1, 32908, u"&Paste", u"Ctrl+V", 0},
    {0, 0, u"F&unction", nullptr, 0},
    {1, 32889, u"&Nesting", nullptr, 0},
    {1, 32886, u"&Manual Order", nullptr, 0},
    {1, 32870, u"&Light-Guide Plate", nullptr, 0},
    {0, 0, u"&Configure", nullptr, 0},
    {1, 32864, u"&Language...", nullptr, 0},
    {1, 32865, u"&Curve Settings...", nullptr, 0},
    {0, 0, u"&Tools", nullptr, 0},
    {1, 32927, u"Merge Polylines", nullptr, 262},
    {1, 32928, u"Unite Adjacent Curves", nullptr, 263},
    {1, 32929, u"Micro-joints", nullptr, 264},
    {1, 32930, u"Delete Overlapping Lines", nullptr, 265},
    {1, 32931, u"Dashed Lines", nullptr, 266},
    {1, 32932, u"Lead-in and Lead-out", nullptr, 267},
    {1, 32933, u"Reverse Direction", nullptr, 268},
    {1, 32934, u"Contour Offset", nullptr, 269},
    {1, 32935, u"Smooth Curves", nullptr, 270},
    {1, 32936, u"Invert Bitmaps", nullptr, 271},
    {0, 0, u"&Window", nullptr, 0},
    {1, 57648, u"&New Window", nullptr, 0},
    {1, 57650, u"&Cascade", nullptr, 0},
    {1, 57651, u"&Tile", nullptr, 0},
    {1, 57649, u"&Arrange Icons", nullptr, 0},
    {0, 0, u"&Help", nullptr, 0},
    {1, 32916, u"&Help Topics", nullptr, 260},
    {1, 0, nullptr, nullptr, 0},
    {1, 57664, u"&About Brenvik...", nullptr, 0},
};

// Context menus: the node tool's (171), the drawing tools' (214) and the
// select tool's (231); the language files give the real texts.
constexpr MenuItemResource kMenu171[] = {
    {0, 0, u"EditNode", nullptr, 0},
    {1, 32822, u"Set Start Point", nullptr, 0},
};
constexpr MenuItemResource kMenu214[] = {
    {0, 0, u"DrawPath", nullptr, 0},
    {1, 32880, u"End", nullptr, 0},
    {1, 32881, u"Close", nullptr, 0},
};
constexpr MenuItemResource kMenu231[] = {
    {0, 0, u"EditNone", nullptr, 0},
    {1, 32891, u"Close", nullptr, 0},
    {1, 32892, u"Delete", nullptr, 0},
};

constexpr Accelerator kAccelerators[] = {
    {'N', true, false, false, cmd::FileNew},       {'O', true, false, false, cmd::FileOpen},
    {'Z', true, false, false, cmd::EditUndo},      {vk::Back, false, false, true, cmd::EditUndo},
    {'X', true, false, false, cmd::EditCut},       {vk::Delete, false, true, false, cmd::EditCut},
    {'C', true, false, false, cmd::EditCopy},      {vk::Insert, true, false, false, cmd::EditCopy},
    {'V', true, false, false, cmd::EditPaste},     {vk::Insert, false, true, false, cmd::EditPaste},
};

} // namespace

// The images are compiled into a static library: registering them here
// keeps the linker from leaving them out.
static void LoadImageResources()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(brenvik);
        return true;
    }();
    (void)loaded;
}

std::span<const ToolbarButton> ToolbarButtons(int toolbarId)
{
    switch (toolbarId) {
    case 128:
        return kMain;
    case 130:
        return kTools;
    case 180:
        return kProperty;
    case 189:
        return kAlign;
    case 196:
        return kGroup;
    case 210:
        return kPathTools;
    case 238:
        return kPlace;
    default:
        return {};
    }
}

QPixmap ToolbarImage(int toolbarId, int image)
{
    if (ToolbarButtons(toolbarId).empty() || image < 0)
        return QPixmap();
    LoadImageResources();
    const QPixmap strip(QStringLiteral(":/toolbar/%1.png").arg(toolbarId));
    if (strip.isNull() || (image + 1) * kImageWidth > strip.width())
        return QPixmap();
    return strip.copy(image * kImageWidth, 0, kImageWidth, kImageHeight);
}

QPixmap BitmapResource(int id)
{
    if (id != 217 && id != 220 && id != 260 && (id < 262 || id > 271))
        return QPixmap();
    LoadImageResources();
    return QPixmap(QStringLiteral(":/bitmap/%1.png").arg(id));
}

QIcon IconResource(int id)
{
    LoadImageResources();
    QIcon icon;
    if (id == 128) {
        icon.addFile(QStringLiteral(":/icon/128-16.png"));
        icon.addFile(QStringLiteral(":/icon/128-32.png"));
    } else if ((id >= 228 && id <= 230) || (id >= 243 && id <= 248) || id == 137 || id == 138 || (id >= 202 && id <= 205) || id == 234) {
        icon.addFile(QStringLiteral(":/icon/%1.png").arg(id));
    }
    return icon;
}

QCursor CursorResource(int id)
{
    LoadImageResources();
    struct HotSpot {
        int id, x, y;
    };
    static constexpr HotSpot kHotSpots[] = {{159, 11, 11}, {249, 1, 1}, {250, 1, 1}, {251, 1, 1}, {261, 16, 16}};
    for (const HotSpot& h : kHotSpots) {
        if (h.id != id)
            continue;
        const QPixmap image(QStringLiteral(":/cursor/%1.png").arg(id));
        if (!image.isNull())
            return QCursor(image, h.x, h.y);
    }
    return QCursor(Qt::ArrowCursor);
}

std::span<const MenuItemResource> MenuResource(int menuId)
{
    if (menuId == 128)
        return kMenu128;
    if (menuId == 129)
        return kMenu129;
    if (menuId == 171)
        return kMenu171;
    if (menuId == 214)
        return kMenu214;
    if (menuId == 231)
        return kMenu231;
    return {};
}

namespace {

// Commands the designed table gives no key, which take the platform's
// standard one.
struct StandardCommand {
    QKeySequence::StandardKey key;
    plat::UINT id;
};
constexpr StandardCommand kStandardCommands[] = {
    {QKeySequence::Save, cmd::FileSave},      {QKeySequence::SaveAs, cmd::FileSaveAs},
    {QKeySequence::Redo, cmd::EditRedo},      {QKeySequence::SelectAll, cmd::EditSelectAll},
    {QKeySequence::Close, cmd::FileClose},    {QKeySequence::Quit, cmd::AppExit},
};

struct StandardAccelerator {
    Accelerator accelerator;
    QKeySequence sequence;
};

// The platform's keys of those commands: single keys with Ctrl, Shift and
// Alt only, each left out when the designed table or an earlier command
// already uses it.
const std::vector<StandardAccelerator>& StandardAccelerators()
{
    static const std::vector<StandardAccelerator> added = [] {
        std::vector<StandardAccelerator> out;
        std::vector<Accelerator> used(std::begin(kAccelerators), std::end(kAccelerators));
        for (const StandardCommand& s : kStandardCommands) {
            const bool designed = std::any_of(std::begin(kAccelerators), std::end(kAccelerators),
                                              [&](const Accelerator& a) { return a.id == s.id; });
            if (designed)
                continue;
            for (const QKeySequence& sequence : QKeySequence::keyBindings(s.key)) {
                if (sequence.count() != 1)
                    continue;
                const QKeyCombination combination = sequence[0];
                const Qt::KeyboardModifiers mods = combination.keyboardModifiers();
                const int code = ToVirtualKey(static_cast<int>(combination.key()));
                if (code == 0 || (mods & ~(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier)) != 0)
                    continue;
                const Accelerator a{code, (mods & Qt::ControlModifier) != 0, (mods & Qt::ShiftModifier) != 0,
                                    (mods & Qt::AltModifier) != 0, s.id};
                if (FindAccelerator(used, VirtualKey{a.code, a.ctrl, a.shift, a.alt, true}) != 0)
                    continue;
                used.push_back(a);
                out.push_back({a, sequence});
            }
        }
        return out;
    }();
    return added;
}

} // namespace

std::span<const Accelerator> AcceleratorTable()
{
    static const std::vector<Accelerator> table = [] {
        std::vector<Accelerator> all(std::begin(kAccelerators), std::end(kAccelerators));
        for (const StandardAccelerator& s : StandardAccelerators())
            all.push_back(s.accelerator);
        return all;
    }();
    return table;
}

QString StandardKeyText(plat::UINT id)
{
    for (const StandardAccelerator& s : StandardAccelerators())
        if (s.accelerator.id == id)
            return s.sequence.toString(QKeySequence::NativeText);
    return QString();
}
