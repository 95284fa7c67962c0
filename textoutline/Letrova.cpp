#include "Letrova.h"

#include "MText.h"
#include "Text.h"

#include <cctype>
#include <new>
#include <string>

CMWord::~CMWord()
{
    for (COutLine* line : m_lines)
        delete line;
}

void DestroyWord(CMWord* word)
{
    delete word;
}

namespace {

// Each drawn character becomes a word of its contours, appended in drawing
// order. The points move over: the text object goes right after.
void AppendWords(std::vector<CTextChar>& chars, CMWordList& words)
{
    for (CTextChar& ch : chars) {
        auto* word = new CMWord;
        try {
            word->m_lines.reserve(ch.m_contours.size());
            for (COutLine& contour : ch.m_contours) {
                auto* line = new COutLine;
                word->m_lines.push_back(line);
                line->m_closed = contour.m_closed;
                line->m_points = std::move(contour.m_points);
            }
            words.push_back(word);
        } catch (...) {
            DestroyWord(word);
            throw;
        }
    }
}

// Base name and upper-cased extension (without its dots) of a file name
// written with either separator, and a drive letter perhaps.
void SplitFontFile(const std::string& file, std::string& base, std::string& extension)
{
    const std::size_t sep = file.find_last_of("/\\:");
    const std::string name = sep == std::string::npos ? file : file.substr(sep + 1);
    const std::size_t dot = name.find_last_of('.');
    base = name.substr(0, dot);
    extension.clear();
    if (dot == std::string::npos)
        return;
    for (std::size_t i = dot; i < name.size(); ++i)
        if (name[i] != '.' || !extension.empty())
            extension += static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
}

} // namespace

int g_GetTextOutlineInfo(Text record, CMWordList& words)
{
    // Nothing thrown inside may reach the caller; words appended before a
    // failure stay valid.
    try {
        CText text(record);
        const std::string fontFile = text.m_font_file.empty() ? std::string("arial.ttf") : text.m_font_file;
        std::string base;
        std::string extension;
        SplitFontFile(fontFile, base, extension);
        if (extension == "TTF")
            text.OutlineTrueType(base);
        else if (extension == "SHX")
            text.OutlineShx(fontFile, text.m_bigfont_file);
        text.ApplyAngle();
        AppendWords(text.m_chars, words);
    } catch (...) {
    }
    return 0;
}

int g_GetMTextOutlineInfo(MText record, CMWordList& words)
{
    try {
        CMText text(record);
        text.Outline();
        AppendWords(text.m_chars, words);
    } catch (...) {
    }
    return 0;
}

void g_DelWordList(CMWordList* words)
{
    if (words == nullptr)
        return;
    while (!words->empty()) {
        CMWord* word = words->front();
        words->pop_front();
        DestroyWord(word);
    }
}
