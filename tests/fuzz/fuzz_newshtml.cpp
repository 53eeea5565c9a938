// News and disclosure bodies: cleaning for the page, plain text for the
// rules, and the summary card.
//
// Input: the first line is the headline caption the card rules see, the
// rest is the body (any bytes, read as UTF-8).
//
// Checks:
//  - CleanNewsHtml writes only <br>, <b>, </b>, <a>, </a>, <a href="http(s)://…">
//    and <img src="http(s)://…"> (no script, no handler, no other address,
//    no "<" left open), and cleaning its own output changes nothing;
//  - HtmlToPlain leaves no tab and no CR;
//  - a card is empty or one framed block, and there is none when a pattern
//    ran into its limit;
//  - no pattern runs into its limit on an input this small (every pattern
//    must stay near-linear per match attempt).
#include "FuzzUtil.h"
#include "news/NewsHtml.h"
#include "news/Summary.h"

#include <cstdint>

namespace {

bool WebValue(const QString& tag, const QString& prefix)
{
    if (!tag.startsWith(prefix) || !tag.endsWith(QLatin1Char('"')))
        return false;
    const QString v = tag.mid(prefix.size(), tag.size() - prefix.size() - 1);
    return !v.contains(QLatin1Char('"')) && !v.contains(QLatin1Char('<'))
        && (v.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
            || v.startsWith(QLatin1String("https://"), Qt::CaseInsensitive));
}

// The first tag CleanNewsHtml may not write, or empty.
QString ForeignTag(const QString& html)
{
    for (qsizetype i = html.indexOf(QLatin1Char('<')); i >= 0;) {
        const qsizetype gt = html.indexOf(QLatin1Char('>'), i);
        if (gt < 0)
            return html.mid(i, 60);
        const QString tag = html.mid(i + 1, gt - i - 1);
        if (tag == QLatin1String("br") || tag == QLatin1String("b") || tag == QLatin1String("/b")
            || tag == QLatin1String("a") || tag == QLatin1String("/a") || WebValue(tag, QStringLiteral("a href=\""))
            || WebValue(tag, QStringLiteral("img src=\""))) {
            i = html.indexOf(QLatin1Char('<'), gt);
            continue;
        }
        return tag;
    }
    return QString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    const QString input = QString::fromUtf8(InputBytes(data, size));
    const qsizetype nl = input.indexOf(QLatin1Char('\n'));
    const QString title = nl < 0 ? input : input.left(nl);
    const QString body = nl < 0 ? QString() : input.mid(nl + 1);

    QString problem;
    const QString clean = CleanNewsHtml(body, &problem);
    FUZZ_CHECK(problem.isEmpty(), QStringLiteral("CleanNewsHtml hit a limit: ") + problem);
    const QString foreign = ForeignTag(clean);
    FUZZ_CHECK(foreign.isEmpty(), QStringLiteral("tag %1 in %2").arg(Shown(foreign), Shown(clean)));
    const QString again = CleanNewsHtml(clean);
    FUZZ_CHECK(again == clean, QStringLiteral("cleaning twice: %1 -> %2").arg(Shown(clean), Shown(again)));

    const QString plain = HtmlToPlain(body, &problem);
    FUZZ_CHECK(problem.isEmpty(), QStringLiteral("HtmlToPlain hit a limit: ") + problem);
    FUZZ_CHECK(!plain.contains(QLatin1Char('\t')) && !plain.contains(QLatin1Char('\r')),
               QStringLiteral("tab or CR left in %1").arg(Shown(plain)));

    const QString card = SummaryCard(title, body, &problem);
    FUZZ_CHECK(problem.isEmpty(), QStringLiteral("SummaryCard hit a limit: ") + problem);
    FUZZ_CHECK(card.isEmpty()
                   || (card.startsWith(QLatin1String("<div style=\"background:#fff7e0;")) && card.endsWith(QLatin1String("</div>"))),
               QStringLiteral("card %1").arg(Shown(card)));
    return 0;
}
