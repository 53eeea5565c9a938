#include "sim/PriceGrid.h"
#include "core/NumFmt.h"
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr qint64 kMaxPrice = std::numeric_limits<int>::max() - 1000;
}

bool OnGrid(qint64 p)
{
    return p >= 1 && p <= kMaxPrice && p % TickSize(int(p)) == 0;
}

int FloorToGrid(qint64 p)
{
    if (p < 1)
        return 1;
    p = std::min(p, kMaxPrice);
    const int t = TickSize(int(p));
    return int(p - p % t);
}

int CeilToGrid(qint64 p)
{
    if (p < 1)
        return 1;
    p = std::min(p, kMaxPrice);
    const int t = TickSize(int(p));
    return int((p + t - 1) / t * t);
}

int NearestGrid(double p)
{
    if (!(p >= 1.0))
        return 1;
    if (p > double(kMaxPrice))
        return FloorToGrid(kMaxPrice);
    const int lo = FloorToGrid(qint64(std::floor(p)));
    const int hi = lo == p ? lo : TickUp(lo);
    return (p - lo) <= (hi - p) ? lo : hi;
}

static int LimitWidth(int prevClose)
{
    const int t = TickSize(prevClose);
    return int(qint64(prevClose) * 3 / 10 / t * t);
}

int UpperLimit(int prevClose)
{
    if (prevClose < 1)
        return 0;
    return FloorToGrid(qint64(prevClose) + LimitWidth(prevClose));
}

int LowerLimit(int prevClose)
{
    if (prevClose < 1)
        return 0;
    return std::max(1, CeilToGrid(qint64(prevClose) - LimitWidth(prevClose)));
}
