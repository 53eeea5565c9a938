#include "app/UiKit.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QStandardItemModel>
#include <QTableView>
#include <gtest/gtest.h>

TEST(UiKit, ScaledFollowsTheHeightOfTheKoreanGlyph)
{
    const int measured = ScaleUnit();
    EXPECT_GE(measured, 10);
    struct Case {
        int unit, n, px;
    } cases[] = {
        {24, 16, 24}, {24, 80, 120}, {24, 38, 57},  // a 24 px "가": every size grows by half
        {16, 80, 80},  {9, 80, 80},                 // below 10 counts as 16
        {20, 7, 8},                                  // multiply first, then divide
    };
    for (const Case& c : cases) {
        SetScaleUnit(c.unit);
        EXPECT_EQ(Scaled(c.n), c.px) << c.unit << " " << c.n;
    }
    SetScaleUnit(measured);
}

// Grid cells drawn from texts laid out once must come out exactly as texts
// laid out at each paint: right and left aligned, centred and top aligned,
// two fonts, colours, Korean, and a text too long for its cell (elided).
TEST(UiKit, GridTextsLaidOutOnceDrawTheSamePixels)
{
    for (const int top : {-1, 3}) {
        QStandardItemModel model(6, 3);
        const QString texts[6][3] = {
            {"09:00:01", "185,100", "+1.23%"},   {"09:00:02", "185,000", "-0.05%"},
            {"삼성전자", "1,234,567", "0.00%"},    {"코스닥 글로벌 지수 구성 종목 아주 긴 이름", "12", "+29.99%"},
            {"ETF", "99", "▲ 1,200"},             {"", "3,000,000,000", "x"},
        };
        QFont bold = AppFont(9, true);
        for (int r = 0; r < 6; ++r) {
            for (int c = 0; c < 3; ++c) {
                auto* it = new QStandardItem(texts[r][c]);
                it->setTextAlignment(c == 0 ? Qt::AlignLeft : Qt::AlignRight);
                if (r % 2)
                    it->setForeground(QColor(220, 0, 0));
                if (r == 2)
                    it->setFont(bold);
                if (r == 4)
                    it->setBackground(QColor(255, 250, 220));
                model.setItem(r, c, it);
            }
        }
        QTableView view;
        view.setModel(&model);
        view.setFont(AppFont(9));
        DrawGridCells(&view, 4, 6, top);
        view.setColumnWidth(0, 90);
        view.resize(360, 220);
        auto shot = [&](bool cache) {
            SetGridTextCache(cache);
            const QImage img = view.grab().toImage();
            SetGridTextCache(true);
            return img;
        };
        const QImage plain = shot(false);
        const QImage first = shot(true), again = shot(true);
        EXPECT_TRUE(first == plain) << "top " << top << ": the first paint with the cache differs";
        EXPECT_TRUE(again == plain) << "top " << top << ": a paint from cached texts differs";
    }
}

// A live list's scroll bar: a range that grows a row at a time repaints
// nothing while the handle stays where it is drawn; a change that moves the
// handle, or reaches the end, repaints.
TEST(UiKit, QuietScrollBarRepaintsOnlyWhenItsHandleMoves)
{
    struct TPaints : QObject {
        int N = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            N += e->type() == QEvent::Paint;
            return false;
        }
    } paints;
    TQuietScrollBar bar(Qt::Vertical);
    bar.resize(16, 300);
    bar.setRange(0, 20000);
    bar.setPageStep(20);
    bar.installEventFilter(&paints);
    bar.show();
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    ASSERT_GT(paints.N, 0);
    auto paintsAfter = [&](auto change) {
        paints.N = 0;
        change();
        QApplication::processEvents();
        return paints.N;
    };
    EXPECT_EQ(paintsAfter([&] { bar.setMaximum(20001); }), 0) << "a row more moved nothing";
    EXPECT_EQ(paintsAfter([&] { bar.setMaximum(20050); }), 0);
    EXPECT_GT(paintsAfter([&] { bar.setValue(10000); }), 0) << "the handle moved";
    EXPECT_GT(paintsAfter([&] { bar.setMaximum(30); }), 0) << "a short range: a longer handle, at the end";
    EXPECT_GT(paintsAfter([&] { bar.setValue(0); }), 0) << "back at the start";
}
