#include "FakeHttps.h"

#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>

namespace {
QByteArray ReadTls(const char* name)
{
    QFile f(QStringLiteral(KESTREL_TEST_TLS_DIR "/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TFakeHttps::TFakeHttps(THandler handler, QObject* parent)
    : QObject(parent), FServer(new QSslServer(this)), FHandler(std::move(handler))
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(Certificate());
    tls.setPrivateKey(QSslKey(ReadTls("fake-broker.key"), QSsl::Rsa));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    FServer->setSslConfiguration(tls);
    connect(FServer, &QSslServer::pendingConnectionAvailable, this, [this] {
        while (FServer->hasPendingConnections()) {
            auto* s = static_cast<QSslSocket*>(FServer->nextPendingConnection());
            connect(s, &QSslSocket::readyRead, this, [this, s] { Read(s); });
            connect(s, &QSslSocket::disconnected, this, [this, s] {
                FBuf.remove(s);
                s->deleteLater();
            });
        }
    });
}

TFakeHttps::~TFakeHttps() = default;

QSslCertificate TFakeHttps::Certificate() { return QSslCertificate(ReadTls("fake-broker.crt")); }

bool TFakeHttps::Listen() { return FServer->listen(QHostAddress::LocalHost, 0); }

quint16 TFakeHttps::Port() const { return FServer->serverPort(); }

QString TFakeHttps::Base() const { return QStringLiteral("https://127.0.0.1:%1").arg(Port()); }

void TFakeHttps::Read(QSslSocket* s)
{
    QByteArray& buf = FBuf[s];
    buf += s->readAll();
    const int end = buf.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    TFakeRequest req;
    const QList<QByteArray> lines = buf.left(end).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    req.Method = first.value(0);
    req.Path = first.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0)
            req.Headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const int length = req.Headers.value("content-length").toInt();
    if (buf.size() < end + 4 + length)
        return;
    req.Body = buf.mid(end + 4, length);
    buf.clear();
    Received << req;
    const TFakeResponse resp = FHandler(req);
    if (resp.Silent)
        return;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(resp.Status) + " X\r\n";
    for (const auto& [k, v] : resp.Headers)
        out += k + ": " + v + "\r\n";
    out += "content-length: " + QByteArray::number(resp.Body.size()) + "\r\nconnection: close\r\n\r\n" + resp.Body;
    s->write(out);
    s->disconnectFromHost();
}
