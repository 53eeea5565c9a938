#pragma once
// A local stand-in for the broker's open API, answered by the built-in
// simulated exchange: the access-token endpoints and the transactions over
// HTTPS (REST), the real-time feeds over a secure WebSocket. Tests run it in
// process against the program's own REST and WebSocket clients; developers
// run it as the fake-broker tool and point the program at it.
//
// REST. POST /oauth2/token and /oauth2/revoke take the form bodies the
// broker takes; a transaction is a POST to its group's path (RestRouteOf)
// with the headers tr_cd, tr_cont, tr_cont_key and "authorization: Bearer
// <token>", and a JSON body of input blocks. The inputs go to a query object
// of the exchange (the order codes CSPAT00601/00701/00801 become the
// exchange's CSPAT00600/00700/00800; the account number and its password,
// which REST bodies never carry, are filled in from the simulated account;
// a paper-server symbol "A005930" loses its "A"); the answer is every output
// block of the layout, numbers as JSON numbers, with rsp_cd/rsp_msg of the
// exchange's last message ("00000" when it sent none). Answers go out when
// the exchange delivers them, in order on each connection.
//
// The gateway's own refusals: HTTP 500 with rsp_cd
//   IGW00121  the token is missing, unknown, revoked or expired
//   IGW00201  over the transaction's calls per second
//   IGW00215  the path and tr_cd name no transaction the exchange serves
//   IGW40011  the body is unreadable, or a numeric field came as a text
//   IGW50008  the exchange refused the request for another reason
// and an unknown path HTTP 404. A bad app key or secret is HTTP 401.
//
// WebSocket (path /websocket). Request frames {"header": {"token",
// "tr_type"}, "body": {"tr_cd", "tr_key"}}: tr_type 3/4 subscribe to / drop
// a market feed of one code, 1/2 register / deregister the account's order
// events (one registration switches on every account feed the layouts
// have). Each record becomes a data frame {"header": {"tr_cd", "tr_key"},
// "body": {field: text, ...}} with every output field as a text. A request
// is answered by a reply frame (body null) with rsp_cd "00000" or the
// refusal's code; a connection's subscriptions end with it.
#include "sim/SimBackend.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>
#include <deque>
#include <memory>

class QSslServer;
class QSslSocket;
class QWebSocket;
class QWebSocketServer;

// Faults switched on by tests (and the tool's options). The counts are
// spent one per request or frame.
struct TFakeFaults {
    int LatencyMs = 0;           // every REST answer goes out this much later
    int DeadTokenNext = 0;       // the next N transactions: HTTP 500, IGW00121, whatever the token
    int RateRefuseNext = 0;      // the next N transactions: HTTP 500, IGW00201
    int MalformedNext = 0;       // the next N answers: HTTP 200 with a body cut in half (not JSON)
    // When not empty, RateRefuseNext and MalformedNext wait for a request of
    // one of these codes (REST or simulated-exchange code) and leave others be.
    QSet<QString> NextOf;
    QSet<QString> Swallow;       // REST codes ("CSPAT00601") run by the exchange and never answered
    int HalfFrameNext = 0;       // the next N WebSocket data frames are cut in half
    // After a dropped connection, the next account registration is sent the
    // order events the dropped connection had been sent, once more.
    bool ReplayOnReconnect = false;
};

class TFakeBroker : public QObject {
    Q_OBJECT
public:
    // `sim`: the exchange that answers (logged in here); `resDir`: the folder
    // of the .res layouts.
    TFakeBroker(TSimBackend& sim, const QString& resDir, QObject* parent = nullptr);
    ~TFakeBroker() override;

    // HTTPS (REST) and WSS (WebSocket) on 127.0.0.1; port 0 picks a free one.
    // The certificate and key default to the files in KESTREL_FAKE_TLS_DIR.
    bool Listen(quint16 restPort = 0, quint16 wsPort = 0, const QString& certPath = {},
                const QString& keyPath = {}, QString* err = nullptr);
    quint16 RestPort() const;
    quint16 WsPort() const;
    QString RestBase() const;   // https://127.0.0.1:port
    QString WsUrl() const;      // wss://127.0.0.1:port/websocket
    static QString DefaultCertPath();
    static QString DefaultKeyPath();
    static QSslCertificate DefaultCertificate();

    // The app key and secret the token endpoint accepts
    // (default "fake-app-key" / "fake-app-secret").
    void SetCredentials(const QString& appKey, const QString& secret);
    TFakeFaults& Faults() { return FFaults; }
    // Every token issued so far is dead from now on.
    void ExpireTokens();
    // Closes every WebSocket connection now (the client reconnects).
    void DropSockets();
    // While on, new WebSocket connections are closed as soon as they open.
    void SetWsRefused(bool on) { FWsRefused = on; }

    // What happened, for tests.
    struct TSeen {
        QString Path, TrCd, TrCont, TrContKey, Auth;
        QByteArray Body;
    };
    const QList<TSeen>& Requests() const { return FSeen; }   // every transaction request, in order
    int TokensIssued() const { return FIssued; }
    int TokensRevoked() const { return FRevoked; }
    // Data frames sent (all, or of one feed), cut ones and replays included.
    int FramesSent(const QString& trCd = {}) const;
    // Market subscriptions (feed, key) live over all connections, plus one
    // for each connection with the account's events registered.
    int Subscriptions() const;
    int WsConnections() const { return int(FWsConns.size()); }
    // REST requests received and not answered yet (swallowed ones left out).
    int Pending() const;

signals:
    // Something worth a line in the tool's log (Korean).
    void Log(const QString& line);

private:
    struct THttpRequest {
        QByteArray Method, Target, Version;
        QHash<QByteArray, QByteArray> Headers;   // names in lower case
        QByteArray Body;
    };
    // One answer's place in its connection's queue.
    struct TSlot {
        QPointer<QSslSocket> Sock;
        bool Ready = false, Swallowed = false, Close = false;
        QByteArray Bytes;
    };
    using TSlotPtr = std::shared_ptr<TSlot>;
    struct THttpConn {
        QByteArray Buf;
        std::deque<TSlotPtr> Queue;
    };
    struct TWsConn;

    // REST
    void HttpRead(QSslSocket* s);
    void HttpFlush(QSslSocket* s);
    void Dispatch(const THttpRequest& req, const TSlotPtr& slot);
    void Answer(const TSlotPtr& slot, int status, const QByteArray& body,
                const QList<QPair<QByteArray, QByteArray>>& headers = {});
    void AnswerNow(const TSlotPtr& slot, int status, const QByteArray& body,
                   const QList<QPair<QByteArray, QByteArray>>& headers);
    void AnswerGateway(const TSlotPtr& slot, int status, const QString& code, const QString& msg);
    void IssueToken(const THttpRequest& req, const TSlotPtr& slot);
    void RevokeToken(const THttpRequest& req, const TSlotPtr& slot);
    void RunTr(const THttpRequest& req, const TSlotPtr& slot);
    bool TokenLive(const QString& token) const { return FLive.contains(token); }
    const TResLayout* Layout(const QString& tr);

    // WebSocket
    void WsAccept();
    void WsText(TWsConn* c, const QString& text);
    void WsReply(TWsConn* c, const QString& trCd, const QString& trKey, const QString& code, const QString& msg);
    void WsRecord(TWsConn* c, TXAReal* real, const QString& trCd, const QString& key, bool account);
    void WsSend(TWsConn* c, const QByteArray& frame, const QString& trCd);
    void WsEnd(TWsConn* c);

    TSimBackend& FSim;
    QString FResDir;
    QHash<QString, TResLayout> FLayouts;   // by code; a failed load is kept as an empty layout
    QSslServer* FRest = nullptr;
    QWebSocketServer* FWs = nullptr;
    QHash<QSslSocket*, THttpConn> FHttp;
    QList<TWsConn*> FWsConns;
    QString FKey = QStringLiteral("fake-app-key"), FSecret = QStringLiteral("fake-app-secret");
    QSet<QString> FLive;   // tokens that TRs accept
    TFakeFaults FFaults;
    bool FWsRefused = false;
    QList<TSeen> FSeen;
    int FIssued = 0, FRevoked = 0;
    QHash<QString, int> FFrames;   // feed -> data frames sent
    int FFramesAll = 0;
    quint64 FContSeq = 0;
    QList<QByteArray> FReplay;   // order-event frames of the last dropped connection
};
