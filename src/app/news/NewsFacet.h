#pragma once
// Today's headlines and the news lists: the news page of the news/log tab
// set, the issue-word, featured-stock and disclosure pages, and the news mark
// a click on a minute bar sets.
#include "app/Facet.h"
#include "news/NewsRow.h"

#include <QVector>

class QLineEdit;
class QWidget;
class TChartModel;
class TTabSet;

class TNewsFacet : public TFacet {
public:
    explicit TNewsFacet(TAppContext& ctx, QObject* parent = nullptr);

    // The news page (first page of the news/log tab set).
    void BuildNewsPage(TTabSet* tabs);
    // The issue-word, featured-stock and disclosure pages.
    void BuildIssuePages(TTabSet* tabs);

    // A click on a minute bar (`d` its key, `minPer` minutes per bar): the
    // stock's latest headline in it is selected, its page shown and marked
    // on the minute chart.
    void OnMinBarClick(const QString& d, int minPer, TChartModel& minChart);

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    // Headlines of today (and earlier days the minute chart reaches), the
    // stock's news list as indexes into them, its selected row, and whether
    // a news mark stands on the minute chart.
    QVector<TNewsRow> FNews;
    QVector<int> FNewsView;
    int FNewsSel = -1;
    bool FNewsMarkOn = false;
    TTabSet* pcNews = nullptr;
    QWidget* tsNews = nullptr;
    QLineEdit* edIssue = nullptr;
};
