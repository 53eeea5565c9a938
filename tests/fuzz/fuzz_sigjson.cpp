// The signal service's "/lumen/latest" answer: any bytes. A refused body has
// a reason and no rows; the rows read are of kinds 1-4 with six-character
// codes of digits and capital letters, valid hhmm times, bounded texts, a
// price that is a finite number >= 0, one per key and in listing order.
#include "signals/SigFeed.h"

#include <QSet>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

bool ValidHhmm(const QString& t)
{
    if (t.size() != 4)
        return false;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return t.left(2).toInt() <= 23 && t.mid(2).toInt() <= 59;
}

void Check(const TSigAnswer& a)
{
    if (!a.Ok) {
        if (a.Error.isEmpty() || !a.Rows.isEmpty())
            std::abort();
        return;
    }
    if (a.Rows.size() > 4 * 2000 || a.Skipped < 0 || a.Date.size() > 32 || a.Updated.size() > 32)
        std::abort();
    QSet<QString> keys;
    for (qsizetype i = 0; i < a.Rows.size(); ++i) {
        const TSigRow& r = a.Rows.at(i);
        if (r.Kind < 1 || r.Kind > 4 || r.Code.size() != 6 || !ValidHhmm(r.T) || r.Val.size() > 32)
            std::abort();
        for (const QChar c : r.Code)
            if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))))
                std::abort();
        if (!std::isfinite(r.Ep) || r.Ep < 0 || keys.contains(r.Key))
            std::abort();
        keys.insert(r.Key);
        if (i > 0) {
            const TSigRow& p = a.Rows.at(i - 1);
            if (p.T < r.T || (p.T == r.T && p.Kind > r.Kind))
                std::abort();
        }
    }
    (void)SigUpdatedText(a.Updated);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    Check(ParseSigJson(body, nullptr));
    const TSigAnswer known = ParseSigJson(body, [](const QString& c) { return c.startsWith(QLatin1Char('0')); });
    Check(known);
    for (const TSigRow& r : known.Rows)
        if (!r.Code.startsWith(QLatin1Char('0')))
            std::abort();
    const QString text = QString::fromUtf8(body.left(64));
    const QString t = SigTimeHhmm(text);
    if (!t.isEmpty() && !ValidHhmm(t))
        std::abort();
    (void)NormSigCode(text);
    return 0;
}
