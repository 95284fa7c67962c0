// Genetic nesting: the selected objects' outlines are packed onto a sheet by
// a small genetic search on a worker thread. A chromosome (one gene per part:
// which part, turned to which rotation position) is decoded into outlines,
// placed bottom-left on a grid from the sheet's corner (columns outer, rows
// inner), scored by the sheet's utilisation, kept when it beats the best so
// far, and mutated; the run ends at the target utilisation, at the time
// limit, or when it is stopped.
//
// Parts are placed on their flattened outlines: curves as their output
// polylines, groups and texts as their children's outlines, images as their
// box. The result is a copy of each original object turned and moved to its
// gene's place, so class, curves, layer and colour stay.
//
// A gene that finds no free place on the sheet is unplaced: it takes no part
// in the collisions and the score, and lies beside the sheet (right of it)
// in the result, so no part is lost.
#pragma once
#include "model/GeoBox.h"
#include "model/NodeList.h"
#include "platform/Win.h"
#include "settings/NestSettings.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <random>
#include <thread>
#include <vector>

class CDocData;
struct DOCCONTEXT;

// Posted to the owner window, wParam 0: after every generation with the best
// utilisation in whole percent, and at the end of a run with 0.
constexpr plat::UINT WM_NEST_PROGRESS = plat::WM_USER + 111;
constexpr plat::UINT WM_NEST_DONE = plat::WM_USER + 112;

struct NestPart {
    NestPart() = default;
    NestPart(NestPart&& other) noexcept;
    NestPart& operator=(NestPart&& other) noexcept;
    NestPart(const NestPart&) = delete;
    NestPart& operator=(const NestPart&) = delete;
    ~NestPart();

    // One node list per outline (anchors only, x and y), moved so that the
    // centre of their common box lies on (0, 0); owned.
    std::vector<DOCNODE*> m_pOutline;
    double m_dArea = 0.0;
    CGeoBox m_rcBound;          // centred on (0, 0)
    CGeoPoint m_ptCentre;       // the box centre in the drawing
    CDocData* m_pObject = nullptr; // copy of the selected object; owned
    bool m_bTurns = true;       // false for images, which turn only by quarters
    bool m_bUsable = true;      // false when a node is not a finite number
};

struct NestGene {
    NestGene() = default;
    NestGene(NestGene&& other) noexcept;
    NestGene& operator=(NestGene&& other) noexcept;
    NestGene(const NestGene&) = delete;
    NestGene& operator=(const NestGene&) = delete;
    ~NestGene();
    void FreeOutline();

    std::uint32_t m_nPart = 0;
    std::uint32_t m_nRotation = 0;
    std::vector<DOCNODE*> m_pOutline; // placed outlines, owned
    CGeoBox m_rcBound;
    // Where the part's centred, turned outline was moved to: its placed
    // outline is the turned one plus this.
    double m_dShiftX = 0.0;
    double m_dShiftY = 0.0;
    std::uint8_t m_bPlaced = 0; // on the sheet
};

class CNestEngine {
public:
    CNestEngine();
    ~CNestEngine();
    CNestEngine(const CNestEngine&) = delete;
    CNestEngine& operator=(const CNestEngine&) = delete;

    // Builds the parts from the selected objects of the context's document,
    // makes the first chromosome, clears the stop flag and starts the worker.
    // The caller sets m_settings and its start time first. A run in progress
    // is stopped first. With no part, no part of any area (or none whose
    // nodes are all numbers), a sheet or step of 0 or below (or not a
    // number), or rotation allowed with no rotation positions, the run ends
    // at once: WM_NEST_DONE is posted and no chromosome is kept.
    void Start(plat::HWND owner, DOCCONTEXT* ctx);
    // Sets the stop flag, ends the worker, and frees the chromosomes and the
    // parts (ApplyResult then gives nothing).
    void Stop();
    // Sets the stop flag and ends the worker, keeping the best chromosome
    // for ApplyResult.
    void StopWorker();
    // A new object list, owned by the caller: a copy of each part's object
    // in the order of the best chromosome, turned and moved to its place on
    // the sheet (whose corner is the table origin, 500000, 500000), or
    // beside it when unplaced; a part whose nodes are not numbers comes back
    // where it was. Null when there is no best chromosome, or while the
    // worker still runs.
    CDocData* ApplyResult(DOCCONTEXT* ctx);

    // The engine's own random generator, for the mutations.
    void SetSeed(std::uint32_t seed) { m_rng.seed(seed); }
    // The worker has been started and has not ended yet.
    bool IsRunning() const;
    // Genes of the best chromosome not on the sheet; every part before
    // there is a best chromosome.
    std::uint32_t UnplacedCount() const;

    // The steps of a run, which the worker calls in turn.
    // The parts and the first chromosome; false when there is no part.
    bool BuildParts(DOCCONTEXT* ctx);
    // Each gene's outline: its part's turned by the gene's rotation and
    // moved so that its box's minimum corner lies on (0, 0).
    void Decode(NestGene* genes) const;
    // Places the decoded genes in order; false when stopped meanwhile.
    bool Place(NestGene* genes) const;
    // Utilisation in percent: the placed genes' area over the box from the
    // sheet's corner to their largest right and top edges; 0 for no area.
    double Score(const NestGene* genes) const;
    // Decode, Place, Score and keep the current chromosome when it beats
    // the best one; false when stopped meanwhile (nothing is kept then).
    bool RunGeneration();
    void Mutate();
    // Rotation of a rotation position, radians.
    double RotationAngle(std::uint32_t position) const;

    plat::HWND m_hOwner = 0;
    std::thread m_hThread;
    NestSettings m_settings;
    std::unique_ptr<NestPart[]> m_pParts;
    std::int32_t m_nCount = 0;
    double m_dTotalArea = 0.0;
    std::unique_ptr<NestGene[]> m_pBest;
    std::unique_ptr<NestGene[]> m_pCurrent;
    double m_dBestRatio = 0.0;
    double m_dCurRatio = 0.0;
    std::atomic<std::uint8_t> m_bStop{0};

private:
    void Work();
    void Join();
    void FreeAll();
    bool SettingsUsable() const;

    std::atomic<bool> m_bEnded{true}; // the worker has posted its end
    std::mt19937 m_rng;
};
