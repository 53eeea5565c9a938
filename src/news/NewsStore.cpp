#include "news/NewsStore.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstring>

namespace {

const QByteArray KBom("\xEF\xBB\xBF");
constexpr char16_t KFeff = 0xFEFF;
// Earlier days further back than this are not looked for: a chart whose first
// bar carries a nonsense date must not start thousands of fetches.
constexpr int KMaxPastDays = 366;
// A line the store writes is a few hundred bytes; a torn one cannot be longer.
constexpr qsizetype KMaxTornLine = 64 * 1024;

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool IsDayText(const QString& s)
{
    if (s.size() != 8)
        return false;
    for (QChar c : s)
        if (!IsAsciiDigit(c))
            return false;
    return true;
}

bool Known(const QString& code, const TNameOf& nameOf)
{
    if (!nameOf)
        return false;
    const QString name = nameOf(code);
    return !name.isEmpty() && name != code;
}

// TAB, CR LF, CR and LF each become one space.
QString OneLine(const QString& s)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const char16_t c = s[i].unicode();
        if (c == u'\t' || c == u'\r' || c == u'\n')
            break;
        ++i;
    }
    if (i == n)
        return s;
    QString out = s.left(i);
    out.reserve(n);
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c == u'\r' && i + 1 < n && s[i + 1] == u'\n') {
            out += u' ';
            ++i;
        } else if (c == u'\t' || c == u'\r' || c == u'\n') {
            out += u' ';
        } else {
            out += s[i];
        }
    }
    return out;
}

QString WithoutFeff(QStringView v)
{
    QString s = v.toString();
    s.remove(QChar(KFeff));
    return s;
}

bool WriteWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

// A path that can be written without blocking or replacing something that
// is not a day file: missing, or a regular file.
bool Writable(const QString& path)
{
    const QFileInfo fi(path);
    return !fi.exists() || fi.isFile();
}

} // namespace

QString NewsFirstCode(const QString& codes, const TNameOf& nameOf)
{
    const QStringList tokens = codes.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& raw : tokens) {
        const QString tok = raw.trimmed();
        if (tok.isEmpty())
            continue;
        if (tok.size() >= 12 && IsAsciiDigit(tok[0])) {
            for (qsizetype s = 0; s + 12 <= tok.size(); s += 12) {
                const QString code = tok.mid(s + 6, 6);
                if (code != QLatin1String("000000") && Known(code, nameOf))
                    return code;
            }
            return {};
        }
        if (tok.size() > 5) {
            const QString code = tok.right(6);
            if (Known(code, nameOf))
                return code;
        }
    }
    return {};
}

TNewsRow OneLineRow(TNewsRow row)
{
    row.D = OneLine(row.D);
    row.T = OneLine(row.T);
    row.Key = OneLine(row.Key);
    row.Codes = OneLine(row.Codes);
    row.Title = OneLine(row.Title);
    row.Src = OneLine(row.Src);
    return row;
}

QString FormatNewsLine(const TNewsRow& row)
{
    const QChar tab(u'\t');
    return OneLine(row.D) + tab + OneLine(row.T) + tab + OneLine(row.Key) + tab + OneLine(row.Codes) + tab
        + OneLine(row.Title) + tab + OneLine(row.Src);
}

bool ParseNewsLine(QStringView line, TNewsRow& row)
{
    QString owned;
    if (line.contains(QChar(KFeff))) {
        owned = WithoutFeff(line);
        line = owned;
    }
    QStringView f[6];
    int n = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= line.size() && n < 6; ++i) {
        if (i == line.size() || line[i] == u'\t') {
            f[n++] = line.mid(start, i - start);
            start = i + 1;
        }
    }
    if (n < 5)
        return false;
    row.D = f[0].toString();
    row.T = f[1].toString();
    row.Key = f[2].toString();
    row.Codes = f[3].toString();
    row.Title = f[4].toString();
    row.Src = n > 5 ? f[5].toString() : QString();
    return true;
}

QString NewsFileName(const QString& day) { return QStringLiteral("news_") + day + QStringLiteral(".txt"); }

QString NewsHhMm(const QString& t) { return t.left(2) + u':' + t.mid(2, 2); }

QString NewsLoadNote(const TNewsLoadStats& s, const QString& fileName)
{
    if (!s.Refused.isEmpty())
        return QStringLiteral("!! 뉴스 파일을 읽지 않았다 (%1): %2 — 오늘 뉴스는 새로 쌓입니다").arg(fileName, s.Refused);
    QStringList parts;
    if (s.Malformed > 0)
        parts << QStringLiteral("칸이 모자란 줄 %1개").arg(s.Malformed);
    if (s.TornTail)
        parts << QStringLiteral("끝에서 끊긴 줄 1개");
    if (parts.isEmpty())
        return {};
    return QStringLiteral("뉴스 파일 %1: %2 건너뜀").arg(fileName, parts.join(QStringLiteral(", ")));
}

TNewsStore::TNewsStore(QString dir)
    : FDir(std::move(dir))
{
}

QString TNewsStore::DayFile(const QString& day) const { return QDir(FDir).filePath(NewsFileName(day)); }

bool TNewsStore::ReadDay(const QString& path, QString& text, QString* why) const
{
    text.clear();
    const QFileInfo fi(path);
    if (!fi.exists())
        return false;
    if (!fi.isFile()) {
        if (why)
            *why = QStringLiteral("일반 파일이 아닙니다");
        return false;
    }
    if (fi.size() > KMaxDayFile) {
        if (why)
            *why = QStringLiteral("파일이 %1 MiB 보다 큽니다").arg(KMaxDayFile / (1024 * 1024));
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    text = QString::fromUtf8(f.readAll());
    return true;
}

int TNewsStore::Prune(const QString& today)
{
    const QDate d = QDate::fromString(today, QStringLiteral("yyyyMMdd"));
    if (!d.isValid())
        return 0;
    const QString cut = d.addDays(-7).toString(QStringLiteral("yyyyMMdd"));
    QDir dir(FDir);
    if (!dir.exists())
        return 0;
    int n = 0;
    // Only the store's own names: news_ + eight digits + .txt.
    const QStringList names = dir.entryList({QStringLiteral("news_*.txt")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QString day = name.mid(5, 8);
        if (name.size() != 17 || !IsDayText(day) || day >= cut)
            continue;
        if (dir.remove(name))
            ++n;
    }
    return n;
}

TNewsLoadStats TNewsStore::LoadTodayNews(const QString& today)
{
    TNewsLoadStats st;
    FNews.clear();
    FNewsSeen.clear();
    FNewsPastDays.clear();
    FFileRefused = false;
    FNewsDay = today;
    FNewsFile = DayFile(today);

    st.Pruned = Prune(today);

    const QFileInfo fi(FNewsFile);
    if (!fi.exists())
        return st;
    if (!fi.isFile() || fi.size() > KMaxDayFile) {
        QString text;
        ReadDay(FNewsFile, text, &st.Refused);
        FFileRefused = true;
        return st;
    }
    QFile f(FNewsFile);
    if (!f.open(QIODevice::ReadOnly)) {
        // Unread is not empty: its headlines are still in it, so it must not
        // be replaced by a merge (appending stays harmless).
        st.Refused = QStringLiteral("열 수 없습니다");
        FFileRefused = true;
        return st;
    }
    QByteArray bytes = f.readAll();
    f.close();

    // A last line without its line end was cut by a kill while it was being
    // written: it is no headline. Cut it off the file so that the next line
    // appended starts a line of its own.
    // (Something far longer than any headline is not a torn line of ours:
    // it is skipped but left in the file.)
    const qsizetype lastEnd = std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r'));
    if (lastEnd + 1 < bytes.size()) {
        st.TornTail = true;
        const bool ours = bytes.size() - (lastEnd + 1) <= KMaxTornLine;
        bytes.truncate(lastEnd + 1);
        QFile cut(FNewsFile);
        if (ours && cut.open(QIODevice::ReadWrite))
            cut.resize(bytes.size());
    }

    // Line by line on the bytes: a field is decoded on its own (TAB, CR and
    // LF never occur inside a UTF-8 sequence), and a line of another day is
    // dropped before anything is decoded.
    const QByteArray dayBytes = FNewsDay.toUtf8();
    FNews.reserve(bytes.size() / 120 + 16);
    FNewsSeen.reserve(bytes.size() / 120 + 16);
    TNewsRow row;
    const char* const base = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    while (start < n) {
        const void* nl = std::memchr(base + start, '\n', size_t(n - start));
        qsizetype end = nl ? static_cast<const char*>(nl) - base : n;
        if (const void* cr = std::memchr(base + start, '\r', size_t(end - start)))
            end = static_cast<const char*>(cr) - base; // (the LF of a CR LF then reads as an empty line)
        const QByteArrayView line(base + start, end - start);
        start = end + 1;
        if (line.isEmpty())
            continue;
        bool parsed;
        if (line.contains(QByteArrayView("\xEF\xBB\xBF"))) {
            parsed = ParseNewsLine(QString::fromUtf8(line), row);
        } else {
            QByteArrayView f[6];
            int nf = 0;
            const char* p = line.data();
            const char* const e = p + line.size();
            while (nf < 6) {
                const void* tab = std::memchr(p, '\t', size_t(e - p));
                const char* fe = tab ? static_cast<const char*>(tab) : e;
                f[nf++] = QByteArrayView(p, fe - p);
                if (!tab)
                    break;
                p = fe + 1;
            }
            parsed = nf >= 5;
            if (parsed) {
                if (f[0] != dayBytes) {
                    ++st.OtherDay;
                    continue;
                }
                row.D = FNewsDay;
                row.T = QString::fromUtf8(f[1]);
                row.Key = QString::fromUtf8(f[2]);
                row.Codes = QString::fromUtf8(f[3]);
                row.Title = QString::fromUtf8(f[4]);
                row.Src = nf > 5 ? QString::fromUtf8(f[5]) : QString();
            }
        }
        if (!parsed) {
            // A line holding only marks or blanks is no damage.
            if (!QString::fromUtf8(line).remove(QChar(KFeff)).trimmed().isEmpty())
                ++st.Malformed;
            continue;
        }
        if (row.D != FNewsDay) {
            ++st.OtherDay;
            continue;
        }
        if (row.Key.isEmpty()) {
            ++st.NoKey;
            continue;
        }
        const qsizetype seen = FNewsSeen.size();
        FNewsSeen.insert(row.Key);
        if (FNewsSeen.size() == seen) {
            ++st.Duplicates;
            continue;
        }
        FNews.append(std::move(row));
        row = TNewsRow();
    }
    st.Rows = FNews.size();
    return st;
}

int TNewsStore::AddNewsReal(TNewsRow row)
{
    row = OneLineRow(std::move(row));
    if (row.Key.isEmpty() || row.Title.isEmpty())
        return -1;
    if (!row.D.isEmpty() && row.D != FNewsDay)
        return -1;
    row.D = FNewsDay;
    if (FNewsSeen.contains(row.Key))
        return -1;
    FNewsSeen.insert(row.Key);
    FNews.append(row);
    AppendNewsLine(row);
    return FNews.size() - 1;
}

bool TNewsStore::AppendNewsLine(const TNewsRow& row)
{
    if (FNewsFile.isEmpty())
        return false;
    QDir().mkpath(FDir);
    if (!Writable(FNewsFile))
        return false;
    QFile f(FNewsFile);
    // Unbuffered: the line leaves the process in one write before this returns.
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    QByteArray out;
    const qint64 size = f.size();
    if (size == 0) {
        out = KBom;
    } else {
        // Never glue onto a torn line left by a kill.
        char last = 0;
        if (!f.seek(size - 1) || !f.getChar(&last))
            return false;
        if (last != '\n' && last != '\r')
            out = "\r\n";
    }
    out += FormatNewsLine(row).toUtf8();
    out += "\r\n";
    const bool ok = f.write(out) == out.size();
    f.close();
    return ok;
}

bool TNewsStore::RewriteDayFile()
{
    if (FNewsFile.isEmpty() || FFileRefused)
        return false;
    QDir().mkpath(FDir);
    if (!Writable(FNewsFile))
        return false;
    QByteArray out = KBom;
    for (const TNewsRow& r : FNews) {
        if (r.D != FNewsDay)
            continue;
        out += FormatNewsLine(r).toUtf8();
        out += "\r\n";
    }
    return WriteWhole(FNewsFile, out);
}

TServerMerge TNewsStore::MergeServerNews(const QString& body)
{
    TServerMerge m;
    if (body.startsWith(QLatin1String("#ERR"))) {
        m.Failed = true;
        QString why = body.mid(5, 200);
        why.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        m.LogLine = QStringLiteral("서버 뉴스 받기 실패: ") + why + QStringLiteral(" — 켜 둔 뒤 들어오는 뉴스만 쌓입니다");
        return m;
    }
    TNewsRow row;
    ForEachNewsLine(body, [&](QStringView line) {
        if (!ParseNewsLine(line, row)) {
            if (!line.trimmed().isEmpty())
                ++m.Malformed;
            return;
        }
        if (row.D != FNewsDay || row.Key.isEmpty() || row.Title.isEmpty())
            return;
        ++m.Received;
        if (FNewsSeen.contains(row.Key))
            return;
        FNewsSeen.insert(row.Key);
        FNews.append(std::move(row));
        row = TNewsRow();
        ++m.Merged;
    });
    if (m.Merged > 0) {
        std::stable_sort(FNews.begin(), FNews.end(),
                         [](const TNewsRow& a, const TNewsRow& b) { return a.T < b.T; });
        FNewsSeen.clear();
        for (const TNewsRow& r : FNews)
            if (r.D == FNewsDay)
                FNewsSeen.insert(r.Key);
        m.Rewritten = RewriteDayFile();
    }
    m.LogLine = QStringLiteral("서버 뉴스: 오늘 %1건 받음 · 새로 %2건 합침").arg(m.Received).arg(m.Merged);
    return m;
}

TPastNewsPlan TNewsStore::EnsurePastNews(const QString& day)
{
    TPastNewsPlan plan;
    if (day.size() != 8)
        return plan;
    if (day != FMinNewsFrom) {
        FMinNewsFrom = day;
        plan.MinFromChanged = true;
    }
    QDate d = QDate::fromString(day, QStringLiteral("yyyyMMdd"));
    const QDate today = QDate::fromString(FNewsDay, QStringLiteral("yyyyMMdd"));
    if (!d.isValid() || !today.isValid())
        return plan;
    d = std::max(d, today.addDays(-KMaxPastDays));
    for (; d < today; d = d.addDays(1)) {
        if (d.dayOfWeek() >= 6)
            continue;
        const QString ds = d.toString(QStringLiteral("yyyyMMdd"));
        if (FNewsPastDays.contains(ds))
            continue;
        FNewsPastDays.append(ds);
        const QString path = DayFile(ds);
        if (QFileInfo::exists(path)) {
            QString text;
            ReadDay(path, text);
            plan.Merged += MergePastNewsDay(ds, text);
        } else {
            plan.Fetch << ds;
        }
    }
    return plan;
}

int TNewsStore::PastNewsArrived(const QString& day, bool ok, const QString& body)
{
    if (!ok) {
        FNewsPastDays.removeAll(day);
        return 0;
    }
    if (body.isEmpty())
        return 0;
    // Never over today's own file, and only under a day's name.
    if (IsDayText(day) && day != FNewsDay) {
        QDir().mkpath(FDir);
        const QString path = DayFile(day);
        if (Writable(path)) {
            QByteArray out = body.startsWith(QChar(KFeff)) ? QByteArray() : KBom;
            out += body.toUtf8();
            WriteWhole(path, out);
        }
    }
    return MergePastNewsDay(day, body);
}

int TNewsStore::MergePastNewsDay(const QString& day, const QString& text)
{
    if (day == FNewsDay)
        return 0;
    QSet<QString> keys;
    keys.reserve(FNews.size());
    for (const TNewsRow& r : FNews)
        keys.insert(r.Key);
    int added = 0;
    TNewsRow row;
    ForEachNewsLine(text, [&](QStringView line) {
        if (!ParseNewsLine(line, row) || row.D != day || row.Key.isEmpty() || keys.contains(row.Key))
            return;
        keys.insert(row.Key);
        FNews.append(std::move(row));
        row = TNewsRow();
        ++added;
    });
    return added;
}

QString TNewsStore::NewsCaption(const QString& key) const
{
    for (const TNewsRow& r : FNews) {
        if (r.Key != key)
            continue;
        qsizetype n = std::min<qsizetype>(30, r.Title.size());
        if (n > 0 && n < r.Title.size() && r.Title[n - 1].isHighSurrogate())
            --n; // never half a character
        return NewsHhMm(r.T) + u' ' + r.Title.left(n);
    }
    return key;
}
