#include "core/Fonts.h"
#include "core/NumFmt.h"
#include "trading/LadderScroll.h"
#include "trading/LadderView.h"
#include "trading/MyOrdBar.h"

#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct TEv {
    QString Kind, Side;
    int A = 0, B = 0;
    bool operator==(const TEv&) const = default;
};
std::ostream& operator<<(std::ostream& os, const TEv& e)
{
    return os << e.Kind.toStdString() << "(" << e.Side.toStdString() << "," << e.A << "," << e.B << ")";
}

class LadderViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        V.resize(600, 900);
        THogaData d;
        d.Code = "005930";
        d.Price = 10000;
        d.PrevClose = 9900;
        d.UpLmt = 12870;
        d.DnLmt = 6930;
        for (int i = 0; i < 10; ++i) {
            d.Ask[i] = 10010 + 10 * i;
            d.AskQ[i] = 100 * (i + 1);
            d.Bid[i] = 10000 - 10 * i;
            d.BidQ[i] = 50 * (i + 1);
        }
        V.SetData(d);
        V.FOnOrder = [this](const QString& s, int p) { Ev.push_back({"order", s, p, 0}); };
        V.FOnCancel = [this](const QString& s, int p) { Ev.push_back({"cancel", s, p, 0}); };
        V.FOnMove = [this](const QString& s, int a, int b) { Ev.push_back({"move", s, a, b}); };
        V.FOnReload = [this] { Ev.push_back({"reload", "", 0, 0}); };
    }
    QPoint At(int price, int col) const
    {
        const QRect r = V.CellRect(price, col);
        EXPECT_FALSE(r.isEmpty()) << "price " << price << " not visible";
        return r.center();
    }

    TLadderView V;
    std::vector<TEv> Ev;
};

}

TEST_F(LadderViewTest, GeometryRoundTripsEveryVisiblePrice)
{
    for (QSize sz : {QSize(600, 900), QSize(300, 100), QSize(200, 30)}) {
        V.resize(sz);
        const QVector<int> prices = V.VisiblePrices();
        ASSERT_GE(prices.size(), 1);
        for (int p : prices) {
            const QRect r = V.RowRect(p);
            ASSERT_FALSE(r.isEmpty()) << p;
            EXPECT_EQ(V.PriceAt(r.center().y()), p);
            EXPECT_EQ(V.PriceAt(r.top()), p);
            EXPECT_EQ(V.PriceAt(r.bottom()), p);
        }
        EXPECT_EQ(V.PriceAt(0), 0);  // header
    }
}

TEST_F(LadderViewTest, RecenterPutsPriceInMiddleRow)
{
    const QVector<int> prices = V.VisiblePrices();
    EXPECT_EQ(prices[prices.size() / 2], 10000);
    V.CenterOn(11500);
    EXPECT_EQ(V.VisiblePrices()[prices.size() / 2], 11500);
    V.Recenter();
    const int n = V.VisiblePrices().size();
    EXPECT_EQ(V.RowRect(10000).top(), V.RowH() * (n / 2 + 1));
}

TEST_F(LadderViewTest, DoubleClickOrdersAndReloads)
{
    QTest::mouseDClick(&V, Qt::LeftButton, {}, At(10010, kColMyBuy));  // best ask, buy column
    QTest::mouseRelease(&V, Qt::LeftButton, {}, At(10010, kColMyBuy));
    QTest::mouseDClick(&V, Qt::LeftButton, {}, At(9990, kColMySell));
    QTest::mouseRelease(&V, Qt::LeftButton, {}, At(9990, kColMySell));
    QTest::mouseDClick(&V, Qt::LeftButton, {}, At(9990, kColPrice));
    QTest::mouseRelease(&V, Qt::LeftButton, {}, At(9990, kColPrice));
    QTest::mouseDClick(&V, Qt::LeftButton, {}, At(9990, kColPnl));  // nothing
    QTest::mouseRelease(&V, Qt::LeftButton, {}, At(9990, kColPnl));
    EXPECT_EQ(Ev, (std::vector<TEv>{{"order", "2", 10010, 0}, {"order", "1", 9990, 0}, {"reload", "", 0, 0}}));
}

// A double-click on an own order opens a modal confirmation that swallows the
// release: nothing of the press may linger into later clicks. A quick right
// double-click cancels once.
TEST_F(LadderViewTest, DoubleClickLeavesNoDragBehindAndRightDoubleClickCancelsOnce)
{
    V.AddMy("2", 9950, 4);
    V.FOnOrder = [this](const QString& side, int p) {
        Ev.push_back({"order", side, p, 0});
        EXPECT_FALSE(V.DraggingMy());  // what a modal dialog would see
    };
    QTest::mousePress(&V, Qt::LeftButton, {}, At(9950, kColMyBuy));
    QTest::mouseRelease(&V, Qt::LeftButton, {}, At(9950, kColMyBuy));
    const QPointF at = At(9950, kColMyBuy);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, V.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&V, &dbl);  // no release follows
    EXPECT_FALSE(V.DraggingMy());
    QTest::mousePress(&V, Qt::LeftButton, {}, QPoint(5, 2));  // the header
    QTest::mouseRelease(&V, Qt::LeftButton, {}, QPoint(V.width() + 40, 300));

    QTest::mousePress(&V, Qt::RightButton, {}, At(9950, kColMyBuy));
    QTest::mouseRelease(&V, Qt::RightButton, {}, At(9950, kColMyBuy));
    QMouseEvent rdbl(QEvent::MouseButtonDblClick, at, V.mapToGlobal(at), Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&V, &rdbl);
    EXPECT_EQ(Ev, (std::vector<TEv>{{"order", "2", 9950, 0}, {"cancel", "2", 9950, 0}}));
}

TEST_F(LadderViewTest, NoEventsOutsideTheLimits)
{
    V.CenterOn(12870);  // the upper half of the rows lies above the limit
    const int above = V.VisiblePrices().first();
    ASSERT_GT(above, 12870);
    QTest::mouseDClick(&V, Qt::LeftButton, {}, At(above, kColMyBuy));
    QTest::mouseRelease(&V, Qt::LeftButton, {}, At(above, kColMyBuy));
    EXPECT_TRUE(Ev.empty());
    EXPECT_FALSE(V.HitTest(At(above, kColPrice)));
    EXPECT_TRUE(V.HitTest(At(12870, kColPrice)));
}

TEST_F(LadderViewTest, RightClickCancelsOwnOrderElseRecentres)
{
    V.AddMy("1", 10050, 3);
    V.AddMy("2", 9950, 4);
    QTest::mouseClick(&V, Qt::RightButton, {}, At(10050, kColMySell));
    QTest::mouseClick(&V, Qt::RightButton, {}, At(9950, kColMyBuy));
    QTest::mouseClick(&V, Qt::RightButton, {}, At(9950, kColMySell));  // no sell order there
    EXPECT_EQ(Ev, (std::vector<TEv>{{"cancel", "1", 10050, 0}, {"cancel", "2", 9950, 0}}));

    V.CenterOn(11000);
    QTest::mouseClick(&V, Qt::RightButton, {}, At(11000, kColAsk));
    EXPECT_EQ(V.Model().FCenter, 10000);
}

TEST_F(LadderViewTest, DragOwnOrderModifiesOrCancels)
{
    V.AddMy("1", 10050, 3);
    V.AddMy("2", 9950, 4);

    // Sell order two rows down, released over the ask column.
    QTest::mousePress(&V, Qt::LeftButton, {}, At(10050, kColMySell));
    EXPECT_TRUE(V.DraggingMy());
    QTest::mouseMove(&V, At(10030, kColAsk));
    EXPECT_EQ(V.DropPrice(), 10030);
    EXPECT_EQ(V.HeaderText(), QString::fromUtf8("10,050 → 10,030  놓으면 정정"));
    QTest::mouseRelease(&V, Qt::LeftButton, {}, At(10030, kColAsk));
    EXPECT_FALSE(V.DraggingMy());

    // Buy order dragged out of the control.
    QTest::mousePress(&V, Qt::LeftButton, {}, At(9950, kColMyBuy));
    QTest::mouseMove(&V, QPoint(V.width() + 40, 300));
    EXPECT_TRUE(V.DragOut());
    EXPECT_EQ(V.HeaderText(), QString::fromUtf8("놓으면 9,950 미체결 취소"));
    QTest::mouseRelease(&V, Qt::LeftButton, {}, QPoint(V.width() + 40, 300));

    // Buy order onto the sell column: refused; released there, nothing.
    QTest::mousePress(&V, Qt::LeftButton, {}, At(9950, kColMyBuy));
    QTest::mouseMove(&V, At(9970, kColMySell));
    EXPECT_EQ(V.DropPrice(), 0);
    EXPECT_EQ(V.HeaderText(), QString::fromUtf8("다른 가격에 놓으면 정정 · 밖에 놓으면 취소"));
    QTest::mouseRelease(&V, Qt::LeftButton, {}, At(9970, kColMySell));

    // Released on its own row: nothing.
    QTest::mousePress(&V, Qt::LeftButton, {}, At(9950, kColMyBuy));
    QTest::mouseMove(&V, At(9950, kColBid));
    QTest::mouseRelease(&V, Qt::LeftButton, {}, At(9950, kColBid));

    // A cell without an own order does not drag.
    QTest::mousePress(&V, Qt::LeftButton, {}, At(10000, kColMySell));
    EXPECT_FALSE(V.DraggingMy());
    QTest::mouseMove(&V, At(10050, kColMySell));
    QTest::mouseRelease(&V, Qt::LeftButton, {}, At(10050, kColMySell));

    EXPECT_EQ(Ev, (std::vector<TEv>{{"move", "1", 10050, 10030}, {"cancel", "2", 9950, 0}}));
}

TEST_F(LadderViewTest, WheelScrollsThreeTicksAndScrollBarFollows)
{
    QScrollBar sb(Qt::Vertical);
    TLadderScroll link(&V, &sb);
    link.BuildLadderTicks();
    ASSERT_TRUE(sb.isEnabled());
    const QVector<int>& t = link.LadTicks();
    EXPECT_EQ(t.first(), 12870);
    EXPECT_EQ(t.last(), 6930);
    EXPECT_EQ(sb.maximum(), t.size() - 1);
    EXPECT_EQ(t[sb.value()], 10000);

    QWheelEvent up(QPointF(300, 300), V.mapToGlobal(QPointF(300, 300)), {}, QPoint(0, 120), Qt::NoButton, {},
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(&V, &up);
    EXPECT_EQ(V.Model().FCenter, 10030);
    QImage img(V.size(), QImage::Format_ARGB32_Premultiplied);
    V.render(&img);  // the paint reports the scroll
    EXPECT_EQ(t[sb.value()], 10030);

    sb.setValue(sb.value() + 10);  // the bar moves the ladder
    EXPECT_EQ(V.Model().FCenter, t[sb.value()]);
    EXPECT_EQ(V.Model().FCenter, 9930);

    THogaData none;  // no limits: bar disabled
    none.Code = "000660";
    V.SetData(none);
    link.BuildLadderTicks();
    EXPECT_FALSE(sb.isEnabled());
    EXPECT_TRUE(link.LadTicks().isEmpty());
}

TEST_F(LadderViewTest, MyOrdBarSummaryAndClicks)
{
    TMyOrdBar bar;
    bar.resize(600, 26);
    bar.SetLadder(&V);
    V.SetSumBar(&bar);
    EXPECT_EQ(bar.Summary("1").Text, QString::fromUtf8("매도 미체결 없음"));

    const QVector<int> vis = V.VisiblePrices();
    V.AddMy("1", TickUp(vis.first()), 10);
    V.AddMy("1", TickUp(TickUp(vis.first())), 5);
    V.AddMy("1", 10050, 1000);
    V.AddMy("2", 9950, 2);
    EXPECT_EQ(bar.Summary("1").Text, QString::fromUtf8("매도 미체결 1,015주 · 3곳  ▲2"));
    EXPECT_EQ(bar.Summary("2").Text, QString::fromUtf8("매수 미체결 2주 · 1곳"));

    V.CenterOn(11000);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(590, 10));  // buy side: nearest buy order
    EXPECT_EQ(V.Model().FCenter, 9950);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, 10));  // sell side: 10,050 is nearest 10,000
    EXPECT_EQ(V.Model().FCenter, 10050);
    QTest::mouseClick(&bar, Qt::RightButton, {}, QPoint(300, 10));
    EXPECT_EQ(V.Model().FCenter, 10000);
}

TEST_F(LadderViewTest, PaintsWithEverythingShown)
{
    // Every layer at once, including a drag in progress, must paint without
    // fault and leave the header in its drag colour.
    V.AddMy("1", 10050, 3);
    V.AddTk(1, 10000, 500);
    V.AddTk(2, 9990, 200);
    V.SetHold(10, 9950, 0.3);
    V.SetDayMarks(9900, 10100, 9800, 9987.5);
    QTest::mousePress(&V, Qt::LeftButton, {}, At(10050, kColMySell));
    QTest::mouseMove(&V, At(10030, kColMySell));
    QImage img(V.size(), QImage::Format_ARGB32_Premultiplied);
    V.render(&img);
    EXPECT_EQ(QColor(img.pixel(2, 2)), QColor(32, 128, 32));
    QTest::mouseRelease(&V, Qt::LeftButton, {}, At(10030, kColMySell));
    V.render(&img);
    EXPECT_EQ(QColor(img.pixel(2, 2)), QColor(240, 240, 240));
}

// The ladder formats a row's texts once per price: each input they come
// from, changed on its own, must show in the next Row as in a fresh model.
TEST(LadderRowTexts, FollowEachInput)
{
    struct TIn {
        int Prev;
        qint64 Qty;
        double Avg, Fee;
    };
    auto feed = [](TLadderModel& m, const TIn& in) {
        THogaData d;
        d.Code = "005930";
        d.Price = 50000;
        d.PrevClose = in.Prev;
        d.UpLmt = 65000;
        d.DnLmt = 35000;
        m.SetData(d);
        m.SetHold(in.Qty, in.Avg, in.Fee);
    };
    TLadderModel m;
    const TIn steps[] = {
        {50000, 100, 50000, 0.25}, {48000, 100, 50000, 0.25}, {48000, 300, 50000, 0.25},
        {48000, 300, 49000, 0.25}, {48000, 300, 49000, 0.5},  {48000, 0, 49000, 0.5},
    };
    for (const TIn& in : steps) {
        SCOPED_TRACE(testing::Message() << in.Prev << " " << in.Qty << " " << in.Avg << " " << in.Fee);
        feed(m, in);
        TLadderModel fresh;
        feed(fresh, in);
        for (int p : {51000, 50000, 49000}) {
            const TLadderRow got = m.Row(p), want = fresh.Row(p);
            EXPECT_EQ(got.PriceText, want.PriceText);
            EXPECT_EQ(got.PctText, want.PctText);
            EXPECT_EQ(got.PnlText, want.PnlText);
        }
    }
}

namespace {
// Pixels that differ (all of them when the sizes do), the first one in *first.
int PixelDiff(const QImage& a, const QImage& b, QPoint* first)
{
    if (a.size() != b.size())
        return a.width() * a.height() + 1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && n++ == 0)
                *first = QPoint(x, y);
    return n;
}
}

// The cached paint (text layouts and row pictures kept between frames)
// against the plain one that measures, lays out and draws everything on each
// paint: pixel for pixel the same, state after state, in the test font and
// the window's Korean 9 pt font. The caches live on from state to state, so a
// row picture kept past a change of what it shows shows up as a difference.
TEST_F(LadderViewTest, CachedPaintMatchesPlainPaint)
{
    auto same = [&](const char* state, QWidget* host = nullptr) {
        QWidget* w = host ? host : &V;
        V.SetPaintCache(false);
        const QImage want = w->grab().toImage();
        V.SetPaintCache(true);
        // The first cached frame brings the changed rows up to date, the
        // second takes every row from its picture.
        for (int pass = 0; pass < 2; ++pass) {
            const QImage got = w->grab().toImage();
            QPoint first;
            EXPECT_EQ(PixelDiff(got, want, &first), 0)
                << state << ", pass " << pass << ": first at " << first.x() << "," << first.y();
        }
        EXPECT_EQ(V.RowsReused(), V.VisiblePrices().size()) << state;  // the pictures were used
        return want;
    };

    QFont korean;
    korean.setFamilies(UiFontFamilies());
    korean.setPointSizeF(9);
    for (const QFont& f : {V.font(), korean}) {
        SCOPED_TRACE(f.family().toStdString());
        V.setFont(f);
        V.SetScale({});
        V.resize(600, 900);
        V.ClearMy();
        V.ClearTk();
        V.SetHold(0, 0, 0.3);
        V.SetDayMarks(0, 0, 0, 0);
        V.Recenter();

        const QImage book = same("book only");

        V.AddMy("1", 10050, 3);
        V.AddMy("1", 10090, 1200);
        V.AddMy("2", 9950, 40);
        V.AddMy("2", 7000, 5);  // far outside the rows
        for (int p = 9900; p <= 10100; p += 10) {
            V.AddTk(1, p, 300 + p % 700);
            V.AddTk(2, p, 100 + p % 400);
        }
        const QImage orders = same("own orders and tick sums");
        EXPECT_NE(orders, book);  // the states really draw something different

        V.SetHold(120, 9950, 0.3);
        V.SetDayMarks(9900, 10100, 9800, 9987.5);
        const QImage hold = same("holding, its profit column and day marks");
        EXPECT_NE(hold, orders);

        V.AddTk(1, 10000, 5000);  // a new largest tick sum: every bar shrinks
        V.AddMy("2", 9950, -40);  // filled
        same("new largest tick sum, an order gone");

        QWheelEvent up(QPointF(300, 300), V.mapToGlobal(QPointF(300, 300)), {}, QPoint(0, 120), Qt::NoButton, {},
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(&V, &up);
        QApplication::sendEvent(&V, &up);
        same("scrolled six ticks up");

        const QPointF over = At(10010, kColPrice);
        QMouseEvent move(QEvent::MouseMove, over, V.mapToGlobal(over), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&V, &move);
        ASSERT_EQ(V.HoverPrice(), 10010);
        same("hovering a row");

        V.CenterOn(12870);  // rows beyond the upper limit
        same("at the upper limit");
        V.Recenter();

        V.SetScale([](int n) { return n * 24 / 16; });
        same("scale unit 24");
        V.SetScale({});

        THogaData d;
        d.Code = "005930";
        d.Price = 10020;  // a trade two ticks up: the current row moves
        d.PrevClose = 9900;
        d.UpLmt = 12870;
        d.DnLmt = 6930;
        for (int i = 0; i < 10; ++i) {
            d.Ask[i] = 10030 + 10 * i;
            d.AskQ[i] = 7 + 13 * i;
            d.Bid[i] = 10020 - 10 * i;
            d.BidQ[i] = 12345 * (i + 1);
        }
        V.SetData(d);
        same("after a trade and a book change");
        d.AskQ[2] += 1;  // one quantity of one row
        V.SetData(d);
        same("after one quantity changed");

        {
            // Inside a window at an offset: the backing store's opaque format.
            QWidget host;
            host.resize(640, 940);
            V.setParent(&host);
            V.move(13, 27);
            same("inside a window", &host);
            V.setParent(nullptr);
        }

        // Drag in progress: the header's long message is elided in its cell.
        V.resize(300, 400);
        QTest::mousePress(&V, Qt::LeftButton, {}, At(10050, kColMySell));
        QTest::mouseMove(&V, At(10060, kColAsk));
        ASSERT_TRUE(V.DraggingMy());
        same("narrow, dragging an own order");
        QTest::mouseRelease(&V, Qt::LeftButton, {}, QPoint(V.width() + 40, 100));
        Ev.clear();
    }
}
