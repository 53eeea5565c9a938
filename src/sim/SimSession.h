#pragma once
// The session of the simulated exchange: connect, log in the demo user, list
// its accounts. The login result always arrives later through the event loop.
#include "broker/XingApi.h"
#include "sim/SimExchange.h"
#include <QPointer>

class TSimSession final : public TXASession {
    Q_OBJECT
public:
    TSimSession(TSimExchange* exchange, QObject* parent = nullptr);

    bool ConnectServer(const QString& host, int port) override;
    bool IsConnected() const override;
    bool Login(const QString& id, const QString& pw, const QString& certPw, int svrType,
               bool showCertErr = false) override;
    void DisconnectServer() override;
    int GetAccountListCount() const override;
    QString GetAccountList(int i) const override;

private:
    QPointer<TSimExchange> FEx;
};
