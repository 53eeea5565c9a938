#pragma once
// Regrouping of 1-minute bars into N-minute bars, and ordering of bar lists.
#include "chart/Bar.h"

#include <QVector>

// Ascending 1-minute bars (keys yyyymmddHHMM, HHMM = end of the minute) into
// N-minute bars keyed by the end of their period: with N = 5, 0901..0905 ->
// 0905 and 0906 -> 0910, the same rule the chart uses for live trades.
// Consecutive bars of one group merge (O first, H max, L min, C last, V sum);
// PV is the sum of each minute's typical price (H + L + C) / 3 x V. N < 2
// keeps the keys. A key that is not 12 characters long is its own group.
QVector<TBar> GroupMinBars(const QVector<TBar>& a, int n);

// The key of the N-minute bar holding the 1-minute bar `key` (the key itself
// when n < 2 or it is not a minute key).
QString MinGroupKey(const QString& key, int n);

// A copy sorted ascending by key (ordinal text comparison, stable).
QVector<TBar> SortBars(const QVector<TBar>& a);
