#include "broker/RestAuth.h"

#include <algorithm>

TRestAuth::TRestAuth(TRestClient* client, QObject* parent) : QObject(parent), FClient(client)
{
    FRenewTimer.setSingleShot(true);
    connect(&FRenewTimer, &QTimer::timeout, this, [this] { Ask(); });
}

QString TRestAuth::Clean(const QString& text) const { return Redacted(text, {FKey, FSecret, FToken}); }

void TRestAuth::Issue(const QString& appKey, const QString& secret)
{
    FKey = appKey.trimmed();
    FSecret = secret.trimmed();
    FToken.clear();
    FRefusals.clear();
    Ask();
}

void TRestAuth::Ask()
{
    if (FBusy)
        return;
    FBusy = true;
    FRenewTimer.stop();
    FClient->PostForm(QStringLiteral("/oauth2/token"), TokenIssueBody(FKey, FSecret), [this](const TRestReply& r) {
        FBusy = false;
        if (r.Http == 0) {
            emit Failed(Clean(r.NetError));
            return;
        }
        const TTokenAnswer a = ReadTokenAnswer(r.Http, r.Body);
        if (a.Failure != TTokenFailure::None) {
            emit Failed(Clean(a.Error));
            return;
        }
        FToken = a.Token;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        FRenewAt = TokenRenewalAt(now, a.ExpiresInSec);
        FRenewTimer.start(int(std::clamp<qint64>(now.msecsTo(FRenewAt), 0, 24LL * 3600 * 1000)));
        emit Issued();
    });
}

bool TRestAuth::RenewAfterRefusal()
{
    if (FBusy)
        return true;   // one renewal serves every answer that asked
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    FRefusals.erase(std::remove_if(FRefusals.begin(), FRefusals.end(),
                                   [now](qint64 t) { return now - t > KRenewWindowMs; }),
                    FRefusals.end());
    if (FRefusals.size() >= KMaxRenewals) {
        FRenewTimer.stop();
        emit Failed(QStringLiteral("접근토큰이 계속 거부됩니다 (%1분 동안 %2번 새로 받음) — 앱 키를 확인하고 다시 로그인하세요")
                        .arg(KRenewWindowMs / 60000)
                        .arg(FRefusals.size()));
        return false;
    }
    FRefusals << now;
    Ask();
    return true;
}

void TRestAuth::Revoke(std::function<void()> done)
{
    FRenewTimer.stop();
    if (FToken.isEmpty()) {
        if (done)
            done();
        return;
    }
    const QString token = FToken;
    FToken.clear();
    FClient->PostForm(QStringLiteral("/oauth2/revoke"), TokenRevokeBody(FKey, FSecret, token),
                      [done = std::move(done)](const TRestReply&) {
                          if (done)
                              done();
                      });
}
