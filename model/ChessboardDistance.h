// The chessboard distance transform both engravings shade their edges with:
// every pixel's distance, in steps to any of its 8 neighbours, to the
// nearest fixed pixel, a fixed pixel counting from the distance it holds.
#pragma once
#include <cstddef>
#include <vector>

// Forward and backward raster passes over `d` (rows `stride` apart, w x h
// used): each movable pixel (movable(value, x, y)) takes one more than its
// smallest already visited neighbour when that is less than what it holds;
// fixed pixels keep their value. A pixel holding the type's maximum passes
// no distance on.
//
// Without fixed pixels that stop the way (held at a value that passes
// nothing on, or at a distance larger than a way round them gives), one
// pair of passes gives the exact distances. With them, a way may have to
// wind round them: `settle` repeats the passes until nothing changes, each
// pass taking only the rows next to a change since it last took them.
template <typename D, typename Movable>
void ChessboardDistances(D* d, std::size_t stride, std::size_t w, std::size_t h, Movable movable, bool settle)
{
    // Rows that may hold a pixel a smaller neighbour above or to its left
    // (forward), below or to its right (backward) would lower.
    std::vector<char> forward(h, 1), backward(h, 1);
    bool changed = false;
    auto relax = [&changed](D& m, D nb) {
        if (m > nb && m - nb > 1) {
            m = static_cast<D>(nb + 1);
            changed = true;
        }
    };
    // A lowered pixel in row y may lower pixels of rows y - 1 to y + 1.
    auto mark = [&](std::size_t y) {
        forward[y] = backward[y] = 1;
        if (y > 0)
            backward[y - 1] = 1;
        if (y + 1 < h)
            forward[y + 1] = 1;
    };
    for (bool more = true; more;) {
        more = false;
        for (std::size_t y = 0; y < h; ++y) {
            if (forward[y] == 0)
                continue;
            forward[y] = 0;
            changed = false;
            D* row = d + y * stride;
            const D* up = y > 0 ? row - stride : nullptr;
            for (std::size_t x = 0; x < w; ++x) {
                D m = row[x];
                if (!movable(m, x, y))
                    continue;
                if (x > 0)
                    relax(m, row[x - 1]);
                if (up != nullptr) {
                    if (x > 0)
                        relax(m, up[x - 1]);
                    relax(m, up[x]);
                    if (x + 1 < w)
                        relax(m, up[x + 1]);
                }
                row[x] = m;
            }
            if (changed) {
                mark(y);
                forward[y] = 0; // its own row is done: the pass went left to right
                more = true;
            }
        }
        for (std::size_t y = h; y-- > 0;) {
            if (backward[y] == 0)
                continue;
            backward[y] = 0;
            changed = false;
            D* row = d + y * stride;
            const D* down = y + 1 < h ? row + stride : nullptr;
            for (std::size_t x = w; x-- > 0;) {
                D m = row[x];
                if (!movable(m, x, y))
                    continue;
                if (x + 1 < w)
                    relax(m, row[x + 1]);
                if (down != nullptr) {
                    if (x + 1 < w)
                        relax(m, down[x + 1]);
                    relax(m, down[x]);
                    if (x > 0)
                        relax(m, down[x - 1]);
                }
                row[x] = m;
            }
            if (changed) {
                mark(y);
                backward[y] = 0;
                more = true;
            }
        }
        more = more && settle;
    }
}
