#pragma once
// The exchange's price grid and daily price limits, on top of TickSize.
//
// A grid price is a positive price that is a multiple of its own tick size.
// Tick sizes grow in steps that divide each other (1, 5, 10, 50, 100, 500,
// 1,000) and every band starts at a multiple of the next band's tick, so
// rounding a price down or up with the tick size of the price itself always
// lands on the grid.
//
// Daily limits (what the exchange publishes as upper and lower limit): the
// limit width is 30 % of the previous close, cut down to a multiple of the
// previous close's tick size; upper = previous close + width rounded down to
// the grid, lower = previous close - width rounded up to the grid (never
// below 1). For example 22,750 gives 29,550 / 15,950 and 4,525 gives
// 5,880 / 3,170.
#include <QtGlobal>

bool OnGrid(qint64 p);
// Largest grid price <= p; 1 when p < 1.
int FloorToGrid(qint64 p);
// Smallest grid price >= p; 1 when p < 1.
int CeilToGrid(qint64 p);
// Grid price nearest to p (the lower one on a tie); 1 when p < 1.
int NearestGrid(double p);

int UpperLimit(int prevClose);
int LowerLimit(int prevClose);
