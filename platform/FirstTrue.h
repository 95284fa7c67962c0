// Bisection over an index range, for monotone tests of pixel positions.
#pragma once

namespace plat {

// First index in [lo, hi) for which the monotone predicate (false, then
// true) holds; hi when it never does.
template <typename Pred>
long long FirstTrue(long long lo, long long hi, Pred pred)
{
    while (lo < hi) {
        const long long mid = lo + (hi - lo) / 2;
        if (pred(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

} // namespace plat
