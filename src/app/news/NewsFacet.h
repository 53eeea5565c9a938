#pragma once
// Today's headlines and everything that shows them: the day's store (kept in
// news/news_yyyymmdd.txt, merged with the service host's archive, earlier
// weekdays for the minute chart), the stock's news page, the issue-word,
// featured-stock and disclosure pages, the hot-word chips, the article
// window with its summary card, and the advertisement line.
#include "app/Facet.h"
#include "news/HotWords.h"
#include "news/NewsAd.h"
#include "news/NewsRow.h"
#include "news/NewsStore.h"

#include <QHash>
#include <QTimer>
#include <QVector>
#include <array>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QTemporaryDir;
class QWidget;
class TChartModel;
class TNewsList;
class TNewsWindow;
class TTabSet;
class TXAQuery;
class TXAReal;

class TNewsFacet : public TFacet {
public:
    explicit TNewsFacet(TAppContext& ctx, QObject* parent = nullptr);
    ~TNewsFacet() override;

    // The news page (first page of the news/log tab set).
    void BuildNewsPage(TTabSet* tabs);
    // The issue-word, featured-stock and disclosure pages.
    void BuildIssuePages(TTabSet* tabs);

    // ---- the store ----
    void LoadTodayNews();
    void OnNewsReal(TXAReal* r);
    void FetchServerNews();
    void MergeServerNews(const QString& body);
    // The minute chart now starts at `day` (yyyymmdd).
    void EnsurePastNews(const QString& day);
    QString Caption(const QString& key) const { return FStore.NewsCaption(key); }
    QString FirstCode(const QString& codes) const;
    const QVector<TNewsRow>& Rows() const { return FStore.News(); }

    // ---- the lists ----
    void RebuildNewsView();
    void RebuildIssueView();
    void RebuildGongsiView();
    void RebuildFeatView();
    void RebuildAll();
    void PlayGongsiSound();
    void ShowNewsMark(int index);
    void ClearNewsMark();
    // A click on a minute bar (`d` its key, `minPer` minutes per bar): the
    // stock's latest headline in it is selected and marked on the chart.
    void OnMinBarClick(const QString& d, int minPer, TChartModel& minChart);
    // Whether a press on `w` keeps the news mark (the lists, the charts).
    bool KeepsNewsMark(const QWidget* w) const;

    // ---- hot words ----
    void RefreshHot();
    void LayoutHotChips();
    void OnHotChipClick(int chip);

    // ---- the article window ----
    void OpenNews(int index);
    void ReqNewsBody(const QString& key);
    void OnNewsBody(TXAQuery* q);
    void ShowNewsPage(const QString& html);
    void ShowNewsNote(const QString& text);
    void CloseNewsBody();
    void FetchAd();
    void OpenAdUrl();

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    // Set by the window: another stock, the minute chart, the window the
    // article opens over; tests replace the modal run of the article window.
    std::function<void(const QString& code)> SelectStock;
    std::function<TChartModel*()> MinChart;
    std::function<QWidget*()> Window;
    std::function<void(TNewsWindow*)> OnNewsWindow;

    TNewsStore FStore;
    QVector<int> FNewsView, FIssueView, FGongsiView, FFeatView;
    int FGongsiImportant = 0;
    QStringList FGongsiIds;
    qint64 FGongsiSndAt = -1000000;
    bool FNewsMarkOn = false;
    QString FNewsKey, FNewsReqKey;
    QHash<QString, QString> FNewsBody;
    int FNewsSeq = 0;
    QString FNewsShown;   // the page file shown last
    TNewsWindow* FNewsWB = nullptr;
    TNewsAd FAd;
    THotLists FHot;

    TTabSet* pcNews = nullptr;
    QWidget* tsNews = nullptr;
    TTabSet* pcIssue = nullptr;
    QWidget *tsIssue = nullptr, *tsFeat = nullptr, *tsGongsi = nullptr;
    TNewsList *lbNews = nullptr, *lbIssue = nullptr, *lbGongsi = nullptr, *lbFeat = nullptr;
    QLineEdit* edIssue = nullptr;
    QLabel *lbIssueHead = nullptr, *lbHotHead = nullptr, *lbHot10Head = nullptr;
    std::array<QLabel*, 2 * KHotChips> FHotChip{};
    std::array<QString, 2 * KHotChips> FHotWord;
    QTimer FHotTimer;

private:
    int NewsDpi() const;
    void RepaintNewsList();
    void SetTabText(QWidget* page, const QString& text);
    void NewsMenu(int index, const QPoint& at);
    void JumpToStock(int index, const QString& noneLine, bool openWithout);
    std::unique_ptr<QTemporaryDir> FNewsDir;
};
