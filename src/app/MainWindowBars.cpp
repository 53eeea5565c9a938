// The window's answer to a click on a minute bar.
#include "app/MainWindow.h"
#include "app/chart/ChartFacet.h"
#include "chart/ChartModel.h"
#include "app/UiKit.h"

// A click on a minute bar finds the stock's latest headline that fell in it
// (or up to three minutes before it), selects it in the news list, brings the
// news tab forward and marks its minute on the chart.
void TfrmMain::OnMinBarClick(const QString& d)
{
    const int i = FindBarNews(FNews, FNewsView, d, Charts->FMinPer);
    if (i < 0)
        return;
    QString key, lab;
    if (!NewsMarkOf(FNews[i], key, lab))
        return;
    FNewsSel = i;
    pcLog->setCurrentIndex(0);
    Charts->MinChart().SetNewsMark(key, lab, false);
    FNewsMarkOn = true;
}
