#include "broker/ResLayout.h"
#include "core/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>

#include <array>
#include <cerrno>
#include <iconv.h>

namespace {

// The whole file, or nothing (missing, unreadable, too large).
bool ReadAll(const QString& path, QByteArray& bytes, QString* why)
{
    // Only a regular file is opened: a pipe or a device would block or mislead the read.
    TFileRead f = ReadRegularFile(path, KResMaxFileBytes);
    if (f.State == TFileRead::Read) {
        bytes = std::move(f.Bytes);
        return true;
    }
    if (why)
        *why = f.State == TFileRead::Missing ? QStringLiteral("file not found")
             : f.NotRegular                  ? QStringLiteral("not a plain file")
                                             : f.Why;
    return false;
}

// Lines of `text`; CRLF, LF and lone CR all end a line.
QStringList SplitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\n' || c == u'\r') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

bool IsWord(const QString& t, const char* word)
{
    return t.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// "a, b ,c;" -> {"a", "b", "c"}: one trailing ';' removed, parts trimmed.
QStringList Items(QString t)
{
    if (t.endsWith(u';'))
        t.chop(1);
    QStringList parts = t.split(u',');
    for (QString& p : parts)
        p = p.trimmed();
    return parts;
}

bool IsName(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (!(c.isLetterOrNumber() || c == u'_') || c.unicode() > 0x7F)
            return false;
    return true;
}

// "8" or "6.2" -> size 8 / size 6, 2 decimals.
bool ParseSize(const QString& s, TResFieldSpec& spec)
{
    const qsizetype dot = s.indexOf(u'.');
    bool ok1 = false, ok2 = true;
    const int size = (dot < 0 ? s : s.left(dot)).toInt(&ok1);
    int dec = 0;
    if (dot >= 0)
        dec = s.mid(dot + 1).toInt(&ok2);
    if (!ok1 || !ok2 || size <= 0 || size > 1000000 || dec < 0 || dec > 99)
        return false;
    if (dot >= 0 && s.mid(dot + 1).isEmpty())
        return false;
    spec.Size = size;
    spec.Decimals = dec;
    return true;
}

}  // namespace

namespace ResLayoutDetail {

QString DecodeCp949Iconv(const QByteArray& bytes, bool* ok)
{
    QString out;
    iconv_t cd = iconv_open("UTF-16LE", "CP949");
    if (ok)
        *ok = cd != reinterpret_cast<iconv_t>(-1);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return out;
    out.reserve(bytes.size());
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    std::array<char, 4096> buf;
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        const int e = errno;
        const qsizetype units = (o - buf.data()) / 2;
        for (qsizetype k = 0; k < units; ++k) {
            const auto lo = static_cast<unsigned char>(buf[2 * k]);
            const auto hi = static_cast<unsigned char>(buf[2 * k + 1]);
            out.append(QChar(static_cast<char16_t>(lo | (hi << 8))));
        }
        if (r == static_cast<size_t>(-1) && e != E2BIG) {
            // An invalid or truncated sequence: one byte becomes U+FFFD.
            out.append(QChar::ReplacementCharacter);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

QString DecodeCp949Icu(const QByteArray& bytes, bool* ok)
{
    // ICU's "windows-949" is the Windows code page with the extended hangul;
    // its "CP949" alias is a different (IBM) table.
    QStringDecoder dec("windows-949", QStringDecoder::Flag::Stateless);
    if (ok)
        *ok = dec.isValid();
    return dec.isValid() ? QString(dec.decode(bytes)) : QString();
}

}  // namespace ResLayoutDetail

QString DecodeCp949(const QByteArray& bytes)
{
    // glibc's converter first: it is always there on Linux and flags every
    // byte it cannot map, where ICU maps some stray bytes to private-use
    // characters and drops a lead byte cut off at the end.
    bool ok = false;
    QString s = ResLayoutDetail::DecodeCp949Iconv(bytes, &ok);
    if (ok)
        return s;
    s = ResLayoutDetail::DecodeCp949Icu(bytes, &ok);
    if (ok)
        return s;
    // No converter at all: keep ASCII (the field names), mark the rest.
    s.reserve(bytes.size());
    for (char b : bytes)
        s.append(static_cast<unsigned char>(b) < 0x80 ? QChar(QLatin1Char(b)) : QChar(QChar::ReplacementCharacter));
    return s;
}

QString DecodeResText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder dec(QStringDecoder::Utf16LE);
        return dec.decode(QByteArrayView(bytes).sliced(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder dec(QStringDecoder::Utf16BE);
        return dec.decode(QByteArrayView(bytes).sliced(2));
    }
    return DecodeCp949(bytes);
}

TResFields LoadResFields(const QString& path, const QString& block)
{
    TResFields fields;
    QByteArray bytes;
    if (block.isEmpty() || !ReadAll(path, bytes, nullptr))
        return fields;
    const QString head = block + u',';
    enum { Seek, Begin, Body } state = Seek;
    for (const QString& raw : SplitLines(DecodeResText(bytes))) {
        const QString t = raw.trimmed();
        switch (state) {
        case Seek:
            if (t.startsWith(head, Qt::CaseInsensitive))
                state = Begin;
            break;
        case Begin:
            if (IsWord(t, "begin"))
                state = Body;
            break;
        case Body: {
            if (IsWord(t, "end"))
                return fields;
            const QStringList parts = t.split(u',');
            if (parts.size() >= 2)
                fields.append({parts[0].trimmed(), parts[1].trimmed()});
            break;
        }
        }
    }
    return fields;  // a block cut short by the end of the file keeps what it had
}

QString FindField(const TResFields& fields, const QStringList& descs, const QString& fallback)
{
    for (const QString& d : descs)
        for (const TResField& f : fields)
            if (f.Desc == d)
                return f.Name;
    return fallback;
}

int TResBlock::IndexOf(const QString& name) const
{
    for (int i = 0; i < Fields.size(); ++i)
        if (Fields[i].Name == name)
            return i;
    return -1;
}

const TResBlock* TResLayout::Block(const QString& name) const
{
    for (const TResBlock& b : Blocks)
        if (b.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &b;
    return nullptr;
}

bool ParseResLayout(const QString& text, const QString& origin, TResLayout& out, QString* err)
{
    out = TResLayout();
    TResLayout lay;
    int lineNo = 0;
    auto fail = [&](const QString& what) {
        if (err)
            *err = QStringLiteral("%1:%2: %3").arg(origin).arg(lineNo).arg(what);
        return false;
    };

    enum { FuncMap, Header, DataMap, Blocks, BlockBegin, Fields, EndFunc, Done } state = FuncMap;
    // Names seen so far, so that a duplicate is found without a scan per
    // line (a file of many thousand fields must not take quadratic time).
    QSet<QString> blockNames;   // lower case: blocks compare case-insensitively
    QSet<QString> fieldNames;   // of the block being read
    for (const QString& raw : SplitLines(text)) {
        ++lineNo;
        const QString t = raw.trimmed();
        if (t.isEmpty())
            continue;
        switch (state) {
        case FuncMap:
            if (!IsWord(t, "BEGIN_FUNCTION_MAP"))
                return fail(QStringLiteral("BEGIN_FUNCTION_MAP expected"));
            state = Header;
            break;
        case Header: {
            const QStringList p = Items(t);
            const bool func = IsWord(p[0], ".Func");
            const bool feed = IsWord(p[0], ".Feed");
            if (!(func || feed) || p.size() < 3 || !IsName(p[2]))
                return fail(QStringLiteral(".Func or .Feed line with a code expected"));
            lay.Code = p[2];
            lay.Feed = feed;
            lay.Desc = p[1];
            const QString suffix = u'(' + lay.Code + u')';
            if (lay.Desc.endsWith(suffix))
                lay.Desc.chop(suffix.size());
            state = DataMap;
            break;
        }
        case DataMap:
            if (!IsWord(t, "BEGIN_DATA_MAP"))
                return fail(QStringLiteral("BEGIN_DATA_MAP expected"));
            state = Blocks;
            break;
        case Blocks: {
            if (IsWord(t, "END_DATA_MAP")) {
                if (lay.Blocks.isEmpty())
                    return fail(QStringLiteral("no block in the data map"));
                state = EndFunc;
                break;
            }
            const QStringList p = Items(t);
            if (p.size() < 3 || p.size() > 4 || !IsName(p[0]))
                return fail(QStringLiteral("block line \"name,description,input|output[,occurs];\" expected"));
            TResBlock b;
            b.Name = p[0];
            b.Desc = p[1];
            if (IsWord(p[2], "input"))
                b.Input = true;
            else if (!IsWord(p[2], "output"))
                return fail(QStringLiteral("block %1: \"input\" or \"output\" expected, not \"%2\"").arg(b.Name, p[2]));
            if (p.size() == 4) {
                if (!IsWord(p[3], "occurs"))
                    return fail(QStringLiteral("block %1: \"occurs\" expected, not \"%2\"").arg(b.Name, p[3]));
                b.Occurs = true;
            }
            const QString key = b.Name.toLower();
            if (blockNames.contains(key))
                return fail(QStringLiteral("block %1 appears twice").arg(b.Name));
            blockNames.insert(key);
            fieldNames.clear();
            lay.Blocks.append(b);
            state = BlockBegin;
            break;
        }
        case BlockBegin:
            if (!IsWord(t, "begin"))
                return fail(QStringLiteral("\"begin\" expected after block %1").arg(lay.Blocks.last().Name));
            state = Fields;
            break;
        case Fields: {
            TResBlock& b = lay.Blocks.last();
            if (IsWord(t, "end")) {
                state = Blocks;
                break;
            }
            const QStringList p = Items(t);
            if (p.size() < 5)
                return fail(QStringLiteral("field line \"description,name,name,type,size;\" expected"));
            if (!IsName(p[1]))
                return fail(QStringLiteral("field name \"%1\" is not a name").arg(p[1]));
            TResFieldSpec spec;
            spec.Type = p[3].toLower();
            static const QStringList types = {QStringLiteral("char"), QStringLiteral("long"), QStringLiteral("float"),
                                              QStringLiteral("double"), QStringLiteral("int")};
            if (!types.contains(spec.Type))
                return fail(QStringLiteral("field %1: unknown type \"%2\"").arg(p[1], p[3]));
            if (!ParseSize(p[4], spec))
                return fail(QStringLiteral("field %1: bad size \"%2\"").arg(p[1], p[4]));
            if (fieldNames.contains(p[1]))
                return fail(QStringLiteral("field %1 appears twice in block %2").arg(p[1], b.Name));
            fieldNames.insert(p[1]);
            b.Fields.append({p[0], p[1]});
            b.Specs.append(spec);
            break;
        }
        case EndFunc:
            if (!IsWord(t, "END_FUNCTION_MAP"))
                return fail(QStringLiteral("END_FUNCTION_MAP expected"));
            state = Done;
            break;
        case Done:
            return fail(QStringLiteral("text after END_FUNCTION_MAP"));
        }
    }
    if (state != Done) {
        ++lineNo;
        return fail(QStringLiteral("unexpected end of file"));
    }
    out = std::move(lay);
    return true;
}

bool LoadResLayout(const QString& path, TResLayout& out, QString* err)
{
    out = TResLayout();
    QByteArray bytes;
    QString why;
    if (!ReadAll(path, bytes, &why)) {
        if (err)
            *err = path + QStringLiteral(": ") + why;
        return false;
    }
    return ParseResLayout(DecodeResText(bytes), path, out, err);
}
