#include "app/MainWindow.h"

#include "app/LoginDlg.h"
#include "app/UiKit.h"
#include "app/board/BoardFacet.h"
#include "app/broker/LoginFacet.h"
#include "app/chart/ChartFacet.h"
#include "app/core/LogFacet.h"
#include "app/lists/ListsFacet.h"
#include "app/market/DailyFacet.h"
#include "app/market/ProgFacet.h"
#include "app/market/QuoteFacet.h"
#include "app/market/StockFacet.h"
#include "app/market/TickFacet.h"
#include "app/news/NewsFacet.h"
#include "app/signals/LumenFacet.h"
#include "app/signals/SignalFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/trading/OrderFacet.h"
#include "app/trading/AutoSellFacet.h"
#include "app/trading/PnlFacet.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/AppState.h"
#include "core/Clock.h"
#include "core/NumFmt.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTableWidget>
#include <QWheelEvent>
#include <QComboBox>

TfrmMain::TfrmMain(const TStartOptions& opt)
{
    // 1. the window
    setWindowTitle(QStringLiteral("케스트렐 HTS - LS api"));
    QApplication::setApplicationDisplayName(QString());
    setFont(AppFont(9));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    resize(1600, 950);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    // 2./3./6. the configuration file beside the executable, the request
    // queue, the configuration, the server clock and the service host
    FCtx = std::make_unique<TAppContext>(opt.Clock ? *opt.Clock : SystemClock(),
                                         opt.ExeDir.isEmpty() ? QCoreApplication::applicationDirPath() : opt.ExeDir,
                                         this);
    // 4. the facets (the chart facet reads the drawings store)
    CreateFacets();

    // 7. controls (logging works from here on); 8. broker objects
    BuildUI();
    CreateBrokerObjects();

    // 9./10. saved layout; a first run is maximised now (without showing the
    // window: login comes first) and once more after start-up
    LoadLayout();
    if (FFirstRun)
        setWindowState(windowState() | Qt::WindowMaximized);

    // 12./13.
    GFormAlive = true;
    qApp->installEventFilter(this);
    FHooked = true;

    // 16./17. the one-second scheduler
    FBoardTimer.setInterval(1000);
    connect(&FBoardTimer, &QTimer::timeout, this, [this] { SecondTick(); });
    FBoardTimer.start();

    // 18. start-up lines
    if (Ctx().FCfgOk)
        Log(QStringLiteral("설정 읽음: ") + Ctx().FIniPath + QStringLiteral("  (계좌 ") + MaskAcct(Ctx().FCfg.Acno) + QStringLiteral(")"));
    else
        Log(QStringLiteral("!! ") + Ctx().FCfgErr);
    if (FIniNotUtf8)
        Log(QStringLiteral("!! hts.ini가 UTF-8이 아니어서 바뀐 설정을 저장하지 않습니다 — UTF-8로 저장해 주세요"));
    if (QFileInfo::exists(Ctx().FCfg.ResPath + QStringLiteral("t1101.res")))
        Log(QStringLiteral("Res 폴더: ") + Ctx().FCfg.ResPath);
    else
        Log(QStringLiteral("!! Res 폴더를 못 찾았다: ") + Ctx().FCfg.ResPath +
            QStringLiteral("  — hts.ini [XING] RES= 에 xingAPI\\Res 경로를 적어 주세요"));
    Log(QStringLiteral("종목은 위 입력칸에 코드 6자리 또는 종목명 + Enter."));
    if (!Charts->FDrawStoreProblem.isEmpty())
        Log(Charts->FDrawStoreProblem);
    for (const QString& p : Ctx().FBackendProblems)
        Log(QStringLiteral("!! 모의 거래소: ") + p);

    // Today's headlines from the day file, then the service host's archive
    // and the advertisement line.
    News->LoadTodayNews();
    News->FetchServerNews();
    News->FetchAd();
    // The signal poll (at once and every 5 s), the quotes and the bars behind it.
    Signals->Start();
    // The ETN holdings and the market lists of the service host.
    Board->FetchEtn();
    Lists->Start();

    // 19. focus; 20. login before the window is first shown
    Stock->edCode->setFocus();
    if (opt.Login)
        Login->StartupLogin();
    if (FFirstRun && !Login->FLoginAbandoned)
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                showMaximized();
        });
}

bool TfrmMain::LoginAbandoned() const { return Login->FLoginAbandoned; }

TfrmMain::~TfrmMain()
{
    GFormAlive = false;
    if (FHooked)
        qApp->removeEventFilter(this);
    FCtx->FQ->Clear();  // pending requests are dropped unrun
    FCtx->LogSink = nullptr;  // the facets go before the context
    FCtx->NameSource = nullptr;
    // The widgets go while the facets whose data they show still exist.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    FBoardTimer.stop();
}

void TfrmMain::Log(const QString& text) { LogClock->Log(text); }

void TfrmMain::SecondTick()
{
    FBoardTick += 1;
    Charts->MoreButtonTick();
    // Account refresh after order events: one refresh 2 s after the last fill.
    Account->SecondTick();
    // Split-sell parts fall due on their own 300 ms timer; the second's tick
    // catches any the timer has not reached.
    if (!AutoSell->FSplit.isEmpty())
        AutoSell->SplitTick();
    // Minute-bar retry, at most three times per stock.
    Charts->RetryTick();
    Board->SecondTick(FBoardTick);
    Lists->SecondTick(FBoardTick);
    Lumen->SecondTick(Ctx().Clock().Now().time().second());
}

void TfrmMain::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!FShownOnce)
        ApplyPendingPanes();
}

void TfrmMain::closeEvent(QCloseEvent* e)
{
    FormClose();
    QMainWindow::closeEvent(e);
}

void TfrmMain::FormClose()
{
    if (FClosing)
        return;
    FClosing = true;
    Signals->Stop();
    SaveLayout();
    AutoSell->OnLogout();
    const TBrokerObjects& b = Ctx().B;
    for (TXAReal* r : {b.rS3, b.rK3, b.rH1, b.rHA, b.rSC1, b.rSC0, b.rSC3, b.rNws})
        if (r)
            r->UnadviseRealData();
    if (Ctx().B.FSess)
        Ctx().B.FSess->DisconnectServer();
}

// ---- global input routing ----

bool TfrmMain::eventFilter(QObject* obj, QEvent* e)
{
    if (obj == Stock->edCode && Stock->CodeBoxEvent(e))
        return true;
    switch (e->type()) {
    case QEvent::Wheel:
        if (MouseWheelHandler(obj, static_cast<QWheelEvent*>(e)))
            return true;
        break;
    case QEvent::MouseButtonPress:
        AppMessage(obj, static_cast<QMouseEvent*>(e));
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(obj, e);
}

// The wheel acts on the control under the pointer, not on the focused one.
// Only the wheel of the window system is routed here: an event a widget
// passes on itself (a scroll area to its scroll bar) or one this handler
// forwards goes its way untouched, so nothing ever comes back here.
bool TfrmMain::MouseWheelHandler(QObject* obj, QWheelEvent* e)
{
    auto* receiver = qobject_cast<QWidget*>(obj);
    if (FInWheel || !e->spontaneous() || !receiver)
        return false;
    QWidget* target = QApplication::widgetAt(e->globalPosition().toPoint());
    if (!target)
        target = receiver;  // no screen position to go by: the widget Qt chose
    if (target->window() != this)
        return false;
    QTableView* grid = nullptr;
    for (QWidget* w = target; w && w != this; w = w->parentWidget()) {
        // A selector changes only by a choice the user makes in it: the wheel
        // over it (a period, a board) would restart downloads by accident.
        if (qobject_cast<QComboBox*>(w))
            return true;
        if (!grid)
            grid = qobject_cast<QTableView*>(w);
    }
    if (!grid) {
        if (receiver != target && !receiver->isAncestorOf(target) && target != this) {
            QWheelEvent fwd(target->mapFromGlobal(e->globalPosition()), e->globalPosition(), e->pixelDelta(),
                            e->angleDelta(), e->buttons(), e->modifiers(), e->phase(), e->inverted());
            FInWheel = true;
            QCoreApplication::sendEvent(target, &fwd);
            FInWheel = false;
            return true;
        }
        return false;
    }
    if (obj != grid->viewport() && obj != target)
        return true;  // delivered to a parent: already handled at the grid
    if (e->angleDelta().y() == 0)
        return false;  // sideways: the grid's own scrolling
    const int rows = grid->model() ? grid->model()->rowCount() : 0;
    const int rowH = qMax(1, grid->verticalHeader()->defaultSectionSize());
    const int visible = qMax(1, grid->viewport()->height() / rowH);
    const int top = grid->rowAt(0) < 0 ? 0 : grid->rowAt(0);
    int newTop;
    if (e->angleDelta().y() < 0)
        newTop = std::min(top + 3, qMax(rows - visible, 0));
    else
        newTop = qMax(top - 3, 0);
    if (rows > 0)
        grid->scrollTo(grid->model()->index(newTop, 0), QAbstractItemView::PositionAtTop);
    if (e->angleDelta().y() < 0 && grid == Ticks->gTick && newTop + visible >= rows - 1)
        Ticks->OnScrolledToEnd();
    if (e->angleDelta().y() < 0 && grid == Prog->gProg && newTop + visible >= rows)
        Prog->OnScrolledToEnd();
    return true;
}

void TfrmMain::AppMessage(QObject* obj, QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton && e->button() != Qt::RightButton)
        return;
    auto* w = qobject_cast<QWidget*>(obj);
    Stock->OnPressAnywhere(w);
    // A press elsewhere takes the news mark off the minute chart.
    if (QApplication::activeWindow() == this && w && !News->KeepsNewsMark(w) && !Charts->HoldsWidget(w))
        News->ClearNewsMark();
}
