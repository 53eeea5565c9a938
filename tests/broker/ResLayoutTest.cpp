#include "broker/ResLayout.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>

namespace {

class ResLayoutTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;

    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = Dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    // Text as the broker writes it: CP949, CRLF.
    QString WriteCp949(const QString& name, const QString& text)
    {
        QString crlf = text;
        crlf.replace(u"\n"_qs, u"\r\n"_qs);
        QStringEncoder enc("windows-949");
        EXPECT_TRUE(enc.isValid());
        const QByteArray bytes = enc.encode(crlf);
        EXPECT_FALSE(enc.hasError());
        return Write(name, bytes);
    }
};

// "단축코드" and "똠" (a syllable only the extended code page has), in CP949.
const QByteArray KCp949Shcode("\xB4\xDC\xC3\xE0\xC4\xDA\xB5\xE5");
const QByteArray KCp949Ttom("\x8C\x63");

const char* const KTicks = R"(BEGIN_FUNCTION_MAP
	.Func,주식시간대별체결조회(t1301),t1301,block,headtype=A;
	BEGIN_DATA_MAP
	t1301OutBlock,출력,output;
	begin
		매도호가,wrong_block,wrong_block,long,8;
	end
	t1301OutBlock1,출력1,output,occurs;
	begin
		시간,chetime,chetime,char,10;
		매도호가 , offerho , offerho,long,8;
		매수호가,bidho,bidho,long,8;
		매수체결량,msvolume,msvolume,long,12;
		매수호가,bidho_dup,bidho_dup,long,8;
	end
	t1301OutBlock2,출력2,output,occurs;
	begin
		매도체결수량,mdvolume_other,mdvolume_other,long,12;
	end
	END_DATA_MAP
END_FUNCTION_MAP
)";

struct TLookupCase {
    const char* What;
    const char* Text;  // layout written as CP949/CRLF; nullptr: no file
    const char* Block;
    QStringList Descs;
    const char* Fallback;
    const char* Want;
};

TEST_F(ResLayoutTest, LookupByDescription)
{
    const TLookupCase cases[] = {
        {"plain lookup", KTicks, "t1301OutBlock1", {u"매도호가"_qs}, "x", "offerho"},
        {"block name is a prefix of another", KTicks, "t1301OutBlock", {u"매도호가"_qs}, "x", "wrong_block"},
        {"duplicate description: first wins", KTicks, "t1301OutBlock1", {u"매수호가"_qs}, "x", "bidho"},
        {"first description absent, second present", KTicks, "t1301OutBlock1",
         {u"매수체결수량"_qs, u"매수체결량"_qs, u"매수누적체결량"_qs}, "x", "msvolume"},
        {"description list order beats file order", KTicks, "t1301OutBlock1",
         {u"매수호가"_qs, u"시간"_qs}, "x", "bidho"},
        {"fields of the next block are not read", KTicks, "t1301OutBlock1", {u"매도체결수량"_qs}, "mdvolume", "mdvolume"},
        {"empty description list", KTicks, "t1301OutBlock1", {}, "offerho", "offerho"},
        {"description must match whole", KTicks, "t1301OutBlock1", {u"매도"_qs}, "fb", "fb"},
        {"description compared case-sensitively", "b,x,output;\nbegin\nSYMBOL,symbol\nend\n", "b", {u"symbol"_qs},
         "fb", "fb"},
        {"empty fallback means absent", KTicks, "t1301OutBlock1", {u"전일거래량"_qs}, "", ""},
        {"block not found", KTicks, "t1301OutBlock9", {u"매도호가"_qs}, "offerho", "offerho"},
        {"missing file", nullptr, "t1301OutBlock1", {u"매도호가"_qs}, "offerho", "offerho"},
        {"block line in capitals, keywords in any case",
         "T1301OUTBLOCK1,출력1,OUTPUT,OCCURS;\nBEGIN\n매도호가,offerho,offerho,long,8;\nEnd\n",
         "t1301OutBlock1", {u"매도호가"_qs}, "x", "offerho"},
        {"one-part line skipped",
         "t1301OutBlock1,출력1,output,occurs;\nbegin\n매도호가\n매도호가,offerho2,offerho2,long,8;\nend\n",
         "t1301OutBlock1", {u"매도호가"_qs}, "x", "offerho2"},
        {"two parts are enough", "b,x,output;\nbegin\n현재지수,close\nend\n", "b", {u"현재지수"_qs}, "x", "close"},
        {"lines between block line and begin ignored",
         "t1301OutBlock1,출력1,output,occurs;\n매도호가,not_a_field\nbegin\n매도호가,offerho\nend\n",
         "t1301OutBlock1", {u"매도호가"_qs}, "x", "offerho"},
        {"block without end keeps its fields",
         "t1301OutBlock1,출력1,output;\nbegin\n매도호가,offerho,offerho,long,8;\n",
         "t1301OutBlock1", {u"매도호가"_qs}, "x", "offerho"},
        {"block line needs the comma",
         "t1301OutBlock1 출력1 output;\nbegin\n매도호가,offerho\nend\n",
         "t1301OutBlock1", {u"매도호가"_qs}, "fb", "fb"},
    };
    int n = 0;
    for (const TLookupCase& c : cases) {
        SCOPED_TRACE(c.What);
        const QString path = c.Text ? WriteCp949(QStringLiteral("case%1.res").arg(n++), QString::fromUtf8(c.Text))
                                    : Dir.filePath(QStringLiteral("missing.res"));
        const TResFields fields = LoadResFields(path, QString::fromUtf8(c.Block));
        EXPECT_EQ(FindField(fields, c.Descs, QString::fromUtf8(c.Fallback)).toStdString(), std::string(c.Want));
    }
}

TEST_F(ResLayoutTest, FieldListInFileOrderTrimmed)
{
    const TResFields f = LoadResFields(WriteCp949("t1301.res", QString::fromUtf8(KTicks)), "t1301OutBlock1");
    ASSERT_EQ(f.size(), 5);
    EXPECT_EQ(f[0].Desc, u"시간"_qs);
    EXPECT_EQ(f[0].Name, u"chetime"_qs);
    EXPECT_EQ(f[1].Desc, u"매도호가"_qs);
    EXPECT_EQ(f[1].Name, u"offerho"_qs);
    EXPECT_EQ(f[4].Name, u"bidho_dup"_qs);
    EXPECT_TRUE(LoadResFields(Dir.filePath("t1301.res"), QString()).isEmpty());
}

TEST_F(ResLayoutTest, DecodesCp949IncludingExtendedHangul)
{
    const QByteArray bytes = KCp949Shcode + "," + KCp949Ttom;
    const QString want = u"단축코드,똠"_qs;
    EXPECT_EQ(DecodeCp949(bytes), want);
    EXPECT_EQ(DecodeResText(bytes), want);
    // Both converters agree where the text is valid.
    bool ok = false;
    EXPECT_EQ(ResLayoutDetail::DecodeCp949Iconv(bytes, &ok), want);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ResLayoutDetail::DecodeCp949Icu(bytes, &ok), want);
    EXPECT_TRUE(ok);

    // A file with no byte-order mark is read as CP949.
    const QString path = Write("t1101.res", "t1101InBlock,x,input;\r\nbegin\r\n" + KCp949Shcode +
                                                ",shcode,shcode,char,6;\r\nend\r\n");
    const TResFields f = LoadResFields(path, "t1101InBlock");
    ASSERT_EQ(f.size(), 1);
    EXPECT_EQ(f[0].Desc, u"단축코드"_qs);
    EXPECT_EQ(FindField(f, {u"단축코드"_qs}, "x"), u"shcode"_qs);
}

TEST_F(ResLayoutTest, UndecodableBytesBecomeReplacementCharacters)
{
    // 0xFF is no CP949 byte; a lead byte at the very end has no trail byte.
    const QByteArray bytes = "a\xFF" + KCp949Shcode + "b\xB4";
    EXPECT_EQ(DecodeCp949(bytes), u"a\uFFFD단축코드b\uFFFD"_qs);
}

TEST_F(ResLayoutTest, ByteOrderMarksChooseTheEncoding)
{
    const QString text = u"t1102OutBlock,출력,output;\nbegin\n전일거래량,jnilvolume,jnilvolume,long,12;\nend\n"_qs;
    QStringEncoder le(QStringEncoder::Utf16LE), be(QStringEncoder::Utf16BE);
    const QByteArray files[] = {
        "\xEF\xBB\xBF" + text.toUtf8(),
        QByteArray("\xFF\xFE") + QByteArray(le.encode(text)),
        QByteArray("\xFE\xFF") + QByteArray(be.encode(text)),
    };
    int n = 0;
    for (const QByteArray& bytes : files) {
        SCOPED_TRACE(n);
        // The block line is the first line: the mark must not stick to it.
        const TResFields f = LoadResFields(Write(QStringLiteral("bom%1.res").arg(n++), bytes), "t1102OutBlock");
        ASSERT_EQ(f.size(), 1);
        EXPECT_EQ(f[0].Desc, u"전일거래량"_qs);
        EXPECT_EQ(f[0].Name, u"jnilvolume"_qs);
    }
}

TEST_F(ResLayoutTest, FullLayoutParsed)
{
    TResLayout lay;
    QString err;
    ASSERT_TRUE(LoadResLayout(WriteCp949("t1301.res", QString::fromUtf8(KTicks)), lay, &err)) << err.toStdString();
    EXPECT_EQ(lay.Code, u"t1301"_qs);
    EXPECT_EQ(lay.Desc, u"주식시간대별체결조회"_qs);
    EXPECT_FALSE(lay.Feed);
    ASSERT_EQ(lay.Blocks.size(), 3);
    const TResBlock* b = lay.Block("T1301OUTBLOCK1");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Name, u"t1301OutBlock1"_qs);
    EXPECT_EQ(b->Desc, u"출력1"_qs);
    EXPECT_FALSE(b->Input);
    EXPECT_TRUE(b->Occurs);
    ASSERT_EQ(b->Fields.size(), 5);
    ASSERT_EQ(b->Specs.size(), 5);
    EXPECT_EQ(b->IndexOf("offerho"), 1);
    EXPECT_EQ(b->Fields[1].Desc, u"매도호가"_qs);
    EXPECT_EQ(b->Specs[0].Type, u"char"_qs);
    EXPECT_EQ(b->Specs[0].Size, 10);
    EXPECT_EQ(b->IndexOf("OFFERHO"), -1);
    EXPECT_FALSE(lay.Block("t1301OutBlock")->Occurs);
    EXPECT_EQ(lay.Block("t1301InBlock"), nullptr);

    const char* feed = "BEGIN_FUNCTION_MAP\n.Feed,KOSPI체결(S3_),S3_,attr,block,headtype=B;\nBEGIN_DATA_MAP\n"
                       "InBlock,입력,input;\nbegin\n단축코드,shcode,shcode,char,6;\nend\n"
                       "OutBlock,출력,output;\nbegin\n등락율,drate,drate,float,6.2;\nend\n"
                       "END_DATA_MAP\nEND_FUNCTION_MAP\n";
    ASSERT_TRUE(ParseResLayout(QString::fromUtf8(feed), "S3_.res", lay, &err)) << err.toStdString();
    EXPECT_TRUE(lay.Feed);
    EXPECT_EQ(lay.Code, u"S3_"_qs);
    EXPECT_TRUE(lay.Block("InBlock")->Input);
    const TResFieldSpec& s = lay.Block("OutBlock")->Specs[0];
    EXPECT_EQ(s.Type, u"float"_qs);
    EXPECT_EQ(s.Size, 6);
    EXPECT_EQ(s.Decimals, 2);
}

struct TBadCase {
    const char* What;
    QString Text;
    int Line;  // line the message names
};

TEST_F(ResLayoutTest, MalformedLayoutsRejectedWithLine)
{
    const QString head = u"BEGIN_FUNCTION_MAP\n.Func,x(t1),t1,block;\nBEGIN_DATA_MAP\n"_qs;  // lines 1-3
    const QString tail = u"END_DATA_MAP\nEND_FUNCTION_MAP\n"_qs;
    const TBadCase cases[] = {
        {"empty text", "", 1},
        {"no function map", "t1InBlock,x,input;\n", 1},
        {"no code", "BEGIN_FUNCTION_MAP\n.Func,x;\n", 2},
        {"field line outside a block", head + "b,in,input;\nbegin\nend\nx,f,f,char,1;\n" + tail, 7},
        {"neither input nor output", head + "b,in,inout;\n" + tail, 4},
        {"no begin", head + "b,in,input;\nx,f,f,char,1;\n" + tail, 5},
        {"unknown type", head + "b,in,input;\nbegin\nx,f,f,text,1;\nend\n" + tail, 6},
        {"bad size", head + "b,in,input;\nbegin\nx,f,f,char,0;\nend\n" + tail, 6},
        {"bad decimals", head + "b,in,input;\nbegin\nx,f,f,float,6.;\nend\n" + tail, 6},
        {"too few parts", head + "b,in,input;\nbegin\nx,f,f;\nend\n" + tail, 6},
        {"duplicate field", head + "b,in,input;\nbegin\nx,f,f,char,1;\ny,f,f,char,1;\nend\n" + tail, 7},
        {"duplicate block", head + "b,in,input;\nbegin\nend\nB,out,output;\n" + tail, 7},
        {"no blocks", head + tail, 4},
        {"missing end", head + "b,in,input;\nbegin\nx,f,f,char,1;\n", 7},
    };
    for (const TBadCase& c : cases) {
        SCOPED_TRACE(c.What);
        TResLayout lay;
        lay.Code = "stale";
        QString err;
        EXPECT_FALSE(ParseResLayout(c.Text, "t1.res", lay, &err));
        EXPECT_TRUE(err.startsWith(QStringLiteral("t1.res:%1: ").arg(c.Line))) << err.toStdString();
        EXPECT_TRUE(lay.Code.isEmpty());
        EXPECT_TRUE(lay.Blocks.isEmpty());
    }
    // Text after the end of the map.
    TResLayout lay;
    QString err;
    const QString ok = head + "b,in,input;\nbegin\nend\n" + tail;
    EXPECT_TRUE(ParseResLayout(ok, "t1.res", lay, &err)) << err.toStdString();
    EXPECT_FALSE(ParseResLayout(ok + "junk\n", "t1.res", lay, &err));
    EXPECT_TRUE(err.startsWith("t1.res:9: ")) << err.toStdString();
}

TEST_F(ResLayoutTest, ABlockOfManyThousandFieldsIsReadWhole)
{
    // The largest file the reader accepts holds tens of thousands of fields;
    // duplicates are still found, the last one included.
    const int n = 32000;
    QString text = u"BEGIN_FUNCTION_MAP\n.Func,x(t1),t1,block;\nBEGIN_DATA_MAP\nt1OutBlock,out,output,occurs;\nbegin\n"_qs;
    for (int i = 0; i < n; ++i)
        text += QStringLiteral("d%1,f%1,f%1,long,8;\n").arg(i);
    const QString tail = u"end\nEND_DATA_MAP\nEND_FUNCTION_MAP\n"_qs;
    TResLayout lay;
    QString err;
    ASSERT_TRUE(ParseResLayout(text + tail, "t1.res", lay, &err)) << err.toStdString();
    ASSERT_EQ(lay.Blocks.size(), 1);
    EXPECT_EQ(lay.Blocks[0].Fields.size(), n);
    EXPECT_EQ(lay.Blocks[0].Fields.last().Name, QStringLiteral("f%1").arg(n - 1));
    EXPECT_FALSE(ParseResLayout(text + u"again,f0,f0,long,8;\n"_qs + tail, "t1.res", lay, &err));
    EXPECT_TRUE(err.startsWith(QStringLiteral("t1.res:%1: field f0 appears twice").arg(5 + n + 1))) << err.toStdString();
}

TEST_F(ResLayoutTest, MissingAndGarbageFilesFailCleanly)
{
    TResLayout lay;
    QString err;
    EXPECT_FALSE(LoadResLayout(Dir.filePath("nope.res"), lay, &err));
    EXPECT_TRUE(err.contains("nope.res")) << err.toStdString();
    EXPECT_FALSE(LoadResLayout(Dir.filePath("nope.res"), lay));  // no message wanted
    // A pipe under the name is refused without being opened (a read would wait for ever).
    const QString pipe = Dir.filePath("pipe.res");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_FALSE(LoadResLayout(pipe, lay, &err));
    EXPECT_TRUE(err.contains("not a plain file")) << err.toStdString();
    EXPECT_TRUE(LoadResFields(pipe, "b").isEmpty());

    QRandomGenerator rng(20240611);
    for (int i = 0; i < 200; ++i) {
        QByteArray junk(int(rng.bounded(1, 4096)), '\0');
        for (char& ch : junk)
            ch = char(rng.bounded(256));
        if (i % 4 == 0)
            junk.prepend("BEGIN_FUNCTION_MAP\n.Func,x(t1),t1;\nBEGIN_DATA_MAP\nb,in,input;\nbegin\n");
        const QString path = Write("junk.res", junk);
        err.clear();
        EXPECT_FALSE(LoadResLayout(path, lay, &err));
        EXPECT_FALSE(err.isEmpty());
        EXPECT_TRUE(lay.Blocks.isEmpty());
        (void)LoadResFields(path, "b");  // must not crash on garbage either
    }
}

}  // namespace
