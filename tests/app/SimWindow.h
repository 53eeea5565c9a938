#pragma once
// The real window logged in to the simulated exchange on a test clock:
// directly (HOST=sim), or over the broker's open API through the fake broker
// on this machine (HOST=local), whose answers and records come from a
// simulated exchange on the same clock. Tests written against one run
// against the other unchanged.
#include "FakeBroker.h"
#include "app/MainWindow.h"
#include "app/core/LogFacet.h"
#include "app/trading/OrderFacet.h"
#include "broker/ReqQueue.h"
#include "broker/RestBackend.h"
#include "broker/RestClient.h"
#include "broker/WsFeed.h"
#include "core/Clock.h"
#include "sim/SimBackend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// A test clock that, when the program waits on it (the login's waits), lets
// the network and the fake's exchange move on for real.
class TPumpClock final : public TClock {
public:
    explicit TPumpClock(const QDateTime& start) : FNow(start) {}
    QDateTime Now() const override { return FNow; }
    qint64 TickMs() const override { return FTick; }
    void Sleep(qint64 ms) override
    {
        Advance(ms);
        if (OnSleep)
            OnSleep();
    }
    void Advance(qint64 ms)
    {
        FNow = FNow.addMSecs(ms);
        FTick += ms;
    }
    void SetWall(const QDateTime& t) { FNow = t; }
    std::function<void()> OnSleep;

private:
    QDateTime FNow;
    qint64 FTick = 0;
};

enum class TWindowBackend { Sim, Api };

struct SimWindow {
    QTemporaryDir dir;
    TPumpClock clock{QDateTime(QDate(2026, 12, 10), QTime(10, 0, 0))};
    TWindowBackend kind;
    std::unique_ptr<TSimBackend> brokerSim;   // the exchange behind the fake broker
    std::unique_ptr<TFakeBroker> fake;
    std::unique_ptr<TfrmMain> w;
    int confirms = 0;

    // `openApiIni`: more [OPENAPI] lines (TIMEOUT=…); `fakeRate`: trades a
    // second of a busy stock behind the fake broker (0: the default).
    explicit SimWindow(TWindowBackend k = TWindowBackend::Sim, const QString& openApiIni = {}, double fakeRate = 0)
        : kind(k)
    {
        QString login = QStringLiteral("[LOGIN]\nID=demo\nPW=demo1234\nHOST=sim\n");
        if (kind == TWindowBackend::Api) {
            TSimConfig sc;
            sc.AnswerDelayMs = 0;
            sc.PumpMs = 0;
            sc.AlwaysOpen = true;
            sc.StatePath.clear();
            if (fakeRate > 0)
                sc.TradesPerSec = fakeRate;
            brokerSim = CreateSimBackend(sc, clock);
            brokerSim->Exchange().SetPastInBackground(false);
            fake = std::make_unique<TFakeBroker>(*brokerSim, QString(KESTREL_RES_DIR));
            QString err;
            if (!fake->Listen(0, 0, {}, {}, &err))
                qFatal("fake broker: %s", qPrintable(err));
            login = QStringLiteral("[LOGIN]\nHOST=local\nAPPKEY=fake-app-key\nAPPSECRET=fake-app-secret\n"
                                   "[OPENAPI]\nREST=%1\nWS=%2\nCACERT=%3\n%4")
                        .arg(fake->RestBase(), fake->WsUrl(), TFakeBroker::DefaultCertPath(), openApiIni);
            clock.OnSleep = [this] { Settle(); };
        }
        QFile f(dir.path() + "/hts.ini");
        f.open(QIODevice::WriteOnly);
        f.write((login + "[ACCOUNT]\nACNO=55501234501\nACPW=0000\n"
                 "[LAYOUT]\nX=0\nY=0\nW=1600\nH=950\n[UI]\nLASTCODE=000660\n[SIM]\nDELAY=0\nPUMP=0\nALWAYSOPEN=1\nSTATE=\n[XING]\nRES=" +
                 QString(KESTREL_RES_DIR) + "\n")
                    .toUtf8());
        f.close();
        TStartOptions o;
        o.ExeDir = dir.path();
        o.Clock = &clock;
        w = std::make_unique<TfrmMain>(o);
        // Every answer at its due time on the test clock.
        Exchange().SetPastInBackground(false);
        w->resize(1600, 950);
        w->show();
        w->Order->FConfirm = [this](const QString&) {
            ++confirms;
            return true;
        };
        Run(2000);
    }
    ~SimWindow()
    {
        clock.OnSleep = nullptr;
        w.reset();
        fake.reset();
    }
    // Moves time on by `ms` in queue ticks, with the one-second scheduler.
    void Run(int ms)
    {
        for (int t = 0; t < ms; t += 50) {
            clock.Advance(50);
            Exchange().DeliverDue();
            w->Ctx().FQ->Tick();
            if ((clock.TickMs() / 50) % 20 == 0)
                w->SecondTick();
            QApplication::processEvents();
            QApplication::processEvents();
            Settle();
        }
    }
    // Over the API: turns the event loop until everything sent either way
    // has arrived (requests answered, records handled), a few seconds of
    // real time at most.
    void Settle()
    {
        if (kind != TWindowBackend::Api)
            return;
        auto pause = [] {
            QEventLoop loop;
            QTimer::singleShot(1, &loop, &QEventLoop::quit);
            loop.exec();
        };
        if (!Link()) {   // the window is still being made (its login waits)
            QApplication::processEvents();
            Exchange().DeliverDue();
            pause();
            return;
        }
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 3000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            if (Exchange().DeliverDue() > 0)
                continue;
            TRestLink* link = Link();
            if (fake->Pending() == 0 && link->Client().Pending() == 0 && link->FramesSeen() >= fake->FramesSent() &&
                (link->Feed().Queued() == 0 || !link->Feed().Connected()))
                return;
            pause();
        }
    }
    TRestLink* Link()
    {
        auto* b = w ? dynamic_cast<TRestBackend*>(w->Ctx().FBackend.get()) : nullptr;
        return b ? &b->Link() : nullptr;
    }
    QString Log() const { return w->LogClock->Memo->toPlainText(); }
    TSimExchange& Exchange()
    {
        return brokerSim ? brokerSim->Exchange() : dynamic_cast<TSimBackend&>(*w->Ctx().FBackend).Exchange();
    }
    int LogCount(const QString& s) const { return Log().count(s); }
};
