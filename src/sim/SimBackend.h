#pragma once
// The built-in simulated exchange as a broker backend. The backend owns one
// TSimExchange; every session, query and feed object it creates talks to it.
//
//   TTestClock clock;                 // or SystemClock()
//   TSimConfig cfg;                   // demo / demo1234, account 55501234501 / 0000
//   auto backend = CreateSimBackend(cfg, clock);
//   TXASession* s = backend->CreateSession(window);
#include "broker/XingApi.h"
#include "core/Clock.h"
#include "sim/SimConfig.h"
#include "sim/SimExchange.h"
#include <memory>

class TSimBackend final : public TBrokerBackend {
public:
    TSimBackend(const TSimConfig& cfg, TClock& clock);
    ~TSimBackend() override;

    TXASession* CreateSession(QObject* parent) override;
    TXAQuery* CreateQuery(QObject* parent) override;
    TXAReal* CreateReal(QObject* parent) override;

    // The exchange behind the objects (settings, faults, the account).
    TSimExchange& Exchange() { return *FExchange; }

private:
    std::unique_ptr<TSimExchange> FExchange;
};

std::unique_ptr<TSimBackend> CreateSimBackend(const TSimConfig& cfg, TClock& clock);
