#pragma once
// The board pop-ups' series: today's line of one item (keys yyyymmddhhmm,
// values) and the investors' cumulative net buying of KOSPI then KOSDAQ,
// fetched page by page; and the drawing arithmetic they share.
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

using TPopPoint = QPair<QString, double>;   // yyyymmddhhmm, value

// The points of the latest date among rows of (date, time, value): key =
// date + the first four characters of time with colons removed.
QVector<TPopPoint> PopLatestDay(const QVector<QStringList>& rows);
// Sorted by key; labels "hh:mm" of each key.
void PopSet(QVector<TPopPoint> list, QStringList* labels, QVector<double>* values);
// The factor that brings a minute series to the board's level: 10^k with
// k = round(log10(board / last)), or 1 when that is within a factor 1.5 of 1
// or either figure is not positive.
double PopScale(double boardPx, double lastValue);
// x of point i of n across [left, left + width]: the centre when n is 1.
double PopX(int i, int n, double left, double width);
// The point under x, clamped to 0 .. n - 1; -1 when n is 0.
int PopIndexAt(double x, int n, double left, double width);
// Value range of `values` (and `prev` when > 0): an empty range is widened
// by 1 each way, then `pad` of the range is added above and below.
QPair<double, double> PopRange(const QVector<double>& values, double prev, double pad);

// The investors' flow by minute, KOSPI (market 0) then KOSDAQ (1).
class TInvFlow {
public:
    static constexpr int kMaxPages = 6;
    // t1602's codes: market "1" / sector "001" for KOSPI, "3" / "301" for
    // KOSDAQ (the broker's "2" is KOSPI200).
    static QString MarketCode(int market) { return market == 1 ? QStringLiteral("3") : QStringLiteral("1"); }
    static QString UpCode(int market) { return market == 1 ? QStringLiteral("301") : QStringLiteral("001"); }

    enum TNext { NextPage, NextMarket, Finished };
    struct TRow {
        QString Time;     // hhmmss...
        double V[3];      // foreigners, institutions, individuals
    };

    void Start(int market);   // a first page of `market`
    // A page has arrived: what to fetch next. `open`: the window is open.
    TNext AddPage(const QVector<TRow>& rows, const QString& ctsTime, const QString& ctsIdx, bool open);

    int Market = 0;
    int Page = 0;
    bool More = false;
    QString CtsT, CtsI;
    // Per market: "hh:mm" labels and the three series.
    QStringList T[2];
    QVector<double> V[6];

private:
    QVector<TRow> FAcc;
};
