// The mouse wheel as the window system delivers it, over every region of the
// logged-in window.
#include "SimWindow.h"
#include "app/board/BoardFacet.h"
#include "app/chart/ChartFacet.h"
#include "app/core/LogFacet.h"
#include "app/market/TickFacet.h"
#include "app/signals/LumenFacet.h"

#include "app/UiKit.h"

#include <QApplication>
#include <QWindow>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTableView>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
#include <gtest/gtest.h>

namespace {

// One wheel step at a point of the window, sent to its native window as the
// window system would.
void Wheel(TfrmMain& w, const QPoint& at, int dy)
{
    QWheelEvent e(QPointF(at), QPointF(w.mapToGlobal(at)), QPoint(), QPoint(0, dy), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&e);
    qApp->notify(w.windowHandle(), &e);  // keeps the event spontaneous, as the window system sends it
}

}  // namespace

TEST(Wheel, EveryRegionTakesItAndSelectorsIgnoreIt)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    f.Run(3000);
    w.pcLog->setCurrentIndex(1);  // the log page, full of lines
    QApplication::processEvents();
    QComboBox* selectors[] = {w.Charts->cbDayPer, w.Charts->cbMinPer, w.Board->cbBoard, w.Lumen->cbLmTopKind};
    int before[4];
    for (int i = 0; i < 4; ++i)
        before[i] = selectors[i]->currentIndex();
    const int runs = w.Charts->FMinRun;
    // Over the log's text first (this once recursed until the stack ran out).
    QWidget* log = w.LogClock->Memo->viewport();
    for (int dy : {-120, 120})
        Wheel(w, log->mapTo(&w, log->rect().center()), dy);
    for (int y = 2; y < w.height(); y += 23)
        for (int x = 2; x < w.width(); x += 31)
            for (int dy : {-120, 120})
                Wheel(w, QPoint(x, y), dy);
    // Straight over each selector, too.
    for (QComboBox* cb : selectors)
        if (cb->isVisible())
            for (int dy : {-120, 120, -120})
                Wheel(w, cb->mapTo(&w, cb->rect().center()), dy);
    QApplication::processEvents();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(selectors[i]->currentIndex(), before[i]) << i;
    EXPECT_EQ(w.Charts->FMinRun, runs) << "the minute load started over";
    EXPECT_TRUE(w.isVisible());
}

TEST(Wheel, AGridScrollsThreeRowsAStep)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    f.Run(3000);
    QTableView* g = w.Ticks->gTick;
    ASSERT_GT(g->model()->rowCount(), 30);
    g->scrollToTop();
    const QPoint at = g->viewport()->mapTo(&w, g->viewport()->rect().center());
    Wheel(w, at, -120);
    EXPECT_EQ(g->rowAt(0), 3);
    Wheel(w, at, 120);
    EXPECT_EQ(g->rowAt(0), 0);
}
