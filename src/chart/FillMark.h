#pragma once
// One of my fills to mark on the minute chart.
#include <QString>

struct TFillMark {
    QString D;  // minute-bar key
    double Price = 0;
    bool Buy = false;
};
