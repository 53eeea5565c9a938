// The broker's REST answers and request bodies. The input is split at
// "\n--\n": the first part is an answer body read against a fixed layout
// (one block of one record, one of several); the rest are values set in the
// input blocks of a request.
//
// Checks:
//  - an answer read or refused: refused leaves nothing; read, every block
//    is one of the layout's output blocks with its fields in layout order
//    and every row as wide as its fields, at most KRestMaxRows rows;
//  - reading the same body twice gives the same answer;
//  - a request body is either refused with a reason or valid JSON whose
//    numeric fields are numbers and text fields the trimmed texts set;
//  - the fault and continuation readers take any code, status and header;
//  - the same first part read as a token answer (statuses 200, 401, 500)
//    gives a token with a life of a day at most a year, or a failure with a
//    message that does not quote the body; read as a revoke answer, it
//    never fails without saying why.
#include "FuzzUtil.h"
#include "broker/RestToken.h"
#include "broker/RestTr.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>

namespace {

const char* KLayout = R"(BEGIN_FUNCTION_MAP
	.Func,fuzz(t9999),t9999,block,headtype=A;
	BEGIN_DATA_MAP
	t9999InBlock,in,input;
	begin
		code,shcode,shcode,char,6;
		count,qrycnt,qrycnt,long,4;
		rate,ratio,ratio,float,6.2;
	end
	t9999InBlock1,ins,input,occurs;
	begin
		no,ordno,ordno,long,10;
	end
	t9999OutBlock,out,output;
	begin
		name,hname,hname,char,20;
		price,price,price,long,8;
		diff,diff,diff,float,6.2;
	end
	t9999OutBlock1,rows,output,occurs;
	begin
		date,date,date,char,8;
		close,close,close,long,8;
	end
	END_DATA_MAP
END_FUNCTION_MAP
)";

const TResLayout& Layout()
{
    static const TResLayout l = [] {
        TResLayout x;
        QString err;
        ParseResLayout(QString::fromLatin1(KLayout), QStringLiteral("fuzz"), x, &err);
        return x;
    }();
    return l;
}

bool Same(const TRestAnswer& a, const TRestAnswer& b)
{
    if (a.Code != b.Code || a.Msg != b.Msg || a.Blocks.size() != b.Blocks.size())
        return false;
    for (int i = 0; i < a.Blocks.size(); ++i)
        if (a.Blocks[i].Name != b.Blocks[i].Name || a.Blocks[i].Fields != b.Blocks[i].Fields
            || a.Blocks[i].Rows != b.Blocks[i].Rows)
            return false;
    return true;
}

void CheckAnswer(const QByteArray& body)
{
    const TResLayout& l = Layout();
    TRestAnswer a, again;
    QString err, err2;
    const bool ok = ParseRestAnswer(body, l, a, &err);
    FUZZ_CHECK(ok == ParseRestAnswer(body, l, again, &err2) && Same(a, again) && err == err2,
               QStringLiteral("the same body read twice differs"));
    if (!ok) {
        FUZZ_CHECK(!err.isEmpty() && a.Code.isEmpty() && a.Blocks.isEmpty(), QStringLiteral("a refusal left data: ") + err);
        return;
    }
    for (const TTrBlock& b : a.Blocks) {
        const TResBlock* rb = l.Block(b.Name);
        FUZZ_CHECK(rb && !rb->Input, QStringLiteral("a block the layout has no output for: ") + b.Name);
        QStringList names;
        for (const TResField& f : rb->Fields)
            names << f.Name;
        FUZZ_CHECK(b.Fields == names, QStringLiteral("fields out of layout order in ") + b.Name);
        FUZZ_CHECK(b.Rows.size() <= KRestMaxRows, QStringLiteral("too many rows"));
        for (const QStringList& r : b.Rows)
            FUZZ_CHECK(r.size() == b.Fields.size(), QStringLiteral("a row of the wrong width in ") + b.Name);
    }
    // Whatever the body said, the code readers take it.
    RestFaultOf(500, a.Code, a.Msg);
}

void CheckRequest(const QList<QByteArray>& values)
{
    const TResLayout& l = Layout();
    TRestInputs in;
    const char* fields[][2] = {{"t9999InBlock", "shcode"}, {"t9999InBlock", "qrycnt"}, {"t9999InBlock", "ratio"},
                               {"t9999InBlock1", "ordno"}};
    for (int i = 0; i < values.size(); ++i) {
        const auto& f = fields[i % 4];
        in.Set(QString::fromLatin1(f[0]), QString::fromLatin1(f[1]), i / 4 % 5, QString::fromUtf8(values[i]));
    }
    QString err;
    const QByteArray body = RestRequestBody(l, in, &err);
    if (body.isEmpty()) {
        FUZZ_CHECK(!err.isEmpty(), QStringLiteral("a request refused without a reason"));
        return;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    FUZZ_CHECK(doc.isObject(), QStringLiteral("a request body that is not a JSON object"));
    const QJsonObject one = doc.object().value(QStringLiteral("t9999InBlock")).toObject();
    FUZZ_CHECK(one.value(QStringLiteral("shcode")).toString() == in.Get(QStringLiteral("t9999InBlock"), QStringLiteral("shcode"), 0).trimmed(),
               QStringLiteral("the code was not sent as set"));
    FUZZ_CHECK(one.value(QStringLiteral("qrycnt")).isDouble() && one.value(QStringLiteral("ratio")).isDouble(),
               QStringLiteral("a number sent as text"));
    const QJsonArray many = doc.object().value(QStringLiteral("t9999InBlock1")).toArray();
    FUZZ_CHECK(many.size() == std::max(in.Rows(QStringLiteral("t9999InBlock1")), 1),
               QStringLiteral("records of the several-record block lost or added"));
}

void CheckToken(const QByteArray& body)
{
    for (const int http : {200, 401, 500}) {
        const TTokenAnswer a = ReadTokenAnswer(http, body);
        if (a.Failure == TTokenFailure::None) {
            FUZZ_CHECK(http == 200 && !a.Token.isEmpty() && a.ExpiresInSec > 0 && a.ExpiresInSec <= 366LL * 86400,
                       QStringLiteral("a token without a sound life"));
            const QDateTime issued(QDate(2026, 12, 10), QTime(9, 0), Qt::UTC);
            const QDateTime at = TokenRenewalAt(issued, a.ExpiresInSec);
            FUZZ_CHECK(at > issued && at <= issued.addSecs(a.ExpiresInSec), QStringLiteral("a renewal outside the token's life"));
        } else {
            FUZZ_CHECK(a.Token.isEmpty() && !a.Error.isEmpty(), QStringLiteral("a failure without a message"));
            FUZZ_CHECK(body.size() < 16 || !a.Error.contains(QString::fromUtf8(body)), QStringLiteral("a message quoting the answer"));
        }
    }
    QString err;
    if (!ReadRevokeAnswer(200, body, &err))
        FUZZ_CHECK(!err.isEmpty(), QStringLiteral("a failed revoke without a message"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = SplitParts(InputBytes(data, size), QByteArrayLiteral("\n--\n"));
    CheckAnswer(parts.first());
    CheckToken(parts.first());
    if (parts.size() > 1)
        CheckRequest(parts.mid(1, 40));
    if (parts.size() > 2)
        RestContinuation(parts[1], parts[2]);
    return 0;
}
