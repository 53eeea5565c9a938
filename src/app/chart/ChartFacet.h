#pragma once
// The day and minute charts of the current stock and the bars they show: day
// bars and week/month bars (t8410 on two queries), 1-minute bars (t8412,
// paged, regrouped to the chosen minutes), "◀ 더보기" one business day at a
// time, the automatic re-fetch after a failed minute request, the period
// selectors and the drawings store (draws.json).
#include "app/Facet.h"
#include "chart/Bar.h"

#include <QMap>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QPushButton;
class QWidget;
class TCandleChart;
class TChartModel;
class TDrawStore;
class TXAQuery;
struct TTradeRec;

class TChartFacet : public TFacet {
public:
    explicit TChartFacet(TAppContext& ctx, QObject* parent = nullptr);
    ~TChartFacet() override;

    // The two charts with their selectors and buttons.
    void BuildCharts();

    TChartModel& MinChart() const;
    TChartModel& DayChart() const;

    void UpdateChartTitles();
    void LoadDraws(TCandleChart* ch);
    void SaveDraws(TCandleChart* ch);
    void OnDayPerChange();
    void OnMinPerChange();

    void ReqDay();
    void ReqDayW();
    // The day bars, ascending, when the answer was applied.
    std::optional<QVector<TBar>> OnDayData();
    void OnDayWData();
    // Volume of the latest day before today among ascending day bars.
    static qint64 PrevVolOf(const QVector<TBar>& asc, const QString& today);

    void StartMinBars();
    void SendMinPage(const QString& code, const QString& ctsDate, bool next, const QString& ctsTime);
    void SendMinDay(const QString& code, const QString& edate);
    void OnMinData();
    void ShowMinBars(bool paging);
    void MinMore();
    void UpdateMinMoreButton();
    // A broker error on the minute query: a retry in six seconds.
    void OnMinMessage(const QString& code, const QString& msg);
    // A trade of the current stock on both charts; returns today's VWAP.
    double OnTrade(const TTradeRec& t);
    // A new current stock: both charts empty, titles with its name.
    void ResetStock();
    // ... and once logged in: no fill marks, no previous close, no retries pending.
    void ResetLoggedIn();
    // Once a second: the "more" button comes back when it may.
    void MoreButtonTick();
    // Once a second: a failed minute load is fetched again (three times per stock).
    void RetryTick();

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    // Today's VWAP changed (the ladder's day marks follow it).
    std::function<void(double vwap)> OnTodayVwap;
    // A minute bar was clicked; the day the mouse hovers on the minute chart
    // (empty when it left); the day to mark when nothing is hovered.
    std::function<void(const QString& d)> OnMinBarClick;
    // Minute bars were loaded; their first day (yyyymmdd).
    std::function<void(const QString& firstDay)> OnMinBarsLoaded;
    // Whether `w` is (inside) one of the charts or the minute-period box.
    bool HoldsWidget(const QWidget* w) const;
    std::function<QString()> SelectedDay;
    // The day bars held for the daily table, ascending.
    std::function<QVector<TBar>()> DayRows;

    std::unique_ptr<TDrawStore> FDrawStore;
    QString FDrawStoreProblem;  // what was wrong with draws.json at start, for the log
    int FMinDays = 2;
    int FDayPer = 0;
    int FMinPer = 1;
    QString FMinCode, FMinCtsD, FMinCtsT, FPrevDate;
    QVector<TBar> FMinAcc;
    int FMinPage = 0;
    int FMinTries = 0;
    qint64 FMinRetryAt = 0;
    bool FMinNoMore = false, FMinMoreAsk = false, FMinMoreBusy = false;
    QVector<qint64> FMinMoreLog;  // tick times of recent more-history requests
    QString FMinMoreOld;
    qint64 FMinMoreReadyAt = 0;
    int FMinMoreCnt = 0;
    // Runs of requests: a new stock starts a day run, every minute load a
    // minute run; an answer of an earlier run changes nothing.
    quint64 FDayGen = 0, FMinRun = 0;
    bool FDayGot = false;    // the day bars of this stock arrived
    bool FDayShown = false;  // the day chart holds this stock's bars of its period
    bool FMinShown = false;  // the minute chart holds this run's history
    // Live trades by minute (keys as the bars'), kept from the newest minute
    // the history held when it arrived (FMinCut) onwards, so a rebuild of the
    // chart counts each minute once whatever its period.
    QMap<QString, TBar> FMinLive;
    QString FMinCut;
    QString FDrawKey[2];  // drawings store keys of the day and the minute chart

    TCandleChart* chDay = nullptr;
    TCandleChart* chMin = nullptr;
    QComboBox* cbDayPer = nullptr;
    QComboBox* cbMinPer = nullptr;
    QPushButton* btnDayDraw = nullptr;
    QPushButton* btnMinDraw = nullptr;
    QPushButton* btnMinMore = nullptr;
    QPushButton* btnMinDay = nullptr;

private:
    TCandleChart* BuildChart(const QString& title, bool minute);
    void QueueDayBars(TXAQuery* TBrokerObjects::*query, const QString& gubun, const QString& failText);
    bool DayAnswerIsCurrent(TXAQuery* q, bool periodBound) const;
    void AddLiveMinute(const QString& today, const TTradeRec& t);
    // What a minute request is: a page of the current run or one more day.
    enum TMinKind { KMinPage = 0, KMinMore = 1 };
    QVector<TBar> ReadDayBars(TXAQuery* q, bool value) const;
    void FillMinInput(const QString& code, const QString& nday, const QString& edate, const QString& ctsDate,
                      const QString& ctsTime);
    void OnMinMoreData(int records);
    void EndMoreRequest();
};
