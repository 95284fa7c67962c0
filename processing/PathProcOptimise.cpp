// The optimised ordering of the cut layers: the layers to order go in runs
// (one per layer with "by layer", else one for all) to OptimisedRun, which
// makes the cut paths a tree of groups and takes each group's children
// nearest entry first from where the head stands; the layers the runs make
// take the place of the ordered ones.
#include "OptimisedRun.h"
#include "PathProc.h"
#include "PathUnits.h"

#include "JobRecords.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/ParallelFor.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

using plat::PathUnit;
using plat::optimised::MakeLayers;
using plat::optimised::MoveIntoOrder;
using plat::optimised::OptimisedRun;
using plat::optimised::Options;

int CPathProc::RemapWorkPosition(int corner, int position)
{
    if (position < 0 || position > 3)
        return position;
    static constexpr int kMap[4][4] = {{3, 0, 2, 1}, {0, 3, 1, 2}, {2, 1, 3, 0}, {1, 2, 0, 3}};
    return kMap[std::clamp(corner, 0, 3)][position];
}

void CPathProc::OrderPathsOptimised(WORKHEAD* header, DOCCONTEXT* ctx, bool moveRecords)
{
    CDocData* objects = ctx != nullptr && ctx->m_pCurrent != nullptr ? ctx->m_pCurrent->m_pFirst : nullptr;
    OrderPathsOptimised(header, ctx, moveRecords, HasLeadRecords(objects));
}

bool CPathProc::OrderPathsOptimised(WORKHEAD* header, DOCCONTEXT* ctx, bool moveRecords, bool leadRecords)
{
    if (header == nullptr || header->m_layers == nullptr)
        return true;
    const SoftwareSettings& s = CDocData::SettingsOf(ctx);
    // Without a machine the origin corner is 1, the default of a machine entry.
    const MachineNode* machine = GetCurrentMachine(s);
    const int corner = machine != nullptr ? machine->m_orign : 1;
    Options opt;
    opt.mode = s.path_mode;
    opt.inOut = s.path_in_out != 0;
    opt.metaPos = s.path_meta_pos;
    if (leadRecords)
        opt.metaPos = 2; // lead lines fix where a path begins
    opt.byLayer = s.path_by_layer != 0;
    opt.width = s.path_width;
    opt.height = s.path_hight;
    opt.position = RemapWorkPosition(corner, s.path_work_pos);

    // The layer list in order, open or ring.
    std::vector<WORKLAYER*> all;
    const bool layerRing = header->m_layers->m_prev != nullptr;
    ForEachLayer(header->m_layers, false, [&](WORKLAYER& l) { all.push_back(&l); });
    auto ordered = [](const WORKLAYER* l) { return l->m_mode == 1 && l->m_paths != nullptr; };

    // One run over the given layers; returns the layers it makes.
    std::atomic<bool> fresh{true};
    auto runOrdering = [&opt, moveRecords, &fresh](const std::vector<WORKLAYER*>& runLayers) {
        OptimisedRun run(opt);
        bool pathRing = true;
        for (WORKLAYER* l : runLayers) {
            bool ring = false;
            const std::vector<PathUnit> units = plat::TakeUnits(l->m_paths, ring);
            if (l == runLayers.front())
                pathRing = ring;
            run.AddUnits(l, units);
        }
        std::vector<std::pair<PATHREC*, WORKLAYER*>> ordered = run.Order();
        if (!run.BoundsFresh())
            fresh = false;
        if (moveRecords)
            MoveIntoOrder(ordered);
        return MakeLayers(ordered, pathRing);
    };
    // The ordered layers; the runs take their paths and they are dropped.
    std::vector<std::uint8_t> inRun(all.size(), 0);
    std::vector<WORKLAYER*> dropped;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (ordered(all[i])) {
            inRun[i] = 1;
            dropped.push_back(all[i]);
        }
    }
    std::vector<WORKLAYER*> result;
    if (opt.byLayer) {
        // Every layer's run starts from the same work position and touches
        // only that layer's paths: the runs go side by side, and the layers
        // each makes take the place of its layer.
        std::vector<std::vector<WORKLAYER*>> made(dropped.size());
        plat::ParallelFor(dropped.size(), [&](std::size_t k) { made[k] = runOrdering({dropped[k]}); });
        std::size_t k = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (inRun[i] == 0) {
                result.push_back(all[i]);
                continue;
            }
            result.insert(result.end(), made[k].begin(), made[k].end());
            ++k;
        }
    } else {
        // Every ordered layer in one run, whose layers take the place of the
        // first ordered layer.
        bool done = false;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (inRun[i] == 0) {
                result.push_back(all[i]);
            } else if (!done) {
                const std::vector<WORKLAYER*> made = runOrdering(dropped);
                result.insert(result.end(), made.begin(), made.end());
                done = true;
            }
        }
    }
    for (WORKLAYER* l : dropped) {
        l->m_paths = nullptr;
        delete l;
    }
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i]->m_prev = i > 0 ? result[i - 1] : (layerRing ? result.back() : nullptr);
        result[i]->m_next = i + 1 < result.size() ? result[i + 1] : (layerRing ? result.front() : nullptr);
    }
    header->m_layers = result.empty() ? nullptr : result.front();
    return fresh;
}
