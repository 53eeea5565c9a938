#include "app/market/DailyFacet.h"

#include "app/DailyGridModel.h"
#include "app/UiKit.h"
#include "chart/ChartModel.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

TDailyFacet::TDailyFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

void TDailyFacet::BuildDailyPage(TTabSet* tabs)
{
    QWidget* daily = tabs->AddPage(QStringLiteral("  일별  "));
    auto* v = VBox(daily);
    QWidget* s = MakeStrip(daily, 26);
    lbDailyAvg = MakeLabel(s, 6, 5, QString(), QColor(0, 0x40, 0x80), true);
    v->addWidget(s);
    gDaily = new QTableView(daily);
    FDailyModel = new TDailyGridModel(FDaily, gDaily);
    gDaily->setModel(FDailyModel);
    StyleGrid(gDaily, {{QStringLiteral("날짜"), 70}, {QStringLiteral("종가"), 80}, {QStringLiteral("등락률"), 64},
                       {QStringLiteral("거래량"), 96}, {QStringLiteral("20일比"), 60}, {QStringLiteral("거래대금"), 80}});
    gDaily->setSelectionMode(QAbstractItemView::NoSelection);
    DrawGridCells(gDaily, 6, 6, 3);
    gDaily->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    connect(gDaily, &QTableView::pressed, this, [this](const QModelIndex& i) {
        // Only the left button picks a day; the right one scrolls back to the top.
        if (i.row() < FDaily.Count() && (QGuiApplication::mouseButtons() & Qt::LeftButton)) {
            FDailyModel->Sel = i.row();
            gDaily->viewport()->update();
            if (DayChart)
                DayChart->FocusDay(FDaily.Row(i.row()).D.left(8));
        }
    });
    gDaily->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(gDaily, &QTableView::customContextMenuRequested, this, [this] { gDaily->scrollToTop(); });
    v->addWidget(gDaily, 1);
}

QString TDailyFacet::SelectedDay() const
{
    if (FDailyModel->Sel >= 0 && FDailyModel->Sel < FDaily.Count())
        return FDaily.Row(FDailyModel->Sel).D.left(8);
    return {};
}

void TDailyFacet::RebuildDaily(const QVector<TBar>& asc)
{
    FDaily.Rebuild(asc, Ctx.Today());
    FDailyModel->Sel = -1;
    FDailyModel->Reset();
    gDaily->scrollToTop();
    lbDailyAvg->setText(FDaily.Summary());
    lbDailyAvg->adjustSize();
    const QFontMetrics fm(AppFont(9, true));
    const QStringList samples = FDaily.WidthSamples();
    for (int c = 0; c < 6; ++c) {
        const QString cap = FDailyModel->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        gDaily->setColumnWidth(c, qMax(fm.horizontalAdvance(cap) + Scaled(12),
                                       fm.horizontalAdvance(samples.value(c)) + Scaled(18)));
    }
}
