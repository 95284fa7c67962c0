// libFuzzer target of the job encoder: random jobs (any doubles, NaN and
// infinities included, open or ring lists, every path kind, hostile counts)
// encoded into a small capacity followed by a guard zone. Checks that nothing
// is written past the capacity, that a result is a byte count within it or an
// overflow, and that an overflow leaves every segment as it found it; also
// writes the frame trace and a random name and payload into exact buffers.
// The same job built again is encoded as a transfer does it, layers and
// pieces of layers side by side, and must give the one encoding's bytes and
// write-backs.
#include "JobEncoder.h"
#include "JobStream.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t kGuard = 64;
constexpr std::uint8_t kGuardByte = 0xA5;

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

double AnyDouble(FuzzedDataProvider& in)
{
    if (in.ConsumeBool())
        return in.ConsumeFloatingPointInRange<double>(-2000.0, 2000.0);
    double v = 0.0;
    const std::vector<std::uint8_t> raw = in.ConsumeBytes<std::uint8_t>(sizeof v);
    // An exhausted input gives no bytes, and an empty vector no pointer.
    if (!raw.empty())
        std::memcpy(&v, raw.data(), raw.size());
    return v;
}

struct Job {
    WORKHEAD head;
    std::vector<std::unique_ptr<WORKLAYER>> layers;
    std::vector<std::unique_ptr<PATHREC>> paths;
    std::vector<std::unique_ptr<SEGNODE>> segs;
    std::vector<std::unique_ptr<ARRAYREC>> arrays;
};

template <class T>
void Append(T*& first, T*& last, T* item, T* T::*prev, T* T::*next)
{
    if (first == nullptr)
        first = item;
    else {
        last->*next = item;
        item->*prev = last;
    }
    last = item;
}

void MakeJob(FuzzedDataProvider& in, Job& job)
{
    WORKHEAD& h = job.head;
    h.m_kind = in.ConsumeIntegralInRange<std::uint32_t>(0, 2);
    h.m_workMode = in.ConsumeIntegralInRange<std::uint32_t>(0, 9);
    h.m_hasObjectArrays = in.ConsumeIntegral<std::uint8_t>();
    h.m_feedCount = in.ConsumeIntegral<std::int32_t>();
    h.m_feedLength = AnyDouble(in);
    h.m_arrayUse = in.ConsumeIntegralInRange<std::uint32_t>(0, 1);
    h.m_arrayCountX = in.ConsumeIntegral<std::uint32_t>();
    h.m_arrayCountY = in.ConsumeIntegral<std::uint32_t>();
    h.m_pitchX = AnyDouble(in);
    h.m_pitchY = AnyDouble(in);
    h.m_minX = AnyDouble(in);
    h.m_maxX = AnyDouble(in);
    h.m_minY = AnyDouble(in);
    h.m_maxY = AnyDouble(in);
    for (double& e : h.m_firstExtents)
        e = AnyDouble(in);
    h.m_closeRepay = AnyDouble(in);
    h.m_originCorner = in.ConsumeIntegral<std::uint8_t>();
    h.m_posPoint = in.ConsumeIntegral<std::uint8_t>();
    h.m_banded = in.ConsumeIntegralInRange<std::uint8_t>(0, 1);

    WORKLAYER* lastLayer = nullptr;
    const int layerCount = in.ConsumeIntegralInRange(0, 3);
    for (int l = 0; l < layerCount; ++l) {
        job.layers.push_back(std::make_unique<WORKLAYER>());
        WORKLAYER* layer = job.layers.back().get();
        static constexpr std::uint8_t kModes[] = {0, 1, 2, 3, 0x81, 0x82};
        layer->m_mode = kModes[in.ConsumeIntegralInRange<std::size_t>(0, sizeof kModes - 1)];
        layer->m_style = in.ConsumeIntegralInRange<std::uint8_t>(0, 4);
        layer->m_bandIndex = in.ConsumeIntegralInRange<std::uint32_t>(0, 2);
        layer->m_bandGap = AnyDouble(in);
        layer->m_speed = static_cast<float>(in.ConsumeFloatingPointInRange<double>(-10.0, 1000.0));
        layer->m_lightDef = in.ConsumeIntegralInRange<std::uint8_t>(0, 1);
        layer->m_maxPower1 = in.ConsumeIntegral<std::uint16_t>();
        layer->m_minPower1 = in.ConsumeIntegral<std::uint16_t>();
        layer->m_startDelay = in.ConsumeIntegral<std::uint16_t>();
        layer->m_laserDelay = in.ConsumeIntegral<std::uint16_t>();
        layer->m_flags = in.ConsumeIntegral<std::uint32_t>();
        layer->m_hitTime = static_cast<float>(in.ConsumeFloatingPointInRange<double>(-1.0, 10.0));
        layer->m_delayAfter = AnyDouble(in);
        layer->m_reserved4 = in.ConsumeIntegralInRange<std::uint32_t>(0, 1) * in.ConsumeBool();
        Append(job.head.m_layers, lastLayer, layer, &WORKLAYER::m_prev, &WORKLAYER::m_next);

        PATHREC* lastPath = nullptr;
        const int pathCount = in.ConsumeIntegralInRange(0, 4);
        for (int p = 0; p < pathCount; ++p) {
            job.paths.push_back(std::make_unique<PATHREC>());
            PATHREC* path = job.paths.back().get();
            path->m_kind = in.ConsumeIntegralInRange<std::uint16_t>(0, 3);
            path->m_xmin = AnyDouble(in);
            path->m_xmax = AnyDouble(in);
            path->m_ymin = AnyDouble(in);
            path->m_ymax = AnyDouble(in);
            if (path->m_kind == PATH_KIND_GROUP && in.ConsumeBool()) {
                job.arrays.push_back(std::make_unique<ARRAYREC>());
                ARRAYREC* a = job.arrays.back().get();
                a->m_nRows = in.ConsumeIntegral<std::uint16_t>();
                a->m_nCols = in.ConsumeIntegral<std::uint16_t>();
                a->m_dDy = AnyDouble(in);
                a->m_dDx = AnyDouble(in);
                path->m_pArray = a;
            }
            Append(layer->m_paths, lastPath, path, &PATHREC::m_pPrev, &PATHREC::m_pNext);
            SEGNODE* lastSeg = nullptr;
            const int segCount = in.ConsumeIntegralInRange(0, 8);
            for (int s = 0; s < segCount; ++s) {
                job.segs.push_back(std::make_unique<SEGNODE>());
                SEGNODE* seg = job.segs.back().get();
                seg->m_nMode = in.ConsumeIntegralInRange<std::uint16_t>(0, 3);
                seg->m_nGrey0 = in.ConsumeIntegral<std::uint16_t>();
                seg->m_nGrey1 = in.ConsumeIntegral<std::uint16_t>();
                // Often starting where the last one ended, so closed paths occur.
                const bool joined = lastSeg != nullptr && in.ConsumeBool();
                seg->m_x0 = joined ? lastSeg->m_x1 : AnyDouble(in);
                seg->m_y0 = joined ? lastSeg->m_y1 : AnyDouble(in);
                seg->m_x1 = AnyDouble(in);
                seg->m_y1 = AnyDouble(in);
                Append(path->m_pSegs, lastSeg, seg, &SEGNODE::m_pPrev, &SEGNODE::m_pNext);
            }
            if (lastSeg != nullptr && in.ConsumeBool()) {
                lastSeg->m_x1 = path->m_pSegs->m_x0;
                lastSeg->m_y1 = path->m_pSegs->m_y0;
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::int64_t capacity = in.ConsumeIntegralInRange<std::int64_t>(0, 16384);
    const bool estimate = in.ConsumeBool();
    const bool header = in.ConsumeBool();
    const bool end = in.ConsumeBool();

    // A name and frame payload written into a buffer of exactly their size.
    char name[12] = {};
    const std::vector<std::uint8_t> nameBytes = in.ConsumeBytes<std::uint8_t>(12);
    if (!nameBytes.empty())
        std::memcpy(name, nameBytes.data(), nameBytes.size());
    CutJobName(name);
    const std::vector<std::uint8_t> payload =
        in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 122));
    const auto n = static_cast<std::int32_t>(payload.size());
    std::vector<std::uint8_t> stream(NameAndFrameEnd(name, payload.data(), n));
    WriteNameAndFrame(stream.data(), name, payload.data(), n);

    Job job;
    MakeJob(in, job);
    std::uint8_t frame[kFrameTraceSize];
    WriteFrameTrace(job.head, frame);
    if (estimate)
        CalcJobSize(job.head);

    std::vector<std::pair<double, double>> starts;
    for (const auto& seg : job.segs)
        starts.emplace_back(seg->m_x0, seg->m_y0);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(capacity) + kGuard, kGuardByte);
    CJobEncoder encoder;
    SpeedLimitTable limits;
    limits.enable = 1;
    limits.rows = {{1000, 5000}, {1000, 9000}, {50000, 800000}};
    const std::int64_t written = encoder.Encode(job.head, out.data(), header, end, capacity, limits);
    Require(written == kEncodeOverflow || written == kEncodeInvalid ||
            (written >= 0 && written <= capacity));
    for (std::size_t i = static_cast<std::size_t>(capacity); i < out.size(); ++i)
        Require(out[i] == kGuardByte);
    if (written == kEncodeOverflow)
        for (std::size_t i = 0; i < job.segs.size(); ++i) {
            const auto& [x, y] = starts[i];
            const SEGNODE& seg = *job.segs[i];
            Require((seg.m_x0 == x || (seg.m_x0 != seg.m_x0 && x != x)) &&
                    (seg.m_y0 == y || (seg.m_y0 != seg.m_y0 && y != y)));
        }

    // The same job again, as a transfer builds its stream, against a third
    // copy encoded in one go after the size estimate.
    Job layered, whole;
    for (Job* copy : {&layered, &whole}) {
        FuzzedDataProvider again(data, size);
        again.ConsumeIntegralInRange<std::int64_t>(0, 16384);
        again.ConsumeBool();
        again.ConsumeBool();
        again.ConsumeBool();
        again.ConsumeBytes<std::uint8_t>(12);
        again.ConsumeBytes<std::uint8_t>(again.ConsumeIntegralInRange<std::size_t>(0, 122));
        MakeJob(again, *copy);
    }
    if (estimate)
        CalcJobSize(layered.head); // lists that are rings already
    TRANSFILEREQ request;
    request.m_pInfo = &request.m_info;
    request.m_pHead = &layered.head;
    CJobStream built;
    built.SetPiecePathsForTesting(1 + size % 3); // the longer layers in pieces
    const CJobStream::Result result = built.Build(request);
    Require(result == CJobStream::Result::Ok || result == CJobStream::Result::InvalidJob);
    if (result != CJobStream::Result::Ok)
        return 0;
    CalcJobSize(whole.head);
    std::vector<std::uint8_t> one(built.Size() + 10240 + kGuard); // past the reserve
    const std::int64_t bytes =
        encoder.Encode(whole.head, one.data(), true, true, static_cast<std::int64_t>(one.size()),
                       TechSpeedLimits());
    Require(bytes >= 2 && built.Size() == kStreamBodyAt + static_cast<std::size_t>(bytes));
    Require(std::memcmp(built.Data() + kStreamBodyAt, one.data(), static_cast<std::size_t>(bytes) - 2) == 0);
    Require(layered.segs.size() == whole.segs.size() && layered.paths.size() == whole.paths.size());
    for (std::size_t i = 0; i < layered.segs.size(); ++i)
        Require(std::memcmp(&layered.segs[i]->m_x0, &whole.segs[i]->m_x0, 2 * sizeof(double)) == 0 &&
                layered.segs[i]->m_nGrey0 == whole.segs[i]->m_nGrey0 &&
                (layered.segs[i]->m_pNext == nullptr) == (whole.segs[i]->m_pNext == nullptr));
    for (std::size_t i = 0; i < layered.paths.size(); ++i)
        Require(layered.paths[i]->m_closed == whole.paths[i]->m_closed &&
                (layered.paths[i]->m_pNext == nullptr) == (whole.paths[i]->m_pNext == nullptr));
    return 0;
}
