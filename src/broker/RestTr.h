#pragma once
// One transaction over the broker's REST API, as it travels: the request's
// body made from the input blocks of the transaction's result layout, and
// the answer's body read back into output blocks of texts — the same texts
// GetFieldData gives for every other backend. Pure functions: no network.
//
// The wire format: a POST whose body is a JSON object with one member per
// input block ("t1101InBlock": {"shcode": "005930"}; an array of objects for
// a block of several records); the answer is a JSON object with "rsp_cd",
// "rsp_msg" and one member per output block, an object for a single record
// or an array of objects (a block of several records may come as a single
// object when it holds one). Continuation travels in the headers tr_cont
// ("Y" more, "N" or empty none) and tr_cont_key.
#include "broker/ResLayout.h"

#include <QByteArray>
#include <QHash>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVector>

// Largest answer body read; a full day of minute bars is well under 1 MB.
inline constexpr qint64 KRestMaxBody = 32 * 1024 * 1024;
// Most records read into one block.
inline constexpr int KRestMaxRows = 100000;

// What the program set in the input blocks (SetFieldData), by block, field
// and record.
class TRestInputs {
public:
    void Set(const QString& block, const QString& field, int idx, const QString& value);
    QString Get(const QString& block, const QString& field, int idx) const;
    // Records set in `block`: one past the highest index, 0 when none.
    int Rows(const QString& block) const;
    void Clear();

private:
    static QString Key(const QString& block, const QString& field, int idx);
    QHash<QString, QString> FValues;
    QHash<QString, int> FRows;   // block (lower case) → records
};

// The body of a request: every input block of `layout` with its fields in
// layout order. Numeric fields (long, int, float, double) go as JSON numbers
// (the gateway refuses numbers sent as text), an empty one as 0; the others
// as strings. An input block of several records goes as an array of as many
// records as were set (at least one). Empty with `err` set when a numeric
// field holds something that is not a plain decimal number: nothing is sent
// rather than a value the program did not mean.
QByteArray RestRequestBody(const TResLayout& layout, const TRestInputs& in, QString* err);

// An output block as texts: one row a record, one text a field, in layout
// order.
struct TTrBlock {
    QString Name;
    QStringList Fields;
    QVector<QStringList> Rows;

    int IndexOf(const QString& field) const { return Fields.indexOf(field); }
};

struct TRestAnswer {
    QString Code;   // rsp_cd; empty when the answer has none
    QString Msg;    // rsp_msg
    QVector<TTrBlock> Blocks;   // the layout's output blocks the answer holds

    // The block named `name` (letter case ignored), nullptr when absent.
    const TTrBlock* Block(const QString& name) const;
};

// Reads an answer body into the output blocks of `layout`. Fields the
// layout has and the answer lacks (or sends as null) read "0" when numeric
// and "" otherwise; members the layout does not know are left out. Numbers
// are written as plain decimals: whole ones without a point, others with as
// many digits as make the same number. False, with `err` set, when the body
// is not a JSON object, is larger than KRestMaxBody, or a block is neither
// an object nor an array of objects; a block past KRestMaxRows records is
// cut there and says so in `err` while the answer still reads.
bool ParseRestAnswer(const QByteArray& body, const TResLayout& layout, TRestAnswer& out, QString* err);

// What an answer's code (or, without one, its HTTP status) asks of the
// backend.
enum class TRestFault {
    None,      // a business answer: deliver it
    Rate,      // over the transaction's rate: slow down
    Token,     // the token is dead: issue a new one
    Request,   // the request was wrong (unknown TR, a number sent as text)
    Gateway,   // the gateway failed: a read may be asked again, an order must be reconciled
};
TRestFault RestFaultOf(int httpStatus, const QString& code, const QString& msg);

// A transaction as the REST API knows it: the path of its group and its
// code there. The order transactions go by other codes (CSPAT00600 →
// CSPAT00601, 00700 → 00701, 00800 → 00801); every other code is its own.
// An empty path: the API has no such transaction.
struct TRestRoute {
    QString Path;
    QString Code;
};
TRestRoute RestRouteOf(const QString& tr);

// A JSON value as the program reads field values: texts as they are,
// numbers as plain decimals (whole ones without a point), true/false as
// 1/0; null or anything else "0" for a numeric field and "" otherwise.
QString RestFieldText(const QJsonValue& v, bool numeric);

// The continuation of an answer from its response headers.
struct TRestCont {
    bool More = false;
    QString Key;
};
TRestCont RestContinuation(const QByteArray& trCont, const QByteArray& trContKey);
