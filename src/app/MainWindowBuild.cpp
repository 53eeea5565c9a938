// The window's regions: splitters, panels and tab sets, each facet's
// widgets placed in them, and the wiring between the facets.
#include "app/MainWindow.h"
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
#include "chart/CandleChart.h"
#include "trading/LadderView.h"

#include <QLineEdit>
#include <QSplitter>
#include <QVBoxLayout>

void TfrmMain::CreateFacets()
{
    TAppContext& c = Ctx();
    LogClock = std::make_unique<TLogFacet>(c);
    Login = std::make_unique<TLoginFacet>(c);
    Stock = std::make_unique<TStockFacet>(c);
    Quote = std::make_unique<TQuoteFacet>(c);
    Order = std::make_unique<TOrderFacet>(c);
    Account = std::make_unique<TAccountFacet>(c);
    Ticks = std::make_unique<TTickFacet>(c);
    Daily = std::make_unique<TDailyFacet>(c);
    Charts = std::make_unique<TChartFacet>(c);
    Prog = std::make_unique<TProgFacet>(c);
    News = std::make_unique<TNewsFacet>(c);
    Signals = std::make_unique<TSignalFacet>(c);
    Lumen = std::make_unique<TLumenFacet>(c);
    Board = std::make_unique<TBoardFacet>(c);
    Lists = std::make_unique<TListsFacet>(c);
    Pnl = std::make_unique<TPnlFacet>(c);
    AutoSell = std::make_unique<TAutoSellFacet>(c);
    Facets = {LogClock.get(), Login.get(), Stock.get(), Quote.get(), Order.get(),  Account.get(),
              Ticks.get(),    Daily.get(), Charts.get(), Prog.get(),  News.get(),   Signals.get(),
              Lumen.get(),    Board.get(), Lists.get(), Pnl.get(),  AutoSell.get()};
}

void TfrmMain::BuildUI()
{
    auto* central = MakePanel(this);
    setCentralWidget(central);
    auto* root = VBox(central);

    BuildTop();
    root->addWidget(pnlTop);

    spMain = MakeSplitter(Qt::Vertical, central);
    root->addWidget(spMain, 1);

    spLR = MakeSplitter(Qt::Horizontal);
    spMain->addWidget(spLR);
    BuildLeft();
    BuildRight();
    BuildBottom();
    spMain->addWidget(pnlBottom);
    spMain->setStretchFactor(0, 1);
    spMain->setStretchFactor(1, 0);
    SetPaneSize(spMain, 1, Scaled(180), 0);
    // No splitter squeezes a region below 80 (design) pixels along its axis.
    for (QSplitter* sp : findChildren<QSplitter*>())
        for (int i = 0; i < sp->count(); ++i) {
            QWidget* w = sp->widget(i);
            if (sp->orientation() == Qt::Horizontal)
                w->setMinimumWidth(std::max(w->minimumWidth(), Scaled(80)));
            else
                w->setMinimumHeight(std::max(w->minimumHeight(), Scaled(80)));
        }
    Wire();
}

// What one facet needs to know of another, and where each one reports.
void TfrmMain::Wire()
{
    Ctx().LogSink = [this](const QString& text) { LogClock->Log(text); };
    Ctx().NameSource = [this](const QString& code) { return Stock->NameOf(code); };
    auto select = [this](const QString& code) { SelectStock(code); };
    Login->OnLoggedIn = [this](const QString& msg) { AfterLogin(msg); };
    Stock->OnSelectStock = select;
    Account->OnSelectStock = select;
    Pnl->OnSelectStock = select;
    Pnl->Holds = &Account->FHolds;
    Pnl->FeeBox = [this] { return Order->Fee(); };
    Pnl->IsTaxFree = [this](const QString& code) { return Stock->IsFund(code); };
    Account->OnAcctRefresh = [this] { Pnl->DayPnlRefresh(); };

    Order->Hoga = &Quote->FHoga;
    Order->Holds = &Account->FHolds;
    Order->Miche = &Account->FMiche;
    Order->DialogOwner = this;
    AutoSell->Account = Account.get();
    AutoSell->Order = Order.get();
    AutoSell->Hoga = &Quote->FHoga;
    Account->OnFillEvent = [this](TXAReal* r) { AutoSell->OnFillReal(r); };
    Account->OnBalApplied = [this](quint64 seq) {
        AutoSell->BalanceApplied(seq);
        Pnl->RebuildPnlView();
    };
    Account->OnMicheApplied = [this](quint64 seq) { AutoSell->MicheApplied(seq); };
    {
        // "매도 전체취소" also stops the split sell's parts not yet sent.
        auto cancelSells = Account->btnSellCxl->OnClick;
        Account->btnSellCxl->OnClick = [this, cancelSells] {
            AutoSell->StopSplit(QStringLiteral("매도 전체취소"));
            if (cancelSells)
                cancelSells();
        };
    }
    Order->vLadder->FOnCancel = [this](const QString& side, int price) { Account->OnLadderCancel(side, price); };
    Order->vLadder->FOnMove = [this](const QString& side, int from, int to) { Account->OnLadderMove(side, from, to); };
    Order->vLadder->FOnReload = [this] { Ticks->ReloadTicks(); };
    connect(Order->edFee, &QLineEdit::textChanged, this, [this] {
        Account->ApplyHold();
        Pnl->RebuildPnlView();
    });

    Account->Order = Order.get();
    Account->MinChart = &Charts->MinChart();
    Account->DayChart = &Charts->DayChart();
    Ticks->Ladder = Order->vLadder;
    Ticks->Hoga = &Quote->FHoga;
    Daily->DayChart = &Charts->DayChart();

    Charts->OnMinBarClick = [this](const QString& d) {
        News->OnMinBarClick(d, Charts->FMinPer, Charts->MinChart());
    };
    Charts->OnMinBarsLoaded = [this](const QString& firstDay) {
        News->EnsurePastNews(firstDay);
        Signals->PushSigMarks();
        Signals->ShowDtMark();
    };
    Signals->SelectStock = select;
    Signals->MinChart = [this] { return &Charts->MinChart(); };
    // Until the master arrives any well-formed code is taken.
    Signals->KnownCode = [this](const QString& c) { return Stock->FMaster.isEmpty() || Stock->FMaster.contains(c); };
    Lumen->SelectStock = select;
    Lumen->MinChart = [this] { return &Charts->MinChart(); };
    Lumen->IsinOf = [this](const QString& c) { return Stock->FCodeIsin.value(c); };
    Lumen->CodeOfIsin = [this](const QString& i) { return Stock->FIsinCode.value(i); };
    Lists->SelectStock = select;
    Lists->KnownCode = Signals->KnownCode;
    Lists->HasMaster = [this] { return !Stock->FMaster.isEmpty(); };
    Lists->ShowBuyMarker = [this](const QString& text, const QColor& bg) { PlaceOrderStrips(text, bg); };
    Board->StatusRight = [this] { return Login->lbStatus->geometry().right() + 1; };
    Board->MainWin = [this]() -> QWidget* { return this; };
    News->SelectStock = select;
    News->MinChart = [this] { return &Charts->MinChart(); };
    News->Window = [this]() -> QWidget* { return this; };
    Charts->SelectedDay = [this] { return Daily->SelectedDay(); };
    Charts->DayRows = [this] { return Daily->FDaily.Ascending(); };
    Charts->OnTodayVwap = [this](double vwap) {
        const TDayOHL& d = Quote->FDay;
        Order->vLadder->SetDayMarks(d.Open, d.High, d.Low, vwap);
    };
}

void TfrmMain::BuildTop()
{
    pnlTop = MakePanel(nullptr, Colors::Strip);
    pnlTop->setFixedHeight(Scaled(38));
    Board->BuildSelector(pnlTop);
    Login->BuildStatus(pnlTop);
    LogClock->BuildClock(pnlTop);
}

void TfrmMain::BuildBottom()
{
    pnlBottom = MakePanel(nullptr);
    auto* l = VBox(pnlBottom);
    spBottom = MakeSplitter(Qt::Horizontal, pnlBottom);
    l->addWidget(spBottom);

    pcLog = new TTabSet;
    News->BuildNewsPage(pcLog);
    LogClock->BuildLogPage(pcLog);
    spBottom->addWidget(pcLog);

    pnlIssue = MakePanel(nullptr);
    pcIssue = new TTabSet(pnlIssue);
    VBox(pnlIssue)->addWidget(pcIssue);
    News->BuildIssuePages(pcIssue);
    Lists->BuildListPages(pcIssue);
    spBottom->addWidget(pnlIssue);
    spBottom->setStretchFactor(0, 1);
    spBottom->setStretchFactor(1, 0);
    SetPaneSize(spBottom, 1, Scaled(720), 0);
}

void TfrmMain::BuildLeft()
{
    pnlLeft = MakePanel(nullptr);
    auto* l = VBox(pnlLeft);
    spLeft = MakeSplitter(Qt::Vertical, pnlLeft);
    l->addWidget(spLeft);
    Charts->BuildCharts();
    spLeft->addWidget(Charts->chDay);
    spLeft->addWidget(Charts->chMin);
    spLeft->setStretchFactor(0, 0);
    spLeft->setStretchFactor(1, 1);
    SetPaneSize(spLeft, 0, Scaled(360), 1);
    spLR->addWidget(pnlLeft);
}

void TfrmMain::BuildRight()
{
    pnlRight = MakePanel(nullptr);
    auto* l = VBox(pnlRight);
    spRight = MakeSplitter(Qt::Horizontal, pnlRight);
    l->addWidget(spRight);
    BuildOrderColumn();
    BuildLadderColumn();
    spRight->setStretchFactor(0, 0);
    spRight->setStretchFactor(1, 1);
    SetPaneSize(spRight, 0, Scaled(600), 1);
    spLR->addWidget(pnlRight);
    spLR->setStretchFactor(0, 0);
    spLR->setStretchFactor(1, 1);
    SetPaneSize(spLR, 0, Scaled(560), 1);
}

void TfrmMain::BuildOrderColumn()
{
    pnlOrd = MakePanel(nullptr);
    auto* v = VBox(pnlOrd);
    QWidget* strip = MakeStrip(pnlOrd, 24);
    Ticks->BuildSumsLabel(strip);
    v->addWidget(strip);

    spOrd = MakeSplitter(Qt::Vertical, pnlOrd);
    v->addWidget(spOrd, 1);
    pnlOrdTop = MakePanel(nullptr, QColor(250, 250, 250));
    Quote->BuildHeader(pnlOrdTop);
    Order->BuildEntry(pnlOrdTop);
    AutoSell->Build(pnlOrdTop, Order->pnlSellQ);
    spOrd->addWidget(pnlOrdTop);
    OnResize(pnlOrdTop, [this] { Lists->UpdateBuyMarker(); });

    pnlTkWrap = MakePanel(nullptr);
    auto* tv = VBox(pnlTkWrap);
    spTk = MakeSplitter(Qt::Vertical, pnlTkWrap);
    tv->addWidget(spTk);
    pcTick = new TTabSet;
    Ticks->BuildTickPage(pcTick);
    Daily->BuildDailyPage(pcTick);
    Lists->BuildRankPage(pcTick);
    Lumen->BuildPages(pcTick);
    spTk->addWidget(pcTick);
    spTk->addWidget(Lists->BuildBrokerBox());
    spTk->setStretchFactor(0, 1);
    spTk->setStretchFactor(1, 0);
    SetPaneSize(spTk, 1, Scaled(152), 0);
    spOrd->addWidget(pnlTkWrap);

    spOrd->addWidget(Prog->Build());
    spOrd->setStretchFactor(0, 0);
    spOrd->setStretchFactor(1, 1);
    spOrd->setStretchFactor(2, 0);
    SetPaneSize(spOrd, 0, Scaled(104), 1);
    SetPaneSize(spOrd, 2, Scaled(300), 1);
    connect(spOrd, &QSplitter::splitterMoved, this, [this] { LinkBottomHeights(spOrd); });
    spRight->addWidget(pnlOrd);
}

void TfrmMain::BuildLadderColumn()
{
    pnlLadder = MakePanel(nullptr);
    auto* outer = VBox(pnlLadder);
    spLadder = MakeSplitter(Qt::Vertical, pnlLadder);
    outer->addWidget(spLadder);

    QWidget* area = MakePanel(nullptr);
    auto* v = VBox(area);
    QWidget* strip = MakeStrip(area, 32);
    MakeLabel(strip, 6, 8, QStringLiteral("종목"), Colors::Flat, true);
    Stock->BuildCodeBox(strip, this);
    v->addWidget(strip);
    Order->BuildLadder(strip, area, v);
    Account->BuildCancelButtons(area, v);
    spLadder->addWidget(area);

    pcBM = new TTabSet;
    Account->BuildPages(pcBM);
    Signals->BuildSignalPage(pcBM);
    Pnl->BuildPnlPage(pcBM);
    spLadder->addWidget(pcBM);
    spLadder->setStretchFactor(0, 1);
    spLadder->setStretchFactor(1, 0);
    SetPaneSize(spLadder, 1, Scaled(300), 0);
    connect(spLadder, &QSplitter::splitterMoved, this, [this] { LinkBottomHeights(spLadder); });
    spRight->addWidget(pnlLadder);
}

// The program-trading area and the account tabs under the ladder keep one
// height: moving either splitter gives the other bottom area the same height.
void TfrmMain::LinkBottomHeights(QSplitter* from)
{
    if (FLinking)
        return;
    FLinking = true;
    QSplitter* to = from == spOrd ? spLadder : spOrd;
    const int h = from->sizes().last();
    QList<int> s = to->sizes();
    const int delta = h - s.last();
    s.last() = h;
    s[s.size() - 2] = qMax(Scaled(80), s[s.size() - 2] - delta);
    to->setSizes(s);
    FLinking = false;
}

// The buyback marker under the price pushes the order strips down by what it
// needs; without one they sit at their design places.
void TfrmMain::PlaceOrderStrips(const QString& text, const QColor& bg)
{
    const int top = Quote->lbOrdPx->geometry().bottom() + 1 + Scaled(2);
    const int shift = TListsFacet::PlaceBuyMarker(Quote->lbOrdBuy, text, bg, pnlOrdTop->width(), top);
    const int w = std::max(Scaled(470), pnlOrdTop->width() - Scaled(8));
    // How far the strips stand pushed now: the first one against its design place.
    QWidget* first = AutoSell->pnlAutoQ;
    if (!first->property("designTop").isValid())
        for (QWidget* strip : {AutoSell->pnlAutoQ, Order->pnlBuyQ, Order->pnlSellQ})
            strip->setProperty("designTop", strip->y());
    const int before = first->y() - first->property("designTop").toInt();
    for (QWidget* strip : {AutoSell->pnlAutoQ, Order->pnlBuyQ, Order->pnlSellQ})
        strip->setGeometry(strip->x(), strip->property("designTop").toInt() + shift, w, strip->height());
    pnlOrdTop->setMinimumHeight(shift + Scaled(158));
    if (shift != before && PaneSize(spOrd, 0) > 0)
        SetPaneSize(spOrd, 0, std::max(shift + Scaled(158), PaneSize(spOrd, 0) + shift - before), 1);
}
