// The whole job stream of a request: the prelude, the name area with its
// shift bytes, the frame trace, the body and the checksum, byte for byte;
// ready-made streams; and an encoding that needs several larger buffers.
#include "JobStream.h"
#include "JobTestSupport.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

Bytes Built(CJobStream& stream)
{
    return Bytes(stream.Data(), stream.Data() + stream.Size());
}

TEST(JobStream, SquareJobWithItsFrameTraceByteForByte)
{
    TestJob job;
    MakeSquareJob(job);
    TRANSFILEREQ request;
    FillRequest(request, job, SquareFrameTrace());
    CJobStream stream;
    ASSERT_EQ(stream.Build(request), CJobStream::Result::Ok);
    EXPECT_EQ(Built(stream), SquareJobStream());
    EXPECT_EQ(stream.Retries(), 0);
}

TEST(JobStream, NameAreaShiftsForTopBitBytesAndStopsAtElevenBytes)
{
    Bytes out(40, 0xAA);
    const char mixed[12] = {'a', '\xC4', '\xE3', 'b'};
    const Bytes payload = {0xD2, 0x05};
    WriteNameAndFrame(out.data(), mixed, payload.data(), 2);
    EXPECT_EQ(Bytes(out.begin() + 8, out.begin() + 22),
              (Bytes{0x61, 0x0F, 0x44, 0x63, 0x0E, 0x62, 0, 0, 0, 0, 0x00, 0xE3, 0x01, 0x05}));
    EXPECT_EQ(out[22], 0xAA);
    EXPECT_EQ(NameAndFrameEnd(mixed, payload.data(), 2), 22u);

    // Every byte needs a shift: 0F 43 fills ten bytes, and 'c' with its 0E
    // would make twelve, so the area ends there without a lone shift byte.
    const char alternating[12] = {'\xC1', 'a', '\xC2', 'b', '\xC3', 'c', '\xC4', 'd'};
    WriteNameAndFrame(out.data(), alternating, nullptr, 0);
    EXPECT_EQ(Bytes(out.begin() + 8, out.begin() + 19),
              (Bytes{0x0F, 0x41, 0x0E, 0x61, 0x0F, 0x42, 0x0E, 0x62, 0x0F, 0x43, 0x00}));
    EXPECT_EQ(NameAndFrameEnd(alternating, nullptr, 0), 19u);
}

TEST(JobStream, OutEndingIsCutOnlyBehindALongerNameWhatever12BytesHold)
{
    const auto cut = [](const char* text) {
        char name[12] = {};
        std::memcpy(name, text, std::min<std::size_t>(std::strlen(text), 12));
        CutJobName(name);
        return std::string(name, ::strnlen(name, 12));
    };
    EXPECT_EQ(cut("job1.out"), "job1");
    EXPECT_EQ(cut("JOB.OUT"), "JOB");
    EXPECT_EQ(cut(".out"), ".out");
    EXPECT_EQ(cut("a.Out"), "a.Out");
    EXPECT_EQ(cut("abcdefgh.out"), "abcdefgh"); // all 12 bytes, no terminator
}

TEST(JobStream, ReadyStreamGetsOnlyTheNameAndFrameTrace)
{
    TestJob job;
    std::memcpy(job.head.m_jobName, "xy.OUT", 6);
    Bytes ready(384, 0x77);
    for (int i = 0; i < 40; ++i)
        ready.push_back(static_cast<std::uint8_t>(0x10 + i));
    TRANSFILEREQ request;
    FillRequest(request, job, {0xD2, 0x05});
    request.m_info.m_dataMode = 1;
    request.m_pReadyData = ready.data();
    request.m_readyLength = static_cast<std::uint32_t>(ready.size());
    CJobStream stream;
    ASSERT_EQ(stream.Build(request), CJobStream::Result::Ok);
    Bytes expected(ready.begin() + 384, ready.end());
    const Bytes written = {0x78, 0x79, 0, 0, 0, 0, 0, 0, 0x00, 0xE3, 0x01, 0x05};
    std::copy(written.begin(), written.end(), expected.begin() + 8);
    EXPECT_EQ(Built(stream), expected);
    EXPECT_STREQ(job.head.m_jobName, "xy");
}

TEST(JobStream, GreyChangesBeyondTheEstimateAreEncodedWholeInLargerBuffers)
{
    // 200,000 one-millimetre steps whose grey alternates 200, 100: each
    // writes C1, C2 and A2 (9 bytes) where the estimate counts 6. With a
    // 122-byte frame trace the body starts at 152.
    TestJob job;
    job.head.m_jobName[0] = 'g';
    PATHREC* path = job.AddPath(job.AddLayer(1));
    constexpr int kSteps = 200000;
    for (int i = 0; i < kSteps; ++i) {
        const std::uint16_t grey = i % 2 == 0 ? 200 : 100;
        job.AddSegment(path, i, 0, i + 1, 0, 1, grey, grey);
    }
    TRANSFILEREQ request;
    FillRequest(request, job, Bytes(122, 0x01));
    CJobStream stream;
    ASSERT_EQ(stream.Build(request), CJobStream::Result::Ok);
    const Bytes s = Built(stream);

    // Body: header 80, layer 45, travel 11 + 9, first step 6 (its start
    // power is in force), 199,999 x 9, E0 00, end 5: 1,800,149 bytes. The
    // estimate 400 + 50 + 11 + 200,000 x 6 leaves 1,705,109 bytes; the path
    // needs 1,800,142 + the 10,240 reserve. A buffer a quarter larger holds
    // it: one more encoding, not the four that 30,720-byte steps would take.
    ASSERT_EQ(s.size(), 152u + 1800149);
    EXPECT_EQ(stream.Retries(), 1);
    EXPECT_EQ(Bytes(s.begin(), s.begin() + 8), (Bytes{0xE2, 0x00, 0x00, 0x6D, 0x70, 0x59, 0xE2, 0x01}));
    const std::size_t path0 = 152 + 80 + 45;
    EXPECT_EQ(Bytes(s.begin() + path0, s.begin() + path0 + 35),
              Cat({{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                   {0xC1, 0x64, 0x00, 0xC2, 0x64, 0x00, 0x82, 0x00, 0x00}, // 12800
                   {0xC2, 0x64, 0x00, 0xA2, 0x07, 0x68},
                   {0xC1, 0x32, 0x00, 0xC2, 0x32, 0x00, 0xA2, 0x07, 0x68}})); // 6400
    EXPECT_EQ(Bytes(s.end() - 16, s.end() - 2),
              (Bytes{0xC1, 0x32, 0x00, 0xC2, 0x32, 0x00, 0xA2, 0x07, 0x68, 0xE0, 0x00, 0xD0, 0xE3, 0x02}));
}

} // namespace
} // namespace plat
