// Painting and mouse handling of the candle chart widget, offscreen.
#include "chart/CandleChart.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

// n one-minute bars of one day from 09:01, alternating rising and falling.
QVector<TBar> MinuteBars(int n, const QString& day = QStringLiteral("20250312"))
{
    QVector<TBar> r;
    double px = 10000;
    for (int i = 0; i < n; ++i) {
        const int m = 9 * 60 + 1 + i;
        TBar b;
        b.D = day + QStringLiteral("%1%2").arg(m / 60, 2, 10, QLatin1Char('0')).arg(m % 60, 2, 10, QLatin1Char('0'));
        const bool up = i % 2 == 0;
        b.O = up ? px : px + 40;
        b.C = up ? px + 40 : px;
        b.H = std::max(b.O, b.C) + 10;
        b.L = std::min(b.O, b.C) - 10;
        b.V = 1000 + i * 10;
        r << b;
        px += 5;
    }
    return r;
}

QImage Paint(TCandleChart& c)
{
    QImage img(c.size(), QImage::Format_ARGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    c.PaintTo(p);
    p.end();
    return img;
}

struct CandleChartTest : ::testing::Test {
    TCandleChart Chart;
    void SetUp() override
    {
        Chart.resize(560, 500);
        Chart.Model().SetIsMinute(true);
    }
    QPointF Mid() const { return QPointF(Chart.width() / 2, Chart.height() / 3); }
    void Wheel(int dy)
    {
        QWheelEvent e(Mid(), Chart.mapToGlobal(Mid()), QPoint(), QPoint(0, dy), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&Chart, &e);
    }
};

TEST_F(CandleChartTest, PaintsEveryStateWithoutCrashing)
{
    // No bars: only the title and the empty message, no geometry.
    Chart.Model().SetTitle(QStringLiteral("삼성전자"));
    Paint(Chart);
    EXPECT_FALSE(Chart.Model().GeoOK());

    TChartModel& m = Chart.Model();
    QVector<TBar> bars = MinuteBars(120, QStringLiteral("20250311")) + MinuteBars(200);
    m.SetBars(bars);
    m.SetPrevClose(10100);
    m.SetAvg(10300, 15);
    m.SetFills({{bars[250].D, bars[250].C, true}, {bars[260].D, bars[260].C, false}});
    m.SetSigs({{bars[10].D, 9000, true, QStringLiteral("돌파")}, {bars[300].D, 11000, false, QStringLiteral("이탈")}});
    m.SetDtMark(bars[280].D, QStringLiteral("DT"));
    m.SetNewsMark(bars[290].D, QStringLiteral("뉴스"), false);
    m.SetDraws({{'X', bars[300].D, {}, 10500, 0}, {'H', {}, {}, 10600, 0}, {'V', bars[310].D, {}, 0, 0},
                {'L', bars[250].D, bars[310].D, 10200, 10900}, {'C', bars[260].D, bars[280].D, 10300, 10700},
                {'L', QStringLiteral("19990101"), QStringLiteral("29990101"), -5, 1e9}});
    m.SetSel(3);
    const QImage img = Paint(Chart);
    EXPECT_TRUE(m.GeoOK());
    EXPECT_EQ(img.pixelColor(1, 1), QColor(Qt::white));

    // Hover over the pane, a pending rubber band, a day chart with a day mark,
    // a pane too small to draw and a single flat bar.
    QTest::mouseMove(&Chart, QPoint(300, 150));
    m.SetTool('L');
    m.SetPend(bars[300].D, 10500);
    Paint(Chart);
    m.SetIsMinute(false);
    m.SetExtVwap(10400);
    m.SetDayMark(QStringLiteral("20250312"));
    m.SetBars(bars);
    Paint(Chart);
    Chart.resize(60, 40);
    Paint(Chart);
    EXPECT_FALSE(m.GeoOK());
    Chart.resize(560, 500);
    m.SetBars({TBar{QStringLiteral("20250312"), 5000, 5000, 5000, 5000, 0, 0}});
    Paint(Chart);
    EXPECT_TRUE(m.GeoOK());
}

TEST_F(CandleChartTest, RisingCandleBodyIsRedAndFallingIsBlue)
{
    TChartModel& m = Chart.Model();
    m.SetIsMinute(false);
    m.SetUserBarW(20);
    QVector<TBar> bars;
    for (int i = 0; i < 12; ++i) {
        const bool up = i != 11;
        bars << TBar{QStringLiteral("202503%1").arg(i + 1, 2, 10, QLatin1Char('0')), up ? 1000.0 : 1400.0, 1450,
                     950, up ? 1400.0 : 1000.0, 100, 0};
    }
    m.SetBars(bars);
    const QImage img = Paint(Chart);
    const int y = m.PriceY(1200);
    EXPECT_EQ(img.pixelColor(m.BarX(10) + 3, y), QColor(229, 57, 53));
    EXPECT_EQ(img.pixelColor(m.BarX(11) + 3, y), QColor(30, 136, 229));
}

TEST_F(CandleChartTest, WheelZoomsWithinBoundsAndDoubleClickResets)
{
    TChartModel& m = Chart.Model();
    m.SetBars(MinuteBars(300));
    Paint(Chart);
    const int w0 = m.BarW();
    Wheel(120);
    EXPECT_EQ(m.BarW(), w0 + 1);
    EXPECT_EQ(m.UserBarW(), w0 + 1);
    for (int i = 0; i < 60; ++i)
        Wheel(120);
    EXPECT_EQ(m.BarW(), 40);
    for (int i = 0; i < 60; ++i)
        Wheel(-120);
    EXPECT_EQ(m.BarW(), 1);
    EXPECT_EQ(m.UserBarW(), 1);

    m.SetOffset(50);
    QTest::mouseDClick(&Chart, Qt::LeftButton, {}, Mid().toPoint());
    EXPECT_EQ(m.Offset(), 0);
    EXPECT_EQ(m.UserBarW(), 0);
    EXPECT_TRUE(m.FitPending());
    Paint(Chart);
    EXPECT_GE(m.BarW(), 6);  // refit to about 60 bars
    EXPECT_LE(m.BarW(), 16);
}

TEST_F(CandleChartTest, DragPansAndShortClickRaisesBarClick)
{
    TChartModel& m = Chart.Model();
    m.SetBars(MinuteBars(300));
    Paint(Chart);
    const int bw = m.BarW();
    QString clicked;
    m.OnBarClick = [&](const QString& d) { clicked = d; };

    const QPoint a(200, 150);
    QTest::mousePress(&Chart, Qt::LeftButton, {}, a);
    QTest::mouseMove(&Chart, a + QPoint(bw * 5, 0));
    EXPECT_EQ(m.Offset(), 5);
    QTest::mouseRelease(&Chart, Qt::LeftButton, {}, a + QPoint(bw * 5, 0));
    EXPECT_TRUE(clicked.isEmpty());
    // Dragging right past the oldest bar stops at count - 10.
    QTest::mousePress(&Chart, Qt::LeftButton, {}, a);
    QTest::mouseMove(&Chart, a + QPoint(bw * 1000, 0));
    EXPECT_EQ(m.Offset(), 290);
    QTest::mouseRelease(&Chart, Qt::LeftButton, {}, a + QPoint(bw * 1000, 0));

    m.SetOffset(0);
    Paint(Chart);
    QTest::mousePress(&Chart, Qt::LeftButton, {}, a);
    QTest::mouseRelease(&Chart, Qt::LeftButton, {}, a + QPoint(2, 3));
    ASSERT_FALSE(clicked.isEmpty());
    EXPECT_LE(std::abs(m.BarX(m.BarIndexAt(clicked)) - a.x()), m.BarW());
    // A click that moves 4 pixels is no bar click.
    clicked.clear();
    QTest::mousePress(&Chart, Qt::LeftButton, {}, a);
    QTest::mouseRelease(&Chart, Qt::LeftButton, {}, a + QPoint(4, 0));
    EXPECT_TRUE(clicked.isEmpty());
}

TEST_F(CandleChartTest, DrawingToolsPlaceSelectMoveAndDelete)
{
    TChartModel& m = Chart.Model();
    m.SetBars(MinuteBars(300));
    Paint(Chart);
    int changes = 0;
    m.OnDrawsChange = [&] { ++changes; };

    // A trend line needs two clicks; Esc after the first leaves nothing.
    Chart.SetTool('L');
    QTest::mouseClick(&Chart, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::keyClick(&Chart, Qt::Key_Escape);
    EXPECT_TRUE(m.GetDraws().isEmpty());
    EXPECT_TRUE(m.Tool().isNull());

    // Right click with a tool ends it without adding anything.
    Chart.SetTool('H');
    QTest::mouseClick(&Chart, Qt::RightButton, {}, QPoint(100, 100));
    EXPECT_TRUE(m.Tool().isNull());
    EXPECT_TRUE(m.GetDraws().isEmpty());

    Chart.SetTool('H');
    QTest::mouseClick(&Chart, Qt::LeftButton, {}, QPoint(100, 120));
    ASSERT_EQ(m.GetDraws().size(), 1);
    EXPECT_EQ(changes, 1);
    Chart.SetTool(QChar());
    Paint(Chart);
    const double p0 = m.GetDraws()[0].P1;
    EXPECT_EQ(Chart.HitDraw(QPoint(300, 122)), 0);
    EXPECT_EQ(Chart.HitDraw(QPoint(300, 140)), -1);

    // Dragging the line sideways and down changes only its price.
    QTest::mousePress(&Chart, Qt::LeftButton, {}, QPoint(300, 120));
    EXPECT_EQ(m.Sel(), 0);
    QTest::mouseMove(&Chart, QPoint(360, 150));
    QTest::mouseRelease(&Chart, Qt::LeftButton, {}, QPoint(360, 150));
    ASSERT_EQ(m.GetDraws().size(), 1);
    EXPECT_LT(m.GetDraws()[0].P1, p0);
    EXPECT_TRUE(m.GetDraws()[0].D1.isEmpty());
    EXPECT_EQ(changes, 2);

    Paint(Chart);
    QTest::keyClick(&Chart, Qt::Key_Delete);
    EXPECT_TRUE(m.GetDraws().isEmpty());
    EXPECT_EQ(changes, 3);

    // Two quick clicks: the second press comes as a double click and still
    // places the second anchor.
    Chart.SetTool('L');
    QTest::mouseClick(&Chart, Qt::LeftButton, {}, QPoint(100, 100));
    const QPointF at(200, 80);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, Chart.mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Chart, &dbl);
    ASSERT_EQ(m.GetDraws().size(), 1);
    EXPECT_EQ(m.GetDraws()[0].K, QChar('L'));
    EXPECT_NE(m.GetDraws()[0].D1, m.GetDraws()[0].D2);
}

} // namespace
