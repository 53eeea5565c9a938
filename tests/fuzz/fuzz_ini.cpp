// hts.ini: reading any bytes, writing keys, saving and reading back.
//
// Input: the file's bytes, optionally followed by "\n@@\n" and one change a
// line:  s<section>|<key>|<value>   WriteString
//        i<section>|<key>|<number>  WriteInteger (number as text)
//        b<section>|<key>|<0 or 1>  WriteBool
//        c<text>                    comma text read and written back
//
// Checks:
//  - a file that is not valid UTF-8 is flagged (HadInvalidText) and never
//    written back: UpdateFile refuses and the file keeps its bytes;
//  - a UTF-8 file saves (BOM + Text() as UTF-8, no temporary file left) and
//    reads back with the same text and the written values, and the keys
//    nobody wrote keep theirs (the whole text is compared);
//  - comma text: list -> text -> list gives the same list.
#include "FuzzUtil.h"
#include "core/IniFile.h"

#include <QStringList>

#include <cstdint>
#include <vector>

namespace {

// RFC 3629: shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsStrictUtf8(const QByteArray& b)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData());
    const qsizetype n = b.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        unsigned cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

QString OneLine(QString s)
{
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

bool Same(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

enum class TKind { Str, Int, Bool };

struct TWritten {
    QString Sec, Key;
    TKind Kind;
    QString Str;
    int Int = 0;
    bool Bool = false;
};

// The value of the latest write, as every reader must see it.
void CheckValues(const TIniFile& ini, const std::vector<TWritten>& written, const char* when)
{
    for (const TWritten& w : written) {
        const QString got = ini.ReadString(w.Sec, w.Key, QStringLiteral("\x01missing"));
        FUZZ_CHECK(got == w.Str, QStringLiteral("%1: [%2] %3 reads %4, wrote %5")
                                     .arg(QLatin1String(when), Shown(w.Sec), Shown(w.Key), Shown(got), Shown(w.Str)));
        if (w.Kind == TKind::Int)
            FUZZ_CHECK(ini.ReadInteger(w.Sec, w.Key, w.Int ^ 1) == w.Int,
                       QStringLiteral("%1: ReadInteger [%2] %3 != %4").arg(QLatin1String(when), Shown(w.Sec), Shown(w.Key)).arg(w.Int));
        if (w.Kind == TKind::Bool)
            FUZZ_CHECK(ini.ReadBool(w.Sec, w.Key, !w.Bool) == w.Bool,
                       QStringLiteral("%1: ReadBool [%2] %3").arg(QLatin1String(when), Shown(w.Sec), Shown(w.Key)));
    }
}

void CheckCommaText(const QString& text)
{
    const QStringList list = CommaTextToList(text);
    const QString back = ListToCommaText(list);
    const QStringList again = CommaTextToList(back);
    FUZZ_CHECK(again == list, QStringLiteral("comma text %1 -> %2 items -> %3 -> %4 items")
                                  .arg(Shown(text)).arg(list.size()).arg(Shown(back)).arg(again.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = InputBytes(data, size);
    const qsizetype cut = input.indexOf("\n@@\n");
    const QByteArray fileBytes = cut < 0 ? input : input.left(cut);
    const QByteArray opText = cut < 0 ? QByteArray() : input.mid(cut + 4);

    ClearFuzzDir();
    const QString path = WriteFuzzFile(QStringLiteral("hts.ini"), fileBytes);

    TIniFile ini;
    QString err;
    FUZZ_CHECK(ini.Load(path, &err), QStringLiteral("a small regular file fails to load: ") + err);
    FUZZ_CHECK(ini.Exists(), QStringLiteral("loaded file does not exist"));
    const bool valid = IsStrictUtf8(fileBytes);
    FUZZ_CHECK(ini.HadInvalidText() == !valid,
               QStringLiteral("HadInvalidText() is %1 for %2 bytes %3")
                   .arg(ini.HadInvalidText())
                   .arg(valid ? QStringLiteral("valid UTF-8") : QStringLiteral("invalid UTF-8"))
                   .arg(Shown(fileBytes)));

    std::vector<TWritten> written;
    int ops = 0;
    for (const QByteArray& line : opText.split('\n')) {
        if (line.isEmpty() || ++ops > 32)
            continue;
        const char kind = line[0];
        const QString rest = QString::fromUtf8(line.mid(1));
        if (kind == 'c') {
            CheckCommaText(rest);
            continue;
        }
        const QStringList f = rest.split(QLatin1Char('|'));
        if (f.size() < 3 || (kind != 's' && kind != 'i' && kind != 'b'))
            continue;
        const QString sec = OneLine(f[0]).trimmed();
        const QString key = OneLine(f[1]).trimmed();
        // Names the program never uses: they would not read back as a key
        // of that section ("k=ey", ";comment", "[section]").
        if (key.isEmpty() || key.contains(QLatin1Char('=')) || key.startsWith(QLatin1Char(';'))
            || key.startsWith(QLatin1Char('[')))
            continue;
        const QString value = f.mid(2).join(QLatin1Char('|'));
        TWritten w{f[0], f[1], TKind::Str, {}, 0, false};
        if (kind == 's') {
            ini.WriteString(f[0], f[1], value);
            w.Str = OneLine(value);
        } else if (kind == 'i') {
            w.Kind = TKind::Int;
            w.Int = value.trimmed().toInt();
            ini.WriteInteger(f[0], f[1], w.Int);
            w.Str = QString::number(w.Int);
        } else {
            w.Kind = TKind::Bool;
            w.Bool = value.trimmed() == QLatin1String("1");
            ini.WriteBool(f[0], f[1], w.Bool);
            w.Str = w.Bool ? QStringLiteral("1") : QStringLiteral("0");
        }
        w.Sec = sec;
        w.Key = key;
        std::erase_if(written, [&](const TWritten& o) { return Same(o.Sec, sec) && Same(o.Key, key); });
        written.push_back(w);
    }
    CheckValues(ini, written, "in memory");

    const QString text = ini.Text();
    if (ini.HadInvalidText()) {
        FUZZ_CHECK(!ini.UpdateFile(&err), QStringLiteral("a file that is not UTF-8 was written back"));
        FUZZ_CHECK(!err.isEmpty(), QStringLiteral("refused without a reason"));
        FUZZ_CHECK(ReadWholeFile(path) == fileBytes, QStringLiteral("the refused file changed on disk"));
        FUZZ_CHECK(FuzzDirEntries() == QStringList{QStringLiteral("hts.ini")},
                   QStringLiteral("files left beside it: ") + FuzzDirEntries().join(QLatin1Char(' ')));
        return 0;
    }

    FUZZ_CHECK(ini.UpdateFile(&err), QStringLiteral("UpdateFile failed: ") + err);
    FUZZ_CHECK(FuzzDirEntries() == QStringList{QStringLiteral("hts.ini")},
               QStringLiteral("files left beside it: ") + FuzzDirEntries().join(QLatin1Char(' ')));
    const QByteArray saved = ReadWholeFile(path);
    FUZZ_CHECK(saved == QByteArray("\xEF\xBB\xBF") + text.toUtf8(),
               QStringLiteral("saved bytes %1 are not BOM + Text()").arg(Shown(saved)));

    TIniFile back;
    FUZZ_CHECK(back.Load(path, &err), QStringLiteral("saved file fails to load: ") + err);
    FUZZ_CHECK(!back.HadInvalidText(), QStringLiteral("saved file is not UTF-8"));
    FUZZ_CHECK(back.Text() == text,
               QStringLiteral("text changed by save and reload: %1 -> %2").arg(Shown(text), Shown(back.Text())));
    CheckValues(back, written, "after reload");
    return 0;
}
