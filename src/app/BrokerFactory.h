#pragma once
// Chooses the broker backend from hts.ini: [LOGIN] HOST=sim (the default) is
// the built-in simulated exchange, set up by the [SIM] section; ls and
// ls-paper are the broker's open API (production, paper trading), local a
// server of that API on this machine named by [OPENAPI] REST, WS, CACERT.
// [OPENAPI] TIMEOUT is the longest wait for an answer in ms (15000).
#include "broker/XingApi.h"
#include "core/Config.h"

#include <memory>

class TClock;

// `problems` receives what the backend could not set up (a bad universe
// file, a damaged account file), one line each, for the log.
std::unique_ptr<TBrokerBackend> CreateBrokerBackend(const TConfig& cfg, const QString& iniPath, TClock& clock,
                                                    QStringList* problems = nullptr);
