// The simulated service host's answers and the news wire's key lookup: any
// bytes as a request target, and as a news key.
//
// Input: two parts separated by a line "@@": the request target (path and
// query, as a client sends it) and a news key as the body query gets it.
//
// Checks:
//  - every target gets 200, 400, 404 or 503;
//  - 200 for the news archive only for a well-formed day not after today,
//    whose body is UTF-8 lines of six TAB fields dated that day, each ended
//    by CR LF;
//  - the signal paths (/lumen/latest, /lumen/series?code=, /lumen/pub?n=lmtop
//    with any t=) answer a JSON object of their shape; a series is refused
//    (400) exactly when its code, trimmed and upper-cased, is not a valid
//    ISIN, and has rows only for a tracked stock;
//  - a key is found only when it is the key of the headline it leads to.
#include "FuzzUtil.h"
#include "core/Clock.h"
#include "sim/SimExchange.h"
#include "sim/SimNews.h"
#include "sim/SimService.h"
#include "sim/SimSignals.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrlQuery>

#include <cstdint>
#include <memory>

namespace {

struct TWorld {
    TTestClock Clock;   // Thursday 2026-12-10 09:30
    std::unique_ptr<TSimExchange> Ex;
    std::unique_ptr<TSimService> Svc;
    TWorld()
    {
        TSimConfig cfg;
        cfg.PumpMs = 0;
        Ex = std::make_unique<TSimExchange>(cfg, Clock);
        Svc = std::make_unique<TSimService>(*Ex);
        Ex->Signals()->WaitIdle();   // the signal paths answer from the start
    }
};

TWorld& World()
{
    static TWorld w;
    return w;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = SplitParts(InputBytes(data, size), QByteArrayLiteral("\n@@\n"));
    const QString target = QString::fromUtf8(parts.value(0));
    const QString key = QString::fromUtf8(parts.value(1));
    TWorld& w = World();

    const TSimServiceReply r = w.Svc->Get(target);
    FUZZ_CHECK(r.Status == 200 || r.Status == 400 || r.Status == 404 || r.Status == 503,
               QStringLiteral("status %1").arg(r.Status));
    const int q = target.indexOf(QLatin1Char('?'));
    const QString path = q < 0 ? target : target.left(q);
    const QUrlQuery query(q < 0 ? QString() : target.mid(q + 1));
    const QString n = query.queryItemValue(QStringLiteral("n"));
    const bool news = path == QStringLiteral("/lumen/news");
    const bool latest = path == QStringLiteral("/lumen/latest");
    const bool series = path == QStringLiteral("/lumen/series");
    const bool top = path == QStringLiteral("/lumen/pub") && n == QStringLiteral("lmtop");
    const bool ad = path == QStringLiteral("/lumen/pub") && n == QStringLiteral("newsad");
    FUZZ_CHECK(r.Status != 503, QStringLiteral("not ready: ") + target);
    if (r.Status == 200)
        FUZZ_CHECK(news || latest || series || top || ad, QStringLiteral("200 for ") + target);
    if (series) {
        const QString isin = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded).trimmed().toUpper();
        FUZZ_CHECK((r.Status == 400) == !IsValidIsin(isin), QStringLiteral("series status %1 for ").arg(r.Status) + isin);
    }
    if (r.Status == 200 && (latest || series || top)) {
        FUZZ_CHECK(r.ContentType.startsWith("application/json"), QStringLiteral("content type of ") + target);
        QJsonParseError err;
        const QJsonDocument doc = QJsonDocument::fromJson(r.Body, &err);
        FUZZ_CHECK(err.error == QJsonParseError::NoError && doc.isObject(), QStringLiteral("not a JSON object: ") + target);
        const QJsonObject o = doc.object();
        FUZZ_CHECK(QRegularExpression(QStringLiteral("^\\d{8}$")).match(o.value(QStringLiteral("date")).toString()).hasMatch(),
                   QStringLiteral("date of ") + target);
        if (latest) {
            for (const char* name : {"lm03", "lm03r", "lm08", "lm08r"})
                FUZZ_CHECK(o.value(QLatin1String(name)).isArray(), QStringLiteral("latest lacks ") + QLatin1String(name));
        } else if (series) {
            const QString isin = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded).trimmed().toUpper();
            const QJsonArray rows = o.value(QStringLiteral("rows")).toArray();
            FUZZ_CHECK(rows.isEmpty() || w.Ex->Signals()->Snapshot()->ByIsin(isin), QStringLiteral("rows for ") + isin);
            for (const QJsonValue& row : rows)
                FUZZ_CHECK(row.toArray().size() == 3, QStringLiteral("series row"));
        } else {
            FUZZ_CHECK(o.value(QStringLiteral("items")).isArray(), QStringLiteral("lmtop lacks items"));
        }
    }
    if (r.Status == 200 && news) {
        const QString d = query.queryItemValue(QStringLiteral("d"));
        FUZZ_CHECK(QRegularExpression(QStringLiteral("^\\d{8}$")).match(d).hasMatch() && d <= QStringLiteral("20261210"),
                   QStringLiteral("200 for the day ") + d);
        const QString text = QString::fromUtf8(r.Body);
        FUZZ_CHECK(text.toUtf8() == r.Body, QStringLiteral("archive not UTF-8"));
        FUZZ_CHECK(text.isEmpty() || text.endsWith(QStringLiteral("\r\n")), QStringLiteral("last line not ended"));
        QStringList lines = text.split(QStringLiteral("\r\n"));
        lines.removeLast();
        for (const QString& l : lines) {
            const QStringList f = l.split(QLatin1Char('\t'));
            FUZZ_CHECK(f.size() == 6 && f[0] == d && !l.contains(QLatin1Char('\n')) && !l.contains(QLatin1Char('\r')),
                       QStringLiteral("line %1").arg(l.left(200)));
        }
    }

    TSimNewsItem it;
    if (w.Ex->News()->Find(key, &it))
        FUZZ_CHECK(it.Key == key, QStringLiteral("key %1 led to %2").arg(key.left(40), it.Key));
    return 0;
}
