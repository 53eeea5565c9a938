#pragma once
// The four news lists as index lists into the headlines: the selected
// stock's news, the issue-word matches, the disclosures and the feature-stock
// articles; and the tests they are built from. No widgets: the news facet
// keeps the lists' top rows and item counts.
//
// Every list is in display order: time descending (ordinal), then index
// descending (the later arrival first).
#include "news/NewsRow.h"

#include <QString>
#include <QStringList>
#include <QVector>

// "hh:mm:ss" from a time of six or more characters, "hh:mm" from four or
// five, the text itself when shorter.
QString TimeText(const QString& t);

// The issue words of the issue box: blanks around '&' dropped, split at
// comma, semicolon, '|' and space, each part trimmed and stripped of
// leading and trailing '&', empty parts dropped. "," means or, "&" means and.
QStringList IssueTerms(const QString& text);
// The first term every '&'-part of which occurs in `title` (ignoring case);
// empty when none does.
QString IssueMatch(const QString& title, const QStringList& terms);

// A disclosure: with no source ids, a title naming a disclosure subject;
// otherwise the key's characters 15-16 (when it is longer than 15) or the
// source id is one of `gongsiIds`.
bool IsDisclosure(const TNewsRow& row, const QStringList& gongsiIds);
// A disclosure whose title names a decision a trader reacts to (contracts,
// capital changes, mergers, suspensions, delisting, embezzlement…).
bool IsImportantDisclosure(const TNewsRow& row, const QStringList& gongsiIds);
// The ids of the GONGSI_IDS comma list as read; an empty list is "15".
QStringList GongsiIdsOrDefault(QStringList ids);

// The selected stock's news: rows whose codes contain `code`, of `today`,
// or of an earlier day from `minNewsFrom` on when that is set; by day and
// time descending. Empty when no stock is selected.
QVector<int> NewsViewOf(const QVector<TNewsRow>& rows, const QString& today, const QString& code,
                        const QString& minNewsFrom);
// Today's rows whose title matches the terms; empty without terms.
QVector<int> IssueViewOf(const QVector<TNewsRow>& rows, const QString& today, const QStringList& terms);
struct TGongsiView {
    QVector<int> View;
    int Important = 0;
};
// Today's disclosures and how many of them are important.
TGongsiView GongsiViewOf(const QVector<TNewsRow>& rows, const QString& today, const QStringList& gongsiIds);
// Today's rows whose title contains "특징주".
QVector<int> FeatViewOf(const QVector<TNewsRow>& rows, const QString& today);

// Tab captions and the issue list's header.
QString NewsTabCaption(int n);
QString IssueHeadText(int n);
QString GongsiTabCaption(int n, int important);
QString FeatTabCaption(int n);
