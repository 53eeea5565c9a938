#include "core/ServiceHost.h"

#include "core/AppState.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QUrl>

#include <curl/curl.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// A body larger than this is refused rather than held in memory.
constexpr qint64 kMaxUpdateBytes = 256LL * 1024 * 1024;
// How long the application's shutdown waits for requests still in flight
// (they are told to abort, which libcurl notices within about a second).
constexpr int kShutdownWaitMs = 3000;

struct TServiceRoute {
    TServiceKind Kind;
    const char* Path;
    int ConnectMs;
    int ResponseMs;
};

constexpr TServiceRoute kRoutes[] = {
    {TServiceKind::NewsToday, "/lumen/news?d=", 5000, 15000},
    {TServiceKind::NewsDay, "/lumen/news?d=", 5000, 20000},
    {TServiceKind::Latest, "/lumen/latest", 4000, 6000},
    {TServiceKind::Series, "/lumen/series?code=", 5000, 10000},
    {TServiceKind::LmTop, "/lumen/pub?n=lmtop&t=", 5000, 10000},
    {TServiceKind::Etn, "/lumen/etn", 5000, 15000},
    {TServiceKind::ShortBan, "/lumen/shortban", 5000, 15000},
    {TServiceKind::Buyback, "/lumen/pub?n=buyback", 5000, 15000},
    {TServiceKind::NewsAd, "/lumen/pub?n=newsad", 5000, 10000},
    {TServiceKind::Manifest, "/hts/hts.json?t=", 3000, 30000},
    {TServiceKind::UpdateFile, "/hts/", 5000, 50000},
};

const TServiceRoute& RouteOf(TServiceKind kind)
{
    for (const auto& r : kRoutes)
        if (r.Kind == kind)
            return r;
    return kRoutes[0];
}

// ---- process-wide request bookkeeping -------------------------------------

std::mutex GFlightMutex;
std::condition_variable GFlightDone;
int GInFlight = 0;
std::atomic<bool> GAbortAll{false};
std::once_flag GCurlInit;
std::atomic<bool> GPostRoutineSet{false};

void EnsureCurl()
{
    std::call_once(GCurlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Runs while the application object is destroyed: in-flight requests are told
// to abort and given a moment to end, so no worker is inside libcurl or TLS
// while the process tears down its libraries.
void AbortFetchesAtExit()
{
    GAbortAll = true;
    std::unique_lock lock(GFlightMutex);
    GFlightDone.wait_for(lock, std::chrono::milliseconds(kShutdownWaitMs),
                         [] { return GInFlight == 0; });
}

void EnsurePostRoutine()
{
    if (!QCoreApplication::instance())
        return;
    bool expected = false;
    if (GPostRoutineSet.compare_exchange_strong(expected, true))
        qAddPostRoutine(AbortFetchesAtExit);
}

// ---- hand-over from the worker to the owner's thread -----------------------

class TFetchRelay;

// Shared by the worker and the relay. The relay clears Relay when it dies;
// the worker posts only while holding the mutex, so it never posts to a
// destroyed object.
struct TFetchLink {
    std::mutex M;
    TFetchRelay* Relay = nullptr;
};

// Lives on the owner's thread as a child of the context object, so it dies
// with it; delivers one result and deletes itself.
class TFetchRelay : public QObject {
public:
    TFetchRelay(std::function<void(const TFetchResult&)> done, std::shared_ptr<TFetchLink> link)
        : FDone(std::move(done)), FLink(std::move(link))
    {
        std::lock_guard g(FLink->M);
        FLink->Relay = this;
    }
    ~TFetchRelay() override
    {
        std::lock_guard g(FLink->M);
        FLink->Relay = nullptr;
    }
    void Deliver(const TFetchResult& r)
    {
        auto done = std::move(FDone);
        FDone = nullptr;
        deleteLater();
        if (done && GFormAlive.load())
            done(r);
    }

private:
    std::function<void(const TFetchResult&)> FDone;
    std::shared_ptr<TFetchLink> FLink;
};

void PostResult(const std::shared_ptr<TFetchLink>& link, TFetchResult r)
{
    std::lock_guard g(link->M);
    TFetchRelay* relay = link->Relay;
    if (!relay)
        return;
    QMetaObject::invokeMethod(
        relay, [relay, r = std::move(r)] { relay->Deliver(r); }, Qt::QueuedConnection);
}

// ---- libcurl callbacks ------------------------------------------------------

struct TSink {
    QByteArray Data;
    qint64 Max = 0;
    qint64 Got = 0;
    bool TooLarge = false;
    bool Refused = false;
    std::function<bool(const char*, qint64)> To;   // streaming: the caller's sink
    CURL* Handle = nullptr;
};

size_t OnWrite(char* ptr, size_t size, size_t nmemb, void* user)
{
    auto* sink = static_cast<TSink*>(user);
    const size_t n = size * nmemb;
    if (sink->Got + qint64(n) > sink->Max) {
        sink->TooLarge = true;
        return 0;  // makes libcurl fail with a write error
    }
    sink->Got += qint64(n);
    if (sink->To) {
        // Only a 200 answer's body reaches the caller (not a redirect's or an
        // error page).
        long status = 0;
        curl_easy_getinfo(sink->Handle, CURLINFO_RESPONSE_CODE, &status);
        if (status != 200)
            return n;
        if (!sink->To(ptr, qint64(n))) {
            sink->Refused = true;
            return 0;
        }
        return n;
    }
    sink->Data.append(ptr, qsizetype(n));
    return n;
}

// The response time-out: once connected, the longest wait for the next
// bytes (the first ones included). A body that keeps arriving is not cut.
struct TIdleWatch {
    CURL* Handle = nullptr;
    long IdleMs = 0;
    std::chrono::steady_clock::time_point Last = std::chrono::steady_clock::now();
    curl_off_t SeenDown = -1, SeenUp = -1;
    bool Expired = false;
};

int OnProgress(void* data, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow)
{
    if (GAbortAll.load())
        return 1;
    auto* w = static_cast<TIdleWatch*>(data);
    const auto now = std::chrono::steady_clock::now();
    curl_off_t connected = 0;
    curl_easy_getinfo(w->Handle, CURLINFO_CONNECT_TIME_T, &connected);
    if (connected == 0 || dlnow != w->SeenDown || ulnow != w->SeenUp) {
        w->SeenDown = dlnow;
        w->SeenUp = ulnow;
        w->Last = now;
        return 0;
    }
    if (std::chrono::duration_cast<std::chrono::milliseconds>(now - w->Last).count() > w->IdleMs) {
        w->Expired = true;
        return 1;
    }
    return 0;
}

bool HeaderOk(const QByteArray& name, const QByteArray& value)
{
    if (name.isEmpty() || name.contains(':'))
        return false;
    for (char c : name + value)
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    return true;
}

TFetchResult Failure(const QString& message)
{
    TFetchResult r;
    r.Error = message;
    return r;
}

}  // namespace

// ---- public -----------------------------------------------------------------

QString TFetchResult::Text() const
{
    if (Ok) {
        QString t = QString::fromUtf8(Body);
        if (t.startsWith(QChar(0xFEFF)))
            t.remove(0, 1);  // a byte-order mark is no text
        return t;
    }
    if (Status != 0)
        return QStringLiteral("#ERR ") + QString::number(Status);
    return QStringLiteral("#ERR ") + Error;
}

QString ServicePath(TServiceKind kind)
{
    return QString::fromLatin1(RouteOf(kind).Path);
}

TFetchOptions ServiceOptions(TServiceKind kind, const QByteArray& updateKey)
{
    const TServiceRoute& route = RouteOf(kind);
    TFetchOptions o;
    o.ConnectMs = route.ConnectMs;
    o.ResponseMs = route.ResponseMs;
    if (kind == TServiceKind::Latest) {
        o.UserAgent = QString::fromLatin1(kSignalUserAgent);
        o.AcceptCompressed = true;
    }
    if ((kind == TServiceKind::Manifest || kind == TServiceKind::UpdateFile) && !updateKey.isEmpty())
        o.Headers.append({QByteArray(kUpdateKeyHeader), updateKey});
    if (kind == TServiceKind::UpdateFile)
        o.MaxBytes = kMaxUpdateBytes;
    return o;
}

namespace {

// Whether host names this machine by itself: "localhost", the IPv6 loopback
// or a literal IPv4 address 127.x.x.x written as four decimal numbers.
// Anything else (127.0.0.evil, 127.0.0.1.evil.kr) would go to a name lookup.
// (QUrl has already written shorthand forms such as 127.1 out in full.)
bool IsLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    if (host == QLatin1String("::1") || host == QLatin1String("0:0:0:0:0:0:0:1"))
        return true;
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        const QString& p = parts[i];
        if (p.isEmpty() || p.size() > 3)
            return false;
        for (const QChar c : p)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        const int v = p.toInt();
        if (v > 255 || (i == 0 && v != 127))
            return false;
    }
    return true;
}

// One request; a redirect answer leaves its target in `redirect`.
TFetchResult FetchOnce(const QString& url, const TFetchOptions& opt, QString* redirect)
{
    if (GAbortAll.load())
        return Failure(QStringLiteral("프로그램 종료 중 — 요청 취소"));
    // The update key and the update itself travel only encrypted; plain
    // HTTP is for a service on this machine.
    const QUrl u(url);
    const bool https = u.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const bool http = u.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
    const QString host = u.host();
    const bool loopback = IsLoopbackHost(host);
    if (!u.isValid() || host.isEmpty() || !u.userInfo().isEmpty() || !(https || (http && loopback)))
        return Failure(QStringLiteral("서비스 주소는 https:// 로 시작해야 합니다 (http는 이 PC만): ") + url);
    if (opt.HttpsOnly && !https)
        return Failure(QStringLiteral("업데이트는 https:// 로만 받습니다: ") + url);
    EnsureCurl();

    bool ownAcceptEncoding = false;
    for (const auto& h : opt.Headers) {
        if (!HeaderOk(h.first, h.second))
            return Failure(QStringLiteral("잘못된 요청 헤더: ") + QString::fromLatin1(h.first));
        if (h.first.compare("Accept-Encoding", Qt::CaseInsensitive) == 0)
            ownAcceptEncoding = true;
    }
    const QByteArray userAgent = opt.UserAgent.toUtf8();
    if (userAgent.contains('\r') || userAgent.contains('\n'))
        return Failure(QStringLiteral("잘못된 User-Agent"));

    CURL* h = curl_easy_init();
    if (!h)
        return Failure(QStringLiteral("HTTP 클라이언트를 만들지 못했습니다"));

    const QByteArray urlBytes = url.toUtf8();
    char errbuf[CURL_ERROR_SIZE] = {0};
    TSink sink;
    sink.Max = std::max<qint64>(1, opt.MaxBytes);
    sink.To = opt.Sink;
    const QByteArray caFile = QFile::encodeName(opt.CaFile);
    curl_slist* headers = nullptr;
    // Decode whatever the server sends; advertise it only when asked to.
    if (!opt.AcceptCompressed && !ownAcceptEncoding)
        headers = curl_slist_append(headers, "Accept-Encoding:");
    for (const auto& hd : opt.Headers)
        headers = curl_slist_append(headers, (hd.first + ": " + hd.second).constData());

    const long connectMs = std::max(1, opt.ConnectMs);
    TIdleWatch idle;
    idle.Handle = h;
    idle.IdleMs = std::max(1, opt.ResponseMs);
    // A ceiling for a body that trickles forever.
    const long totalMs = connectMs + std::max(30L * 60 * 1000, 10 * idle.IdleMs);

    curl_easy_setopt(h, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, opt.HttpsOnly ? "https" : "http,https");
    if (!caFile.isEmpty())
        curl_easy_setopt(h, CURLOPT_CAINFO, caFile.constData());
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, totalMs);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnWrite);
    sink.Handle = h;
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &idle);
    if (!userAgent.isEmpty())
        curl_easy_setopt(h, CURLOPT_USERAGENT, userAgent.constData());
    if (headers)
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);

    const CURLcode rc = curl_easy_perform(h);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    char* location = nullptr;
    if (rc == CURLE_OK && status >= 300 && status < 400 && curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location) == CURLE_OK
        && location)
        *redirect = QString::fromUtf8(location);
    curl_easy_cleanup(h);
    curl_slist_free_all(headers);

    TFetchResult r;
    if (rc != CURLE_OK) {
        if (sink.TooLarge)
            r.Error = QStringLiteral("응답이 너무 큽니다 (%1 바이트 초과)").arg(sink.Max);
        else if (sink.Refused)
            r.Error = QStringLiteral("받는 쪽이 멈췄습니다 (크기 초과 또는 쓰기 실패)");
        else if (rc == CURLE_ABORTED_BY_CALLBACK && idle.Expired)
            r.Error = QStringLiteral("Response timed out: no data for %1 ms").arg(idle.IdleMs);
        else if (rc == CURLE_ABORTED_BY_CALLBACK)
            r.Error = QStringLiteral("프로그램 종료 중 — 요청 취소");
        else
            r.Error = QString::fromUtf8(errbuf[0] ? errbuf : curl_easy_strerror(rc)).trimmed();
        return r;  // Status stays 0: no complete response
    }
    r.Status = int(status);
    if (status != 200) {
        r.Error = QStringLiteral("HTTP ") + QString::number(status);
        return r;
    }
    r.Ok = true;
    r.Body = std::move(sink.Data);
    return r;
}

bool SameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0
           && a.host().compare(b.host(), Qt::CaseInsensitive) == 0
           && a.port(a.scheme() == QLatin1String("https") ? 443 : 80) == b.port(b.scheme() == QLatin1String("https") ? 443 : 80);
}

} // namespace

// Redirects are followed (up to three) only within the same scheme, host and
// port: the update key must never reach another server.
TFetchResult FetchUrl(const QString& url, const TFetchOptions& opt)
{
    QString at = url;
    for (int hop = 0;; ++hop) {
        QString next;
        TFetchResult r = FetchOnce(at, opt, &next);
        if (next.isEmpty() || hop == 3)
            return r;
        if (!SameOrigin(QUrl(url), QUrl(next))) {
            r.Error = QStringLiteral("다른 서버로의 이동은 따르지 않습니다: ") + next;
            return r;
        }
        at = next;
    }
}

TServiceHost::TServiceHost(QObject* parent) : QObject(parent) {}

void TServiceHost::SetBase(const QString& base)
{
    QString b = base.trimmed();
    while (b.endsWith(QLatin1Char('/')))
        b.chop(1);
    FBase = b;
}

QString TServiceHost::UrlFor(const QString& path) const
{
    if (path.isEmpty())
        return FBase;
    return path.startsWith(QLatin1Char('/')) ? FBase + path : FBase + QLatin1Char('/') + path;
}

TFetchResult TServiceHost::GetSync(const QString& path, const TFetchOptions& opt) const
{
    if (FBase.isEmpty())
        return Failure(QStringLiteral("서비스 주소가 설정되지 않았습니다"));
    return FetchUrl(UrlFor(path), opt);
}

void TServiceHost::Get(const QString& path, const TFetchOptions& opt, QObject* context,
                       std::function<void(const TFetchResult&)> done) const
{
    EnsureCurl();
    EnsurePostRoutine();

    auto link = std::make_shared<TFetchLink>();
    auto* relay = new TFetchRelay(std::move(done), link);
    if (context)
        relay->setParent(context);

    if (FBase.isEmpty()) {
        PostResult(link, Failure(QStringLiteral("서비스 주소가 설정되지 않았습니다")));
        return;
    }

    // Everything the worker touches is its own copy; nothing points back into
    // this object, the context or the relay.
    struct TJob {
        QString Url;
        TFetchOptions Opt;
        std::shared_ptr<TFetchLink> Link;
    };
    auto job = std::make_unique<TJob>(TJob{UrlFor(path), opt, link});

    {
        std::lock_guard g(GFlightMutex);
        ++GInFlight;
    }
    try {
        std::thread([job = std::move(job)]() mutable {
            {
                std::unique_ptr<TJob> own = std::move(job);
                TFetchResult r = FetchUrl(own->Url, own->Opt);
                PostResult(own->Link, std::move(r));
            }
            std::lock_guard g(GFlightMutex);
            --GInFlight;
            GFlightDone.notify_all();
        }).detach();
    } catch (const std::exception& e) {
        {
            std::lock_guard g(GFlightMutex);
            --GInFlight;
        }
        PostResult(link, Failure(QStringLiteral("작업 스레드를 만들지 못했습니다: ") + QString::fromLocal8Bit(e.what())));
    }
}

int TServiceHost::InFlight()
{
    std::lock_guard g(GFlightMutex);
    return GInFlight;
}
