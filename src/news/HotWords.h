#pragma once
// Hot words: the words that occur most in today's headlines and in those of
// the last ten minutes, counted only where they appear in headlines about
// several different stocks. Pure counting; the news facet shows the words as
// chips above the issue list.
//
// A headline is cut into words like this: bracketed tags ([속보], 【…】,
// <…>) are removed; a word is a run of letters and decimal digits; a
// trailing particle is cut off (StripParticle); stop words, words shorter
// than 2 or longer than 12 characters, words starting with a digit and words
// ending in a verb-ending syllable are dropped. A word counts once per
// headline.
#include "news/NewsRow.h"
#include "news/NewsStore.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

struct THot {
    QString W;     // the word
    int N = 0;     // headlines holding it
    int Score = 0; // N × (distinct related stocks + 1)
    bool operator==(const THot&) const = default;
};

// Chips per row.
constexpr int KHotChips = 10;

// The word without its trailing particle: for a token of three or more
// characters, the first particle of the table it ends with that leaves at
// least two characters is cut off.
QString StripParticle(const QString& t);
// In the stop-word set (ignoring case).
bool IsHotStop(const QString& w);
// The title with its bracketed tags replaced by a space.
QString StripHotTags(const QString& title);
// The words a title counts for, in order, each once.
QStringList HotWordsOf(const QString& title);

// The words of today's rows (from `fromTime`, hhnnss, on when it is not
// empty) with at least `minCount` headlines and `minStocks` distinct related
// stocks (NewsFirstCode); by N descending, Score descending, word ascending.
// All qualifying words: a row of chips shows the first KHotChips.
QVector<THot> CalcHot(const QVector<TNewsRow>& rows, const QString& today, const QString& fromTime,
                      int minStocks, int minCount, const TNameOf& nameOf);

// Both chip rows: today (two stocks, three headlines) and the last ten
// minutes of the server clock (one stock, two headlines).
struct THotLists {
    QVector<THot> Today;
    QVector<THot> Recent;
};
THotLists RefreshHot(const QVector<TNewsRow>& rows, const QString& today, const QDateTime& serverNow,
                     const TNameOf& nameOf);
// hhnnss ten minutes before `serverNow`; "000000" in the first ten minutes
// of the day (the headlines before midnight are not today's).
QString HotFromTime(const QDateTime& serverNow);

// " word N ".
QString HotChipText(const THot& h);
// "오늘 이슈 hh:nn", "최근 10분 hh:nn", with "  (아직 없음)" for an empty
// recent row.
QString HotHeadText(bool recent, const QTime& localNow, bool none);
// The word is one of the issue terms (ignoring case): its chip is lit.
bool HotIsTerm(const QString& word, const QStringList& terms);
// The issue terms after a click on the chip of `word`: every term equal to it
// (ignoring case) removed, or, when there was none, the word put in front.
// The issue box gets them joined by ", ".
QStringList HotChipClick(const QStringList& terms, const QString& word);
