#include "AnswerParser.h"

#include "ByteLanguage.h"
#include "CommState.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr std::uint16_t kInfoParam = 767; // its answer is a text, not a number
constexpr std::uint32_t kAnswerMax = 1024; // payload of the largest network answer

bool IsCommandByte(std::uint8_t b)
{
    return b >= 0x80;
}

class ListBuilder {
public:
    ~ListBuilder() { FreeAnswerList(&m_first); }
    ListBuilder() = default;
    ListBuilder(const ListBuilder&) = delete;
    ListBuilder& operator=(const ListBuilder&) = delete;

    // Appends a record whose data array has size bytes, zeroed.
    std::uint8_t* Append(std::uint32_t type, std::int32_t id, std::size_t size)
    {
        std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[size]());
        auto* rec = new ANSWERREC;
        rec->m_type = type;
        rec->m_id = id;
        rec->m_pData = data.release();
        rec->m_pPrev = m_last;
        if (m_last != nullptr)
            m_last->m_pNext = rec;
        else
            m_first = rec;
        m_last = rec;
        return rec->m_pData;
    }

    ANSWERREC* Release()
    {
        ANSWERREC* first = m_first;
        m_first = m_last = nullptr;
        return first;
    }

private:
    ANSWERREC* m_first = nullptr;
    ANSWERREC* m_last = nullptr;
};

void Store32(std::uint8_t* at, std::uint32_t v)
{
    std::memcpy(at, &v, sizeof v);
}

void Store16(std::uint8_t* at, std::uint16_t v)
{
    std::memcpy(at, &v, sizeof v);
}

enum class Form {
    Built,      // a record was made; pos is past the answer
    NotAnswer,  // malformed or no answer here; scanning goes on at the next byte
    Incomplete, // the answer runs past the last byte
};

class Parser {
public:
    Parser(const std::uint8_t* bytes, std::uint32_t n, bool cutOpenText)
        : m_bytes(bytes), m_n(n), m_cutOpenText(cutOpenText)
    {
    }

    AnswerParse Run()
    {
        AnswerParse result;
        std::uint32_t pos = 0;
        while (pos < m_n) {
            const Form form = At(pos);
            if (form == Form::Incomplete)
                return result; // the builder frees what was made
            if (form == Form::NotAnswer)
                ++pos;
        }
        result.list = m_list.Release();
        result.complete = true;
        return result;
    }

private:
    // An answer of `length` bytes at pos whose first `fixed` bytes have been
    // matched: its other bytes must all be data bytes, and all must be there.
    // Checking the bytes that are there first means a later answer inside
    // a cut-off one is still found instead of waiting for ever.
    Form Check(std::uint32_t pos, std::uint32_t fixed, std::uint32_t length) const
    {
        const std::uint32_t end = pos + length < m_n ? pos + length : m_n;
        for (std::uint32_t i = pos + fixed; i < end; ++i)
            if (IsCommandByte(m_bytes[i]))
                return Form::NotAnswer;
        return pos + length > m_n ? Form::Incomplete : Form::Built;
    }

    // Parses the answer starting at pos, if one does; advances pos past it.
    Form At(std::uint32_t& pos)
    {
        const std::uint8_t* b = m_bytes + pos;
        Form form = Form::NotAnswer;
        switch (b[0]) {
        case 0x80:
            if ((form = Check(pos, 1, 11)) == Form::Built) {
                std::uint8_t* d = m_list.Append(ANSWER_MOVE, -1, 8);
                Store32(d, ReadNum5(b + 1));
                Store32(d + 4, ReadNum5(b + 6));
                pos += 11;
            }
            return form;
        case 0x81:
            if ((form = Check(pos, 1, 5)) == Form::Built) {
                std::uint8_t* d = m_list.Append(ANSWER_MOVE, -1, 4);
                Store16(d, ReadNum2(b + 1));
                Store16(d + 2, ReadNum2(b + 3));
                pos += 5;
            }
            return form;
        case 0x82:
        case 0x83:
            if ((form = Check(pos, 1, 3)) == Form::Built) {
                Store16(m_list.Append(ANSWER_MOVE, -1, 2), ReadNum2(b + 1));
                pos += 3;
            }
            return form;
        case 0xCE:
            if ((form = Check(pos, 1, 7)) == Form::Built) {
                Store32(m_list.Append(ANSWER_STATE, b[1], 4), ReadNum5(b + 2));
                pos += 7;
            }
            return form;
        case 0xD1:
        case 0xD3: {
            // A lone D1 or D3 at the end may be the start of an answer.
            if (pos + 1 >= m_n)
                return Form::Incomplete;
            const bool position = b[0] == 0xD1;
            if (b[1] != (position ? 0x12 : 0x00))
                return Form::NotAnswer;
            if ((form = Check(pos, 2, 12)) == Form::Built) {
                std::uint8_t* d = m_list.Append(position ? ANSWER_POSITION : ANSWER_MOVED_TO, -1, 8);
                Store32(d, ReadNum5(b + 2));
                Store32(d + 4, ReadNum5(b + 7));
                pos += 12;
            }
            return form;
        }
        case 0xD4:
            return ParamAnswer(pos);
        default:
            return Form::NotAnswer;
        }
    }

    // D4 01, id (2 groups), then a value (5 groups) or, for parameter 767,
    // a text up to a 0 byte.
    Form ParamAnswer(std::uint32_t& pos)
    {
        const std::uint8_t* b = m_bytes + pos;
        if (pos + 1 >= m_n)
            return Form::Incomplete;
        if (b[1] != 0x01)
            return Form::NotAnswer;
        const Form head = Check(pos, 2, 4);
        if (head != Form::Built)
            return head;
        const std::uint16_t id = ReadNum2(b + 2);
        if (id != kInfoParam) {
            const Form form = Check(pos, 4, 9);
            if (form == Form::Built) {
                Store32(m_list.Append(ANSWER_PARAM, id, 4), ReadNum5(b + 4));
                pos += 9;
            }
            return form;
        }
        const std::uint8_t* text = b + 4;
        const std::uint32_t left = m_n - (pos + 4);
        const void* zero = std::memchr(text, 0, left);
        if (zero == nullptr && !m_cutOpenText)
            return Form::Incomplete;
        const std::size_t length =
            zero != nullptr ? static_cast<const std::uint8_t*>(zero) - text : left;
        std::memcpy(m_list.Append(ANSWER_INFO, -1, length + 1), text, length);
        pos += 4 + static_cast<std::uint32_t>(length); // at the 0, which is skipped next
        return Form::Built;
    }

    const std::uint8_t* m_bytes;
    std::uint32_t m_n;
    bool m_cutOpenText;
    ListBuilder m_list;
};

} // namespace

AnswerParse ParseAnswers(const std::uint8_t* bytes, std::uint32_t n, bool cutOpenText)
{
    try {
        return Parser(bytes, n, cutOpenText).Run();
    } catch (const std::bad_alloc&) {
        return AnswerParse{}; // as if incomplete: the bytes stay for a later call
    }
}

ANSWERREC* ReadAnswerRing()
{
    // One reader from the copy to the consume: two readers of the same bytes
    // would hand the answers out twice and consume newer ones unparsed.
    CByteRing& ring = Comm().answerRing;
    if (!ring.TryLockReader())
        return nullptr;
    struct Unlock {
        CByteRing& ring;
        ~Unlock() { ring.UnlockReader(); }
    } unlock{ring};

    const std::uint32_t generation = AnswerRingGeneration();
    const std::uint32_t n = GetAnswerBytesLen();
    if (n < 1)
        return nullptr;
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(n);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // Exactly n bytes: what the transport appends meanwhile stays for later.
    if (ring.ReadHeld(bytes.data(), n, false) != n)
        return nullptr;
    AnswerParse parse = ParseAnswers(bytes.data(), n, CByteRing::kSize - n <= kAnswerMax);
    if (!parse.complete)
        return nullptr;
    // Bytes the serial transport cleared meanwhile were not these: newer
    // bytes are never consumed in their place, and the parsed list is dropped.
    if (!ConsumeAnswerBytes(n, generation)) {
        FreeAnswerList(&parse.list);
        return nullptr;
    }
    return parse.list;
}

void FreeAnswerList(ANSWERREC** list)
{
    if (list == nullptr || *list == nullptr)
        return;
    ANSWERREC* first = *list;
    if (first->m_pPrev != nullptr) {
        first->m_pPrev->m_pNext = nullptr;
        first->m_pPrev = nullptr;
    }
    for (ANSWERREC* rec = first; rec != nullptr;) {
        ANSWERREC* next = rec->m_pNext;
        delete[] rec->m_pData;
        delete rec;
        // A ring whose first record had no prev link still ends here.
        rec = next == first ? nullptr : next;
    }
    *list = nullptr;
}
