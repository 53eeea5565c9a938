#include "update/InstanceLink.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {
const QByteArray kRaise = "raise\n";
const QByteArray kShown = "shown\n";
const QByteArray kHidden = "hidden\n";
} // namespace

TInstanceLink::TInstanceLink(QObject* parent) : QObject(parent) {}

TInstanceLink::~TInstanceLink() = default;

bool TInstanceLink::Listen(const QString& socketPath, std::function<bool()> raise)
{
    if (socketPath.isEmpty())
        return false;
    FRaise = std::move(raise);
    delete FServer;
    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath);
    if (!FServer->listen(socketPath))
        return false;
    connect(FServer, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = FServer->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, s, [this, s] {
                if (!s->canReadLine())
                    return;
                if (s->readLine(64) != kRaise) {
                    s->disconnectFromServer();
                    return;
                }
                const bool shown = FRaise && FRaise();
                s->write(shown ? kShown : kHidden);
                s->flush();
                s->disconnectFromServer();
            });
        }
    });
    return true;
}

bool TInstanceLink::AskToRaise(const QString& socketPath, int timeoutMs)
{
    if (socketPath.isEmpty())
        return false;
    QLocalSocket s;
    s.connectToServer(socketPath);
    if (!s.waitForConnected(timeoutMs))
        return false;
    s.write(kRaise);
    if (!s.waitForBytesWritten(timeoutMs))
        return false;
    while (!s.canReadLine()) {
        if (!s.waitForReadyRead(timeoutMs))
            return false;
    }
    return s.readLine(64) == kShown;
}
