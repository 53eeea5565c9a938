#include "broker/BackendHost.h"

TBackendHost BackendOfHost(const QString& host)
{
    TBackendHost h;
    h.Name = host.trimmed();
    const QString n = h.Name.toLower();
    // REST on one host and port for both servers (the key decides which);
    // the real-time feed on a port of its own for each.
    const QString rest = QStringLiteral("https://openapi.ls-sec.co.kr:8080");
    if (n.isEmpty() || n == QLatin1String("sim")) {
        h.Kind = TBackendKind::Sim;
    } else if (n == QLatin1String("ls")) {
        h.Kind = TBackendKind::Live;
        h.RestBase = rest;
        h.WsUrl = QStringLiteral("wss://openapi.ls-sec.co.kr:9443/websocket");
    } else if (n == QLatin1String("ls-paper")) {
        h.Kind = TBackendKind::Paper;
        h.RestBase = rest;
        h.WsUrl = QStringLiteral("wss://openapi.ls-sec.co.kr:29443/websocket");
    }
    return h;
}

QString BackendHostNames() { return QStringLiteral("sim, ls, ls-paper"); }
