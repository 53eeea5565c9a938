#pragma once
// What [LOGIN] HOST names: the built-in simulated exchange ("sim", the
// default) or one of the broker's servers, with the addresses of its
// network API. Letter case and blanks around the name are ignored.
#include <QString>

enum class TBackendKind {
    Sim,      // the simulated exchange
    Live,     // the broker's production server
    Paper,    // the broker's paper-trading server
    Local,    // a server of the same API on this machine (the fake broker
              // of the tests and of development), behaving as the paper one
    Unknown,  // a name of nothing
};

struct TBackendHost {
    TBackendKind Kind = TBackendKind::Unknown;
    QString Name;      // as written in hts.ini, trimmed
    QString RestBase;  // https://host:port of the REST API (Live, Paper)
    QString WsUrl;     // wss:// address of the real-time feed (Live, Paper)
};

TBackendHost BackendOfHost(const QString& host);
// The names HOST takes, for messages: "sim, ls, ls-paper, local".
QString BackendHostNames();

// HOST=local takes its addresses from hts.ini's [OPENAPI] REST and WS (and
// the server's certificate from CACERT); they must name this machine
// (127.0.0.1, ::1 or localhost) over https / wss. False, with `err` in
// Korean, when they do not; `certPath` gets CACERT's file (relative to the
// ini's folder), empty when none is named.
bool ReadLocalApi(const QString& iniPath, TBackendHost& host, QString* certPath, QString* err);
// The broker's own servers are reached over TLS checked against the
// system's certificates only; a named certificate is trusted for HOST=local
// alone.
