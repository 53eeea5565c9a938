#include "app/BrokerFactory.h"

#include "core/IniFile.h"
#include "sim/SimBackend.h"

#include <QFileInfo>

std::unique_ptr<TBrokerBackend> CreateBrokerBackend(const TConfig& cfg, const QString& iniPath, TClock& clock,
                                                    QStringList* problems)
{
    // The broker's network API is not built in yet: the simulated exchange
    // serves the objects, and login refuses hosts other than "sim".
    TIniFile ini(iniPath);
    const QString S = QStringLiteral("SIM");
    const QString dir = QFileInfo(iniPath).absolutePath() + QLatin1Char('/');
    TSimConfig sc;
    bool ok = false;
    const quint64 seed = ini.ReadString(S, QStringLiteral("SEED"), QString()).trimmed().toULongLong(&ok);
    if (ok)
        sc.Seed = seed;
    const double rate = ini.ReadString(S, QStringLiteral("RATE"), QString()).trimmed().toDouble(&ok);
    if (ok && rate > 0 && rate <= 50)
        sc.TradesPerSec = rate;
    sc.AlwaysOpen = ini.ReadBool(S, QStringLiteral("ALWAYSOPEN"), false);
    sc.ClockOffsetMs = ini.ReadInteger(S, QStringLiteral("CLOCKOFS"), int(sc.ClockOffsetMs));
    sc.AnswerDelayMs = qBound(0, ini.ReadInteger(S, QStringLiteral("DELAY"), sc.AnswerDelayMs), 60000);
    sc.PumpMs = qBound(0, ini.ReadInteger(S, QStringLiteral("PUMP"), sc.PumpMs), 10000);
    sc.RateLimits = ini.ReadBool(S, QStringLiteral("RATELIMITS"), sc.RateLimits);
    sc.ChartCap10Min = qBound(0, ini.ReadInteger(S, QStringLiteral("CHARTCAP"), sc.ChartCap10Min), 1000000);
    sc.UniverseFile = ini.ReadString(S, QStringLiteral("UNIVERSE"), QString()).trimmed();
    if (!sc.UniverseFile.isEmpty() && QFileInfo(sc.UniverseFile).isRelative())
        sc.UniverseFile = dir + sc.UniverseFile;
    sc.StatePath = ini.ReadString(S, QStringLiteral("STATE"), QStringLiteral("sim_account.json")).trimmed();
    if (!sc.StatePath.isEmpty() && QFileInfo(sc.StatePath).isRelative())
        sc.StatePath = dir + sc.StatePath;
    auto backend = CreateSimBackend(sc, clock);
    if (problems)
        *problems = backend->Exchange().StartupProblems();
    return backend;
}
