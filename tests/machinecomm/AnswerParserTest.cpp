// The controller's answers read out of the answer ring: every answer form,
// answers cut off by the end of the ring (kept whole for the next call),
// stray and malformed bytes, texts, and freeing the lists.
#include "AnswerParser.h"
#include "LinkTestSupport.h"

#include "ByteLanguage.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

namespace plat {
namespace {

std::uint32_t U32(const ANSWERREC* rec, int index)
{
    std::uint32_t v = 0;
    std::memcpy(&v, rec->m_pData + 4 * index, 4);
    return v;
}

std::uint16_t U16(const ANSWERREC* rec, int index)
{
    std::uint16_t v = 0;
    std::memcpy(&v, rec->m_pData + 2 * index, 2);
    return v;
}

std::vector<const ANSWERREC*> Records(const ANSWERREC* list)
{
    std::vector<const ANSWERREC*> all;
    const ANSWERREC* prev = nullptr;
    for (const ANSWERREC* r = list; r != nullptr; r = r->m_pNext) {
        EXPECT_EQ(r->m_pPrev, prev);
        EXPECT_EQ(r->m_reserved, 0);
        all.push_back(r);
        prev = r;
    }
    return all;
}

class Answers : public ::testing::Test {
protected:
    void SetUp() override { ResetRings(); }
    void TearDown() override
    {
        DelAnswerList(&list);
        ResetRings();
    }
    static void Arrive(const Bytes& bytes)
    {
        ASSERT_TRUE(PutAnswerBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    }
    // Parses the ring; the list is freed by the next call or the tear-down.
    std::vector<const ANSWERREC*> Parse()
    {
        DelAnswerList(&list);
        list = GetMsgAnswer();
        return Records(list);
    }

    ANSWERREC* list = nullptr;
};

TEST_F(Answers, RingWithStrayBytesGivesStatePositionAndParameterRecords)
{
    Arrive({0x05, 0xD1, 0x13, 0xCE, 0x01, 0x00, 0x00, 0x00, 0x00, 0x07, 0xD1,
            0x12, 0x00, 0x00, 0x00, 0x07, 0x68, 0x00, 0x00, 0x00, 0x00, 0x00,
            0xD4, 0x01, 0x00, 0x21, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F});
    const auto recs = Parse();
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[0]->m_type, 1u);
    EXPECT_EQ(recs[0]->m_id, 1);
    EXPECT_EQ(U32(recs[0], 0), 7u);
    EXPECT_EQ(recs[1]->m_type, 5u);
    EXPECT_EQ(recs[1]->m_id, -1);
    EXPECT_EQ(U32(recs[1], 0), 1000u);
    EXPECT_EQ(U32(recs[1], 1), 0u);
    EXPECT_EQ(recs[2]->m_type, 31u);
    EXPECT_EQ(recs[2]->m_id, 33);
    EXPECT_EQ(U32(recs[2], 0), 0xFFFFFFFFu); // 35 bits of ones kept to 32
    EXPECT_EQ(GetAnswerBytesLen(), 0u);
}

TEST_F(Answers, MoveFormsMirrorTheRelativeAndLongMoveCommands)
{
    Arrive({0x80, 0x00, 0x00, 0x00, 0x46, 0x28, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, // 9000, -1
            0x81, 0x7F, 0x7F, 0x00, 0x01, 0x82, 0x00, 0x64, 0x83, 0x40, 0x01,
            0xD3, 0x00, 0x00, 0x00, 0x00, 0x07, 0x68, 0x00, 0x00, 0x00, 0x00, 0x05});
    const auto recs = Parse();
    ASSERT_EQ(recs.size(), 5u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(recs[i]->m_type, 7u);
    EXPECT_EQ(U32(recs[0], 0), 9000u);
    EXPECT_EQ(U32(recs[0], 1), 0xFFFFFFFFu);
    EXPECT_EQ(U16(recs[1], 0), 16383u);
    EXPECT_EQ(U16(recs[1], 1), 1u);
    EXPECT_EQ(U16(recs[2], 0), 100u);
    EXPECT_EQ(U16(recs[3], 0), 8193u);
    EXPECT_EQ(recs[4]->m_type, 6u);
    EXPECT_EQ(U32(recs[4], 0), 1000u);
    EXPECT_EQ(U32(recs[4], 1), 5u);
}

TEST_F(Answers, InfoTextAndParameterValue)
{
    Arrive({0xD4, 0x01, 0x05, 0x7F, 0x41, 0x42, 0x00,
            0xD4, 0x01, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x2A});
    const auto recs = Parse();
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0]->m_type, 4u);
    EXPECT_EQ(recs[0]->m_id, -1);
    EXPECT_STREQ(reinterpret_cast<const char*>(recs[0]->m_pData), "AB");
    EXPECT_EQ(recs[1]->m_type, 31u);
    EXPECT_EQ(recs[1]->m_id, 32);
    EXPECT_EQ(U32(recs[1], 0), 42u);
}

TEST_F(Answers, CutOffAnswerStaysInTheRingUntilItIsWhole)
{
    Arrive({0x82, 0x00, 0x01, 0xCE, 0x05, 0x00, 0x00});
    EXPECT_TRUE(Parse().empty());
    EXPECT_EQ(GetAnswerBytesLen(), 7u); // the whole answer before it stays too
    Arrive({0x00, 0x00, 0x03});
    const auto recs = Parse();
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[1]->m_type, 1u);
    EXPECT_EQ(recs[1]->m_id, 5);
    EXPECT_EQ(U32(recs[1], 0), 3u);
    EXPECT_EQ(GetAnswerBytesLen(), 0u);
}

TEST_F(Answers, LoneD1OrD3AtTheEndOfTheRingIsKeptNotLost)
{
    for (std::uint8_t code : {std::uint8_t{0xD1}, std::uint8_t{0xD3}}) {
        ResetRings();
        Arrive({0xCE, 0x01, 0x00, 0x00, 0x00, 0x00, 0x07, code});
        EXPECT_TRUE(Parse().empty());
        EXPECT_EQ(GetAnswerBytesLen(), 8u);
        Arrive({code == 0xD1 ? std::uint8_t{0x12} : std::uint8_t{0x00}, 0x00, 0x00, 0x00, 0x00,
                0x09, 0x00, 0x00, 0x00, 0x00, 0x08});
        const auto recs = Parse();
        ASSERT_EQ(recs.size(), 2u);
        EXPECT_EQ(recs[1]->m_type, code == 0xD1 ? 5u : 6u);
        EXPECT_EQ(U32(recs[1], 0), 9u);
        EXPECT_EQ(U32(recs[1], 1), 8u);
    }
}

TEST_F(Answers, D1NotFollowedBy12IsNoAnswerAndItsBytesAreConsumed)
{
    Arrive({0xD1, 0x13, 0xD3, 0x05, 0xD4, 0x00, 0x05, 0x7F, 0x90, 0xFF});
    EXPECT_TRUE(Parse().empty());
    EXPECT_EQ(GetAnswerBytesLen(), 0u);
}

TEST_F(Answers, AnswerCodeInsideAMalformedAnswerIsStillFound)
{
    // The state answer breaks off after two bytes; the position answer that
    // follows must not be swallowed as its value.
    Arrive({0xCE, 0x05, 0x00, 0xD1, 0x12, 0x00, 0x00, 0x00, 0x07, 0x68,
            0x00, 0x00, 0x00, 0x00, 0x01});
    const auto recs = Parse();
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0]->m_type, 5u);
    EXPECT_EQ(U32(recs[0], 0), 1000u);
    EXPECT_EQ(U32(recs[0], 1), 1u);

    // Too few bytes for a long move, but a command byte among them: the long
    // move can never complete, so it must not hold back the answer after it.
    Arrive({0x80, 0x00, 0x01, 0x82, 0x00, 0x05});
    const auto next = Parse();
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(U16(next[0], 0), 5u);
    EXPECT_EQ(GetAnswerBytesLen(), 0u);
}

TEST_F(Answers, TextBytesWithTheTopBitSetAreTextNotAnswerCodes)
{
    // A double-byte name in the text holds CE and D1.
    Arrive({0xD4, 0x01, 0x05, 0x7F, 0xCE, 0xD1, 0x82, 0x00, 0x00, 0x82, 0x00, 0x04});
    const auto recs = Parse();
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0]->m_type, 4u);
    EXPECT_STREQ(reinterpret_cast<const char*>(recs[0]->m_pData), "\xCE\xD1\x82");
    EXPECT_EQ(recs[1]->m_type, 7u);
    EXPECT_EQ(U16(recs[1], 0), 4u);
}

TEST_F(Answers, TextThatNeverEndsIsHandedOutCutOnceNoWholeAnswerFitsBehindIt)
{
    // D4 01 05 7F opens the info text; with 64,510 bytes waiting a 1,024-byte
    // answer still fits, so the text waits for its 0.
    Bytes open = {0xD4, 0x01, 0x05, 0x7F};
    open.resize(64510, 'A');
    Arrive(open);
    EXPECT_TRUE(Parse().empty());
    EXPECT_EQ(GetAnswerBytesLen(), 64510u);
    Arrive({'B'}); // 1,024 bytes free: a whole answer would be refused
    auto recs = Parse();
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0]->m_type, 4u);
    const std::string text(reinterpret_cast<const char*>(recs[0]->m_pData));
    EXPECT_EQ(text.size(), 64507u);
    EXPECT_EQ(text.back(), 'B');
    EXPECT_EQ(GetAnswerBytesLen(), 0u);
    Arrive({0x82, 0x00, 0x07});
    recs = Parse();
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(U16(recs[0], 0), 7u);
}

TEST_F(Answers, TwoConcurrentReadersGetEveryAnswerExactlyOnce)
{
    // A producer appends state answers CE 00 v with v counting up; two
    // readers call GetMsgAnswer at once. A reader whose flag covers only the
    // copy hands the same bytes to both and consumes newer ones unparsed.
    constexpr std::uint32_t kAnswers = 200000;
    std::atomic<bool> produced{false};
    std::thread producer([&] {
        for (std::uint32_t v = 0; v < kAnswers;) {
            std::uint8_t answer[7] = {0xCE, 0x00};
            PutNum5(answer + 2, static_cast<std::int32_t>(v));
            if (PutAnswerBytes(answer, sizeof answer))
                ++v;
            else
                std::this_thread::yield();
        }
        produced.store(true);
    });
    std::vector<std::uint32_t> seen[2];
    auto reader = [&](std::vector<std::uint32_t>& mine) {
        for (;;) {
            const bool last = produced.load();
            ANSWERREC* got = GetMsgAnswer();
            for (const ANSWERREC* r = got; r != nullptr; r = r->m_pNext)
                mine.push_back(U32(r, 0));
            DelAnswerList(&got);
            if (last && GetAnswerBytesLen() == 0)
                return;
        }
    };
    std::thread first(reader, std::ref(seen[0]));
    std::thread second(reader, std::ref(seen[1]));
    producer.join();
    first.join();
    second.join();

    std::vector<std::uint32_t> all = seen[0];
    all.insert(all.end(), seen[1].begin(), seen[1].end());
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), kAnswers);
    for (std::uint32_t v = 0; v < kAnswers; ++v)
        ASSERT_EQ(all[v], v);
    // Each reader's own answers come in the order they were sent.
    for (const auto& mine : seen)
        EXPECT_TRUE(std::is_sorted(mine.begin(), mine.end()));
}

TEST(AnswerList, DeleteAcceptsNullAndOpensARing)
{
    DelAnswerList(nullptr);
    ANSWERREC* none = nullptr;
    DelAnswerList(&none);
    EXPECT_EQ(none, nullptr);

    // A list the caller closed into a ring, both ways.
    const Bytes bytes = {0x82, 0x00, 0x01, 0x82, 0x00, 0x02, 0x82, 0x00, 0x03};
    AnswerParse parse = ParseAnswers(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    ASSERT_TRUE(parse.complete);
    ANSWERREC* first = parse.list;
    ANSWERREC* last = first->m_pNext->m_pNext;
    last->m_pNext = first;
    first->m_pPrev = last;
    DelAnswerList(&first);
    EXPECT_EQ(first, nullptr);

    // Closed only forwards.
    parse = ParseAnswers(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    first = parse.list;
    first->m_pNext->m_pNext->m_pNext = first;
    DelAnswerList(&first);
    EXPECT_EQ(first, nullptr);
}

} // namespace
} // namespace plat
