#pragma once
// The broker's published per-TR limits: how many requests of a transaction
// may go in one second (the individual customer's column). The request queue
// paces by them and the simulated exchange enforces them.
#include <QString>

struct TTrBudget {
    const char* Tr;
    int PerSec;
};
// The whole table.
const TTrBudget* TrBudgets(int* count);
// Calls per second allowed for `tr`; 0 when none is published.
int TrPerSec(const QString& tr);
// 1000 / calls per second, rounded up; 0 when none is published.
int TrIntervalMs(const QString& tr);
// The chart transactions (subject to a cap per 10 minutes users report).
bool IsChartTr(const QString& tr);
