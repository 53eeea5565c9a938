#include "core/NumFmt.h"

#include "core/Clock.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace {
// A plain whole number (spaces around, one leading sign, up to 18 digits):
// what the broker sends for prices and quantities, read without the general
// parser. False for anything else (decimals, exponents, text, longer numbers).
bool PlainInt(const QString& s, qint64* out)
{
    const QChar* p = s.constData();
    const QChar* e = p + s.size();
    while (p < e && p->isSpace())
        ++p;
    while (e > p && (e - 1)->isSpace())
        --e;
    bool neg = false;
    if (p < e && (*p == u'+' || *p == u'-')) {
        neg = *p == u'-';
        ++p;
    }
    if (p == e || e - p > 18)
        return false;
    qint64 v = 0;
    for (; p < e; ++p) {
        const char16_t c = p->unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
    }
    *out = neg ? -v : v;
    return true;
}
}  // namespace

double ParseNum(const QString& s)
{
    qint64 whole = 0;
    if (PlainInt(s, &whole))
        return double(whole);
    QString t = s.trimmed();
    if (t.startsWith(QLatin1Char('+')))
        t.remove(0, 1);
    if (t.isEmpty())
        return 0;
    bool ok = false;
    const double v = t.toDouble(&ok); // C locale: '.' decimal point, no grouping
    if (!ok || !std::isfinite(v))
        return 0;
    return v;
}

qint64 ParseInt(const QString& s)
{
    qint64 whole = 0;
    if (PlainInt(s, &whole))
        return whole;
    const double r = std::nearbyint(ParseNum(s)); // default rounding: half to even
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (r >= kLimit)
        return std::numeric_limits<qint64>::max();
    if (r < -kLimit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(r);
}

int ParseInt32(const QString& s)
{
    const qint64 v = ParseInt(s);
    return v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min() ? 0 : int(v);
}

namespace {

enum class TTokKind { Zero, Hash, Point, Comma, Literal };

struct TTok {
    TTokKind Kind;
    QString Text; // literal text
};

// Splits a picture at ';' outside quotes.
QStringList SplitSections(const QString& pic)
{
    QStringList out;
    QString cur;
    QChar quote;
    for (const QChar c : pic) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char(';')) {
            out << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    out << cur;
    return out;
}

struct TSection {
    std::vector<TTok> Toks;
    int IntPH = 0;   // digit placeholders before the point
    int MinInt = 0;  // integer digits always printed
    int FracPH = 0;  // digit placeholders after the point
    int MinFrac = 0; // fraction digits always printed
    bool Group = false;
    bool HasPoint = false;
};

TSection AnalyzeSection(const QString& text)
{
    TSection s;
    QString lit;
    auto flushLit = [&] {
        if (!lit.isEmpty()) {
            s.Toks.push_back({TTokKind::Literal, lit});
            lit.clear();
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype end = text.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? text.size() : end;
            lit += text.mid(i + 1, stop - i - 1);
            i = stop;
            continue;
        }
        TTokKind k;
        if (c == QLatin1Char('0'))
            k = TTokKind::Zero;
        else if (c == QLatin1Char('#'))
            k = TTokKind::Hash;
        else if (c == QLatin1Char('.'))
            k = TTokKind::Point;
        else if (c == QLatin1Char(','))
            k = TTokKind::Comma;
        else {
            lit += c;
            continue;
        }
        if (k == TTokKind::Point && s.HasPoint)
            continue; // only the first point counts
        flushLit();
        s.Toks.push_back({k, QString()});
        if (k == TTokKind::Comma) {
            s.Group = true;
        } else if (k == TTokKind::Point) {
            s.HasPoint = true;
        } else if (!s.HasPoint) {
            if (k == TTokKind::Zero && s.MinInt == 0)
                s.MinInt = 1; // counts itself; grows with every later placeholder
            else if (s.MinInt > 0)
                ++s.MinInt;
            ++s.IntPH;
        } else {
            ++s.FracPH;
            if (k == TTokKind::Zero)
                s.MinFrac = s.FracPH;
        }
    }
    flushLit();
    return s;
}

// The decimal text of a magnitude: Digits with the decimal point after the
// first PointPos of them (PointPos may lie beyond either end; missing digits
// are zeros).
struct TDigits {
    std::string Digits;
    long PointPos = 1;
};

// |a| at 15 significant digits.
TDigits DoubleDigits(double a)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(a));
    // buf: d.dddddddddddddde[+-]xx
    TDigits v;
    v.Digits += buf[0];
    const char* p = buf + 2;
    while (*p >= '0' && *p <= '9')
        v.Digits += *p++;
    const int exp = (*p == 'e') ? std::atoi(p + 1) : 0;
    v.PointPos = exp + 1; // digits before the decimal point
    if (v.Digits.find_first_not_of('0') == std::string::npos)
        v.PointPos = 1;
    return v;
}

// Every digit of an integer magnitude.
TDigits IntegerDigits(quint64 m)
{
    TDigits v;
    v.Digits = std::to_string(m);
    v.PointPos = static_cast<long>(v.Digits.size());
    return v;
}

// The value rounded half away from zero to `frac` decimals. IntDigits has no
// leading zeros ("" for 0); FracDigits has exactly `frac` digits.
struct TDecimal {
    QString IntDigits;
    QString FracDigits;
    bool IsZero() const
    {
        if (!IntDigits.isEmpty())
            return false;
        for (const QChar c : FracDigits)
            if (c != QLatin1Char('0'))
                return false;
        return true;
    }
};

TDecimal RoundDigits(TDigits v, int frac)
{
    std::string& digits = v.Digits;
    long pointPos = v.PointPos;
    const long keep = pointPos + frac;
    if (keep < 0) {
        digits.clear();
    } else if (keep < static_cast<long>(digits.size())) {
        const bool up = digits[keep] >= '5';
        digits.resize(keep);
        if (up) {
            long i = keep - 1;
            while (i >= 0 && digits[i] == '9')
                digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {
                digits.insert(digits.begin(), '1');
                ++pointPos;
            }
        }
    }

    TDecimal d;
    const long len = static_cast<long>(digits.size());
    for (long i = 0; i < pointPos; ++i)
        d.IntDigits += QLatin1Char(i < len ? digits[i] : '0');
    while (d.IntDigits.startsWith(QLatin1Char('0')))
        d.IntDigits.remove(0, 1);
    for (long i = pointPos; i < pointPos + frac; ++i)
        d.FracDigits += QLatin1Char(i >= 0 && i < len ? digits[i] : '0');
    return d;
}

QString ApplySection(const TSection& s, const TDecimal& d, bool minus)
{
    QString I = d.IntDigits;
    if (I.size() < s.MinInt)
        I = QString(s.MinInt - I.size(), QLatin1Char('0')) + I;
    QString F = d.FracDigits;
    while (F.size() > s.MinFrac && F.endsWith(QLatin1Char('0')))
        F.chop(1);

    const int n = static_cast<int>(I.size());
    QString out;
    if (minus)
        out += QLatin1Char('-');
    auto emitInt = [&](int pos) { // pos counted from the right, 0 = units
        out += I[n - 1 - pos];
        if (s.Group && pos > 0 && pos % 3 == 0)
            out += QLatin1Char(',');
    };
    auto emitAllInt = [&] {
        for (int pos = n - 1; pos >= 0; --pos)
            emitInt(pos);
    };

    int intIdx = 0, fracIdx = 0;
    bool afterPoint = false;
    for (const TTok& t : s.Toks) {
        switch (t.Kind) {
        case TTokKind::Literal:
            out += t.Text;
            break;
        case TTokKind::Comma:
            break;
        case TTokKind::Point:
            if (s.IntPH == 0)
                emitAllInt();
            if (!F.isEmpty())
                out += QLatin1Char('.');
            afterPoint = true;
            break;
        case TTokKind::Zero:
        case TTokKind::Hash:
            if (!afterPoint) {
                const int pos = s.IntPH - 1 - intIdx;
                if (intIdx == 0)
                    for (int p = n - 1; p > pos; --p)
                        emitInt(p); // digits beyond the placeholders
                if (pos < n)
                    emitInt(pos);
                ++intIdx;
            } else {
                if (fracIdx < F.size())
                    out += F[fracIdx];
                ++fracIdx;
            }
            break;
        }
    }
    return out;
}

// Picks the section for a value given as its sign and decimal text, rounds
// to that section's decimals and prints it.
QString FormatDigits(const QString& picture, bool negative, const TDigits& v)
{
    const QStringList secs = SplitSections(picture);
    auto sectionText = [&](int i) -> QString {
        // A missing or empty section falls back to the first one.
        return (i < secs.size() && !secs[i].isEmpty()) ? secs[i] : secs[0];
    };
    const bool hasNeg = secs.size() > 1 && !secs[1].isEmpty();
    const bool hasZero = secs.size() > 2 && !secs[2].isEmpty();

    const bool useNeg = negative && hasNeg;
    const TSection sec = AnalyzeSection(sectionText(useNeg ? 1 : 0));
    const TDecimal d = RoundDigits(v, sec.FracPH);
    if (d.IsZero()) {
        const TSection zs = AnalyzeSection(sectionText(hasZero ? 2 : 0));
        return ApplySection(zs, RoundDigits(TDigits{"0", 1}, zs.FracPH), false);
    }
    return ApplySection(sec, d, negative && !useNeg);
}

} // namespace

QString FormatFloat(const QString& picture, double x)
{
    if (std::isnan(x))
        return QStringLiteral("NAN");
    if (std::isinf(x))
        return x < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (picture.isEmpty())
        return QString::number(x, 'g', 15);
    return FormatDigits(picture, x < 0, DoubleDigits(x));
}

QString FormatInt64(const QString& picture, qint64 x)
{
    if (picture.isEmpty())
        return QString::number(x);
    // The magnitude in unsigned arithmetic, so INT64_MIN needs no special case.
    const quint64 m = x < 0 ? quint64(0) - static_cast<quint64>(x) : static_cast<quint64>(x);
    return FormatDigits(picture, x < 0, IntegerDigits(m));
}

QString FormatUInt64(const QString& picture, quint64 x)
{
    if (picture.isEmpty())
        return QString::number(x);
    return FormatDigits(picture, false, IntegerDigits(x));
}

QString FmtNum(double x)
{
    return FormatFloat(QStringLiteral("#,##0"), x);
}

int TickSize(int p)
{
    if (p < 2000)
        return 1;
    if (p < 5000)
        return 5;
    if (p < 20000)
        return 10;
    if (p < 50000)
        return 50;
    if (p < 200000)
        return 100;
    if (p < 500000)
        return 500;
    return 1000;
}

int TickUp(int p)
{
    // No price is that high; the top of int stays there instead of wrapping.
    const int t = TickSize(p);
    return p > std::numeric_limits<int>::max() - t ? std::numeric_limits<int>::max() : p + t;
}

int TickDown(int p)
{
    return p > 1 ? p - TickSize(p - 1) : p;
}

int NextMinute(int hhmm)
{
    // Worked in 64 bits: a garbage time near the ends of int must not wrap.
    const qint64 m = qint64(hhmm % 100) + qint64(hhmm / 100) * 60 + 1;
    const qint64 r = (m / 60) * 100 + m % 60;
    return int(std::clamp<qint64>(r, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int NextMinute(const QString& hhmm)
{
    bool ok = false;
    const int v = hhmm.trimmed().toInt(&ok, 10);
    return NextMinute(ok ? v : 0);
}

double AvgFromAmount(double ref, qint64 vol, double amt)
{
    if (vol <= 0 || !(amt > 0))
        return 0;
    const double units[] = {1.0, 1000.0, 1000000.0};
    if (!(ref > 0))
        return amt / static_cast<double>(vol);
    double best = 0, bestDev = 0;
    bool first = true;
    for (const double u : units) {
        const double c = amt * u / static_cast<double>(vol);
        const double dev = std::fabs(c / ref - 1.0);
        if (first || dev < bestDev) {
            best = c;
            bestDev = dev;
            first = false;
        }
    }
    return bestDev > 0.3 ? 0 : best;
}

QString MaskAcct(const QString& s)
{
    const QString t = s.trimmed();
    if (t.size() <= 3)
        return t;
    return QString(t.size() - 3, QLatin1Char('*')) + t.right(3);
}

QString TodayStr(const TClock& clock)
{
    return clock.Now().date().toString(QStringLiteral("yyyyMMdd"));
}

QString TodayStr()
{
    return TodayStr(SystemClock());
}

bool IsCodeShape(const QString& code)
{
    if (code.size() != 6)
        return false;
    for (const QChar c : code) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z')))
            return false;
    }
    return true;
}
