// The rings between the library's threads: capacity with one byte kept free,
// wrap-around, the answer reader's rules, and blocks that stay whole while
// two producers write, the transport takes packets and the user interface
// clears the ring.
#include "ByteRing.h"
#include "CommState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t n, unsigned seed)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return b;
}

TEST(ByteRing, KeepsOneByteFreeSoAFullRingIsNotTakenForEmpty)
{
    CByteRing ring;
    const Bytes block = Pattern(65535, 1);
    EXPECT_FALSE(ring.Put(block.data(), 65535));
    EXPECT_EQ(ring.Waiting(), 0u);
    EXPECT_TRUE(ring.Put(block.data(), 65534));
    EXPECT_EQ(ring.Waiting(), 65534u);
    EXPECT_EQ(ring.Free(), 1u);
    const std::uint8_t one = 9;
    EXPECT_FALSE(ring.Put(&one, 1));
}

TEST(ByteRing, BytesComeOutInOrderAcrossTheWrap)
{
    CByteRing ring;
    const Bytes first = Pattern(65000, 3);
    Bytes out(65535);
    ASSERT_TRUE(ring.Put(first.data(), 65000));
    ASSERT_EQ(ring.Get(out.data(), 65000), 65000u);
    // The write index is at 65000 now: this block wraps after 535 bytes.
    const Bytes second = Pattern(1000, 5);
    ASSERT_TRUE(ring.Put(second.data(), 1000));
    EXPECT_EQ(ring.Waiting(), 1000u);
    ASSERT_EQ(ring.Get(out.data(), 4000), 1000u);
    out.resize(1000);
    EXPECT_EQ(out, second);
    EXPECT_EQ(ring.Waiting(), 0u);
}

TEST(ByteRing, TakePacketTakesHeaderAndAnnouncedPayloadOnly)
{
    CByteRing ring;
    // Two packets of 50 + 2 and 50 + 3 bytes queued as one block.
    Bytes block(50, 0);
    block[30] = 2;
    block.push_back(0xD1);
    block.push_back(0x01);
    Bytes second(50, 0);
    second[30] = 3;
    second.insert(second.end(), {0xAA, 0xBB, 0xCC});
    block.insert(block.end(), second.begin(), second.end());
    ASSERT_TRUE(ring.Put(block.data(), static_cast<std::uint32_t>(block.size())));

    Bytes out(1074);
    ASSERT_EQ(ring.TakePacket(out.data(), 1074, 50, 29), 52u);
    EXPECT_EQ(out[50], 0xD1);
    EXPECT_EQ(out[51], 0x01);
    ASSERT_EQ(ring.TakePacket(out.data(), 1074, 50, 29), 53u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 53), second);
    EXPECT_EQ(ring.TakePacket(out.data(), 1074, 50, 29), 0u);
}

TEST(ByteRing, TakePacketNeverTakesMoreThanTheBufferOrThanWaits)
{
    CByteRing ring;
    Bytes header(50, 0);
    header[29] = 0xFF; // announces 65,280 + payload bytes
    header[30] = 0xFF;
    ASSERT_TRUE(ring.Put(header.data(), 50));
    const Bytes tail = Pattern(2000, 0);
    ASSERT_TRUE(ring.Put(tail.data(), 2000));
    Bytes out(1074);
    EXPECT_EQ(ring.TakePacket(out.data(), 1074, 50, 29), 1074u);
    // Fewer than a header: all of it.
    CByteRing small;
    ASSERT_TRUE(small.Put(header.data(), 20));
    EXPECT_EQ(small.TakePacket(out.data(), 1074, 50, 29), 20u);
}

TEST(ByteRing, ReaderCopiesWithoutConsumingUntilAskedAndRefusesShortReads)
{
    CByteRing ring;
    const Bytes bytes = {0xCE, 0x05, 0x00, 0x00};
    ASSERT_TRUE(ring.Put(bytes.data(), 4));
    Bytes out(16, 0);
    EXPECT_EQ(ring.Read(out.data(), 5, true), 0u); // fewer than 5 wait
    EXPECT_EQ(ring.Waiting(), 4u);
    EXPECT_EQ(ring.Read(out.data(), 0, false), 4u); // 0 = all
    EXPECT_EQ(ring.Waiting(), 4u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), bytes);
    EXPECT_EQ(ring.Read(out.data(), 3, true), 3u);
    EXPECT_EQ(ring.Waiting(), 1u);
    CByteRing empty;
    EXPECT_EQ(empty.Read(out.data(), 0, true), 0u);
}

TEST(ByteRing, ConsumeAfterAClearTakesNoNewerBytes)
{
    // The answer reader copies bytes, parses them, then consumes them; a clear
    // in between must not let it consume bytes that arrived after the clear.
    CByteRing ring;
    const Bytes first = {0xD1, 0x01, 0x00};
    ASSERT_TRUE(ring.Put(first.data(), 3));
    const std::uint32_t generation = ring.Generation();
    Bytes copy(3);
    ASSERT_EQ(ring.Read(copy.data(), 3, false), 3u);
    ring.Clear();
    const Bytes newer = {0xD4, 0x00, 0x04, 0x01};
    ASSERT_TRUE(ring.Put(newer.data(), 4));
    EXPECT_FALSE(ring.Consume(3, generation));
    EXPECT_EQ(ring.Waiting(), 4u);
    // Without a clear the same consume goes through.
    EXPECT_TRUE(ring.Consume(3, ring.Generation()));
    EXPECT_EQ(ring.Waiting(), 1u);
    EXPECT_FALSE(ring.Consume(2, ring.Generation()));
}

TEST(Rings, AcceptedSendBlockSetsTheNotifyWindowARefusedOneDoesNot)
{
    ResetRings();
    const Bytes block = Pattern(60000, 2);
    ASSERT_TRUE(PutSendBytes(block.data(), 60000, 0x77));
    EXPECT_EQ(Comm().sendRing.NotifyWindow(), 0x77u);
    EXPECT_FALSE(PutSendBytes(block.data(), 6000, 0x88));
    EXPECT_EQ(Comm().sendRing.NotifyWindow(), 0x77u);
    // An empty block is accepted and still names its window, none included.
    EXPECT_TRUE(PutSendBytes(nullptr, 0, 0));
    EXPECT_EQ(Comm().sendRing.NotifyWindow(), 0u);
    EXPECT_EQ(GetSendBytesLen(), 60000u);
    EXPECT_EQ(GetSendFreeSpace(), 5535u);
    // The answer ring, unlike the send ring, refuses an empty block.
    EXPECT_FALSE(PutAnswerBytes(block.data(), 0));
    ResetRings();
}

// Blocks carry their producer and sequence number in the header and a
// payload derived from both; the consumer takes framed packets as the network
// transport does while a third thread keeps clearing the ring. A clear may
// drop whole blocks, but every block taken must be whole and none twice.
TEST(ByteRing, ConcurrentProducersAndClearsNeverSplitOrRepeatABlock)
{
    CByteRing ring;
    constexpr int kPerProducer = 3000;
    std::atomic<int> producersDone{0};
    auto produce = [&](std::uint8_t producer) {
        for (int seq = 0; seq < kPerProducer;) {
            const std::uint32_t length = 1 + (seq * 37 + producer * 11) % 900;
            Bytes block(50 + length, 0);
            block[0] = producer;
            block[8] = static_cast<std::uint8_t>(seq >> 8);
            block[9] = static_cast<std::uint8_t>(seq);
            block[29] = static_cast<std::uint8_t>(length >> 8);
            block[30] = static_cast<std::uint8_t>(length);
            for (std::uint32_t i = 0; i < length; ++i)
                block[50 + i] = static_cast<std::uint8_t>(seq + producer + i);
            if (ring.Put(block.data(), static_cast<std::uint32_t>(block.size()), producer))
                ++seq;
            else
                std::this_thread::yield();
        }
        ++producersDone;
    };
    std::atomic<bool> clearing{true};
    std::thread clearer([&] {
        while (clearing.load()) {
            ring.Clear();
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    std::thread a(produce, 1);
    std::thread b(produce, 2);

    std::set<std::pair<int, int>> seen;
    int broken = 0;
    int repeated = 0;
    Bytes packet(1074);
    while (producersDone.load() < 2 || ring.Waiting() > 0) {
        const std::uint32_t n = ring.TakePacket(packet.data(), 1074, 50, 29);
        if (n == 0) {
            std::this_thread::yield();
            continue;
        }
        const std::uint32_t length = std::uint32_t{packet[29]} << 8 | packet[30];
        const int producer = packet[0];
        const int seq = packet[8] << 8 | packet[9];
        bool whole = n == 50 + length && (producer == 1 || producer == 2);
        for (std::uint32_t i = 0; whole && i < length; ++i)
            whole = packet[50 + i] == static_cast<std::uint8_t>(seq + producer + i);
        broken += whole ? 0 : 1;
        if (whole && !seen.insert({producer, seq}).second)
            ++repeated;
    }
    clearing.store(false);
    a.join();
    b.join();
    clearer.join();
    EXPECT_EQ(broken, 0);
    EXPECT_EQ(repeated, 0);
    EXPECT_GT(seen.size(), 0u);
}

} // namespace
