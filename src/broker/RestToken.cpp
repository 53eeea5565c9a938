#include "broker/RestToken.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <QUrl>

namespace {

// Form encoding: every byte but the unreserved ones as %XX (a '+' or '&' in
// a secret must reach the server as itself).
QByteArray Form(const QList<QPair<QString, QString>>& fields)
{
    QByteArray out;
    for (const auto& [k, v] : fields) {
        if (!out.isEmpty())
            out += '&';
        out += QUrl::toPercentEncoding(k) + '=' + QUrl::toPercentEncoding(v);
    }
    return out;
}

// Korea keeps no summer time: nine hours ahead of UTC all year.
const QTimeZone& Kst()
{
    static const QTimeZone z(9 * 3600);
    return z;
}

} // namespace

QByteArray TokenIssueBody(const QString& appKey, const QString& secret)
{
    return Form({{QStringLiteral("appkey"), appKey},
                 {QStringLiteral("appsecretkey"), secret},
                 {QStringLiteral("grant_type"), QStringLiteral("client_credentials")},
                 {QStringLiteral("scope"), QStringLiteral("oob")}});
}

QByteArray TokenRevokeBody(const QString& appKey, const QString& secret, const QString& token)
{
    return Form({{QStringLiteral("appkey"), appKey},
                 {QStringLiteral("appsecretkey"), secret},
                 {QStringLiteral("token"), token},
                 {QStringLiteral("token_type_hint"), QStringLiteral("access_token")}});
}

TTokenAnswer ReadTokenAnswer(int httpStatus, const QByteArray& body)
{
    TTokenAnswer a;
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    const QJsonObject o = doc.object();
    const QString code = o.value(QLatin1String("rsp_cd")).toString().trimmed();
    const QString token = o.value(QLatin1String("access_token")).toString().trimmed();
    if (httpStatus == 200 && !token.isEmpty()) {
        a.Token = token;
        // Seconds, as a number or a text; the first of the two names that
        // gives a sound one (up to a year).
        auto seconds = [](const QJsonValue& v) -> qint64 {
            const double d = v.isDouble() ? v.toDouble() : v.isString() ? v.toString().trimmed().toDouble() : 0;
            return d >= 1 && d <= 366.0 * 86400 ? qint64(d) : 0;
        };
        qint64 life = seconds(o.value(QLatin1String("expires_in")));
        if (life == 0)
            life = seconds(o.value(QLatin1String("expire_in")));
        a.ExpiresInSec = life > 0 ? life : KTokenDefaultLifeSec;
        return a;
    }
    if (code == QLatin1String("IGW00201")) {
        a.Failure = TTokenFailure::Rate;
        a.Error = QStringLiteral("접근토큰 발급 요청이 너무 잦습니다. 잠시 후 다시 시도하세요.");
    } else if (httpStatus != 401 && httpStatus != 403 && (httpStatus >= 500 || httpStatus == 0 || !doc.isObject())) {
        a.Failure = TTokenFailure::Server;
        a.Error = httpStatus >= 500 ? QStringLiteral("증권사 인증 서버 장애 (HTTP %1)").arg(httpStatus)
                                    : QStringLiteral("증권사 인증 서버의 응답을 읽을 수 없습니다 (HTTP %1)").arg(httpStatus);
    } else {
        a.Failure = TTokenFailure::BadKey;
        a.Error = QStringLiteral("앱 키 또는 시크릿 키가 맞지 않거나 만료·폐기되었습니다 (HTTP %1%2)")
                      .arg(httpStatus)
                      .arg(code.isEmpty() ? QString() : QStringLiteral(", ") + code.left(12));
    }
    return a;
}

bool ReadRevokeAnswer(int httpStatus, const QByteArray& body, QString* err)
{
    const QJsonObject o = QJsonDocument::fromJson(body).object();
    const QJsonValue c = o.value(QLatin1String("code"));
    const QString code = c.isDouble() ? (c.toDouble() == 200 ? QStringLiteral("200") : QStringLiteral("?"))
                                      : c.toString().trimmed().left(12);
    if (httpStatus == 200 && code == QLatin1String("200"))
        return true;
    if (err)
        *err = QStringLiteral("접근토큰 폐기 실패 (HTTP %1, 코드 %2)").arg(httpStatus).arg(code.isEmpty() ? QStringLiteral("-") : code);
    return false;
}

QDateTime TokenRenewalAt(const QDateTime& issued, qint64 lifeSec)
{
    if (lifeSec <= 0)
        lifeSec = KTokenDefaultLifeSec;
    const QDateTime end = issued.addSecs(lifeSec);
    QDateTime at = end.addSecs(-5 * 60);
    // The first 06:50 in Korea after the token was issued.
    const QDateTime k = issued.toTimeZone(Kst());
    QDateTime cut(k.date(), QTime(6, 50), Kst());
    if (cut <= k)
        cut = cut.addDays(1);
    if (cut < end)
        at = std::min(at, cut.toTimeZone(issued.timeZone()));
    // Never at once: a token of a second's life must not turn into a
    // stream of requests for new ones.
    const QDateTime soonest = issued.addSecs(std::max<qint64>(1, std::min<qint64>(60, lifeSec / 2)));
    return std::max(at, soonest);
}

QString Redacted(QString text, const QStringList& secrets)
{
    for (const QString& s : secrets)
        if (s.size() >= 4)
            text.replace(s, QStringLiteral("****"));
    return text;
}
