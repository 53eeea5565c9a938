#include "app/news/NewsFacet.h"

#include "app/UiKit.h"
#include "chart/ChartModel.h"
#include "core/IniFile.h"

#include <QLineEdit>
#include <QVBoxLayout>

TNewsFacet::TNewsFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

void TNewsFacet::BuildNewsPage(TTabSet* tabs)
{
    pcNews = tabs;
    tsNews = tabs->AddPage(QStringLiteral("  오늘 뉴스  "));
}

void TNewsFacet::BuildIssuePages(TTabSet* tabs)
{
    QWidget* issue = tabs->AddPage(QStringLiteral("  이슈 뉴스  "));
    auto* v = VBox(issue);
    QWidget* s1 = MakeStrip(issue, 30);
    MakeLabel(s1, 6, 7, QStringLiteral("이슈 뉴스"), Colors::Flat, true);
    QLabel* w = MakeLabel(s1, 80, 7, QStringLiteral("단어 (, 또는  & 그리고)"));
    edIssue = new QLineEdit(s1);
    edIssue->setFont(AppFont(9));
    edIssue->setPlaceholderText(QStringLiteral("예: 비만약, 양자&컴퓨터, 삼성전자&HBM  — 쉼표는 또는, &는 그리고"));
    edIssue->setGeometry(w->x() + w->width() + Scaled(6), Scaled(3), Scaled(380), Scaled(24));
    QWidget* s2 = MakeStrip(issue, 28);
    MakeLabel(s2, 6, 6, QStringLiteral("오늘 이슈"), Colors::Flat, true);
    QWidget* s3 = MakeStrip(issue, 28);
    MakeLabel(s3, 6, 6, QStringLiteral("최근 10분"), Colors::Flat, true);
    v->addWidget(s1);
    v->addWidget(s2);
    v->addWidget(s3);
    v->addStretch(1);
    tabs->AddPage(QStringLiteral("  특징주  "));
    tabs->AddPage(QStringLiteral("  공시  "));
}

// The stock's latest headline that fell in the bar (or up to three minutes
// before it) is selected, the news page comes forward and its minute is
// marked on the chart.
void TNewsFacet::OnMinBarClick(const QString& d, int minPer, TChartModel& minChart)
{
    const int i = FindBarNews(FNews, FNewsView, d, minPer);
    if (i < 0)
        return;
    QString key, lab;
    if (!NewsMarkOf(FNews[i], key, lab))
        return;
    FNewsSel = i;
    if (pcNews)
        pcNews->setCurrentWidget(tsNews);
    minChart.SetNewsMark(key, lab, false);
    FNewsMarkOn = true;
}

void TNewsFacet::LoadLayout(const TIniFile& ini)
{
    edIssue->setText(ini.ReadString(QStringLiteral("UI"), QStringLiteral("ISSUEKW"), edIssue->text()));
}

void TNewsFacet::SaveLayout(TIniFile& ini) const
{
    ini.WriteString(QStringLiteral("UI"), QStringLiteral("ISSUEKW"), edIssue->text());
}
