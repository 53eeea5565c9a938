#pragma once
// The real window logged in to the simulated exchange on a test clock.
#include "app/MainWindow.h"
#include "app/core/LogFacet.h"
#include "app/trading/OrderFacet.h"
#include "broker/ReqQueue.h"
#include "core/Clock.h"
#include "sim/SimBackend.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <memory>

struct SimWindow {
    QTemporaryDir dir;
    TTestClock clock{QDateTime(QDate(2026, 12, 10), QTime(10, 0, 0))};
    std::unique_ptr<TfrmMain> w;
    int confirms = 0;

    SimWindow()
    {
        QFile f(dir.path() + "/hts.ini");
        f.open(QIODevice::WriteOnly);
        f.write(("[LOGIN]\nID=demo\nPW=demo1234\nHOST=sim\n[ACCOUNT]\nACNO=55501234501\nACPW=0000\n"
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
        }
    }
    QString Log() const { return w->LogClock->Memo->toPlainText(); }
    TSimExchange& Exchange() { return dynamic_cast<TSimBackend&>(*w->Ctx().FBackend).Exchange(); }
    int LogCount(const QString& s) const { return Log().count(s); }
};

