#pragma once
// The one real-time connection of a session with the broker's WebSocket:
// the feeds asked for are kept and asked for again after every reconnect;
// a drop is reconnected after a pause that doubles up to half a minute,
// with jitter so that many programs do not come back at once. Requests
// go out a little apart (the broker is believed to refuse bursts). Frames
// that cannot be read are reported and skipped; the connection stays.
#include "broker/WsFrame.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QSslCertificate>
#include <QString>
#include <QTimer>
#include <QWebSocket>

class TWsFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int KRequestGapMs = 200;
    static constexpr int KLongestPauseMs = 30000;

    explicit TWsFeed(const QString& url, QObject* parent = nullptr);
    ~TWsFeed() override;

    void TrustCertificate(const QSslCertificate& cert);
    // The token put in every request from now on (a renewed one too).
    void SetToken(const QString& token) { FToken = token; }
    // The first pause after a drop (500 ms; tests shorten it).
    void SetFirstPauseMs(int ms) { FFirstPauseMs = ms; }

    void Open();
    // Closes for good (no reconnect).
    void Close();
    bool Connected() const { return FUp; }

    // A market feed (tr_type 3/4) of one code, or with an empty key the
    // account's order events (register / deregister, tr_type 1/2).
    void Subscribe(const QString& trCd, const QString& key);
    void Unsubscribe(const QString& trCd, const QString& key);
    int Subscriptions() const { return int(FSubs.size()); }
    // Asks for every feed again on the open connection (after the server
    // refused requests for a token that has since been renewed).
    void AskAgain();
    // Requests waiting for their turn to be sent.
    int Queued() const { return int(FOut.size()); }

    // The pause before reconnect attempt `attempt` (0 first): the first
    // pause doubled per attempt, at most KLongestPauseMs, times a factor in
    // [0.5, 1] from `rnd` (any 32 bits).
    static int PauseMs(int firstMs, int attempt, quint32 rnd);

signals:
    void Record(const TWsFrame& frame);
    void Down(const QString& why);   // Korean, for the status line and the log
    void Up(bool again);             // connected; `again` after a drop: re-read orders and fills
    void Problem(const QString& why);
    // The server turned a request down (a reply with a code other than
    // success).
    void Refused(const QString& trCd, const QString& key, const QString& code, const QString& msg);

private:
    void Connect();
    void Dropped();
    void Queue(TWsType type, const QString& trCd, const QString& key);
    void SendNext();

    QString FUrl, FToken;
    QWebSocket* FSock = nullptr;
    QList<QSslCertificate> FTrusted;
    QList<QPair<QString, QString>> FSubs;   // (feed, key) in the order asked for
    struct TOut {
        TWsType Type;
        QString TrCd, Key;
    };
    QList<TOut> FOut;   // requests waiting for their turn
    QTimer FGap, FRetry;
    bool FWanted = false, FUp = false, FWasUp = false;
    int FAttempt = 0;
    int FFirstPauseMs = 500;
};
