#pragma once
// The access token of one session with the broker's network API: issued at
// login, renewed before it ends (and before the daily cut-off), renewed when
// an answer says it is dead — a few times at most, so a key the server keeps
// refusing cannot loop — and revoked at close. Every text it gives is free
// of the key, the secret and the token.
#include "broker/RestClient.h"
#include "broker/RestToken.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>
#include <functional>

class TRestAuth : public QObject {
    Q_OBJECT
public:
    // Renewals asked for by refused answers within KRenewWindowMs, at most.
    static constexpr int KMaxRenewals = 3;
    static constexpr qint64 KRenewWindowMs = 10 * 60 * 1000;

    explicit TRestAuth(TRestClient* client, QObject* parent = nullptr);

    // Issues the first token; Issued or Failed follows.
    void Issue(const QString& appKey, const QString& secret);
    // An answer said the token is dead: a new one is asked for (once, however
    // many answers say so meanwhile). False when too many were asked for
    // lately: Failed has been sent and nothing more is tried.
    bool RenewAfterRefusal();
    // Revokes the token (at close); `done` runs when the server answered or
    // could not be reached.
    void Revoke(std::function<void()> done);

    const QString& Token() const { return FToken; }
    bool Renewing() const { return FBusy; }
    QDateTime RenewalAt() const { return FRenewAt; }
    // `text` without the key, the secret or the token.
    QString Clean(const QString& text) const;

signals:
    void Issued();                      // a token, first or renewed
    void Failed(const QString& why);    // Korean, for the login and the log

private:
    void Ask();
    TRestClient* FClient;
    QString FKey, FSecret, FToken;
    bool FBusy = false;
    QDateTime FRenewAt;
    QTimer FRenewTimer;
    QVector<qint64> FRefusals;   // ms since epoch of renewals asked for by answers
};
