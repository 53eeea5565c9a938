// The sequences that span the parts of the window around the current stock:
// changing it, its quote, its trades and book, its day bars and the master.
#include "app/MainWindow.h"
#include "app/lists/ListsFacet.h"
#include "app/news/NewsFacet.h"
#include "app/signals/LumenFacet.h"
#include "app/signals/SignalFacet.h"
#include "app/chart/ChartFacet.h"
#include "app/market/DailyFacet.h"
#include "app/market/ProgFacet.h"
#include "app/market/QuoteFacet.h"
#include "app/market/StockFacet.h"
#include "app/market/TickFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/trading/OrderFacet.h"
#include "app/trading/AutoSellFacet.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "chart/ChartModel.h"
#include "core/NumFmt.h"
#include "trading/LadderScroll.h"
#include "trading/LadderView.h"

#include <QLineEdit>

void TfrmMain::SelectStock(const QString& code)
{
    if (code.isEmpty())
        return;
    const TBrokerObjects& b = Ctx().B;
    Stock->AddRecent(code);
    if (code != Ctx().FCode)
        AutoSell->OnStockChanged();
    if (!Ctx().FCode.isEmpty() && Ctx().FLogged)
        for (TXAReal* r : {b.rS3, b.rK3, b.rH1, b.rHA})
            r->UnadviseRealDataWithKey(Ctx().FCode);
    Ctx().FCode = code;
    const QString name = Ctx().NameOf(code);
    // The quote, the ladder's day marks and book.
    Quote->ResetStock(code, name);
    Order->vLadder->SetDayMarks(0, 0, 0, 0);
    Quote->UpdateQuoteHeader();
    Order->vLadder->SetData(Quote->FHoga);
    Order->FLadScroll->BuildLadderTicks();  // no price list until the new stock's quote
    // My orders, the cancel buttons, the holding.
    Account->PushMyOrders();
    Account->UpdateCancelButtons();
    Account->ApplyHold();
    // Both charts and the daily table; chart titles.
    Charts->ResetStock();
    Daily->RebuildDaily({});
    // Ticks and program trading.
    Ticks->ResetTicks();
    Prog->ResetStock();
    Stock->SetCodeText(name);
    Order->edPrice->setText(QStringLiteral("0"));
    // The stock's headlines; no article stays highlighted.
    News->CloseNewsBody();
    News->ClearNewsMark();
    News->RebuildNewsView();
    News->RebuildFeatView();
    // The stock's signal marks and its per-minute series.
    Signals->OnStockChanged();
    Lumen->OnStockChanged();
    // The broker top five and the buyback marker of the new stock.
    Lists->OnStockChanged();
    if (!Ctx().FLogged) {
        Log(name + QStringLiteral(" — 로그인하면 불러옵니다"));
        return;
    }
    for (auto [feed, tr] : {std::pair{b.rS3, "S3_"}, {b.rK3, "K3_"}, {b.rH1, "H1_"}, {b.rHA, "HA_"}}) {
        Ctx().SetRealRes(feed, QString::fromLatin1(tr));
        feed->SetFieldData(QStringLiteral("InBlock"), QStringLiteral("shcode"), code);
        feed->AdviseRealData();
    }
    for (const char* tr : {"t1101", "t8410", "t8412", "t1637", "t1301"})
        Ctx().FQ->ClearTr(QString::fromLatin1(tr));
    Charts->ResetLoggedIn();
    Quote->ReqPrice();
    Ticks->ReqTicks(false);
    Charts->StartMinBars();
    Charts->ReqDay();
    Prog->ReqProg(false, false);
    Account->ReqFills();
}

// The master arrived: names everywhere a stock's name shows.
void TfrmMain::OnMasterData()
{
    Stock->OnMasterData();
    // Headlines name their stocks, and hot words count them, by the master.
    News->RebuildAll();
    // The market lists take only codes the master knows, by its names.
    Lists->OnMasterData();
    if (Ctx().FCode.isEmpty())
        return;
    Quote->SetName(Ctx().NameOf(Ctx().FCode));
    Charts->UpdateChartTitles();
}

// The quote answer, and what it sets on the ladder, the ticks and the charts.
void TfrmMain::OnPriceData()
{
    if (!Quote->OnPriceData())
        return;
    const THogaData& h = Quote->FHoga;
    const TDayOHL& d = Quote->FDay;
    Order->vLadder->SetData(h);
    Order->vLadder->SetDayMarks(d.Open, d.High, d.Low, Charts->MinChart().TodayVwap(Ctx().Today()));
    Ticks->SetPrevClose(h.PrevClose);
    Charts->DayChart().SetPrevClose(h.PrevClose);
    Charts->MinChart().SetPrevClose(h.PrevClose);
    Order->FLadScroll->BuildLadderTicks();
    Order->vLadder->Recenter();
    if (ParseInt(Order->edPrice->text()) <= 0)
        Order->edPrice->setText(QString::number(h.Price));
}

// The day bars: the day chart, the daily table and the header's previous volume.
void TfrmMain::OnDayData()
{
    const auto bars = Charts->OnDayData();
    if (!bars)
        return;
    Daily->RebuildDaily(*bars);
    Quote->SetPrevVol(TChartFacet::PrevVolOf(*bars, Ctx().Today()));
}

// A trade of the current stock: the quote, the ladder, both charts and the ticks.
void TfrmMain::OnTradeReal(TXAReal* r)
{
    TTradeRec t;
    if (!Quote->OnTradeReal(r, &t))
        return;
    const TDayOHL& d = Quote->FDay;
    Order->vLadder->SetData(Quote->FHoga);
    const double vwap = Charts->OnTrade(t);
    Order->vLadder->SetDayMarks(d.Open, d.High, d.Low, vwap);
    Ticks->AddTrade(t);
}

void TfrmMain::OnBookReal(TXAReal* r)
{
    if (Quote->OnBookReal(r))
        Order->vLadder->SetData(Quote->FHoga);
}
