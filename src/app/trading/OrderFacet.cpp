#include "app/trading/OrderFacet.h"

#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/IniFile.h"
#include "core/NumFmt.h"
#include "core/Sound.h"
#include "trading/LadderScroll.h"
#include "trading/LadderView.h"
#include "trading/MyOrdBar.h"
#include "trading/OrderEntry.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const QString U = QStringLiteral("UI");
}

TOrderFacet::TOrderFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent)
{
    FConfirm = [this](const QString& text) {
        QWidget* owner = DialogOwner ? DialogOwner : QApplication::activeWindow();
        QMessageBox box(QMessageBox::Question, owner ? owner->windowTitle() : QString(), text,
                        QMessageBox::Yes | QMessageBox::No, owner);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("예"));
        box.button(QMessageBox::No)->setText(QStringLiteral("아니요"));
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes;
    };
}

void TOrderFacet::BuildLadder(QWidget* strip, QWidget* area, QVBoxLayout* v)
{
    btnCenter = MakeButton(strip, QStringLiteral("현재가 가운데로 (C)"));
    Place(btnCenter, 222, 3, 150, 26);
    MakeLabel(strip, 384, 8, QStringLiteral("수수료·세금(왕복)"));
    edFee = new QLineEdit(QStringLiteral("0.3"), strip);
    edFee->setFont(AppFont(9));
    edFee->setAlignment(Qt::AlignRight);
    Place(edFee, 508, 4, 50, 24);
    QLabel* pct = MakeLabel(strip, 562, 8, QStringLiteral("%"), QColor(128, 128, 128));
    // The hint takes what is left of the strip: shortened with "…" when the
    // column is narrow, whole in its tooltip.
    const QString hint = QStringLiteral("매도·매수 칸 더블클릭: 주문 · 호가 우클릭: 가운데로");
    lbHint = MakeLabel(strip, 562, 8, hint, QColor(128, 128, 128));
    lbHint->setToolTip(hint);
    strip->setToolTip(hint);
    OnResize(strip, [this, strip, pct, hint] {
        const int left = pct->x() + pct->width() + Scaled(12);
        const int room = strip->width() - left - Scaled(4);
        const QString shown = lbHint->fontMetrics().elidedText(hint, Qt::ElideRight, std::max(room, 0));
        lbHint->setVisible(room > Scaled(40));
        lbHint->setText(shown);
        lbHint->adjustSize();
        lbHint->move(left, lbHint->y());
    });

    barMyOrd = new TMyOrdBar(area);
    barMyOrd->SetScale(Scaled);
    barMyOrd->setFont(AppFont(9));
    v->addWidget(barMyOrd);

    QWidget* ladWrap = MakePanel(area);
    auto* h = new QHBoxLayout(ladWrap);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    vLadder = new TLadderView(ladWrap);
    vLadder->setFont(AppFont(9));
    vLadder->SetScale(Scaled);
    barMyOrd->SetLadder(vLadder);
    vLadder->SetSumBar(barMyOrd);
    sbLadder = new QScrollBar(Qt::Vertical, ladWrap);
    sbLadder->setFixedWidth(Scaled(18));
    sbLadder->setSingleStep(1);
    sbLadder->setPageStep(10);
    h->addWidget(vLadder, 1);
    h->addWidget(sbLadder);
    FLadScroll = new TLadderScroll(vLadder, sbLadder, this);
    connect(btnCenter, &QPushButton::clicked, this, [this] { vLadder->Recenter(); });
    vLadder->FOnOrder = [this](const QString& side, int price) {
        edPrice->setText(QString::number(price));
        SendOrder(side, price);
    };
    v->addWidget(ladWrap, 1);
}

void TOrderFacet::BuildEntry(QWidget* panel)
{
    auto radio = [](QWidget* p, int left, const QString& text) {
        auto* r = new QRadioButton(text, p);
        r->setFont(AppFont(9));
        r->adjustSize();
        r->move(Scaled(left), Scaled(6));
        return r;
    };
    auto edit = [](QWidget* p, int left, int width, const QString& text) {
        auto* e = new QLineEdit(text, p);
        e->setFont(AppFont(9));
        e->setAlignment(Qt::AlignRight);
        Place(e, left, 3, width, 24);
        return e;
    };
    pnlBuyQ = MakePanel(panel, QColor(255, 240, 238));
    pnlBuyQ->setGeometry(0, Scaled(96), Scaled(600), Scaled(30));
    MakeLabel(pnlBuyQ, 8, 8, QStringLiteral("매수"), Colors::Rise, true);
    rbQty = radio(pnlBuyQ, 48, QStringLiteral("수량"));
    edQty = edit(pnlBuyQ, 100, 70, QStringLiteral("1"));
    rbAmt = radio(pnlBuyQ, 184, QStringLiteral("금액"));
    edAmt = edit(pnlBuyQ, 236, 110, QStringLiteral("1,000,000"));
    rbQty->setChecked(true);
    chkConfirm = new QCheckBox(QStringLiteral("주문 확인창"), pnlBuyQ);
    chkConfirm->setFont(AppFont(9));
    chkConfirm->setChecked(true);
    chkConfirm->adjustSize();
    chkConfirm->move(Scaled(362), Scaled(6));
    connect(edAmt, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (FAmtFmt)
            return;
        const QString f = FormatAmountText(t);
        if (f != t) {
            FAmtFmt = true;
            edAmt->setText(f);
            edAmt->setCursorPosition(f.size());
            FAmtFmt = false;
        }
    });

    pnlSellQ = MakePanel(panel, QColor(236, 244, 255));
    pnlSellQ->setGeometry(0, Scaled(128), Scaled(600), Scaled(30));
    MakeLabel(pnlSellQ, 8, 8, QStringLiteral("매도"), Colors::Fall, true);
    rbSQty = radio(pnlSellQ, 48, QStringLiteral("수량"));
    edSQty = edit(pnlSellQ, 100, 70, QStringLiteral("1"));
    rbSHalf = radio(pnlSellQ, 184, QStringLiteral("1/2"));
    rbSThird = radio(pnlSellQ, 236, QStringLiteral("1/3"));
    rbSAll = radio(pnlSellQ, 288, QStringLiteral("전체"));
    rbSQty->setChecked(true);
    edPrice = new QLineEdit(QStringLiteral("0"), panel);
    edPrice->hide();
    OnResize(panel, [this, panel] {
        for (QWidget* strip : {pnlBuyQ, pnlSellQ})
            strip->resize(panel->width(), strip->height());
    });
}

bool TOrderFacet::Confirm(const QString& text) const { return !chkConfirm->isChecked() || FConfirm(text); }

double TOrderFacet::Fee() const { return ReadFee(edFee->text()); }

void TOrderFacet::SetSellQty(const QString& qty)
{
    edSQty->setText(qty.trimmed());
    rbSQty->setChecked(true);
}

void TOrderFacet::LoadLayout(const TIniFile& ini)
{
    edFee->setText(ini.ReadString(U, QStringLiteral("FEE"), edFee->text()));
    (ini.ReadBool(U, QStringLiteral("AMTMODE"), false) ? rbAmt : rbQty)->setChecked(true);
    edQty->setText(ini.ReadString(U, QStringLiteral("QTY"), edQty->text()));
    edAmt->setText(ini.ReadString(U, QStringLiteral("AMT"), edAmt->text()));
    edSQty->setText(ini.ReadString(U, QStringLiteral("SQTY"), edSQty->text()));
    switch (ini.ReadInteger(U, QStringLiteral("SELLMODE"), 0)) {
    case 1: rbSHalf->setChecked(true); break;
    case 2: rbSThird->setChecked(true); break;
    case 3: rbSAll->setChecked(true); break;
    default: rbSQty->setChecked(true); break;
    }
    chkConfirm->setChecked(ini.ReadBool(U, QStringLiteral("CONFIRM"), true));
}

void TOrderFacet::SaveLayout(TIniFile& ini) const
{
    ini.WriteString(U, QStringLiteral("FEE"), edFee->text().trimmed());
    ini.WriteBool(U, QStringLiteral("AMTMODE"), rbAmt->isChecked());
    ini.WriteString(U, QStringLiteral("QTY"), edQty->text().trimmed());
    ini.WriteString(U, QStringLiteral("AMT"), edAmt->text().trimmed().remove(QLatin1Char(',')));
    ini.WriteString(U, QStringLiteral("SQTY"), edSQty->text().trimmed());
    ini.WriteInteger(U, QStringLiteral("SELLMODE"), rbSHalf->isChecked() ? 1 : rbSThird->isChecked() ? 2
                                                    : rbSAll->isChecked() ? 3 : 0);
    ini.WriteBool(U, QStringLiteral("CONFIRM"), chkConfirm->isChecked());
}

void TOrderFacet::SendOrder(const QString& side, int price)
{
    if (!Ctx.FLogged) {
        Log(QStringLiteral("로그인 전이라 주문 안 됨"));
        return;
    }
    if (Ctx.FCode.isEmpty() || !Holds || !Miche)
        return;
    TOrderInput in;
    in.Side = side;
    in.Price = price;
    in.Code = Ctx.FCode;
    in.AmountMode = rbAmt->isChecked();
    in.QtyText = edQty->text();
    in.AmtText = edAmt->text();
    in.SellQtyText = edSQty->text();
    in.SellMode = rbSAll->isChecked() ? TSellMode::All
                  : rbSHalf->isChecked() ? TSellMode::Half
                  : rbSThird->isChecked() ? TSellMode::Third
                                          : TSellMode::Qty;
    const TOrderDecision d = DecideOrder(in, *Holds, *Miche);
    for (const QString& line : d.Log)
        Log(line);
    if (!d.Send)
        return;
    const QString sideName = side == QStringLiteral("2") ? QStringLiteral("매수") : QStringLiteral("매도");
    const QString pxText = FmtNum(price) + QStringLiteral("원");
    const QString code = Ctx.FCode;
    const qint64 qty = d.Qty;
    const QString name = Hoga ? Hoga->Name : Ctx.NameOf(code);
    if (!Confirm(QStringLiteral("%1  %2 (%3)\r\n%4  %5%6주  %7")
                     .arg(sideName, name, code, pxText, d.Prefix, FmtNum(qty), sideName)))
        return;
    Log(QStringLiteral("▶ %1 %2 %3%4주 %5").arg(sideName, Ctx.NameOf(code), d.Prefix, FmtNum(qty), pxText));
    const QString pxStr = QString::number(price);
    Ctx.FQ->Add(QStringLiteral("CSPAT00600"), [this, side, code, qty, pxStr] {
        TXAQuery* q = Ctx.B.qOrd;
        if (!Ctx.SetQueryRes(q, QStringLiteral("CSPAT00600")))
            return;
        const QString b = QStringLiteral("CSPAT00600InBlock1");
        q->SetFieldData(b, QStringLiteral("AcntNo"), 0, Ctx.FCfg.Acno);
        q->SetFieldData(b, QStringLiteral("InptPwd"), 0, Ctx.FCfg.AcPw);
        q->SetFieldData(b, QStringLiteral("IsuNo"), 0, code);
        q->SetFieldData(b, QStringLiteral("OrdQty"), 0, QString::number(qty));
        q->SetFieldData(b, QStringLiteral("OrdPrc"), 0, pxStr);
        q->SetFieldData(b, QStringLiteral("BnsTpCode"), 0, side);
        q->SetFieldData(b, QStringLiteral("OrdprcPtnCode"), 0, QStringLiteral("00"));
        q->SetFieldData(b, QStringLiteral("MgntrnCode"), 0, QStringLiteral("000"));
        q->SetFieldData(b, QStringLiteral("OrdCndiTpCode"), 0, QStringLiteral("0"));
        q->SetFieldData(b, QStringLiteral("MbrNo"), 0, QStringLiteral("KRX"));
        if (Ctx.Send(q, false, {code}) < 0)
            Log(QStringLiteral("!! 주문 전송 실패"));
        else
            Ding(1400, 90);
    });
}
