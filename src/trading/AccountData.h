#pragma once
// Reading the account's answers: unfilled orders (t0425), the balance
// (CSPAQ12300) and today's fills, and the texts the account views show.
#include "trading/OrderEntry.h"

#include <functional>

class TXAQuery;

// The unfilled orders of a t0425 answer, in the broker's order; cancel
// orders and orders with nothing remaining are left out.
QVector<TMicheRow> ParseMiche(const TXAQuery& q, const std::function<QString(const QString&)>& nameOf);

// "  미체결  " or "  미체결 (n)  ".
QString MicheTabCaption(int count);
// The cancel-all buttons' captions for the current stock: {sell, buy}.
QPair<QString, QString> CancelButtonCaptions(const QVector<TMicheRow>& miche, const QString& code);
// Rows of `code` on `side`.
QVector<TMicheRow> MicheRowsOf(const QVector<TMicheRow>& miche, const QString& code, const QString& side);
// Rows of `code` on `side` at exactly `price` (none for a price of 0 or less).
QVector<TMicheRow> MicheRowsAt(const QVector<TMicheRow>& miche, const QString& code, const QString& side,
                               int price);
// The two lines of the cancel confirmation.
QStringList CancelConfirmLines(const QVector<TMicheRow>& rows);

struct TBalRow {
    QString Code, Name, Qty, Avg, Now, Pnl, Rate;  // as shown
};
// The balance answer: grid rows and the holdings map.
QVector<TBalRow> ParseBalance(const TXAQuery& q, QHash<QString, THold>& holds);

struct TFillAt {
    QString D;   // minute key yyyymmdd + HHMM (the minute after the order minute)
    double Price = 0;
    bool Buy = false;
};
QVector<TFillAt> ParseFills(const TXAQuery& q, const QString& code, const QString& today);

// The fee percent typed in the fee box; 0.3 when it is not a number.
double ReadFee(const QString& text);
