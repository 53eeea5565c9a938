#pragma once
// The one window of the program. It owns everything for the life of the
// process, as a composition: the services (the context), one facet per part
// of the window, the regions those facets are placed in, the wiring between
// them, and the sequences that span several parts (changing the stock, the
// dispatch of the broker's events, the one-second scheduler, start-up and
// closing). State of a single part lives in its facet, never here.
#include "app/AppContext.h"

#include <QMainWindow>
#include <QTimer>
#include <QVector>
#include <functional>
#include <memory>

class QSplitter;
class QWheelEvent;
class QMouseEvent;
class TClock;
class TFacet;
class TTabSet;
class TXAQuery;
class TXAReal;

class TLogFacet;
class TLoginFacet;
class TStockFacet;
class TQuoteFacet;
class TOrderFacet;
class TAccountFacet;
class TTickFacet;
class TDailyFacet;
class TChartFacet;
class TProgFacet;
class TNewsFacet;
class TSignalFacet;
class TLumenFacet;
class TBoardFacet;
class TListsFacet;
class TPnlFacet;
class TAutoSellFacet;

// How the window is started. The program uses the defaults; tests point the
// window at a folder of their own, a clock of their own, and may skip login.
struct TStartOptions {
    QString ExeDir;             // folder of hts.ini, draws.json, news/ (default: the executable's)
    TClock* Clock = nullptr;    // default: the system clock
    bool Login = true;          // run the login step of start-up
};

class TfrmMain : public QMainWindow {
public:
    explicit TfrmMain(const TStartOptions& opt = {});
    ~TfrmMain() override;

    // True when start-up ended without a login (the user quit the dialog).
    bool LoginAbandoned() const;

    void Log(const QString& text);
    void LoadLayout();
    void SaveLayout();
    void FormClose();

    // ---- the sequences that span parts ----
    void SelectStock(const QString& code);
    void AfterLogin(const QString& msg);
    void SecondTick();
    void PlaceOrderStrips(const QString& text, const QColor& bg);
    void OnQueryData(TXAQuery* q, const QString& tr);
    void OnQueryMsg(TXAQuery* q, bool sysErr, const QString& code, const QString& msg);
    void OnRealData(TXAReal* r, const QString& tr);

    // ---- services; declared first, so they outlive the facets ----
    std::unique_ptr<TAppContext> FCtx;
    TAppContext& Ctx() const { return *FCtx; }

    // ---- facets ----
    std::unique_ptr<TLogFacet> LogClock;
    std::unique_ptr<TLoginFacet> Login;
    std::unique_ptr<TStockFacet> Stock;
    std::unique_ptr<TQuoteFacet> Quote;
    std::unique_ptr<TOrderFacet> Order;
    std::unique_ptr<TAccountFacet> Account;
    std::unique_ptr<TTickFacet> Ticks;
    std::unique_ptr<TDailyFacet> Daily;
    std::unique_ptr<TChartFacet> Charts;
    std::unique_ptr<TProgFacet> Prog;
    std::unique_ptr<TNewsFacet> News;
    std::unique_ptr<TSignalFacet> Signals;
    std::unique_ptr<TLumenFacet> Lumen;
    std::unique_ptr<TBoardFacet> Board;
    std::unique_ptr<TListsFacet> Lists;
    std::unique_ptr<TPnlFacet> Pnl;
    std::unique_ptr<TAutoSellFacet> AutoSell;

    // ---- the window's own state ----
    bool FFirstRun = false;    // no saved layout
    bool FIniNotUtf8 = false;  // hts.ini held bytes that are not UTF-8: it is never written back
    int FBoardTick = 0;        // seconds counted by the scheduler
    QTimer FBoardTimer;        // the one-second scheduler

    // ---- regions ----
    QWidget* pnlTop = nullptr;
    QSplitter* spMain = nullptr;     // main area over the bottom region
    QWidget* pnlBottom = nullptr;
    QSplitter* spBottom = nullptr;   // news/log | issue area
    TTabSet* pcLog = nullptr;
    QWidget* pnlIssue = nullptr;
    TTabSet* pcIssue = nullptr;
    QSplitter* spLR = nullptr;       // left | right
    QWidget* pnlLeft = nullptr;
    QSplitter* spLeft = nullptr;     // day chart over minute chart
    QWidget* pnlRight = nullptr;
    QSplitter* spRight = nullptr;    // order column | ladder column
    QWidget* pnlOrd = nullptr;
    QSplitter* spOrd = nullptr;      // order top / tick area / program trading
    QWidget* pnlOrdTop = nullptr;
    QWidget* pnlTkWrap = nullptr;
    QSplitter* spTk = nullptr;       // tick tabs over the broker box
    TTabSet* pcTick = nullptr;
    QWidget* pnlLadder = nullptr;
    QSplitter* spLadder = nullptr;   // ladder area over the account tabs
    TTabSet* pcBM = nullptr;

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    // A route of the broker's answers: a query object (none: any) and a
    // transaction (empty: any), tried in order.
    struct TRoute {
        TXAQuery* TBrokerObjects::*Query = nullptr;
        QString Tr;
        std::function<void(TXAQuery*)> Data;
    };

    void CreateFacets();
    void Wire();
    void BuildUI();
    void BuildTop();
    void BuildBottom();
    void BuildLeft();
    void BuildRight();
    void BuildOrderColumn();
    void BuildLadderColumn();
    void CreateBrokerObjects();
    void BuildRoutes();
    void OnMasterData();
    void OnPriceData();
    void OnDayData();
    void OnTradeReal(TXAReal* r);
    void OnBookReal(TXAReal* r);
    void LinkBottomHeights(QSplitter* from);
    bool MouseWheelHandler(QObject* obj, QWheelEvent* e);
    void AppMessage(QObject* obj, QMouseEvent* e);
    void SetPaneSize(QSplitter* s, int index, int size, int restIndex);
    int PaneSize(const QSplitter* s, int index) const;
    void ApplyPendingPanes();

    struct TPendingPane {
        QSplitter* Splitter;
        int Index, Size, RestIndex;
    };
    QVector<TRoute> FRoutes;
    QVector<TFacet*> Facets;  // every facet, for their layout keys
    QVector<TPendingPane> FPendingPanes;
    bool FShownOnce = false;
    bool FClosing = false;
    bool FLinking = false;
    bool FHooked = false;
    bool FInWheel = false;  // a wheel event is being forwarded
};
