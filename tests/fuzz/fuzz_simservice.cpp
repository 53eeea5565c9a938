// The simulated service host's answers and the news wire's key lookup: any
// bytes as a request target, and as a news key.
//
// Input: two parts separated by a line "@@": the request target (path and
// query, as a client sends it) and a news key as the body query gets it.
//
// Checks:
//  - every target gets 200, 400 or 404; 200 only for the news archive of a
//    well-formed day not after today, whose body is UTF-8 lines of six TAB
//    fields dated that day, each ended by CR LF;
//  - a key is found only when it is the key of the headline it leads to.
#include "FuzzUtil.h"
#include "core/Clock.h"
#include "sim/SimExchange.h"
#include "sim/SimNews.h"
#include "sim/SimService.h"

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
    FUZZ_CHECK(r.Status == 200 || r.Status == 400 || r.Status == 404, QStringLiteral("status %1").arg(r.Status));
    if (r.Status == 200) {
        const int q = target.indexOf(QLatin1Char('?'));
        FUZZ_CHECK(q > 0 && target.left(q) == QStringLiteral("/lumen/news"), QStringLiteral("200 for ") + target);
        const QString d = QUrlQuery(target.mid(q + 1)).queryItemValue(QStringLiteral("d"));
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
