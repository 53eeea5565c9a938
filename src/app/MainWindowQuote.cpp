// The current stock: choosing it, its quote and its live feeds.
#include "app/MainWindow.h"
#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"

#include <QLabel>
#include <QLineEdit>

#include "core/NumFmt.h"
#include "market/StockSearch.h"
#include "trading/LadderScroll.h"
#include "trading/LadderView.h"

void TfrmMain::SelectStock(const QString& code)
{
    if (code.isEmpty())
        return;
    AddRecent(FRecent, code);
    if (!FCode.isEmpty() && FLogged)
        for (TXAReal* r : {rS3, rK3, rH1, rHA})
            r->UnadviseRealDataWithKey(FCode);
    FCode = code;
    const QString name = NameOf(code);
    FHoga = THogaData();
    FHoga.Code = code;
    FHoga.Name = name;
    FDay = TDayOHL();
    FPrevVol = 0;
    vLadder->SetDayMarks(0, 0, 0, 0);
    vLadder->SetData(FHoga);
    vLadder->ClearTk();
    UpdateQuoteHeader();
    PushMyOrders();
    UpdateCancelButtons();
    ApplyHold();
    SetCodeText(name);
    edPrice->setText(QStringLiteral("0"));
    if (!FLogged) {
        Log(name + QStringLiteral(" — 로그인하면 불러옵니다"));
        return;
    }
    for (auto [feed, tr] : {std::pair{rS3, "S3_"}, {rK3, "K3_"}, {rH1, "H1_"}, {rHA, "HA_"}}) {
        SetRealRes(feed, QString::fromLatin1(tr));
        feed->SetFieldData(QStringLiteral("InBlock"), QStringLiteral("shcode"), code);
        feed->AdviseRealData();
    }
    for (const char* tr : {"t1101", "t8410", "t8412", "t1637", "t1301"})
        FQ->ClearTr(QString::fromLatin1(tr));
    ReqPrice();
    ReqFills();
}

// The current stock's unfilled orders on the ladder.
void TfrmMain::PushMyOrders()
{
    vLadder->ClearMy();
    for (const TMicheRow& r : FMiche)
        if (r.Code == FCode)
            vLadder->AddMy(r.Side, r.Price, r.Rem);
}

// The current stock's holding and the fee, to the ladder and the charts.
void TfrmMain::ApplyHold()
{
    const double fee = ReadFee(edFee->text());
    auto it = FHolds.constFind(FCode);
    if (it != FHolds.constEnd())
        vLadder->SetHold(it->Qty, it->Avg, fee);
    else
        vLadder->SetHold(0, 0, fee);
}

void TfrmMain::ReqPrice()
{
    const QString code = FCode;
    FQ->Add(QStringLiteral("t1101"), [this, code] {
        if (!SetQueryRes(qPrice, QStringLiteral("t1101")))
            return;
        qPrice->SetFieldData(QStringLiteral("t1101InBlock"), QStringLiteral("shcode"), 0, code);
        if (qPrice->Request(false) < 0)
            Log(QStringLiteral("!! t1101 현재가 요청 실패"));
    });
}

void TfrmMain::OnPriceData()
{
    ApplyPriceAnswer(*qPrice, FHoga, FDay);
    UpdateQuoteHeader();
    vLadder->SetData(FHoga);
    vLadder->SetDayMarks(FDay.Open, FDay.High, FDay.Low, 0);
    FLadScroll->BuildLadderTicks();
    vLadder->Recenter();
    if (ParseInt(edPrice->text()) <= 0)
        edPrice->setText(QString::number(FHoga.Price));
}

void TfrmMain::OnTradeReal(TXAReal* r)
{
    TTradeRec t;
    if (!ApplyTradeReal(*r, FHoga, FDay, &t))
        return;
    UpdateQuoteHeader();
    vLadder->SetData(FHoga);
    vLadder->SetDayMarks(FDay.Open, FDay.High, FDay.Low, 0);
    if (t.Side)
        vLadder->AddTk(t.Side == '+' ? 1 : 2, t.Price, t.CVolume);
    vLadder->update();
}

void TfrmMain::OnBookReal(TXAReal* r)
{
    if (ApplyBookReal(*r, FHoga)) {
        UpdateQuoteHeader();
        vLadder->SetData(FHoga);
    }
}

void TfrmMain::UpdateQuoteHeader()
{
    const TQuoteHeader q = MakeQuoteHeader(FHoga, FDay, FPrevVol);
    auto set = [](QLabel* l, const QString& text, const QColor& c) {
        l->setText(text);
        if (c.isValid()) {
            QPalette p = l->palette();
            p.setColor(QPalette::WindowText, c);
            l->setPalette(p);
        }
        l->adjustSize();
    };
    set(lbOrdName, q.Name, QColor());
    set(lbOrdPx, q.Px, q.PxColor);
    set(lbOrdChg, q.Chg, q.PxColor);
    set(lbOrdOpen, q.Open, q.OpenColor);
    set(lbOrdVol, q.Vol, q.VolColor);
    lbOrdVol->move(lbOrdName->x() + lbOrdName->width() + Scaled(20), lbOrdVol->y());
    if (q.Px.isEmpty())
        return;
    lbOrdChg->move(lbOrdPx->x() + lbOrdPx->width() + Scaled(12),
                   lbOrdPx->y() + lbOrdPx->height() - Scaled(3) - lbOrdChg->height());
    lbOrdOpen->move(lbOrdChg->x() + lbOrdChg->width() + Scaled(16), lbOrdChg->y());
}
