// The service content of the simulated exchange and its loopback server:
// today's news archive is what the wire has sent, read over HTTP from
// another thread while the exchange runs; earlier days are their whole wire;
// the signal lists, series and top list are the signal service's snapshot;
// anything else is refused; the server answers on 127.0.0.1 only.
#include "news/NewsAd.h"
#include "core/Clock.h"
#include "core/ServiceHost.h"
#include "sim/SimExchange.h"
#include "sim/SimNews.h"
#include "sim/SimService.h"
#include "sim/SimSignals.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

TSimConfig Quiet()
{
    TSimConfig c;
    c.PumpMs = 0;
    c.AnswerDelayMs = 0;
    return c;
}

QStringList Lines(const QByteArray& body)
{
    QStringList out = QString::fromUtf8(body).split(QStringLiteral("\r\n"));
    if (!out.isEmpty() && out.back().isEmpty())
        out.removeLast();
    return out;
}

QStringList LinesOf(const QVector<TSimNewsItem>& items)
{
    QStringList out;
    for (const TSimNewsItem& it : items)
        out << TSimNews::ArchiveLine(it);
    return out;
}

TFetchOptions Opt()
{
    TFetchOptions o;
    o.ConnectMs = 3000;
    o.ResponseMs = 10000;
    return o;
}

} // namespace

TEST(SimService, TodaysArchiveIsWhatTheWireSentReadWhileTheExchangeRuns)
{
    TTestClock clock;   // Thursday 2026-12-10 09:30
    TSimExchange ex(Quiet(), clock);
    TSimServiceServer server(ex);
    const QString base = server.Start();
    ASSERT_TRUE(base.startsWith(QStringLiteral("http://127.0.0.1:"))) << base.toStdString();
    const QString url = base + QStringLiteral("/lumen/news?d=20261210");

    // A client thread asks again and again while this thread runs the market
    // and the wire; each answer is a whole archive, never a torn one.
    std::atomic<bool> stop{false};
    std::atomic<int> answers{0}, bad{0};
    std::thread client([&] {
        int last = 0;
        while (!stop) {
            const TFetchResult r = FetchUrl(url, Opt());
            const QStringList lines = Lines(r.Body);
            bool ok = r.Ok && lines.size() >= last;
            for (const QString& l : lines)
                ok = ok && l.split(QLatin1Char('\t')).size() == 6 && l.startsWith(QStringLiteral("20261210\t"));
            bad += !ok;
            last = int(lines.size());
            ++answers;
        }
    });
    for (int s = 0; s < 600; ++s) {
        clock.Advance(1000);
        ex.Pump();
        if (s % 50 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    while (answers < 3)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    client.join();
    EXPECT_EQ(bad, 0);

    const TFetchResult r = FetchUrl(url, Opt());
    ASSERT_TRUE(r.Ok) << r.Error.toStdString();
    const QStringList lines = Lines(r.Body);
    EXPECT_EQ(lines, LinesOf(ex.NewsLog()->Snapshot()));
    // Everything up to 09:40 and nothing after it.
    int due = 0;
    for (const TSimNewsItem& it : *ex.News()->Day(QDate(2026, 12, 10)))
        due += it.SecOfDay() <= 9 * 3600 + 40 * 60;
    EXPECT_EQ(lines.size(), due);
    QSet<QString> keys;
    for (const QString& l : lines)
        keys.insert(l.split(QLatin1Char('\t'))[2]);
    EXPECT_EQ(keys.size(), lines.size());
}

TEST(SimService, EarlierDaysAreTheirWholeWireAndOtherRequestsAreRefused)
{
    TTestClock clock;
    TSimExchange ex(Quiet(), clock), twin(Quiet(), clock);
    const TSimService svc(ex), other(twin);

    const TSimServiceReply past = svc.Get(QStringLiteral("/lumen/news?d=20261208"));
    ASSERT_EQ(past.Status, 200);
    EXPECT_EQ(Lines(past.Body), LinesOf(*ex.News()->Day(QDate(2026, 12, 8))));
    EXPECT_GT(Lines(past.Body).size(), 500);
    EXPECT_EQ(other.Get(QStringLiteral("/lumen/news?d=20261208")).Body, past.Body);

    struct {
        const char* Target;
        int Status;
    } cases[] = {
        {"/lumen/news?d=20261211", 404},   // tomorrow
        {"/lumen/news?d=2026121", 400},
        {"/lumen/news?d=20261332", 400},
        {"/lumen/news?d=", 400},
        {"/lumen/news", 400},
        {"/lumen/pub?n=lmtopx", 404},
        {"/lumen/pub", 404},
        {"/lumen/latest/x", 404},
        {"/lumen/pub?n=newsad", 200},
        {"/", 404},
        {"/lumen/news/../x?d=20261208", 404},
    };
    for (const auto& c : cases)
        EXPECT_EQ(svc.Get(QString::fromLatin1(c.Target)).Status, c.Status) << c.Target;

    // The advertisement line reads as the article window reads it.
    TNewsAd ad;
    ASSERT_TRUE(ApplyNewsAd(svc.Get(QStringLiteral("/lumen/pub?n=newsad")).Body, ad));
    EXPECT_EQ(ad.Line1, QStringLiteral("모의 거래소에서 연습 중"));
    EXPECT_TRUE(NewsAdOpens(ad.Url));
}

// The signal paths as the program asks for them, over HTTP, while the
// exchange's pump moves the signal service on.
TEST(SimService, SignalPathsServeTheSnapshotOverHttp)
{
    TTestClock clock;   // Thursday 2026-12-10 09:30
    TSimExchange ex(Quiet(), clock);
    TSimServiceServer server(ex);
    const QString base = server.Start();
    ASSERT_FALSE(base.isEmpty());
    ASSERT_TRUE(ex.Signals()->WaitIdle());
    TFetchOptions poll = Opt();
    poll.UserAgent = QStringLiteral("KestrelHTS/1.0");
    poll.AcceptCompressed = true;

    const TFetchResult latest = FetchUrl(base + QStringLiteral("/lumen/latest"), poll);
    ASSERT_TRUE(latest.Ok) << latest.Error.toStdString();
    QJsonObject o = QJsonDocument::fromJson(latest.Body).object();
    EXPECT_EQ(o.value("date").toString(), QStringLiteral("20261210"));
    EXPECT_EQ(o.value("updated").toString(), QStringLiteral("093000"));

    clock.Advance(10 * 60 * 1000);
    ex.Pump();
    ASSERT_TRUE(ex.Signals()->WaitIdle());
    o = QJsonDocument::fromJson(FetchUrl(base + QStringLiteral("/lumen/latest"), poll).Body).object();
    EXPECT_EQ(o.value("updated").toString(), QStringLiteral("094000"));

    const auto snap = ex.Signals()->Snapshot();
    const TFetchResult series = FetchUrl(base + QStringLiteral("/lumen/series?code=") + snap->Stocks[0].Isin, Opt());
    ASSERT_TRUE(series.Ok);
    EXPECT_EQ(QJsonDocument::fromJson(series.Body).object().value("rows").toArray().size(), 40);
    const TFetchResult top = FetchUrl(base + QStringLiteral("/lumen/pub?n=lmtop&t=1796900000"), Opt());
    ASSERT_TRUE(top.Ok);
    EXPECT_EQ(QJsonDocument::fromJson(top.Body).object().value("upto").toString(), QStringLiteral("0940"));
    EXPECT_EQ(FetchUrl(base + QStringLiteral("/lumen/series?code=KR7005930009"), Opt()).Status, 400);
}

TEST(SimService, ServerAnswersOnLoopbackOnlyAndStopsCleanly)
{
    TTestClock clock;
    TSimExchange ex(Quiet(), clock);
    TSimServiceServer server(ex);
    const QString base = server.Start();
    ASSERT_FALSE(base.isEmpty());
    const int port = server.Port();

    const TFetchResult missing = FetchUrl(base + QStringLiteral("/no/such/path"), Opt());
    EXPECT_EQ(missing.Status, 404);
    EXPECT_EQ(missing.Text(), QStringLiteral("#ERR 404"));
    // 127.0.0.2 is this machine too, but not the address the server took.
    const TFetchResult other = FetchUrl(QStringLiteral("http://127.0.0.2:%1/lumen/news?d=20261210").arg(port), Opt());
    EXPECT_FALSE(other.Ok);
    EXPECT_EQ(other.Status, 0);

    // The port asked for is the one taken; a taken port is refused with a reason.
    TSimServiceServer second(ex);
    QString err;
    EXPECT_TRUE(second.Start(port, &err).isEmpty());
    EXPECT_FALSE(err.isEmpty());

    server.Stop();
    server.Stop();
    EXPECT_FALSE(FetchUrl(base + QStringLiteral("/lumen/news?d=20261210"), Opt()).Ok);
    EXPECT_EQ(second.Start(port), base);
    EXPECT_TRUE(FetchUrl(base + QStringLiteral("/lumen/news?d=20261210"), Opt()).Ok);
}

// A server stopped right after it started (a window closed at once) stops:
// its serving thread never stays waiting for a connection.
TEST(SimService, StopRightAfterStartNeverHangs)
{
    TTestClock clock;
    TSimExchange ex(Quiet(), clock);
    for (int i = 0; i < 200; ++i) {
        TSimServiceServer server(ex);
        ASSERT_FALSE(server.Start().isEmpty());
        server.Stop();
    }
}
