// demo-host: serves the simulated exchange's service content (the news
// archive, the signal lists, their per-minute series and top list, ...) on
// 127.0.0.1 until stopped.
//
//   demo-host [--port N] [--seed N]
//
// The exchange trades around the clock on the system clock and keeps no
// account file. The line printed first is the hts.ini setting that points
// the program at this host.
#include "core/Clock.h"
#include "sim/SimConfig.h"
#include "sim/SimExchange.h"
#include "sim/SimService.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

void Usage()
{
    std::fprintf(stderr, "usage: demo-host [--port N] [--seed N]\n");
}

volatile std::sig_atomic_t GStop = 0;

void OnSignal(int)
{
    GStop = 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int port = 0;
    TSimConfig cfg;
    cfg.AlwaysOpen = true;
    cfg.StatePath.clear();
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = false;
        if (a == QLatin1String("--port") && hasValue) {
            port = args[++i].toInt(&ok);
            if (!ok || port < 0 || port > 65535) {
                std::fprintf(stderr, "demo-host: --port needs 0..65535, not %s\n", qPrintable(args[i]));
                return 2;
            }
        } else if (a == QLatin1String("--seed") && hasValue) {
            cfg.Seed = args[++i].toULongLong(&ok);
            if (!ok) {
                std::fprintf(stderr, "demo-host: --seed needs a whole number, not %s\n", qPrintable(args[i]));
                return 2;
            }
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            Usage();
            return 0;
        } else {
            std::fprintf(stderr, "demo-host: unknown argument %s\n", qPrintable(a));
            Usage();
            return 2;
        }
    }

    TSimExchange exchange(cfg, SystemClock());
    for (const QString& p : exchange.StartupProblems())
        std::fprintf(stderr, "demo-host: %s\n", qPrintable(p));
    TSimServiceServer server(exchange);
    QString err;
    const QString base = server.Start(port, &err);
    if (base.isEmpty()) {
        std::fprintf(stderr, "demo-host: %s\n", qPrintable(err));
        return 1;
    }
    std::printf("[SERVICE] BASE=%s\n", qPrintable(base));
    std::fflush(stdout);
    // A signal only sets the flag; the event loop looks at it.
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, &app, [] {
        if (GStop)
            QCoreApplication::quit();
    });
    stopCheck.start(200);
    const int rc = app.exec();
    server.Stop();
    return rc;
}
