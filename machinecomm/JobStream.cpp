#include "JobStream.h"

#include "JobEncoder.h"
#include "platform/ParallelFor.h"
#include "platform/Processors.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <atomic>
#include <vector>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr std::size_t kNameAt = 8;
constexpr std::size_t kNameChars = 8;
constexpr std::size_t kNameAreaMax = 11;
constexpr std::size_t kTail = 48;             // zero bytes behind every stream buffer
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

// Whether the writable layers hold at least `paths` paths, counted only up
// to there: threads beyond one per layer pay off only for a job that long.
bool HasPaths(const std::vector<WORKLAYER*>& layers, std::size_t paths)
{
    std::size_t n = 0;
    for (const WORKLAYER* layer : layers) {
        if (layer->m_mode == 0 || layer->m_reserved4 != 0)
            continue;
        const PATHREC* first = layer->m_paths;
        for (const PATHREC* path = first; path != nullptr && n < paths;
             path = path->m_pNext == first ? nullptr : path->m_pNext)
            ++n;
    }
    return n >= paths;
}

// One part of the body: a piece of a layer's paths, or a whole layer whose
// paths are not written (paths null).
struct BodyPart {
    std::size_t layer = 0;
    const std::vector<PATHREC*>* paths = nullptr;
    bool opens = true;
    bool closes = true;
    std::size_t front = 0;
    CJobEncoder encoder;
};

// Parts ready to be encoded, in the order they became ready, taken by the
// encoding threads while the walks of the layers' lists still add to them.
class CReadyParts {
public:
    explicit CReadyParts(std::size_t walks) : m_walks(walks) {}

    void Add(BodyPart& part)
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_ready.push_back(&part);
        }
        m_more.notify_one();
    }
    void WalkEnded()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            --m_walks;
        }
        m_more.notify_all();
    }
    // The next part, waiting (when wait is set) while a walk may still add
    // one; null when none is left to take.
    BodyPart* Take(bool wait)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (wait)
            m_more.wait(lock, [&] { return m_taken < m_ready.size() || m_walks == 0; });
        return m_taken < m_ready.size() ? m_ready[m_taken++] : nullptr;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_more;
    std::vector<BodyPart*> m_ready;
    std::size_t m_taken = 0;
    std::size_t m_walks;
};

// The body of one job between its header and its end: the layers in ring
// order with their band offsets, the parts their lists are cut into, and
// the encoding of those parts side by side. A writable layer's list is
// walked by one thread, a long one cut into pieces that the other threads
// encode while the walk goes on; layers whose paths are not written are
// encoded whole.
class CBodyParts {
public:
    CBodyParts(WORKHEAD& head, const SpeedLimitTable& limits) : m_head(head), m_limits(limits)
    {
        CBandOffsets bands;
        for (WORKLAYER* layer = head.m_layers; layer != nullptr;
             layer = layer->m_next == head.m_layers ? nullptr : layer->m_next) {
            m_layers.push_back(layer);
            m_offsets.push_back(bands.Next(head, *layer));
        }
        m_lists.resize(m_layers.size());
        m_parts.resize(m_layers.size());
    }

    // Encodes every part, the first layer's first keeping `front` bytes in
    // front for everything before it; with `ok` false (the header or end
    // failed) nothing is encoded. On a failure or a stop the job is left as
    // it was found.
    CJobStream::Result Encode(bool ok, std::size_t front, std::size_t piecePaths, const std::atomic<bool>* stop)
    {
        using Result = CJobStream::Result;
        m_failed.store(!ok);
        std::vector<std::size_t> walked; // the writable layers
        std::size_t workers = 0;
        try {
            for (std::size_t i = 0; i < m_layers.size(); ++i)
                if (Writable(i))
                    walked.push_back(i);
            // Each walk encodes parts once it has ended; other threads wait
            // for the pieces of a long job meanwhile.
            if (walked.empty() || HasPaths(m_layers, kPiecePaths))
                workers = plat::UsableProcessors();
        } catch (const std::bad_alloc&) {
            return Result::OutOfMemory;
        }
        CReadyParts ready(walked.size());
        for (std::size_t i = 0; i < m_layers.size() && ok; ++i) {
            if (Writable(i))
                continue;
            try {
                BodyPart& part = m_parts[i].emplace_back();
                part.layer = i;
                part.front = i == 0 ? front : 0;
                ready.Add(part);
            } catch (const std::bad_alloc&) {
                return Result::OutOfMemory;
            }
        }
        // The walks first: every one is running before any thread waits for
        // the pieces they hand on. A walk's thread takes only the parts
        // ready when it ends: some walk may not have started yet.
        plat::ParallelFor(walked.size() + workers, [&](std::size_t slot) {
            if (slot < walked.size())
                Walk(walked[slot], ok, front, piecePaths, ready);
            const bool wait = slot >= walked.size();
            while (BodyPart* part = ready.Take(wait))
                EncodePart(*part);
        });
        if (m_failed.load() || (stop != nullptr && stop->load())) {
            // The job is left as it was found, ready for another attempt.
            for (std::size_t i = m_layers.size(); i-- > 0;)
                for (auto it = m_parts[i].rbegin(); it != m_parts[i].rend(); ++it)
                    it->encoder.RestoreStarts();
            return m_failed.load() ? Result::OutOfMemory : Result::Stopped;
        }
        return Result::Ok;
    }

    // The header, the parts in the body's order and the end, each piece's
    // blocks settled on what the pieces before it left in force; false
    // when memory ran out.
    bool Order(CJobEncoder& header, CJobEncoder& end, std::vector<CJobEncoder*>& body)
    {
        try {
            body.push_back(&header);
            for (std::deque<BodyPart>& layerParts : m_parts) {
                PieceCarry carry;
                for (BodyPart& part : layerParts) {
                    part.encoder.Settle(carry);
                    body.push_back(&part.encoder);
                }
            }
            body.push_back(&end);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    void Clear() { m_parts.clear(); }

private:
    bool Writable(std::size_t i) const { return m_layers[i]->m_mode != 0 && m_layers[i]->m_reserved4 == 0; }

    // Walks writable layer i's list, handing on each piece as it is cut.
    void Walk(std::size_t i, bool ok, std::size_t front, std::size_t piecePaths, CReadyParts& ready)
    {
        bool collected = false;
        try {
            collected = ok && CollectLayerPaths(*m_layers[i], piecePaths, m_lists[i], [&](std::size_t k, bool last) {
                BodyPart& part = m_parts[i].emplace_back();
                part.layer = i;
                part.paths = &m_lists[i].pieces[k];
                part.opens = k == 0;
                part.closes = last;
                part.front = i == 0 && k == 0 ? front : 0;
                ready.Add(part);
            });
        } catch (...) {
            // Whatever stopped the walk, the threads waiting for it must
            // learn that it has ended.
        }
        if (!collected)
            m_failed.store(true);
        ready.WalkEnded();
    }

    void EncodePart(BodyPart& part)
    {
        WORKLAYER& layer = *m_layers[part.layer];
        const std::int32_t offset = m_offsets[part.layer];
        try {
            bool done = false;
            if (part.paths == nullptr) {
                done = part.encoder.EncodeLayer(m_head, layer, offset, m_limits, part.front);
            } else {
                done = part.encoder.EncodeLayerPiece(m_head, layer, offset, m_limits, part.paths->data(),
                                                     part.paths->size(), part.opens, part.closes, part.front);
                // The list into a ring from the end the walk found; no
                // other piece reads these links.
                if (done && part.closes && !part.paths->empty())
                    CloseLayerPaths(layer, *part.paths->back());
            }
            if (!done)
                m_failed.store(true);
        } catch (const std::bad_alloc&) {
            m_failed.store(true);
        }
    }

    WORKHEAD& m_head;
    const SpeedLimitTable& m_limits;
    std::vector<WORKLAYER*> m_layers;
    std::vector<std::int32_t> m_offsets;
    std::vector<LayerPaths> m_lists;
    std::vector<std::deque<BodyPart>> m_parts;
    std::atomic<bool> m_failed{false};
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
    CBodyParts parts(head, limits);
    // The header, the layers' parts and the end: the body in order. The
    // first layer's first part keeps room in front for everything before
    // it and becomes the stream.
    CJobEncoder header, end;
    const bool ok = header.EncodeHeader(head) && end.EncodeEnd();
    const std::size_t bodyAt = kStreamBodyAt + static_cast<std::size_t>(info.m_payloadLength);
    const std::size_t front = bodyAt + static_cast<std::size_t>(header.Size());
    const Result encoded = parts.Encode(ok, front, m_piecePaths, stop);
    if (encoded != Result::Ok)
        return encoded;
    std::vector<CJobEncoder*> body;
    if (!parts.Order(header, end, body))
        return Result::OutOfMemory;
    const Result joined = JoinBody(body, bodyAt, front);
    if (joined != Result::Ok)
        return joined;
    body.clear();
    parts.Clear();
    WriteFrame(head, info);
    return Result::Ok;
}

CJobStream::Result CJobStream::JoinBody(const std::vector<CJobEncoder*>& body, std::size_t bodyAt, std::size_t front)
{
    std::uint64_t size = bodyAt;
    for (const CJobEncoder* part : body)
        size += static_cast<std::uint64_t>(part->Size());
    if (size - 20 > kStreamLengthMax)
        return Result::InvalidJob;
    std::size_t at = front;
    const bool first = body.size() > 2; // a layer's part follows the header
    if (first) {
        m_buffer.Swap(body[1]->Memory());
        at += static_cast<std::size_t>(body[1]->Size());
    }
    if (!m_buffer.Reserve(size + kTail, at))
        return Result::OutOfMemory;
    m_size = size;
    std::memset(Data(), 0, bodyAt);
    std::memcpy(Data() + bodyAt, body[0]->Data(), front - bodyAt);
    for (std::size_t i = first ? 2 : 1; i < body.size(); ++i) {
        const auto n = static_cast<std::size_t>(body[i]->Size());
        if (n > 0)
            std::memcpy(Data() + at, body[i]->Data(), n);
        at += n;
    }
    std::memset(Data() + m_size, 0, kTail);
    return Result::Ok;
}

void CJobStream::WriteFrame(WORKHEAD& head, const TRANSINFO& info)
{
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
