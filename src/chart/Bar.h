#pragma once
// One candle of a chart, the daily table and the same-time volume detector.
#include <QString>
#include <QtGlobal>

struct TBar {
    // Day bars yyyymmdd; week and month bars the period's date; minute bars
    // yyyymmddHHMM with HHMM the END of the bar's period. Keys sort as text.
    QString D;
    double O = 0, H = 0, L = 0, C = 0;
    qint64 V = 0;
    double PV = 0;  // sum of price x volume over the bar; 0 when unknown
};
