#pragma once
// The login configuration kept in hts.ini, and the search for the folder of
// the broker's result-layout (.res) files.
#include <QString>

// Default server host: on this platform the broker back end is the built-in
// simulated exchange.
inline const QString kDefaultHost = QStringLiteral("sim");
inline constexpr int kDefaultPort = 20001;
inline const QString kDefaultLastCode = QStringLiteral("005930");

struct TConfig {
    QString ID;                     // [LOGIN] ID, trimmed
    QString PW;                     // [LOGIN] PW, as typed
    QString CertPW;                 // [LOGIN] CERT, as typed
    QString AppKey;                 // [LOGIN] APPKEY, trimmed (the broker's open API)
    QString AppSecret;              // [LOGIN] APPSECRET, trimmed
    QString Host = kDefaultHost;    // [LOGIN] HOST, trimmed
    int Port = kDefaultPort;        // [LOGIN] PORT
    int SvrType = 0;                // [LOGIN] SVRTYPE
    QString Acno;                   // [ACCOUNT] ACNO, trimmed
    QString AcPw;                   // [ACCOUNT] ACPW, as typed
    QString ResPath;                // [XING] RES, trimmed, then ResolveResPath
    QString LastCode = kDefaultLastCode; // [UI] LASTCODE, trimmed
};

// Fills cfg from the file at path (cfg starts from the defaults above, with
// ResPath resolved, even when the file is missing). True when ID, PW and Acno
// are all non-empty (APPKEY and APPSECRET in place of ID and PW when HOST
// names a server of the broker's open API, see UsesAppKey); otherwise err holds the reason. An empty HOST reads as
// kDefaultHost, a PORT outside 1..65535 as kDefaultPort and an empty
// LASTCODE as kDefaultLastCode.
// exeResDir is the Res folder beside the executable; empty means
// QCoreApplication::applicationDirPath() + "/Res/".
bool LoadConfig(const QString& path, TConfig& cfg, QString& err,
                const QString& exeResDir = QString());

// What keeps the settings file at path from logging in by itself, for the
// login dialog: unreadable (a folder, a pipe, too big), empty, without the
// login or account keys, or not UTF-8 (then it is not saved). Empty when the
// file is missing (a first start) or holds what a login needs.
QString LoginIniProblem(const QString& path);

// The folder that holds t1101.res: the configured folder (trimmed, trailing
// '/' added) when it holds the file, else exeResDir when it does. When
// neither does: the configured folder with its separator when one is
// configured, else exeResDir. The result always ends with '/'.
QString ResolveResPath(const QString& configured, const QString& exeResDir);
// Same, with the Res folder beside the executable.
QString ResolveResPath(const QString& configured);

// Whether HOST names a server of the broker's open API (ls, ls-paper,
// local), reached with an app key and secret.
bool UsesAppKey(const QString& host);
