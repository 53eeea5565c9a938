#pragma once
// The frames of the broker's real-time WebSocket. A request frame asks for a
// feed: {"header": {"token", "tr_type"}, "body": {"tr_cd", "tr_key"}} with
// tr_type 3/4 to subscribe to / drop a market feed of one code, 1/2 to
// register / deregister the account's order events. A data frame carries
// one record: {"header": {"tr_cd", "tr_key"}, "body": {field: text, ...}}; a
// frame whose body is null or missing is the server's reply to a request
// (its header may hold rsp_cd and rsp_msg). Pure functions: no network.
#include <QByteArray>
#include <QHash>
#include <QMetaType>
#include <QString>

// Largest frame read; a book record is about 2 KB.
inline constexpr qint64 KWsMaxFrame = 1024 * 1024;

enum class TWsType { Register = 1, Deregister = 2, Subscribe = 3, Unsubscribe = 4 };

QByteArray WsRequestFrame(const QString& token, TWsType type, const QString& trCd, const QString& trKey);

struct TWsFrame {
    QString TrCd, TrKey;
    bool Data = false;               // a record (else a reply)
    QString Code, Msg;               // a reply's rsp_cd / rsp_msg
    QHash<QString, QString> Fields;  // a record's fields as texts

    // A field of the record, "" when absent.
    QString Field(const QString& name) const { return Fields.value(name); }
};

// Reads one frame. False, with `err` set, when it is not a JSON object with
// a header naming its feed (tr_cd), is larger than KWsMaxFrame, or its body
// is neither an object nor null. The texts of `err` never quote the frame:
// a frame may echo the token.
bool ParseWsFrame(const QByteArray& frame, TWsFrame& out, QString* err);

Q_DECLARE_METATYPE(TWsFrame)
