// The current stock: choosing it, its quote and its live feeds.
#include "app/MainWindow.h"
#include "app/trading/OrderFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/market/TickFacet.h"
#include "app/market/DailyFacet.h"
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
    Ticks->ResetTicks();
    Daily->RebuildDaily({});
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
    Ticks->ReqTicks(false);
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
    Daily->RebuildDaily(bars);
    qint64 prevVol = 0;
    if (!bars.isEmpty()) {
        if (bars.last().D != today)
            prevVol = bars.last().V;
        else if (bars.size() >= 2)
            prevVol = bars[bars.size() - 2].V;
    }
    Quote->SetPrevVol(prevVol);
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
    Ticks->SetPrevClose(h.PrevClose);
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
    Ticks->AddTrade(t);
}
