// The walks over a job's lists: the size estimate, which also closes every
// list into a ring, and a layer's paths collected into the pieces it is
// encoded in.
#include "JobEncoder.h"
#include "JobEncoding.h"

#include <cstdlib>
#include <new>

using namespace plat::encoding;

namespace {

// The 11/5/3 byte estimate of a move by (dx, dy) micrometres.
std::uint64_t MoveEstimate(std::int64_t dx, std::int64_t dy)
{
    if (std::llabs(dx) >= 8191 || std::llabs(dy) >= 8191)
        return 11;
    return dx != 0 && dy != 0 ? 5 : 3;
}

std::int64_t MicroDelta(double to, double from)
{
    return std::int64_t{RoundHalfAway(to)} - RoundHalfAway(from);
}

// The same, the last element found by walking from the first.
template <class T>
void CloseIntoRing(T* first, T* T::*prev, T* T::*next)
{
    if (first == nullptr)
        return;
    T* last = first;
    while (last->*next != nullptr && last->*next != first)
        last = last->*next;
    CloseAt(first, last, prev, next);
}

} // namespace

void CloseLayerRing(WORKHEAD& head)
{
    CloseIntoRing(head.m_layers, &WORKLAYER::m_prev, &WORKLAYER::m_next);
}

bool CollectLayerPaths(const WORKLAYER& layer, std::size_t piecePaths, LayerPaths& out,
                       const std::function<void(std::size_t, bool)>& ready)
{
    out.pieces.clear();
    try {
        out.pieces.emplace_back().reserve(std::min<std::size_t>(piecePaths, 1024));
        PATHREC* first = layer.m_paths;
        if (first == nullptr) {
            if (ready)
                ready(0, true);
            return true;
        }
        // Brackets by kind: 0 none, 1 a closing or empty bracket, 2 an array
        // opening.
        const auto Bracket = [](const PATHREC* path) {
            return path->m_kind != PATH_KIND_GROUP ? 0 : path->m_pArray != nullptr ? 2 : 1;
        };
        bool arrayOpen = false;
        // Appends the next path in list order, first ending the piece when
        // it is long enough and no array bracket is open.
        const auto Append = [&](PATHREC* path, int bracket) {
            if (bracket != 0)
                arrayOpen = false;
            if (!arrayOpen && out.pieces.back().size() >= piecePaths) {
                out.pieces.emplace_back();
                if (ready)
                    ready(out.pieces.size() - 2, false);
            }
            if (bracket != 0)
                arrayOpen = bracket == 2;
            out.pieces.back().push_back(path);
        };

        // Each step is a cache miss that the next cannot start before. On
        // a ring a second walk goes back from the last path beside the
        // first, each prev link checked against the next one, until they
        // meet; a link that does not match ends the walk back there, and
        // the walk along the list goes on alone up to it. The paths the
        // walk back passed are taken into pieces once the walks have met.
        std::vector<PATHREC*> back;
        std::vector<std::uint8_t> backBrackets;
        bool backing = false;
        PATHREC* last = first->m_pPrev;
        if (last != nullptr && last != first && last->m_pNext == first) {
            back.push_back(last);
            backBrackets.push_back(static_cast<std::uint8_t>(Bracket(last)));
            backing = true;
        }
        Append(first, Bracket(first));
        for (PATHREC* path = first;;) {
            PATHREC* next = Following(path, first);
            if (next == nullptr) {
                back.clear(); // the walk back passed paths the list does not reach
                break;
            }
            if (!back.empty() && next == back.back())
                break;
            Append(next, Bracket(next));
            path = next;
            if (backing) {
                PATHREC* before = back.back()->m_pPrev;
                if (before == path && path->m_pNext == back.back())
                    break;
                if (before == nullptr || before->m_pNext != back.back()) {
                    backing = false;
                } else {
                    back.push_back(before);
                    backBrackets.push_back(static_cast<std::uint8_t>(Bracket(before)));
                }
            }
        }
        for (std::size_t i = back.size(); i-- > 0;)
            Append(back[i], backBrackets[i]);
        if (ready)
            ready(out.pieces.size() - 1, true);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void CloseLayerPaths(const WORKLAYER& layer, PATHREC& last)
{
    CloseAt(layer.m_paths, &last, &PATHREC::m_pPrev, &PATHREC::m_pNext);
}

std::uint64_t CalcJobSize(WORKHEAD& head)
{
    std::uint64_t size = 400;
    WORKLAYER* firstLayer = head.m_layers;
    CloseLayerRing(head);
    for (WORKLAYER* layer = firstLayer; layer != nullptr;) {
        const bool counted = layer->m_mode != 0;
        if (counted)
            size += head.m_kind <= 1 ? 50 : 46;
        const bool scan = layer->m_mode == MODE_SCAN;
        PATHREC* firstPath = layer->m_paths;
        CloseIntoRing(firstPath, &PATHREC::m_pPrev, &PATHREC::m_pNext);
        for (PATHREC* path = firstPath; path != nullptr;) {
            SEGNODE* first = path->m_pSegs;
            CloseSegments(*path);
            if (counted && path->m_kind == PATH_KIND_GROUP) {
                size += path->m_pArray != nullptr ? 35 : 1;
            } else if (counted && first != nullptr && path->m_kind == PATH_KIND_DOT) {
                for (SEGNODE* seg = first; seg != nullptr;) {
                    size += 18;
                    seg = seg->m_pNext == first ? nullptr : seg->m_pNext;
                }
            } else if (counted && first != nullptr && path->m_kind == PATH_KIND_PATH) {
                size += 11;
                const SEGNODE* prev = nullptr;
                for (SEGNODE* seg = first; seg != nullptr;) {
                    if (scan && prev != nullptr)
                        size += MoveEstimate(MicroDelta(seg->m_x0, prev->m_x1),
                                             MicroDelta(seg->m_y0, prev->m_y1));
                    size += MoveEstimate(MicroDelta(seg->m_x1, seg->m_x0),
                                         MicroDelta(seg->m_y1, seg->m_y0));
                    if (seg->m_nMode != 0)
                        size += 3;
                    prev = seg;
                    seg = seg->m_pNext == first ? nullptr : seg->m_pNext;
                }
            }
            path = path->m_pNext == firstPath ? nullptr : path->m_pNext;
        }
        layer = layer->m_next == firstLayer ? nullptr : layer->m_next;
    }
    return size;
}
