#pragma once
// One signal to mark on the minute chart.
#include <QString>

struct TSigMark {
    QString D;  // minute-bar key
    double Price = 0;
    bool Buy = false;
    QString Lab;  // label text
};
