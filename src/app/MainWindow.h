#pragma once
// The one window of the program. It owns every piece of state for the life
// of the process; the parts of the program are facets it creates and wires.
#include "core/Config.h"
#include "core/IniFile.h"
#include "market/Quote.h"
#include "market/Ticks.h"
#include "market/ProgTrading.h"
#include "chart/DailyTable.h"
#include "broker/ResLayout.h"
#include "market/StockInfo.h"
#include "trading/AccountData.h"
#include "news/NewsRow.h"
#include "app/AppContext.h"

#include <QMainWindow>
#include <QPointer>
#include <QHash>
#include <QTimer>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>

class QCheckBox;
class QComboBox;
class QHeaderView;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QSplitter;
class QTableWidget;
class TClock;
class TBrokerBackend;
class TReqQueue;
class TXAQuery;
class TXAReal;
class TXASession;
struct TLoginResult;
class TColorButton;
class TLogPanel;
class TServerClock;
class TServiceHost;
class TTabSet;

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
    void SecondTick();
    void LoadLayout();
    void SaveLayout();
    void FormClose();

    // The services every facet reaches; declared first, so it outlives the facets.
    std::unique_ptr<TAppContext> FCtx;
    TAppContext& Ctx() const { return *FCtx; }

    // ---- facets ----
    std::unique_ptr<class TLogFacet> LogClock;
    std::unique_ptr<class TLoginFacet> Login;
    std::unique_ptr<class TStockFacet> Stock;
    std::unique_ptr<class TQuoteFacet> Quote;
    std::unique_ptr<class TOrderFacet> Order;
    std::unique_ptr<class TAccountFacet> Account;
    std::unique_ptr<class TTickFacet> Ticks;
    std::unique_ptr<class TDailyFacet> Daily;
    std::unique_ptr<class TChartFacet> Charts;
    std::unique_ptr<class TProgFacet> Prog;

    // ---- state (names as the rest of the program uses them) ----
    bool FFirstRun = false;
    bool FIniNotUtf8 = false;  // hts.ini held bytes that are not UTF-8: it is never written back
    int FBoardTick = 0;
    int FBoardJob = -1;
    // Headlines of today (and earlier days the minute chart reaches), the
    // stock's news list as indexes into them, its selected row, and whether
    // a news mark stands on the minute chart.
    QVector<TNewsRow> FNews;
    QVector<int> FNewsView;
    int FNewsSel = -1;
    bool FNewsMarkOn = false;
    bool FUSDue = false;

    // ---- broker link ----


    static bool IsSignificant(bool sysErr, const QString& code);
    void OnQueryData(TXAQuery* q, const QString& tr);
    void OnQueryMsg(TXAQuery* q, bool sysErr, const QString& code, const QString& msg);
    void OnRealData(TXAReal* r, const QString& tr);
    void AfterLogin(const QString& msg);
    void OnPriceData();
    void OnTradeReal(TXAReal* r);

    // ---- trading ----
    void SelectStock(const QString& code);

    // ---- timers ----
    QTimer FSplitTm, FSigBlink,
        FBoardTimer, FVolTimer, FSigTimer, FSigQTimer, FHotTimer;

    // ---- controls ----
    QWidget* pnlTop = nullptr;
    QComboBox* cbBoard = nullptr;

    QSplitter* spMain = nullptr;     // main area over the bottom region
    QWidget* pnlBottom = nullptr;
    QSplitter* spBottom = nullptr;   // news/log | issue area
    QWidget* pnlIssue = nullptr;
    TTabSet* pcIssue = nullptr;
    TTabSet* pcLog = nullptr;
    QLineEdit* edIssue = nullptr;

    QSplitter* spLR = nullptr;       // left | right
    QWidget* pnlLeft = nullptr;
    QSplitter* spLeft = nullptr;     // day chart over minute chart

    QWidget* pnlRight = nullptr;
    QSplitter* spRight = nullptr;    // order column | ladder column
    QWidget* pnlOrd = nullptr;
    QSplitter* spOrd = nullptr;      // order top / tick area / program trading
    QWidget* pnlOrdTop = nullptr;
    QWidget* pnlTkWrap = nullptr;
    QSplitter* spTk = nullptr;
    TTabSet* pcTick = nullptr;
    QWidget* pbBrk = nullptr;

    QWidget* pnlLadder = nullptr;
    QSplitter* spLadder = nullptr;   // ladder area over the account tabs
    TTabSet* pcBM = nullptr;

    void OnMinBarClick(const QString& d);
    QTableWidget *gSig = nullptr,
                 *gPnl = nullptr;
    QHeaderView *hcRank = nullptr, *hcLmTop = nullptr, *hcLM = nullptr;
    QCheckBox* chkSig[5] = {};
    QCheckBox *chkDtFocus = nullptr, *chkSigSnd = nullptr, *chkBuyLiq = nullptr, *chkLmChg = nullptr;
    QComboBox* cbLmTopKind = nullptr;


protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    void BuildUI();
    void BuildTop();
    void BuildBottom();
    void BuildLeft();
    void BuildRight();
    void BuildOrderColumn(QWidget* parent);
    void BuildLadderColumn(QWidget* parent);
    void BuildTickPages();
    void BuildAccountPages();
    void CreateBrokerObjects();
    void CreateTimers();
    void LinkBottomHeights(QSplitter* from);
    bool MouseWheelHandler(QObject* obj, class QWheelEvent* e);
    void AppMessage(QObject* obj, class QMouseEvent* e);
    void SetPaneSize(QSplitter* s, int index, int size, int restIndex);
    int PaneSize(const QSplitter* s, int index) const;
    void ApplyPendingPanes();

    struct TPendingPane {
        QSplitter* Splitter;
        int Index, Size, RestIndex;
    };
    QVector<TPendingPane> FPendingPanes;
    bool FShownOnce = false;

    bool FClosing = false;
    bool FLinking = false;
    bool FHooked = false;
};
