#include "news/NewsHtml.h"

#include "news/BoundedRx.h"

#include <QStringList>

namespace {

bool IsNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'!' || u == u'/' || (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

// The tag's name: leading "!", "/", digits and Latin letters, lower case; a
// name longer than one character loses a trailing "/" ("br/").
QString TagName(const QString& tag)
{
    qsizetype n = 0;
    while (n < tag.size() && IsNameChar(tag[n]))
        ++n;
    QString name = tag.left(n).toLower();
    if (name.size() > 1 && name.endsWith(QLatin1Char('/')))
        name.chop(1);
    return name;
}

// After the opening tag of a script or style element that ended at `after`:
// the position just past its close tag ("</" + name, any case, then the next
// ">"), or -1 when there is none.
qsizetype SkipElement(const QString& s, qsizetype after, const QString& name)
{
    const qsizetype close = s.indexOf(QStringLiteral("</") + name, after, Qt::CaseInsensitive);
    if (close < 0)
        return -1;
    const qsizetype gt = s.indexOf(QLatin1Char('>'), close + 2 + name.size());
    return gt < 0 ? -1 : gt + 1;
}

// Only addresses the link handler sends to the system browser may stay in
// the page; anything else (javascript:, file:, data:, relative paths the
// page would resolve against its own file) is dropped.
bool IsWebAddress(const QString& v)
{
    return v.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || v.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

// An address as written into the page: no raw "<" in it, so every "<" of
// the page opens one of the tags written here.
QString AttrValue(QString v)
{
    v.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    return v;
}

bool IsBreakTag(const QString& n)
{
    static const QStringList breaks = {
        u"br"_qs,    u"p"_qs,      u"/p"_qs,   u"div"_qs,   u"/div"_qs,        u"/tr"_qs,         u"li"_qs,
        u"/li"_qs,   u"table"_qs,  u"/table"_qs, u"h1"_qs,  u"h2"_qs,          u"h3"_qs,          u"h4"_qs,
        u"/h1"_qs,   u"/h2"_qs,    u"/h3"_qs,  u"/h4"_qs,   u"blockquote"_qs,  u"/blockquote"_qs, u"ul"_qs,
        u"/ul"_qs,   u"figure"_qs, u"/figure"_qs,
    };
    return breaks.contains(n);
}

// Runs of breaks: a run is one or more "<br>" (any case) each with the
// white space around it, as `(\s*<br>\s*)+` would match from the run's
// first character. One bounded pattern finds where a run starts, a second,
// anchored, adds its breaks one at a time: no repeat of a group inside a
// pattern (each repeat would be a level of backtracking, deep on a long run)
// and no start of a match inside white space (each such start would read the
// rest of the run again).
enum class TRunEdit { Collapse3, AtStart, AtEnd };

QString EditBreakRuns(const QString& text, TRunEdit edit, QString* problem)
{
    TRxWatch watch;
    const TRxText t(text);
    const TBoundedRx& first = TBoundedRx::Of(QStringLiteral("(?<!\\s)\\s*+<br>\\s*+"), true);
    const TBoundedRx& next = TBoundedRx::Of(QStringLiteral("\\s*+<br>\\s*+"), true);
    auto runFrom = [&](qsizetype start, qsizetype end, int& units) {
        units = 1;
        for (;;) {
            const TRxMatch m = next.Find(t, end, true);
            if (!m.Ok() || m.End == end)
                return end;
            end = m.End;
            ++units;
        }
    };
    QByteArray out;
    qsizetype copied = 0;
    bool changed = false;
    auto replace = [&](qsizetype b, qsizetype e, const char* with) {
        out.append(t.Utf8().constData() + copied, b - copied);
        out.append(with);
        copied = e;
        changed = true;
    };
    if (edit == TRunEdit::AtStart) {
        const TRxMatch m = next.Find(t, 0, true);
        if (m.Ok()) {
            int units;
            replace(0, runFrom(0, m.End, units), "");
        }
    } else {
        for (qsizetype pos = 0; pos < t.Size();) {
            const TRxMatch m = first.Find(t, pos);
            if (!m.Ok())
                break;
            int units;
            const qsizetype end = runFrom(m.Start, m.End, units);
            if (edit == TRunEdit::Collapse3 && units >= 3)
                replace(m.Start, end, "<br><br>");
            else if (edit == TRunEdit::AtEnd && end == t.Size())
                replace(m.Start, end, "");
            pos = end;
        }
    }
    if (watch.Hit()) {
        if (problem && problem->isEmpty())
            *problem = watch.Reason();
        return text;
    }
    if (!changed)
        return text;
    out.append(t.Utf8().constData() + copied, t.Size() - copied);
    return QString::fromUtf8(out);
}

// The text with script and style elements removed (an element without its
// close tag takes the rest of the text with it); everything else as is.
QString DropScripts(const QString& s)
{
    QString out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const qsizetype lt = s.indexOf(QLatin1Char('<'), i);
        if (lt < 0)
            break;
        const qsizetype gt = s.indexOf(QLatin1Char('>'), lt + 1);
        if (gt < 0)
            break;
        const QString name = TagName(s.mid(lt + 1, gt - lt - 1).trimmed());
        if (name == QLatin1String("script") || name == QLatin1String("style")) {
            out += QStringView(s).mid(i, lt - i);
            out += QLatin1Char(' ');
            const qsizetype next = SkipElement(s, gt + 1, name);
            if (next < 0)
                return out;
            i = next;
        } else {
            out += QStringView(s).mid(i, gt + 1 - i);
            i = gt + 1;
        }
    }
    out += QStringView(s).mid(i);
    return out;
}

int Px(int n, int dpi)
{
    return int(qint64(n) * dpi / 96);
}

// Bytes of the line in the Korean code page: one for ASCII, two for the
// rest (Hangul and Hanja are double-byte there).
int Cp949Len(const QString& s)
{
    int n = 0;
    for (QChar c : s)
        n += c.unicode() < 0x80 ? 1 : 2;
    return n;
}

} // namespace

QString HtmlEscape(const QString& text)
{
    QString s = text;
    s.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    s.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    s.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return s;
}

QString HtmlAttr(const QString& tag, const QString& name)
{
    const QString low = tag.toLower();
    const QString key = name + QLatin1Char('=');
    qsizetype at = -1;
    for (qsizetype from = 0;;) {
        const qsizetype k = low.indexOf(key, from);
        if (k < 0)
            break;
        if (k == 0 || low[k - 1] == u'\t' || low[k - 1] == u'\n' || low[k - 1] == u'\r' || low[k - 1] == u' ') {
            at = k;
            break;
        }
        from = k + 1;
    }
    if (at < 0)
        return QString();
    qsizetype b = at + key.size(), e;
    if (b < tag.size() && (tag[b] == u'"' || tag[b] == u'\'')) {
        const QChar q = tag[b];
        ++b;
        e = tag.indexOf(q, b);
        if (e < 0)
            e = tag.size();
    } else {
        e = b;
        while (e < tag.size() && tag[e] != u'\t' && tag[e] != u'\n' && tag[e] != u'\r' && tag[e] != u' '
               && tag[e] != u'>')
            ++e;
    }
    QString v = tag.mid(b, e - b);
    v.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    return v;
}

int OddCount(const QString& text)
{
    int n = 0;
    for (QChar c : text)
        if (c == u'?' || c == QChar(0xFFFD))
            ++n;
    return n;
}

QString OddSamples(const QString& text, int n)
{
    QStringList parts;
    for (qsizetype i = 0; i < text.size() && parts.size() < n; ++i) {
        if (text[i] != u'?' && text[i] != QChar(0xFFFD))
            continue;
        QString s = text.mid(qMax<qsizetype>(0, i - 8), 17);
        s.replace(QLatin1Char('\r'), QLatin1Char(' '));
        s.replace(QLatin1Char('\n'), QLatin1Char(' '));
        parts << QLatin1Char('"') + s + QLatin1Char('"');
    }
    return parts.join(QLatin1String("  |  "));
}

QString PickNewsBody(const QString& joined, const QString& whole)
{
    if (!whole.trimmed().isEmpty() && OddCount(whole) < OddCount(joined))
        return whole;
    return joined;
}

QString NormaliseNewsBody(const QString& text)
{
    QString s = text.trimmed();
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    s.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return s.isEmpty() ? QStringLiteral("(본문 없음)") : s;
}

QString CleanNewsHtml(const QString& html, QString* problem)
{
    QString out;
    out.reserve(html.size());
    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype lt = html.indexOf(QLatin1Char('<'), i);
        if (lt < 0) {
            out += QStringView(html).mid(i);
            break;
        }
        out += QStringView(html).mid(i, lt - i);
        const qsizetype gt = html.indexOf(QLatin1Char('>'), lt + 1);
        if (gt < 0) {
            // Copied as text: left as markup, the page's own closing tags
            // would complete it into a tag of the writer's choosing.
            out += HtmlEscape(html.mid(lt));
            break;
        }
        const QString tag = html.mid(lt + 1, gt - lt - 1).trimmed();
        const QString name = TagName(tag);
        i = gt + 1;
        if (name == QLatin1String("script") || name == QLatin1String("style")) {
            const qsizetype next = SkipElement(html, i, name);
            if (next < 0)
                break;
            i = next;
        } else if (name == QLatin1String("img")) {
            const QString src = HtmlAttr(tag, QStringLiteral("src")).trimmed();
            if (IsWebAddress(src))
                out += QStringLiteral("<img src=\"") + AttrValue(src) + QStringLiteral("\">");
        } else if (name == QLatin1String("a")) {
            const QString href = HtmlAttr(tag, QStringLiteral("href")).trimmed();
            out += IsWebAddress(href) ? QStringLiteral("<a href=\"") + AttrValue(href) + QStringLiteral("\">") : QStringLiteral("<a>");
        } else if (name == QLatin1String("/a")) {
            out += QStringLiteral("</a>");
        } else if (name == QLatin1String("b") || name == QLatin1String("strong")) {
            out += QStringLiteral("<b>");
        } else if (name == QLatin1String("/b") || name == QLatin1String("/strong")) {
            out += QStringLiteral("</b>");
        } else if (IsBreakTag(name)) {
            out += QStringLiteral("<br>");
        }
    }
    // Three or more breaks in a row become two, then breaks at the start and
    // at the end go (in this order: the end is trimmed after collapsing).
    out = EditBreakRuns(out, TRunEdit::Collapse3, problem);
    out = EditBreakRuns(out, TRunEdit::AtStart, problem);
    out = EditBreakRuns(out, TRunEdit::AtEnd, problem);
    return out;
}

QString HtmlToPlain(const QString& html, QString* problem)
{
    TRxWatch watch;
    // Script and style content is not text of the disclosure (a line of a
    // script must not become a number of the card).
    QString s = DropScripts(html);
    s = TBoundedRx::Of(QStringLiteral("<\\s*+(?:br|/tr|/p|/div|/li)\\s*+/?>"), true).ReplaceAll(TRxText(s), QStringLiteral("\n"));
    s = TBoundedRx::Of(QStringLiteral("</t[dh]\\s*+>"), true).ReplaceAll(TRxText(s), QStringLiteral(" "));
    // A tag holds no "<": a stray "<" in the text (3%<5%) is text and does
    // not swallow everything up to the next tag.
    s = TBoundedRx::Of(QStringLiteral("<[^<>]++>")).ReplaceAll(TRxText(s), QStringLiteral(" "));
    s.replace(QLatin1String("&nbsp;"), QLatin1String(" "), Qt::CaseInsensitive);
    s.replace(QLatin1String("&amp;"), QLatin1String("&"), Qt::CaseInsensitive);
    s.replace(QLatin1String("&lt;"), QLatin1String("<"), Qt::CaseInsensitive);
    s.replace(QLatin1String("&gt;"), QLatin1String(">"), Qt::CaseInsensitive);
    s = TBoundedRx::Of(QStringLiteral("[ \\t\\r]++")).ReplaceAll(TRxText(s), QStringLiteral(" "));
    if (watch.Hit() && problem)
        *problem = watch.Reason();
    return s;
}

QString NewsStyleSheet(int dpi)
{
    const int half = Px(32, dpi) / 2, pad = Px(32, dpi);
    return QStringLiteral("html,body{margin:0;background:#fff;}")
        + QStringLiteral("body{font-family:\"맑은 고딕\",\"Malgun Gothic\",sans-serif;font-size:%1px;line-height:1.85;color:#1e1e1e;")
              .arg(Px(19, dpi))
        + QStringLiteral("padding:%1px %2px %3px %4px;word-break:keep-all;word-wrap:break-word;}").arg(half).arg(pad).arg(pad).arg(pad)
        + QStringLiteral("img{display:block;max-width:100%;height:auto;margin:%1px auto;}").arg(half)
        + QStringLiteral("a{color:#1a5fb4;text-decoration:none;}") + QStringLiteral("b{color:#000;}");
}

QString NewsPage(const QString& body, int dpi, QString* problem)
{
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    QString joined;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        QString r = lines[k];
        qsizetype e = r.size();
        while (e > 0 && r[e - 1].isSpace())
            --e;
        r.truncate(e);
        if (!r.trimmed().isEmpty()) {
            joined += r;
            if (k + 1 < lines.size() && !lines[k + 1].trimmed().isEmpty()) {
                if (r.endsWith(QLatin1Char('>')))
                    joined += QLatin1Char('\n');
                else if (Cp949Len(r) < 70)
                    joined += QStringLiteral("<br>");
            }
        } else if (!joined.isEmpty()) {
            joined += QStringLiteral("<br><br>");
        }
    }
    return QStringLiteral("<!DOCTYPE html><html><head><meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">"
                          "<meta charset=\"utf-8\"><style>")
        + NewsStyleSheet(dpi) + QStringLiteral("</style></head><body>") + CleanNewsHtml(joined, problem)
        + QStringLiteral("</body></html>");
}

QString InsertCard(const QString& page, const QString& card)
{
    const qsizetype at = page.indexOf(QLatin1String("<body>"));
    if (card.isEmpty() || at < 0)
        return page;
    QString out = page;
    out.insert(at + 6, card);
    return out;
}

QString NewsNotePage(const QString& text, int dpi)
{
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>")
        + QStringLiteral("<body style=\"font-family:'맑은 고딕',sans-serif;color:#999;font-size:%1px;padding:%2px;\">")
              .arg(Px(17, dpi))
              .arg(Px(32, dpi))
        + HtmlEscape(text) + QStringLiteral("</body></html>");
}
