#include "ShapeReader.h"

#include "OutlineMath.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <numbers>

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

// Vector directions in 22.5 degree steps, in doubled units per unit length.
constexpr int kVectorOffsets[16][2] = {
    {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {-1, 2}, {-2, 2}, {-2, 1},
    {-2, 0}, {-2, -1}, {-2, -2}, {-1, -2}, {0, -2}, {1, -2}, {2, -2}, {2, -1},
};

std::uint16_t ReadU16(const std::vector<std::uint8_t>& d, std::size_t pos)
{
    return static_cast<std::uint16_t>(d[pos] | (d[pos + 1] << 8));
}

std::uint32_t ReadU32(const std::vector<std::uint8_t>& d, std::size_t pos)
{
    return static_cast<std::uint32_t>(d[pos]) | (static_cast<std::uint32_t>(d[pos + 1]) << 8)
        | (static_cast<std::uint32_t>(d[pos + 2]) << 16) | (static_cast<std::uint32_t>(d[pos + 3]) << 24);
}

} // namespace

double dxfArc::Sweep() const
{
    double w = m_end - m_start;
    if (!std::isfinite(w))
        return 0.0;
    if (m_clockwise) {
        if (w > 0.0)
            w = std::fmod(w, 360.0) - 360.0;
        return std::max(w, -360.0);
    }
    if (w < 0.0)
        w = std::fmod(w, 360.0) + 360.0;
    return std::min(w, 360.0);
}

void CShapeReader::Reset()
{
    m_data.clear();
    m_table.clear();
    m_type = 0;
    m_fontHeight = 0.0;
    m_loaded = false;
    m_objects.clear();
}

int CShapeReader::LoadFont(const std::string& fileName)
{
    Reset();
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        return -1;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<std::uint64_t>(size) > kMaxFileSize)
        return -1;
    in.seekg(0, std::ios::beg);
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
        return -1;
    return LoadFromMemory(std::move(bytes));
}

int CShapeReader::LoadFromMemory(std::vector<std::uint8_t> bytes)
{
    Reset();
    if (bytes.size() > kMaxFileSize)
        return -1;
    m_data = std::move(bytes);
    // The header text ends with CR LF and the end-of-file byte; the
    // binary part is counted from that 0x1A byte.
    std::size_t eof = 0;
    for (std::size_t i = 1; i + 2 < m_data.size(); ++i) {
        if (m_data[i] == 0x0D && m_data[i + 1] == 0x0A && m_data[i + 2] == 0x1A) {
            eof = i + 2;
            break;
        }
    }
    if (eof == 0) {
        Reset();
        return -1;
    }
    std::string header(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(eof - 2));
    for (char& c : header)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool ok = false;
    if (header.find("shape") != std::string::npos) {
        m_type = kShapeFont;
        ok = ParseShapeFont(eof);
    } else if (header.find("bigfont") != std::string::npos) {
        m_type = kBigFont;
        ok = ParseBigFont(eof);
    } else if (header.find("unifont") != std::string::npos) {
        m_type = kUnicodeFont;
        ok = ParseUnicodeFont(eof);
    }
    if (!ok) {
        Reset();
        return -1;
    }
    m_loaded = true;
    return 0;
}

bool CShapeReader::InfoByte(const Entry& e, std::size_t fromEnd, std::uint8_t& value) const
{
    if (e.length < fromEnd)
        return false;
    value = m_data[e.offset + e.length - fromEnd];
    return true;
}

bool CShapeReader::ParseShapeFont(std::size_t eof)
{
    // First code, last code, count, then count entries of code and length.
    const std::size_t size = m_data.size();
    if (eof + 7 > size)
        return false;
    const std::uint16_t count = ReadU16(m_data, eof + 5);
    const std::size_t tableStart = eof + 7;
    // The data follows the whole table, shape after shape.
    std::uint64_t offset = tableStart + 4ull * count;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = tableStart + 4 * i;
        if (at + 4 > size)
            break;
        Entry e;
        e.code = ReadU16(m_data, at);
        e.length = ReadU16(m_data, at + 2);
        if (offset + e.length <= size) {
            e.offset = static_cast<std::uint32_t>(offset);
            m_table.push_back(e);
        }
        offset += e.length;
    }
    m_fontHeight = 8.0;
    const int info = FindCode(0);
    std::uint8_t above = 0;
    if (info >= 0 && InfoByte(m_table[static_cast<std::size_t>(info)], 4, above)) {
        const auto height = static_cast<std::int8_t>(above);
        if (height > 0)
            m_fontHeight = height;
    }
    return true;
}

bool CShapeReader::ParseBigFont(std::size_t eof)
{
    // Index size, count, number of escape ranges and the ranges (start and
    // end code each), then entries of code, length and file offset.
    const std::size_t size = m_data.size();
    if (eof + 7 > size)
        return false;
    const std::uint16_t count = ReadU16(m_data, eof + 3);
    const std::uint16_t ranges = ReadU16(m_data, eof + 5);
    const std::uint64_t tableStart = eof + 7 + 4ull * ranges;
    m_fontHeight = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t at = tableStart + 8ull * i;
        if (at + 8 > size)
            break;
        Entry e;
        e.code = ReadU16(m_data, static_cast<std::size_t>(at));
        e.length = ReadU16(m_data, static_cast<std::size_t>(at) + 2);
        const std::uint32_t offset = ReadU32(m_data, static_cast<std::size_t>(at) + 4);
        // Empty slots and shapes outside the file are left out.
        if (e.length == 0 || static_cast<std::uint64_t>(offset) + e.length > size)
            continue;
        e.offset = offset;
        m_table.push_back(e);
        std::uint8_t height = 0;
        if (e.code == 0 && m_fontHeight == 0.0 && InfoByte(e, 4, height))
            m_fontHeight = height > 0 ? height : 84.0;
    }
    if (m_fontHeight <= 0.0)
        m_fontHeight = 84.0;
    return true;
}

bool CShapeReader::ParseUnicodeFont(std::size_t eof)
{
    // Count (u32), length of the font information block (u16), the block,
    // then entries of code and length, each followed by its data.
    const std::size_t size = m_data.size();
    if (eof + 7 > size)
        return false;
    const std::uint32_t count = ReadU32(m_data, eof + 1);
    const std::uint16_t infoLength = ReadU16(m_data, eof + 5);
    std::size_t pos = eof + 7 + infoLength;
    if (pos > size)
        return false;
    m_fontHeight = 8.0;
    if (infoLength >= 6 && m_data[pos - 6] > 0)
        m_fontHeight = m_data[pos - 6];
    for (std::uint32_t i = 0; i < count && pos + 4 <= size; ++i) {
        Entry e;
        e.code = ReadU16(m_data, pos);
        e.length = ReadU16(m_data, pos + 2);
        pos += 4;
        if (pos + e.length > size)
            break;
        e.offset = static_cast<std::uint32_t>(pos);
        m_table.push_back(e);
        pos += e.length;
    }
    return true;
}

int CShapeReader::FindCode(std::uint32_t code) const
{
    for (std::size_t i = 0; i < m_table.size(); ++i)
        if (m_table[i].code == code)
            return static_cast<int>(i);
    return -1;
}

int CShapeReader::Execute(std::uint32_t /*code*/, int index)
{
    m_objects.clear();
    if (!m_loaded || index < 0 || static_cast<std::size_t>(index) >= m_table.size())
        return -1;
    m_x = 0.0;
    m_y = 0.0;
    m_scale = 1.0;
    m_penDown = true;
    m_skipNext = false;
    m_stack.clear();
    m_commandsLeft = kMaxCommands;
    ExecShape(index, 0);
    return 0;
}

void CShapeReader::MoveTo(double x, double y)
{
    if (m_penDown)
        m_objects.push_back(std::make_unique<dxfLine>(m_x, m_y, x, y));
    m_x = x;
    m_y = y;
}

void CShapeReader::AddArc(double cx, double cy, double radius, double startDeg, double endDeg, bool clockwise)
{
    if (m_penDown)
        m_objects.push_back(std::make_unique<dxfArc>(cx, cy, radius, startDeg, endDeg, clockwise));
}

void CShapeReader::AddBulgeArc(double dx, double dy, int bulge)
{
    const double x1 = m_x;
    const double y1 = m_y;
    const double x2 = x1 + dx;
    const double y2 = y1 + dy;
    if (bulge == 0) {
        // No sagitta: the arc is its chord.
        MoveTo(x2, y2);
        return;
    }
    const bool clockwise = bulge < 0;
    const double c = std::hypot(dx, dy);
    if (c == 0.0) {
        AddArc(x1, y1, 0.0, 0.0, 0.0, clockwise);
        return;
    }
    const double u = std::abs(bulge) / 127.0 * 0.5;
    const double r = c * (4.0 * u * u + 1.0) / (8.0 * u);
    // Rounding can take the argument a hair below 0 for a half circle.
    double d = std::sqrt(std::max(0.0, r * r - c * c / 4.0));
    // A sagitta above half the chord (bulge -128) is the longer arc: the
    // centre lies on the other side of the chord.
    if (u > 0.5)
        d = -d;
    // Left of the chord for a counter-clockwise arc, right for a clockwise one.
    double nx = -dy / c;
    double ny = dx / c;
    if (clockwise) {
        nx = -nx;
        ny = -ny;
    }
    const double cx = (x1 + x2) / 2.0 + d * nx;
    const double cy = (y1 + y2) / 2.0 + d * ny;
    const double start = std::atan2(y1 - cy, x1 - cx) / kDegToRad;
    const double end = std::atan2(y2 - cy, x2 - cx) / kDegToRad;
    AddArc(cx, cy, r, start, end, clockwise);
    m_x = x2;
    m_y = y2;
}

struct CShapeReader::Codes {
    const std::vector<std::uint8_t>& data;
    std::size_t pos;
    std::size_t end;

    bool Next(std::uint8_t& b)
    {
        if (pos >= end)
            return false;
        b = data[pos++];
        return true;
    }
    bool NextSigned(int& v)
    {
        std::uint8_t b = 0;
        if (!Next(b))
            return false;
        v = static_cast<std::int8_t>(b);
        return true;
    }
};

void CShapeReader::ExecShape(int index, int depth)
{
    const Entry& e = m_table[static_cast<std::size_t>(index)];
    std::size_t pos = e.offset;
    const std::size_t end = static_cast<std::size_t>(e.offset) + e.length;
    // The shape's name comes first; one without its zero byte has no codes.
    while (pos < end && m_data[pos] != 0)
        ++pos;
    if (pos >= end)
        return;
    Codes codes{m_data, pos + 1, end};

    while (codes.pos < codes.end) {
        if (m_commandsLeft <= 0)
            return;
        --m_commandsLeft;
        const std::uint8_t code = m_data[codes.pos++];
        const bool run = !m_skipNext;
        m_skipNext = false;
        switch (code) {
        case 0:
            if (run)
                return;
            break;
        case 1:
            if (run)
                m_penDown = true;
            break;
        case 2:
            if (run)
                m_penDown = false;
            break;
        case 3: {
            std::uint8_t n = 0;
            if (!codes.Next(n))
                return;
            if (run && n != 0)
                m_scale /= n;
            break;
        }
        case 4: {
            std::uint8_t n = 0;
            if (!codes.Next(n))
                return;
            if (run)
                m_scale *= n;
            break;
        }
        case 5:
            if (run && m_stack.size() < kMaxStack)
                m_stack.emplace_back(m_x, m_y);
            break;
        case 6:
            if (run && !m_stack.empty()) {
                m_x = m_stack.back().first;
                m_y = m_stack.back().second;
                m_stack.pop_back();
            }
            break;
        case 7:
            if (!ExecSubshape(codes, depth, run))
                return;
            break;
        case 8: {
            int dx = 0;
            int dy = 0;
            if (!codes.NextSigned(dx) || !codes.NextSigned(dy))
                return;
            if (run)
                MoveTo(m_x + 2.0 * dx * m_scale, m_y + 2.0 * dy * m_scale);
            break;
        }
        case 9:
        case 13:
            if (!ExecVectorList(codes, code == 13, run))
                return;
            break;
        case 10:
        case 11:
            if (!ExecOctantArc(codes, code, run))
                return;
            break;
        case 12: {
            int dx = 0;
            int dy = 0;
            int bulge = 0;
            if (!codes.NextSigned(dx) || !codes.NextSigned(dy) || !codes.NextSigned(bulge))
                return;
            if (run)
                AddBulgeArc(2.0 * dx * m_scale, 2.0 * dy * m_scale, bulge);
            break;
        }
        case 14:
            if (run)
                m_skipNext = true;
            break;
        case 15:
            break;
        default: {
            if (!run)
                break;
            const int length = code >> 4;
            const int dir = code & 15;
            MoveTo(m_x + kVectorOffsets[dir][0] * length * m_scale, m_y + kVectorOffsets[dir][1] * length * m_scale);
            break;
        }
        }
    }
}

bool CShapeReader::ExecSubshape(Codes& codes, int depth, bool run)
{
    std::uint8_t hi = 0;
    std::uint8_t lo = 0;
    if (!codes.Next(lo))
        return false;
    if (m_type != kShapeFont) {
        hi = lo;
        if (!codes.Next(lo))
            return false;
    }
    if (!run || depth + 1 >= kMaxDepth)
        return true;
    const int sub = FindCode(static_cast<std::uint32_t>(hi) << 8 | lo);
    if (sub >= 0)
        ExecShape(sub, depth + 1);
    return true;
}

bool CShapeReader::ExecVectorList(Codes& codes, bool bulges, bool run)
{
    for (;;) {
        int dx = 0;
        int dy = 0;
        int bulge = 0;
        if (!codes.NextSigned(dx) || !codes.NextSigned(dy))
            return false;
        if (dx == 0 && dy == 0)
            return true;
        if (bulges && !codes.NextSigned(bulge))
            return false;
        if (m_commandsLeft-- <= 0)
            return false;
        if (!run)
            continue;
        if (bulges)
            AddBulgeArc(2.0 * dx * m_scale, 2.0 * dy * m_scale, bulge);
        else
            MoveTo(m_x + 2.0 * dx * m_scale, m_y + 2.0 * dy * m_scale);
    }
}

bool CShapeReader::ExecOctantArc(Codes& codes, std::uint8_t code, bool run)
{
    // Code 11 leads with the start and end offsets within their octants
    // (1/256 of 45 degrees) and a two-byte radius; code 10 has a one-byte
    // radius alone.
    std::uint8_t so = 0;
    std::uint8_t eo = 0;
    std::uint8_t rh = 0;
    std::uint8_t rl = 0;
    std::uint8_t oct = 0;
    if (code == 11 && (!codes.Next(so) || !codes.Next(eo) || !codes.Next(rh)))
        return false;
    if (!codes.Next(rl) || !codes.Next(oct))
        return false;
    if (!run)
        return true;
    const bool clockwise = (oct & 0x80) != 0;
    const int s = (oct >> 4) & 7;
    int n = oct & 7;
    if (n == 0)
        n = 8; // a count of 0 is the full circle
    if (eo != 0)
        --n; // the last octant is the partial one
    const double radius = (rh * 256.0 + rl) * m_scale * 2.0;
    const double start = so * 45.0 / 256.0 + s * 45.0;
    const double endAngle = clockwise ? -eo * 45.0 / 256.0 + (s - n) * 45.0 : eo * 45.0 / 256.0 + (s + n) * 45.0;
    ArcFromPen(radius, start, endAngle, clockwise);
    return true;
}

void CShapeReader::ArcFromPen(double radius, double startDeg, double endDeg, bool clockwise)
{
    const double cx = m_x - radius * std::cos(startDeg * kDegToRad);
    const double cy = m_y - radius * std::sin(startDeg * kDegToRad);
    AddArc(cx, cy, radius, startDeg, endDeg, clockwise);
    m_x = cx + radius * std::cos(endDeg * kDegToRad);
    m_y = cy + radius * std::sin(endDeg * kDegToRad);
}

std::vector<COutLine> CShapeReader::ToContours(double penX, double penY) const
{
    std::vector<COutLine> contours;
    contours.reserve(m_objects.size());
    for (const auto& object : m_objects) {
        COutLine contour;
        contour.m_closed = 0;
        if (object->m_kind == dxfObject::kLine) {
            const auto& line = static_cast<const dxfLine&>(*object);
            CSuPoint a;
            a.m_x = penX + line.m_x1;
            a.m_y = penY - line.m_y1;
            CSuPoint b;
            b.m_x = penX + line.m_x2;
            b.m_y = penY - line.m_y2;
            contour.m_points = {a, b};
        } else {
            const auto& arc = static_cast<const dxfArc&>(*object);
            contour.m_points = ArcToCubic(arc.m_cx, arc.m_cy, arc.m_radius, arc.m_radius, arc.m_start, arc.Sweep());
            for (CSuPoint& p : contour.m_points) {
                p.m_x = penX + p.m_x;
                p.m_y = penY - p.m_y;
            }
        }
        if (!contour.m_points.empty())
            contours.push_back(std::move(contour));
    }
    // Runaway scales give no usable points.
    DropNonFiniteContours(contours);
    return contours;
}
