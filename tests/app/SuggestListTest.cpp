#include "app/RecentList.h"
#include "app/SuggestList.h"
#include "app/UiKit.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QVector<TSugItem> Items(int n)
{
    QVector<TSugItem> out;
    for (int i = 0; i < n; ++i)
        out.append({2, {QString::number(100000 + i), u"종목"_qs + QString::number(i), QChar(i % 2 ? '2' : '1')}});
    return out;
}

// A window with the code box inside a strip, as in the main window.
class PopupListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FHost.resize(800, 600);
        FStrip = new QWidget(&FHost);
        FStrip->setGeometry(100, 50, 400, 40);
        FBox = new QLineEdit(FStrip);
        FBox->setGeometry(40, 4, 150, 24);
        FSug = new TSugList(&FHost);
        FRecent = new TRecentList(&FHost);
        FHost.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&FHost));
    }

    QWidget FHost;
    QWidget* FStrip = nullptr;
    QLineEdit* FBox = nullptr;
    TSugList* FSug = nullptr;
    TRecentList* FRecent = nullptr;
};

}  // namespace

TEST_F(PopupListTest, SuggestionPlacementAndRowLimits)
{
    const int rh = FSug->RowHeight();
    EXPECT_EQ(rh, Scaled(24));

    FSug->Popup(FBox, Items(50));
    EXPECT_TRUE(FSug->isVisible());
    EXPECT_EQ(FSug->Count(), kSugMaxRows);
    EXPECT_EQ(FSug->Codes().size(), kSugMaxRows);
    EXPECT_EQ(FSug->CodeAt(39), u"100039"_qs);
    EXPECT_EQ(FSug->CodeAt(40), QString());
    EXPECT_EQ(FSug->Selected(), 0);
    // Box at (140, 54) in the window: 2 px left, 2 px below its bottom.
    EXPECT_EQ(FSug->geometry(), QRect(138, 54 + 24 + 2, Scaled(320), 12 * rh + 4));
    EXPECT_EQ(FSug->viewport()->height(), 12 * rh);

    FSug->Popup(FBox, Items(3));
    EXPECT_EQ(FSug->height(), 3 * rh + 4);
    EXPECT_EQ(FSug->verticalScrollBar()->maximum(), 0);

    // Nothing to show: stays hidden, no row selected.
    FSug->Popup(FBox, {});
    EXPECT_FALSE(FSug->isVisible());
    EXPECT_EQ(FSug->Selected(), -1);
}

TEST_F(PopupListTest, SuggestionKeysMoveWithinTheRows)
{
    const struct {
        int From, Key, Want, WantTop;
    } cases[] = {
        {35, Qt::Key_PageDown, 39, 28},
        {15, Qt::Key_PageDown, 25, 14},
        {0, Qt::Key_Up, 0, 0},
        {39, Qt::Key_Down, 39, 28},
        {11, Qt::Key_Down, 12, 1},
        {5, Qt::Key_PageUp, 0, 0},
        {20, Qt::Key_PageUp, 10, 9},  // came from 20: top was 9, row 10 still shown
        {1, Qt::Key_Up, 0, 0},
    };
    for (const auto& c : cases) {
        FSug->Popup(FBox, Items(40));
        FSug->SetSelected(c.From);
        EXPECT_TRUE(FSug->HandleKey(c.Key)) << c.From << " " << c.Key;
        EXPECT_EQ(FSug->Selected(), c.Want) << c.From << " " << c.Key;
        EXPECT_EQ(FSug->TopRow(), c.WantTop) << c.From << " " << c.Key;
    }

    // Keys that are not the list's pass through; Esc hides; a hidden list
    // consumes nothing (Down then opens it, Enter runs the typed text).
    EXPECT_FALSE(FSug->HandleKey(Qt::Key_A));
    EXPECT_TRUE(FSug->HandleKey(Qt::Key_Escape));
    EXPECT_FALSE(FSug->isVisible());
    for (int key : {Qt::Key_Down, Qt::Key_Return, Qt::Key_Escape, Qt::Key_PageDown})
        EXPECT_FALSE(FSug->HandleKey(key)) << key;
}

TEST_F(PopupListTest, SuggestionPickByEnterAndMouse)
{
    QList<int> picked;
    bool hiddenWhenPicked = false;
    FSug->OnPick = [&](int row) {
        picked << row;
        hiddenWhenPicked = !FSug->isVisible();
    };
    FSug->Popup(FBox, Items(20));
    FSug->SetSelected(4);
    EXPECT_TRUE(FSug->HandleKey(Qt::Key_Enter));
    EXPECT_EQ(picked, QList<int>{4});
    EXPECT_TRUE(hiddenWhenPicked);

    // Scrolled down: the click picks the row under the mouse, not the
    // selected one or the one at that place before scrolling.
    FSug->Popup(FBox, Items(20));
    FSug->SetSelected(19);  // top row 8
    const int rh = FSug->RowHeight();
    QTest::mouseClick(FSug->viewport(), Qt::LeftButton, {}, QPoint(20, 2 * rh + rh / 2));
    EXPECT_EQ(picked, (QList<int>{4, 10}));
    EXPECT_FALSE(FSug->isVisible());

    // The right button and the empty space below the rows pick nothing.
    FSug->Popup(FBox, Items(2));
    QTest::mouseClick(FSug->viewport(), Qt::RightButton, {}, QPoint(20, rh / 2));
    EXPECT_EQ(picked.size(), 2);
    EXPECT_EQ(FSug->RowAt(QPoint(20, 2 * rh + 1)), -1);
    // The list never takes the focus from the code box.
    FBox->setFocus();
    QTest::mousePress(FSug->viewport(), Qt::LeftButton, {}, QPoint(20, rh / 2));
    EXPECT_TRUE(FBox->hasFocus());
}

TEST_F(PopupListTest, SuggestionSelectedRowBackground)
{
    FSug->Popup(FBox, Items(5));
    FSug->SetSelected(1);
    const int rh = FSug->RowHeight();
    const QImage img = FSug->viewport()->grab().toImage();
    const qreal dpr = img.devicePixelRatio();
    auto at = [&](int x, int y) { return img.pixelColor(int(x * dpr), int(y * dpr)); };
    EXPECT_EQ(at(2, rh + rh / 2), Colors::SelectedRow);
    EXPECT_EQ(at(2, rh / 2), QColor(Qt::white));
    EXPECT_EQ(at(2, 2 * rh + rh / 2), QColor(Qt::white));
}

TEST_F(PopupListTest, RecentListRowsAndClicks)
{
    QStringList recent{u"005930"_qs, u"000660"_qs, u"035420"_qs};
    QStringList picked, removed;
    int cleared = 0;
    FRecent->NameOf = [](const QString& code) { return u"이름"_qs + code; };
    FRecent->OnPickCode = [&](const QString& c) { picked << c; };
    FRecent->OnRemove = [&](const QString& c) {
        removed << c;
        recent.removeAll(c);
        FRecent->Open(FBox, recent);
    };
    FRecent->OnClearAll = [&] { ++cleared; };

    FRecent->Open(FBox, recent);
    const int rh = FRecent->RowHeight();
    EXPECT_EQ(FRecent->geometry(), QRect(140, 54 + 24 + 1, Scaled(260), 4 * rh + 4));
    EXPECT_EQ(FRecent->Hover(), -1);

    // Hover follows the mouse and paints the row.
    const QPoint row1 = FRecent->RowRect(1).center();
    QTest::mouseMove(FRecent, row1);
    EXPECT_EQ(FRecent->Hover(), 1);
    const QImage img = FRecent->grab().toImage();
    const qreal dpr = img.devicePixelRatio();
    EXPECT_EQ(img.pixelColor(int(3 * dpr), int(row1.y() * dpr)), QColor(218, 230, 242));
    EXPECT_EQ(img.pixelColor(int(3 * dpr), int(FRecent->RowRect(2).center().y() * dpr)),
              QColor(Qt::white));

    // The "×" zone removes and reopens; just outside it picks.
    const int w = FRecent->width();
    QTest::mouseClick(FRecent, Qt::LeftButton, {}, QPoint(w - Scaled(28) + 1, row1.y()));
    EXPECT_EQ(removed, QStringList{u"000660"_qs});
    EXPECT_TRUE(FRecent->isVisible());
    EXPECT_EQ(FRecent->Codes(), (QStringList{u"005930"_qs, u"035420"_qs}));
    EXPECT_EQ(FRecent->height(), 3 * rh + 4);
    EXPECT_EQ(FRecent->Hover(), -1);

    QTest::mouseClick(FRecent, Qt::LeftButton, {}, QPoint(w - Scaled(28) - 2, row1.y()));
    EXPECT_EQ(picked, QStringList{u"035420"_qs});
    EXPECT_FALSE(FRecent->isVisible());

    // The footer clears.
    FRecent->Open(FBox, recent);
    QTest::mouseClick(FRecent, Qt::LeftButton, {}, FRecent->RowRect(FRecent->FooterRow()).center());
    EXPECT_EQ(cleared, 1);
    EXPECT_FALSE(FRecent->isVisible());
    EXPECT_EQ(picked.size(), 1);

    // An empty list is only the footer row.
    FRecent->Open(FBox, {});
    EXPECT_EQ(FRecent->RowCount(), 1);
    EXPECT_EQ(FRecent->height(), rh + 4);
    EXPECT_EQ(FRecent->RowAt(FRecent->RowRect(0).center()), 0);
    EXPECT_EQ(FRecent->RowAt(QPoint(10, rh + 3)), -1);
}
