#pragma once
// The open API's access token (OAuth client credentials): the form bodies
// that issue and revoke it, what their answers say, when to renew it, and
// the rule that keeps the key, the secret and the token out of every text
// the program shows or logs. Pure functions: no network.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// POST /oauth2/token, application/x-www-form-urlencoded.
QByteArray TokenIssueBody(const QString& appKey, const QString& secret);
// POST /oauth2/revoke, the same encoding.
QByteArray TokenRevokeBody(const QString& appKey, const QString& secret, const QString& token);

enum class TTokenFailure {
    None,
    BadKey,      // the key or the secret is wrong, expired or revoked
    Rate,        // asked too often
    Server,      // the server failed (5xx) or answered something unreadable
};

struct TTokenAnswer {
    TTokenFailure Failure = TTokenFailure::None;
    QString Token;
    qint64 ExpiresInSec = 0;
    QString Error;   // Korean, for the user; never holds the key, the secret or a token
};

// Life of a token whose answer does not say: a day.
inline constexpr qint64 KTokenDefaultLifeSec = 86400;

// The issue answer: {"access_token", "token_type", "expires_in" (a number)
// or "expire_in" (a text, as the field table names it)}; a life that is
// missing or not a positive number counts as KTokenDefaultLifeSec.
TTokenAnswer ReadTokenAnswer(int httpStatus, const QByteArray& body);
// The revoke answer: {"code": 200, "message": …}. False with `err` otherwise.
bool ReadRevokeAnswer(int httpStatus, const QByteArray& body, QString* err);

// When a token issued at `issued` for `lifeSec` seconds is renewed: five
// minutes before it ends, and before the broker's daily cut-off (07:00 in
// Korea) that falls within its life — at 06:50 Korean time; never sooner
// than a minute after it was issued (half its life when that is shorter,
// and at least a second).
QDateTime TokenRenewalAt(const QDateTime& issued, qint64 lifeSec);

// `text` with every one of `secrets` (at least 4 characters long) replaced
// by "****".
QString Redacted(QString text, const QStringList& secrets);
