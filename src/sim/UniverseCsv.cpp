// Universe file reader (declared in Universe.h).
#include "sim/Universe.h"
#include "core/SafeFile.h"
#include <QFile>
#include <QLocale>
#include <QStringDecoder>
#include <cmath>

namespace {

constexpr qint64 kMaxFileBytes = 64ll * 1024 * 1024;
constexpr int kMaxProblems = 10;

struct TCsvRecord {
    int Line = 0;          // 1-based line where the record starts
    QStringList Fields;
    bool Broken = false;   // a quoted field was never closed
};

// RFC 4180 style: fields separated by commas, records by CR, LF or CRLF;
// a field starting with a double quote runs to the matching quote, "" is a
// quote inside it, and it may hold commas and line breaks.
QVector<TCsvRecord> ParseCsv(const QString& text)
{
    QVector<TCsvRecord> out;
    TCsvRecord rec;
    QString field;
    int line = 1;
    rec.Line = 1;
    const int n = text.size();
    int i = 0;
    bool fieldStarted = false;
    auto endField = [&]() {
        rec.Fields << field;
        field.clear();
        fieldStarted = false;
    };
    auto endRecord = [&]() {
        endField();
        out << rec;
        rec = TCsvRecord();
        rec.Line = line;
    };
    while (i < n) {
        const QChar c = text[i];
        if (c == u'"' && !fieldStarted && field.isEmpty()) {
            // Quoted field.
            fieldStarted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar d = text[i];
                if (d == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (d == u'\n' || (d == u'\r' && !(i + 1 < n && text[i + 1] == u'\n')))
                    ++line;
                field += d;
                ++i;
            }
            if (!closed)
                rec.Broken = true;
            continue;
        }
        if (c == u',') {
            endField();
            ++i;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            ++i;
            ++line;
            endRecord();
            continue;
        }
        field += c;
        fieldStarted = true;
        ++i;
    }
    if (!field.isEmpty() || !rec.Fields.isEmpty() || rec.Broken)
        endRecord();
    return out;
}

bool IsBlank(const TCsvRecord& r)
{
    for (const QString& f : r.Fields)
        if (!f.trimmed().isEmpty())
            return false;
    return true;
}

QString NormHeader(QString h)
{
    h = h.trimmed().toLower();
    h.remove(u' ');
    h.remove(u'_');
    h.remove(u'-');
    h.remove(u'.');
    return h;
}

enum TCol { cCode, cIsin, cName, cMarket, cPrice, cVolume, cShares, cEtf, cCount };

int ColumnOf(const QString& header)
{
    static const QHash<QString, int> aliases = [] {
        QHash<QString, int> m;
        auto add = [&](int col, std::initializer_list<const char*> names) {
            for (const char* s : names)
                m.insert(NormHeader(QString::fromUtf8(s)), col);
        };
        add(cCode, {"code", "shcode", "shortcode", "stockcode", "ticker", "symbol", "종목코드", "단축코드", "코드"});
        add(cIsin, {"isin", "isincode", "isu_cd", "expcode", "표준코드", "확장코드"});
        add(cName, {"name", "hname", "stockname", "isu_nm", "isu_abbrv", "종목명", "한글명", "한글종목명", "이름"});
        add(cMarket, {"market", "mkt", "marketname", "시장", "시장구분"});
        add(cPrice, {"price", "close", "prevclose", "jnilclose", "lastprice", "종가", "전일종가", "현재가", "기준가"});
        add(cVolume, {"volume", "prevvolume", "jnilvolume", "거래량", "전일거래량"});
        add(cShares, {"shares", "stocks", "listedshares", "상장주식수", "상장주식"});
        add(cEtf, {"etf", "etfgubun", "etf구분"});
        return m;
    }();
    return aliases.value(NormHeader(header), -1);
}

const char* const kColNames[cCount] = {"code", "isin", "name", "market", "price", "volume", "shares", "etf"};

bool ParseNumber(QString s, double* v)
{
    s = s.trimmed();
    s.remove(u',');
    s.remove(u' ');
    if (s.startsWith(u'+'))
        s.remove(0, 1);
    bool ok = false;
    const double d = QLocale::c().toDouble(s, &ok);
    if (!ok || !std::isfinite(d))
        return false;
    *v = d;
    return true;
}

// 0 KOSPI, 1 KOSDAQ, 2 KONEX, -1 unknown.
int MarketOf(const QString& text)
{
    const QString t = text.trimmed().toUpper();
    if (t == u"KOSPI" || t == u"STK" || t == u"1" || t == QString::fromUtf8("코스피")
        || t == QString::fromUtf8("유가증권") || t == QString::fromUtf8("유가"))
        return 0;
    if (t.startsWith(u"KOSDAQ") || t == u"KSQ" || t == u"2" || t.startsWith(QString::fromUtf8("코스닥")))
        return 1;
    if (t.startsWith(u"KONEX") || t == u"KNX" || t == QString::fromUtf8("코넥스"))
        return 2;
    return -1;
}

QString NormCode(QString c)
{
    c = c.trimmed().toUpper();
    if (c.size() == 7 && c.startsWith(u'A'))
        c.remove(0, 1);
    bool digits = !c.isEmpty() && c.size() < 6;
    for (QChar ch : c)
        digits = digits && ch.isDigit();
    if (digits)  // a spreadsheet dropped the leading zeros
        c = c.rightJustified(6, u'0');
    return c;
}

bool DecodeText(const QByteArray& bytes, QString* text)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString s = utf8(bytes);
    if (utf8.hasError()) {
        QStringDecoder cp949("CP949");
        if (!cp949.isValid())
            return false;
        s = cp949(bytes);
        if (cp949.hasError())
            return false;
    }
    if (s.startsWith(QChar(0xFEFF)))
        s.remove(0, 1);
    *text = s;
    return true;
}

} // namespace

bool LoadUniverseCsv(const QString& path, TUniverse& out, QString* err, TUniverseCsvReport* report)
{
    TUniverseCsvReport rep;
    auto fail = [&](const QString& why) {
        if (err)
            *err = QStringLiteral("종목 파일 %1: %2").arg(path, why);
        if (report)
            *report = rep;
        return false;
    };

    const TFileRead f = ReadRegularFile(path, kMaxFileBytes);
    if (f.State == TFileRead::Missing)
        return fail(QStringLiteral("열 수 없음 (파일이 없습니다)"));
    if (f.State == TFileRead::Refused)
        return fail(QStringLiteral("열 수 없음 (%1)").arg(f.Why));
    const QByteArray& bytes = f.Bytes;

    QString text;
    if (!DecodeText(bytes, &text))
        return fail(QStringLiteral("UTF-8(또는 CP949) 글자가 아님"));

    const QVector<TCsvRecord> recs = ParseCsv(text);
    int h = 0;
    while (h < recs.size() && IsBlank(recs[h]))
        ++h;
    if (h >= recs.size())
        return fail(QStringLiteral("빈 파일"));

    int col[cCount];
    std::fill(std::begin(col), std::end(col), -1);
    const QStringList& header = recs[h].Fields;
    for (int i = 0; i < header.size(); ++i) {
        const int c = ColumnOf(header[i]);
        if (c >= 0 && col[c] < 0)
            col[c] = i;
    }
    QStringList missing;
    for (int c : {cCode, cName, cMarket, cPrice})
        if (col[c] < 0)
            missing << QString::fromLatin1(kColNames[c]);
    if (!missing.isEmpty())
        return fail(QStringLiteral("머리줄에 %1 칸이 없음").arg(missing.join(QStringLiteral(", "))));

    auto skip = [&](int line, const QString& why) {
        ++rep.Skipped;
        if (rep.Problems.size() < kMaxProblems)
            rep.Problems << QStringLiteral("%1줄: %2").arg(line).arg(why);
    };

    TUniverse u;
    for (int r = h + 1; r < recs.size(); ++r) {
        const TCsvRecord& rec = recs[r];
        if (IsBlank(rec))
            continue;
        if (rec.Broken) {
            skip(rec.Line, QStringLiteral("따옴표가 닫히지 않음"));
            continue;
        }
        auto field = [&](int c) { return col[c] >= 0 && col[c] < rec.Fields.size() ? rec.Fields[col[c]] : QString(); };
        bool shortRow = false;
        for (int c : {cCode, cName, cMarket, cPrice})
            shortRow = shortRow || col[c] >= rec.Fields.size();
        if (shortRow) {
            skip(rec.Line, QStringLiteral("칸 수 부족 (%1칸)").arg(rec.Fields.size()));
            continue;
        }

        TSimStock s;
        s.Code = NormCode(field(cCode));
        s.Name = field(cName).trimmed();
        s.Isin = field(cIsin).trimmed().toUpper();
        const int mkt = MarketOf(field(cMarket));
        if (mkt < 0) {
            skip(rec.Line, QStringLiteral("시장 구분을 모름: \"%1\"").arg(field(cMarket).trimmed()));
            continue;
        }
        // The master knows two markets only (gubun 1 KOSPI, 2 KOSDAQ). KONEX
        // is run beside KOSDAQ and its stocks trade like KOSDAQ ones, so
        // they are listed as KOSDAQ stocks: searchable and open like any other.
        s.Market = mkt == 0 ? TSimMarket::Kospi : TSimMarket::Kosdaq;

        double price = 0;
        if (!ParseNumber(field(cPrice), &price) || price < 1 || price > 1e9) {
            skip(rec.Line, QStringLiteral("가격이 올바르지 않음: \"%1\"").arg(field(cPrice).trimmed()));
            continue;
        }
        s.PrevClose = int(std::llround(price));

        const QString volText = field(cVolume).trimmed();
        double vol = 0;
        // A volume beyond 10^15 shares is no listing's (and would not fit a qint64 near 2^63).
        if (!volText.isEmpty() && (!ParseNumber(volText, &vol) || vol < 0 || vol > 1e15)) {
            skip(rec.Line, QStringLiteral("거래량이 올바르지 않음: \"%1\"").arg(volText));
            continue;
        }
        // Without a volume, assume a modest 1 billion won traded a day.
        s.PrevVolume = volText.isEmpty() ? std::max<qint64>(100, qint64(1e9 / s.PrevClose)) : qint64(vol);

        double shares = 0;
        if (ParseNumber(field(cShares), &shares) && shares > 0 && shares <= 1e15)
            s.Shares = qint64(shares);
        const QString etf = field(cEtf).trimmed().toUpper();
        s.Etf = etf == u"1" || etf == u"Y" || etf == u"YES" || etf == u"TRUE" || etf == u"ETF";

        QString why;
        if (!u.Add(s, &why)) {
            skip(rec.Line, why);
            continue;
        }
        ++rep.Loaded;
        rep.Konex += mkt == 2;
    }

    if (u.IsEmpty()) {
        QString why = QStringLiteral("쓸 수 있는 종목 줄이 없음");
        if (rep.Skipped > 0)
            why += QStringLiteral(" (%1줄 건너뜀, 처음: %2)").arg(rep.Skipped).arg(rep.Problems.value(0));
        return fail(why);
    }
    out = std::move(u);
    if (err)
        err->clear();
    if (report)
        *report = rep;
    return true;
}
