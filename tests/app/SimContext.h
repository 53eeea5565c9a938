#pragma once
// The window's services logged in to the simulated exchange on a test clock,
// without any window: for driving one facet alone.
#include "app/AppContext.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "sim/SimBackend.h"
#include "core/Clock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

struct SimContext {
    QTemporaryDir dir;
    TTestClock clock{QDateTime(QDate(2026, 12, 10), QTime(10, 0, 0))};
    std::unique_ptr<TAppContext> ctx;
    QStringList lines;

    explicit SimContext(const QString& code = QStringLiteral("005930"), const QString& extraSim = QString())
    {
        QFile f(dir.path() + "/hts.ini");
        f.open(QIODevice::WriteOnly);
        f.write(("[LOGIN]\nID=demo\nPW=demo1234\nHOST=sim\n[ACCOUNT]\nACNO=55501234501\nACPW=0000\n"
                 "[SIM]\nDELAY=0\nPUMP=0\nALWAYSOPEN=1\nSTATE=\n" + extraSim + "[XING]\nRES=" +
                 QString(KESTREL_RES_DIR) + "\n")
                    .toUtf8());
        f.close();
        ctx = std::make_unique<TAppContext>(clock, dir.path());
        ctx->LogSink = [this](const QString& s) { lines << s; };
        ctx->CreateBrokerObjects();
        bool done = false;
        QObject::connect(ctx->B.FSess, &TXASession::LoginResult, [&done](const QString&, const QString&) { done = true; });
        ctx->B.FSess->ConnectServer(ctx->FCfg.Host, ctx->FCfg.Port);
        ctx->B.FSess->Login(ctx->FCfg.ID, ctx->FCfg.PW, ctx->FCfg.CertPW, 0);
        for (int i = 0; i < 100 && !done; ++i)
            QApplication::processEvents();
        ctx->FLogged = done;
        ctx->FCode = code;
    }
    // Moves time on by `ms` in queue ticks.
    void Run(int ms)
    {
        for (int t = 0; t < ms; t += 50) {
            clock.Advance(50);
            ctx->FQ->Tick();
            QApplication::processEvents();
            QApplication::processEvents();
        }
    }
    // Turns the event loop until `done` or eight seconds of real time,
    // handing the simulated exchange the time (the service's day comes with
    // the market's) and moving the test clock and the queue on.
    bool Wait(const std::function<bool()>& done)
    {
        QElapsedTimer t;
        t.start();
        auto* sim = dynamic_cast<TSimBackend*>(ctx->FBackend.get());
        while (!done() && t.elapsed() < 8000) {
            if (sim)
                sim->Exchange().Pump();
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            clock.Advance(20);
            ctx->FQ->Tick();
        }
        return done();
    }
    int Count(const QString& s) const
    {
        int n = 0;
        for (const QString& l : lines)
            n += l.contains(s) ? 1 : 0;
        return n;
    }
};
