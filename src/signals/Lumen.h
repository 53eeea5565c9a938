#pragma once
// The signal service's own per-minute figures: one stock's cumulative buy and
// sell sums minute by minute ("/lumen/series"), and the day's top list
// ("/lumen/pub?n=lmtop") with its ranking and movement marks.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <functional>

struct TLmRow {
    QString T;     // series: minute hhmm; top list: stock code
    qint64 B = 0;  // buy sum
    qint64 S = 0;  // sell sum
};

// "KR7" + the upper-cased code + "00" + the ISO 6166 check digit; empty unless
// the code is six letters or digits. 005930 -> KR7005930003.
QString IsinFromCode(const QString& code);

struct TLmSeries {
    bool Ok = false;        // the body was a JSON object of at most 4 MiB
    QString Date;           // yyyymmdd as sent (plain, capped)
    QVector<TLmRow> Rows;   // newest first; T a valid hhmm up to 20:00
};

// Reads a series answer: `rows` holds [time, buy, sell] arrays, oldest first,
// values as strings or numbers. Rows whose time is not a minute up to 20:00
// are dropped; sums are clamped at 0; at most the last 2000 rows are read.
TLmSeries ParseLmSeries(const QByteArray& body);

// Indexes of the rows to show: all, or with `changesOnly` those whose sums
// differ from the minute before (the next row), the oldest always.
QVector<int> LmVisible(const QVector<TLmRow>& rows, bool changesOnly);

// "mm/dd hh:mm 까지  ·  매수 …  매도 …  ·  순합계 …" of the newest row, or the
// text for a stock without records.
QString LmSummary(const TLmSeries& s);

struct TLmTop {
    bool Ok = false;
    QString Date, Upto, Made;  // as sent (plain, capped); Made only tells a new list
    QVector<TLmRow> Items;     // T = code; one per code, at most 2000
};

// Reads a top-list answer. An item's code is the master's code of its `isin`
// when `codeOfIsin` knows it, else its `code`; items without a six-character
// code of letters and digits, and repeats of a code, are dropped.
TLmTop ParseLmTop(const QByteArray& body, const std::function<QString(const QString& isin)>& codeOfIsin);

// The ranking shown: the top 30 of one sort kind (0 buy sum, 1 sell sum,
// 2 buy - sell, 3 sell - buy; ties by code), with NEW and movement marks
// that compare consecutive downloads of the same kind.
class TLmTopRank {
public:
    // newData: true after a download, false after a change of kind. Marks are
    // given only for a download of the kind ranked before; the ranking kept
    // for the next comparison is replaced after a download or a change of kind.
    void Rebuild(const QVector<TLmRow>& all, int kind, bool newData);

    const QVector<TLmRow>& Shown() const { return FShown; }
    QVector<bool> New() const { return FNew; }   // per shown row
    QVector<int> Move() const { return FMove; }  // per shown row: ranks climbed (negative: fell)

private:
    QVector<TLmRow> FShown;
    QVector<bool> FNew;
    QVector<int> FMove;
    QHash<QString, int> FPrev;  // code -> rank (from 1) of the kept ranking
    int FPrevKind = -1;
};

// "mm/dd hh:mm 기준 · 전체 N종목 중 상위 30 · 1분마다 · 더블클릭 = 그 종목".
QString LmTopSummary(const TLmTop& t);
