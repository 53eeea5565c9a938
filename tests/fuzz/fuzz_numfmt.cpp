// Numbers as the broker sends them and number pictures.
//
// Input: one line per case, "<op><text>":
//   n<text>            ParseNum / ParseInt of the text
//   f<picture>|<num>   FormatFloat / FormatInt64 / FormatUInt64 of the number
//                      (read with ParseInt / ParseNum) with the picture
//   t<num>             TickSize / TickUp / TickDown of the price
//   m<num>             NextMinute of the number and of the text
//   a<ref>|<vol>|<amt> AvgFromAmount
// Numbers for prices and minutes are read as the program reads them:
// int(ParseInt(text)).
#include "FuzzUtil.h"
#include "core/NumFmt.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Spaces, an optional sign, 1..18 digits, spaces: exactly the value.
bool PlainWhole(const QString& s, qint64* v)
{
    static const QRegularExpression re(QStringLiteral("^([+-]?)([0-9]{1,18})$"));
    const QRegularExpressionMatch m = re.match(s.trimmed());
    if (!m.hasMatch())
        return false;
    bool ok = false;
    const qint64 mag = m.captured(2).toLongLong(&ok);
    FUZZ_CHECK(ok, QStringLiteral("oracle cannot read ") + Shown(s));
    *v = m.captured(1) == QLatin1String("-") ? -mag : mag;
    return true;
}

void CheckParse(const QString& s)
{
    const double d = ParseNum(s);
    const qint64 i = ParseInt(s);
    FUZZ_CHECK(std::isfinite(d), QStringLiteral("ParseNum %1 is not finite").arg(Shown(s)));
    qint64 whole = 0;
    if (PlainWhole(s, &whole)) {
        FUZZ_CHECK(i == whole, QStringLiteral("ParseInt %1 = %2, not %3").arg(Shown(s)).arg(i).arg(whole));
        FUZZ_CHECK(d == double(whole), QStringLiteral("ParseNum %1 = %2").arg(Shown(s)).arg(d));
    }
    // ParseNum rounded half to even, clamped to the 64-bit range.
    const double r = std::nearbyint(d);
    qint64 want;
    if (r >= 9223372036854775808.0)
        want = std::numeric_limits<qint64>::max();
    else if (r < -9223372036854775808.0)
        want = std::numeric_limits<qint64>::min();
    else
        want = qint64(r);
    if (!PlainWhole(s, &whole))
        FUZZ_CHECK(i == want, QStringLiteral("ParseInt %1 = %2, ParseNum gives %3").arg(Shown(s)).arg(i).arg(d, 0, 'g', 17));
}

// Picture with no ';' and at least one digit placeholder outside quotes.
bool OneSectionWithDigits(const QString& pic)
{
    QChar quote;
    bool digit = false;
    for (const QChar c : pic) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u';') {
            return false;
        } else if (c == u'0' || c == u'#') {
            digit = true;
        }
    }
    return digit;
}

void CheckGrouped(const QString& text, const QString& plain, const char* what)
{
    static const QRegularExpression re(QStringLiteral("^-?[0-9]{1,3}(,[0-9]{3})*$"));
    FUZZ_CHECK(re.match(text).hasMatch(), QStringLiteral("%1 gives %2").arg(QLatin1String(what), Shown(text)));
    FUZZ_CHECK(QString(text).remove(QLatin1Char(',')) == plain,
               QStringLiteral("%1 gives %2, not the digits of %3").arg(QLatin1String(what), Shown(text), plain));
}

void CheckFormat(const QString& pic, const QString& numText)
{
    const double x = ParseNum(numText);
    const qint64 n = ParseInt(numText);
    const QString fx = FormatFloat(pic, x);
    const QString fn = FormatInt64(pic, n);
    FormatUInt64(pic, quint64(n));

    // Integers are printed exactly, and like the double wherever the double
    // holds them to 15 digits.
    if (n > -1000000000000000LL && n < 1000000000000000LL) {
        const QString viaDouble = FormatFloat(pic, double(n));
        FUZZ_CHECK(fn == viaDouble, QStringLiteral("picture %1, %2: FormatInt64 %3, FormatFloat %4")
                                        .arg(Shown(pic)).arg(n).arg(Shown(fn), Shown(viaDouble)));
    }
    CheckGrouped(FmtNum(n), QString::number(n), "FmtNum(qint64)");
    CheckGrouped(FormatUInt64(QStringLiteral("#,##0"), quint64(n)), QString::number(quint64(n)), "FormatUInt64");
    CheckGrouped(FormatInt64(QStringLiteral("#,##0"), n), QString::number(n), "FormatInt64 #,##0");

    // One section: a negative value is the positive text after a '-',
    // except when it rounds to zero, which never prints a minus sign.
    if (OneSectionWithDigits(pic) && std::isfinite(x) && x != 0) {
        const double a = std::fabs(x);
        const QString pos = FormatFloat(pic, a), neg = FormatFloat(pic, -a), zero = FormatFloat(pic, 0.0);
        if (pos == zero)
            FUZZ_CHECK(neg == zero, QStringLiteral("picture %1: -%2 prints %3, zero prints %4")
                                        .arg(Shown(pic)).arg(a, 0, 'g', 17).arg(Shown(neg), Shown(zero)));
        else
            FUZZ_CHECK(neg == QLatin1Char('-') + pos, QStringLiteral("picture %1: %2 prints %3, its negative %4")
                                                          .arg(Shown(pic)).arg(a, 0, 'g', 17).arg(Shown(pos), Shown(neg)));
    }
}

constexpr int kSizes[] = {1, 5, 10, 50, 100, 500, 1000};

void CheckTicks(int p)
{
    const int t = TickSize(p);
    FUZZ_CHECK(std::find(std::begin(kSizes), std::end(kSizes), t) != std::end(kSizes),
               QStringLiteral("TickSize(%1) = %2").arg(p).arg(t));
    // One step up; at the top of int the price stays there.
    const int up = TickUp(p);
    const bool top = p > std::numeric_limits<int>::max() - t;
    FUZZ_CHECK(top ? up == std::numeric_limits<int>::max() : up == p + t, QStringLiteral("TickUp(%1) = %2").arg(p).arg(up));
    const int down = TickDown(p);
    FUZZ_CHECK(p > 1 ? down < p : down == p, QStringLiteral("TickDown(%1) = %2").arg(p).arg(down));
    // A price on the grid moves one step and back.
    if (p >= 1 && p % t == 0 && !top) {
        FUZZ_CHECK(TickDown(up) == p, QStringLiteral("TickDown(TickUp(%1)) = %2").arg(p).arg(TickDown(up)));
        if (p > 1)
            FUZZ_CHECK(TickUp(down) == p, QStringLiteral("TickUp(TickDown(%1)) = %2").arg(p).arg(TickUp(down)));
    }
}

void CheckMinute(const QString& text)
{
    const int v = int(ParseInt(text));
    const int next = NextMinute(v);
    const int hh = v / 100, mm = v % 100;
    if (v >= 0 && hh <= 23 && mm <= 59) {
        const int want = mm == 59 ? (hh + 1) * 100 : v + 1;
        FUZZ_CHECK(next == want, QStringLiteral("NextMinute(%1) = %2").arg(v).arg(next));
    }
    bool ok = false;
    const int t = text.trimmed().toInt(&ok, 10);
    FUZZ_CHECK(NextMinute(text) == NextMinute(ok ? t : 0), QStringLiteral("NextMinute(%1)").arg(Shown(text)));
}

void CheckAvg(const QStringList& f)
{
    const double ref = ParseNum(f.value(0)), amt = ParseNum(f.value(2));
    const qint64 vol = ParseInt(f.value(1));
    const double avg = AvgFromAmount(ref, vol, amt);
    FUZZ_CHECK(std::isfinite(avg) && avg >= 0, QStringLiteral("AvgFromAmount(%1, %2, %3) = %4")
                                                   .arg(ref).arg(vol).arg(amt).arg(avg));
    if (ref > 0 && avg != 0)
        FUZZ_CHECK(std::fabs(avg / ref - 1.0) <= 0.3 + 1e-12,
                   QStringLiteral("AvgFromAmount(%1, %2, %3) = %4, more than 30 % off").arg(ref).arg(vol).arg(amt).arg(avg));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = InputBytes(data, size);
    int cases = 0;
    for (const QByteArray& raw : input.split('\n')) {
        if (raw.isEmpty() || ++cases > 64)
            continue;
        const QString text = QString::fromUtf8(raw.mid(1));
        switch (raw[0]) {
        case 'n':
            CheckParse(text);
            break;
        case 'f': {
            const qsizetype bar = text.lastIndexOf(QLatin1Char('|'));
            CheckFormat(bar < 0 ? text : text.left(bar), bar < 0 ? QString() : text.mid(bar + 1));
            break;
        }
        case 't':
            CheckTicks(int(ParseInt(text)));
            break;
        case 'm':
            CheckMinute(text);
            break;
        case 'a':
            CheckAvg(text.split(QLatin1Char('|')));
            break;
        default:
            break;
        }
    }
    return 0;
}
