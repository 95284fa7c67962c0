#include "DxfBenchFile.h"

#include "platform/RecordPool.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <numbers>
#include <random>
#include <vector>

namespace plat {

namespace {

// The benchmarks measure the program's heap.
const bool g_programHeap = (UseProgramHeap(), true);

// The path kept for the run (references stay valid); `write` tells whether
// the file must be written: the first time, or again when a benchmark has
// removed it meanwhile.
const std::string& Keep(const std::string& path, bool& write)
{
    static std::set<std::string> kept;
    const auto [it, added] = kept.insert(path);
    write = added || !std::filesystem::exists(path);
    return *it;
}

// Output in pieces, so the generator never holds the whole file.
class ChunkWriter {
public:
    explicit ChunkWriter(const std::string& path) : m_file(std::fopen(path.c_str(), "wb")) { m_text.reserve(kChunk); }
    ~ChunkWriter() { Close(); }
    bool Close()
    {
        if (m_file == nullptr)
            return false;
        Flush();
        const bool ok = std::fclose(m_file) == 0 && m_ok;
        m_file = nullptr;
        return ok;
    }
    void Add(std::string_view s)
    {
        m_text.append(s);
        if (m_text.size() >= kChunk - 512)
            Flush();
    }
    // A group: the code right-aligned in three columns, then its value.
    void Group(int code, std::string_view value)
    {
        char c[8];
        std::snprintf(c, sizeof c, "%3d\r\n", code);
        Add(c);
        Add(value);
        Add("\r\n");
    }
    void Real(int code, double v)
    {
        char b[40];
        const auto r = std::to_chars(b, b + sizeof b, v, std::chars_format::fixed, 4);
        Group(code, std::string_view(b, static_cast<std::size_t>(r.ptr - b)));
    }
    void Int(int code, long v, int width)
    {
        char b[24];
        std::snprintf(b, sizeof b, "%*ld", width, v);
        Group(code, b);
    }

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    void Flush()
    {
        if (!m_text.empty() && std::fwrite(m_text.data(), 1, m_text.size(), m_file) != m_text.size())
            m_ok = false;
        m_text.clear();
    }
    std::FILE* m_file;
    std::string m_text;
    bool m_ok = true;
};

} // namespace

const std::string& DxfFile(const std::string& folder, int side)
{
    bool write = false;
    const std::string& path = Keep(folder + "bench" + std::to_string(side) + ".dxf", write);
    if (!write)
        return path;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> start(0.0, side);
    std::uniform_real_distribution<double> step(-5.0, 5.0);
    std::string text = "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n4\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
    char line[200];
    for (int e = 0; e < 1000000; ++e) {
        const int layer = e / 1000 % 8;
        const double x = start(rng), y = start(rng);
        if (e % 7 != 6) {
            std::snprintf(line, sizeof line, "0\nLINE\n8\n%d\n10\n%.2f\n20\n%.2f\n11\n%.2f\n21\n%.2f\n", layer, x, y,
                          x + step(rng), y + step(rng));
        } else {
            const double w = 0.5 + std::fabs(step(rng)), h = 0.5 + std::fabs(step(rng));
            std::snprintf(line, sizeof line,
                          "0\nLWPOLYLINE\n8\n%d\n90\n4\n70\n1\n10\n%.2f\n20\n%.2f\n10\n%.2f\n20\n%.2f\n"
                          "10\n%.2f\n20\n%.2f\n10\n%.2f\n20\n%.2f\n",
                          layer, x, y, x + w, y, x + w, y + h, x, y + h);
        }
        text += line;
    }
    text += "0\nENDSEC\n0\nEOF\n";
    plat::WriteWholeFile(path, text);
    return path;
}

const std::string& MixedDxfFile(const std::string& folder)
{
    bool write = false;
    const std::string& path = Keep(folder + "mixed.dxf", write);
    if (!write)
        return path;
    static constexpr const char* kLayers[] = {"CUT", "SCORE", "MARK", "HOLES"};
    static constexpr int kColours[] = {1, 5, 3, 6};
    enum : std::uint8_t { Line, Poly, Circle, Arc };
    std::vector<std::uint8_t> kinds;
    kinds.reserve(1000000);
    kinds.insert(kinds.end(), 500000, Line);
    kinds.insert(kinds.end(), 250000, Poly);
    kinds.insert(kinds.end(), 125000, Circle);
    kinds.insert(kinds.end(), 125000, Arc);
    std::mt19937 rng(13);
    std::shuffle(kinds.begin(), kinds.end(), rng);
    std::uniform_real_distribution<double> place(5.0, 545.0);
    std::uniform_real_distribution<double> step(-5.0, 5.0);
    std::uniform_real_distribution<double> size(0.5, 4.5);
    std::uniform_real_distribution<double> angle(0.0, 360.0);
    std::uniform_int_distribution<int> layer(0, 3);
    std::uniform_int_distribution<int> corners(4, 8);

    ChunkWriter w(path);
    w.Group(0, "SECTION");
    w.Group(2, "HEADER");
    w.Group(9, "$ACADVER");
    w.Group(1, "AC1018");
    w.Group(9, "$INSUNITS");
    w.Int(70, 4, 6);
    w.Group(0, "ENDSEC");
    w.Group(0, "SECTION");
    w.Group(2, "TABLES");
    w.Group(0, "TABLE");
    w.Group(2, "LAYER");
    w.Int(70, 4, 6);
    for (int k = 0; k < 4; ++k) {
        w.Group(0, "LAYER");
        w.Group(2, kLayers[k]);
        w.Int(70, 0, 6);
        w.Int(62, kColours[k], 6);
        w.Group(6, "CONTINUOUS");
    }
    w.Group(0, "ENDTAB");
    w.Group(0, "ENDSEC");
    w.Group(0, "SECTION");
    w.Group(2, "ENTITIES");
    static constexpr const char* kNames[] = {"LINE", "LWPOLYLINE", "CIRCLE", "ARC"};
    unsigned handle = 0x100;
    char hex[16];
    for (const std::uint8_t kind : kinds) {
        w.Group(0, kNames[kind]);
        std::snprintf(hex, sizeof hex, "%X", handle++);
        w.Group(5, hex);
        w.Group(8, kLayers[layer(rng)]);
        const double x = place(rng), y = place(rng);
        switch (kind) {
        case Line:
            w.Real(10, x);
            w.Real(20, y);
            w.Real(11, x + step(rng));
            w.Real(21, y + step(rng));
            break;
        case Poly: {
            const int n = corners(rng);
            const double r = size(rng), turn = angle(rng);
            w.Int(90, n, 9);
            w.Int(70, 1, 6);
            w.Real(43, 0.0);
            for (int k = 0; k < n; ++k) {
                const double a = (turn + 360.0 * k / n) * std::numbers::pi / 180.0;
                w.Real(10, x + r * std::cos(a));
                w.Real(20, y + r * std::sin(a));
            }
            break;
        }
        case Circle:
        case Arc:
            w.Real(10, x);
            w.Real(20, y);
            w.Real(40, size(rng));
            if (kind == Arc) {
                w.Real(50, angle(rng));
                w.Real(51, angle(rng));
            }
            break;
        }
    }
    w.Group(0, "ENDSEC");
    w.Group(0, "EOF");
    if (!w.Close())
        std::abort();
    return path;
}

namespace {

// The value types of the group codes, as the DXF reference lists them.
bool IsRealCode(int c)
{
    return (c >= 10 && c <= 59) || (c >= 110 && c <= 149) || (c >= 210 && c <= 239) || (c >= 460 && c <= 469) ||
           (c >= 1010 && c <= 1059);
}

bool IsIntegerCode(int c)
{
    return (c >= 60 && c <= 99) || (c >= 160 && c <= 179) || (c >= 270 && c <= 299) || (c >= 370 && c <= 389) ||
           (c >= 400 && c <= 409) || (c >= 420 && c <= 429) || (c >= 440 && c <= 459) || (c >= 1060 && c <= 1071);
}

} // namespace

double PlainDxfGroupPass(const std::string& path)
{
    std::string bytes;
    // Read as the DXF reader reads it.
    if (!plat::ReadWholeFileOnce(path, bytes))
        return -1.0;
    double sum = 0.0;
    long long whole = 0;
    std::size_t text = 0;
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    int code = 0;
    bool isCode = true;
    while (p < end) {
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (eol == nullptr)
            eol = end;
        const char* b = p;
        const char* e = eol > p && eol[-1] == '\r' ? eol - 1 : eol;
        while (b < e && *b == ' ')
            ++b;
        if (isCode) {
            code = 0;
            std::from_chars(b, e, code);
        } else if (IsRealCode(code)) {
            double v = 0.0;
            std::from_chars(b, e, v);
            sum += v;
        } else if (IsIntegerCode(code)) {
            long long v = 0;
            std::from_chars(b, e, v);
            whole += v;
        } else {
            text += static_cast<std::size_t>(e - b);
        }
        isCode = !isCode;
        p = eol + 1;
    }
    return sum + static_cast<double>(whole) + static_cast<double>(text);
}

} // namespace plat
