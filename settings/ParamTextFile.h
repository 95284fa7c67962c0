// ParamTextFile: the one shape of every parameter file. A key line holding
// the key alone is followed by its value line; lines end in CR LF, one byte
// per character. Writers emit their entries in a fixed order; readers accept
// them in any order and skip keys they do not know.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

class ParamTextFile {
public:
    // Entries, in the order written.
    void Add(std::string_view key, std::string_view value);
    void AddSigned(std::string_view key, std::int64_t value);     // "%d", "%ld"
    void AddUnsigned(std::string_view key, std::uint64_t value);  // "%u"
    void AddReal(std::string_view key, double value);             // "%f", "%3f"
    void AddHexText(std::string_view key, std::u16string_view text);
    // A line that stands alone (a section's end line).
    void AddLine(std::string_view line);

    const std::vector<std::string>& Lines() const { return m_lines; }

    // Writes every line followed by CR LF, creating or emptying the file.
    // False when it cannot be written; nothing is written when it cannot be
    // created.
    bool Write(const std::string& path) const;

    using PairHandler = std::function<void(std::string_view key, std::string_view value)>;

    // The common reader: hands every key line and its value line to
    // `onPair`. A key line at the end of the file, without a value line, is
    // dropped. With `skipEmptyKeys`, an empty line in key position is passed
    // over by itself so that it does not shift the pairing of what follows.
    // False (and no call) when the file cannot be opened.
    static bool Read(const std::string& path, const PairHandler& onPair, bool skipEmptyKeys = false);
    // The same over lines already read.
    static void ReadPairs(const std::vector<std::string>& lines, const PairHandler& onPair,
                          bool skipEmptyKeys = false);

private:
    std::vector<std::string> m_lines;
};

// Value conversions. Integers take the decimal number at the start of the
// line (leading blanks, an optional sign, digits; anything else ends it; no
// digits give 0) and are cut to the field's width, so a negative number read
// into an unsigned field gives its two's complement. A digit string beyond
// the 64-bit range saturates before the cut.

// The signed conversion (strtol-like, saturating at the int64 limits).
std::int64_t ParamSignedValue(std::string_view line);
// The unsigned conversion (strtoul-like: a negative number is negated modulo
// 2^64; a magnitude beyond 2^64 - 1 gives 2^64 - 1).
std::uint64_t ParamUnsignedValue(std::string_view line);
// Real fields: the longest prefix that reads as a decimal number (blanks, a
// sign, digits with a point, an exponent), else 0.0; "nan", "inf" and a
// decimal beyond the range of a double give 0.0 too. Every parameter file
// reads its reals through this one function.
double ParamRealValue(std::string_view line);

// Field-width forms.
template <class T>
T ParamSigned(std::string_view line)
{
    static_assert(std::is_integral_v<T>);
    return static_cast<T>(ParamSignedValue(line));
}

template <class T>
T ParamUnsigned(std::string_view line)
{
    static_assert(std::is_integral_v<T>);
    return static_cast<T>(ParamUnsignedValue(line));
}
