// The news half of the window on the simulated exchange: headlines of the
// feed reach the lists and the day file, a disclosure opens with its summary
// card, and a restart the same day picks the day up from the file.
#include "SimWindow.h"
#include "app/UiKit.h"
#include "app/news/NewsFacet.h"
#include "app/news/NewsList.h"
#include "app/news/NewsWindow.h"
#include "news/NewsStore.h"
#include "news/NewsViews.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {
int DayFileRows(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    int n = 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        n += line.trimmed().isEmpty() ? 0 : 1;
    return n;
}
}  // namespace

TEST(NewsFacet, FeedFillsListsAndDayFileAndADisclosureOpensWithItsCard)
{
    SimWindow f;
    TNewsFacet& news = *f.w->News;
    f.Run(3000);
    const QString today = f.w->Ctx().Today();
    int todays = 0;
    for (const TNewsRow& r : news.Rows())
        todays += r.D == today;
    ASSERT_GT(todays, 10) << "the feed and the archive brought nothing";
    EXPECT_EQ(DayFileRows(news.FStore.File()), todays);
    ASSERT_FALSE(news.FGongsiView.isEmpty());
    EXPECT_EQ(f.w->pcIssue->tabText(f.w->pcIssue->indexOf(news.tsGongsi)),
              GongsiTabCaption(news.FGongsiView.size(), news.FGongsiImportant));

    // An earnings disclosure: its body comes over t3102 and the page carries
    // the card above it. The rules see the caption (the title's first 30
    // characters): a long company name can push the keywords out of it.
    int pick = -1;
    for (int i : news.FGongsiView) {
        const QString caption = news.Caption(news.Rows()[i].Key);
        if (caption.contains(QStringLiteral("잠정")) && caption.contains(QStringLiteral("실적")))
            pick = i;
    }
    ASSERT_GE(pick, 0) << "no earnings disclosure today";
    const QString key = news.Rows()[pick].Key;
    bool shown = false;
    news.OnNewsWindow = [&](TNewsWindow* w) {
        for (int t = 0; t < 40 && !news.FNewsBody.contains(key); ++t)
            f.Run(100);
        shown = !news.FNewsShown.isEmpty() && w->isVisible() == false;
    };
    news.OpenNews(pick);
    ASSERT_TRUE(news.FNewsBody.contains(key)) << f.Log().toStdString();
    const QString page = news.FNewsBody.value(key);
    const QString card = QStringLiteral("📊");
    EXPECT_TRUE(page.contains(card) && page.contains(QStringLiteral("잠정 실적 요약"))) << page.left(3000).toStdString();
    EXPECT_LT(page.indexOf(card), page.indexOf(QStringLiteral("연결재무제표기준")));   // above the body
    EXPECT_FALSE(page.contains("<script", Qt::CaseInsensitive));
    EXPECT_TRUE(shown);
    EXPECT_EQ(news.FNewsKey, key);
    QFile file(news.FNewsShown);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(card.toUtf8()));
    file.close();

    // The page files go with the program.
    const QString dir = QFileInfo(news.FNewsShown).absolutePath();
    ASSERT_TRUE(QFileInfo(dir).isDir());
    EXPECT_EQ(QFileInfo(dir).permissions() & (QFile::ReadOther | QFile::WriteOther), QFile::Permissions());
    f.w.reset();
    EXPECT_FALSE(QFileInfo::exists(dir));
}

// The same day again: the file gives every headline back once.
TEST(NewsFacet, RestartTheSameDayKeepsTheDay)
{
    SimWindow f;
    TNewsFacet& news = *f.w->News;
    f.Run(2000);
    const int before = news.Rows().size();
    ASSERT_GT(before, 0);
    QHash<QString, int> keys;
    news.LoadTodayNews();
    for (const TNewsRow& r : news.Rows())
        ++keys[r.Key];
    int todays = 0;
    for (const TNewsRow& r : news.Rows())
        todays += r.D == f.w->Ctx().Today();
    EXPECT_EQ(todays, DayFileRows(news.FStore.File()));
    for (auto it = keys.cbegin(); it != keys.cend(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
}
