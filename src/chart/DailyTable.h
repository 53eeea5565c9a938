#pragma once
// The daily table: the day bars newest first, each with its change, its
// volume against the 20 trading days before it, and its trading value,
// under a line of the usual volume.
#include "chart/Bar.h"

#include <QColor>
#include <QVector>

struct TDailyCell {
    QString Text;
    QColor Color;
    bool Bold = false;
};

class TDailyTable {
public:
    // `asc`: the day bars in ascending order; `today` yyyymmdd.
    void Rebuild(const QVector<TBar>& asc, const QString& today);
    void Clear() { Rebuild({}, FToday); }

    int Count() const { return FRows.size(); }
    const TBar& Row(int k) const { return FRows[k]; }   // 0 = newest
    double Avg20(int k) const { return FAvg20[k]; }
    const QString& Summary() const { return FSummary; }
    bool IsToday(int k) const { return FRows[k].D.left(8) == FToday; }
    // Columns: 0 날짜, 1 종가, 2 등락률, 3 거래량, 4 20일比, 5 거래대금.
    TDailyCell Cell(int k, int col) const;
    // The widest sample text of each column, for fitting the widths.
    QStringList WidthSamples() const;
    // The held bars again in ascending order.
    QVector<TBar> Ascending() const;

private:
    QVector<TBar> FRows;   // newest first
    QVector<double> FAvg20;
    QString FSummary;
    QString FToday;
};
