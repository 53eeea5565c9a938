#include "app/market/QuoteFacet.h"

#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"

#include <QLabel>

TQuoteFacet::TQuoteFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

void TQuoteFacet::BuildHeader(QWidget* panel)
{
    lbOrdName = MakeLabel(panel, 8, 6, QStringLiteral("종목 없음"), Colors::Flat, true);
    lbOrdName->setFont(AppFont(10, true));
    lbOrdName->adjustSize();
    lbOrdPx = MakeLabel(panel, 8, 26, QString(), Colors::Flat, true);
    lbOrdPx->setFont(AppFont(16, true));
    lbOrdChg = MakeLabel(panel, 150, 38, QString());
    lbOrdVol = MakeLabel(panel, 200, 8, QString(), Colors::Flat, true);
    lbOrdOpen = MakeLabel(panel, 300, 38, QString(), Colors::Flat, true);
    // The buyback marker: shown by the lists when the stock has a candidate filing.
    lbOrdBuy = MakeLabel(panel, 400, 38, QString(), Colors::Flat, true);
    lbOrdBuy->hide();
}

void TQuoteFacet::ResetStock(const QString& code, const QString& name)
{
    FHoga = THogaData();
    FHoga.Code = code;
    FHoga.Name = name;
    FDay = TDayOHL();
    FPrevVol = 0;
}

void TQuoteFacet::SetName(const QString& name)
{
    FHoga.Name = name;
    UpdateQuoteHeader();
}

void TQuoteFacet::SetPrevVol(qint64 v)
{
    FPrevVol = v;
    UpdateQuoteHeader();
}

void TQuoteFacet::ReqPrice()
{
    const QString code = Ctx.FCode;
    Ctx.FQ->Add(QStringLiteral("t1101"), [this, code] {
        TXAQuery* q = Ctx.B.qPrice;
        if (!Ctx.SetQueryRes(q, QStringLiteral("t1101")))
            return;
        q->SetFieldData(QStringLiteral("t1101InBlock"), QStringLiteral("shcode"), 0, code);
        if (Ctx.Send(q, false, {code}) < 0)
            Log(QStringLiteral("!! t1101 현재가 요청 실패"));
    });
}

bool TQuoteFacet::OnPriceData()
{
    // A late answer for the stock shown before must not lend its prices to
    // this one's ladder.
    TXAQuery* q = Ctx.B.qPrice;
    const std::optional<TReqBind> bind = Ctx.Bound(q);
    if (!bind || bind->Code != Ctx.FCode)
        return false;
    const QString code = q->GetFieldData(QStringLiteral("t1101OutBlock"), QStringLiteral("shcode"), 0).trimmed();
    if (!code.isEmpty() && code != Ctx.FCode)
        return false;
    ApplyPriceAnswer(*q, FHoga, FDay);
    UpdateQuoteHeader();
    return true;
}

bool TQuoteFacet::OnTradeReal(TXAReal* r, TTradeRec* out)
{
    if (!ApplyTradeReal(*r, FHoga, FDay, out))
        return false;
    UpdateQuoteHeader();
    return true;
}

// A book record changes nothing the header shows.
bool TQuoteFacet::OnBookReal(TXAReal* r) { return ApplyBookReal(*r, FHoga); }

void TQuoteFacet::UpdateQuoteHeader() { FHeaderFrame.Request(); }

void TQuoteFacet::PaintHeader()
{
    if (!lbOrdName)
        return;
    const TQuoteHeader q = MakeQuoteHeader(FHoga, FDay, FPrevVol);
    auto set = [](QLabel* l, TLabelFit& fit, const QString& text, const QColor& c) {
        if (c.isValid() && l->palette().color(QPalette::WindowText) != c) {
            QPalette p = l->palette();
            p.setColor(QPalette::WindowText, c);
            l->setPalette(p);
        }
        if (l->text() != text)
            fit.SetText(l, text);
    };
    set(lbOrdName, FFits[0], q.Name, QColor());
    set(lbOrdPx, FFits[1], q.Px, q.PxColor);
    set(lbOrdChg, FFits[2], q.Chg, q.PxColor);
    set(lbOrdOpen, FFits[3], q.Open, q.OpenColor);
    set(lbOrdVol, FFits[4], q.Vol, q.VolColor);
    lbOrdVol->move(lbOrdName->x() + lbOrdName->width() + Scaled(20), lbOrdVol->y());
    if (q.Px.isEmpty())
        return;
    lbOrdChg->move(lbOrdPx->x() + lbOrdPx->width() + Scaled(12),
                   lbOrdPx->y() + lbOrdPx->height() - Scaled(3) - lbOrdChg->height());
    lbOrdOpen->move(lbOrdChg->x() + lbOrdChg->width() + Scaled(16), lbOrdChg->y());
}
