#include "Letrova.h"

#include "MText.h"
#include "Text.h"

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

} // namespace

int g_GetTextOutlineInfo(Text record, CMWordList& words)
{
    // Nothing thrown inside may reach the caller; words appended before a
    // failure stay valid.
    try {
        CText text(record);
        text.Outline();
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
