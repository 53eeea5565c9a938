#pragma once
// HTTPS exchanges with the broker's REST API on the window's event loop
// (Qt Network: no thread, TLS through the system's certificate store, one
// kept-alive connection for the requests of a session). Each POST ends in
// exactly one call of its `done`, later, through the event loop: with the
// HTTP answer, or with the reason none came (refused, unreachable, the
// certificate, the time-out) in Korean. Texts never hold the token: it
// travels only in the authorization header.
#include "broker/RestTr.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

struct TRestReply {
    int Http = 0;         // 0: no HTTP answer came (NetError says why)
    QString NetError;
    QByteArray Body;
    TRestCont Cont;       // from the tr_cont / tr_cont_key response headers
};

class TRestClient : public QObject {
    Q_OBJECT
public:
    using TDone = std::function<void(const TRestReply&)>;

    // `base`: scheme, host and port ("https://openapi.ls-sec.co.kr:8080").
    explicit TRestClient(const QString& base, QObject* parent = nullptr);
    ~TRestClient() override;

    // Trusts `cert` besides the system's certificates: a test server's own.
    void TrustCertificate(const QSslCertificate& cert);
    // Longest wait for an answer (30 s by default).
    void SetTimeoutMs(int ms) { FTimeoutMs = ms; }

    // A form POST (the token endpoints).
    void PostForm(const QString& path, const QByteArray& body, TDone done);
    // A transaction: JSON body, headers tr_cd, tr_cont, tr_cont_key and the
    // token as a bearer.
    void PostTr(const QString& path, const QString& trCd, const QString& token, const TRestCont& cont,
                const QByteArray& body, TDone done);
    // Requests whose answer has not come yet.
    int Pending() const { return FPending; }

private:
    void Send(const QString& path, const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& body,
              TDone done);
    void Finish(QNetworkReply* r, const TDone& done);

    QString FBase;
    QNetworkAccessManager* FNet;
    QList<QSslCertificate> FTrusted;
    int FTimeoutMs = 30000;
    int FPending = 0;
};
