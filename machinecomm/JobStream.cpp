#include "JobStream.h"

#include "JobEncoder.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <atomic>
#include <vector>

namespace {

constexpr std::size_t kNameAt = 8;
constexpr std::size_t kNameChars = 8;
constexpr std::size_t kNameAreaMax = 11;
constexpr std::size_t kTail = 48;             // zero bytes behind every stream buffer
constexpr std::uint64_t kLengthFieldMax = (std::uint64_t{1} << 28) - 1; // four 7-bit groups
constexpr std::size_t kChecksumFrom = 20;
constexpr std::uint8_t kChecksumSeed = 0x2A;

// The name area as written, into out (11 bytes) when given; returns its size.
std::size_t NameArea(const char (&name)[12], std::uint8_t* out)
{
    std::size_t n = 0;
    bool high = false;
    for (std::size_t i = 0; i < kNameChars; ++i) {
        const auto c = static_cast<std::uint8_t>(name[i]);
        const bool top = (c & 0x80) != 0;
        const std::size_t need = top != high ? 2 : 1;
        if (n + need > kNameAreaMax)
            break;
        if (top != high) {
            if (out != nullptr)
                out[n] = top ? 0x0F : 0x0E;
            ++n;
            high = top;
        }
        if (out != nullptr)
            out[n] = c & 0x7F;
        ++n;
    }
    return n;
}

// One part of the body to encode: a piece of a layer's paths, or a whole
// layer whose paths are not written.
struct PartTask {
    std::size_t layer;
    std::size_t from = 0; // the piece's paths in the layer's list
    std::size_t to = 0;
    bool collected = false;
};

} // namespace

const std::size_t CJobStream::kDefaultPiecePaths = kPiecePaths;

void CutJobName(char (&name)[12])
{
    const std::size_t length = ::strnlen(name, sizeof name);
    if (length <= 4)
        return;
    const char* end = name + length - 4;
    if (std::memcmp(end, ".out", 4) != 0 && std::memcmp(end, ".OUT", 4) != 0)
        return;
    char cut[12] = {};
    std::memcpy(cut, name, length - 4);
    std::memcpy(name, cut, sizeof cut);
}

std::size_t NameAndFrameEnd(const char (&name)[12], const std::uint8_t* payload,
                            std::int32_t payloadLength)
{
    std::size_t end = kNameAt + NameArea(name, nullptr) + 1;
    for (std::int32_t i = 0; i < payloadLength; ++i)
        end += payload[i] == 0xD2 ? 2 : 1;
    return end;
}

void WriteNameAndFrame(std::uint8_t* stream, const char (&name)[12], const std::uint8_t* payload,
                       std::int32_t payloadLength)
{
    std::uint8_t* p = stream + kNameAt;
    p += NameArea(name, p);
    *p++ = 0x00;
    for (std::int32_t i = 0; i < payloadLength; ++i) {
        if (payload[i] == 0xD2) {
            *p++ = 0xE3;
            *p++ = 0x01;
        } else {
            *p++ = payload[i];
        }
    }
}

bool CJobStream::Allocate(std::size_t stream, std::size_t zeroed)
{
    if (!m_buffer.Reserve(stream + kTail, 0))
        return false;
    std::memset(Data(), 0, std::min(zeroed, stream));
    std::memset(Data() + stream, 0, kTail);
    return true;
}

CJobStream::Result CJobStream::Encode(const TRANSFILEREQ& request, const std::atomic<bool>* stop)
{
    WORKHEAD& head = *request.m_pHead;
    const TRANSINFO& info = *request.m_pInfo;
    ReadTechParam(info.m_machineName);
    if (head.m_workMode > kWorkModeMax) {
        CalcJobSize(head); // the lists are closed all the same
        return Result::InvalidJob;
    }
    // A copy: the workers read it while nothing may replace it.
    const SpeedLimitTable limits = TechSpeedLimits();

    CloseLayerRing(head);
    std::vector<WORKLAYER*> layers;
    std::vector<std::int32_t> offsets;
    CBandOffsets bands;
    for (WORKLAYER* layer = head.m_layers; layer != nullptr;
         layer = layer->m_next == head.m_layers ? nullptr : layer->m_next) {
        layers.push_back(layer);
        offsets.push_back(bands.Next(head, *layer));
    }
    // Writable layers are walked first (side by side), a long one cut into
    // pieces; then every piece and every other layer is encoded side by
    // side. The body in order: header, the layers' parts, end. The first
    // layer's memory keeps room in front for everything before it and
    // becomes the stream.
    std::vector<LayerPaths> lists(layers.size());
    std::atomic<bool> ok{true};
    const auto Writable = [&](std::size_t i) {
        return layers[i]->m_mode != 0 && layers[i]->m_reserved4 == 0;
    };
    plat::ParallelFor(layers.size(), [&](std::size_t i) {
        if (Writable(i) && !CollectLayerPaths(*layers[i], m_piecePaths, lists[i]))
            ok.store(false);
    });
    std::vector<PartTask> tasks;
    std::vector<std::unique_ptr<CJobEncoder>> parts;
    try {
        for (std::size_t i = 0; i < layers.size(); ++i) {
            if (!Writable(i)) {
                tasks.push_back({i});
                continue;
            }
            const std::vector<std::size_t>& starts = lists[i].starts;
            for (std::size_t k = 0; k < starts.size(); ++k)
                tasks.push_back({i, starts[k],
                                 k + 1 < starts.size() ? starts[k + 1] : lists[i].paths.size(), true});
        }
        parts.resize(tasks.size() + 2);
        for (auto& part : parts)
            part = std::make_unique<CJobEncoder>();
    } catch (const std::bad_alloc&) {
        return Result::OutOfMemory;
    }
    const std::size_t bodyAt = kStreamBodyAt + static_cast<std::size_t>(info.m_payloadLength);
    ok = ok.load() && parts.front()->EncodeHeader(head) && parts.back()->EncodeEnd();
    const std::size_t front = bodyAt + static_cast<std::size_t>(parts.front()->Size());
    if (ok.load()) {
        plat::ParallelFor(tasks.size(), [&](std::size_t t) {
            const PartTask& task = tasks[t];
            CJobEncoder& part = *parts[t + 1];
            WORKLAYER& layer = *layers[task.layer];
            const std::size_t partFront = t == 0 ? front : 0;
            try {
                bool done = false;
                if (!task.collected) {
                    done = part.EncodeLayer(head, layer, offsets[task.layer], limits, partFront);
                } else {
                    const LayerPaths& list = lists[task.layer];
                    const bool closes = task.to == list.paths.size();
                    done = part.EncodeLayerPiece(head, layer, offsets[task.layer], limits,
                                                 list.paths.data() + task.from, task.to - task.from,
                                                 task.from == 0, closes, partFront);
                    // The list into a ring from the end the walk found; no
                    // other piece reads these links.
                    if (done && closes && !list.paths.empty())
                        CloseLayerPaths(layer, *list.paths.back());
                }
                if (!done)
                    ok.store(false);
            } catch (const std::bad_alloc&) {
                ok.store(false);
            }
        });
    }
    if (!ok.load() || (stop != nullptr && stop->load())) {
        // The job is left as it was found, ready for another attempt.
        for (auto it = parts.rbegin(); it != parts.rend(); ++it)
            (*it)->RestoreStarts();
        return ok.load() ? Result::Stopped : Result::OutOfMemory;
    }
    // Each piece's blocks that depended on what the pieces before it left
    // in force.
    PieceCarry carry;
    for (std::size_t t = 0; t < tasks.size(); ++t) {
        if (tasks[t].from == 0)
            carry = PieceCarry{};
        parts[t + 1]->Settle(carry);
    }

    std::uint64_t size = bodyAt;
    for (const auto& part : parts)
        size += static_cast<std::uint64_t>(part->Size());
    if (size - 20 > kLengthFieldMax)
        return Result::InvalidJob;
    std::size_t at = front;
    if (!tasks.empty()) {
        m_buffer.Swap(parts[1]->Memory());
        at += static_cast<std::size_t>(parts[1]->Size());
    }
    if (!m_buffer.Reserve(size + kTail, at))
        return Result::OutOfMemory;
    m_size = size;
    std::memset(Data(), 0, bodyAt);
    std::memcpy(Data() + bodyAt, parts.front()->Data(), front - bodyAt);
    for (std::size_t i = tasks.empty() ? 1 : 2; i < parts.size(); ++i) {
        const auto n = static_cast<std::size_t>(parts[i]->Size());
        if (n > 0)
            std::memcpy(Data() + at, parts[i]->Data(), n);
        at += n;
    }
    std::memset(Data() + m_size, 0, kTail);
    parts.clear();

    std::uint8_t* s = Data();
    const std::uint64_t length = m_size - 20;
    s[0] = 0xE2;
    s[1] = 0x00;
    s[2] = static_cast<std::uint8_t>(length >> 21 & 0x7F);
    s[3] = static_cast<std::uint8_t>(length >> 14 & 0x7F);
    s[4] = static_cast<std::uint8_t>(length >> 7 & 0x7F);
    s[5] = static_cast<std::uint8_t>(length & 0x7F);
    s[6] = 0xE2;
    s[7] = 0x01;
    CutJobName(head.m_jobName);
    WriteNameAndFrame(s, head.m_jobName, info.m_payload, info.m_payloadLength);

    // Over offset 20 up to the D0 of the end bytes; its two bytes replace the
    // two zero bytes that end the body.
    std::uint8_t c = kChecksumSeed;
    for (std::size_t i = kChecksumFrom; i <= m_size - 5; ++i)
        c ^= s[i];
    s[m_size - 2] = static_cast<std::uint8_t>(c >> 7);
    s[m_size - 1] = static_cast<std::uint8_t>(c & 0x7F);
    return Result::Ok;
}

CJobStream::Result CJobStream::CopyReady(const TRANSFILEREQ& request)
{
    WORKHEAD& head = *request.m_pHead;
    const TRANSINFO& info = *request.m_pInfo;
    m_size = request.m_readyLength - kReadySkip;
    // Room for the name and frame trace even where the ready stream is
    // shorter than they are; only m_size bytes are sent.
    const std::size_t frameEnd = kStreamBodyAt + static_cast<std::size_t>(info.m_payloadLength);
    const std::size_t room = std::max(m_size, frameEnd);
    if (!Allocate(room, 0))
        return Result::OutOfMemory;
    std::memcpy(Data(), request.m_pReadyData + kReadySkip, m_size);
    std::memset(Data() + m_size, 0, room - m_size);
    CutJobName(head.m_jobName);
    WriteNameAndFrame(Data(), head.m_jobName, info.m_payload, info.m_payloadLength);
    return Result::Ok;
}

CJobStream::Result CJobStream::Build(const TRANSFILEREQ& request, const std::atomic<bool>* stop)
{
    m_buffer.Release();
    m_size = 0;
    m_retries = 0;
    return request.m_pInfo->m_dataMode == 0 ? Encode(request, stop) : CopyReady(request);
}
