#pragma once
// A small HTTPS server on loopback for the broker's REST client: its own
// certificate (tests/broker/tls), one request per connection, answered by
// a handler. What it received is kept for the test to look at.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <functional>

class QSslServer;
class QSslSocket;

struct TFakeRequest {
    QByteArray Method, Path;
    QHash<QByteArray, QByteArray> Headers;   // names in lower case
    QByteArray Body;
};

struct TFakeResponse {
    int Status = 200;
    QList<QPair<QByteArray, QByteArray>> Headers;
    QByteArray Body;
    bool Silent = false;   // never answer (the client's time-out)
};

class TFakeHttps : public QObject {
public:
    using THandler = std::function<TFakeResponse(const TFakeRequest&)>;
    explicit TFakeHttps(THandler handler, QObject* parent = nullptr);
    ~TFakeHttps() override;

    bool Listen();   // on 127.0.0.1, an ephemeral port
    quint16 Port() const;
    QString Base() const;   // https://127.0.0.1:port
    static QSslCertificate Certificate();

    QList<TFakeRequest> Received;

private:
    void Read(QSslSocket* s);
    QSslServer* FServer;
    THandler FHandler;
    QHash<QSslSocket*, QByteArray> FBuf;
};
