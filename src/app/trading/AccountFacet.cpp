#include "app/trading/AccountFacet.h"

#include "app/UiKit.h"
#include "app/trading/OrderFacet.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "chart/ChartModel.h"
#include "core/NumFmt.h"
#include "core/Sound.h"
#include "trading/LadderView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
void SetCell(QTableWidget* g, int row, int col, const QString& text, Qt::Alignment align = Qt::AlignLeft)
{
    auto* item = g->item(row, col);
    if (!item) {
        item = new QTableWidgetItem;
        g->setItem(row, col, item);
    }
    item->setText(text);
    item->setTextAlignment(align | Qt::AlignVCenter);
}

// Header plus rows; at least one data row, blank when there is nothing.
void SetRows(QTableWidget* g, int n)
{
    g->setRowCount(qMax(1, n));
    if (n == 0)
        for (int c = 0; c < g->columnCount(); ++c)
            SetCell(g, 0, c, QString());
}

}

TAccountFacet::TAccountFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent)
{
    FMicheTimer.setInterval(15000);
    connect(&FMicheTimer, &QTimer::timeout, this, [this] {
        if (Ctx.FLogged)
            ReqMiche();
    });
    FMicheTimer.start();
}

void TAccountFacet::BuildCancelButtons(QWidget* area, QVBoxLayout* v)
{
    pnlLadBot = MakePanel(area);
    pnlLadBot->setFixedHeight(Scaled(36));
    auto* bh = new QHBoxLayout(pnlLadBot);
    bh->setContentsMargins(0, 0, 0, 0);
    bh->setSpacing(0);
    btnSellCxl = new TColorButton(QStringLiteral("매도 전체취소"), Colors::Fall, 10, pnlLadBot);
    btnBuyCxl = new TColorButton(QStringLiteral("매수 전체취소"), Colors::Rise, 10, pnlLadBot);
    bh->addWidget(btnSellCxl, 1);
    bh->addWidget(btnBuyCxl, 1);
    v->addWidget(pnlLadBot);
    btnSellCxl->OnClick = [this] { CancelSide(QStringLiteral("1")); };
    btnBuyCxl->OnClick = [this] { CancelSide(QStringLiteral("2")); };
}

void TAccountFacet::BuildPages(TTabSet* tabs)
{
    pcBM = tabs;
    QWidget* bal = tabs->AddPage(QStringLiteral("  잔고  "));
    {
        auto* v = VBox(bal);
        QWidget* s = MakeStrip(bal, 30, QColor(248, 248, 248));
        MakeLabel(s, 6, 8, QStringLiteral("클릭 = 종목 열기"));
        btnBal = MakeButton(s, QStringLiteral("새로고침"));
        Place(btnBal, 120, 3, 80, 24);
        v->addWidget(s);
        gBal = MakeGrid(bal, {{QStringLiteral("코드"), 64}, {QStringLiteral("종목명"), 130}, {QStringLiteral("수량"), 64},
                              {QStringLiteral("평균가"), 84}, {QStringLiteral("현재가"), 84},
                              {QStringLiteral("평가손익"), 100}, {QStringLiteral("수익률"), 70}});
        v->addWidget(gBal, 1);
    }
    QWidget* miche = tabs->AddPage(QStringLiteral("  미체결  "));
    {
        auto* v = VBox(miche);
        QWidget* s = MakeStrip(miche, 30, QColor(248, 248, 248));
        MakeLabel(s, 6, 8, QStringLiteral("클릭 = 종목 열기 · 더블클릭 = 그 주문 취소"));
        v->addWidget(s);
        gMiche = MakeGrid(miche, {{QStringLiteral("종목"), 130}, {QStringLiteral("구분"), 56}, {QStringLiteral("가격"), 90},
                                  {QStringLiteral("잔량"), 70}, {QStringLiteral("주문번호"), 90}});
        v->addWidget(gMiche, 1);
    }
    connect(btnBal, &QPushButton::clicked, this, [this] {
        if (Ctx.FLogged)
            ReqBal();
    });
    connect(gBal, &QTableWidget::cellClicked, this, [this](int row, int) { OnBalClick(row); });
    connect(gMiche, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (row >= 0 && row < FMiche.size() && FMiche[row].Code != Ctx.FCode && OnSelectStock)
            OnSelectStock(FMiche[row].Code);
    });
    connect(gMiche, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row >= 0 && row < FMiche.size())
            CancelRows({FMiche[row]});
    });
}

// The current stock's unfilled orders on the ladder.
void TAccountFacet::PushMyOrders()
{
    TLadderView* lad = Order->vLadder;
    lad->ClearMy();
    for (const TMicheRow& r : FMiche)
        if (r.Code == Ctx.FCode)
            lad->AddMy(r.Side, r.Price, r.Rem);
}

// The current stock's holding and the fee, to the ladder and the charts.
void TAccountFacet::ApplyHold()
{
    auto it = FHolds.constFind(Ctx.FCode);
    const qint64 qty = it != FHolds.constEnd() ? it->Qty : 0;
    const double avg = it != FHolds.constEnd() ? it->Avg : 0;
    Order->vLadder->SetHold(qty, avg, Order->Fee());
    if (MinChart)
        MinChart->SetAvg(avg, qty);
    if (DayChart)
        DayChart->SetAvg(avg, qty);
}

void TAccountFacet::OnFillReal(TXAReal* r)
{
    const QString b = QStringLiteral("OutBlock");
    Log(QStringLiteral("체결 %1 %2주 @ %3")
            .arg(r->GetFieldData(b, QStringLiteral("Isunm")).trimmed(), r->GetFieldData(b, QStringLiteral("execqty")),
                 r->GetFieldData(b, QStringLiteral("execprc"))));
    if (OnFillEvent)
        OnFillEvent(r);
    FAcctDirty = true;
    FAcctDirtyAt = Ctx.Clock().TickMs();
    ReqMiche();
}

void TAccountFacet::SecondTick()
{
    if (Ctx.FLogged && FAcctDirty && Ctx.Clock().TickMs() - FAcctDirtyAt >= 2000) {
        FAcctDirty = false;
        Ctx.FQ->ClearTr(QStringLiteral("CSPAQ12300"));
        ReqBal();
        ReqFills();
        if (OnAcctRefresh)
            OnAcctRefresh();
    }
}

// ---- unfilled orders ----

void TAccountFacet::ReqMiche()
{
    if (!Ctx.FLogged)
        return;
    Ctx.FQ->ClearTr(QStringLiteral("t0425"));
    Ctx.FQ->Add(QStringLiteral("t0425"), [this] {
        if (!Ctx.SetQueryRes(Ctx.B.qMiche, QStringLiteral("t0425")))
            return;
        const QString b = QStringLiteral("t0425InBlock");
        Ctx.B.qMiche->SetFieldData(b, QStringLiteral("accno"), 0, Ctx.FCfg.Acno);
        Ctx.B.qMiche->SetFieldData(b, QStringLiteral("passwd"), 0, Ctx.FCfg.AcPw);
        Ctx.B.qMiche->SetFieldData(b, QStringLiteral("expcode"), 0, QString());
        Ctx.B.qMiche->SetFieldData(b, QStringLiteral("chegb"), 0, QStringLiteral("2"));
        Ctx.B.qMiche->SetFieldData(b, QStringLiteral("medosu"), 0, QStringLiteral("0"));
        Ctx.B.qMiche->SetFieldData(b, QStringLiteral("sortgb"), 0, QStringLiteral("1"));
        Ctx.B.qMiche->SetFieldData(b, QStringLiteral("cts_ordno"), 0, QString());
        if (Ctx.Send(Ctx.B.qMiche, false, {QString(), 0, ++FMicheSent}) < 0)
            Log(QStringLiteral("!! 미체결 조회 실패"));
    });
}

// Account-wide answers come in the order they were asked; one older than
// what is shown would bring back orders already gone.
bool TAccountFacet::Newer(TXAQuery* q, quint64& applied) const
{
    const std::optional<TReqBind> bind = Ctx.Bound(q);
    if (!bind || bind->Run <= applied)
        return false;
    applied = bind->Run;
    return true;
}

void TAccountFacet::OnMicheData()
{
    if (!Newer(Ctx.B.qMiche, FMicheShown))
        return;
    FMiche = ParseMiche(*Ctx.B.qMiche, [this](const QString& c) { return Ctx.NameOf(c); });
    if (OnMicheApplied)
        OnMicheApplied(FMicheShown);
    if (pcBM)
        pcBM->setTabText(pcBM->indexOf(gMiche->parentWidget()), MicheTabCaption(FMiche.size()));
    SetRows(gMiche, FMiche.size());
    for (int i = 0; i < FMiche.size(); ++i) {
        const TMicheRow& r = FMiche[i];
        SetCell(gMiche, i, 0, r.Name);
        SetCell(gMiche, i, 1, r.Side == QStringLiteral("2") ? QStringLiteral("매수") : QStringLiteral("매도"));
        SetCell(gMiche, i, 2, FmtNum(r.Price), Qt::AlignRight);
        SetCell(gMiche, i, 3, FmtNum(r.Rem), Qt::AlignRight);
        SetCell(gMiche, i, 4, r.OrdNo);
    }
    PushMyOrders();
    UpdateCancelButtons();
}

void TAccountFacet::UpdateCancelButtons()
{
    const auto caps = CancelButtonCaptions(FMiche, Ctx.FCode);
    btnSellCxl->setText(caps.first);
    btnBuyCxl->setText(caps.second);
}

void TAccountFacet::CancelSide(const QString& side)
{
    const QVector<TMicheRow> rows = MicheRowsOf(FMiche, Ctx.FCode, side);
    if (rows.isEmpty()) {
        Log(side == QStringLiteral("1") ? QStringLiteral("이 종목 매도 미체결 없음")
                                        : QStringLiteral("이 종목 매수 미체결 없음"));
        return;
    }
    CancelRows(rows);
}

void TAccountFacet::CancelRows(const QVector<TMicheRow>& rows)
{
    if (rows.isEmpty())
        return;
    if (!Order->Confirm(CancelConfirmLines(rows).join(QStringLiteral("\r\n"))))
        return;
    for (const TMicheRow& r : rows)
        QueueCancelOne(r);
}

void TAccountFacet::QueueCancelOne(const TMicheRow& row)
{
    Log(QStringLiteral("▶ 취소 %1 %2원 %3주 (#%4)")
            .arg(row.Name, FmtNum(row.Price), FmtNum(row.Rem), row.OrdNo));
    Ctx.FQ->Add(QStringLiteral("CSPAT00800"), [this, row] {
        if (!Ctx.SetQueryRes(Ctx.B.qCxl, QStringLiteral("CSPAT00800")))
            return;
        const QString b = QStringLiteral("CSPAT00800InBlock1");
        Ctx.B.qCxl->SetFieldData(b, QStringLiteral("OrgOrdNo"), 0, row.OrdNo);
        Ctx.B.qCxl->SetFieldData(b, QStringLiteral("AcntNo"), 0, Ctx.FCfg.Acno);
        Ctx.B.qCxl->SetFieldData(b, QStringLiteral("InptPwd"), 0, Ctx.FCfg.AcPw);
        Ctx.B.qCxl->SetFieldData(b, QStringLiteral("IsuNo"), 0, row.Code);
        Ctx.B.qCxl->SetFieldData(b, QStringLiteral("OrdQty"), 0, QString::number(row.Rem));
        if (Ctx.Send(Ctx.B.qCxl, false, {row.Code}) < 0)
            Log(QStringLiteral("!! 취소 전송 실패 #") + row.OrdNo);
        else
            Ding(700, 90);
    });
}

void TAccountFacet::QueueModifyOne(const TMicheRow& row, int newPrice)
{
    Log(QStringLiteral("▶ 정정 %1 %2원 → %3원 %4주 (#%5)")
            .arg(row.Name, FmtNum(row.Price), FmtNum(newPrice), FmtNum(row.Rem), row.OrdNo));
    Ctx.FQ->Add(QStringLiteral("CSPAT00700"), [this, row, newPrice] {
        if (!Ctx.SetQueryRes(Ctx.B.qMod, QStringLiteral("CSPAT00700")))
            return;
        const QString b = QStringLiteral("CSPAT00700InBlock1");
        Ctx.B.qMod->SetFieldData(b, QStringLiteral("OrgOrdNo"), 0, row.OrdNo);
        Ctx.B.qMod->SetFieldData(b, QStringLiteral("AcntNo"), 0, Ctx.FCfg.Acno);
        Ctx.B.qMod->SetFieldData(b, QStringLiteral("InptPwd"), 0, Ctx.FCfg.AcPw);
        Ctx.B.qMod->SetFieldData(b, QStringLiteral("IsuNo"), 0, row.Code);
        Ctx.B.qMod->SetFieldData(b, QStringLiteral("OrdQty"), 0, QString::number(row.Rem));
        Ctx.B.qMod->SetFieldData(b, QStringLiteral("OrdprcPtnCode"), 0, QStringLiteral("00"));
        Ctx.B.qMod->SetFieldData(b, QStringLiteral("OrdCndiTpCode"), 0, QStringLiteral("0"));
        Ctx.B.qMod->SetFieldData(b, QStringLiteral("OrdPrc"), 0, QString::number(newPrice));
        if (Ctx.Send(Ctx.B.qMod, false, {row.Code}) < 0)
            Log(QStringLiteral("!! 정정 전송 실패 #") + row.OrdNo);
        else
            Ding(1000, 90);
    });
}

// The ladder names one exact price.
void TAccountFacet::OnLadderCancel(const QString& side, int price)
{
    CancelRows(MicheRowsAt(FMiche, Ctx.FCode, side, price));
}

void TAccountFacet::OnLadderMove(const QString& side, int fromPrice, int toPrice)
{
    if (fromPrice <= 0 || toPrice <= 0)
        return;
    const QVector<TMicheRow> rows = MicheRowsAt(FMiche, Ctx.FCode, side, fromPrice);
    if (rows.isEmpty()) {
        Log(QStringLiteral("정정할 미체결 없음 (이미 체결·취소됐을 수 있음)"));
        ReqMiche();
        return;
    }
    qint64 total = 0;
    for (const TMicheRow& r : rows)
        total += r.Rem;
    const QString sideName = side == QStringLiteral("2") ? QStringLiteral("매수") : QStringLiteral("매도");
    if (!Order->Confirm(QStringLiteral("%1  %2 정정\r\n%3원 → %4원  (%5건 %6주)\r\n정정할까요?")
                      .arg(rows.first().Name, sideName, FmtNum(fromPrice), FmtNum(toPrice),
                           QString::number(rows.size()), FmtNum(total))))
        return;
    for (const TMicheRow& r : rows)
        QueueModifyOne(r, toPrice);
}

// ---- balance and fills ----

// The balance query's input: the account check at login asks the same.
void TAccountFacet::FillBalanceInput(TXAQuery* q, const TConfig& cfg)
{
    const QString b = QStringLiteral("CSPAQ12300InBlock1");
    q->SetFieldData(b, QStringLiteral("RecCnt"), 0, QStringLiteral("1"));
    q->SetFieldData(b, QStringLiteral("AcntNo"), 0, cfg.Acno);
    q->SetFieldData(b, QStringLiteral("Pwd"), 0, cfg.AcPw);
    q->SetFieldData(b, QStringLiteral("BalCreTp"), 0, QStringLiteral("0"));
    q->SetFieldData(b, QStringLiteral("CmsnAppTpCode"), 0, QStringLiteral("0"));
    q->SetFieldData(b, QStringLiteral("D2balBaseQryTp"), 0, QStringLiteral("1"));
    q->SetFieldData(b, QStringLiteral("UprcTpCode"), 0, QStringLiteral("0"));
}

void TAccountFacet::ReqBal()
{
    Ctx.FQ->Add(QStringLiteral("CSPAQ12300"), [this] {
        if (!Ctx.SetQueryRes(Ctx.B.qBal, QStringLiteral("CSPAQ12300")))
            return;
        FillBalanceInput(Ctx.B.qBal, Ctx.FCfg);
        if (Ctx.Send(Ctx.B.qBal, false, {QString(), 0, ++FBalSent}) < 0)
            Log(QStringLiteral("!! 잔고 요청 실패"));
    });
}

void TAccountFacet::OnBalData()
{
    if (!Newer(Ctx.B.qBal, FBalShown))
        return;
    const QVector<TBalRow> rows = ParseBalance(*Ctx.B.qBal, FHolds);
    if (OnBalApplied)
        OnBalApplied(FBalShown);
    SetRows(gBal, rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const TBalRow& r = rows[i];
        SetCell(gBal, i, 0, r.Code);
        SetCell(gBal, i, 1, r.Name);
        SetCell(gBal, i, 2, r.Qty, Qt::AlignRight);
        SetCell(gBal, i, 3, r.Avg, Qt::AlignRight);
        SetCell(gBal, i, 4, r.Now, Qt::AlignRight);
        SetCell(gBal, i, 5, r.Pnl, Qt::AlignRight);
        SetCell(gBal, i, 6, r.Rate, Qt::AlignRight);
    }
    ApplyHold();
}

void TAccountFacet::ReqFills()
{
    if (!Ctx.FLogged || Ctx.FCode.isEmpty())
        return;
    const QString code = Ctx.FCode;
    Ctx.FQ->ClearTr(QStringLiteral("t0425f"));
    Ctx.FQ->Add(QStringLiteral("t0425f"), [this, code] {
        if (!Ctx.SetQueryRes(Ctx.B.qFill, QStringLiteral("t0425")))
            return;
        const QString b = QStringLiteral("t0425InBlock");
        Ctx.B.qFill->SetFieldData(b, QStringLiteral("accno"), 0, Ctx.FCfg.Acno);
        Ctx.B.qFill->SetFieldData(b, QStringLiteral("passwd"), 0, Ctx.FCfg.AcPw);
        Ctx.B.qFill->SetFieldData(b, QStringLiteral("expcode"), 0, code);
        Ctx.B.qFill->SetFieldData(b, QStringLiteral("chegb"), 0, QStringLiteral("1"));
        Ctx.B.qFill->SetFieldData(b, QStringLiteral("medosu"), 0, QStringLiteral("0"));
        Ctx.B.qFill->SetFieldData(b, QStringLiteral("sortgb"), 0, QStringLiteral("1"));
        Ctx.B.qFill->SetFieldData(b, QStringLiteral("cts_ordno"), 0, QString());
        if (Ctx.Send(Ctx.B.qFill, false, {code, 0, ++FFillSent}) < 0)
            Log(QStringLiteral("!! 체결 내역 조회 실패"));
    });
}

void TAccountFacet::OnFillsData()
{
    // Fills of the stock shown before must not mark this one's chart.
    const std::optional<TReqBind> bind = Ctx.Bound(Ctx.B.qFill);
    if (!bind || bind->Code != Ctx.FCode || !Newer(Ctx.B.qFill, FFillShown))
        return;
    FFills = ParseFills(*Ctx.B.qFill, Ctx.FCode, Ctx.Clock().Now().toString(QStringLiteral("yyyyMMdd")));
    QVector<TFillMark> marks;
    for (const TFillAt& f : FFills)
        marks.append(TFillMark{f.D, f.Price, f.Buy});
    if (MinChart)
        MinChart->SetFills(marks);
}

void TAccountFacet::OnBalClick(int row)
{
    auto* codeItem = gBal->item(row, 0);
    const QString code = codeItem ? codeItem->text().trimmed() : QString();
    if (code.size() != 6)
        return;
    if (code != Ctx.FCode && OnSelectStock)
        OnSelectStock(code);
    auto* qtyItem = gBal->item(row, 2);
    QString qty = qtyItem ? qtyItem->text() : QString();
    qty.remove(QLatin1Char(','));
    if (ParseNum(qty) > 0) {
        Order->SetSellQty(qty);
    }
}
