#pragma once
// The short-sale ban list ("/lumen/shortban"): the stocks on which short
// selling is banned, with the service's reading of short-squeeze pressure,
// its live rescoring from the broker's prices, and the page's sort order.
#include "lists/ListJson.h"

#include <QString>
#include <QVector>

struct TShortRow {
    QString Code, Name, Status, First, LastBan, Why, Level;
    bool FirstKnown = true;
    int Ext = 0;
    int Score = 0;
    double Price = 0, Chg = 0, ShortAvg = 0, ShortPnl = 0, CoverDays = 0, Lend5 = 0;
    qint64 LendQty = 0, LendD5 = 0;
    bool HasPnl = false, HasCover = false, HasLend5 = false;
    qint64 AvgVol = 0, LastVol = 0;
    QString PBan, PPnl, PVol, PCover, PLend;
    bool Live = false;
};

struct TShortList {
    bool Ok = false;        // an object with an items array
    QString Made, Stats;
    QVector<TShortRow> Rows;   // listed rows, in the server's order
    int New = 0, Ext = 0;      // "신규" and "연장" rows
    int Dropped = 0;           // items left out: no known code, a repeat, or past the cap
};

// Reads a list. Items whose status is "종료" or "해제" are not listed; so are
// items whose code is not a six-character code `master` knows (a null
// `master` accepts any such code) and repeats of a code. A known code's row
// carries the master's name. At most KMaxListItems items are read.
TShortList ParseShortBan(const QByteArray& body, const TMasterName& master);

// Recomputes the live-dependent reasons, Score, Level and Why of a row.
void RescoreShort(TShortRow& row);

// Sorts by column 0..7 (see the page's headers), ascending or descending;
// rows lacking the column's value stay after the others either way; ties by
// name. A column below 0 keeps the order.
void SortShort(QVector<TShortRow>& rows, int col, bool desc);
// The direction a first click on a column sorts in.
bool ShortFirstDesc(int col);

// "mm/dd" of a yyyymmdd text; "—" when shorter than 8 characters.
QString ShortDay(const QString& ymd);
// The dates cell: "mm/dd  (최초 mm/dd)" or "mm/dd  (mm/dd 전부터)".
QString ShortDatesText(const TShortRow& r);
// The page caption with its counts.
QString ShortCaption(int fresh, int ext);

// Live prices go out between 08:00 and 20:05 on weekdays.
bool ShortPxTime(int dayOfWeek, int hhmm);
// At most 50 codes of six characters, in list order, concatenated.
QString ShortPxCodes(const QVector<TShortRow>& rows, int* count);
