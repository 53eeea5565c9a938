#include "broker/RestTr.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <cmath>

namespace {

// A plain decimal number: an optional sign, digits, and for `fraction` an
// optional point with digits after it. No spaces inside, no thousands marks.
bool PlainDecimal(QStringView s, bool fraction)
{
    if (s.startsWith(u'-') || s.startsWith(u'+'))
        s = s.mid(1);
    bool digits = false, point = false;
    for (const QChar c : s) {
        if (c >= u'0' && c <= u'9')
            digits = true;
        else if (c == u'.' && fraction && !point)
            point = true;
        else
            return false;
    }
    return digits;
}

// A JSON number as the program reads numbers: whole ones as integers,
// others as plain decimals with the fewest digits that give the same value.
QString NumberText(double v)
{
    constexpr double kExact = 9007199254740992.0;   // 2^53: every whole number below is exact
    if (v == std::trunc(v) && std::fabs(v) < kExact)
        return QString::number(qint64(v));
    return QString::number(v, 'f', QLocale::FloatingPointShortest);
}

// An output block's fields: where each name goes in a row, and which are
// numeric.
struct TBlockShape {
    QHash<QString, int> Index;
    QVector<bool> Numeric;
    QStringList Blank;   // a row of nothing received: "0" for numbers, "" for texts

    explicit TBlockShape(const TResBlock& b)
    {
        for (int i = 0; i < b.Fields.size(); ++i) {
            Index.insert(b.Fields[i].Name, i);
            const bool numeric = i < b.Specs.size() && b.Specs[i].Numeric();
            Numeric << numeric;
            Blank << (numeric ? QStringLiteral("0") : QString());
        }
    }
    // One record: its members in one pass, each put in its field's place.
    QStringList RowOf(const QJsonObject& o) const
    {
        QStringList row = Blank;
        for (auto it = o.begin(); it != o.end(); ++it) {
            const auto f = Index.constFind(it.key());
            if (f != Index.cend())
                row[*f] = RestFieldText(it.value(), Numeric[*f]);
        }
        return row;
    }
};

} // namespace

QString RestFieldText(const QJsonValue& v, bool numeric)
{
    switch (v.type()) {
    case QJsonValue::String: return v.toString();
    case QJsonValue::Double: return NumberText(v.toDouble());
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default: return numeric ? QStringLiteral("0") : QString();   // null, missing, nested
    }
}

// --- inputs -------------------------------------------------------------------

QString TRestInputs::Key(const QString& block, const QString& field, int idx)
{
    return block.toLower() + u'\n' + field + u'\n' + QString::number(idx);
}

void TRestInputs::Set(const QString& block, const QString& field, int idx, const QString& value)
{
    if (idx < 0 || idx >= KRestMaxRows)
        return;
    FValues.insert(Key(block, field, idx), value);
    int& rows = FRows[block.toLower()];
    rows = std::max(rows, idx + 1);
}

QString TRestInputs::Get(const QString& block, const QString& field, int idx) const
{
    return FValues.value(Key(block, field, idx));
}

int TRestInputs::Rows(const QString& block) const { return FRows.value(block.toLower()); }

void TRestInputs::Clear()
{
    FValues.clear();
    FRows.clear();
}

QByteArray RestRequestBody(const TResLayout& layout, const TRestInputs& in, QString* err)
{
    QJsonObject body;
    for (const TResBlock& b : layout.Blocks) {
        if (!b.Input)
            continue;
        const int rows = b.Occurs ? std::max(in.Rows(b.Name), 1) : 1;
        QJsonArray records;
        for (int r = 0; r < rows; ++r) {
            QJsonObject rec;
            for (int i = 0; i < b.Fields.size(); ++i) {
                const QString& name = b.Fields[i].Name;
                const QString value = in.Get(b.Name, name, r).trimmed();
                const TResFieldSpec type = i < b.Specs.size() ? b.Specs[i] : TResFieldSpec();
                if (!type.Numeric()) {
                    rec.insert(name, value);
                    continue;
                }
                if (value.isEmpty()) {
                    rec.insert(name, 0);
                } else if (!PlainDecimal(value, !type.Whole())) {
                    if (err)
                        *err = QStringLiteral("%1 %2.%3: 숫자가 아닌 값 \"%4\"")
                                   .arg(layout.Code, b.Name, name, value.left(40));
                    return {};
                } else if (type.Whole()) {
                    bool ok = false;
                    const qint64 v = value.toLongLong(&ok);
                    if (!ok) {
                        if (err)
                            *err = QStringLiteral("%1 %2.%3: 너무 큰 수 \"%4\"").arg(layout.Code, b.Name, name, value.left(40));
                        return {};
                    }
                    rec.insert(name, v);
                } else {
                    rec.insert(name, value.toDouble());
                }
            }
            records.append(rec);
        }
        if (b.Occurs)
            body.insert(b.Name, records);
        else
            body.insert(b.Name, records.first());
    }
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

// --- answers ------------------------------------------------------------------

const TTrBlock* TRestAnswer::Block(const QString& name) const
{
    for (const TTrBlock& b : Blocks)
        if (b.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &b;
    return nullptr;
}

bool ParseRestAnswer(const QByteArray& body, const TResLayout& layout, TRestAnswer& out, QString* err)
{
    out = TRestAnswer();
    auto fail = [&](const QString& why) {
        if (err)
            *err = why;
        out = TRestAnswer();
        return false;
    };
    if (body.size() > KRestMaxBody)
        return fail(QStringLiteral("%1 응답이 너무 큼 (%2바이트)").arg(layout.Code).arg(body.size()));
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &pe);
    if (pe.error != QJsonParseError::NoError)
        return fail(QStringLiteral("%1 응답을 읽을 수 없음: %2 (위치 %3)").arg(layout.Code, pe.errorString()).arg(pe.offset));
    if (!doc.isObject())
        return fail(QStringLiteral("%1 응답이 JSON 객체가 아님").arg(layout.Code));
    const QJsonObject root = doc.object();
    out.Code = RestFieldText(root.value(QLatin1String("rsp_cd")), false).trimmed();
    out.Msg = RestFieldText(root.value(QLatin1String("rsp_msg")), false).trimmed();
    QString cut;
    for (auto it = root.begin(); it != root.end(); ++it) {
        const TResBlock* b = layout.Block(it.key());
        if (!b || b->Input)
            continue;
        const TBlockShape shape(*b);
        TTrBlock blk;
        blk.Name = b->Name;
        for (const TResField& f : b->Fields)
            blk.Fields << f.Name;
        const QJsonValue v = it.value();
        if (v.isObject()) {
            blk.Rows << shape.RowOf(v.toObject());
        } else if (v.isArray()) {
            const QJsonArray a = v.toArray();
            for (const QJsonValue& r : a) {
                if (!r.isObject())
                    return fail(QStringLiteral("%1 %2: 레코드가 객체가 아님").arg(layout.Code, b->Name));
                if (blk.Rows.size() >= KRestMaxRows) {
                    cut = QStringLiteral("%1 %2: %3건에서 잘림").arg(layout.Code, b->Name).arg(KRestMaxRows);
                    break;
                }
                blk.Rows << shape.RowOf(r.toObject());
            }
        } else if (v.isNull()) {
            // no records
        } else {
            return fail(QStringLiteral("%1 %2: 블록이 객체나 배열이 아님").arg(layout.Code, b->Name));
        }
        out.Blocks << std::move(blk);
    }
    if (err)
        *err = cut;
    return true;
}

// --- codes and continuation -----------------------------------------------------

TRestFault RestFaultOf(int httpStatus, const QString& code, const QString& msg)
{
    if (code == QLatin1String("IGW00201"))
        return TRestFault::Rate;
    if (code == QLatin1String("IGW00121") || httpStatus == 401 || httpStatus == 403)
        return TRestFault::Token;
    if (code == QLatin1String("IGW00215") || code == QLatin1String("IGW40011"))
        return TRestFault::Request;
    if (code.startsWith(QLatin1String("IGW")))
        return TRestFault::Gateway;
    // A 500 whose text says the token has expired carries no code of its own.
    if (httpStatus >= 500 && code.isEmpty()) {
        if (msg.contains(QStringLiteral("토큰")) || msg.contains(QLatin1String("token"), Qt::CaseInsensitive))
            return TRestFault::Token;
        return TRestFault::Gateway;
    }
    return TRestFault::None;
}

TRestRoute RestRouteOf(const QString& tr)
{
    // The groups of the broker's published REST documents.
    static const QHash<QString, QString> paths = [] {
        const struct {
            const char* path;
            const char* codes;
        } groups[] = {
            {"/etc/time-search", "t0167"},
            {"/indtp/market-data", "t1514 t8424 t1485 t1511 t1516"},
            {"/indtp/chart", "t4203 t8417 t8418 t8419"},
            {"/stock/exchange", "t1752 t1764 t1771"},
            {"/stock/accno", "CDPCQ04700 CSPAQ00600 CSPAQ12200 CSPAQ12300 CSPAQ13700 CSPAQ22200 CSPBQ00200 "
                             "FOCCQ33600 t0150 t0151 t0424 t0425"},
            {"/stock/etc", "CLNAQ00100 t1403 t1411 t1638 t1921 t1926 t1927 t1941 t8430 t8436"},
            {"/stock/high-item", "t1441 t1444 t1452 t1463 t1466 t1481 t1482 t1489 t1492"},
            {"/stock/market-data", "t1101 t1102 t1104 t1105 t1109 t1301 t1302 t1305 t1308 t1310 t1404 t1405 t1410 "
                                   "t1422 t1427 t1442 t1449 t1471 t1475 t1486 t1488 t8407 t8450 t8454 t9945"},
            {"/stock/frgr-itt", "t1702 t1716 t1717"},
            {"/stock/order", "CSPAT00601 CSPAT00701 CSPAT00801"},
            {"/stock/chart", "t1665 t8410 t8411 t8412 t8451 t8452 t8453"},
            {"/stock/investor", "t1601 t1602 t1603 t1615 t1617 t1621 t1664"},
            {"/stock/investinfo", "t3102 t3202 t3320 t3341 t3401 t3518 t3521 t8428"},
            {"/stock/program", "t1631 t1632 t1633 t1636 t1637 t1640 t1662"},
        };
        QHash<QString, QString> h;
        for (const auto& g : groups)
            for (const QString& c : QString::fromLatin1(g.codes).split(u' ', Qt::SkipEmptyParts))
                h.insert(c.toLower(), QString::fromLatin1(g.path));
        return h;
    }();
    static const QHash<QString, QString> renamed = {
        {QStringLiteral("cspat00600"), QStringLiteral("CSPAT00601")},
        {QStringLiteral("cspat00700"), QStringLiteral("CSPAT00701")},
        {QStringLiteral("cspat00800"), QStringLiteral("CSPAT00801")},
        // The index minute chart of the desktop API is the REST API's sector
        // minute chart, field for field.
        {QStringLiteral("t8409"), QStringLiteral("t8418")},
    };
    TRestRoute r;
    const QString key = tr.trimmed().toLower();
    r.Code = renamed.value(key, tr.trimmed());
    r.Path = paths.value(r.Code.toLower());
    if (r.Path.isEmpty())
        r.Code.clear();
    return r;
}

TRestCont RestContinuation(const QByteArray& trCont, const QByteArray& trContKey)
{
    TRestCont c;
    c.More = trCont.trimmed().toUpper() == "Y";
    c.Key = c.More ? QString::fromLatin1(trContKey.trimmed()) : QString();
    return c;
}
