// The current stock: choosing it, its quote and its live feeds.
#include "app/MainWindow.h"
#include "app/trading/OrderFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/UiKit.h"
#include "chart/CandleChart.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <cmath>

#include "app/DailyGridModel.h"
#include "app/TickModel.h"
#include "app/UiKit.h"
#include "chart/MinuteBars.h"

#include "core/NumFmt.h"
#include "market/StockSearch.h"
#include "trading/LadderScroll.h"
#include "trading/LadderView.h"
#include "app/market/ProgFacet.h"
#include "app/market/StockFacet.h"
#include "app/market/QuoteFacet.h"

void TfrmMain::SelectStock(const QString& code)
{
    if (code.isEmpty())
        return;
    Stock->AddRecent(code);
    if (!Ctx().FCode.isEmpty() && Ctx().FLogged)
        for (TXAReal* r : {Ctx().B.rS3, Ctx().B.rK3, Ctx().B.rH1, Ctx().B.rHA})
            r->UnadviseRealDataWithKey(Ctx().FCode);
    Ctx().FCode = code;
    const QString name = Ctx().NameOf(code);
    Quote->ResetStock(code, name);
    Order->vLadder->SetDayMarks(0, 0, 0, 0);
    Order->vLadder->SetData(Quote->FHoga);
    Order->FLadScroll->BuildLadderTicks();  // no price list until the new stock's quote
    ResetTicks();
    RebuildDaily({});
    Prog->ResetStock();
    chDay->Model().Clear();
    chMin->Model().Clear();
    chDay->Model().SetExtVwap(0);
    UpdateChartTitles();
    if (Ctx().FLogged) {
        chMin->Model().SetFills({});
        chDay->Model().SetPrevClose(0);
        chMin->Model().SetPrevClose(0);
        FMinTries = 0;
        FMinRetryAt = 0;
    }
    Quote->UpdateQuoteHeader();
    Account->PushMyOrders();
    Account->UpdateCancelButtons();
    Account->ApplyHold();
    Stock->SetCodeText(name);
    Order->edPrice->setText(QStringLiteral("0"));
    if (!Ctx().FLogged) {
        Log(name + QStringLiteral(" — 로그인하면 불러옵니다"));
        return;
    }
    for (auto [feed, tr] : {std::pair{Ctx().B.rS3, "S3_"}, {Ctx().B.rK3, "K3_"}, {Ctx().B.rH1, "H1_"}, {Ctx().B.rHA, "HA_"}}) {
        Ctx().SetRealRes(feed, QString::fromLatin1(tr));
        feed->SetFieldData(QStringLiteral("InBlock"), QStringLiteral("shcode"), code);
        feed->AdviseRealData();
    }
    for (const char* tr : {"t1101", "t8410", "t8412", "t1637", "t1301"})
        Ctx().FQ->ClearTr(QString::fromLatin1(tr));
    Quote->ReqPrice();
    ReqTicks(false);
    StartMinBars();
    ReqDay();
    Prog->ReqProg(false, false);
    Account->ReqFills();
}

// ---- day bars and the daily table ----

// One t8410 request of the current stock: "2" day, "3" week, "4" month bars.
void TfrmMain::QueueDayBars(TXAQuery* q, const QString& gubun, const QString& failText)
{
    const QString code = Ctx().FCode;
    const QString today = Today();
    Ctx().FQ->Add(QStringLiteral("t8410"), [this, q, code, gubun, today, failText] {
        if (!Ctx().SetQueryRes(q, QStringLiteral("t8410")))
            return;
        const QString b = QStringLiteral("t8410InBlock");
        q->SetFieldData(b, QStringLiteral("shcode"), 0, code);
        q->SetFieldData(b, QStringLiteral("gubun"), 0, gubun);
        q->SetFieldData(b, QStringLiteral("qrycnt"), 0, QStringLiteral("500"));
        q->SetFieldData(b, QStringLiteral("sdate"), 0, QString());
        q->SetFieldData(b, QStringLiteral("edate"), 0, today);
        q->SetFieldData(b, QStringLiteral("cts_date"), 0, QString());
        q->SetFieldData(b, QStringLiteral("comp_yn"), 0, QStringLiteral("N"));
        q->SetFieldData(b, QStringLiteral("sujung"), 0, QStringLiteral("Y"));
        if (q->Request(false) < 0)
            Log(failText);
    });
}

// The bars of a t8410 answer; `value` adds the trading value (millions of won).
QVector<TBar> TfrmMain::ReadDayBars(TXAQuery* q, bool value) const
{
    const QString b = QStringLiteral("t8410OutBlock1");
    QVector<TBar> bars;
    for (int i = 0, n = q->GetBlockCount(b); i < n; ++i) {
        auto get = [&](const char* f) { return q->GetFieldData(b, QString::fromLatin1(f), i); };
        TBar bar;
        bar.D = get("date").trimmed();
        bar.O = ParseNum(get("open"));
        bar.H = ParseNum(get("high"));
        bar.L = ParseNum(get("low"));
        bar.C = ParseNum(get("close"));
        bar.V = qRound64(ParseNum(get("jdiff_vol")));
        if (value)
            bar.PV = ParseNum(get("value")) * 1000000.0;
        bars.append(bar);
    }
    return bars;
}

void TfrmMain::ReqDayW()
{
    if (!Ctx().FLogged || Ctx().FCode.isEmpty() || FDayPer < 1)
        return;
    QueueDayBars(Ctx().B.qDayW, FDayPer == 1 ? QStringLiteral("3") : QStringLiteral("4"),
                 QStringLiteral("!! t8410 주봉 · 월봉 요청 실패"));
}

void TfrmMain::OnDayWData()
{
    if (FDayPer == 0)
        return;
    chDay->Model().SetBars(SortBars(ReadDayBars(Ctx().B.qDayW, false)));
    LoadDraws(chDay);
}

void TfrmMain::ReqDay()
{
    if (!Ctx().FLogged || Ctx().FCode.isEmpty())
        return;
    QueueDayBars(Ctx().B.qDay, QStringLiteral("2"), QStringLiteral("!! t8410 일봉 요청 실패"));
    if (FDayPer > 0)
        ReqDayW();
}

void TfrmMain::OnDayData()
{
    const QString today = Today();
    QVector<TBar> bars;
    for (const TBar& bar : ReadDayBars(Ctx().B.qDay, true))
        if (!(bar.D == today && bar.V == 0))  // today's empty bar before the open
            bars.append(bar);
    bars = SortBars(bars);
    if (FDayPer == 0) {
        chDay->Model().SetBars(bars);
        LoadDraws(chDay);
    }
    RebuildDaily(bars);
    qint64 prevVol = 0;
    if (!bars.isEmpty()) {
        if (bars.last().D != today)
            prevVol = bars.last().V;
        else if (bars.size() >= 2)
            prevVol = bars[bars.size() - 2].V;
    }
    Quote->SetPrevVol(prevVol);
}

void TfrmMain::RebuildDaily(const QVector<TBar>& asc)
{
    FDaily.Rebuild(asc, Ctx().Clock().Now().toString(QStringLiteral("yyyyMMdd")));
    FDailyModel->Sel = -1;
    FDailyModel->Reset();
    gDaily->scrollToTop();
    lbDailyAvg->setText(FDaily.Summary());
    lbDailyAvg->adjustSize();
    const QFontMetrics fm(AppFont(9, true));
    const QStringList samples = FDaily.WidthSamples();
    for (int c = 0; c < 6; ++c) {
        const QString cap = FDailyModel->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        gDaily->setColumnWidth(c, qMax(fm.horizontalAdvance(cap) + Scaled(12),
                                       fm.horizontalAdvance(samples.value(c)) + Scaled(18)));
    }
}

// ---- ticks ----

void TfrmMain::ResetTicks()
{
    FTicks.Clear();
    FTickCts.clear();
    FTickMore = FTickBusy = false;
    FTickModel->ClearSel();
    FTickModel->PrevClose = 0;
    FTickModel->Reset();
    gTick->scrollToTop();
    Order->vLadder->ClearTk();
    ShowTickSums();
}

void TfrmMain::ShowTickSums()
{
    lbTkFrom->setText(FTicks.SumsLabel());
    lbTkFrom->adjustSize();
}

void TfrmMain::ReqTicks(bool next)
{
    if (!Ctx().FLogged || Ctx().FCode.isEmpty())
        return;
    const QString code = Ctx().FCode;
    const QString cts = next ? FTickCts : QString();
    FTickBusy = true;
    Ctx().FQ->Add(QStringLiteral("t1301"), [this, code, cts, next] {
        if (!Ctx().SetQueryRes(Ctx().B.qTick, QStringLiteral("t1301"))) {
            FTickBusy = false;
            return;
        }
        const QString b = QStringLiteral("t1301InBlock");
        Ctx().B.qTick->SetFieldData(b, QStringLiteral("shcode"), 0, code);
        Ctx().B.qTick->SetFieldData(b, QStringLiteral("cvolume"), 0, QString());
        Ctx().B.qTick->SetFieldData(b, QStringLiteral("starttime"), 0, QString());
        Ctx().B.qTick->SetFieldData(b, QStringLiteral("endtime"), 0, QString());
        Ctx().B.qTick->SetFieldData(b, QStringLiteral("cts_time"), 0, cts);
        FTickNext = next;
        if (Ctx().B.qTick->Request(next) < 0) {
            Log(QStringLiteral("!! t1301 체결내역 요청 실패"));
            FTickBusy = false;
        }
    });
}

void TfrmMain::OnTickData()
{
    FTickBusy = false;
    if (FTickFld.isEmpty())
        FTickFld = LoadResFields(Ctx().FCfg.ResPath + QStringLiteral("t1301.res"), QStringLiteral("t1301OutBlock1"));
    const QString ask = FindField(FTickFld, {QStringLiteral("매도호가")}, QStringLiteral("offerho"));
    const QString bid = FindField(FTickFld, {QStringLiteral("매수호가")}, QStringLiteral("bidho"));
    const QString ms = FindField(FTickFld, {QStringLiteral("매수체결수량"), QStringLiteral("매수체결량"),
                                            QStringLiteral("매수누적체결량")}, QStringLiteral("msvolume"));
    const QString md = FindField(FTickFld, {QStringLiteral("매도체결수량"), QStringLiteral("매도체결량"),
                                            QStringLiteral("매도누적체결량")}, QStringLiteral("mdvolume"));
    const QString b = QStringLiteral("t1301OutBlock1");
    const int n = Ctx().B.qTick->GetBlockCount(b);
    FTickCts = Ctx().B.qTick->GetFieldData(QStringLiteral("t1301OutBlock"), QStringLiteral("cts_time"), 0).trimmed();
    FTickMore = n > 0 && !FTickCts.isEmpty();
    QVector<TTickRec> recs;
    recs.reserve(n);
    for (int i = 0; i < n; ++i) {
        TTickRec r;
        r.Chetime = Ctx().B.qTick->GetFieldData(b, QStringLiteral("chetime"), i);
        r.Price = int(ParseInt(Ctx().B.qTick->GetFieldData(b, QStringLiteral("price"), i)));
        r.CVolume = ParseInt(Ctx().B.qTick->GetFieldData(b, QStringLiteral("cvolume"), i));
        r.Ask = int(ParseInt(Ctx().B.qTick->GetFieldData(b, ask, i)));
        r.Bid = int(ParseInt(Ctx().B.qTick->GetFieldData(b, bid, i)));
        r.Ms = ParseInt(Ctx().B.qTick->GetFieldData(b, ms, i));
        r.Md = ParseInt(Ctx().B.qTick->GetFieldData(b, md, i));
        recs.append(r);
    }
    if (!FTickNext)
        FTickModel->ClearSel();
    FTicks.ApplyPage(recs, !FTickNext);
    // A full list takes no older pages: their rows would be dropped.
    if (FTicks.Count() >= kMaxTicks)
        FTickMore = false;
    Order->vLadder->ClearTk();
    FTicks.RebuildSums([this](int sd, int p, qint64 v) { Order->vLadder->AddTk(sd, p, v); });
    Order->vLadder->update();
    ShowTickSums();
    FTickModel->PrevClose = Quote->FHoga.PrevClose;
    FTickModel->Reset();
    if (!FTickNext)
        gTick->scrollToTop();
    FitTickColumns();
    const int visible = gTick->viewport()->height() / qMax(1, gTick->verticalHeader()->defaultSectionSize());
    if (FTickMore && !FTickBusy && FTicks.Count() < visible + 10)
        ReqTicks(true);
}

void TfrmMain::ReloadTicks()
{
    if (!Ctx().FLogged || Ctx().FCode.isEmpty())
        return;
    Ctx().FQ->ClearTr(QStringLiteral("t1301"));
    ResetTicks();
    ReqTicks(false);
    Log(QStringLiteral("체결 새로 받음 — 사다리 체결 합계 처음부터"));
}

// The quote answer, and what it sets on the ladder, the ticks and the charts.
void TfrmMain::OnPriceData()
{
    if (!Quote->OnPriceData())
        return;
    const THogaData& h = Quote->FHoga;
    const TDayOHL& d = Quote->FDay;
    Order->vLadder->SetData(h);
    Order->vLadder->SetDayMarks(d.Open, d.High, d.Low, chMin->Model().TodayVwap(Today()));
    FTickModel->PrevClose = h.PrevClose;
    chDay->Model().SetPrevClose(h.PrevClose);
    chMin->Model().SetPrevClose(h.PrevClose);
    Order->FLadScroll->BuildLadderTicks();
    Order->vLadder->Recenter();
    if (ParseInt(Order->edPrice->text()) <= 0)
        Order->edPrice->setText(QString::number(h.Price));
}

void TfrmMain::OnTradeReal(TXAReal* r)
{
    TTradeRec t;
    if (!Quote->OnTradeReal(r, &t))
        return;
    const TDayOHL& d = Quote->FDay;
    Order->vLadder->SetData(Quote->FHoga);
    const QString today = Today();
    chMin->Model().Tick(today, t.Time, t.Price, t.Open, t.High, t.Low, t.Volume, t.CVolume);
    chDay->Model().Tick(today, t.Time, t.Price, t.Open, t.High, t.Low, t.Volume, t.CVolume);
    const double vwap = chMin->Model().TodayVwap(today);
    chDay->Model().SetExtVwap(vwap);
    Order->vLadder->SetDayMarks(d.Open, d.High, d.Low, vwap);
    // The tick list and the ladder's tick sums.
    const int counted = FTicks.SumCount();
    const int top = gTick->rowAt(0);
    FTickModel->InsertOnTop([&] {
        FTicks.AddReal(t.Time, t.Price, t.CVolume, QString(QLatin1Char(t.Side ? t.Side : ' ')),
                       [this](int sd, int p, qint64 v) { Order->vLadder->AddTk(sd, p, v); });
    });
    if (FTicks.SumCount() != counted)
        ShowTickSums();
    Order->vLadder->update();
    if (top > 0)
        gTick->scrollTo(FTickModel->index(top + 1, 0), QAbstractItemView::PositionAtTop);
}

// The tick columns grow (never below their initial widths) to fit a time, a
// price up to 1.3 x the larger of the previous close and the current price,
// a change in percent and the largest volume among the newest 3,000 ticks.
void TfrmMain::FitTickColumns()
{
    qint64 maxVol = 0;
    const QVector<TTickRow>& rows = FTicks.Rows();
    for (int i = 0; i < rows.size() && i < 3000; ++i)
        maxVol = std::max(maxVol, rows[i].V);
    const double top = 1.3 * std::max(Quote->FHoga.PrevClose, Quote->FHoga.Price);
    const QString samples[4] = {QStringLiteral("00:00:00"), FmtNum(std::round(top)),
                                QStringLiteral("+00.00%"), FmtNum(double(maxVol))};
    const QVector<TColumn>& cols = TTickModel::Columns();
    const QFontMetrics fm(gTick->font());
    for (int c = 0; c < cols.size() && c < 4; ++c)
        gTick->setColumnWidth(c, std::max(Scaled(cols[c].Width), fm.horizontalAdvance(samples[c]) + Scaled(6 + 8 + 4)));
}
