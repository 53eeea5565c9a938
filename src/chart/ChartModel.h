#pragma once
// Data side of the candle chart: bars, derived series (moving averages of
// the close, per-day VWAP), marks, drawings and the visible window. It does
// no painting and no I/O; the chart widget paints this state and calls
// SettleView / SetGeo around each paint. Every change that needs a repaint
// calls OnRepaint.
#include "chart/Bar.h"
#include "chart/DrawObj.h"
#include "chart/FillMark.h"
#include "chart/SigMark.h"

#include <QRect>
#include <QString>
#include <QVector>
#include <array>
#include <functional>

// Visible bar range settled for one paint.
struct TViewWindow {
    int I0 = 0;  // leftmost visible bar
    int I1 = -1; // rightmost visible bar
    int Slots = 1; // bar slots in the pane
};

class TChartModel {
public:
    using TDayEvent = std::function<void(const QString& d)>;
    using TNotifyEvent = std::function<void()>;

    static constexpr int MAPeriods[3] = {5, 20, 60};

    TChartModel();

    // --- bars -----------------------------------------------------------
    void SetBars(const QVector<TBar>& a);
    void Clear();
    QVector<TBar> BarsAfter(const QString& d) const;
    const QVector<TBar>& Bars() const { return FBars; }
    int Count() const { return int(FBars.size()); }
    // Changes whenever a bar other than the last one may have changed (new
    // bars set, cleared, a bar appended); a trade in the last bar keeps it.
    quint64 BarsRev() const { return FBarsRev; }

    // One trade. Returns false when it was dropped (price <= 0, or a minute
    // key older than the last bar): nothing changed and nothing repaints.
    bool Tick(const QString& today, const QString& hhmmss, double price, double o, double h,
              double l, qint64 cumVol, qint64 tickVol);

    double TodayVwap(const QString& today) const;

    // Derived series; each is as long as the bars (VWAP only on minute charts).
    const QVector<double>& MA(int k) const { return FMA[k]; }
    const QVector<double>& Vwap() const { return FVwap; }
    void RecalcSeries();

    // --- holding and marks ------------------------------------------------
    void SetAvg(double avg, qint64 qty);
    double Avg() const { return FAvg; }
    qint64 AvgQty() const { return FAvgQty; }
    void SetFills(const QVector<TFillMark>& a);
    const QVector<TFillMark>& Fills() const { return FFills; }
    void SetSigs(const QVector<TSigMark>& a);
    const QVector<TSigMark>& Sigs() const { return FSigs; }
    void SetDtMark(const QString& d, const QString& lab);
    QString DtD() const { return FDtD; }
    QString DtLab() const { return FDtLab; }
    void SetNewsMark(const QString& d, const QString& lab, bool focus);
    QString NewsD() const { return FNewsD; }
    QString NewsLab() const { return FNewsLab; }
    bool NewsFocus() const { return FNewsFocus; }
    void SetDayMark(const QString& d);
    QString DayMark() const { return FDayMark; }
    void SetHoverDay(const QString& d) { FHoverDay = d; }
    QString HoverDay() const { return FHoverDay; }

    // --- view window --------------------------------------------------------
    void FocusDay(const QString& d);
    void ShowFrom(const QString& d);
    void FitFrom(const QString& d);
    // Settles bar width and offset for a paint into the given price pane and
    // consumes the pending view requests. False (nothing changed) when there
    // are no bars or the pane is smaller than 20 x 20.
    bool SettleView(const QRect& pane, TViewWindow* out = nullptr);
    // What the last paint drew: the price pane, its price range and the
    // rightmost visible bar. The pane's right and bottom edges are exclusive
    // (x() + width(), y() + height()).
    void SetGeo(const QRect& pane, double hi, double lo, int i1);
    void ClearGeo() { FGeoOK = false; }
    bool GeoOK() const { return FGeoOK; }
    // Client width of the widget, used by FocusDay before the first paint.
    void SetClientWidth(int w) { FClientW = w; }

    int BarW() const { return FBarW; }
    void SetBarW(int w) { FBarW = w; }
    int Offset() const { return FOffset; }
    void SetOffset(int o) { FOffset = o; }
    void ClampOffset();
    bool FitPending() const { return FFit; }
    void SetFitPending(bool f) { FFit = f; }
    QString FitFromKey() const { return FFitFrom; }
    QString ShowFromKey() const { return FShowFrom; }

    int BarIndexAt(const QString& k) const;
    QString ShiftKey(const QString& k, int n) const;
    int BarX(int i) const;
    int PriceY(double p) const;

    // --- drawings -----------------------------------------------------------
    void SetTool(QChar k);
    QChar Tool() const { return FTool; }
    bool Pend() const { return FPend; }
    QString PendD() const { return FPendD; }
    double PendP() const { return FPendP; }
    void SetPend(const QString& d, double p);
    void UndoDraw();
    void ClearDraws();
    QVector<TDrawObj> GetDraws() const { return FDraws; }
    void SetDraws(const QVector<TDrawObj>& a);
    // Appends a drawing, selects nothing, raises DrawsChanged.
    void AddDraw(const TDrawObj& d);
    // Deletes the selected drawing (when there is one) and raises DrawsChanged.
    void DeleteSel();
    int Sel() const { return FSel; }
    void SetSel(int i);
    // Replaces drawing i without notification (a move in progress).
    void ReplaceDraw(int i, const TDrawObj& d);
    bool Moving() const { return FMoving; }
    void SetMoving(bool m) { FMoving = m; }
    void DrawsChanged();

    // --- properties -----------------------------------------------------------
    QString Title() const { return FTitle; }
    void SetTitle(const QString& t) { FTitle = t; }
    bool IsMinute() const { return FMinute; }
    void SetIsMinute(bool m) { FMinute = m; }
    double PrevClose() const { return FPrev; }
    void SetPrevClose(double p);
    double ExtVwap() const { return FExtVwap; }
    void SetExtVwap(double v);
    int UserBarW() const { return FUserBarW; }
    void SetUserBarW(int w) { FUserBarW = w; }
    int DayGroup() const { return FDayGroup; }
    void SetDayGroup(int g) { FDayGroup = g; }
    int Period() const { return FPeriod; }
    void SetPeriod(int p) { FPeriod = p; }

    TDayEvent OnHoverDay;
    TNotifyEvent OnDrawsChange;
    TDayEvent OnBarClick;
    TNotifyEvent OnRepaint;  // the widget invalidates itself

private:
    void Repaint();
    bool TickMinute(const QString& today, const QString& hhmmss, double price, qint64 tickVol);
    bool TickDay(const QString& today, double price, double o, double h, double l, qint64 cumVol);
    void RecalcLast(bool appended);
    bool SamePeriod(const QString& a, const QString& b) const;
    int PaneWidthForFocus() const;

    QVector<TBar> FBars;
    quint64 FBarsRev = 0;
    std::array<QVector<double>, 3> FMA;
    int FBarW = 7;
    int FOffset = 0;
    QString FTitle;
    bool FMinute = false;
    double FAvg = 0;
    qint64 FAvgQty = 0;
    QVector<TFillMark> FFills;
    QVector<TSigMark> FSigs;
    QVector<double> FVwap;
    double FExtVwap = 0;
    double FPrev = 0;
    int FPeriod = 1;
    bool FFit = false;
    QString FDtD, FDtLab;
    QString FNewsD, FNewsLab;
    bool FNewsFocus = false;
    QString FFitFrom;
    QString FShowFrom;
    QString FDayMark;
    QString FHoverDay;
    int FUserBarW = 0;
    QVector<TDrawObj> FDraws;
    QChar FTool;
    bool FPend = false;
    QString FPendD;
    double FPendP = 0;
    bool FGeoOK = false;
    QRect FGeoPR;
    double FGeoHi = 0, FGeoLo = 0;
    int FGeoI1 = 0;
    int FDayGroup = 0;
    int FSel = -1;
    bool FMoving = false;
    int FClientW = 0;
    // Running sums of RecalcSeries over every bar but the last one.
    double FRunMA[3] = {0, 0, 0};
    double FRunPV = 0, FRunVol = 0;
    int FRunDayIdx = -1;  // bar whose day the VWAP sums belong to
    // The minute key of the last trade's bar, kept while trades fall in it.
    int FTickKeyEnd = -1;
    QString FTickKeyDay, FTickKey;
};
