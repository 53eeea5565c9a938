#pragma once
// What [LOGIN] HOST names: the built-in simulated exchange ("sim", the
// default) or one of the broker's servers, with the addresses of its
// network API. Letter case and blanks around the name are ignored.
#include <QString>

enum class TBackendKind {
    Sim,      // the simulated exchange
    Live,     // the broker's production server
    Paper,    // the broker's paper-trading server
    Unknown,  // a name of nothing
};

struct TBackendHost {
    TBackendKind Kind = TBackendKind::Unknown;
    QString Name;      // as written in hts.ini, trimmed
    QString RestBase;  // https://host:port of the REST API (Live, Paper)
    QString WsUrl;     // wss:// address of the real-time feed (Live, Paper)
};

TBackendHost BackendOfHost(const QString& host);
// The names HOST takes, for messages: "sim, ls, ls-paper".
QString BackendHostNames();
