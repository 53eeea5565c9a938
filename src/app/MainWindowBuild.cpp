// The window's controls: regions, splitters, tab sets, grids and strips.
#include "app/LogPanel.h"
#include "app/MainWindow.h"
#include "app/UiKit.h"
#include "core/Clock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/DailyGridModel.h"
#include "chart/CandleChart.h"
#include "app/TickModel.h"
#include "app/market/ProgFacet.h"
#include "app/core/LogFacet.h"
#include "app/broker/LoginFacet.h"
#include "app/market/StockFacet.h"
#include "app/market/QuoteFacet.h"
#include "app/trading/OrderFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/market/TickFacet.h"
#include "app/market/DailyFacet.h"
#include "app/chart/ChartFacet.h"
#include "trading/LadderScroll.h"
#include "trading/LadderView.h"
#include "trading/MyOrdBar.h"

namespace {

QVBoxLayout* VBox(QWidget* w)
{
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    return l;
}

QWidget* Strip(QWidget* parent, int height, const QColor& bg = Colors::Strip)
{
    QWidget* s = MakePanel(parent, bg);
    s->setFixedHeight(Scaled(height));
    return s;
}

QCheckBox* MakeCheck(QWidget* parent, int left, int top, const QString& text, const QColor& color = Colors::Flat,
                     bool bold = false)
{
    auto* c = new QCheckBox(text, parent);
    c->setFont(AppFont(9, bold));
    QPalette p = c->palette();
    p.setColor(QPalette::WindowText, color);
    c->setPalette(p);
    c->setChecked(true);
    c->adjustSize();
    c->move(Scaled(left), Scaled(top));
    return c;
}

QPushButton* MakeButton(QWidget* parent, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setFont(AppFont(9));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

}  // namespace

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
    Order->BuildEntry(pnlOrdTop);
    connect(Order->edFee, &QLineEdit::textChanged, this, [this] { Account->ApplyHold(); });
    Account->MinChart = &Charts->MinChart();
    Daily->DayChart = &Charts->DayChart();
    Account->DayChart = &Charts->DayChart();
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
}

void TfrmMain::BuildTop()
{
    pnlTop = MakePanel(nullptr, Colors::Strip);
    pnlTop->setFixedHeight(Scaled(38));
    cbBoard = new QComboBox(pnlTop);
    cbBoard->setFont(AppFont(9));
    cbBoard->addItems({QStringLiteral("미국지수"), QStringLiteral("한국지수"), QStringLiteral("삼전닉스"),
                       QStringLiteral("투자자 통합"), QStringLiteral("투자자 KRX"), QStringLiteral("투자자 NXT"),
                       QStringLiteral("ETN개인")});
    Place(cbBoard, 8, 7, 110);
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
    pcLog->AddPage(QStringLiteral("  오늘 뉴스  "));
    LogClock->BuildLogPage(pcLog);
    spBottom->addWidget(pcLog);

    pnlIssue = MakePanel(nullptr);
    pcIssue = new TTabSet(pnlIssue);
    VBox(pnlIssue)->addWidget(pcIssue);
    QWidget* issue = pcIssue->AddPage(QStringLiteral("  이슈 뉴스  "));
    {
        auto* v = VBox(issue);
        QWidget* s1 = Strip(issue, 30);
        MakeLabel(s1, 6, 7, QStringLiteral("이슈 뉴스"), Colors::Flat, true);
        QLabel* w = MakeLabel(s1, 80, 7, QStringLiteral("단어 (, 또는  & 그리고)"));
        edIssue = new QLineEdit(s1);
        edIssue->setFont(AppFont(9));
        edIssue->setPlaceholderText(
            QStringLiteral("예: 비만약, 양자&컴퓨터, 삼성전자&HBM  — 쉼표는 또는, &는 그리고"));
        edIssue->setGeometry(w->x() + w->width() + Scaled(6), Scaled(3), Scaled(380), Scaled(24));
        QWidget* s2 = Strip(issue, 28);
        MakeLabel(s2, 6, 6, QStringLiteral("오늘 이슈"), Colors::Flat, true);
        QWidget* s3 = Strip(issue, 28);
        MakeLabel(s3, 6, 6, QStringLiteral("최근 10분"), Colors::Flat, true);
        v->addWidget(s1);
        v->addWidget(s2);
        v->addWidget(s3);
        v->addStretch(1);
    }
    pcIssue->AddPage(QStringLiteral("  특징주  "));
    pcIssue->AddPage(QStringLiteral("  공시  "));
    for (const QString& cap : {QStringLiteral("  공매도 금지  "), QStringLiteral("  자사주  ")}) {
        QWidget* page = pcIssue->AddPage(cap);
        auto* v = VBox(page);
        v->addWidget(Strip(page, 24));
        v->addStretch(1);
        QWidget* bottom = Strip(page, 24);
        v->addWidget(bottom);
        if (cap.contains(QStringLiteral("자사주"))) {
            chkBuyLiq = MakeCheck(bottom, 6, 3, QStringLiteral("매매 후보만 보기"));
        }
    }
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
    Charts->OnMinBarClick = [this](const QString& d) { OnMinBarClick(d); };
    Charts->SelectedDay = [this] { return Daily->SelectedDay(); };
    Charts->DayRows = [this] { return Daily->FDaily.Ascending(); };
    Charts->OnTodayVwap = [this](double vwap) {
        const TDayOHL& d = Quote->FDay;
        Order->vLadder->SetDayMarks(d.Open, d.High, d.Low, vwap);
    };
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
    BuildOrderColumn(spRight);
    BuildLadderColumn(spRight);
    spRight->setStretchFactor(0, 0);
    spRight->setStretchFactor(1, 1);
    SetPaneSize(spRight, 0, Scaled(600), 1);
    spLR->addWidget(pnlRight);
    spLR->setStretchFactor(0, 0);
    spLR->setStretchFactor(1, 1);
    SetPaneSize(spLR, 0, Scaled(560), 1);
}

void TfrmMain::BuildOrderColumn(QWidget*)
{
    pnlOrd = MakePanel(nullptr);
    auto* v = VBox(pnlOrd);
    QWidget* strip = Strip(pnlOrd, 24);
    Ticks->BuildSumsLabel(strip);
    v->addWidget(strip);

    spOrd = MakeSplitter(Qt::Vertical, pnlOrd);
    v->addWidget(spOrd, 1);
    pnlOrdTop = MakePanel(nullptr, QColor(250, 250, 250));
    Quote->BuildHeader(pnlOrdTop);
    spOrd->addWidget(pnlOrdTop);

    pnlTkWrap = MakePanel(nullptr);
    auto* tv = VBox(pnlTkWrap);
    spTk = MakeSplitter(Qt::Vertical, pnlTkWrap);
    tv->addWidget(spTk);
    pcTick = new TTabSet;
    BuildTickPages();
    spTk->addWidget(pcTick);
    pbBrk = MakePanel(nullptr);
    spTk->addWidget(pbBrk);
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

void TfrmMain::BuildTickPages()
{
    Ticks->BuildTickPage(pcTick);

    Daily->BuildDailyPage(pcTick);
    QWidget* rank = pcTick->AddPage(QStringLiteral("  급등 · 순위  "));
    {
        auto* v = VBox(rank);
        hcRank = MakeHeader(rank, {{QStringLiteral("순위"), 30}, {QStringLiteral("종목"), 138}, {QStringLiteral("현재가"), 68},
                                   {QStringLiteral("등락률"), 64}, {QStringLiteral("거래량"), 68},
                                   {QStringLiteral("전일동시"), 72}, {QStringLiteral("급증률"), 70}});
        v->addWidget(hcRank);
        v->addStretch(1);
    }
    QWidget* lm = pcTick->AddPage(QStringLiteral("  루멘  "));
    {
        auto* v = VBox(lm);
        QWidget* s = Strip(lm, 26);
        chkLmChg = MakeCheck(s, 6, 4, QStringLiteral("변화만"));
        v->addWidget(s);
        hcLM = MakeHeader(lm, {{QStringLiteral("시각"), 60}, {QStringLiteral("매수"), 70}, {QStringLiteral("매도"), 70},
                               {QStringLiteral("순합계"), 80}, {QStringLiteral("1분 변화"), 80}});
        v->addWidget(hcLM);
        v->addStretch(1);
    }
    QWidget* lmTop = pcTick->AddPage(QStringLiteral("  루멘 상위  "));
    {
        auto* v = VBox(lmTop);
        QWidget* s = Strip(lmTop, 26);
        cbLmTopKind = new QComboBox(s);
        cbLmTopKind->setFont(AppFont(9));
        cbLmTopKind->addItems({QStringLiteral("매수합 상위"), QStringLiteral("매도합 상위"),
                               QStringLiteral("순매수 상위 (매수-매도)"), QStringLiteral("순매도 상위 (매도-매수)")});
        Place(cbLmTopKind, 6, 2, 190);
        v->addWidget(s);
        hcLmTop = MakeHeader(lmTop, {{QStringLiteral("순위"), 34}, {QStringLiteral("종목"), 130}, {QStringLiteral("매수"), 64},
                                     {QStringLiteral("매도"), 64}, {QStringLiteral("순합계"), 72},
                                     {QStringLiteral("매수 비중"), 70}});
        v->addWidget(hcLmTop);
        v->addStretch(1);
    }
}

void TfrmMain::BuildLadderColumn(QWidget*)
{
    pnlLadder = MakePanel(nullptr);
    auto* outer = VBox(pnlLadder);
    spLadder = MakeSplitter(Qt::Vertical, pnlLadder);
    outer->addWidget(spLadder);

    QWidget* area = MakePanel(nullptr);
    auto* v = VBox(area);
    QWidget* strip = Strip(area, 32);
    MakeLabel(strip, 6, 8, QStringLiteral("종목"), Colors::Flat, true);
    Stock->BuildCodeBox(strip, this);
    v->addWidget(strip);
    Order->BuildLadder(strip, area, v);
    Order->vLadder->FOnCancel = [this](const QString& side, int price) { Account->OnLadderCancel(side, price); };
    Order->vLadder->FOnMove = [this](const QString& side, int from, int to) { Account->OnLadderMove(side, from, to); };
    Order->vLadder->FOnReload = [this] { Ticks->ReloadTicks(); };
    Ticks->Ladder = Order->vLadder;

    Account->BuildCancelButtons(area, v);
    spLadder->addWidget(area);

    pcBM = new TTabSet;
    BuildAccountPages();
    spLadder->addWidget(pcBM);
    spLadder->setStretchFactor(0, 1);
    spLadder->setStretchFactor(1, 0);
    SetPaneSize(spLadder, 1, Scaled(300), 0);
    connect(spLadder, &QSplitter::splitterMoved, this, [this] { LinkBottomHeights(spLadder); });
    spRight->addWidget(pnlLadder);
}

void TfrmMain::BuildAccountPages()
{
    Account->BuildPages(pcBM);
    QWidget* sig = pcBM->AddPage(QStringLiteral("  포착  "));
    {
        auto* v = VBox(sig);
        QWidget* s = Strip(sig, 30, QColor(248, 248, 248));
        const QColor orange(224, 128, 0);
        chkSig[0] = MakeCheck(s, 6, 6, QStringLiteral("매수 포착"), Colors::Rise);
        chkSig[1] = MakeCheck(s, 102, 6, QStringLiteral("매도 포착"), Colors::Fall);
        chkSig[2] = MakeCheck(s, 198, 6, QStringLiteral("매수 스트릭"), Colors::Rise);
        chkSig[3] = MakeCheck(s, 294, 6, QStringLiteral("매도 스트릭"), Colors::Fall);
        chkSig[4] = MakeCheck(s, 390, 6, QStringLiteral("데트 후보"), orange);
        chkSig[4]->hide();
        chkDtFocus = MakeCheck(s, 390, 6, QStringLiteral("데트집중"), orange, true);
        chkSigSnd = MakeCheck(s, 480, 6, QStringLiteral("소리"));
        v->addWidget(s);
        gSig = MakeGrid(sig, {{QStringLiteral("시각"), 52}, {QStringLiteral("종목"), 126}, {QStringLiteral("구분"), 92},
                              {QStringLiteral("진입가 · 연속"), 92}, {QStringLiteral("진입 후"), 72},
                              {QStringLiteral("전일比량"), 76}, {QStringLiteral("동시간比"), 80}});
        v->addWidget(gSig, 1);
        v->addWidget(Strip(sig, 30));
    }
    QWidget* pnl = pcBM->AddPage(QStringLiteral("  당일손익  "));
    {
        auto* v = VBox(pnl);
        QWidget* s = Strip(pnl, 30);
        auto* b = MakeButton(s, QStringLiteral("새로고침"));
        Place(b, 6, 3, 80, 24);
        MakeLabel(s, 96, 8, QStringLiteral("실현손익 합계  —"), Colors::Flat, true);
        v->addWidget(s);
        gPnl = MakeGrid(pnl, {{QStringLiteral("종목"), 120}, {QStringLiteral("상태"), 90}, {QStringLiteral("매수량"), 64},
                              {QStringLiteral("매수평단"), 84}, {QStringLiteral("매도량"), 64},
                              {QStringLiteral("매도평단"), 84}, {QStringLiteral("실현손익"), 100},
                              {QStringLiteral("수익률"), 72}});
        v->addWidget(gPnl, 1);
    }
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
    int total = 0;
    for (int x : s)
        total += x;
    const int delta = h - s.last();
    s.last() = h;
    s[s.size() - 2] = qMax(Scaled(80), s[s.size() - 2] - delta);
    Q_UNUSED(total);
    to->setSizes(s);
    FLinking = false;
}
