// The real-time WebSocket's frames. The input is split at "\n--\n": the
// first part is a frame as received; the next three, when present, are the
// token, feed and code of a request frame.
//
// Checks:
//  - a frame read or refused: refused leaves nothing and says why, without
//    quoting the frame (a frame may echo the token); read, a record names
//    its feed;
//  - reading the same frame twice gives the same result;
//  - a request frame is JSON that gives back exactly the token, type, feed
//    and code it was made of.
#include "FuzzUtil.h"
#include "broker/WsFrame.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = SplitParts(InputBytes(data, size), QByteArrayLiteral("\n--\n"));
    TWsFrame f, again;
    QString err, err2;
    const bool ok = ParseWsFrame(parts.first(), f, &err);
    FUZZ_CHECK(ok == ParseWsFrame(parts.first(), again, &err2) && err == err2 && f.TrCd == again.TrCd
                   && f.Fields == again.Fields && f.Code == again.Code,
               QStringLiteral("the same frame read twice differs"));
    if (!ok) {
        FUZZ_CHECK(!err.isEmpty() && f.TrCd.isEmpty() && f.Fields.isEmpty(), QStringLiteral("a refusal left data: ") + err);
        FUZZ_CHECK(!err.contains(QLatin1String("SECRETTOKEN")), QStringLiteral("an error quoted the frame: ") + err);
    } else if (f.Data) {
        FUZZ_CHECK(!f.TrCd.isEmpty(), QStringLiteral("a record of no feed"));
    }
    if (parts.size() >= 4) {
        const QString token = QString::fromUtf8(parts[1]), cd = QString::fromUtf8(parts[2]), key = QString::fromUtf8(parts[3]);
        const QJsonObject r = QJsonDocument::fromJson(WsRequestFrame(token, TWsType::Subscribe, cd, key)).object();
        FUZZ_CHECK(r.value(QStringLiteral("header")).toObject().value(QStringLiteral("token")).toString() == token
                       && r.value(QStringLiteral("header")).toObject().value(QStringLiteral("tr_type")).toString() == QLatin1String("3")
                       && r.value(QStringLiteral("body")).toObject().value(QStringLiteral("tr_cd")).toString() == cd
                       && r.value(QStringLiteral("body")).toObject().value(QStringLiteral("tr_key")).toString() == key,
                   QStringLiteral("a request frame does not give back what it was made of"));
    }
    return 0;
}
