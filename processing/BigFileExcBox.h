// The extents the banding works with, in the document and in the job: a
// box that starts empty and that NaN coordinates never enter.
#pragma once
#include <algorithm>
#include <limits>

namespace plat::banding {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct Box {
    double xmin = kInf;
    double xmax = -kInf;
    double ymin = kInf;
    double ymax = -kInf;

    bool Valid() const { return xmin <= xmax && ymin <= ymax; }
    void Add(double x, double y)
    {
        if (x < xmin)
            xmin = x;
        if (x > xmax)
            xmax = x;
        if (y < ymin)
            ymin = y;
        if (y > ymax)
            ymax = y;
    }
    void Add(const Box& b)
    {
        xmin = std::min(xmin, b.xmin);
        xmax = std::max(xmax, b.xmax);
        ymin = std::min(ymin, b.ymin);
        ymax = std::max(ymax, b.ymax);
    }
    bool Holds(double x, double y) const { return x >= xmin && x <= xmax && y >= ymin && y <= ymax; }
    bool operator==(const Box&) const = default;
};

} // namespace plat::banding
