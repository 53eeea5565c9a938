// Result-layout (.res) files: the input is the file's bytes.
//
// Checks:
//  - reading the file (LoadResLayout) and parsing its decoded text in memory
//    (ParseResLayout) agree;
//  - a refused file leaves the layout empty and names the file and line;
//  - an accepted layout is well formed (a code, at least one block, no block
//    or field name twice, a known type and a positive size per field) and
//    written out again in the documented format it parses to the same
//    layout;
//  - ASCII text decodes to itself; the field-list reader never crashes.
#include "FuzzUtil.h"
#include "broker/ResLayout.h"

#include <cstdint>

namespace {

QString Describe(const TResLayout& l)
{
    QString s = QStringLiteral("%1 %2 %3 blocks:").arg(l.Code, l.Feed ? QStringLiteral("feed") : QStringLiteral("func"))
                    .arg(l.Blocks.size());
    for (const TResBlock& b : l.Blocks) {
        s += QStringLiteral(" [%1|%2|%3%4:").arg(b.Name, b.Desc).arg(b.Input).arg(b.Occurs);
        for (int i = 0; i < b.Fields.size(); ++i)
            s += QStringLiteral(" %1|%2|%3|%4.%5").arg(b.Fields[i].Desc, b.Fields[i].Name, b.Specs.value(i).Type)
                     .arg(b.Specs.value(i).Size).arg(b.Specs.value(i).Decimals);
        s += u']';
    }
    return Shown(s);
}

bool SameLayout(const TResLayout& a, const TResLayout& b)
{
    if (a.Code != b.Code || a.Desc != b.Desc || a.Feed != b.Feed || a.Blocks.size() != b.Blocks.size())
        return false;
    for (int i = 0; i < a.Blocks.size(); ++i) {
        const TResBlock &x = a.Blocks[i], &y = b.Blocks[i];
        if (x.Name != y.Name || x.Desc != y.Desc || x.Input != y.Input || x.Occurs != y.Occurs
            || x.Fields.size() != y.Fields.size() || x.Specs.size() != y.Specs.size())
            return false;
        for (int k = 0; k < x.Fields.size(); ++k)
            if (x.Fields[k].Desc != y.Fields[k].Desc || x.Fields[k].Name != y.Fields[k].Name
                || x.Specs[k].Type != y.Specs[k].Type || x.Specs[k].Size != y.Specs[k].Size
                || x.Specs[k].Decimals != y.Specs[k].Decimals)
                return false;
    }
    return true;
}

bool IsEmptyLayout(const TResLayout& l)
{
    return l.Code.isEmpty() && l.Desc.isEmpty() && !l.Feed && l.Blocks.isEmpty();
}

// The layout in the file format of the header comment of ResLayout.h.
QString Write(const TResLayout& l)
{
    QString t = QStringLiteral("BEGIN_FUNCTION_MAP\n");
    t += QStringLiteral("\t%1,%2(%3),%3,block,headtype=A;\n")
             .arg(l.Feed ? QStringLiteral(".Feed") : QStringLiteral(".Func"), l.Desc, l.Code);
    t += QStringLiteral("\tBEGIN_DATA_MAP\n");
    for (const TResBlock& b : l.Blocks) {
        t += QStringLiteral("\t%1,%2,%3%4;\n")
                 .arg(b.Name, b.Desc, b.Input ? QStringLiteral("input") : QStringLiteral("output"),
                      b.Occurs ? QStringLiteral(",occurs") : QString());
        t += QStringLiteral("\tbegin\n");
        for (int i = 0; i < b.Fields.size(); ++i) {
            const TResFieldSpec& s = b.Specs[i];
            const QString size = s.Decimals > 0 ? QStringLiteral("%1.%2").arg(s.Size).arg(s.Decimals)
                                                : QString::number(s.Size);
            t += QStringLiteral("\t\t%1,%2,%2,%3,%4;\n").arg(b.Fields[i].Desc, b.Fields[i].Name, s.Type, size);
        }
        t += QStringLiteral("\tend\n");
    }
    t += QStringLiteral("\tEND_DATA_MAP\nEND_FUNCTION_MAP\n");
    return t;
}

void CheckWellFormed(const TResLayout& l)
{
    static const QStringList types = {QStringLiteral("char"), QStringLiteral("long"), QStringLiteral("float"),
                                      QStringLiteral("double"), QStringLiteral("int")};
    FUZZ_CHECK(!l.Code.isEmpty() && !l.Blocks.isEmpty(), QStringLiteral("accepted without code or block: ") + Describe(l));
    for (int i = 0; i < l.Blocks.size(); ++i) {
        const TResBlock& b = l.Blocks[i];
        FUZZ_CHECK(!b.Name.isEmpty() && l.Block(b.Name) == &b, QStringLiteral("block %1 twice or unnamed: ").arg(b.Name) + Describe(l));
        FUZZ_CHECK(b.Fields.size() == b.Specs.size(), QStringLiteral("field names and types differ in number: ") + Describe(l));
        for (int k = 0; k < b.Fields.size(); ++k) {
            FUZZ_CHECK(b.IndexOf(b.Fields[k].Name) == k, QStringLiteral("field twice: ") + Describe(l));
            FUZZ_CHECK(types.contains(b.Specs[k].Type) && b.Specs[k].Size > 0 && b.Specs[k].Decimals >= 0,
                       QStringLiteral("bad field type or size: ") + Describe(l));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = InputBytes(data, size);
    const QString text = DecodeResText(bytes);

    bool ascii = true;
    for (const char c : bytes)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        FUZZ_CHECK(DecodeCp949(bytes) == QString::fromLatin1(bytes), QStringLiteral("ASCII does not decode to itself"));

    TResLayout mem;
    QString memErr;
    const bool memOk = ParseResLayout(text, QStringLiteral("mem.res"), mem, &memErr);

    ClearFuzzDir();
    const QString path = WriteFuzzFile(QStringLiteral("t9999.res"), bytes);
    TResLayout file;
    QString fileErr;
    const bool fileOk = LoadResLayout(path, file, &fileErr);
    FUZZ_CHECK(fileOk == memOk && SameLayout(file, mem),
               QStringLiteral("file and memory disagree: %1 / %2").arg(fileErr, memErr));

    if (!memOk) {
        FUZZ_CHECK(IsEmptyLayout(mem) && IsEmptyLayout(file), QStringLiteral("a refused layout is not left empty"));
        FUZZ_CHECK(memErr.startsWith(QStringLiteral("mem.res:")) && fileErr.startsWith(path + QLatin1Char(':')),
                   QStringLiteral("messages without file name: %1 / %2").arg(memErr, fileErr));
    } else {
        CheckWellFormed(mem);
        const QString again = Write(mem);
        TResLayout back;
        QString err;
        FUZZ_CHECK(ParseResLayout(again, QStringLiteral("again.res"), back, &err),
                   QStringLiteral("written layout refused: %1\n%2").arg(err, Shown(again)));
        FUZZ_CHECK(SameLayout(back, mem), QStringLiteral("written layout reads differently:\n%1\n%2")
                                              .arg(Describe(mem), Describe(back)));
        for (const TResBlock& b : mem.Blocks)
            LoadResFields(path, b.Name);
    }
    LoadResFields(path, QStringLiteral("OutBlock"));
    return 0;
}
