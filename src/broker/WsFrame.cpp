#include "broker/WsFrame.h"
#include "broker/RestTr.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {
QString TextOf(const QJsonValue& v) { return RestFieldText(v, false); }
} // namespace

QByteArray WsRequestFrame(const QString& token, TWsType type, const QString& trCd, const QString& trKey)
{
    const QJsonObject frame{
        {QStringLiteral("header"), QJsonObject{{QStringLiteral("token"), token},
                                               {QStringLiteral("tr_type"), QString::number(int(type))}}},
        {QStringLiteral("body"), QJsonObject{{QStringLiteral("tr_cd"), trCd}, {QStringLiteral("tr_key"), trKey}}},
    };
    return QJsonDocument(frame).toJson(QJsonDocument::Compact);
}

bool ParseWsFrame(const QByteArray& frame, TWsFrame& out, QString* err)
{
    out = TWsFrame();
    auto fail = [&](const QString& why) {
        if (err)
            *err = why;
        out = TWsFrame();
        return false;
    };
    if (frame.size() > KWsMaxFrame)
        return fail(QStringLiteral("실시간 프레임이 너무 큼 (%1바이트)").arg(frame.size()));
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(frame, &pe);
    if (pe.error != QJsonParseError::NoError)
        return fail(QStringLiteral("실시간 프레임을 읽을 수 없음: %1 (위치 %2)").arg(pe.errorString()).arg(pe.offset));
    if (!doc.isObject())
        return fail(QStringLiteral("실시간 프레임이 JSON 객체가 아님"));
    const QJsonObject root = doc.object();
    const QJsonValue header = root.value(QLatin1String("header"));
    if (!header.isObject())
        return fail(QStringLiteral("실시간 프레임에 header가 없음"));
    const QJsonObject h = header.toObject();
    out.TrCd = TextOf(h.value(QLatin1String("tr_cd"))).trimmed();
    out.TrKey = TextOf(h.value(QLatin1String("tr_key"))).trimmed();
    out.Code = TextOf(h.value(QLatin1String("rsp_cd"))).trimmed();
    out.Msg = TextOf(h.value(QLatin1String("rsp_msg"))).trimmed();
    if (out.TrCd.isEmpty() && out.Code.isEmpty())
        return fail(QStringLiteral("실시간 프레임에 tr_cd가 없음"));
    const QJsonValue body = root.value(QLatin1String("body"));
    if (body.isObject()) {
        if (out.TrCd.isEmpty())
            return fail(QStringLiteral("실시간 레코드에 tr_cd가 없음"));
        const QJsonObject b = body.toObject();
        out.Fields.reserve(b.size());
        for (auto it = b.begin(); it != b.end(); ++it)
            out.Fields.insert(it.key(), TextOf(it.value()));
        out.Data = true;
    } else if (!body.isNull() && !body.isUndefined()) {
        return fail(QStringLiteral("%1 실시간 프레임의 body가 객체가 아님").arg(out.TrCd.left(8)));
    }
    if (err)
        err->clear();
    return true;
}
