#include "app/market/ProgFacet.h"

#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/Clock.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

TProgFacet::TProgFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent)
{
    FProgTimer.setInterval(6000);
    connect(&FProgTimer, &QTimer::timeout, this, [this] {
        if (Ctx.FLogged && !Ctx.FCode.isEmpty() && FProg.OnAutoTick(Ctx.Clock().TickMs()))
            ReqProg(false, true);
    });
    FProgTimer.start();
}

QWidget* TProgFacet::Build()
{
    pnlProg = MakePanel(nullptr);
    auto* pv = VBox(pnlProg);
    QWidget* ph = MakeStrip(pnlProg, 26);
    MakeLabel(ph, 6, 5, QStringLiteral("종목별 프로그램매매  (KRX+NXT 통합 · 수량)"), Colors::Flat, true);
    pv->addWidget(ph);
    gProg = MakeGrid(pnlProg, {{QStringLiteral("시간"), 66}, {QStringLiteral("현재가"), 70}, {QStringLiteral("대비"), 62},
                               {QStringLiteral("등락률"), 56}, {QStringLiteral("거래량"), 84}, {QStringLiteral("증감"), 64},
                               {QStringLiteral("순매수"), 80}, {QStringLiteral("매도"), 80}, {QStringLiteral("매수"), 80}});
    gProg->setSelectionMode(QAbstractItemView::NoSelection);  // the program's own selection colours the row
    DrawGridCells(gProg, 6, 6);
    pv->addWidget(gProg, 1);
    OnResize(pnlProg, [this] { FitProgColumns(); });
    connect(gProg, &QTableWidget::cellClicked, this, [this](int row, int) {
        FProg.SelectGridRow(row + 1);
        ShowProg();
    });
    gProg->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(gProg, &QTableWidget::customContextMenuRequested, this, [this] { gProg->scrollToTop(); });
    connect(gProg->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (v >= gProg->verticalScrollBar()->maximum() && FProg.WantsOlderOnScroll())
            ReqProg(true, false);
    });
    return pnlProg;
}

void TProgFacet::FitProgColumns()
{
    const QVector<int> w = TProgState::ColumnWidths(gProg->viewport()->width());
    for (int i = 0; i < w.size() && i < gProg->columnCount(); ++i)
        gProg->setColumnWidth(i, w[i]);
}

void TProgFacet::ResetStock()
{
    ++FProgRun;
    FProg.SelectStock();
    ShowProg();
    gProg->scrollToTop();
}

void TProgFacet::OnLimitMessage() { Log(FProg.OnLimitMessage(Ctx.Clock().TickMs())); }

void TProgFacet::OnScrolledToEnd()
{
    if (FProg.WantsOlderOnScroll())
        ReqProg(true, false);
}

void TProgFacet::ReqProg(bool next, bool refresh)
{
    if (!Ctx.FLogged || Ctx.FCode.isEmpty())
        return;
    if (FProgIn.isEmpty() || FProgFld.isEmpty()) {
        const QString path = Ctx.FCfg.ResPath + QStringLiteral("t1637.res");
        FProgIn = LoadResFields(path, QStringLiteral("t1637InBlock"));
        FProgFld = LoadResFields(path, QStringLiteral("t1637OutBlock1"));
        FProg.SetLayout(FProgIn, FProgFld);
    }
    if (!FProg.HasInputLayout()) {
        Log(TProgState::NoLayoutMessage());
        return;
    }
    FProg.Queued(next, refresh, Ctx.Clock().TickMs());
    const QString code = Ctx.FCode;
    const quint64 run = FProgRun;
    Ctx.FQ->Add(QStringLiteral("t1637"), [this, code, next, refresh, run] {
        TXAQuery* q = refresh ? Ctx.B.qProg : Ctx.B.qProgPg;
        if (!Ctx.SetQueryRes(q, QStringLiteral("t1637"))) {
            FProg.SendFailed(refresh);
            return;
        }
        const TProgRequest r = FProg.Build(code, Ctx.Today(), next, refresh);
        for (const auto& [field, value] : r.Inputs)
            q->SetFieldData(QStringLiteral("t1637InBlock"), field, 0, value);
        FProg.Sent(r);
        if (Ctx.Send(q, r.Continuation, {code, 0, run}) < 0) {
            Log(TProgState::SendFailedMessage());
            FProg.SendFailed(refresh);
        }
    });
}

void TProgFacet::OnProgRefused(TXAQuery* q)
{
    const std::optional<TReqBind> bind = Ctx.Bound(q);
    if (!bind || bind->Code != Ctx.FCode || bind->Run != FProgRun)
        return;
    const TProgOutcome o = FProg.OnRefused(q == Ctx.B.qProgPg);
    for (const QString& line : o.Logs)
        Log(line);
    if (o.RequestOlder)
        ReqProg(true, false);
}

void TProgFacet::OnProgData(TXAQuery* q)
{
    // Answers of another stock (or of this one before it was chosen again) change nothing.
    const std::optional<TReqBind> bind = Ctx.Bound(q);
    if (!bind || bind->Code != Ctx.FCode || bind->Run != FProgRun)
        return;
    const int visible = gProg->viewport()->height() / qMax(1, gProg->verticalHeader()->defaultSectionSize());
    const TProgOutcome o = FProg.OnAnswer(*q, q == Ctx.B.qProgPg, visible);
    for (const QString& line : o.Logs)
        Log(line);
    if (o.GridChanged) {
        const int top = gProg->rowAt(0);
        ShowProg();
        if (o.ScrollToTop)
            gProg->scrollToTop();
        else if (top > 0 && o.Inserted > 0)
            gProg->scrollTo(gProg->model()->index(top + o.Inserted, 0), QAbstractItemView::PositionAtTop);
    }
    if (o.RequestOlder)
        ReqProg(true, false);
}

// The grid's rows from the program-trading state (grid row 0 of the state is the header).
void TProgFacet::ShowProg()
{
    const int rows = qMax(1, FProg.GridRowCount() - 1);
    gProg->setRowCount(rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < kProgCols; ++c) {
            const TProgCell cell = FProg.Cell(r + 1, c);
            auto* item = gProg->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                gProg->setItem(r, c, item);
            }
            item->setText(cell.Text);
            item->setForeground(cell.Color.isValid() ? cell.Color : QColor(48, 48, 48));
            item->setBackground(cell.Back.isValid() ? cell.Back : QColor(Qt::white));
            QFont f = gProg->font();
            f.setBold(cell.Bold);
            item->setFont(f);
            item->setTextAlignment((cell.Left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        }
}
