#pragma once
// The broker contract: one session, many query objects, several real-time
// feed objects. The program talks to the broker only through these classes;
// which backend stands behind them (the built-in simulated exchange or the
// broker's network API) is invisible outside broker/ and sim/.
//
// Every event is emitted on the UI thread, never from inside the call that
// caused it (answers arrive later, through the event loop).
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class TXASession : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TXASession() override = default;

    virtual bool ConnectServer(const QString& host, int port) = 0;
    virtual bool IsConnected() const = 0;
    // true when the request was sent; the outcome arrives as LoginResult.
    virtual bool Login(const QString& id, const QString& pw, const QString& certPw,
                       int svrType, bool showCertErr = false) = 0;
    virtual void DisconnectServer() = 0;
    virtual int GetAccountListCount() const = 0;
    virtual QString GetAccountList(int i) const = 0;

signals:
    // code "0000" means the user was accepted.
    void LoginResult(const QString& code, const QString& msg);
    // The real-time connection went down (`why` in Korean) or came back;
    // `again` when it came back after a drop: the orders and fills of the
    // gap were not sent and must be read again. Backends whose feed cannot
    // drop never send these.
    void RealFeedDown(const QString& why);
    void RealFeedUp(bool again);
    // A line for the log from the backend itself (a renewed token, a silent
    // feed, an answer that could not be read).
    void Notice(const QString& line);
};

class TXAQuery : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TXAQuery() override = default;

    // Path of the result-layout (.res) file; set before every request.
    virtual void SetResFileName(const QString& path) = 0;
    virtual QString ResFileName() const = 0;

    virtual void SetFieldData(const QString& block, const QString& field, int idx, const QString& value) = 0;
    virtual QString GetFieldData(const QString& block, const QString& field, int idx) const = 0;
    virtual int GetBlockCount(const QString& block) const = 0;
    // Records after decompressing a compressed answer; negative on failure.
    virtual int Decompress(const QString& block) = 0;
    virtual QString GetBlockData(const QString& block) const = 0;
    // Negative: not sent; otherwise the request's id. `next` asks for the
    // following page with the keys of the previous answer set in the input block.
    virtual int Request(bool next) = 0;
    // The id (as Request returned it) of the request whose answer or message
    // is being delivered; valid inside ReceiveData and ReceiveMessage. 0 when
    // the backend cannot tell.
    virtual int AnswerId() const { return 0; }

    virtual int GetTRCountBaseSec(const QString& tr) const = 0;
    virtual int GetTRCountPerSec(const QString& tr) const = 0;
    virtual int GetTRCountLimit(const QString& tr) const = 0;

signals:
    void ReceiveData(const QString& trCode);
    void ReceiveMessage(bool systemError, const QString& code, const QString& msg);
};

class TXAReal : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TXAReal() override = default;

    virtual void SetResFileName(const QString& path) = 0;
    virtual QString ResFileName() const = 0;
    // The subscription key of the next AdviseRealData.
    virtual void SetFieldData(const QString& block, const QString& field, const QString& value) = 0;
    virtual void AdviseRealData() = 0;
    virtual void UnadviseRealData() = 0;
    virtual void UnadviseRealDataWithKey(const QString& key) = 0;
    // A field of the record being delivered (valid inside ReceiveRealData).
    virtual QString GetFieldData(const QString& block, const QString& field) const = 0;

signals:
    void ReceiveRealData(const QString& trCode);
};

// Creates the objects of one backend. The objects stay valid while the
// backend lives; the window owns both.
class TBrokerBackend {
public:
    virtual ~TBrokerBackend() = default;
    virtual TXASession* CreateSession(QObject* parent) = 0;
    virtual TXAQuery* CreateQuery(QObject* parent) = 0;
    virtual TXAReal* CreateReal(QObject* parent) = 0;
};
