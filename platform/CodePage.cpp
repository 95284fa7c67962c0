#include "CodePage.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <mutex>

namespace plat {

std::string CodePageName()
{
    const char* env = std::getenv("BRENVIK_CODEPAGE");
    if (env != nullptr && env[0] != '\0')
        return env;
    return "CP936";
}

namespace {

// Converts one buffer with iconv; returns false on an open failure.
// On an invalid sequence one input unit is skipped and `bad` appended.
bool Convert(const char* to, const char* from, const char* in, std::size_t inLen,
             std::size_t unit, std::string& out, const std::string& bad)
{
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.clear();
    char buf[1024];
    char* inPtr = const_cast<char*>(in);
    std::size_t inLeft = inLen;
    while (inLeft > 0) {
        char* outPtr = buf;
        std::size_t outLeft = sizeof buf;
        const std::size_t r = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        // Taken before the append, which may allocate and change errno.
        const int err = errno;
        out.append(buf, static_cast<std::size_t>(outPtr - buf));
        if (r == static_cast<std::size_t>(-1)) {
            if (err == E2BIG)
                continue;
            // EILSEQ or EINVAL (incomplete at the end): replace one unit.
            out += bad;
            std::size_t step = unit <= inLeft ? unit : inLeft;
            // One unconvertible character written as a surrogate pair is one '?'.
            if (unit == 2 && inLeft >= 4) {
                const unsigned hi = static_cast<unsigned char>(inPtr[1]);
                const unsigned lo2 = static_cast<unsigned char>(inPtr[3]);
                if (hi >= 0xD8 && hi < 0xDC && lo2 >= 0xDC && lo2 < 0xE0)
                    step = 4;
            }
            inPtr += step;
            inLeft -= step;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    char* outPtr = buf;
    std::size_t outLeft = sizeof buf;
    ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buf, static_cast<std::size_t>(outPtr - buf));
    ::iconv_close(cd);
    return true;
}

std::string ToBytes(std::u16string_view text)
{
    std::string s;
    s.reserve(text.size() * 2);
    for (char16_t c : text) {
        s += static_cast<char>(c & 0xFF);
        s += static_cast<char>(c >> 8);
    }
    return s;
}

std::u16string FromBytes(const std::string& s)
{
    std::u16string out;
    out.reserve(s.size() / 2);
    for (std::size_t i = 0; i + 1 < s.size(); i += 2)
        out += static_cast<char16_t>(static_cast<unsigned char>(s[i]) | (static_cast<unsigned char>(s[i + 1]) << 8));
    return out;
}

const std::string kReplacementLE("\xFD\xFF", 2);

} // namespace

std::string WideToCodePage(std::u16string_view text)
{
    std::string out;
    const std::string in = ToBytes(text);
    if (!Convert(CodePageName().c_str(), "UTF-16LE", in.data(), in.size(), 2, out, "?")) {
        // Unknown code page: keep ASCII, mark the rest.
        out.clear();
        for (char16_t c : text)
            out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

std::string WideToCodePageCut(std::u16string_view text, std::size_t maxBytes)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t n = 1;
        if (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            n = 2;
        std::string piece = WideToCodePage(text.substr(i, n));
        if (out.size() + piece.size() > maxBytes)
            break;
        out += piece;
        i += n;
    }
    return out;
}

std::u16string CodePageToWide(std::string_view bytes)
{
    std::string out;
    if (!Convert("UTF-16LE", CodePageName().c_str(), bytes.data(), bytes.size(), 1, out, kReplacementLE)) {
        std::u16string w;
        for (char c : bytes)
            w += static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c) : u'\uFFFD';
        return w;
    }
    return FromBytes(out);
}

bool IsLeadByte(unsigned char byte)
{
    static std::mutex mutex;
    static std::string tableName;
    static std::array<bool, 256> table{};
    const std::string name = CodePageName();
    std::lock_guard<std::mutex> lock(mutex);
    if (tableName != name) {
        tableName = name;
        table.fill(false);
        iconv_t cd = ::iconv_open("UTF-16LE", name.c_str());
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            for (int b = 0x80; b < 0x100; ++b) {
                char in = static_cast<char>(b);
                char* inPtr = &in;
                std::size_t inLeft = 1;
                char buf[8];
                char* outPtr = buf;
                std::size_t outLeft = sizeof buf;
                std::size_t r = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
                // A lone lead byte is an incomplete sequence.
                table[static_cast<std::size_t>(b)] = r == static_cast<std::size_t>(-1) && errno == EINVAL;
                ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
            }
            ::iconv_close(cd);
        }
    }
    return table[byte];
}

std::u16string Utf8ToUtf16(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0;
        std::size_t len = 0;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        }
        bool valid = len > 0 && i + len <= s.size();
        for (std::size_t k = 1; valid && k < len; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        if (valid) {
            static constexpr char32_t kMinForLen[5] = {0, 0, 0x80, 0x800, 0x10000};
            if (cp < kMinForLen[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
                valid = false;
        }
        if (!valid) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

} // namespace plat
