#pragma once
// How the rows of the four headline lists are drawn: the stock's news, the
// issue-word list, the disclosures and the feature articles. Each draws its
// background and its items left to right into the row's rectangle.
#include "news/NewsRow.h"

#include <QRect>
#include <QString>

class QPainter;

struct TNewsPaintRow {
    const TNewsRow* Row = nullptr;
    QString Time;        // the row's time as shown (hh:mm:ss, hh:mm)
    bool Selected = false;
    bool Open = false;       // news list: the article shown in the news window
    bool EarlierDay = false; // news list: a headline of an earlier day
    QString Term;        // issue list: the matched term
    QString Name;        // the related stock's name, empty when none
    bool Important = false;  // disclosure list
    bool Mine = false;       // feature list: about the selected stock
};

void PaintNewsListRow(QPainter& p, const QRect& r, const TNewsPaintRow& row);
void PaintIssueListRow(QPainter& p, const QRect& r, const TNewsPaintRow& row);
void PaintGongsiListRow(QPainter& p, const QRect& r, const TNewsPaintRow& row);
void PaintFeatListRow(QPainter& p, const QRect& r, const TNewsPaintRow& row);
