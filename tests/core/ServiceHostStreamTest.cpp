// Update downloads through the service client: HTTPS only (even on this
// machine), a test certificate trusted by file, and the body handed over as
// it arrives — only a 200 answer's, stopped when the receiver says so.
#define CPPHTTPLIB_OPENSSL_SUPPORT
#include <httplib.h>

#include "core/ServiceHost.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

struct TlsHost {
    httplib::SSLServer server{KESTREL_TEST_TLS_DIR "/fake-broker.crt", KESTREL_TEST_TLS_DIR "/fake-broker.key"};
    std::thread thread;
    int port = 0;
    TlsHost()
    {
        server.Get("/hts/hts.bin", [](const httplib::Request& req, httplib::Response& res) {
            if (req.get_header_value(kUpdateKeyHeader) != kUpdateAccessKey) {
                res.status = 403;
                res.set_content("forbidden page", "text/plain");
                return;
            }
            res.set_content(std::string(300000, 'b'), "application/octet-stream");
        });
        server.Get("/hts/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not found page", "text/plain");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~TlsHost()
    {
        server.stop();
        thread.join();
    }
};

} // namespace

TEST(ServiceHostStream, UpdatesTravelEncryptedAndStreamOnlyWholeAnswers)
{
    TlsHost host;
    ASSERT_GT(host.port, 0);
    TServiceHost svc;
    svc.SetBase(QStringLiteral("https://127.0.0.1:%1").arg(host.port));
    QByteArray got;
    TFetchOptions opt = ServiceOptions(TServiceKind::UpdateFile, kUpdateAccessKey);
    opt.HttpsOnly = true;
    opt.MaxBytes = 1 << 20;
    opt.Sink = [&got](const char* d, qint64 n) {
        got.append(d, n);
        return true;
    };
    // Not trusted: the test certificate is no system certificate.
    EXPECT_FALSE(svc.GetSync(QStringLiteral("/hts/hts.bin"), opt).Ok);
    opt.CaFile = QStringLiteral(KESTREL_TEST_TLS_DIR "/fake-broker.crt");
    got.clear();
    TFetchResult r = svc.GetSync(QStringLiteral("/hts/hts.bin"), opt);
    ASSERT_TRUE(r.Ok) << r.Error.toStdString();
    EXPECT_EQ(got, QByteArray(300000, 'b'));
    EXPECT_TRUE(r.Body.isEmpty()) << "a streamed body is not kept twice";

    // An error page never reaches the receiver.
    got.clear();
    EXPECT_FALSE(svc.GetSync(QStringLiteral("/hts/missing"), opt).Ok);
    EXPECT_TRUE(got.isEmpty());
    // The receiver stops it (past the declared size).
    qint64 taken = 0;
    opt.Sink = [&taken](const char*, qint64 n) {
        taken += n;
        return taken < 1000;
    };
    r = svc.GetSync(QStringLiteral("/hts/hts.bin"), opt);
    EXPECT_FALSE(r.Ok);
    EXPECT_LT(taken, 300000);
    // Plain HTTP is refused for updates, even on this machine.
    TServiceHost plain;
    plain.SetBase(QStringLiteral("http://127.0.0.1:%1").arg(host.port));
    r = plain.GetSync(QStringLiteral("/hts/hts.bin"), opt);
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Error.contains(QStringLiteral("https://"))) << r.Error.toStdString();
}
