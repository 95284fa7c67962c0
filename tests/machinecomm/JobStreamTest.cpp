// The whole job stream of a request: the prelude, the name area with its
// shift bytes, the frame trace, the body and the checksum, byte for byte;
// ready-made streams; and an encoding far beyond the size estimate.
#include "ByteLanguage.h"
#include "JobEncoder.h"
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

TEST(JobStream, GreyChangesBeyondTheEstimateAreEncodedWholeInOneEncoding)
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
    // estimate 400 + 50 + 11 + 200,000 x 6 would leave 1,705,109 bytes; the
    // layer's memory grows as it is written, so nothing is encoded twice.
    ASSERT_EQ(s.size(), 152u + 1800149);
    EXPECT_EQ(stream.Retries(), 0);
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

// Twelve layers, more than the encoding threads, each with what could leak
// from one layer into the next when they are encoded apart: grey power
// (the second layer's first grey equals the first layer's last), a C1 that
// a following one replaces, a speed cap still in force at a layer's end,
// band changes on layers without output, a layer whose paths are not
// written, open lists, closed paths whose starts move, single-segment rings.
void MakeLayeredJob(TestJob& job)
{
    WORKHEAD& h = job.head;
    h.m_banded = 1;
    h.m_closeRepay = 0.3;
    std::memcpy(h.m_jobName, "layers", 6);
    for (int l = 0; l < 12; ++l) {
        const std::uint8_t modes[] = {1, 1, 0, 2, 1, 0x81};
        WORKLAYER* layer = job.AddLayer(modes[l % 6]);
        layer->m_speed = 40.0f;
        layer->m_bandIndex = static_cast<std::uint32_t>((l + 1) / 3);
        layer->m_bandGap = 1.5 + l;
        layer->m_reserved4 = l == 7 ? 1 : 0;
        layer->m_delayAfter = l % 4 == 0 ? 0.25 : 0.0;
        const double o = 10.0 * l;
        job.AddSegment(job.AddPath(layer), o, 0, o + 3, 0, 1, 300, 40); // grey capped at 255
        job.AddPolyline(layer, {{o, 0}, {o + 5, 0}, {o + 5, 5}, {o, 5}, {o, 0}}); // capped
        job.AddSegment(job.AddPath(layer), o + 1, 1, o + 2, 2, 2, 7, 0);
        job.AddSegment(job.AddPath(layer), o + 1, 1, o + 1, 1, 2, 9, 0); // only its C1 is kept
        PATHREC* dot = job.AddPath(layer, PATH_KIND_DOT);
        job.AddSegment(dot, o, 9, o, 9);
        PATHREC* group = job.AddPath(layer, PATH_KIND_GROUP);
        group->m_pArray = job.Own(ARRAYREC{2, 1, 3.0, -4.0, 0, 0.0, 0.0});
        job.AddPolyline(layer, {{o, 20}, {o + 60, 20}, {o + 60, 80}, {o, 20}}); // uncapped, open
        job.AddPath(layer, PATH_KIND_GROUP);
        job.AddSegment(job.AddPath(layer), o, 30, o, 30, 1, 40, 10); // a one-segment ring
        job.AddPolyline(layer, {{o, 40}, {o + 2, 40}}); // capped again at the layer's end
    }
}

// The job's state after encoding: closed flags, every segment as written
// back, and whether every list became a ring.
std::vector<double> JobState(const WORKHEAD& head)
{
    std::vector<double> state;
    const WORKLAYER* layer = head.m_layers;
    do {
        const PATHREC* path = layer->m_paths;
        do {
            state.push_back(path->m_closed);
            if (const SEGNODE* seg = path->m_pSegs) {
                do {
                    state.insert(state.end(), {seg->m_x0, seg->m_y0, seg->m_x1, seg->m_y1,
                                               double(seg->m_nGrey0), double(seg->m_nGrey1)});
                    seg = seg->m_pNext;
                } while (seg != nullptr && seg != path->m_pSegs);
                state.push_back(seg != nullptr && path->m_pSegs->m_pPrev != nullptr);
            }
            path = path->m_pNext;
        } while (path != nullptr && path != layer->m_paths);
        state.push_back(path != nullptr);
        layer = layer->m_next;
    } while (layer != nullptr && layer != head.m_layers);
    return state;
}

TEST(JobStream, LayersEncodedSideBySideGiveTheBytesAndWriteBacksOfOneEncoding)
{
    TestJob layered, whole;
    MakeLayeredJob(layered);
    MakeLayeredJob(whole);
    TRANSFILEREQ request;
    FillRequest(request, layered, {});
    CJobStream stream;
    ASSERT_EQ(stream.Build(request), CJobStream::Result::Ok);

    CalcJobSize(whole.head);
    Bytes body(1 << 16);
    CJobEncoder encoder;
    const std::int64_t n = encoder.Encode(whole.head, body.data(), true, true, 1 << 16, {});
    ASSERT_GT(n, 1000);
    body.resize(static_cast<std::size_t>(n) - 2); // the checksum takes the last two
    const Bytes s = Built(stream);
    ASSERT_EQ(s.size(), 30 + body.size() + 2);
    EXPECT_EQ(Bytes(s.begin() + 30, s.end() - 2), body);
    EXPECT_EQ(JobState(layered.head), JobState(whole.head));
    // Bands change on layers 2 (silent: its gap opens layer 3), 5, 8
    // (silent, for 9) and 11: each gap once, in micrometres.
    std::vector<std::uint32_t> gaps;
    for (std::size_t i = 30; i + 7 <= s.size(); ++i)
        if (s[i] == 0x9F && s[i + 1] == 0x7F)
            gaps.push_back(ReadNum5(&s[i + 2]));
    EXPECT_EQ(gaps, (std::vector<std::uint32_t>{3500, 6500, 9500, 12500}));

    // The parts with speed caps from a table against one encoding with it.
    TestJob parted, capped;
    MakeLayeredJob(parted);
    MakeLayeredJob(capped);
    SpeedLimitTable table;
    table.enable = 1;
    table.rows = {{10000, 20000}, {50000, 80000}};
    CloseLayerRing(parted.head);
    Bytes joined;
    CBandOffsets bands;
    CJobEncoder header;
    ASSERT_TRUE(header.EncodeHeader(parted.head));
    joined.insert(joined.end(), header.Data(), header.Data() + header.Size());
    WORKLAYER* layer = parted.head.m_layers;
    do {
        CJobEncoder part;
        ASSERT_TRUE(part.EncodeLayer(parted.head, *layer, bands.Next(parted.head, *layer), table));
        joined.insert(joined.end(), part.Data(), part.Data() + part.Size());
        layer = layer->m_next;
    } while (layer != parted.head.m_layers);
    joined.insert(joined.end(), {0xD0, 0xE3, 0x02, 0x00, 0x00});
    CalcJobSize(capped.head);
    Bytes one(1 << 16);
    one.resize(static_cast<std::size_t>(
        std::max<std::int64_t>(encoder.Encode(capped.head, one.data(), true, true, 1 << 16, table), 0)));
    EXPECT_EQ(joined, one);
    EXPECT_EQ(JobState(parted.head), JobState(capped.head));
    const Bytes cap = {0xC5, 0x03};
    EXPECT_NE(std::search(one.begin(), one.end(), cap.begin(), cap.end()), one.end());
}

// A cut layer of `paths` paths in a cycle of nine, with everything that
// could pass from one piece of a layer into the next: grey power left in
// force (the next path's first grey equals it, or not), a C1 of its own,
// speed caps of small closed shapes lifted by a large open path, array
// brackets whose opening reads the closed path inside (its start moved by
// the closing overlap), dots, paths without segments.
void MakeLongLayer(TestJob& job, int paths)
{
    job.head.m_closeRepay = 0.4;
    std::memcpy(job.head.m_jobName, "long", 4);
    WORKLAYER* layer = job.AddLayer(1);
    layer->m_speed = 40.0f;
    for (int i = 0; i < paths; ++i) {
        const double x = (i * 37) % 500, y = (i * 11) % 300;
        const std::uint16_t grey = static_cast<std::uint16_t>(100 + (i / 9) % 3);
        switch (i % 9) {
        case 0:
            job.AddSegment(job.AddPath(layer), x, y, x + 2, y, 1, 200, grey);
            break;
        case 1:
            job.AddSegment(job.AddPath(layer), x, y, x, y + 3, 1, 101, 50);
            break;
        case 2:
            job.AddPolyline(layer, {{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}, {x, y}});
            break;
        case 3:
            job.AddPolyline(layer, {{x, y}, {x + 80, y}, {x + 80, y + 90}});
            break;
        case 4:
            job.AddSegment(job.AddPath(layer), x, y, x + 1, y + 1, 2, 30, 0);
            break;
        case 5:
            job.AddPath(layer, PATH_KIND_GROUP)->m_pArray = job.Own(ARRAYREC{2, 3, 4.0, -5.0, 0, 0.0, 0.0});
            break;
        case 6:
            job.AddPolyline(layer, {{x, y}, {x + 3, y}, {x + 3, y + 2}, {x, y}});
            break;
        case 7:
            job.AddPath(layer, i % 2 == 0 ? PATH_KIND_GROUP : PATH_KIND_PATH); // no segments
            job.AddPath(layer, PATH_KIND_GROUP);
            break;
        default:
            job.AddSegment(job.AddPath(layer, PATH_KIND_DOT), x, y, x, y);
            break;
        }
    }
}

// The body in one encoding after the estimate, header and end bytes
// included when framed.
Bytes OneEncoding(WORKHEAD& head, const SpeedLimitTable& limits, std::size_t capacity, bool framed)
{
    CalcJobSize(head);
    Bytes body(capacity);
    CJobEncoder encoder;
    const std::int64_t n =
        encoder.Encode(head, body.data(), framed, framed, static_cast<std::int64_t>(capacity), limits);
    body.resize(static_cast<std::size_t>(std::max<std::int64_t>(n, 0)));
    return body;
}

TEST(JobStream, LongLayerEncodedInPiecesGivesTheBytesAndWriteBacksOfOneEncoding)
{
    // Over three pieces of the transfer's size, the list a ring as the
    // estimate leaves it (walked from both ends) against one encoding.
    const int kLong = 3 * static_cast<int>(kPiecePaths) + 1001;
    TestJob pieced, whole;
    MakeLongLayer(pieced, kLong);
    MakeLongLayer(whole, kLong);
    CalcJobSize(pieced.head);
    TRANSFILEREQ request;
    FillRequest(request, pieced, {});
    CJobStream stream;
    ASSERT_EQ(stream.Build(request), CJobStream::Result::Ok);
    const Bytes s = Built(stream);
    Bytes body = OneEncoding(whole.head, {}, 1 << 23, true);
    ASSERT_EQ(s.size(), 30 + body.size());
    body.resize(body.size() - 2); // the checksum takes the last two
    EXPECT_TRUE(std::equal(body.begin(), body.end(), s.begin() + 30));
    EXPECT_EQ(JobState(pieced.head), JobState(whole.head));

    // Cut into pieces of 1 to 5 paths, lists open and rings of odd and even
    // length, speed caps in force, the pieces encoded last first: whatever
    // one piece left in the job or needs of the one before shows.
    SpeedLimitTable table;
    table.enable = 1;
    table.rows = {{10000, 20000}, {50000, 80000}};
    for (const int paths : {1, 2, 40, 41})
        for (const bool ring : {false, true})
            for (std::size_t piece = 1; piece <= 5; ++piece) {
                SCOPED_TRACE(::testing::Message() << paths << " paths, ring " << ring << ", pieces of " << piece);
                TestJob parted, one;
                MakeLongLayer(parted, paths);
                MakeLongLayer(one, paths);
                WORKLAYER& layer = *parted.head.m_layers;
                if (ring) {
                    PATHREC* last = layer.m_paths;
                    while (last->m_pNext != nullptr)
                        last = last->m_pNext;
                    CloseLayerPaths(layer, *last);
                }
                LayerPaths list;
                std::vector<std::pair<std::size_t, bool>> told;
                ASSERT_TRUE(CollectLayerPaths(layer, piece, list, [&](std::size_t k, bool last) {
                    told.emplace_back(k, last);
                }));
                // Every piece handed on once, in order, the last as the last.
                ASSERT_EQ(told.size(), list.pieces.size());
                for (std::size_t k = 0; k < told.size(); ++k)
                    EXPECT_EQ(told[k], std::make_pair(k, k + 1 == told.size()));
                std::vector<std::unique_ptr<CJobEncoder>> parts(list.pieces.size());
                std::size_t count = 0;
                for (std::size_t k = parts.size(); k-- > 0;) {
                    const std::vector<PATHREC*>& paths = list.pieces[k];
                    count += paths.size();
                    parts[k] = std::make_unique<CJobEncoder>();
                    ASSERT_TRUE(parts[k]->EncodeLayerPiece(parted.head, layer, 0, table, paths.data(),
                                                           paths.size(), k == 0, k + 1 == parts.size()));
                }
                CloseLayerPaths(layer, *list.pieces.back().back());
                Bytes joined;
                PieceCarry carry;
                for (auto& part : parts) {
                    part->Settle(carry);
                    joined.insert(joined.end(), part->Data(), part->Data() + part->Size());
                }
                const Bytes expected = OneEncoding(one.head, table, 1 << 16, false);
                EXPECT_EQ(joined, expected);
                EXPECT_EQ(JobState(parted.head), JobState(one.head));
                if (paths == 41 && piece == 1) {
                    // Cut everywhere but inside the four array brackets,
                    // before the six paths their openings read.
                    EXPECT_EQ(list.pieces.size(), count - 6);
                    const Bytes cap = {0xC5, 0x03};
                    EXPECT_NE(std::search(expected.begin(), expected.end(), cap.begin(), cap.end()),
                              expected.end());
                }
            }
}

} // namespace
} // namespace plat
