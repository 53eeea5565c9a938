#include "app/trading/AutoSellFacet.h"

#include "app/UiKit.h"
#include "app/trading/AccountFacet.h"
#include "app/trading/OrderFacet.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/NumFmt.h"
#include "core/Sound.h"
#include "market/Quote.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <climits>
#include <cmath>
#include <memory>

namespace {
const QString U = QStringLiteral("UI");
const QString KOut = QStringLiteral("OutBlock");
constexpr int KSeenCap = 20000;   // fills remembered for the de-duplication
}

TAutoSellFacet::TAutoSellFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent)
{
    FSplitTm.setInterval(300);
    connect(&FSplitTm, &QTimer::timeout, this, [this] { SplitTick(); });
    auto gen = std::make_shared<QRandomGenerator>(quint32(QDateTime::currentMSecsSinceEpoch()));
    Random.Uniform01 = [gen] { return gen->generateDouble(); };
    Random.Pick = [gen](int lo, int hi) { return lo + int(gen->bounded(hi - lo + 1)); };
}

void TAutoSellFacet::Build(QWidget* panel, QWidget* sellStrip)
{
    pnlAutoQ = MakePanel(panel, QColor(246, 238, 246));
    pnlAutoQ->setGeometry(0, Scaled(64), Scaled(600), Scaled(30));
    chkAutoSell = new QCheckBox(QStringLiteral("자동 매도"), pnlAutoQ);
    QFont bold = AppFont(9);
    bold.setBold(true);
    chkAutoSell->setFont(bold);
    QPalette pal = chkAutoSell->palette();
    pal.setColor(QPalette::WindowText, QColor(110, 20, 128));
    chkAutoSell->setPalette(pal);
    chkAutoSell->adjustSize();
    chkAutoSell->move(Scaled(8), Scaled(6));
    edAutoPct = new QLineEdit(QStringLiteral("1.5"), pnlAutoQ);
    edAutoPct->setFont(AppFont(9));
    edAutoPct->setAlignment(Qt::AlignRight);
    Place(edAutoPct, 100, 3, 50, 24);
    QLabel* lab = MakeLabel(pnlAutoQ, 154, 8, QStringLiteral("%  매수 체결 즉시 → 체결가 + % 이상 첫 호가에 지정가 매도"),
                            QColor(112, 112, 112));
    lab->setToolTip(QStringLiteral("매수가 체결되면 바로, 체결가 × (1 + 이 %) 를 올림한 가격 이상인 첫 호가에 그 수량을 지정가로 매도"));
    OnResize(panel, [this, panel] { pnlAutoQ->resize(panel->width(), pnlAutoQ->height()); });
    connect(chkAutoSell, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            WarnBelowCost();
    });
    connect(edAutoPct, &QLineEdit::editingFinished, this, [this] { WarnBelowCost(); });

    btnSplitSell = MakeButton(sellStrip, QStringLiteral("전체 적당히 매도"));
    btnSplitSell->setFont(bold);
    btnSplitSell->setToolTip(
        QStringLiteral("팔 수 있는 전체를 3번에 나눠 (수량 다르게) 평단 + 자동 매도 % 근처 호가들에 시간차로 지정가 매도"));
    Place(btnSplitSell, 350, 3, 130, 24);
    connect(btnSplitSell, &QPushButton::clicked, this, [this] { SplitSell(); });
}

void TAutoSellFacet::LoadLayout(const TIniFile& ini)
{
    chkAutoSell->setChecked(ini.ReadBool(U, QStringLiteral("AUTOSELL"), false));
    edAutoPct->setText(ini.ReadString(U, QStringLiteral("AUTOPCT"), edAutoPct->text()));
}

void TAutoSellFacet::SaveLayout(TIniFile& ini) const
{
    ini.WriteBool(U, QStringLiteral("AUTOSELL"), chkAutoSell->isChecked());
    ini.WriteString(U, QStringLiteral("AUTOPCT"), edAutoPct->text().trimmed());
}

// A percentage at or below the round trip's fees and taxes loses money on
// every sale: said once for each percentage and fee.
void TAutoSellFacet::WarnBelowCost()
{
    if (!chkAutoSell->isChecked() || !Order)
        return;
    const TSellPct p = ParseSellPct(edAutoPct->text());
    const double fee = Order->Fee();
    if (!p.Ok || double(p.Micro) / 1e6 > fee)
        return;
    const QString key = edAutoPct->text().trimmed() + '|' + QString::number(fee);
    if (key == FWarnedCost)
        return;
    FWarnedCost = key;
    Log(QStringLiteral("!! 자동 매도 %1%가 왕복 수수료·세금 %2% 이하 — 체결돼도 손해")
            .arg(SellPctText(p.Micro), QString::number(fee)));
}

// ---- what can be sold ----

qint64 TAutoSellFacet::PendingSplit(const QString& code) const
{
    qint64 n = 0;
    for (const TSplitOrd& s : FSplit)
        if (s.Code == code)
            n += s.Qty;
    return n;
}

qint64 TAutoSellFacet::Sellable(const QString& code, qint64 exceptPending) const
{
    if (!Account)
        return 0;
    const qint64 held = Account->FHolds.value(code).Qty;
    return SellableNow(held, FBook.FillsSinceBalance(code), PendingSells(Account->FMiche, code),
                       FBook.SellsNotShown(code), PendingSplit(code) - exceptPending);
}

// ---- the fill event ----

void TAutoSellFacet::OnFillReal(TXAReal* r)
{
    auto f = [r](const char* name) { return r->GetFieldData(KOut, QString::fromLatin1(name)).trimmed(); };
    // Only a fill sells; the account feed also carries other events.
    const QString type = f("ordxctptncode");
    if (!type.isEmpty() && type != QStringLiteral("11"))
        return;
    const QString ordNo = f("ordno"), execNo = f("execno");
    if (!ordNo.isEmpty() || !execNo.isEmpty()) {
        const QString key = ordNo + '/' + execNo;
        if (FSeenFills.contains(key))
            return;   // the same fill delivered again
        if (FSeenFills.size() >= KSeenCap)
            FSeenFills.clear();
        FSeenFills.insert(key);
    }
    QString code = f("shtnIsuno");
    if (code.startsWith(QLatin1Char('A')) || code.startsWith(QLatin1Char('a')))
        code.remove(0, 1);
    const qint64 qty = ParseInt(f("execqty"));
    const int price = ParseInt32(f("execprc"));
    const bool buy = f("bnstp") == QStringLiteral("2");
    if (code.size() == 6 && qty > 0 && Account)
        FBook.Fill(code, buy, qty, ordNo, Account->FBalSent);
    if (buy && chkAutoSell->isChecked())
        AutoSellAfterFill(code, f("Isunm"), price, qty);
}

void TAutoSellFacet::AutoSellAfterFill(const QString& code, const QString& name, int b, qint64 q)
{
    if (!Ctx.FLogged || code.size() != 6 || q <= 0 || b <= 0)
        return;
    const TSellPct p = ParseSellPct(edAutoPct->text());
    if (!p.Ok) {
        Log(QStringLiteral("!! 자동 매도: % 값이 이상함 (") + edAutoPct->text() + QStringLiteral(") — 주문 안 함"));
        return;
    }
    const int upLimit = Hoga && Hoga->Code == code ? Hoga->UpLmt : 0;
    const TAutoSellPrice px = AutoSellPrice(b, p.Micro, upLimit);
    if (px.Price <= 0) {
        Log(QStringLiteral("!! 자동 매도: %1 — %2 주문 안 함").arg(Ctx.NameOf(code), px.Why));
        return;
    }
    if (px.Capped)
        Log(QStringLiteral("자동 매도: 목표가가 상한가를 넘어 상한가 %1원에 냄").arg(FmtNum(px.Price)));
    qint64 qty = q;
    const qint64 can = Sellable(code);
    if (can < qty) {
        Log(QStringLiteral("자동 매도: 팔 수 있는 수량이 %1주뿐이라 그만큼만 냄").arg(FmtNum(can)));
        qty = can;
    }
    if (qty <= 0)
        return;
    SendSellLimit(code, name,
                  QStringLiteral("체결가 %1 + %2% 이상").arg(FmtNum(b), SellPctText(p.Micro)), px.Price, qty);
}

// ---- sending ----

bool TAutoSellFacet::SendSellLimit(const QString& code, const QString& name, const QString& why, int price,
                                   qint64 qty)
{
    if (!Ctx.FLogged || code.size() != 6 || qty <= 0 || price <= 0)
        return false;
    Log(QStringLiteral("▶ 매도 %1 %2주 @ %3원 (%4)").arg(name, FmtNum(qty), FmtNum(price), why));
    FOut.push_back({FBook.SellQueued(code, qty), code, name, price, qty});
    Pump();
    return true;
}

// One of ours at a time in the request queue: the next joins it only when
// the one before has left, behind whatever the trader queued meanwhile.
void TAutoSellFacet::Pump()
{
    if (FInQueue || FOut.empty())
        return;
    TOutSell s = FOut.front();
    FOut.pop_front();
    FInQueue = true;
    const quint64 run = FRun;
    Ctx.FQ->Add(QStringLiteral("CSPAT00600"), [this, s, run] {
        if (run != FRun)   // the session ended while it waited
            return;
        FInQueue = false;
        TXAQuery* q = Ctx.B.qOrd;
        bool sent = false;
        if (Ctx.FLogged && Ctx.SetQueryRes(q, QStringLiteral("CSPAT00600"))) {
            const QString b = QStringLiteral("CSPAT00600InBlock1");
            q->SetFieldData(b, QStringLiteral("AcntNo"), 0, Ctx.FCfg.Acno);
            q->SetFieldData(b, QStringLiteral("InptPwd"), 0, Ctx.FCfg.AcPw);
            q->SetFieldData(b, QStringLiteral("IsuNo"), 0, s.Code);
            q->SetFieldData(b, QStringLiteral("OrdQty"), 0, QString::number(s.Qty));
            q->SetFieldData(b, QStringLiteral("OrdPrc"), 0, QString::number(s.Price));
            q->SetFieldData(b, QStringLiteral("BnsTpCode"), 0, QStringLiteral("1"));
            q->SetFieldData(b, QStringLiteral("OrdprcPtnCode"), 0, QStringLiteral("00"));
            q->SetFieldData(b, QStringLiteral("MgntrnCode"), 0, QStringLiteral("000"));
            q->SetFieldData(b, QStringLiteral("OrdCndiTpCode"), 0, QStringLiteral("0"));
            q->SetFieldData(b, QStringLiteral("MbrNo"), 0, QStringLiteral("KRX"));
            sent = Ctx.Send(q, false, {s.Code, 0, quint64(s.Id), KBindKind}) >= 0;
        }
        if (!sent) {
            FBook.SellFailed(s.Id);
            Log(QStringLiteral("!! 매도 주문 전송 실패 — ") + s.Name);
        } else {
            Ding(1400, 90);
        }
        Pump();
    });
}

void TAutoSellFacet::OnOrderMsg(TXAQuery* q)
{
    const std::optional<TReqBind> bind = Ctx.Bound(q);
    if (!bind || bind->Kind != KBindKind || !Account)
        return;
    // Accepted or refused, the unfilled orders asked for from now on show
    // what is left of it; a refusal is logged by the window, never retried.
    FBook.SellAnswered(int(bind->Run), QString(), Account->FMicheSent);
}

void TAutoSellFacet::OnOrderData(TXAQuery* q)
{
    const std::optional<TReqBind> bind = Ctx.Bound(q);
    if (!bind || bind->Kind != KBindKind || !Account)
        return;
    const QString ordNo = q->GetFieldData(QStringLiteral("CSPAT00600OutBlock2"), QStringLiteral("OrdNo"), 0).trimmed();
    FBook.SellAnswered(int(bind->Run), ordNo, Account->FMicheSent);
}

// ---- split sell ----

void TAutoSellFacet::SplitSell()
{
    if (!Ctx.FLogged || Ctx.FCode.isEmpty() || !Account)
        return;
    const QString code = Ctx.FCode;
    const THold hold = Account->FHolds.value(code);
    if (hold.Qty + FBook.FillsSinceBalance(code) <= 0) {
        Log(QStringLiteral("잔고가 없어 전체 적당히 매도를 할 수 없습니다"));
        return;
    }
    const qint64 sellable = Sellable(code);
    if (sellable <= 0) {
        Log(QStringLiteral("팔 수 있는 수량이 없습니다 — 이미 전부 미체결 매도로 걸려 있음"));
        return;
    }
    const TSellPct parsed = ParseSellPct(edAutoPct->text());
    const qint64 pct = parsed.Ok ? parsed.Micro : 1500000;
    double base = hold.Avg;
    if (base <= 0 && Hoga && Hoga->Code == code)
        base = Hoga->Price;
    if (base <= 0) {
        Log(QStringLiteral("평단 · 현재가를 몰라 전체 적당히 매도를 할 수 없습니다"));
        return;
    }
    const int start = SellTarget(int(std::ceil(base)), pct);
    const QVector<TSplitPart> parts = PlanSplit(sellable, start, Random);
    if (parts.isEmpty())
        return;
    QString msg = QStringLiteral("전체 적당히 매도  %1  팔 수 있는 %2주 (평단 %3 · +%4% 이상)")
                      .arg(Ctx.NameOf(code), FmtNum(sellable), FmtNum(qRound64(base)), SellPctText(pct));
    for (int k = 0; k < parts.size(); ++k)
        msg += QStringLiteral("\r\n  %1) %2주 @ %3원").arg(k + 1).arg(FmtNum(parts[k].Qty), FmtNum(parts[k].Px));
    if (Order && !Order->Confirm(msg))
        return;
    Log(QString(msg).replace(QStringLiteral("\r\n"), QStringLiteral(" · ")));
    QDateTime due = Ctx.Clock().Now();
    for (const TSplitPart& p : parts) {
        due = due.addMSecs(p.DelayMs);
        FSplit.append({code, Ctx.NameOf(code), int(std::min<qint64>(p.Qty, INT_MAX)), p.Px, due});
    }
    FSplitTm.start();
    SplitTick();
}

void TAutoSellFacet::SplitTick()
{
    const QDateTime now = Ctx.Clock().Now();
    while (!FSplit.isEmpty() && FSplit.first().Due <= now) {
        const TSplitOrd s = FSplit.first();
        // What can be sold now, this part left out of the pending ones.
        const qint64 can = Sellable(s.Code, s.Qty);
        FSplit.removeFirst();
        const qint64 qty = std::min<qint64>(s.Qty, can);
        if (qty <= 0) {
            Log(QStringLiteral("전체 적당히 매도: %1 팔 수 있는 수량이 없어 남은 분할 매도를 멈춤").arg(s.Name));
            StopSplit(QString());
            break;
        }
        if (qty < s.Qty)
            Log(QStringLiteral("전체 적당히 매도: 팔 수 있는 %1주만 냄").arg(FmtNum(qty)));
        SendSellLimit(s.Code, s.Name, QStringLiteral("전체 적당히 매도"), s.Px, qty);
    }
    if (FSplit.isEmpty())
        FSplitTm.stop();
}

void TAutoSellFacet::StopSplit(const QString& why)
{
    if (FSplit.isEmpty())
        return;
    if (!why.isEmpty())
        Log(QStringLiteral("전체 적당히 매도: 남은 %1번 취소 — ").arg(FSplit.size()) + why);
    FSplit.clear();
    FSplitTm.stop();
}

void TAutoSellFacet::OnStockChanged() { StopSplit(QStringLiteral("종목이 바뀜")); }

void TAutoSellFacet::OnLogout()
{
    StopSplit(QStringLiteral("로그아웃"));
    if (!FOut.empty())
        Log(QStringLiteral("보내지 않은 자동 매도 %1건 취소 — 로그아웃").arg(FOut.size()));
    FOut.clear();
    ++FRun;
    FInQueue = false;
    FBook.Clear();
    FSeenFills.clear();
}
