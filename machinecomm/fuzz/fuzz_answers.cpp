// libFuzzer target of the answer parser: arbitrary controller bytes, parsed
// from an exact-size copy (a read past the bytes is caught by the address
// sanitizer) and through the answer ring in pieces as a transport delivers
// them. Checks the list links and that a call either consumes every waiting
// byte or none.
#include "AnswerParser.h"
#include "CommState.h"
#include "Vantrel.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Reads every byte that a record's type says its data array holds.
void Walk(const ANSWERREC* list)
{
    const ANSWERREC* prev = nullptr;
    volatile std::uint8_t sink = 0;
    for (const ANSWERREC* r = list; r != nullptr; r = r->m_pNext) {
        Require(r->m_pPrev == prev);
        Require(r->m_pData != nullptr);
        std::size_t size = 0;
        switch (r->m_type) {
        case ANSWER_STATE:
        case ANSWER_PARAM:
            size = 4;
            break;
        case ANSWER_POSITION:
        case ANSWER_MOVED_TO:
            size = 8;
            break;
        case ANSWER_MOVE:
            size = 2; // the shortest of its forms
            break;
        case ANSWER_INFO:
            size = std::strlen(reinterpret_cast<const char*>(r->m_pData)) + 1;
            break;
        default:
            Require(false);
        }
        for (std::size_t i = 0; i < size; ++i)
            sink = sink ^ r->m_pData[i];
        Require(r->m_id == -1 || r->m_type == ANSWER_STATE || r->m_type == ANSWER_PARAM);
        prev = r;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> exact(data, data + size);
    AnswerParse parse = ParseAnswers(exact.data(), static_cast<std::uint32_t>(exact.size()));
    Require(parse.complete || parse.list == nullptr);
    Walk(parse.list);
    FreeAnswerList(&parse.list);

    // The same bytes arriving in pieces of up to 97 bytes, each followed by a
    // parse as after WM_COMM_ANSWER.
    ResetRings();
    std::size_t at = 0;
    while (at < size) {
        const std::size_t piece = std::min<std::size_t>(size - at, 1 + data[at] % 97);
        if (!PutAnswerBytes(data + at, static_cast<std::uint32_t>(piece)))
            break; // the ring is full: the rest is refused, as from a transport
        at += piece;
        const std::uint32_t before = GetAnswerBytesLen();
        ANSWERREC* list = GetMsgAnswer();
        const std::uint32_t after = GetAnswerBytesLen();
        Require(after == 0 || after == before);
        Require(list == nullptr || after == 0);
        Walk(list);
        DelAnswerList(&list);
        Require(list == nullptr);
    }
    ResetRings();
    return 0;
}
