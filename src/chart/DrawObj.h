#pragma once
// One user drawing on a chart. Anchors are bar keys. Kinds: 'X' crosshair,
// 'H' horizontal line (only P1 matters), 'V' vertical line (only D1 matters),
// 'L' trend line, 'C' ellipse in the box spanned by the two anchors. Anchor
// fields a kind does not use are empty / 0.
#include <QChar>
#include <QString>

struct TDrawObj {
    QChar K;
    QString D1, D2;
    double P1 = 0, P2 = 0;

    bool operator==(const TDrawObj&) const = default;
};
