#include "app/BrokerFactory.h"

#include "broker/BackendHost.h"
#include "broker/RestBackend.h"
#include "core/IniFile.h"
#include "sim/SimBackend.h"

#include <QFile>
#include <QFileInfo>

std::unique_ptr<TBrokerBackend> CreateBrokerBackend(const TConfig& cfg, const QString& iniPath, TClock& clock,
                                                    QStringList* problems)
{
    TBackendHost host = BackendOfHost(cfg.Host);
    if (host.Kind == TBackendKind::Live || host.Kind == TBackendKind::Paper || host.Kind == TBackendKind::Local) {
        TRestSettings rs;
        QString certPath, err;
        if (host.Kind == TBackendKind::Local && !ReadLocalApi(iniPath, host, &certPath, &err)) {
            if (problems)
                *problems << err;   // login says it again, and nothing is sent anywhere
        }
        if (!certPath.isEmpty()) {
            QFile f(certPath);
            const QList<QSslCertificate> certs =
                f.open(QIODevice::ReadOnly) ? QSslCertificate::fromData(f.read(1 << 20), QSsl::Pem) : QList<QSslCertificate>();
            if (certs.isEmpty() && problems)
                *problems << QStringLiteral("[OPENAPI] CACERT 인증서를 읽지 못했습니다: ") + certPath;
            rs.Trusted = certs;
        }
        TIniFile ini(iniPath);
        rs.TimeoutMs = qBound(1000, ini.ReadInteger(QStringLiteral("OPENAPI"), QStringLiteral("TIMEOUT"), rs.TimeoutMs), 120000);
        rs.Host = host;
        return std::make_unique<TRestBackend>(rs, clock);
    }
    // Every other HOST is served by the simulated exchange's objects; login
    // refuses a HOST that names nothing before it uses them.
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
