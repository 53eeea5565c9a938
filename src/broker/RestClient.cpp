#include "broker/RestClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QUrl>

TRestClient::TRestClient(const QString& base, QObject* parent)
    : QObject(parent), FBase(base), FNet(new QNetworkAccessManager(this))
{
    FNet->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);   // the API never redirects
}

TRestClient::~TRestClient() = default;

void TRestClient::TrustCertificate(const QSslCertificate& cert)
{
    if (!cert.isNull())
        FTrusted << cert;
}

void TRestClient::PostForm(const QString& path, const QByteArray& body, TDone done)
{
    Send(path, {{"content-type", "application/x-www-form-urlencoded"}}, body, std::move(done));
}

void TRestClient::PostTr(const QString& path, const QString& trCd, const QString& token, const TRestCont& cont,
                         const QByteArray& body, TDone done)
{
    // The gateway wants tr_cont_key on every request, empty on a first
    // page; a null value would drop the header, an empty one sends it.
    QByteArray key(cont.More ? cont.Key.toUtf8() : QByteArray());
    if (key.isNull())
        key = QByteArray("");
    Send(path,
         {{"content-type", "application/json; charset=utf-8"},
          {"authorization", "Bearer " + token.toUtf8()},
          {"tr_cd", trCd.toUtf8()},
          {"tr_cont", cont.More ? "Y" : "N"},
          {"tr_cont_key", key}},
         body, std::move(done));
}

void TRestClient::Send(const QString& path, const QList<QPair<QByteArray, QByteArray>>& headers,
                       const QByteArray& body, TDone done)
{
    QNetworkRequest req(QUrl(FBase + path));
    for (const auto& [k, v] : headers)
        req.setRawHeader(k, v);
    req.setTransferTimeout(FTimeoutMs);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!FTrusted.isEmpty())
        tls.addCaCertificates(FTrusted);
    req.setSslConfiguration(tls);
    QNetworkReply* r = FNet->post(req, body);
    ++FPending;
    // An answer past the largest the program reads is cut off, not kept.
    connect(r, &QNetworkReply::downloadProgress, r, [r](qint64 got, qint64) {
        if (got > KRestMaxBody) {
            r->setProperty("tooBig", true);
            r->abort();
        }
    });
    connect(r, &QNetworkReply::finished, this, [this, r, done = std::move(done)] { Finish(r, done); });
}

void TRestClient::Finish(QNetworkReply* r, const TDone& done)
{
    r->deleteLater();
    --FPending;
    TRestReply out;
    if (r->property("tooBig").toBool()) {
        out.NetError = QStringLiteral("증권사 서버의 응답이 너무 큽니다");
        if (done)
            done(out);
        return;
    }
    const QVariant status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    out.Http = status.isValid() ? status.toInt() : 0;
    if (out.Http > 0) {
        out.Body = r->readAll();
        out.Cont = RestContinuation(r->rawHeader("tr_cont"), r->rawHeader("tr_cont_key"));
    } else {
        switch (r->error()) {
        case QNetworkReply::ConnectionRefusedError:
            out.NetError = QStringLiteral("증권사 서버가 연결을 거부했습니다 (서버 점검 또는 주소·포트 확인)");
            break;
        case QNetworkReply::HostNotFoundError:
            out.NetError = QStringLiteral("증권사 서버 주소를 찾지 못했습니다 (인터넷 · DNS 확인)");
            break;
        case QNetworkReply::TimeoutError:
        case QNetworkReply::OperationCanceledError:
            out.NetError = QStringLiteral("증권사 서버 응답이 없습니다 (%1초)").arg((FTimeoutMs + 999) / 1000);
            break;
        case QNetworkReply::SslHandshakeFailedError:
            out.NetError = QStringLiteral("증권사 서버의 인증서를 확인하지 못했습니다 (보안 연결 거부)");
            break;
        default:
            out.NetError = QStringLiteral("증권사 서버에 연결하지 못했습니다 (인터넷 · 방화벽 확인, 오류 %1)").arg(int(r->error()));
            break;
        }
    }
    if (done)
        done(out);
}
