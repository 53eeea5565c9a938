#include "app/market/TickFacet.h"

#include "app/TickModel.h"
#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/NumFmt.h"
#include "trading/LadderView.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

TTickFacet::TTickFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

void TTickFacet::BuildSumsLabel(QWidget* strip)
{
    lbTkFrom = MakeLabel(strip, 8, 4, QString(), QColor(0, 64, 128), true);
}

void TTickFacet::BuildTickPage(TTabSet* tabs)
{
    QWidget* tick = tabs->AddPage(QStringLiteral("  당일 체결  "));
    gTick = new QTableView(tick);
    gTick->setVerticalScrollBar(new TQuietScrollBar(Qt::Vertical, gTick));
    FTickModel = new TTickModel(FTicks, gTick);
    gTick->setModel(FTickModel);
    StyleGrid(gTick, TTickModel::Columns());
    gTick->setSelectionMode(QAbstractItemView::NoSelection);
    DrawGridCells(gTick, 6, 8);
    gTick->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    connect(gTick, &QTableView::clicked, this, [this](const QModelIndex& i) {
        if (FTickModel->ListRow(i.row()) < FTicks.Count()) {
            FTickModel->SelTick = FTickModel->ListRow(i.row()) - FTicks.Inserted();
            FTickModel->HasSel = true;
            gTick->viewport()->update();
        }
    });
    gTick->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(gTick, &QTableView::customContextMenuRequested, this, [this] { gTick->scrollToTop(); });
    connect(gTick->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (v >= gTick->verticalScrollBar()->maximum() - 1 && FTickMore && !FTickBusy)
            ReqTicks(true);
    });
    auto* l = new QVBoxLayout(tick);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(gTick);
}

void TTickFacet::OnScrolledToEnd()
{
    if (FTickMore && !FTickBusy)
        ReqTicks(true);
}

void TTickFacet::SetPrevClose(int prevClose) { FTickModel->PrevClose = prevClose; }

void TTickFacet::ResetTicks()
{
    FGridFrame.Flush();
    ++FTickRun;
    FTicks.Clear();
    FTickCts.clear();
    FTickMore = FTickBusy = false;
    FTickModel->ClearSel();
    FTickModel->PrevClose = 0;
    FTickModel->Reset();
    gTick->scrollToTop();
    Ladder->ClearTk();
    ShowTickSums();
}

void TTickFacet::ShowTickSums() { FSumsFrame.Request(); }

void TTickFacet::PaintSums()
{
    const QString text = FTicks.SumsLabel();
    if (lbTkFrom->text() == text)
        return;
    lbTkFrom->setText(text);
    lbTkFrom->adjustSize();
}

void TTickFacet::ReqTicks(bool next)
{
    if (!Ctx.FLogged || Ctx.FCode.isEmpty())
        return;
    const QString code = Ctx.FCode;
    const QString cts = next ? FTickCts : QString();
    const quint64 run = FTickRun;
    FTickBusy = true;
    Ctx.FQ->Add(QStringLiteral("t1301"), [this, code, cts, next, run] {
        TXAQuery* q = Ctx.B.qTick;
        if (!Ctx.SetQueryRes(q, QStringLiteral("t1301"))) {
            FTickBusy = false;
            return;
        }
        const QString b = QStringLiteral("t1301InBlock");
        q->SetFieldData(b, QStringLiteral("shcode"), 0, code);
        q->SetFieldData(b, QStringLiteral("cvolume"), 0, QString());
        q->SetFieldData(b, QStringLiteral("starttime"), 0, QString());
        q->SetFieldData(b, QStringLiteral("endtime"), 0, QString());
        q->SetFieldData(b, QStringLiteral("cts_time"), 0, cts);
        if (Ctx.Send(q, next, {code, 0, run, next ? 1 : 0}) < 0) {
            Log(QStringLiteral("!! t1301 체결내역 요청 실패"));
            FTickBusy = false;
        }
    });
}

void TTickFacet::OnTickData()
{
    TXAQuery* q = Ctx.B.qTick;
    // A page of another stock or of a list since started over changes nothing.
    const std::optional<TReqBind> bind = Ctx.Bound(q);
    if (!bind || bind->Code != Ctx.FCode || bind->Run != FTickRun)
        return;
    FTickNext = bind->Kind == 1;
    FTickBusy = false;
    if (FTickFld.isEmpty())
        FTickFld = LoadResFields(Ctx.FCfg.ResPath + QStringLiteral("t1301.res"), QStringLiteral("t1301OutBlock1"));
    const QString ask = FindField(FTickFld, {QStringLiteral("매도호가")}, QStringLiteral("offerho"));
    const QString bid = FindField(FTickFld, {QStringLiteral("매수호가")}, QStringLiteral("bidho"));
    const QString ms = FindField(FTickFld, {QStringLiteral("매수체결수량"), QStringLiteral("매수체결량"),
                                            QStringLiteral("매수누적체결량")}, QStringLiteral("msvolume"));
    const QString md = FindField(FTickFld, {QStringLiteral("매도체결수량"), QStringLiteral("매도체결량"),
                                            QStringLiteral("매도누적체결량")}, QStringLiteral("mdvolume"));
    const QString b = QStringLiteral("t1301OutBlock1");
    const int n = q->GetBlockCount(b);
    FTickCts = q->GetFieldData(QStringLiteral("t1301OutBlock"), QStringLiteral("cts_time"), 0).trimmed();
    FTickMore = n > 0 && !FTickCts.isEmpty();
    QVector<TTickRec> recs;
    recs.reserve(n);
    for (int i = 0; i < n; ++i) {
        TTickRec r;
        r.Chetime = q->GetFieldData(b, QStringLiteral("chetime"), i);
        r.Price = ParseInt32(q->GetFieldData(b, QStringLiteral("price"), i));
        r.CVolume = ParseInt(q->GetFieldData(b, QStringLiteral("cvolume"), i));
        r.Ask = ParseInt32(q->GetFieldData(b, ask, i));
        r.Bid = ParseInt32(q->GetFieldData(b, bid, i));
        r.Ms = ParseInt(q->GetFieldData(b, ms, i));
        r.Md = ParseInt(q->GetFieldData(b, md, i));
        recs.append(r);
    }
    if (!FTickNext)
        FTickModel->ClearSel();
    FGridFrame.Flush();
    FTicks.ApplyPage(recs, !FTickNext);
    // A full list takes no older pages: their rows would be dropped.
    if (FTicks.Count() >= kMaxTicks)
        FTickMore = false;
    Ladder->ClearTk();
    FTicks.RebuildSums([this](int sd, int p, qint64 v) { Ladder->AddTk(sd, p, v); });
    Ladder->update();
    ShowTickSums();
    FTickModel->PrevClose = Hoga ? Hoga->PrevClose : 0;
    FTickModel->Reset();
    if (!FTickNext)
        gTick->scrollToTop();
    FitTickColumns();
    const int visible = gTick->viewport()->height() / qMax(1, gTick->verticalHeader()->defaultSectionSize());
    if (FTickMore && !FTickBusy && FTicks.Count() < visible + 10)
        ReqTicks(true);
}

void TTickFacet::ReloadTicks()
{
    if (!Ctx.FLogged || Ctx.FCode.isEmpty())
        return;
    Ctx.FQ->ClearTr(QStringLiteral("t1301"));
    ResetTicks();
    ReqTicks(false);
    Log(QStringLiteral("체결 새로 받음 — 사다리 체결 합계 처음부터"));
}

// A trade of the current stock: on top of the list and into the ladder's
// sums now; the grid shows the frame's new rows at once.
void TTickFacet::AddTrade(const TTradeRec& t)
{
    const int counted = FTicks.SumCount();
    const TTickSink sums = [this](int sd, int p, qint64 v) { Ladder->AddTk(sd, p, v); };
    const bool full = FTicks.Count() >= kMaxTicks;
    if (full)
        FTicks.DropOldest(sums);  // a full list makes room at the bottom
    FTicks.AddReal(t.Time, t.Price, t.CVolume, QString(QLatin1Char(t.Side ? t.Side : ' ')), sums);
    FTickModel->AddLive(full);
    FGridFrame.Request();
    if (FTicks.SumCount() != counted)
        ShowTickSums();
    Ladder->Invalidate();
}

// The frame's new trades reach the grid: one insertion; a grid scrolled into
// the past stays on the rows it showed.
void TTickFacet::SyncGrid()
{
    if (!FTickModel->Pending())
        return;
    const int top = gTick->rowAt(0);
    const int added = FTickModel->Sync();
    if (top > 0 && added > 0)
        gTick->scrollTo(FTickModel->index(top + added, 0), QAbstractItemView::PositionAtTop);
    // The view lays its rows out now, inside this frame, rather than at its
    // own timer after it: the window composes once a frame.
    gTick->doItemsLayout();
}

// The tick columns grow (never below their initial widths) to fit a time, a
// price up to 1.3 x the larger of the previous close and the current price,
// a change in percent and the largest volume among the newest 3,000 ticks.
void TTickFacet::FitTickColumns()
{
    qint64 maxVol = 0;
    const QVector<TTickRow>& rows = FTicks.Rows();
    for (int i = 0; i < rows.size() && i < 3000; ++i)
        maxVol = std::max(maxVol, rows[i].V);
    const double top = Hoga ? 1.3 * std::max(Hoga->PrevClose, Hoga->Price) : 0;
    const QString samples[4] = {QStringLiteral("00:00:00"), FmtNum(std::round(top)),
                                QStringLiteral("+00.00%"), FmtNum(maxVol)};
    const QVector<TColumn>& cols = TTickModel::Columns();
    const QFontMetrics fm(gTick->font());
    for (int c = 0; c < cols.size() && c < 4; ++c)
        gTick->setColumnWidth(c, std::max(Scaled(cols[c].Width), fm.horizontalAdvance(samples[c]) + Scaled(6 + 8 + 4)));
}
