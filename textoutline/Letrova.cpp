#include "Letrova.h"

CMWord::~CMWord()
{
    for (COutLine* line : m_lines)
        delete line;
}

void DestroyWord(CMWord* word)
{
    delete word;
}

int g_GetTextOutlineInfo(Text, CMWordList&)
{
    // The text drivers are not wired to the exports yet: no words.
    return 0;
}

int g_GetMTextOutlineInfo(MText, CMWordList&)
{
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
