#pragma once
// The treasury-stock list ("/lumen/pub?n=buyback"): the buy-back and
// disposal orders filed for the day, which rows the page shows, their sort
// order, and the marker the order panel shows for the selected stock.
#include "lists/ListJson.h"

#include <QString>
#include <QVector>

struct TBuyRow {
    QString Code, Name, Side, How, Market;
    bool Both = false;
    bool HasRatio = false, HasPrev = false;
    qint64 Qty = 0, Avg20 = 0, Amount = 0, PrevReq = 0, PrevExec = 0;
    double Ratio = 0;
    int Streak = 1;
    int PrevRate = -1;
    bool HasProg = false;
    qint64 Cum = 0, Total = 0, Remain = 0, PrevAvg = 0;
    int Progress = 0;
    double RemainDays = 0;
    qint64 Avg5 = 0;
    double Ratio5 = 0;
    bool HasRatio5 = false, HasEnd = false;
    QString EndD;
    int DaysLeft = 0;
    qint64 NeedDay = 0;
    double NeedRatio = 0, AvgValue = 0;
    bool Pick = false;
    QString Note1, Note2;
};

struct TBuyList {
    bool Ok = false;        // an object with an items array
    QString Date, Rule, Summary, Made;
    QVector<TBuyRow> Rows;
    int Buys = 0, Sells = 0;
    int Dropped = 0;        // items left out: no known code, a repeat, or past the cap
};

// Reads a list. Items whose code is not a six-character code `master` knows
// (a null `master` accepts any such code) and repeats of a code with the
// same side are left out; a known code's row carries the master's name.
// Numbers sent as text ("12,345") are read; a null member counts as missing.
TBuyList ParseBuyback(const QByteArray& body, const TMasterName& master);

// The rows shown: all, or with `picksOnly` the candidates; counts by side.
QVector<TBuyRow> FilterBuy(const QVector<TBuyRow>& all, bool picksOnly, int* buys = nullptr, int* sells = nullptr);
// Sorts by column 0..11; rows lacking the column's key go after the others
// either way; ties by name. A column below 0 keeps the order.
void SortBuy(QVector<TBuyRow>& rows, int col, bool desc);
bool BuyFirstDesc(int col);

// Below 10,000: "9,999주"; else "1.2만주".
QString QtyText(qint64 n);
// Amount in won: "1,234만" below 100,000,000, else "1.5억"; "—" when not positive.
QString AmountText(qint64 won);
// The page caption.
QString BuyCaption(const QString& date, bool picksOnly, int shown, int all, int buys, int sells);

// The candidate row of `code` the order panel marks: only from a list filed
// for `today` (yyyymmdd); nullptr when there is none.
const TBuyRow* BuyMarkerRow(const TBuyList& list, const QString& code, const QString& today);
// The marker's text (plain, at most KMarkerChars characters).
inline constexpr int KMarkerChars = 160;
QString BuyMarkerText(const TBuyRow& r);
