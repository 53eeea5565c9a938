#pragma once
// Chooses the broker backend from hts.ini: [LOGIN] HOST=sim (the default) is
// the built-in simulated exchange, set up by the [SIM] section.
#include "broker/XingApi.h"
#include "core/Config.h"

#include <memory>

class TClock;

// `problems` receives what the backend could not set up (a bad universe
// file, a damaged account file), one line each, for the log.
std::unique_ptr<TBrokerBackend> CreateBrokerBackend(const TConfig& cfg, const QString& iniPath, TClock& clock,
                                                    QStringList* problems = nullptr);
