#pragma once
// History answers of the simulated exchange, from TSimHistory:
//  t8410  day / week / month / year bars (gubun 2/3/4/5), qrycnt per page
//         (at most 500, 2000 compressed), between sdate and edate;
//  t8412  N-minute bars (ncnt) of the last nday trading days up to edate;
//  t1301  today's trades, newest first, with the cumulative buyer- and
//         seller-initiated volumes and counts after each trade;
//  t1637  program trading of a day by minute (gubun2 "0"), newest first,
//         cumulative program sell / buy quantities and amounts.
//
// Paging. Bar answers run from newest to oldest page by page; inside a page
// the records are in time order. t8410 continues with cts_date (the date of
// the next older bar), t8412 with cts_date + cts_time (the next older bar's
// date and time), t1301 with cts_time (time hhmmss + the trade's place in
// its second, 10 digits). A key is empty on the last page, and a key never
// moves when newer data arrives, so pages neither repeat nor skip.
// t1637 pages by time: the next page asks with `time` set to the last
// (oldest) row's time and gets the rows before it; cts_idx is only the
// chart flag (9999) and comes back 0. Its rows are named by the end of
// their minute (hhmm00; 09:00:xx is 090100).
// A continuation request without its key is refused (SimAnswers.h).
//
// comp_yn "Y" marks t8410OutBlock1 / t8412OutBlock1 compressed: the query
// shows them after Decompress (SimQuery.h).
//
// Cost. What an answer says about today is read from what the market
// recorded as it traded (StockDay.h): today's minute bars and program rows
// as they stand, ticks played back from the tape for the minutes a page
// shows. No answer plays the session again, so none grows with the time of
// day or the trade rate; a past day is played once and kept (SimHistory.h).
#include "sim/SimHistory.h"
#include "sim/SimReply.h"
#include <QHash>

class TSimHistoryAnswers {
public:
    static constexpr int kTickRows = 30;   // t1301 rows per page
    static constexpr int kProgRows = 20;   // t1637 rows per page

    explicit TSimHistoryAnswers(TMarketEngine& engine) : FEngine(engine), FHistory(engine) {}

    // Whether tr is answered here.
    static bool Serves(const QString& tr);
    TSimReply Answer(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in);

    TSimHistory& History() { return FHistory; }

private:
    TSimReply T8410(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply T8412(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply T1301(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply T1637(const TResLayout& layout, const QHash<QString, QString>& in);

    TMarketEngine& FEngine;
    TSimHistory FHistory;
};
