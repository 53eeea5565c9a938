#pragma once
// Client of our web service (signals, news archive, market lists, ad line,
// update files). Every request is one HTTP GET with a fresh libcurl handle on
// a short-lived background thread; the result is handed back to the thread of
// the context object and dropped there when the window is gone (GFormAlive
// false) or the context object has been destroyed.
//
// Time-outs: ConnectMs bounds the connection; ResponseMs bounds every wait
// for data once connected (the first bytes included), so a large body that
// keeps arriving is never cut. Only HTTPS leaves this machine; plain HTTP is
// for a service on the loopback address.
//
// Content decoding: every encoding libcurl knows (gzip, deflate, br...) is
// decoded, whether asked for or not. AcceptCompressed only decides whether we
// advertise it with an Accept-Encoding header.
//
// Redirects are followed (three at most) only within the same scheme, host
// and port: following one elsewhere would hand the update key header to
// whatever host the redirect names. A redirect elsewhere is a failure.
//
// HTTPS certificates and host names are always verified.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <functional>

struct TFetchResult {
    bool Ok = false;      // status 200 and the whole body arrived
    int Status = 0;       // HTTP status; 0 when no complete response (transport error)
    QByteArray Body;      // response bytes, decoded; empty unless Ok
    QString Error;        // failure text: "HTTP " + status, or the transport error message
    // The body as UTF-8 text on success; otherwise "#ERR " + the status number,
    // or "#ERR " + the transport error message when there was no status.
    QString Text() const;
};

struct TFetchOptions {
    int ConnectMs = 5000;
    int ResponseMs = 15000;
    QString UserAgent;               // empty: libcurl sends none
    bool AcceptCompressed = false;   // send Accept-Encoding (decoding happens anyway)
    QList<QPair<QByteArray, QByteArray>> Headers;  // extra request headers (name, value)
    // The largest body taken (decoded bytes); a larger one fails. Lists and
    // texts are parsed on the window's thread, so only updates may be large.
    qint64 MaxBytes = 16LL * 1024 * 1024;
    // Set: the body goes here as it arrives instead of into the result (the
    // result's Body stays empty); returning false stops the transfer.
    std::function<bool(const char* data, qint64 n)> Sink;
    // Encrypted only, even on this machine (updates: another local account
    // could serve a program on a loopback port).
    bool HttpsOnly = false;
    // A certificate (PEM) trusted besides the system's store; tests only.
    QString CaFile;
};

// The kinds of request the program makes, each with its fixed time-outs.
enum class TServiceKind {
    NewsToday,   // "/lumen/news?d=" + today
    NewsDay,     // "/lumen/news?d=" + an earlier day
    Latest,      // "/lumen/latest" (signal poll)
    Series,      // "/lumen/series?code=" + ISIN
    LmTop,       // "/lumen/pub?n=lmtop&t=" + seconds
    Etn,         // "/lumen/etn"
    ShortBan,    // "/lumen/shortban"
    Buyback,     // "/lumen/pub?n=buyback"
    NewsAd,      // "/lumen/pub?n=newsad"
    Manifest,    // "/hts/hts.json?t=" + milliseconds
    UpdateFile,  // "/hts/" + file + "?v=" + 16 hex digits
};

// Header carrying the access key on update requests.
inline constexpr const char* kUpdateKeyHeader = "X-HTS-Key";
// The access key the update requests carry in that header.
inline constexpr const char* kUpdateAccessKey = "5e2a90c7b1d84f36a0c9e7d2b45f1a83";
// User-Agent of the signal poll.
inline constexpr const char* kSignalUserAgent = "KestrelHTS/1.0";

// The path (or path prefix, to which the caller appends its argument) of a kind.
// UpdateFile gives "/hts/"; the caller appends the file and "?v=" + version.
QString ServicePath(TServiceKind kind);
// Time-outs and headers of a kind. For Manifest and UpdateFile, pass the update
// access key to get the X-HTS-Key header; it is ignored for the other kinds.
TFetchOptions ServiceOptions(TServiceKind kind, const QByteArray& updateKey = {});

class TServiceHost : public QObject {
public:
    explicit TServiceHost(QObject* parent = nullptr);

    // Scheme + host[:port], e.g. "https://svc.example.kr" or
    // "http://127.0.0.1:8080". Surrounding blanks and trailing slashes are dropped.
    void SetBase(const QString& base);
    QString Base() const { return FBase; }
    // Base + path, with exactly one slash between them.
    QString UrlFor(const QString& path) const;

    // Starts one GET of Base() + path on a new background thread and returns at
    // once. `done` runs later on `context`'s thread (call Get from that thread),
    // only when GFormAlive is true then and `context` still exists; it never
    // runs on the worker thread and never inside Get. A null context means the
    // result is delivered to the calling thread with no owner to outlive.
    void Get(const QString& path, const TFetchOptions& opt, QObject* context,
             std::function<void(const TFetchResult&)> done) const;

    // The same request, performed on the calling thread (which waits). For the
    // start-up update check, which runs before any window exists.
    TFetchResult GetSync(const QString& path, const TFetchOptions& opt) const;

    // Requests whose worker thread is still running (any host object).
    static int InFlight();

private:
    QString FBase;
};

// Performs one GET of a full URL on the calling thread.
TFetchResult FetchUrl(const QString& url, const TFetchOptions& opt);
