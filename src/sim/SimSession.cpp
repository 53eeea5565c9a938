#include "sim/SimSession.h"
#include <QTimer>

TSimSession::TSimSession(TSimExchange* exchange, QObject* parent) : TXASession(parent), FEx(exchange) {}

bool TSimSession::ConnectServer(const QString& host, int port)
{
    Q_UNUSED(host);
    Q_UNUSED(port);
    return FEx && FEx->Connect();
}

bool TSimSession::IsConnected() const
{
    return FEx && FEx->IsConnected();
}

bool TSimSession::Login(const QString& id, const QString& pw, const QString& certPw, int svrType, bool showCertErr)
{
    Q_UNUSED(certPw);
    Q_UNUSED(svrType);
    Q_UNUSED(showCertErr);
    if (!FEx || !FEx->IsConnected())
        return false;
    if (FEx->LoginSilent())
        return true;   // sent, never answered
    QPointer<TSimExchange> ex = FEx;
    QTimer::singleShot(FEx->Config().AnswerDelayMs, this, [this, ex, id, pw]() {
        if (!ex)
            return;
        QString code, msg;
        ex->Login(id, pw, &code, &msg);
        emit LoginResult(code, msg);
    });
    return true;
}

void TSimSession::DisconnectServer()
{
    if (FEx)
        FEx->Disconnect();
}

int TSimSession::GetAccountListCount() const
{
    return FEx ? FEx->AccountList().size() : 0;
}

QString TSimSession::GetAccountList(int i) const
{
    if (!FEx)
        return {};
    return FEx->AccountList().value(i);
}
