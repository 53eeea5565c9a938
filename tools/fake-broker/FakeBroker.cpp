#include "FakeBroker.h"

#include "broker/RestTr.h"
#include "sim/SimLimits.h"
#include "sim/SimQuery.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>
#include <QWebSocketServer>
#include <utility>

namespace {

constexpr qsizetype kMaxHead = 64 * 1024;          // request line and headers
constexpr qsizetype kMaxBody = 4 * 1024 * 1024;    // a request body
constexpr int kMaxReplay = 20;                     // order-event frames kept for a replay

const char* Reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 501: return "Not Implemented";
    default: return status >= 500 ? "Internal Server Error" : "Error";
    }
}

QByteArray Json(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

QByteArray CodeBody(const QString& code, const QString& msg)
{
    return Json({{QStringLiteral("rsp_cd"), code}, {QStringLiteral("rsp_msg"), msg}});
}

// The exchange's code of a REST transaction code: the order codes and the
// index minute chart differ.
QString SimCodeOf(const QString& rest)
{
    static const QHash<QString, QString> codes = {
        {QStringLiteral("CSPAT00601"), QStringLiteral("CSPAT00600")},
        {QStringLiteral("CSPAT00701"), QStringLiteral("CSPAT00700")},
        {QStringLiteral("CSPAT00801"), QStringLiteral("CSPAT00800")},
        {QStringLiteral("T8418"), QStringLiteral("t8409")},
    };
    return codes.value(rest.toUpper(), rest);
}

bool IsAccountFeed(const QString& tr)
{
    static const QSet<QString> feeds = {"SC0", "SC1", "SC2", "SC3", "SC4"};
    return feeds.contains(tr);
}

// Input fields the REST forms never carry: the account and its password.
bool IsAccountField(const QString& name)
{
    static const QSet<QString> acct = {"acntno", "accno"};
    return acct.contains(name.toLower());
}
bool IsPasswordField(const QString& name)
{
    static const QSet<QString> pw = {"inptpwd", "pwd", "passwd"};
    return pw.contains(name.toLower());
}

// A block name of the exchange's layout as the REST API names it
// (CSPAT00600OutBlock1 -> CSPAT00601OutBlock1).
QString RestBlockName(const QString& block, const QString& simTr, const QString& restTr)
{
    if (simTr != restTr && block.startsWith(simTr, Qt::CaseInsensitive))
        return restTr + block.mid(simTr.size());
    return block;
}

// An output text as the JSON value the broker sends for the field.
QJsonValue OutValue(const QString& text, const TResFieldSpec& type)
{
    if (!type.Numeric())
        return text;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    bool ok = false;
    if (type.Whole()) {
        const qint64 v = t.toLongLong(&ok);
        if (ok)
            return v;
    }
    const double d = t.toDouble(&ok);
    return ok ? QJsonValue(d) : QJsonValue(t);
}

// Whether an answer asks for a next page: a continuation cursor (cts_*,
// idx) that is set, or the "more data" code.
bool HasMore(const QJsonObject& answer)
{
    if (answer.value(QLatin1String("rsp_cd")).toString() == QLatin1String("00133"))
        return true;
    for (auto it = answer.begin(); it != answer.end(); ++it) {
        if (!it.value().isObject())
            continue;
        const QJsonObject o = it.value().toObject();
        for (auto f = o.begin(); f != o.end(); ++f) {
            const QString name = f.key().toLower();
            if (!name.startsWith(QLatin1String("cts_")) && name != QLatin1String("idx"))
                continue;
            if (name == QLatin1String("cts_idx"))
                continue;   // a chart flag, not a cursor
            const QJsonValue v = f.value();
            if (v.isDouble() ? v.toDouble() != 0 : !v.toString().trimmed().isEmpty())
                return true;
        }
    }
    return false;
}

// A path of one of the API's transaction groups ("/stock/market-data").
bool IsGroupPath(const QString& path)
{
    static const QSet<QString> groups = {"stock", "indtp", "etc", "futureoption", "overseas-stock",
                                         "overseas-futureoption", "elw", "investinfo"};
    const QStringList parts = path.split(u'/');
    return parts.size() == 3 && parts[0].isEmpty() && groups.contains(parts[1]) && !parts[2].isEmpty();
}

QByteArray ReadFile(const QString& path, QString* err)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *err = QStringLiteral("%1 을(를) 읽을 수 없습니다: %2").arg(path, f.errorString());
        return {};
    }
    return f.readAll();
}

} // namespace

// One WebSocket client: its market subscriptions, its account feeds.
struct TFakeBroker::TWsConn {
    QPointer<QWebSocket> Sock;
    QHash<QPair<QString, QString>, QPointer<TXAReal>> Subs;   // (feed, key)
    QList<QPointer<TXAReal>> Account;                         // registered account feeds
    QList<QByteArray> AccountSent;                            // order-event frames sent, the latest last
    bool Registered = false;
};

TFakeBroker::TFakeBroker(TSimBackend& sim, const QString& resDir, QObject* parent)
    : QObject(parent), FSim(sim), FResDir(resDir)
{
    while (FResDir.endsWith(u'/') && FResDir.size() > 1)
        FResDir.chop(1);
    TSimExchange& ex = FSim.Exchange();
    if (!ex.IsConnected())
        ex.Connect();
    if (!ex.IsLoggedIn()) {
        QString code, msg;
        ex.Login(ex.Config().UserId, ex.Config().Password, &code, &msg);
    }
}

TFakeBroker::~TFakeBroker()
{
    for (TWsConn* c : std::as_const(FWsConns)) {
        if (c->Sock)
            c->Sock->disconnect(this);
        delete c;
    }
    FWsConns.clear();
}

QString TFakeBroker::DefaultCertPath() { return QStringLiteral(KESTREL_FAKE_TLS_DIR "/fake-broker.crt"); }
QString TFakeBroker::DefaultKeyPath() { return QStringLiteral(KESTREL_FAKE_TLS_DIR "/fake-broker.key"); }

QSslCertificate TFakeBroker::DefaultCertificate()
{
    QFile f(DefaultCertPath());
    return f.open(QIODevice::ReadOnly) ? QSslCertificate(f.readAll()) : QSslCertificate();
}

void TFakeBroker::SetCredentials(const QString& appKey, const QString& secret)
{
    FKey = appKey;
    FSecret = secret;
}

void TFakeBroker::ExpireTokens() { FLive.clear(); }

bool TFakeBroker::Listen(quint16 restPort, quint16 wsPort, const QString& certPath, const QString& keyPath,
                         QString* err)
{
    QString why;
    auto fail = [&](const QString& w) {
        if (err)
            *err = w;
        return false;
    };
    if (FRest || FWs)
        return fail(QStringLiteral("이미 실행 중입니다"));
    const QString crtFile = certPath.isEmpty() ? DefaultCertPath() : certPath;
    const QString keyFile = keyPath.isEmpty() ? DefaultKeyPath() : keyPath;
    const QByteArray crt = ReadFile(crtFile, &why);
    if (crt.isEmpty())
        return fail(why.isEmpty() ? QStringLiteral("인증서 파일이 비어 있습니다: %1").arg(crtFile) : why);
    const QByteArray keyPem = ReadFile(keyFile, &why);
    if (keyPem.isEmpty())
        return fail(why.isEmpty() ? QStringLiteral("개인키 파일이 비어 있습니다: %1").arg(keyFile) : why);
    const QSslCertificate cert(crt, QSsl::Pem);
    if (cert.isNull())
        return fail(QStringLiteral("PEM 인증서가 아닙니다: %1").arg(crtFile));
    QSslKey key(keyPem, QSsl::Rsa);
    if (key.isNull())
        key = QSslKey(keyPem, QSsl::Ec);
    if (key.isNull())
        return fail(QStringLiteral("PEM 개인키(RSA/EC)가 아닙니다: %1").arg(keyFile));

    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(cert);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);

    auto* rest = new QSslServer(this);
    rest->setSslConfiguration(tls);
    if (!rest->listen(QHostAddress::LocalHost, restPort)) {
        const QString e = rest->errorString();
        delete rest;
        return fail(QStringLiteral("REST 포트 %1 을(를) 열 수 없습니다: %2").arg(restPort).arg(e));
    }
    auto* ws = new QWebSocketServer(QStringLiteral("fake-broker"), QWebSocketServer::SecureMode, this);
    ws->setSslConfiguration(tls);
    if (!ws->listen(QHostAddress::LocalHost, wsPort)) {
        const QString e = ws->errorString();
        delete ws;
        delete rest;
        return fail(QStringLiteral("WebSocket 포트 %1 을(를) 열 수 없습니다: %2").arg(wsPort).arg(e));
    }
    FRest = rest;
    FWs = ws;
    connect(FRest, &QSslServer::pendingConnectionAvailable, this, [this] {
        while (FRest->hasPendingConnections()) {
            auto* s = static_cast<QSslSocket*>(FRest->nextPendingConnection());
            FHttp.insert(s, THttpConn());
            connect(s, &QSslSocket::readyRead, this, [this, s] { HttpRead(s); });
            connect(s, &QSslSocket::disconnected, this, [this, s] {
                FHttp.remove(s);
                s->deleteLater();
            });
            if (s->bytesAvailable() > 0)
                HttpRead(s);
        }
    });
    connect(FWs, &QWebSocketServer::newConnection, this, [this] { WsAccept(); });
    return true;
}

quint16 TFakeBroker::RestPort() const { return FRest ? FRest->serverPort() : 0; }
quint16 TFakeBroker::WsPort() const { return FWs ? FWs->serverPort() : 0; }
QString TFakeBroker::RestBase() const { return QStringLiteral("https://127.0.0.1:%1").arg(RestPort()); }
QString TFakeBroker::WsUrl() const { return QStringLiteral("wss://127.0.0.1:%1/websocket").arg(WsPort()); }

int TFakeBroker::Pending() const
{
    int n = 0;
    for (const THttpConn& c : FHttp)
        for (const TSlotPtr& s : c.Queue)
            n += !s->Swallowed;
    return n;
}

// ---- REST: the connection ------------------------------------------------------

void TFakeBroker::HttpRead(QSslSocket* s)
{
    auto it = FHttp.find(s);
    if (it == FHttp.end())
        return;
    it->Buf += s->readAll();
    // Several requests may have arrived; each takes its place in the queue
    // so the answers go out in the order asked, whenever each is ready.
    for (;;) {
        it = FHttp.find(s);
        if (it == FHttp.end())
            return;
        QByteArray& buf = it->Buf;
        auto refuse = [&](int status, const QString& why) {
            auto slot = std::make_shared<TSlot>();
            slot->Sock = s;
            slot->Close = true;
            it->Queue.push_back(slot);
            buf.clear();
            AnswerNow(slot, status, CodeBody(QString(), why), {});
        };
        const qsizetype end = buf.indexOf("\r\n\r\n");
        if (end < 0) {
            if (buf.size() > kMaxHead)
                refuse(431, QStringLiteral("요청 헤더가 너무 깁니다"));
            return;   // the rest of the request is still coming
        }
        if (end > kMaxHead)
            return refuse(431, QStringLiteral("요청 헤더가 너무 깁니다"));
        THttpRequest req;
        const QList<QByteArray> lines = buf.left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        if (first.size() != 3 || !first[2].startsWith("HTTP/1."))
            return refuse(400, QStringLiteral("요청 줄을 읽을 수 없습니다"));
        req.Method = first[0];
        req.Target = first[1];
        req.Version = first[2];
        for (int i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            if (line.isEmpty())
                continue;
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                return refuse(400, QStringLiteral("헤더 줄을 읽을 수 없습니다"));
            req.Headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        if (req.Headers.contains("transfer-encoding"))
            return refuse(501, QStringLiteral("Transfer-Encoding 본문은 받지 않습니다 (Content-Length만)"));
        qint64 length = 0;
        if (req.Headers.contains("content-length")) {
            bool ok = false;
            length = req.Headers.value("content-length").toLongLong(&ok);
            if (!ok || length < 0)
                return refuse(400, QStringLiteral("Content-Length 가 올바르지 않습니다"));
            if (length > kMaxBody)
                return refuse(413, QStringLiteral("요청 본문이 너무 큽니다 (%1바이트)").arg(length));
        }
        if (buf.size() < end + 4 + length)
            return;   // the body is still coming
        req.Body = buf.mid(end + 4, length);
        buf.remove(0, end + 4 + length);

        auto slot = std::make_shared<TSlot>();
        slot->Sock = s;
        slot->Close = req.Version == "HTTP/1.0" || req.Headers.value("connection").toLower() == "close";
        it->Queue.push_back(slot);
        Dispatch(req, slot);
    }
}

void TFakeBroker::HttpFlush(QSslSocket* s)
{
    auto it = FHttp.find(s);
    if (it == FHttp.end())
        return;
    while (!it->Queue.empty() && it->Queue.front()->Ready) {
        const TSlotPtr slot = it->Queue.front();
        it->Queue.pop_front();
        s->write(slot->Bytes);
        if (slot->Close) {
            it->Queue.clear();
            it->Buf.clear();
            s->disconnectFromHost();
            return;
        }
    }
}

void TFakeBroker::Answer(const TSlotPtr& slot, int status, const QByteArray& body,
                         const QList<QPair<QByteArray, QByteArray>>& headers)
{
    if (FFaults.LatencyMs > 0) {
        QTimer::singleShot(FFaults.LatencyMs, this,
                           [this, slot, status, body, headers] { AnswerNow(slot, status, body, headers); });
        return;
    }
    AnswerNow(slot, status, body, headers);
}

void TFakeBroker::AnswerNow(const TSlotPtr& slot, int status, const QByteArray& body,
                            const QList<QPair<QByteArray, QByteArray>>& headers)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + Reason(status) + "\r\n";
    out += "content-type: application/json; charset=utf-8\r\n";
    for (const auto& [k, v] : headers)
        out += k + ": " + v + "\r\n";
    out += "content-length: " + QByteArray::number(body.size()) + "\r\n";
    if (slot->Close)
        out += "connection: close\r\n";
    out += "\r\n" + body;
    slot->Bytes = std::move(out);
    slot->Ready = true;
    if (slot->Sock)
        HttpFlush(slot->Sock);
}

void TFakeBroker::AnswerGateway(const TSlotPtr& slot, int status, const QString& code, const QString& msg)
{
    emit Log(QStringLiteral("거부 HTTP %1 %2 %3").arg(status).arg(code, msg));
    Answer(slot, status, CodeBody(code, msg));
}

void TFakeBroker::Dispatch(const THttpRequest& req, const TSlotPtr& slot)
{
    const QString path = QString::fromUtf8(req.Target).section(u'?', 0, 0);
    if (req.Method != "POST")
        return Answer(slot, 405, CodeBody(QString(), QStringLiteral("POST만 받습니다")));
    if (path == QLatin1String("/oauth2/token"))
        return IssueToken(req, slot);
    if (path == QLatin1String("/oauth2/revoke"))
        return RevokeToken(req, slot);
    RunTr(req, slot);
}

// ---- REST: tokens ---------------------------------------------------------------

namespace {
QUrlQuery FormOf(const QByteArray& body)
{
    // Form encoding writes a space as '+'.
    QByteArray b = body;
    b.replace('+', "%20");
    return QUrlQuery(QString::fromUtf8(b));
}
QString FormValue(const QUrlQuery& q, const char* key)
{
    return q.queryItemValue(QString::fromLatin1(key), QUrl::FullyDecoded);
}
} // namespace

void TFakeBroker::IssueToken(const THttpRequest& req, const TSlotPtr& slot)
{
    const QUrlQuery form = FormOf(req.Body);
    if (FormValue(form, "appkey") != FKey || FormValue(form, "appsecretkey") != FSecret) {
        emit Log(QStringLiteral("접근토큰 발급 거부: 앱 키 또는 시크릿이 다릅니다"));
        return Answer(slot, 401, CodeBody(QStringLiteral("IGW00105"),
                                          QStringLiteral("유효하지 않은 AppKey 또는 AppSecretKey 입니다.")));
    }
    if (FormValue(form, "grant_type") != QLatin1String("client_credentials")
        || FormValue(form, "scope") != QLatin1String("oob"))
        return Answer(slot, 400, CodeBody(QString(),
                                          QStringLiteral("grant_type=client_credentials, scope=oob 이어야 합니다.")));
    QByteArray raw(24, Qt::Uninitialized);
    for (char& c : raw)
        c = char(QRandomGenerator::global()->bounded(256));
    const QString token = QString::fromLatin1(raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    FLive.insert(token);
    ++FIssued;
    emit Log(QStringLiteral("접근토큰 발급 (%1번째)").arg(FIssued));
    Answer(slot, 200,
           Json({{QStringLiteral("access_token"), token},
                 {QStringLiteral("scope"), QStringLiteral("oob")},
                 {QStringLiteral("token_type"), QStringLiteral("Bearer")},
                 {QStringLiteral("expires_in"), 86400}}));
}

void TFakeBroker::RevokeToken(const THttpRequest& req, const TSlotPtr& slot)
{
    const QUrlQuery form = FormOf(req.Body);
    if (FormValue(form, "appkey") != FKey || FormValue(form, "appsecretkey") != FSecret)
        return Answer(slot, 401, CodeBody(QStringLiteral("IGW00105"),
                                          QStringLiteral("유효하지 않은 AppKey 또는 AppSecretKey 입니다.")));
    FLive.remove(FormValue(form, "token"));
    ++FRevoked;
    emit Log(QStringLiteral("접근토큰 폐기"));
    Answer(slot, 200, Json({{QStringLiteral("code"), 200},
                            {QStringLiteral("message"), QStringLiteral("접근토큰이 폐기되었습니다.")}}));
}

// ---- REST: transactions -----------------------------------------------------------

const TResLayout* TFakeBroker::Layout(const QString& tr)
{
    auto it = FLayouts.find(tr);
    if (it == FLayouts.end()) {
        TResLayout l;
        const QString path = FResDir + u'/' + tr + QStringLiteral(".res");
        if (!QFileInfo::exists(path) || !LoadResLayout(path, l))
            l = TResLayout();
        it = FLayouts.insert(tr, l);
    }
    return it->Code.isEmpty() ? nullptr : &*it;
}

void TFakeBroker::RunTr(const THttpRequest& req, const TSlotPtr& slot)
{
    TSeen seen;
    seen.Path = QString::fromUtf8(req.Target).section(u'?', 0, 0);
    seen.TrCd = QString::fromUtf8(req.Headers.value("tr_cd")).trimmed();
    seen.TrCont = QString::fromUtf8(req.Headers.value("tr_cont")).trimmed();
    seen.TrContKey = QString::fromUtf8(req.Headers.value("tr_cont_key")).trimmed();
    seen.Auth = QString::fromUtf8(req.Headers.value("authorization"));
    seen.Body = req.Body;
    FSeen << seen;
    const QString restTr = seen.TrCd;

    const TRestRoute route = RestRouteOf(restTr);
    if (route.Path.isEmpty() || route.Code != restTr || route.Path != seen.Path) {
        if (!IsGroupPath(seen.Path))
            return Answer(slot, 404, CodeBody(QString(), QStringLiteral("없는 경로입니다: %1").arg(seen.Path.left(80))));
        return AnswerGateway(slot, 500, QStringLiteral("IGW00215"),
                             restTr.isEmpty() ? QStringLiteral("tr_cd 헤더가 없습니다.")
                                              : QStringLiteral("%1 은(는) %2 경로의 거래가 아닙니다.")
                                                    .arg(restTr.left(16), seen.Path.left(80)));
    }
    if (!req.Headers.contains("tr_cont") || !req.Headers.contains("tr_cont_key"))
        return AnswerGateway(slot, 500, QString(), QStringLiteral("tr_cont, tr_cont_key 헤더가 필요합니다."));
    const QString simTr = SimCodeOf(restTr);
    const TResLayout* layout = Layout(simTr);
    if (!layout || layout->Feed)
        return AnswerGateway(slot, 500, QStringLiteral("IGW00215"),
                             QStringLiteral("%1 은(는) 모의 거래소가 답하지 않는 거래입니다.").arg(restTr));

    // The gateway's checks, before the exchange sees anything.
    const QString dead = QStringLiteral("유효하지 않은 토큰입니다. 접근토큰을 다시 발급받으세요.");
    if (FFaults.DeadTokenNext > 0) {
        --FFaults.DeadTokenNext;
        return AnswerGateway(slot, 500, QStringLiteral("IGW00121"), dead);
    }
    const QString auth = seen.Auth.trimmed();
    if (!auth.startsWith(QLatin1String("Bearer "), Qt::CaseInsensitive) || !TokenLive(auth.mid(7).trimmed()))
        return AnswerGateway(slot, 500, QStringLiteral("IGW00121"), dead);
    const QString overRate = QStringLiteral("초당 전송건수를 초과하였습니다.");
    const bool targeted = FFaults.NextOf.isEmpty() || FFaults.NextOf.contains(restTr) || FFaults.NextOf.contains(simTr);
    if (FFaults.RateRefuseNext > 0 && targeted) {
        --FFaults.RateRefuseNext;
        return AnswerGateway(slot, 500, QStringLiteral("IGW00201"), overRate);
    }

    // The body: one member per input block, an object or an array of them.
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(req.Body, &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        return AnswerGateway(slot, 500, QStringLiteral("IGW40011"),
                             QStringLiteral("요청 본문이 JSON 객체가 아닙니다: %1").arg(pe.errorString()));
    QHash<QString, QJsonValue> members;   // lower-case block name -> value
    const QJsonObject root = doc.object();
    for (auto it = root.begin(); it != root.end(); ++it)
        members.insert(RestBlockName(it.key(), restTr, simTr).toLower(), it.value());

    TXAQuery* q = FSim.CreateQuery(this);
    q->SetResFileName(FResDir + u'/' + simTr + QStringLiteral(".res"));
    const TSimConfig& cfg = FSim.Exchange().Config();
    const bool order = simTr.startsWith(QLatin1String("CSPAT"));
    for (const TResBlock& b : layout->Blocks) {
        if (!b.Input)
            continue;
        QList<QJsonObject> records;
        const QJsonValue v = members.value(b.Name.toLower());
        if (v.isObject()) {
            records << v.toObject();
        } else if (v.isArray()) {
            for (const QJsonValue& r : v.toArray()) {
                if (!r.isObject()) {
                    q->deleteLater();
                    return AnswerGateway(slot, 500, QStringLiteral("IGW40011"),
                                         QStringLiteral("%1 의 레코드가 객체가 아닙니다.").arg(b.Name));
                }
                records << r.toObject();
            }
        } else if (!v.isUndefined() && !v.isNull()) {
            q->deleteLater();
            return AnswerGateway(slot, 500, QStringLiteral("IGW40011"),
                                 QStringLiteral("%1 이(가) 객체나 배열이 아닙니다.").arg(b.Name));
        }
        if (records.isEmpty())
            records << QJsonObject();
        for (int r = 0; r < records.size(); ++r) {
            for (int i = 0; i < b.Fields.size(); ++i) {
                const QString& name = b.Fields[i].Name;
                const bool numeric = i < b.Specs.size() && b.Specs[i].Numeric();
                const QJsonValue fv = records[r].value(name);
                if (numeric && fv.isString()) {
                    q->deleteLater();
                    return AnswerGateway(slot, 500, QStringLiteral("IGW40011"),
                                         QStringLiteral("%1.%2 은(는) 숫자로 보내야 합니다.").arg(b.Name, name));
                }
                QString text = RestFieldText(fv, numeric);
                if (IsAccountField(name))
                    text = cfg.AccountNo;
                else if (IsPasswordField(name))
                    text = cfg.AccountPw;
                else if (order && name == QLatin1String("IsuNo") && text.size() == 7 && text.startsWith(u'A'))
                    text = text.mid(1);   // the paper server's "A" + code
                if (!fv.isUndefined() || IsAccountField(name) || IsPasswordField(name))
                    q->SetFieldData(b.Name, name, r, text);
            }
        }
    }

    const bool malformed = FFaults.MalformedNext > 0 && targeted;
    if (malformed)
        --FFaults.MalformedNext;
    const bool swallow = FFaults.Swallow.contains(restTr) || FFaults.Swallow.contains(simTr);
    slot->Swallowed = swallow;

    // The exchange delivers the answer's events in one go; the answer goes
    // out once they are all in.
    struct TCollect {
        QString Code = QStringLiteral("00000");
        QString Msg;
        QJsonObject Blocks;
        bool Scheduled = false;
    };
    auto got = std::make_shared<TCollect>();
    auto finish = [this, got, slot, q, restTr, malformed, swallow] {
        QJsonObject answer = got->Blocks;
        answer.insert(QStringLiteral("rsp_cd"), got->Code);
        answer.insert(QStringLiteral("rsp_msg"),
                      got->Msg.isEmpty() ? QStringLiteral("정상적으로 조회가 완료되었습니다.") : got->Msg);
        q->deleteLater();
        if (swallow) {
            emit Log(QStringLiteral("%1 응답을 보내지 않음 (삼킴)").arg(restTr));
            return;
        }
        emit Log(QStringLiteral("%1 %2 %3%4").arg(restTr, got->Code, answer.value(QLatin1String("rsp_msg")).toString(),
                                                   malformed ? QStringLiteral(" (깨진 본문)") : QString()));
        QByteArray body = Json(answer);
        if (malformed)
            body = body.left(body.size() / 2);
        const QByteArray key = QStringLiteral("%1").arg(++FContSeq, 18, 10, QLatin1Char('0')).toLatin1();
        Answer(slot, 200, body,
               {{"tr_cd", restTr.toLatin1()}, {"tr_cont", HasMore(answer) ? "Y" : "N"}, {"tr_cont_key", key}});
    };
    auto schedule = [got, finish, this] {
        if (got->Scheduled)
            return;
        got->Scheduled = true;
        QTimer::singleShot(0, this, finish);
    };
    connect(q, &TXAQuery::ReceiveMessage, this, [got, schedule](bool, const QString& code, const QString& msg) {
        got->Code = code.trimmed();
        got->Msg = msg.trimmed();
        schedule();
    });
    const TResLayout lay = *layout;
    connect(q, &TXAQuery::ReceiveData, this, [got, schedule, q, lay, simTr, restTr](const QString&) {
        for (const TResBlock& b : lay.Blocks) {
            if (b.Input)
                continue;
            const int rows = q->Decompress(b.Name);
            if (rows < 0)
                continue;
            QJsonArray recs;
            for (int r = 0; r < rows; ++r) {
                QJsonObject rec;
                for (int i = 0; i < b.Fields.size(); ++i) {
                    const TResFieldSpec type = i < b.Specs.size() ? b.Specs[i] : TResFieldSpec();
                    rec.insert(b.Fields[i].Name, OutValue(q->GetFieldData(b.Name, b.Fields[i].Name, r), type));
                }
                recs.append(rec);
            }
            const QString name = RestBlockName(b.Name, simTr, restTr);
            if (b.Occurs || recs.size() > 1)
                got->Blocks.insert(name, recs);
            else if (!recs.isEmpty())
                got->Blocks.insert(name, recs.first());
        }
        schedule();
    });
    const int id = q->Request(seen.TrCont.compare(QLatin1String("Y"), Qt::CaseInsensitive) == 0);
    if (id < 0) {
        const auto* sq = qobject_cast<TSimQuery*>(q);
        const QString why = sq ? sq->LastError() : QString();
        q->deleteLater();
        slot->Swallowed = false;
        if (id == kSimRateRefused)
            return AnswerGateway(slot, 500, QStringLiteral("IGW00201"), overRate);
        return AnswerGateway(slot, 500, QStringLiteral("IGW50008"),
                             QStringLiteral("모의 거래소가 요청을 받지 않았습니다 (%1)%2")
                                 .arg(id)
                                 .arg(why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    }
}

// ---- WebSocket -------------------------------------------------------------------

void TFakeBroker::WsAccept()
{
    while (FWs->hasPendingConnections()) {
        QWebSocket* s = FWs->nextPendingConnection();
        if (FWsRefused || s->requestUrl().path() != QLatin1String("/websocket")) {
            connect(s, &QWebSocket::disconnected, s, &QObject::deleteLater);
            s->close(QWebSocketProtocol::CloseCodePolicyViolated,
                     FWsRefused ? QStringLiteral("refused") : QStringLiteral("path must be /websocket"));
            continue;
        }
        s->setMaxAllowedIncomingMessageSize(kMaxHead);   // request frames are a few hundred bytes
        s->setMaxAllowedIncomingFrameSize(kMaxHead);
        emit Log(QStringLiteral("WebSocket 연결 (%1개)").arg(FWsConns.size() + 1));
        auto* c = new TWsConn;
        c->Sock = s;
        FWsConns << c;
        connect(s, &QWebSocket::textMessageReceived, this, [this, c](const QString& t) { WsText(c, t); });
        connect(s, &QWebSocket::disconnected, this, [this, c] { WsEnd(c); });
    }
}

void TFakeBroker::WsEnd(TWsConn* c)
{
    if (!FWsConns.removeOne(c))
        return;
    for (const auto& r : std::as_const(c->Subs))
        if (r) {
            r->UnadviseRealData();
            r->deleteLater();
        }
    for (const auto& r : std::as_const(c->Account))
        if (r) {
            r->UnadviseRealData();
            r->deleteLater();
        }
    if (!c->AccountSent.isEmpty())
        FReplay = c->AccountSent;
    if (c->Sock) {
        c->Sock->disconnect(this);
        c->Sock->deleteLater();
    }
    delete c;
}

void TFakeBroker::DropSockets()
{
    const QList<TWsConn*> conns = FWsConns;
    for (TWsConn* c : conns) {
        QPointer<QWebSocket> s = c->Sock;
        WsEnd(c);
        if (s)
            s->abort();
    }
}

int TFakeBroker::Subscriptions() const
{
    int n = 0;
    for (const TWsConn* c : FWsConns)
        n += int(c->Subs.size()) + (c->Registered ? 1 : 0);
    return n;
}

int TFakeBroker::FramesSent(const QString& trCd) const
{
    return trCd.isEmpty() ? FFramesAll : FFrames.value(trCd);
}

void TFakeBroker::WsReply(TWsConn* c, const QString& trCd, const QString& trKey, const QString& code,
                          const QString& msg)
{
    if (!c->Sock)
        return;
    const QJsonObject frame{
        {QStringLiteral("header"), QJsonObject{{QStringLiteral("tr_cd"), trCd},
                                               {QStringLiteral("tr_key"), trKey},
                                               {QStringLiteral("rsp_cd"), code},
                                               {QStringLiteral("rsp_msg"), msg}}},
        {QStringLiteral("body"), QJsonValue::Null},
    };
    c->Sock->sendTextMessage(QString::fromUtf8(Json(frame)));
}

void TFakeBroker::WsSend(TWsConn* c, const QByteArray& frame, const QString& trCd)
{
    if (!c->Sock)
        return;
    QByteArray out = frame;
    if (FFaults.HalfFrameNext > 0) {
        --FFaults.HalfFrameNext;
        out = out.left(out.size() / 2);
    }
    c->Sock->sendTextMessage(QString::fromUtf8(out));
    ++FFramesAll;
    ++FFrames[trCd];
}

void TFakeBroker::WsRecord(TWsConn* c, TXAReal* real, const QString& trCd, const QString& key, bool account)
{
    const TResLayout* layout = Layout(trCd);
    if (!layout)
        return;
    QJsonObject body;
    for (const TResBlock& b : layout->Blocks) {
        if (b.Input)
            continue;
        for (const TResField& f : b.Fields)
            body.insert(f.Name, real->GetFieldData(QStringLiteral("OutBlock"), f.Name));
        break;
    }
    const QByteArray frame = Json({
        {QStringLiteral("header"), QJsonObject{{QStringLiteral("tr_cd"), trCd}, {QStringLiteral("tr_key"), key}}},
        {QStringLiteral("body"), body},
    });
    if (account) {
        c->AccountSent << frame;
        while (c->AccountSent.size() > kMaxReplay)
            c->AccountSent.removeFirst();
    }
    WsSend(c, frame, trCd);
}

void TFakeBroker::WsText(TWsConn* c, const QString& text)
{
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        return WsReply(c, QString(), QString(), QStringLiteral("IGW40011"),
                       QStringLiteral("요청 프레임을 읽을 수 없습니다: %1").arg(pe.errorString()));
    const QJsonObject h = doc.object().value(QLatin1String("header")).toObject();
    const QJsonObject b = doc.object().value(QLatin1String("body")).toObject();
    const QString token = h.value(QLatin1String("token")).toString().trimmed();
    const QString type = RestFieldText(h.value(QLatin1String("tr_type")), false).trimmed();
    const QString tr = b.value(QLatin1String("tr_cd")).toString().trimmed();
    const QString key = b.value(QLatin1String("tr_key")).toString().trimmed();
    if (!TokenLive(token))
        return WsReply(c, tr, key, QStringLiteral("IGW00121"),
                       QStringLiteral("유효하지 않은 토큰입니다. 접근토큰을 다시 발급받으세요."));
    const QString ok = QStringLiteral("00000");

    if (type == QLatin1String("1") || type == QLatin1String("2")) {
        if (!IsAccountFeed(tr))
            return WsReply(c, tr, key, QStringLiteral("IGW00215"),
                           QStringLiteral("%1 은(는) 계좌 실시간(SC0~SC4)이 아닙니다.").arg(tr.left(16)));
        if (type == QLatin1String("2")) {
            for (const auto& r : std::as_const(c->Account))
                if (r) {
                    r->UnadviseRealData();
                    r->deleteLater();
                }
            c->Account.clear();
            c->Registered = false;
            return WsReply(c, tr, key, ok, QStringLiteral("계좌 실시간 해제"));
        }
        if (!c->Registered) {
            // One registration switches on every account feed there is a layout for.
            for (const char* feedName : {"SC0", "SC1", "SC2", "SC3", "SC4"}) {
                const QString feed = QString::fromLatin1(feedName);
                if (!Layout(feed))
                    continue;
                TXAReal* r = FSim.CreateReal(this);
                r->SetResFileName(FResDir + u'/' + feed + QStringLiteral(".res"));
                r->SetFieldData(QStringLiteral("InBlock"), QString(), QString());
                connect(r, &TXAReal::ReceiveRealData, this,
                        [this, c, r](const QString& code) { WsRecord(c, r, code, QString(), true); });
                r->AdviseRealData();
                c->Account << r;
            }
            c->Registered = true;
        }
        WsReply(c, tr, key, ok, QStringLiteral("계좌 실시간 등록"));
        if (FFaults.ReplayOnReconnect && !FReplay.isEmpty()) {
            const QList<QByteArray> again = std::exchange(FReplay, {});
            for (const QByteArray& f : again) {
                const QString feed = QJsonDocument::fromJson(f).object()["header"].toObject()["tr_cd"].toString();
                c->AccountSent << f;
                WsSend(c, f, feed);
            }
        }
        return;
    }
    if (type != QLatin1String("3") && type != QLatin1String("4"))
        return WsReply(c, tr, key, QStringLiteral("IGW40011"),
                       QStringLiteral("tr_type 은 1~4 중 하나여야 합니다 (받은 값 \"%1\").").arg(type.left(8)));
    const TResLayout* layout = Layout(tr);
    if (!layout || !layout->Feed || IsAccountFeed(tr))
        return WsReply(c, tr, key, QStringLiteral("IGW00215"),
                       QStringLiteral("%1 은(는) 시세 실시간이 아닙니다.").arg(tr.left(16)));
    if (key.isEmpty())
        return WsReply(c, tr, key, QStringLiteral("IGW40011"), QStringLiteral("tr_key(종목코드)가 없습니다."));
    const QPair<QString, QString> sub(tr, key);
    if (type == QLatin1String("4")) {
        if (QPointer<TXAReal> r = c->Subs.take(sub)) {
            r->UnadviseRealData();
            r->deleteLater();
        }
        return WsReply(c, tr, key, ok, QStringLiteral("실시간 해제"));
    }
    if (!c->Subs.contains(sub)) {
        TXAReal* r = FSim.CreateReal(this);
        r->SetResFileName(FResDir + u'/' + tr + QStringLiteral(".res"));
        QString field;
        for (const TResBlock& blk : layout->Blocks)
            if (blk.Input && !blk.Fields.isEmpty()) {
                field = blk.Fields.first().Name;
                break;
            }
        r->SetFieldData(QStringLiteral("InBlock"), field, key);
        connect(r, &TXAReal::ReceiveRealData, this,
                [this, c, r, key](const QString& code) { WsRecord(c, r, code, key, false); });
        r->AdviseRealData();
        c->Subs.insert(sub, r);
    }
    WsReply(c, tr, key, ok, QStringLiteral("실시간 등록"));
}
