#include "core/IniFile.h"
#include "core/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString OneLine(QString s)
{
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

// A section or key name as a caller gives it, the way it is written to and
// read from the file: on one line, trimmed. " SIM" finds "[SIM]".
QString NameOf(const QString& s)
{
    return OneLine(s).trimmed();
}

} // namespace

TIniFile::TIniFile(const QString& path)
{
    Load(path);
}

TIniFile::TLine TIniFile::ParseLine(const QString& raw)
{
    TLine l;
    l.Raw = raw;
    const QString t = raw.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
        l.Kind = TKind::Section;
        l.Name = t.mid(1, t.size() - 2).trimmed();
        return l;
    }
    if (t.startsWith(QLatin1Char(';')))
        return l;
    const qsizetype eq = raw.indexOf(QLatin1Char('='));
    if (eq < 0)
        return l;
    const QString key = raw.left(eq).trimmed();
    if (key.isEmpty())
        return l;
    l.Kind = TKind::Key;
    l.Name = key;
    l.Value = raw.mid(eq + 1);
    return l;
}

bool TIniFile::Load(const QString& path, QString* err)
{
    FPath = path;
    FLines.clear();
    FExists = false;
    FLoadFailed = false;
    FInvalidText = false;
    FCrLf = false;

    // A settings file is small; anything but a regular file (a pipe would
    // block the start for ever) or anything huge is refused.
    const TFileRead file = ReadRegularFile(path, kMaxBytes);
    if (file.State == TFileRead::Missing)
        return true;
    FExists = true;
    if (file.State == TFileRead::Refused) {
        FLoadFailed = true;
        if (err)
            *err = QStringLiteral("설정 파일을 읽을 수 없습니다: ") + path + QStringLiteral(" (") + file.Why
                + QStringLiteral(")");
        return false;
    }
    const QByteArray& bytes = file.Bytes;

    // The decoder skips a leading byte-order mark and turns invalid
    // sequences into U+FFFD.
    // Stateless: a sequence cut off at the end of the file is an error too,
    // not held back for more input that never comes.
    QStringDecoder dec(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = dec.decode(bytes);
    FInvalidText = dec.hasError();

    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the final line break
    for (QString& s : lines) {
        if (s.endsWith(QLatin1Char('\r'))) {
            s.chop(1);
            FCrLf = true;
        }
        FLines.push_back(ParseLine(s));
    }
    return true;
}

int TIniFile::FindKey(const QString& secName, const QString& keyName) const
{
    const QString sec = NameOf(secName), key = NameOf(keyName);
    bool inSec = false;
    for (size_t i = 0; i < FLines.size(); ++i) {
        const TLine& l = FLines[i];
        if (l.Kind == TKind::Section)
            inSec = SameName(l.Name, sec);
        else if (inSec && l.Kind == TKind::Key && SameName(l.Name, key))
            return static_cast<int>(i);
    }
    return -1;
}

QString TIniFile::ReadString(const QString& sec, const QString& key, const QString& def) const
{
    const int i = FindKey(sec, key);
    return i < 0 ? def : FLines[i].Value;
}

int TIniFile::ReadInteger(const QString& sec, const QString& key, int def) const
{
    const int i = FindKey(sec, key);
    if (i < 0)
        return def;
    bool ok = false;
    const int v = FLines[i].Value.trimmed().toInt(&ok, 10);
    return ok ? v : def;
}

bool TIniFile::ReadBool(const QString& sec, const QString& key, bool def) const
{
    const int i = FindKey(sec, key);
    if (i < 0)
        return def;
    bool ok = false;
    const qlonglong v = FLines[i].Value.trimmed().toLongLong(&ok, 10);
    return ok ? v != 0 : def;
}

bool TIniFile::ValueExists(const QString& sec, const QString& key) const
{
    return FindKey(sec, key) >= 0;
}

bool TIniFile::SectionExists(const QString& secName) const
{
    const QString sec = NameOf(secName);
    for (const TLine& l : FLines)
        if (l.Kind == TKind::Section && SameName(l.Name, sec))
            return true;
    return false;
}

void TIniFile::WriteString(const QString& secName, const QString& key, const QString& value)
{
    const QString sec = NameOf(secName);
    const QString k = OneLine(key).trimmed();
    const QString v = OneLine(value);
    if (k.isEmpty())
        return; // "=value" would not read back as a key
    const int i = FindKey(sec, k);
    if (i >= 0) {
        TLine& l = FLines[i];
        l.Value = v;
        l.Raw = l.Name + QLatin1Char('=') + v;
        return;
    }

    TLine nl;
    nl.Kind = TKind::Key;
    nl.Name = k;
    nl.Value = v;
    nl.Raw = k + QLatin1Char('=') + v;

    // Existing section: after its last key line (or right after its header).
    for (size_t s = 0; s < FLines.size(); ++s) {
        if (FLines[s].Kind != TKind::Section || !SameName(FLines[s].Name, sec))
            continue;
        size_t at = s + 1;
        for (size_t j = s + 1; j < FLines.size() && FLines[j].Kind != TKind::Section; ++j)
            if (FLines[j].Kind == TKind::Key)
                at = j + 1;
        FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(at), nl);
        return;
    }

    // New section at the end, set off by a blank line.
    if (!FLines.empty() && !FLines.back().Raw.trimmed().isEmpty())
        FLines.push_back(ParseLine(QString()));
    const QString name = OneLine(sec).trimmed();
    FLines.push_back(ParseLine(QLatin1Char('[') + name + QLatin1Char(']')));
    FLines.push_back(nl);
}

void TIniFile::WriteInteger(const QString& sec, const QString& key, int value)
{
    WriteString(sec, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& sec, const QString& key, bool value)
{
    WriteString(sec, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QString TIniFile::Text() const
{
    const QString eol = FCrLf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString out;
    for (const TLine& l : FLines) {
        out += l.Raw;
        out += eol;
    }
    return out;
}

bool TIniFile::UpdateFile(QString* err)
{
    if (FLoadFailed) {
        if (err)
            *err = QStringLiteral("읽지 못한 설정 파일은 덮어쓰지 않습니다: ") + FPath;
        return false;
    }
    // Text that is not UTF-8 (a file saved as CP949 by another editor) was
    // read with replacement characters: writing it back would destroy it.
    if (FInvalidText) {
        if (err)
            *err = QStringLiteral("UTF-8이 아닌 설정 파일은 덮어쓰지 않습니다 — UTF-8로 저장해 주세요: ") + FPath;
        return false;
    }
    return SaveAs(FPath, err);
}

bool TIniFile::SaveAs(const QString& path, QString* err)
{
    auto fail = [&](const QString& why) {
        if (err)
            *err = QStringLiteral("설정 파일을 저장하지 못했습니다: ") + path + QStringLiteral(" (")
                + why + QStringLiteral(")");
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("파일 이름이 없습니다"));

    QSaveFile f(path);
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly))
        return fail(f.errorString());

    QByteArray data("\xEF\xBB\xBF");
    data += Text().toUtf8();
    if (f.write(data) != data.size()) {
        const QString why = f.errorString();
        f.cancelWriting();
        return fail(why);
    }
    if (!f.flush()) {
        const QString why = f.errorString();
        f.cancelWriting();
        return fail(why);
    }
#ifdef Q_OS_UNIX
    // Owner-only access (the file holds passwords), then force the data to
    // disk before the rename makes it the real file.
    if (::fchmod(f.handle(), S_IRUSR | S_IWUSR) != 0 || ::fsync(f.handle()) != 0) {
        f.cancelWriting();
        return fail(QStringLiteral("권한 설정 또는 디스크 기록 실패"));
    }
#else
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
    if (!f.commit())
        return fail(f.errorString());
#ifdef Q_OS_UNIX
    // Make the rename itself durable.
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
#endif
    FPath = path;
    FExists = true;
    FLoadFailed = false;
    return true;
}

QStringList CommaTextToList(const QString& text)
{
    QStringList out;
    const qsizetype n = text.size();
    auto isBlank = [&](qsizetype i) { return i < n && text[i].unicode() <= 32; };
    qsizetype i = 0;
    while (isBlank(i))
        ++i;
    while (i < n) {
        QString item;
        if (text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i; // closing quote
                    break;
                }
                item += text[i++];
            }
        } else {
            const qsizetype start = i;
            while (i < n && text[i].unicode() > 32 && text[i] != QLatin1Char(','))
                ++i;
            item = text.mid(start, i - start);
        }
        out << item;
        while (isBlank(i))
            ++i;
        if (i < n && text[i] == QLatin1Char(',')) {
            if (i + 1 == n)
                out << QString(); // a trailing comma ends with an empty item
            do
                ++i;
            while (isBlank(i));
        }
    }
    return out;
}

QString ListToCommaText(const QStringList& items)
{
    if (items.size() == 1 && items[0].isEmpty())
        return QStringLiteral("\"\"");
    QStringList parts;
    for (const QString& s : items) {
        bool quote = false;
        for (const QChar c : s)
            if (c.unicode() <= 32 || c == QLatin1Char('"') || c == QLatin1Char(',')) {
                quote = true;
                break;
            }
        if (quote) {
            QString q = s;
            q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            parts << QLatin1Char('"') + q + QLatin1Char('"');
        } else {
            parts << s;
        }
    }
    return parts.join(QLatin1Char(','));
}
