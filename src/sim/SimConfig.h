#pragma once
// Settings of the simulated exchange (one per backend).
#include "sim/MarketEngine.h"
#include "sim/SimAccount.h"
#include <QString>

struct TSimConfig {
    quint64 Seed = TMarketConfig{}.Seed;
    double TradesPerSec = 2.0;   // real-time trade rate of a busy subscribed stock
    bool AlwaysOpen = false;     // trade around the clock, every day
    qint64 ClockOffsetMs = 350;  // server time minus PC time, as t0167 answers it
    QString UniverseFile;        // CSV listing; empty: the built-in universe
    QString StatePath;           // account state file; empty: memory only
    int PumpMs = 100;            // real-time delivery period; 0: only Pump() delivers
    int AnswerDelayMs = 20;      // delay of every answer and of the login result
    int OrderListRows = 50;      // rows of one page of the order list (t0425)
    // The broker's per-TR budgets (SimLimits.h): on, a request beyond its
    // transaction's calls per second is refused as the broker refuses it.
    bool RateLimits = true;
    // Requests per 10 minutes of each chart transaction (SimLimits.h); 0: no cap.
    int ChartCap10Min = 0;

    // The demo user and its accounts.
    QString UserId = QStringLiteral("demo");
    QString Password = QStringLiteral("demo1234");
    QString AccountNo = QStringLiteral("55501234501");
    QString AccountPw = QStringLiteral("0000");
    QString ExtraAccountNo = QStringLiteral("55501234599");   // listed, empty
    qint64 StartCash = TSimAccount::kDefaultCash;
};
