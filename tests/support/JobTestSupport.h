// Jobs for the encoder and transfer tests, made of plain values. The job owns
// its records; lists are left open, as the main program hands them over.
#pragma once
#include "machinecomm/VantrelRecords.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace plat {

using Bytes = std::vector<std::uint8_t>;

class TestJob {
public:
    TestJob() = default;
    TestJob(const TestJob&) = delete;
    TestJob& operator=(const TestJob&) = delete;

    WORKLAYER* AddLayer(std::uint8_t mode)
    {
        WORKLAYER* layer = Own(m_layers);
        layer->m_mode = mode;
        Link(head.m_layers, layer, &WORKLAYER::m_prev, &WORKLAYER::m_next);
        return layer;
    }
    PATHREC* AddPath(WORKLAYER* layer, std::uint16_t kind = PATH_KIND_PATH)
    {
        auto* path = Own(m_paths);
        path->m_kind = kind;
        Link(layer->m_paths, path, &PATHREC::m_pPrev, &PATHREC::m_pNext);
        return path;
    }
    SEGNODE* AddSegment(PATHREC* path, double x0, double y0, double x1, double y1,
                        std::uint16_t mode = 0, std::uint16_t grey0 = 0, std::uint16_t grey1 = 0)
    {
        auto* seg = Own(m_segs);
        seg->m_x0 = x0;
        seg->m_y0 = y0;
        seg->m_x1 = x1;
        seg->m_y1 = y1;
        seg->m_nMode = mode;
        seg->m_nGrey0 = grey0;
        seg->m_nGrey1 = grey1;
        Link(path->m_pSegs, seg, &SEGNODE::m_pPrev, &SEGNODE::m_pNext);
        return seg;
    }
    // A cut path through the points, with its bounds.
    PATHREC* AddPolyline(WORKLAYER* layer, std::initializer_list<std::pair<double, double>> points)
    {
        PATHREC* path = AddPath(layer);
        const std::pair<double, double>* prev = nullptr;
        for (const auto& p : points) {
            if (prev != nullptr)
                AddSegment(path, prev->first, prev->second, p.first, p.second);
            path->m_xmin = std::min(path->m_xmin, p.first);
            path->m_xmax = std::max(path->m_xmax, p.first);
            path->m_ymin = std::min(path->m_ymin, p.second);
            path->m_ymax = std::max(path->m_ymax, p.second);
            prev = &p;
        }
        return path;
    }
    ARRAYREC* Own(const ARRAYREC& a)
    {
        m_arrays.push_back(std::make_unique<ARRAYREC>(a));
        return m_arrays.back().get();
    }

    WORKHEAD head;

private:
    template <class T>
    static T* Own(std::vector<std::unique_ptr<T>>& all)
    {
        all.push_back(std::make_unique<T>());
        return all.back().get();
    }
    // Appends item to the open list that first heads.
    template <class T>
    void Link(T*& first, T* item, T* T::*prev, T* T::*next)
    {
        void*& tail = m_tails[&first];
        if (first == nullptr) {
            first = item;
        } else {
            T* last = static_cast<T*>(tail);
            last->*next = item;
            item->*prev = last;
        }
        tail = item;
    }

    std::vector<std::unique_ptr<WORKLAYER>> m_layers;
    std::vector<std::unique_ptr<PATHREC>> m_paths;
    std::vector<std::unique_ptr<SEGNODE>> m_segs;
    std::vector<std::unique_ptr<ARRAYREC>> m_arrays;
    std::unordered_map<const void*, void*> m_tails;
};

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A request to transfer the job with a frame trace payload, filled in place
// (m_pInfo points into it); the machine has no technology file.
inline void FillRequest(TRANSFILEREQ& r, TestJob& job, const Bytes& payload,
                        std::uintptr_t window = 0)
{
    r.m_pInfo = &r.m_info;
    r.m_info.m_notifyWnd = window;
    r.m_info.m_notifyMsg = 0x46A; // WM_TRANS_PROGRESS
    r.m_pHead = &job.head;
    std::copy(payload.begin(), payload.end(), r.m_info.m_payload);
    r.m_info.m_payloadLength = static_cast<std::int32_t>(payload.size());
    std::strcpy(r.m_info.m_machineName, "vantrel test machine");
}

// Ready data: the 384-byte block, then n stream bytes i x 7 (7 bits each).
inline Bytes ReadyData(std::size_t n)
{
    Bytes ready(384, 0xEE);
    for (std::size_t i = 0; i < n; ++i)
        ready.push_back(static_cast<std::uint8_t>(i * 7 & 0x7F));
    return ready;
}

inline void UseReadyData(TRANSFILEREQ& r, const Bytes& ready)
{
    r.m_info.m_dataMode = 1;
    r.m_pReadyData = ready.data();
    r.m_readyLength = static_cast<std::uint32_t>(ready.size());
}

// A 2 x 2 mm square cut at (10, 20) with a closing overlap of 0.2 mm, named
// "ab", origin corner 1, positioning point 4; the layer is cut at 100 mm/s
// (travel 200) with powers 20..30 % and 10..50 %, air on, delays 5 and 7 and
// 0.5 s after the layer.
inline void MakeSquareJob(TestJob& job)
{
    WORKHEAD& h = job.head;
    h.m_minX = 10.0;
    h.m_maxX = 12.0;
    h.m_minY = 20.0;
    h.m_maxY = 22.0;
    h.m_closeRepay = 0.2;
    std::memcpy(h.m_jobName, "ab", 2);
    h.m_originCorner = 1;
    h.m_posPoint = 4;
    WORKLAYER* layer = job.AddLayer(1);
    layer->m_speed = 100.0f;
    layer->m_freeSpeed = 200.0f;
    layer->m_minPower1 = 2000;
    layer->m_maxPower1 = 3000;
    layer->m_minPower2 = 1000;
    layer->m_maxPower2 = 5000;
    layer->m_startDelay = 5;
    layer->m_endDelay = 7;
    layer->m_flags = 1;
    layer->m_delayAfter = 0.5;
    job.AddPolyline(layer, {{10, 20}, {12, 20}, {12, 22}, {10, 22}, {10, 20}});
}

// The frame trace of the square job (W = H = 2000 um) at corner 1: -W, +H,
// +W, -H. -2000 in five groups is 7F 7F 7F 70 30, 2000 is 00 00 00 0F 50.
inline Bytes SquareFrameTrace()
{
    return {0xC5, 0x00, 0x00,
            0xD2, 0x00, 0x02, 0x7F, 0x7F, 0x7F, 0x70, 0x30,
            0xD2, 0x01, 0x02, 0x00, 0x00, 0x00, 0x0F, 0x50,
            0xD2, 0x00, 0x02, 0x00, 0x00, 0x00, 0x0F, 0x50,
            0xD2, 0x01, 0x02, 0x7F, 0x7F, 0x7F, 0x70, 0x30};
}

// The whole stream of the square job with its frame trace, 234 bytes.
inline Bytes SquareJobStream()
{
    return Cat({
        {0xE2, 0x00, 0x00, 0x00, 0x01, 0x56, 0xE2, 0x01}, // 234 - 20 = 214 = 1:86
        {0x61, 0x62, 0, 0, 0, 0, 0, 0, 0x00},             // "ab", zero-filled, end of name
        {0xC5, 0x00, 0x00,                                // frame trace, D2 as E3 01
         0xE3, 0x01, 0x00, 0x02, 0x7F, 0x7F, 0x7F, 0x70, 0x30,
         0xE3, 0x01, 0x01, 0x02, 0x00, 0x00, 0x00, 0x0F, 0x50,
         0xE3, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x0F, 0x50,
         0xE3, 0x01, 0x01, 0x02, 0x7F, 0x7F, 0x7F, 0x70, 0x30},
        Bytes(9, 0x00),                                   // up to 30 + 35
        {0xE3, 0x03, 0x00, 0x00, 0xDD, 0x00, 0x00, 0xD1, 0x11, 0xD1, 0x00},
        {0xE0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x0C, 0, 0, 0, 0, 0},
        {0xE0, 0x04, 0x00, 0x01, 0x00, 0x01, 0, 0, 0, 0x0F, 0x50, 0, 0, 0, 0x0F, 0x50},
        {0xE0, 0x06, 0, 0, 0, 0x4E, 0x10, 0xE0, 0x07, 0, 0, 0, 0x5D, 0x60},  // 10000, 12000
        {0xE0, 0x08, 0, 0, 1, 0x1C, 0x20, 0xE0, 0x09, 0, 0, 1, 0x2B, 0x70},  // 20000, 22000
        {0xE0, 0x0A, 0x01, 0xE0, 0x0B, 0x04},
        {0xCD, 0x01, 0x00, 0xC5, 0x02, 0, 0, 6, 0x0D, 0x20, 0xC5, 0x04, 0, 0, 0x0C, 0x1A, 0x40},
        {0xC0, 0x01, 0x19, 0x4C, 0xC0, 0x02, 0x26, 0x33,  // 3276, 4915
         0xC0, 0x08, 0x0C, 0x66, 0xC0, 0x03, 0x40, 0x00}, // 1638, 8192
        {0xC0, 0x04, 0x01, 0x00, 0xC0, 0x05, 0x00, 0x05, 0xC0, 0x06, 0x00, 0x07, 0xC0, 0x09, 0, 0},
        {0x80, 0, 0, 0, 0x4E, 0x10, 0, 0, 1, 0x1C, 0x20}, // to (10, 20)
        {0x82, 0x7F, 0x1C},                               // back 0.1 to the moved start
        {0xA2, 0x10, 0x34, 0xA3, 0x0F, 0x50, 0xA2, 0x70, 0x30}, // +2100, +2000, -2000
        {0xA3, 0x6F, 0x4C},                               // -2100: 0.1 past the corner
        {0xE0, 0x00, 0xC0, 0x11, 0, 0, 0x1E, 0x42, 0x20}, // 500,000 us
        {0xD0, 0xE3, 0x02, 0x01, 0x34},                   // checksum 0xB4
    });
}

} // namespace plat
