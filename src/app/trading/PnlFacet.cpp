#include "app/trading/PnlFacet.h"

#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/IniFile.h"
#include "core/NumFmt.h"
#include "trading/AccountData.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QString KSec = QStringLiteral("UI");
const QString KPnlTag = QStringLiteral("t0425p");
const QString KFeeTag = QStringLiteral("t0150");
const QString KBalTag = QStringLiteral("t0424");
}  // namespace

TPnlFacet::TPnlFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

void TPnlFacet::BuildPnlPage(TTabSet* tabs)
{
    pcBM = tabs;
    tsPnl = tabs->AddPage(QStringLiteral("  당일손익  "));
    auto* v = VBox(tsPnl);
    QWidget* s = MakeStrip(tsPnl, 30, QColor(248, 248, 248));
    btnPnl = MakeButton(s, QStringLiteral("새로고침"));
    Place(btnPnl, 6, 3, 80, 24);
    lbPnlTot = MakeLabel(s, 96, 8, QStringLiteral("실현손익 합계  —"), Colors::Flat, true);
    v->addWidget(s);
    gPnl = MakeGrid(tsPnl, {{QStringLiteral("종목"), 120}, {QStringLiteral("상태"), 90}, {QStringLiteral("매수량"), 64},
                            {QStringLiteral("매수평단"), 84}, {QStringLiteral("매도량"), 64},
                            {QStringLiteral("매도평단"), 84}, {QStringLiteral("실현손익"), 100},
                            {QStringLiteral("수익률"), 72}});
    DrawGridCells(gPnl, 6, 8);
    gPnl->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    v->addWidget(gPnl, 1);
    connect(btnPnl, &QPushButton::clicked, this, [this] { DayPnlRefresh(); });
    connect(gPnl, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (row >= 0 && row < FDay.FPnl.size() && FDay.FPnl[row].Code != Ctx.FCode && OnSelectStock)
            OnSelectStock(FDay.FPnl[row].Code);
    });
    connect(gPnl, &QTableWidget::currentCellChanged, this, [this] { PaintRowBackgrounds(); });
}

void TPnlFacet::LoadLayout(const TIniFile& ini)
{
    FSellTax = PercentToRate(ini.ReadString(KSec, QStringLiteral("SELLTAX"), RateText(KDefaultSellTax)))
                   .value_or(KDefaultSellTax);
}

void TPnlFacet::SaveLayout(TIniFile& ini) const { ini.WriteString(KSec, QStringLiteral("SELLTAX"), RateText(FSellTax)); }

// The three queries are ours alone: an answer on them is always a page of
// this page's chains.
bool TPnlFacet::EnsureQueries()
{
    if (qPnl)
        return true;
    if (!Ctx.FBackend)
        return false;
    const auto make = [this](void (TPnlFacet::*onData)()) {
        TXAQuery* q = Ctx.FBackend->CreateQuery(this);
        connect(q, &TXAQuery::ReceiveData, this, [this, onData](const QString&) { (this->*onData)(); });
        connect(q, &TXAQuery::ReceiveMessage, this,
                [this](bool e, const QString& c, const QString& m) { OnMsg(e, c, m); });
        return q;
    };
    qPnl = make(&TPnlFacet::OnPnlData);
    qDayFee = make(&TPnlFacet::OnDayFeeData);
    qBalAll = make(&TPnlFacet::OnBalAllData);
    return true;
}

// Broker messages are logged as the window logs them.
void TPnlFacet::OnMsg(bool sysErr, const QString& code, const QString& msg)
{
    if (TAppContext::IsSignificant(sysErr, code))
        Log(QStringLiteral("[") + code + QStringLiteral("] ") + msg);
}

bool TPnlFacet::Current(TXAQuery* q, int page) const
{
    const std::optional<TReqBind> bind = Ctx.Bound(q);
    return bind && bind->Run == FPnlRound && bind->Kind == page;
}

void TPnlFacet::DayPnlRefresh()
{
    if (!Ctx.FLogged || !EnsureQueries())
        return;
    ++FPnlRound;
    FDay.BeginFills();
    QueuePnlPage(QString(), false);
    FDay.BeginHolds();
    QueueBalAll(QString(), false);
    FDay.BeginCosts();
    QueueDayFee({}, false);
}

void TPnlFacet::QueuePnlPage(const QString& key, bool next)
{
    const TReqBind bind{QString(), 0, FPnlRound, FDay.FPnlPage};
    Ctx.FQ->ClearTr(KPnlTag);
    Ctx.FQ->Add(KPnlTag, [this, key, next, bind] {
        if (!Ctx.SetQueryRes(qPnl, QStringLiteral("t0425")))
            return;
        const QString b = QStringLiteral("t0425InBlock");
        qPnl->SetFieldData(b, QStringLiteral("accno"), 0, Ctx.FCfg.Acno);
        qPnl->SetFieldData(b, QStringLiteral("passwd"), 0, Ctx.FCfg.AcPw);
        qPnl->SetFieldData(b, QStringLiteral("expcode"), 0, QString());
        qPnl->SetFieldData(b, QStringLiteral("chegb"), 0, QStringLiteral("1"));
        qPnl->SetFieldData(b, QStringLiteral("medosu"), 0, QStringLiteral("0"));
        qPnl->SetFieldData(b, QStringLiteral("sortgb"), 0, QStringLiteral("1"));
        qPnl->SetFieldData(b, QStringLiteral("cts_ordno"), 0, key);
        if (Ctx.Send(qPnl, next, bind) < 0)
            Log(QStringLiteral("!! 당일 손익(체결 내역) 조회 실패"));
    });
}

void TPnlFacet::QueueBalAll(const QString& key, bool next)
{
    const TReqBind bind{QString(), 0, FPnlRound, FDay.FBalAllPage};
    Ctx.FQ->ClearTr(KBalTag);
    Ctx.FQ->Add(KBalTag, [this, key, next, bind] {
        if (!Ctx.SetQueryRes(qBalAll, QStringLiteral("t0424")))
            return;
        const QString b = QStringLiteral("t0424InBlock");
        qBalAll->SetFieldData(b, QStringLiteral("accno"), 0, Ctx.FCfg.Acno);
        qBalAll->SetFieldData(b, QStringLiteral("passwd"), 0, Ctx.FCfg.AcPw);
        qBalAll->SetFieldData(b, QStringLiteral("prcgb"), 0, QStringLiteral("1"));
        qBalAll->SetFieldData(b, QStringLiteral("chegb"), 0, QStringLiteral("0"));
        qBalAll->SetFieldData(b, QStringLiteral("dangb"), 0, QStringLiteral("0"));
        qBalAll->SetFieldData(b, QStringLiteral("charge"), 0, QStringLiteral("1"));
        qBalAll->SetFieldData(b, QStringLiteral("cts_expcode"), 0, key);
        if (Ctx.Send(qBalAll, next, bind) < 0)
            Log(QStringLiteral("!! 당일손익용 잔고(t0424) 조회 실패"));
    });
}

void TPnlFacet::QueueDayFee(const QStringList& keys, bool next)
{
    const TReqBind bind{QString(), 0, FPnlRound, FDay.FDayFeePage};
    Ctx.FQ->ClearTr(KFeeTag);
    Ctx.FQ->Add(KFeeTag, [this, keys, next, bind] {
        if (!Ctx.SetQueryRes(qDayFee, QStringLiteral("t0150")))
            return;
        const QString b = QStringLiteral("t0150InBlock");
        qDayFee->SetFieldData(b, QStringLiteral("accno"), 0, Ctx.FCfg.Acno);
        int i = 0;
        for (const char* k : {"cts_medosu", "cts_expcode", "cts_price", "cts_middiv"})
            qDayFee->SetFieldData(b, QString::fromLatin1(k), 0, keys.value(i++));
        if (Ctx.Send(qDayFee, next, bind) < 0)
            Log(QStringLiteral("!! 당일매매일지(수수료·세금) 조회 실패"));
    });
}

void TPnlFacet::OnPnlData()
{
    if (!Current(qPnl, FDay.FPnlPage))
        return;
    QString key;
    if (FDay.AddFillsPage(*qPnl, &key))
        QueuePnlPage(key, true);
    else
        RebuildPnlView();
}

void TPnlFacet::OnBalAllData()
{
    if (!Current(qBalAll, FDay.FBalAllPage))
        return;
    QString key;
    if (FDay.AddHoldsPage(*qBalAll, &key))
        QueueBalAll(key, true);
    else
        RebuildPnlView();
}

void TPnlFacet::OnDayFeeData()
{
    if (!Current(qDayFee, FDay.FDayFeePage))
        return;
    QStringList keys;
    if (FDay.AddCostsPage(*qDayFee, &keys)) {
        QueueDayFee(keys, true);
        return;
    }
    qint64 fees = 0, taxes = 0;
    for (const TPnlCost& c : std::as_const(FDay.FPnlCost)) {
        fees = SatAdd(fees, SatAdd(c.BuyFee, c.SellFee));
        taxes = SatAdd(taxes, c.SellTax);
    }
    Log(QStringLiteral("당일매매일지(t0150): %1종목 · 수수료 %2 · 세금 %3")
            .arg(FDay.FPnlCost.size())
            .arg(FmtNum(fees), FmtNum(taxes)));
    RebuildPnlView();
}

void TPnlFacet::RebuildPnlView()
{
    FDay.HoldOf = [this](const QString& code, qint64* qty, double* avg) {
        if (!Holds)
            return false;
        auto it = Holds->constFind(code);
        if (it == Holds->constEnd())
            return false;
        *qty = it->Qty;
        *avg = it->Avg;
        return true;
    };
    FDay.IsTaxFree = IsTaxFree;
    FDay.Rates = RatesFromFeeBox(FeeBox ? FeeBox() : ReadFee(QString()), FSellTax);
    FDay.Rebuild();
    if (!gPnl)
        return;
    lbPnlTot->setText(FDay.LabelText());
    QPalette pal = lbPnlTot->palette();
    pal.setColor(QPalette::WindowText, FDay.LabelColor());
    lbPnlTot->setPalette(pal);
    lbPnlTot->adjustSize();
    if (pcBM)
        pcBM->setTabText(pcBM->indexOf(tsPnl), FDay.TabCaption());

    const int n = FDay.FPnl.size();
    gPnl->setRowCount(qMax(1, n));
    const QFont plain = AppFont(9);
    for (int row = 0; row < qMax(1, n); ++row) {
        TPnlCells cells = FDay.CellsOf(row, row < n ? Ctx.NameOf(FDay.FPnl[row].Code) : QString());
        if (n == 0) {
            cells.Text[0] = QStringLiteral("오늘 체결 없음");
            cells.Color[0] = QColor(144, 144, 144);
            cells.Bold[0] = false;
        }
        for (int col = 0; col < 8; ++col) {
            auto* item = gPnl->item(row, col);
            if (!item) {
                item = new QTableWidgetItem;
                gPnl->setItem(row, col, item);
            }
            item->setText(cells.Text[col]);
            item->setForeground(cells.Color[col]);
            QFont f = plain;
            f.setBold(cells.Bold[col]);
            f.setItalic(cells.Italic[col]);
            item->setFont(f);
            item->setTextAlignment((col < 2 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        }
    }
    PaintRowBackgrounds();
}

// White rows; the grid's current row in the selection blue.
void TPnlFacet::PaintRowBackgrounds()
{
    const int cur = gPnl->currentRow();
    for (int row = 0; row < gPnl->rowCount(); ++row)
        for (int col = 0; col < gPnl->columnCount(); ++col)
            if (auto* item = gPnl->item(row, col))
                item->setBackground(row == cur ? Colors::SelectedRow : QColor(Qt::white));
}
