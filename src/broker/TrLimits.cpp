#include "broker/TrLimits.h"

#include <iterator>

namespace {

// The orders are listed under the codes the program sends (CSPAT00600 new,
// CSPAT00700 modify, CSPAT00800 cancel); the network API calls them
// CSPAT00601, CSPAT00701 and CSPAT00801.
const TTrBudget kBudgets[] = {
    {"t1101", 10}, {"t1102", 10}, {"t0167", 10}, {"CSPAT00600", 10},
    {"t8407", 5},
    {"CSPAT00700", 3}, {"CSPAT00800", 3},
    {"t0424", 2}, {"t0425", 2}, {"t0150", 2}, {"t1301", 2}, {"t1601", 2}, {"t8430", 2},
    {"t8410", 1}, {"t8412", 1}, {"t1441", 1}, {"t1463", 1}, {"t1466", 1}, {"t1602", 1},
    {"t1637", 1}, {"t3102", 1}, {"t3518", 1}, {"t3521", 1}, {"CSPAQ12300", 1}, {"t8409", 1},
};

} // namespace

const TTrBudget* TrBudgets(int* count)
{
    *count = int(std::size(kBudgets));
    return kBudgets;
}

int TrPerSec(const QString& tr)
{
    for (const TTrBudget& b : kBudgets)
        if (tr == QLatin1String(b.Tr))
            return b.PerSec;
    return 0;
}

int TrIntervalMs(const QString& tr)
{
    const int n = TrPerSec(tr);
    return n > 0 ? (1000 + n - 1) / n : 0;
}

bool IsChartTr(const QString& tr)
{
    return tr == QLatin1String("t8410") || tr == QLatin1String("t8411") || tr == QLatin1String("t8412")
           || tr == QLatin1String("t8413") || tr == QLatin1String("t1302");
}
