#include "broker/WsFeed.h"

#include <QRandomGenerator>
#include <QSslConfiguration>
#include <algorithm>

TWsFeed::TWsFeed(const QString& url, QObject* parent) : QObject(parent), FUrl(url)
{
    FGap.setSingleShot(true);
    connect(&FGap, &QTimer::timeout, this, [this] { SendNext(); });
    FRetry.setSingleShot(true);
    connect(&FRetry, &QTimer::timeout, this, [this] { Connect(); });
}

TWsFeed::~TWsFeed()
{
    FWanted = false;
    if (FSock)
        FSock->abort();
}

void TWsFeed::TrustCertificate(const QSslCertificate& cert)
{
    if (!cert.isNull())
        FTrusted << cert;
}

int TWsFeed::PauseMs(int firstMs, int attempt, quint32 rnd)
{
    const qint64 full = std::min<qint64>(KLongestPauseMs, qint64(std::max(firstMs, 1)) << std::min(attempt, 16));
    return int(full / 2 + (full / 2) * (rnd % 1001) / 1000);
}

void TWsFeed::Open()
{
    FWanted = true;
    FAttempt = 0;
    Connect();
}

void TWsFeed::Close()
{
    FWanted = false;
    FRetry.stop();
    FGap.stop();
    FOut.clear();
    FUp = false;
    if (FSock)
        FSock->close();
}

void TWsFeed::Connect()
{
    if (!FWanted)
        return;
    if (FSock) {
        FSock->disconnect(this);
        FSock->abort();
        FSock->deleteLater();
    }
    FSock = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!FTrusted.isEmpty())
        tls.addCaCertificates(FTrusted);
    FSock->setSslConfiguration(tls);
    connect(FSock, &QWebSocket::connected, this, [this] {
        FUp = true;
        FAttempt = 0;
        // Every feed asked for again: the server keeps none across a drop.
        FOut.clear();
        for (const auto& [cd, key] : FSubs)
            FOut << TOut{key.isEmpty() ? TWsType::Register : TWsType::Subscribe, cd, key};
        const bool again = FWasUp;
        FWasUp = true;
        emit Up(again);
        SendNext();
    });
    // A failed connection may say so either way, or both: one drop.
    connect(FSock, &QWebSocket::disconnected, this, [this] { Dropped(); });
    connect(FSock, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
            [this](QAbstractSocket::SocketError) { Dropped(); });
    connect(FSock, &QWebSocket::textMessageReceived, this, [this](const QString& text) {
        TWsFrame f;
        QString err;
        if (!ParseWsFrame(text.toUtf8(), f, &err)) {
            emit Problem(err);
            return;
        }
        if (f.Data)
            emit Record(f);
        else if (!f.Code.isEmpty() && !f.Code.startsWith(QLatin1String("00")))
            emit Refused(f.TrCd, f.TrKey, f.Code, f.Msg);
    });
    FSock->open(QUrl(FUrl));
}

void TWsFeed::Dropped()
{
    const bool wasUp = FUp;
    const QString why = wasUp ? QStringLiteral("실시간 시세 연결이 끊겼습니다")
                              : QStringLiteral("실시간 시세 서버에 연결하지 못했습니다");
    FUp = false;
    FGap.stop();
    if (!FWanted || FRetry.isActive())
        return;
    if (wasUp || FAttempt == 0)
        emit Down(why);
    FRetry.start(PauseMs(FFirstPauseMs, FAttempt++, QRandomGenerator::global()->generate()));
}

void TWsFeed::AskAgain()
{
    if (!FUp)
        return;   // a connection asks for everything when it opens
    FOut.clear();
    for (const auto& [cd, key] : FSubs)
        FOut << TOut{key.isEmpty() ? TWsType::Register : TWsType::Subscribe, cd, key};
    if (!FGap.isActive())
        SendNext();
}

void TWsFeed::Subscribe(const QString& trCd, const QString& key)
{
    const QPair<QString, QString> sub(trCd, key);
    if (FSubs.contains(sub))
        return;
    FSubs << sub;
    if (FUp)
        Queue(key.isEmpty() ? TWsType::Register : TWsType::Subscribe, trCd, key);
}

void TWsFeed::Unsubscribe(const QString& trCd, const QString& key)
{
    if (!FSubs.removeOne(qMakePair(trCd, key)))
        return;
    if (FUp)
        Queue(key.isEmpty() ? TWsType::Deregister : TWsType::Unsubscribe, trCd, key);
}

void TWsFeed::Queue(TWsType type, const QString& trCd, const QString& key)
{
    FOut << TOut{type, trCd, key};
    if (!FGap.isActive())
        SendNext();
}

void TWsFeed::SendNext()
{
    if (!FUp || FOut.isEmpty() || !FSock)
        return;
    const TOut o = FOut.takeFirst();
    FSock->sendTextMessage(QString::fromUtf8(WsRequestFrame(FToken, o.Type, o.TrCd, o.Key)));
    FGap.start(KRequestGapMs);   // the next one, queued or asked for later, waits its turn
}
