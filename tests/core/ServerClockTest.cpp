#include "core/Clock.h"
#include "core/ServerClock.h"

#include <QTimeZone>

#include <gtest/gtest.h>

TEST(ServerClock, OffsetFromHalfwayStamp)
{
    struct Case {
        qint64 delayMs;
        const char* time;  // answer, against a send time of 09:30:00.000
        const char* note;
        QColor color;
        const char* word;
    } cases[] = {
        {400, "093001200", "LS 서버 시각 · 내 PC보다 +1.00초", QColor(229, 57, 53), "1.00초 느림"},
        {0, "092959600", "LS 서버 시각 · 내 PC보다 -0.40초", QColor(0, 128, 0), "0.40초 빠름"},
        {0, "093000", "LS 서버 시각 · 내 PC보다 0.00초", QColor(0, 128, 0), "0.00초 빠름"},
    };
    for (const Case& c : cases) {
        TTestClock clock(QDateTime(QDate(2026, 12, 10), QTime(9, 30, 0)));
        TServerClock sc(clock);
        EXPECT_EQ(sc.NoteColor(), QColor(255, 128, 0));
        sc.MarkSent();
        clock.Advance(c.delayMs);
        const QString line = sc.OnTimeData("20261210", QString::fromUtf8(c.time));
        EXPECT_TRUE(line.endsWith(QString::fromUtf8(c.word))) << line.toStdString();
        EXPECT_EQ(sc.NoteText(), QString::fromUtf8(c.note));
        EXPECT_EQ(sc.NoteColor(), c.color);
    }
}

TEST(ServerClock, MalformedAnswersChangeNothing)
{
    TTestClock clock;
    TServerClock sc(clock);
    sc.MarkSent();
    EXPECT_EQ(sc.OnTimeData("2026121", "093000"), "서버 시각 응답 형식이 다름: dt=2026121 time=093000");
    EXPECT_EQ(sc.OnTimeData("20261310", "093000"), "서버 시각 해석 실패: 20261310 093000");
    EXPECT_EQ(sc.OnTimeData("20261210", "256000"), "서버 시각 해석 실패: 20261210 256000");
    EXPECT_FALSE(sc.Ok());
    EXPECT_EQ(sc.NoteText(), "내 컴퓨터 시간 — 실제 거래소 시간과 다를 수 있습니다");
    EXPECT_EQ(sc.ServerNow(), clock.Now());
}

// Exchange minutes are Korean time whatever zone the PC is set to: before the
// broker's time answer a PC on UTC at 23:30 is already 08:30 of the next day
// at the exchange; after it, the answered time holds.
TEST(ServerClock, ExchangeTimeIsKoreanBeforeTheFirstAnswer)
{
    TTestClock clock(QDateTime(QDate(2026, 12, 9), QTime(23, 30, 0), QTimeZone::utc()));
    TServerClock sc(clock);
    EXPECT_EQ(sc.ExchangeNow(), QDateTime(QDate(2026, 12, 10), QTime(8, 30, 0)));
    EXPECT_EQ(sc.ExchangeHhmm(), 830);
    EXPECT_EQ(sc.ExchangeDay(), "20261210");

    sc.SetLocalIsExchange(true);   // the simulated exchange keeps the PC's time
    const QTime local = clock.Now().toLocalTime().time();
    EXPECT_EQ(sc.ExchangeHhmm(), local.hour() * 100 + local.minute());
    sc.SetLocalIsExchange(false);

    sc.MarkSent();
    EXPECT_TRUE(sc.OnTimeData("20261210", "083100").startsWith("서버 시각 맞춤"));
    EXPECT_EQ(sc.ExchangeHhmm(), 831);
    EXPECT_EQ(sc.ExchangeDay(), "20261210");
}
