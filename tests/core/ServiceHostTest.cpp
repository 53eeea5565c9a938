// The service-host client against a real HTTP server on the loopback address.
// Debian builds the server library with TLS, zlib and brotli; the header must
// see the same switches as the library.
#define CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_ZLIB_SUPPORT
#define CPPHTTPLIB_BROTLI_SUPPORT
#include <httplib.h>

#include "core/AppState.h"
#include "core/ServiceHost.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>
#include <QThread>

#include <gtest/gtest.h>
#include <zlib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {

const QString kKoreanBody = QStringLiteral("20261210 090101 삼성전자, 자사주 매입 결정\n20261210 090205 코스닥 상승 출발 ▲\n");

std::string Gzip(const std::string& in)
{
    z_stream zs{};
    deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, uLong(in.size())) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = uInt(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// Pumps the event loop until `pred` holds or the ceiling passes.
template <class P>
bool WaitUntil(P pred, int ceilingMs = 5000)
{
    QDeadlineTimer deadline(ceilingMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// A gate the /hold handler waits at until the test opens it.
struct TGate {
    std::mutex M;
    std::condition_variable Cv;
    bool Open = false;
    int Arrived = 0;
    void Reset() { std::lock_guard g(M); Open = false; Arrived = 0; }
    void Release() { { std::lock_guard g(M); Open = true; } Cv.notify_all(); }
    bool WaitOpen(int ms)
    {
        std::unique_lock lock(M);
        ++Arrived;
        return Cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return Open; });
    }
    int ArrivedCount() { std::lock_guard g(M); return Arrived; }
};

class ServiceHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        FServer = std::make_unique<httplib::Server>();
        FServer->Get("/lumen/news", [](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard g(FSeenM);
                FSeen.clear();
                for (const char* name : {"User-Agent", "X-HTS-Key", "Accept-Encoding"})
                    if (req.has_header(name))
                        FSeen[name] = req.get_header_value(name);
            }
            res.set_header("Content-Encoding", "gzip");
            res.set_content(Gzip(kKoreanBody.toStdString()), "text/plain; charset=utf-8");
        });
        // Moved within this host, and away to another one (127.0.0.2 is
        // loopback too, but another host to the client).
        FServer->Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/lumen/news?d=20261210", 302);
        });
        FServer->Get("/away", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("http://127.0.0.2:" + std::to_string(FPort) + "/lumen/news", 302);
        });
        FServer->Get("/loop", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/loop", 302);
        });
        FServer->Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("no such list", "text/plain");
        });
        // Ten pieces 150 ms apart: 1.5 s in all, never 300 ms without data.
        FServer->Get("/steady", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/plain", [](size_t, httplib::DataSink& sink) {
                for (int i = 0; i < 10; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(150));
                    if (!sink.write("0123456789", 10))
                        return false;
                }
                sink.done();
                return true;
            });
        });
        FServer->Get("/hold", [](const httplib::Request&, httplib::Response& res) {
            FGate.WaitOpen(3000);
            res.set_content("late", "text/plain");
        });
        FPort = FServer->bind_to_any_port("127.0.0.1");
        ASSERT_GT(FPort, 0);
        FThread = std::thread([] { FServer->listen_after_bind(); });
        for (int i = 0; i < 500 && !FServer->is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_TRUE(FServer->is_running());
    }

    static void TearDownTestSuite()
    {
        FGate.Release();
        FServer->stop();
        if (FThread.joinable())
            FThread.join();
        FServer.reset();
    }

    void SetUp() override
    {
        FGate.Reset();
        GFormAlive = true;
        FHost.SetBase(QStringLiteral("http://127.0.0.1:%1").arg(FPort));
    }

    void TearDown() override
    {
        FGate.Release();
        WaitUntil([] { return TServiceHost::InFlight() == 0; });
        QCoreApplication::processEvents();
        GFormAlive = false;
    }

    // Runs one asynchronous fetch and waits for its result.
    std::optional<TFetchResult> Fetch(TServiceHost& host, const QString& path, const TFetchOptions& opt)
    {
        QObject owner;
        std::optional<TFetchResult> got;
        host.Get(path, opt, &owner, [&](const TFetchResult& r) { got = r; });
        WaitUntil([&] { return got.has_value(); });
        return got;
    }

    static std::map<std::string, std::string> Seen()
    {
        std::lock_guard g(FSeenM);
        return FSeen;
    }

    static inline std::unique_ptr<httplib::Server> FServer;
    static inline std::thread FThread;
    static inline int FPort = 0;
    static inline TGate FGate;
    static inline std::mutex FSeenM;
    static inline std::map<std::string, std::string> FSeen;

    TServiceHost FHost;
};

// The signal poll (agent name, asks for compression) and an update request
// (access key, client defaults): both get the gzip body back decoded, and the
// server sees exactly the headers each kind is meant to send.
TEST_F(ServiceHostTest, GzipBodyArrivesDecodedWithEachKindsHeaders)
{
    struct Row {
        TServiceKind Kind;
        const char* Agent;      // nullptr: no User-Agent header expected
        const char* Key;        // nullptr: no X-HTS-Key header expected
        bool Advertises;        // Accept-Encoding with gzip expected
    };
    const Row rows[] = {
        {TServiceKind::Latest, "KestrelHTS/1.0", nullptr, true},
        {TServiceKind::UpdateFile, nullptr, "5e2a90c7", false},
        {TServiceKind::NewsToday, nullptr, nullptr, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.Kind));
        const TFetchOptions opt = ServiceOptions(row.Kind, "5e2a90c7");
        const auto got = Fetch(FHost, QStringLiteral("/lumen/news?d=20261210"), opt);
        ASSERT_TRUE(got.has_value());
        EXPECT_TRUE(got->Ok);
        EXPECT_EQ(got->Status, 200);
        EXPECT_EQ(got->Text(), kKoreanBody);

        const auto seen = Seen();
        EXPECT_EQ(seen.count("User-Agent") ? seen.at("User-Agent") : "", row.Agent ? row.Agent : "");
        EXPECT_EQ(seen.count("X-HTS-Key") ? seen.at("X-HTS-Key") : "", row.Key ? row.Key : "");
        const std::string enc = seen.count("Accept-Encoding") ? seen.at("Accept-Encoding") : "";
        EXPECT_EQ(enc.find("gzip") != std::string::npos, row.Advertises) << enc;
    }
}

// A redirect within the service's host is followed, with the key; one to
// another host is not (the key would go there too), nor an endless loop.
TEST_F(ServiceHostTest, RedirectsStayOnTheServiceHost)
{
    const TFetchOptions opt = ServiceOptions(TServiceKind::UpdateFile, "5e2a90c7");
    const auto moved = Fetch(FHost, QStringLiteral("/moved"), opt);
    ASSERT_TRUE(moved.has_value());
    EXPECT_TRUE(moved->Ok) << moved->Error.toStdString();
    EXPECT_EQ(moved->Text(), kKoreanBody);
    EXPECT_EQ(Seen().at("X-HTS-Key"), "5e2a90c7");

    const auto away = Fetch(FHost, QStringLiteral("/away"), opt);
    ASSERT_TRUE(away.has_value());
    EXPECT_FALSE(away->Ok);
    EXPECT_TRUE(away->Error.contains(QStringLiteral("127.0.0.2"))) << away->Error.toStdString();

    const auto loop = Fetch(FHost, QStringLiteral("/loop"), opt);
    ASSERT_TRUE(loop.has_value());
    EXPECT_FALSE(loop->Ok);
    EXPECT_EQ(loop->Status, 302);
}

// A body larger than its kind allows fails instead of filling memory; only
// update files may be large.
TEST_F(ServiceHostTest, BodiesBeyondTheirKindsLimitFail)
{
    TFetchOptions small = ServiceOptions(TServiceKind::NewsToday, "");
    EXPECT_EQ(small.MaxBytes, 16LL * 1024 * 1024);
    EXPECT_EQ(ServiceOptions(TServiceKind::UpdateFile, "k").MaxBytes, 256LL * 1024 * 1024);
    small.MaxBytes = 10;
    const auto got = Fetch(FHost, QStringLiteral("/lumen/news?d=20261210"), small);
    ASSERT_TRUE(got.has_value());
    EXPECT_FALSE(got->Ok);
    EXPECT_TRUE(got->Error.contains(QStringLiteral("너무 큽니다"))) << got->Error.toStdString();
}

// The start-up update check fetches on its own thread, before any window.
TEST_F(ServiceHostTest, GetSyncNeedsNoWindow)
{
    GFormAlive = false;
    const TFetchResult r = FHost.GetSync(QStringLiteral("/lumen/news?d=20261210"),
                                         ServiceOptions(TServiceKind::Manifest, "k"));
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Text(), kKoreanBody);
}

TEST_F(ServiceHostTest, FailuresBecomeErrTexts)
{
    // 404: the status number.
    const auto notFound = Fetch(FHost, QStringLiteral("/missing"), TFetchOptions{});
    ASSERT_TRUE(notFound.has_value());
    EXPECT_FALSE(notFound->Ok);
    EXPECT_EQ(notFound->Status, 404);
    EXPECT_TRUE(notFound->Body.isEmpty());
    EXPECT_EQ(notFound->Text(), QStringLiteral("#ERR 404"));
    EXPECT_EQ(notFound->Error, QStringLiteral("HTTP 404"));

    // Nobody listening: a socket bound to a loopback port but not listening
    // refuses every connection.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    TServiceHost closed;
    closed.SetBase(QStringLiteral("http://127.0.0.1:%1").arg(ntohs(addr.sin_port)));
    TFetchOptions quick;
    quick.ConnectMs = 1000;
    quick.ResponseMs = 1000;
    const auto refused = Fetch(closed, QStringLiteral("/lumen/etn"), quick);
    ::close(fd);
    ASSERT_TRUE(refused.has_value());
    EXPECT_FALSE(refused->Ok);
    EXPECT_EQ(refused->Status, 0);
    EXPECT_TRUE(refused->Text().startsWith(QStringLiteral("#ERR "))) << refused->Text().toStdString();
    EXPECT_FALSE(refused->Error.isEmpty());
    EXPECT_EQ(refused->Text(), QStringLiteral("#ERR ") + refused->Error);

    // Plain HTTP leaves this machine never (the update key would travel in clear).
    // Loopback is decided by the address itself, never by how its text starts.
    for (const char* base : {"http://svc.example.kr", "ftp://127.0.0.1", "https://user:pw@svc.example.kr",
                             "http://127.0.0.evil", "http://127.0.0.1.evil.kr",
                             "http://127.0.0.256", "http://localhost.evil.kr", "http://128.0.0.1"}) {
        TServiceHost open;
        open.SetBase(QString::fromUtf8(base));
        const TFetchResult r = open.GetSync(QStringLiteral("/lumen/etn"), quick);
        EXPECT_FALSE(r.Ok) << base;
        EXPECT_EQ(r.Status, 0) << base;
        EXPECT_TRUE(r.Error.contains(QStringLiteral("https://"))) << base << " " << r.Error.toStdString();
    }

    // No base address configured: a failure, delivered later like any other.
    TServiceHost unset;
    QObject owner;
    std::optional<TFetchResult> got;
    unset.Get(QStringLiteral("/lumen/etn"), TFetchOptions{}, &owner, [&](const TFetchResult& r) { got = r; });
    EXPECT_FALSE(got.has_value()) << "the callback must not run inside Get";
    ASSERT_TRUE(WaitUntil([&] { return got.has_value(); }));
    EXPECT_FALSE(got->Ok);
    EXPECT_TRUE(got->Text().startsWith(QStringLiteral("#ERR ")));
}

// A server that accepts but does not answer: the response time-out ends the
// request instead of the server's late 200.
TEST_F(ServiceHostTest, SteadyBodyOutlastsTheResponseTimeOut)
{
    TFetchOptions opt;
    opt.ConnectMs = 500;
    opt.ResponseMs = 600;
    const auto got = Fetch(FHost, QStringLiteral("/steady"), opt);
    ASSERT_TRUE(got.has_value());
    EXPECT_TRUE(got->Ok) << got->Error.toStdString();
    EXPECT_EQ(got->Body.size(), 100);
}

TEST_F(ServiceHostTest, SilentServerTimesOut)
{
    TFetchOptions opt;
    opt.ConnectMs = 500;
    opt.ResponseMs = 300;
    const auto got = Fetch(FHost, QStringLiteral("/hold"), opt);
    ASSERT_TRUE(got.has_value()) << "no result within the ceiling";
    EXPECT_FALSE(got->Ok);
    EXPECT_EQ(got->Status, 0);
    EXPECT_TRUE(got->Error.contains(QStringLiteral("timed out"), Qt::CaseInsensitive))
        << got->Error.toStdString();
    EXPECT_EQ(FGate.ArrivedCount(), 1);
}

// A result is handed over only while the window lives and its owner exists.
// The request is held at the server while the test changes the situation, so
// the result always arrives afterwards.
TEST_F(ServiceHostTest, LateResultsAreDroppedWhenWindowOrOwnerIsGone)
{
    struct Row {
        const char* Name;
        bool WindowAlive;
        bool OwnerAlive;
        bool Delivered;
    };
    const Row rows[] = {
        {"both alive", true, true, true},
        {"window destroyed", false, true, false},
        {"owner destroyed", true, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        FGate.Reset();
        GFormAlive = true;
        auto owner = std::make_unique<QObject>();
        bool called = false;
        QThread* calledOn = nullptr;
        {
            // The host object itself may go away while the request runs.
            TServiceHost host;
            host.SetBase(FHost.Base());
            host.Get(QStringLiteral("/hold"), ServiceOptions(TServiceKind::Etn), owner.get(),
                     [&](const TFetchResult& r) {
                         called = true;
                         calledOn = QThread::currentThread();
                         EXPECT_EQ(r.Text(), QStringLiteral("late"));
                     });
        }
        ASSERT_TRUE(WaitUntil([] { return FGate.ArrivedCount() == 1; }));
        GFormAlive = row.WindowAlive;
        if (!row.OwnerAlive)
            owner.reset();
        FGate.Release();
        ASSERT_TRUE(WaitUntil([] { return TServiceHost::InFlight() == 0; }));
        // The worker has posted (or dropped) its result; let it be delivered.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        EXPECT_EQ(called, row.Delivered);
        if (called) {
            EXPECT_EQ(calledOn, QCoreApplication::instance()->thread());
        }
    }
}

TEST(ServiceHostUrl, BaseAndPathJoinWithOneSlash)
{
    struct Row {
        const char* Base;
        const char* Path;
        const char* Url;
    };
    const Row rows[] = {
        {"http://127.0.0.1:8080", "/lumen/latest", "http://127.0.0.1:8080/lumen/latest"},
        {"https://svc.example.kr/", "/lumen/etn", "https://svc.example.kr/lumen/etn"},
        {"  https://svc.example.kr//  ", "hts/hts.json?t=5", "https://svc.example.kr/hts/hts.json?t=5"},
    };
    for (const Row& row : rows) {
        TServiceHost host;
        host.SetBase(QString::fromUtf8(row.Base));
        EXPECT_EQ(host.UrlFor(QString::fromUtf8(row.Path)), QString::fromUtf8(row.Url)) << row.Base;
    }
}

}  // namespace

TEST(ServiceHostText, ByteOrderMarkIsNoText)
{
    TFetchResult r;
    r.Ok = true;
    r.Body = QByteArray("\xEF\xBB\xBF" "20261210\t0930");
    EXPECT_EQ(r.Text(), QStringLiteral("20261210\t0930"));
}
