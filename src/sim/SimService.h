#pragma once
// Our web service as the simulated exchange's world serves it, and a small
// HTTP server that puts it on this machine's loopback address.
//
// TSimService answers GET requests by path (with the query):
//   /lumen/news?d=yyyymmdd   the day's news archive: one headline per line,
//                            D, T, Key, Codes, Title, Src apart by TAB, CR LF
//                            line ends, UTF-8. The day of the exchange's log
//                            gives the headlines sent so far, in the order
//                            sent; an earlier day its whole wire; a later day
//                            is not known yet (404).
//   /lumen/pub?n=newsad      the article window's advertisement line (JSON).
//   /lumen/latest            the signal lists of the day shown (SimSignals.h):
//                            {"date":"yyyymmdd","updated":"hhmmss",
//                             "lm03":[..],"lm03r":[..],"lm08":[..],"lm08r":[..]},
//                            each element {"sc" and/or "code", "time", "ep",
//                            streaks also "peak"}.
//   /lumen/series?code=ISIN  a tracked stock's cumulative buyer- and
//                            seller-initiated amounts (millions of won) at the
//                            end of each minute, oldest first, each row named
//                            by its minute's start as the signals' times are:
//                            {"date":"yyyymmdd","rows":[["hhmm",B,S],..]};
//                            rows empty for a stock not tracked.
//   /lumen/shortban          the short-sale ban list of the exchange's day
//   /lumen/pub?n=buyback     the day's treasury-stock filings (SimLists.h;
//                            both only when made from an exchange)
//   /lumen/pub?n=lmtop&t=..  the day's sums of the tracked stocks up to the
//                            last minute ended: {"date","upto":"hhmm","made",
//                            "items":[{"code","isin","b","s"},..]}; "made"
//                            changes whenever the content does; t is ignored.
// JSON answers carry Content-Type application/json. Anything else is 404; a
// malformed day or ISIN is 400; the signal paths are 503 until the signal
// service has worked out its first snapshot.
//
// It reads only the immutable wire, the locked log and the signal service's
// published snapshot (shared with the exchange), never the exchange itself,
// so it may answer on any thread and outlive the exchange.
//
// TSimServiceServer listens on 127.0.0.1 only, on a port of its own choosing
// (or the one asked for), and answers on its own threads.
#include <QByteArray>
#include <QDate>
#include <QString>
#include <memory>
#include <chrono>
#include <thread>

class TSimExchange;
class TSimNews;
class TSimNewsLog;
class TSimSignals;
class TSimLists;

struct TSimServiceReply {
    int Status = 200;
    QByteArray Body;
    QByteArray ContentType = "text/plain; charset=utf-8";
};

class TSimService {
public:
    explicit TSimService(const TSimExchange& exchange);
    TSimService(std::shared_ptr<const TSimNews> news, std::shared_ptr<const TSimNewsLog> log,
                std::shared_ptr<const TSimSignals> lumen = {});

    // `target`: the path and query as requested, e.g. "/lumen/news?d=20261210".
    TSimServiceReply Get(const QString& target) const;
    // The archive of `day`; false (and nothing) when the day is after the log's day.
    bool NewsArchive(const QDate& day, QByteArray* body) const;

private:
    std::shared_ptr<const TSimNews> FNews;
    std::shared_ptr<const TSimNewsLog> FLog;
    std::shared_ptr<const TSimSignals> FSignals;
    std::shared_ptr<const TSimLists> FLists;   // short-sale bans and buybacks (SimLists.h)
};

class TSimServiceServer {
public:
    explicit TSimServiceServer(const TSimExchange& exchange);
    explicit TSimServiceServer(std::shared_ptr<const TSimService> service);
    ~TSimServiceServer();
    TSimServiceServer(const TSimServiceServer&) = delete;
    TSimServiceServer& operator=(const TSimServiceServer&) = delete;

    // Starts listening on 127.0.0.1 (`port` 0: any free port) and returns the
    // base address "http://127.0.0.1:PORT"; empty when the port could not be
    // bound (`error` says why). Starting a running server returns its base.
    QString Start(int port = 0, QString* error = nullptr);
    // Stops listening and waits for the serving thread; safe to call twice.
    void Stop();
    int Port() const { return FPort; }
    QString Base() const;

private:
    struct TImpl;
    std::shared_ptr<const TSimService> FService;
    std::unique_ptr<TImpl> FImpl;
    std::thread FThread;
    int FPort = 0;
};
