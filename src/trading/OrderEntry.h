#pragma once
// Order sizing: turns a ladder double-click into a quantity, or into the
// reason nothing is sent. Sells never count on shares already offered.
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

struct THold {
    qint64 Qty = 0;
    double Avg = 0;
};

struct TMicheRow {
    QString Code, Name, OrdNo, Side;  // Side "1" sell, "2" buy
    int Price = 0;
    qint64 Rem = 0;
};

enum class TSellMode { Qty = 0, Half = 1, Third = 2, All = 3 };

struct TOrderInput {
    QString Side;          // "1" sell, "2" buy
    int Price = 0;
    QString Code;
    bool AmountMode = false;
    QString QtyText, AmtText, SellQtyText;
    TSellMode SellMode = TSellMode::Qty;
};

struct TOrderDecision {
    bool Send = false;
    qint64 Qty = 0;
    QString Prefix;        // how the quantity came about, for the messages
    QStringList Log;       // lines to log, in order (refusals and warnings)
};

// The sell quantity already offered in unfilled orders of `code`.
qint64 PendingSells(const QVector<TMicheRow>& miche, const QString& code);

TOrderDecision DecideOrder(const TOrderInput& in, const QHash<QString, THold>& holds,
                           const QVector<TMicheRow>& miche);

// Digits of a typed amount regrouped with thousands separators ("" when none).
QString FormatAmountText(const QString& typed);
