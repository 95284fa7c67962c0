// Drawings of many short polylines for the tests and benchmarks of long
// work: building a job of one takes seconds, during which the window must
// go on.
#pragma once
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"

#include <cstdint>

// A million entities in the plain build; the sanitizers make every step many
// times slower, so they get a tenth.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kManyLines = 100000;
#else
inline constexpr int kManyLines = 1000000;
#endif

// Makes `count` polylines of two to four nodes, 2 to 9 mm long, scattered
// over `spanMm` x `spanMm` mm from the machine origin (world 500000), the
// same for every run, and hands each to `add` with its number.
template <class Add>
void MakeManyLines(int count, int spanMm, Add add)
{
    const std::uint32_t span = static_cast<std::uint32_t>(spanMm) * 10000u;
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int i = 0; i < count; ++i) {
        const double x = 500000.0 + double(next() % span) / 1000.0;
        const double y = 500000.0 + double(next() % span) / 1000.0;
        const int nodes = 2 + int(next() % 3);
        DOCNODE* head = nullptr;
        DOCNODE* last = nullptr;
        for (int k = 0; k < nodes; ++k) {
            last = AppendNode(last, x + k * 20.0 + double(next() % 70), y + double(next() % 70));
            if (head == nullptr)
                head = last;
        }
        auto* line = new CDocDataLine(head, 1, nullptr);
        line->m_bOutput = 1;
        add(line, i);
    }
}

// Many lines over 500 x 500 mm on one layer, put in front of the drawing.
inline void AddManyLines(CDocListNode& doc, int count, int layer)
{
    MakeManyLines(count, 500, [&](CDocDataLine* line, int) {
        line->m_nLayer = layer;
        line->m_pNext = doc.m_pFirst;
        if (doc.m_pFirst != nullptr)
            doc.m_pFirst->m_pPrev = line;
        doc.m_pFirst = line;
    });
}
