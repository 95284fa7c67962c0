// The HPGL reader. It replays what a plotter does with the file: a pen that
// is up or down at a current position in plotter units, scaling points and
// user-unit scaling, absolute and relative plotting, encoded polylines and
// arcs. Every run of pen-down moves becomes one polyline; a pen put down
// without moving becomes a point.
#include "FileTransPlt.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocDataPoint.h"
#include "model/DocState.h"
#include "platform/TextFile.h"
#include "platform/WorkControl.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

namespace {

constexpr double kMinPlotterUnit = -2147483648.0;
constexpr double kMaxPlotterUnit = 2147483647.0;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr char kEsc = '\x1b';
constexpr char kLabelEnd = '\x03'; // ETX, the terminator of LB until DT sets another

// P2 where IN and a bare IP put it (P1 is the origin): the common plotters'
// hard-clip corner for their A and A4 sheets. Only P2 - P1 matters once the
// drawing is placed.
constexpr double kDefaultP2x = 10000.0;
constexpr double kDefaultP2y = 7200.0;

// Arcs: no chord spans more than an eighth of a turn, whatever the radius.
constexpr double kMaxChordAngle = std::numbers::pi / 4.0;
// Arc nodes one file may make: 64 per byte, within these bounds. Keeps a
// few bytes of huge circles from filling the memory.
constexpr std::size_t kMinArcNodes = std::size_t{1} << 20;
constexpr std::size_t kMaxArcNodes = std::size_t{1} << 24;

// Encoded polylines: the most digits a number may have before it counts as
// out of range (2^48 in base 64, beyond any coordinate).
constexpr int kMaxEncodedDigits = 8;
constexpr double kMaxFractionBits = 26.0;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return c >= 'a' ? static_cast<char>(c - ('a' - 'A')) : c; }
bool InPlotterRange(double v) { return v >= kMinPlotterUnit && v <= kMaxPlotterUnit; }

constexpr std::uint16_t Mnemonic(char a, char b)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(a) << 8 | static_cast<unsigned char>(b));
}

// One axis of the user-unit scaling: plotter = a * user + b.
struct AxisMap {
    double a = 1.0;
    double b = 0.0;
    double Map(double user) const { return a * user + b; }
    double Unmap(double plotter) const { return (plotter - b) / a; }
};

// The SC parameters in force.
struct Scaling {
    bool on = false;
    int type = 0;
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0; // type 2: xmax and ymax are the factors
    double left = 50.0, bottom = 50.0;
};

enum class Step { Go, Stop, Fail };

class PltReader {
public:
    PltReader(std::string_view bytes, DOCCONTEXT* ctx)
        : m_bytes(bytes), m_ctx(ctx), m_arcNodes(std::clamp(bytes.size() * 64, kMinArcNodes, kMaxArcNodes))
    {
    }
    ~PltReader()
    {
        CDocState::FreeNodeList(m_chainHead);
        DeleteObjectList(m_head);
    }

    bool Run();
    CDocData* TakeList()
    {
        CDocData* list = m_head;
        m_head = m_tail = nullptr;
        return list;
    }

private:
    char At(std::size_t i) const { return i < m_bytes.size() ? m_bytes[i] : '\0'; }
    bool StartsNumber(std::size_t i) const;
    double ReadNumber();
    bool NextNumber(double& v);
    std::size_t Numbers(double* v, std::size_t max);
    void SkipEscape();

    Step Command(std::uint16_t m);
    Step Plot(std::uint16_t m);
    Step SelectPen(double n);
    Step Encoded();
    Step Arc(double cx, double cy, double degrees);
    Step Circle(double radius);
    void InputP1P2();
    void Scale();
    void Initialize();
    bool UpdateMap();

    bool MoveTo(double x, double y, bool relative, bool down);
    template <class Point> bool Flatten(double cx, double cy, double vx, double vy, double sweep, Point&& point);
    void BeginChain();
    void Extend(double x, double y);
    void CloseChain();
    void Emit(DOCNODE* head);

    std::string_view m_bytes;
    std::size_t m_pos = 0;
    bool m_paramsDone = false;
    DOCCONTEXT* m_ctx;

    std::int32_t m_pen = 0;
    bool m_down = false;
    bool m_relative = false;
    double m_x = 0.0;
    double m_y = 0.0;
    double m_p1x = 0.0, m_p1y = 0.0, m_p2x = kDefaultP2x, m_p2y = kDefaultP2y;
    Scaling m_scale;
    AxisMap m_mx, m_my;
    char m_labelEnd = kLabelEnd;
    std::size_t m_arcNodes;

    DOCNODE* m_chainHead = nullptr;
    DOCNODE* m_chainTail = nullptr;
    CDocData* m_head = nullptr;
    CDocData* m_tail = nullptr;
};

// ------------------------------------------------------------ numbers

bool PltReader::StartsNumber(std::size_t i) const
{
    if (At(i) == '-' || At(i) == '+')
        ++i;
    return IsDigit(At(i)) || (At(i) == '.' && IsDigit(At(i + 1)));
}

// The number at the cursor: sign, digits, decimals, exponent. One beyond
// the range of a double reads as infinite, which no coordinate accepts.
double PltReader::ReadNumber()
{
    std::size_t i = m_pos;
    const bool negative = At(i) == '-';
    if (At(i) == '-' || At(i) == '+')
        ++i;
    const std::size_t start = i;
    std::uint64_t whole = 0;
    while (IsDigit(At(i)) && i - start < 15)
        whole = whole * 10 + static_cast<std::uint64_t>(At(i++) - '0');
    double v = static_cast<double>(whole);
    // Integers of up to 15 digits, what plotter drivers write, are read
    // above; everything else takes the general conversion.
    bool general = IsDigit(At(i));
    while (IsDigit(At(i)))
        ++i;
    if (At(i) == '.') {
        general = true;
        ++i;
        while (IsDigit(At(i)))
            ++i;
    }
    if (At(i) == 'e' || At(i) == 'E') {
        const std::size_t digit = At(i + 1) == '-' || At(i + 1) == '+' ? i + 2 : i + 1;
        if (IsDigit(At(digit))) {
            general = true;
            i = digit;
            while (IsDigit(At(i)))
                ++i;
        }
    }
    if (general) {
        const auto r = std::from_chars(m_bytes.data() + start, m_bytes.data() + i, v);
        if (r.ec != std::errc())
            v = kInfinity;
    }
    m_pos = i;
    return negative ? -v : v;
}

// The next number of the current command. False at its end: a ';' (passed
// over), the next mnemonic or escape, or the end of the file. Commas,
// blanks, stray bytes and quoted strings between numbers are passed over.
bool PltReader::NextNumber(double& v)
{
    while (!m_paramsDone && m_pos < m_bytes.size()) {
        const char c = m_bytes[m_pos];
        if (c == ';') {
            ++m_pos;
            break;
        }
        if (IsLetter(c) || c == kEsc)
            break;
        if (StartsNumber(m_pos)) {
            v = ReadNumber();
            return true;
        }
        if (c == '"') {
            const std::size_t close = m_bytes.find('"', m_pos + 1);
            m_pos = close == std::string_view::npos ? m_bytes.size() : close + 1;
        } else {
            ++m_pos;
        }
    }
    m_paramsDone = true;
    return false;
}

// Up to `max` numbers of the current command into v; the count read.
std::size_t PltReader::Numbers(double* v, std::size_t max)
{
    std::size_t n = 0;
    while (n < max && NextNumber(v[n]))
        ++n;
    return n;
}

// PCL escapes around HP-GL/2 (reset, mode switches) and the device
// controls of serial plotters ("ESC . x params :").
void PltReader::SkipEscape()
{
    const auto in = [this](unsigned char lo, unsigned char hi) {
        const auto c = static_cast<unsigned char>(At(m_pos));
        return m_pos < m_bytes.size() && c >= lo && c <= hi;
    };
    ++m_pos;
    if (At(m_pos) == '.') {
        m_pos += 2;
        while (m_pos < m_bytes.size() && (IsDigit(m_bytes[m_pos]) || m_bytes[m_pos] == ';'))
            ++m_pos;
        if (At(m_pos) == ':')
            ++m_pos;
    } else if (in(0x21, 0x2F)) {
        ++m_pos;
        if (in(0x60, 0x7E))
            ++m_pos;
        for (;;) {
            while (m_pos < m_bytes.size() && (IsDigit(m_bytes[m_pos]) || m_bytes[m_pos] == '-' ||
                                              m_bytes[m_pos] == '+' || m_bytes[m_pos] == '.'))
                ++m_pos;
            if (in(0x60, 0x7E)) {
                ++m_pos;
                continue;
            }
            if (in(0x40, 0x5E))
                ++m_pos;
            break;
        }
    } else if (in(0x30, 0x7E)) {
        ++m_pos;
    }
}

// ------------------------------------------------------------ chains

void PltReader::BeginChain()
{
    m_chainHead = m_chainTail = AppendNode(nullptr, m_x, m_y);
}

void PltReader::Extend(double x, double y)
{
    if (m_chainHead == nullptr)
        BeginChain();
    m_chainTail = AppendNode(m_chainTail, x, y);
}

// Appends an object of the current pen: a polyline, or a point for a lone
// node.
void PltReader::Emit(DOCNODE* head)
{
    CDocData* obj = nullptr;
    if (head->m_pNext != nullptr)
        obj = new CDocDataLine(head, 1, m_ctx);
    else
        obj = new CDocDataPoint(head, true, m_ctx);
    const int layer = m_pen % kPaletteSize;
    obj->m_nLayer = layer;
    obj->m_nColor = CDocData::SettingsOf(m_ctx).m_palette[static_cast<std::size_t>(layer)];
    AppendObject(m_head, m_tail, obj);
}

void PltReader::CloseChain()
{
    if (m_chainHead == nullptr)
        return;
    DOCNODE* head = m_chainHead;
    m_chainHead = m_chainTail = nullptr;
    Emit(head);
}

// A coordinate pair in user units (plotter units while scaling is off):
// absolute, or a step from the current position. False when the pen would
// leave the 32-bit plotter range.
bool PltReader::MoveTo(double x, double y, bool relative, bool down)
{
    const double px = relative ? m_x + m_mx.a * x : m_mx.Map(x);
    const double py = relative ? m_y + m_my.a * y : m_my.Map(y);
    if (!InPlotterRange(px) || !InPlotterRange(py))
        return false;
    if (down)
        Extend(px, py);
    else
        CloseChain();
    m_x = px;
    m_y = py;
    m_down = down;
    return true;
}

// ------------------------------------------------------------ scaling

// The user-to-plotter map of the scaling in force. False, with the map
// unchanged, when the scaling gives no usable map.
bool PltReader::UpdateMap()
{
    AxisMap mx, my;
    if (m_scale.on) {
        const Scaling& s = m_scale;
        const double dx = m_p2x - m_p1x, dy = m_p2y - m_p1y;
        if (s.type == 2) {
            mx.a = s.xmax;
            my.a = s.ymax;
        } else {
            mx.a = dx / (s.xmax - s.xmin);
            my.a = dy / (s.ymax - s.ymin);
        }
        mx.b = m_p1x - s.xmin * mx.a;
        my.b = m_p1y - s.ymin * my.a;
        if (s.type == 1) {
            // Equal units on both axes; the window sits inside P1-P2 with
            // the given shares of the room left over to its left and below.
            const double unit = std::min(std::abs(mx.a), std::abs(my.a));
            const auto place = [unit](AxisMap& m, double p1, double p2, double umin, double umax, double share) {
                const double span = unit * std::abs(umax - umin);
                const double low = std::min(p1, p2) + (std::abs(p2 - p1) - span) * share / 100.0;
                m.a = std::copysign(unit, m.a);
                m.b = (p2 >= p1 ? low : low + span) - umin * m.a;
            };
            place(mx, m_p1x, m_p2x, s.xmin, s.xmax, s.left);
            place(my, m_p1y, m_p2y, s.ymin, s.ymax, s.bottom);
        }
    }
    const auto usable = [](const AxisMap& m) { return std::isfinite(m.a) && std::isfinite(m.b) && m.a != 0.0; };
    if (!usable(mx) || !usable(my))
        return false;
    m_mx = mx;
    m_my = my;
    return true;
}

// IP: both scaling points, P1 alone (P2 keeps its distance), or the
// defaults. A coordinate of P2 equal to P1's moves one unit on, as on the
// plotters.
void PltReader::InputP1P2()
{
    double v[4];
    const std::size_t n = Numbers(v, 4);
    if (n == 1 || n == 3)
        return;
    for (std::size_t i = 0; i < n; ++i) {
        if (!InPlotterRange(v[i]))
            return;
    }
    const double old[4] = {m_p1x, m_p1y, m_p2x, m_p2y};
    if (n == 0) {
        m_p1x = m_p1y = 0.0;
        m_p2x = kDefaultP2x;
        m_p2y = kDefaultP2y;
    } else if (n == 2) {
        m_p2x += v[0] - m_p1x;
        m_p2y += v[1] - m_p1y;
        m_p1x = v[0];
        m_p1y = v[1];
    } else {
        m_p1x = v[0];
        m_p1y = v[1];
        m_p2x = v[2];
        m_p2y = v[3];
    }
    if (m_p2x == m_p1x)
        m_p2x += 1.0;
    if (m_p2y == m_p1y)
        m_p2y += 1.0;
    if (!UpdateMap()) {
        m_p1x = old[0];
        m_p1y = old[1];
        m_p2x = old[2];
        m_p2y = old[3];
    }
}

// SC: user units onto P1-P2 (type 0, anisotropic; 1, isotropic; 2, point
// factors); without numbers scaling ends. A window of no width, a factor of
// 0 or a number out of range leaves the scaling as it was.
void PltReader::Scale()
{
    double v[7];
    const std::size_t n = Numbers(v, 7);
    const Scaling old = m_scale;
    if (n == 0) {
        m_scale.on = false;
        UpdateMap();
        return;
    }
    if (n < 4 || !std::all_of(v, v + n, [](double d) { return std::isfinite(d); }))
        return;
    const double type = n > 4 ? v[4] : 0.0;
    if (type != 0.0 && type != 1.0 && type != 2.0)
        return;
    Scaling s;
    s.on = true;
    s.type = static_cast<int>(type);
    s.xmin = v[0];
    s.xmax = v[1];
    s.ymin = v[2];
    s.ymax = v[3];
    if (s.type == 1) {
        s.left = n > 5 ? v[5] : 50.0;
        s.bottom = n > 6 ? v[6] : 50.0;
        if (s.left < 0.0 || s.left > 100.0 || s.bottom < 0.0 || s.bottom > 100.0)
            return;
    }
    if (s.type != 2 && (s.xmax == s.xmin || s.ymax == s.ymin))
        return;
    m_scale = s;
    if (!UpdateMap())
        m_scale = old;
}

void PltReader::Initialize()
{
    CloseChain();
    m_down = false;
    m_relative = false;
    m_x = m_y = 0.0;
    m_p1x = m_p1y = 0.0;
    m_p2x = kDefaultP2x;
    m_p2y = kDefaultP2y;
    m_scale.on = false;
    UpdateMap();
    m_labelEnd = kLabelEnd;
}

// ------------------------------------------------------------ commands

// SP n: the path drawn so far keeps its pen; the new pen starts up. Pen 0
// ends the drawing; what is not a pen number is passed over.
Step PltReader::SelectPen(double n)
{
    if (!(n >= 0.0 && n < 2147483648.0))
        return Step::Go;
    const auto pen = static_cast<std::int64_t>(n);
    if (pen == 0)
        return Step::Stop;
    CloseChain();
    m_down = false;
    m_pen = static_cast<std::int32_t>(pen - 1);
    return Step::Go;
}

// PU, PD, PA, PR: the pen state or plotting mode, then each pair in turn.
Step PltReader::Plot(std::uint16_t m)
{
    if (m == Mnemonic('P', 'U')) {
        CloseChain();
        m_down = false;
    } else if (m == Mnemonic('P', 'D')) {
        // The pen touching down marks the paper even if it never moves.
        if (!m_down && m_chainHead == nullptr)
            BeginChain();
        m_down = true;
    } else {
        m_relative = m == Mnemonic('P', 'R');
    }
    double x = 0.0, y = 0.0;
    while (NextNumber(x) && NextNumber(y)) {
        if (!MoveTo(x, y, m_relative, m_down))
            return Step::Fail;
    }
    return Step::Go;
}

// PE: self-terminating numbers in base 64 (or base 32 after the '7' flag),
// least significant digit first, the lowest bit the sign; flags select a
// pen (':'), lift the pen for the next pair ('<'), make the next pair
// absolute ('='), or set the fraction bits ('>'). Pairs are relative steps
// otherwise, drawn with the pen down. The data runs to ';'.
Step PltReader::Encoded()
{
    enum class Want { Coordinate, Pen, Fraction } want = Want::Coordinate;
    bool sevenBit = false, penUp = false, absolute = false, haveX = false;
    double fraction = 1.0, x = 0.0;
    std::uint64_t number = 0, place = 1;
    int digits = 0;
    while (m_pos < m_bytes.size()) {
        auto c = static_cast<unsigned char>(m_bytes[m_pos++]);
        if (sevenBit)
            c &= 0x7F;
        if (c == ';')
            break;
        int digit = -1;
        bool last = false;
        if (c >= 63 && c <= (sevenBit ? 94 : 126)) {
            digit = c - 63;
        } else if (sevenBit ? (c >= 95 && c <= 126) : (c >= 191 && c <= 254)) {
            digit = c - (sevenBit ? 95 : 191);
            last = true;
        }
        if (digit < 0) {
            // Flags count with or without their eighth bit; blanks, controls
            // and bytes the encoding does not use are passed over.
            switch (c & 0x7F) {
            case ':':
                want = Want::Pen;
                break;
            case '>':
                want = Want::Fraction;
                break;
            case '<':
                penUp = true;
                break;
            case '=':
                absolute = true;
                break;
            case '7':
                sevenBit = true;
                break;
            default:
                continue;
            }
            number = 0;
            place = 1;
            digits = 0;
            continue;
        }
        if (++digits <= kMaxEncodedDigits) {
            number += static_cast<std::uint64_t>(digit) * place;
            place *= sevenBit ? 32 : 64;
        }
        if (!last)
            continue;
        const double magnitude = digits > kMaxEncodedDigits ? kInfinity : static_cast<double>(number >> 1);
        const double value = (number & 1) != 0 ? -magnitude : magnitude;
        number = 0;
        place = 1;
        digits = 0;
        if (want == Want::Pen) {
            want = Want::Coordinate;
            if (SelectPen(value) == Step::Stop)
                return Step::Stop;
        } else if (want == Want::Fraction) {
            want = Want::Coordinate;
            if (std::abs(value) <= kMaxFractionBits)
                fraction = std::ldexp(1.0, -static_cast<int>(value));
        } else if (!haveX) {
            x = value;
            haveX = true;
        } else {
            if (!MoveTo(x * fraction, value * fraction, !absolute, !penUp))
                return Step::Fail;
            haveX = penUp = absolute = false;
        }
    }
    return Step::Go;
}

// Calls point(x, y) in plotter units for the chord ends of the arc about
// (cx, cy) that starts at (cx + vx, cy + vy) and sweeps `sweep` radians
// counter-clockwise, all in user units, the start itself left out. No chord
// strays more than one plotter unit from the arc. False when the arc leaves
// the 32-bit range or the file's arc nodes run out.
template <class Point>
bool PltReader::Flatten(double cx, double cy, double vx, double vy, double sweep, Point&& point)
{
    const double radius = std::hypot(vx, vy);
    if (radius == 0.0 || sweep == 0.0)
        return true;
    const double rx = radius * std::abs(m_mx.a), ry = radius * std::abs(m_my.a);
    const double px = m_mx.Map(cx), py = m_my.Map(cy);
    if (!InPlotterRange(px - rx) || !InPlotterRange(px + rx) || !InPlotterRange(py - ry) || !InPlotterRange(py + ry))
        return false;
    // The chord's sagitta r (1 - cos(a / 2)) stays within one unit at the
    // larger plotter radius, which bounds it on a scaled (elliptic) arc too.
    const double r = std::max(rx, ry);
    const double step = r > 1.0 ? std::min(kMaxChordAngle, 2.0 * std::acos(1.0 - 1.0 / r)) : kMaxChordAngle;
    const double chords = std::ceil(std::abs(sweep) / step);
    if (!(chords <= static_cast<double>(m_arcNodes)))
        return false;
    const auto n = static_cast<std::size_t>(chords);
    m_arcNodes -= n;
    for (std::size_t k = 1; k <= n; ++k) {
        const double t = sweep * static_cast<double>(k) / static_cast<double>(n);
        const double c = std::cos(t), s = std::sin(t);
        const double x = std::clamp(m_mx.Map(cx + vx * c - vy * s), kMinPlotterUnit, kMaxPlotterUnit);
        const double y = std::clamp(m_my.Map(cy + vx * s + vy * c), kMinPlotterUnit, kMaxPlotterUnit);
        point(x, y);
    }
    return true;
}

// AA and AR: an arc from the current position about a centre, drawn with
// the pen as it is; the pen ends at the arc's end. A sweep beyond a whole
// turn is one turn; parameters that are not numbers skip the command.
Step PltReader::Arc(double cx, double cy, double degrees)
{
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(degrees))
        return Step::Go;
    const double sweep = std::clamp(degrees, -360.0, 360.0) * std::numbers::pi / 180.0;
    const double vx = m_mx.Unmap(m_x) - cx, vy = m_my.Unmap(m_y) - cy;
    if (!std::isfinite(vx) || !std::isfinite(vy))
        return Step::Fail;
    double endX = m_x, endY = m_y;
    if (m_down) {
        if (!Flatten(cx, cy, vx, vy, sweep, [this](double x, double y) { Extend(x, y); }))
            return Step::Fail;
        if (m_chainTail != nullptr) {
            endX = m_chainTail->m_x;
            endY = m_chainTail->m_y;
        }
    } else {
        if (std::hypot(vx, vy) == 0.0)
            return Step::Go;
        const double c = std::cos(sweep), s = std::sin(sweep);
        endX = m_mx.Map(cx + vx * c - vy * s);
        endY = m_my.Map(cy + vx * s + vy * c);
        if (!InPlotterRange(endX) || !InPlotterRange(endY))
            return Step::Fail;
    }
    m_x = endX;
    m_y = endY;
    return Step::Go;
}

// CI: a closed path of its own about the current position, whatever the
// pen; the pen and the open chain stay as they are. It starts at angle 0
// (180 degrees for a negative radius) and runs counter-clockwise.
Step PltReader::Circle(double radius)
{
    if (!std::isfinite(radius) || radius == 0.0)
        return Step::Go;
    const double cx = m_mx.Unmap(m_x), cy = m_my.Unmap(m_y);
    const double sx = m_mx.Map(cx + radius), sy = m_y;
    if (!InPlotterRange(sx))
        return Step::Fail;
    DOCNODE* head = AppendNode(nullptr, sx, sy);
    DOCNODE* tail = head;
    if (!Flatten(cx, cy, radius, 0.0, 2.0 * std::numbers::pi,
                 [&tail](double x, double y) { tail = AppendNode(tail, x, y); })) {
        CDocState::FreeNodeList(head);
        return Step::Fail;
    }
    // The last chord ends exactly where the first began.
    tail->m_x = sx;
    tail->m_y = sy;
    Emit(head);
    return Step::Go;
}

Step PltReader::Command(std::uint16_t m)
{
    double v[4];
    switch (m) {
    case Mnemonic('P', 'U'):
    case Mnemonic('P', 'D'):
    case Mnemonic('P', 'A'):
    case Mnemonic('P', 'R'):
        return Plot(m);
    case Mnemonic('S', 'P'):
        if (Numbers(v, 1) == 1)
            return SelectPen(v[0]);
        return Step::Go;
    case Mnemonic('L', 'T'):
        // A new line type: the path drawn so far ends, the pen stays.
        CloseChain();
        return Step::Go;
    case Mnemonic('I', 'N'):
        Initialize();
        return Step::Go;
    case Mnemonic('D', 'F'):
        m_scale.on = false;
        UpdateMap();
        m_relative = false;
        m_labelEnd = kLabelEnd;
        return Step::Go;
    case Mnemonic('I', 'P'):
        InputP1P2();
        return Step::Go;
    case Mnemonic('S', 'C'):
        Scale();
        return Step::Go;
    case Mnemonic('A', 'A'):
    case Mnemonic('A', 'R'):
        if (Numbers(v, 3) < 3)
            return Step::Go;
        if (m == Mnemonic('A', 'R')) {
            v[0] += m_mx.Unmap(m_x);
            v[1] += m_my.Unmap(m_y);
        }
        return Arc(v[0], v[1], v[2]);
    case Mnemonic('C', 'I'):
        if (Numbers(v, 1) < 1)
            return Step::Go;
        return Circle(v[0]);
    case Mnemonic('P', 'E'):
        m_paramsDone = true;
        return Encoded();
    case Mnemonic('L', 'B'): {
        m_paramsDone = true;
        const std::size_t end = m_bytes.find(m_labelEnd, m_pos);
        m_pos = end == std::string_view::npos ? m_bytes.size() : end + 1;
        return Step::Go;
    }
    case Mnemonic('D', 'T'):
        // The character right after DT ends labels from now on.
        if (At(m_pos) == ';' || m_pos >= m_bytes.size()) {
            m_labelEnd = kLabelEnd;
        } else {
            m_labelEnd = m_bytes[m_pos];
            ++m_pos;
        }
        return Step::Go;
    case Mnemonic('S', 'M'):
        // The symbol drawn at each point: one character of any kind.
        if (m_pos < m_bytes.size() && At(m_pos) != ';')
            ++m_pos;
        return Step::Go;
    default:
        return Step::Go;
    }
}

bool PltReader::Run()
{
    // How far through the file, now and then; a cancelled read fails.
    constexpr int kCommandsPerStep = 4096;
    int sinceStep = 0;
    while (m_pos < m_bytes.size()) {
        const char c = m_bytes[m_pos];
        if (c == kEsc) {
            SkipEscape();
        } else if (IsLetter(c) && IsLetter(At(m_pos + 1))) {
            if (++sinceStep == kCommandsPerStep) {
                sinceStep = 0;
                if (!plat::WorkStep(static_cast<int>(m_pos * plat::WorkControl::kWhole / m_bytes.size())))
                    return false;
            }
            const std::uint16_t m = Mnemonic(Upper(c), Upper(m_bytes[m_pos + 1]));
            m_pos += 2;
            m_paramsDone = false;
            const Step step = Command(m);
            if (step == Step::Fail)
                return false;
            if (step == Step::Stop)
                break;
            // What the command left of its parameters is no coordinate.
            double skipped = 0.0;
            while (NextNumber(skipped)) {
            }
        } else {
            ++m_pos;
        }
    }
    CloseChain();
    return true;
}

} // namespace

bool CFileTransPlt::ReadPlt(const std::string& path, CDocData*& list, DOCCONTEXT* ctx)
{
    list = nullptr;
    std::string bytes;
    if (!plat::ReadWholeFile(path, bytes))
        return false;
    return ParsePlt(bytes, list, ctx);
}

bool CFileTransPlt::ParsePlt(std::string_view bytes, CDocData*& list, DOCCONTEXT* ctx)
{
    list = nullptr;
    PltReader reader(bytes, ctx);
    if (!reader.Run())
        return false;
    list = reader.TakeList();
    return true;
}
