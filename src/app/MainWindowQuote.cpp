// The current stock: choosing it, its quote and its live feeds.
#include "app/MainWindow.h"
#include "app/trading/OrderFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/market/TickFacet.h"
#include "app/market/DailyFacet.h"
#include "app/chart/ChartFacet.h"
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
    Charts->ResetStock(Ctx().FLogged);
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
    Charts->StartMinBars();
    Charts->ReqDay();
    Prog->ReqProg(false, false);
    Account->ReqFills();
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
