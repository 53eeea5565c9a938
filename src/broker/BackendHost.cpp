#include "broker/BackendHost.h"

#include "core/IniFile.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QUrl>

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
    } else if (n == QLatin1String("local")) {
        h.Kind = TBackendKind::Local;
    }
    return h;
}

QString BackendHostNames() { return QStringLiteral("sim, ls, ls-paper, local"); }

namespace {
bool IsLoopbackUrl(const QUrl& u, const QString& scheme)
{
    if (!u.isValid() || u.scheme() != scheme || u.port() <= 0 || !u.userInfo().isEmpty())
        return false;
    const QString h = u.host().toLower();
    if (h == QLatin1String("localhost"))
        return true;
    const QHostAddress a(h);
    return !a.isNull() && a.isLoopback();
}
}  // namespace

bool ReadLocalApi(const QString& iniPath, TBackendHost& host, QString* certPath, QString* err)
{
    TIniFile ini(iniPath);
    const QString S = QStringLiteral("OPENAPI");
    const QString rest = ini.ReadString(S, QStringLiteral("REST"), QString()).trimmed();
    const QString ws = ini.ReadString(S, QStringLiteral("WS"), QString()).trimmed();
    QString cert = ini.ReadString(S, QStringLiteral("CACERT"), QString()).trimmed();
    const QUrl r(rest), w(ws);
    if (!IsLoopbackUrl(r, QStringLiteral("https")) || !r.path(QUrl::FullyDecoded).remove(QLatin1Char('/')).isEmpty()) {
        if (err)
            *err = QStringLiteral("HOST=local: hts.ini [OPENAPI] REST 는 이 PC의 https 주소여야 합니다 (예: https://127.0.0.1:8080)");
        return false;
    }
    if (!IsLoopbackUrl(w, QStringLiteral("wss"))) {
        if (err)
            *err = QStringLiteral("HOST=local: hts.ini [OPENAPI] WS 는 이 PC의 wss 주소여야 합니다 (예: wss://127.0.0.1:29443/websocket)");
        return false;
    }
    if (!cert.isEmpty() && QFileInfo(cert).isRelative())
        cert = QFileInfo(iniPath).absolutePath() + QLatin1Char('/') + cert;
    host.RestBase = r.adjusted(QUrl::StripTrailingSlash).toString();
    host.WsUrl = w.toString();
    if (certPath)
        *certPath = cert;
    return true;
}
