// fake-broker: the broker's open API on this machine, answered by the
// simulated exchange, so the program's network backend can be run and
// debugged without a broker account. Prints the hts.ini lines that point the
// program at it and runs until Ctrl+C (SIGINT) or SIGTERM.
#include "FakeBroker.h"
#include "core/Clock.h"
#include "sim/SimBackend.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <limits>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int gSignalFd[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(gSignalFd[1], &c, 1);
}

QTextStream& Out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream& Err()
{
    static QTextStream s(stderr);
    return s;
}

// A whole number within [lo, hi] from option `name`; false with a message otherwise.
bool IntOption(const QCommandLineParser& p, const QString& name, qint64 lo, qint64 hi, qint64* out)
{
    if (!p.isSet(name))
        return true;
    bool ok = false;
    const qint64 v = p.value(name).trimmed().toLongLong(&ok);
    if (!ok || v < lo || v > hi) {
        Err() << QStringLiteral("--%1: %2 이(가) 올바르지 않습니다 (%3~%4의 정수) / invalid value\n")
                     .arg(name, p.value(name).left(40))
                     .arg(lo)
                     .arg(hi);
        return false;
    }
    *out = v;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fake-broker"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "모의 거래소가 답하는 증권사 OpenAPI (REST + WebSocket) 로컬 서버\n"
        "A local broker open API (REST + WebSocket) answered by the simulated exchange."));
    p.addHelpOption();
    p.addOptions({
        {"rest-port", "REST(HTTPS) 포트, 0: 빈 포트 / REST port (0: any free)", "N", "0"},
        {"ws-port", "WebSocket(WSS) 포트, 0: 빈 포트 / WebSocket port (0: any free)", "N", "0"},
        {"cert", "PEM 인증서 / PEM certificate", "F"},
        {"key", "PEM 개인키 / PEM private key", "F"},
        {"appkey", "받을 앱 키 / accepted app key", "K", "fake-app-key"},
        {"secret", "받을 앱 시크릿 / accepted app secret", "S", "fake-app-secret"},
        {"latency", "REST 응답 지연(ms) / delay of every REST answer (ms)", "MS", "0"},
        {"seed", "시세 난수 시드 / market seed", "N"},
        {"rate", "종목당 초당 체결 수 / trades per second of a busy stock", "R"},
        {"res", "Res(.res 형식 파일) 폴더 / folder of the .res layouts", "DIR", QStringLiteral(KESTREL_RES_DIR)},
    });
    p.process(app);
    if (!p.positionalArguments().isEmpty()) {
        Err() << QStringLiteral("알 수 없는 인자: %1 / unknown argument\n").arg(p.positionalArguments().join(' '));
        return 2;
    }

    qint64 restPort = 0, wsPort = 0, latency = 0, seed = -1;
    if (!IntOption(p, "rest-port", 0, 65535, &restPort) || !IntOption(p, "ws-port", 0, 65535, &wsPort)
        || !IntOption(p, "latency", 0, 600000, &latency) || !IntOption(p, "seed", 0, std::numeric_limits<qint64>::max(), &seed))
        return 2;
    if (p.isSet("cert") != p.isSet("key")) {
        Err() << QStringLiteral("--cert 와 --key 는 함께 주어야 합니다 / give both --cert and --key\n");
        return 2;
    }

    TSimConfig cfg;
    cfg.AlwaysOpen = true;
    cfg.StatePath.clear();   // the account lives in memory only
    if (seed >= 0)
        cfg.Seed = quint64(seed);
    if (p.isSet("rate")) {
        bool ok = false;
        const double r = p.value("rate").trimmed().toDouble(&ok);
        if (!ok || r <= 0 || r > 1000) {
            Err() << QStringLiteral("--rate: %1 이(가) 올바르지 않습니다 (0 초과 1000 이하) / invalid value\n")
                         .arg(p.value("rate").left(40));
            return 2;
        }
        cfg.TradesPerSec = r;
    }
    const QString resDir = QDir::cleanPath(p.value("res"));
    if (!QFileInfo(resDir + QStringLiteral("/t1101.res")).isFile()) {
        Err() << QStringLiteral("Res 폴더에 .res 파일이 없습니다: %1 / no layouts in the folder (--res)\n").arg(resDir);
        return 2;
    }

    auto sim = CreateSimBackend(cfg, SystemClock());
    for (const QString& line : sim->Exchange().StartupProblems())
        Err() << line << '\n';
    TFakeBroker broker(*sim, resDir);
    broker.SetCredentials(p.value("appkey"), p.value("secret"));
    broker.Faults().LatencyMs = int(latency);
    QObject::connect(&broker, &TFakeBroker::Log, [](const QString& line) {
        Out() << QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz ")) << line << Qt::endl;
    });

    const QString cert = p.isSet("cert") ? p.value("cert") : TFakeBroker::DefaultCertPath();
    const QString key = p.isSet("key") ? p.value("key") : TFakeBroker::DefaultKeyPath();
    QString err;
    if (!broker.Listen(quint16(restPort), quint16(wsPort), cert, key, &err)) {
        Err() << err << '\n';
        return 1;
    }

    Out() << QStringLiteral("모의 증권사 OpenAPI 서버 실행 중 / fake broker API running\n")
          << QStringLiteral("  REST: %1\n  WS:   %2\n").arg(broker.RestBase(), broker.WsUrl())
          << QStringLiteral("\nhts.ini 에 다음을 적으면 프로그램이 이 서버에 연결합니다 / put these lines in hts.ini:\n\n")
          << "[LOGIN]\n"
          << "HOST=local\n"
          << "APPKEY=" << p.value("appkey") << '\n'
          << "APPSECRET=" << p.value("secret") << '\n'
          << "[OPENAPI]\n"
          << "REST=" << broker.RestBase() << '\n'
          << "WS=" << broker.WsUrl() << '\n'
          << "CACERT=" << QFileInfo(cert).absoluteFilePath() << '\n'
          << QStringLiteral("\n모의 계좌 / simulated account: %1 (비밀번호 / password %2)\n")
                 .arg(cfg.AccountNo, cfg.AccountPw)
          << QStringLiteral("종료: Ctrl+C / stop with Ctrl+C\n")
          << Qt::flush;

    // SIGINT/SIGTERM end the event loop through a socket pair (a signal
    // handler may only write a byte).
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalFd) == 0) {
        auto* n = new QSocketNotifier(gSignalFd[0], QSocketNotifier::Read, &app);
        QObject::connect(n, &QSocketNotifier::activated, &app, [] {
            char c;
            [[maybe_unused]] const auto r = ::read(gSignalFd[0], &c, 1);
            Out() << QStringLiteral("종료합니다 / stopping") << Qt::endl;
            QCoreApplication::quit();
        });
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
    }
    return app.exec();
}
