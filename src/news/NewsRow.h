#pragma once
// One headline as the news feed delivers it, and how a minute bar finds the
// headlines that fell inside it.
#include <QString>
#include <QVector>

struct TNewsRow {
    QString D;      // yyyymmdd
    QString T;      // hhmmss as delivered
    QString Key;    // the feed's unique key
    QString Title;
    QString Codes;  // related stock codes, as delivered
    QString Src;    // the feed's source id
};

// The headline a click on a minute bar points at: of the rows listed in
// `view` (indexes into `rows`), those of the bar's day whose time lies in
// [bar start - 3 minutes, bar end), bar start being bar end - `minPer`
// minutes; the latest of them (equal times: the later arrival). `barKey` is
// the bar's yyyymmddHHMM key (HHMM is the minute the bar ends). -1 when none
// does or the key is not a minute key.
int FindBarNews(const QVector<TNewsRow>& rows, const QVector<int>& view,
                const QString& barKey, int minPer);

// The minute chart's mark for a headline: the 1-minute bar key holding its
// time (day + the minute after hhmm) and the label "뉴스 hh:mm". False when
// the row has no day or fewer than four time digits.
bool NewsMarkOf(const TNewsRow& row, QString& key, QString& label);
