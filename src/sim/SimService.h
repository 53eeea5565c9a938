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
// Anything else is 404; a malformed day is 400.
//
// It reads only the immutable wire and the locked log of the exchange
// (shared with it), never the exchange itself, so it may answer on any
// thread and outlive the exchange.
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

struct TSimServiceReply {
    int Status = 200;
    QByteArray Body;
    QByteArray ContentType = "text/plain; charset=utf-8";
};

class TSimService {
public:
    explicit TSimService(const TSimExchange& exchange);
    TSimService(std::shared_ptr<const TSimNews> news, std::shared_ptr<const TSimNewsLog> log);

    // `target`: the path and query as requested, e.g. "/lumen/news?d=20261210".
    TSimServiceReply Get(const QString& target) const;
    // The archive of `day`; false (and nothing) when the day is after the log's day.
    bool NewsArchive(const QDate& day, QByteArray* body) const;

private:
    std::shared_ptr<const TSimNews> FNews;
    std::shared_ptr<const TSimNewsLog> FLog;
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
