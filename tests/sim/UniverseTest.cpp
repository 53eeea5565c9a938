// The simulated market's stock list: ISINs, the default universe, the
// universe file reader, and the code box's suggestions over the universe.
#include "core/NumFmt.h"
#include "sim/PriceGrid.h"
#include "sim/Universe.h"
// The suggestion ranking is checked here against the whole universe; this
// test program does not link the market library, so its one source file is
// compiled in.
#include <QFile>
#include <QSet>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <algorithm>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

TEST(SimIsin, CheckDigitsOfKnownCodes)
{
    struct Case { const char* code; const char* isin; } cases[] = {
        {"005930", "KR7005930003"},
        {"000660", "KR7000660001"},
        {"035420", "KR7035420009"},
        {"373220", "KR7373220003"},
        {"000020", "KR7000020008"},
        {"006740", "KR7006740005"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsinForCode(U(c.code)), U(c.isin)) << c.code;
        EXPECT_TRUE(IsValidIsin(U(c.isin))) << c.isin;
    }
    // A preferred share's ISIN does not follow the code.
    EXPECT_TRUE(IsValidIsin(U("KR7005931001")));
}

TEST(SimIsin, RejectsBadInput)
{
    EXPECT_EQ(IsinForCode(U("59300")), QString());
    EXPECT_EQ(IsinForCode(U("00593a")), QString());
    EXPECT_EQ(IsinForCode(U("0059300")), QString());
    EXPECT_FALSE(IsValidIsin(U("KR7005930004")));   // wrong check digit
    EXPECT_FALSE(IsValidIsin(U("KR700593000")));    // too short
    EXPECT_FALSE(IsValidIsin(U("1R7005930003")));   // country must be letters
    EXPECT_EQ(IsinCheckDigit(U("KR70059300")), -1);
}

TEST(SimUniverse, DefaultIsLargeUniqueAndOnTheGrid)
{
    const TUniverse u = TUniverse::Default();
    ASSERT_EQ(u.Size(), TUniverse::kDefaultSize);
    QSet<QString> codes, names;
    int kosdaq = 0, hangulFirst = 0;
    for (const TSimStock& s : u.Stocks()) {
        EXPECT_TRUE(IsValidStockCode(s.Code)) << s.Code.toStdString();
        EXPECT_TRUE(IsValidIsin(s.Isin)) << s.Code.toStdString() << " " << s.Isin.toStdString();
        EXPECT_EQ(s.Isin.mid(3, 5), s.Code.left(5)) << s.Code.toStdString();
        EXPECT_TRUE(OnGrid(s.PrevClose)) << s.Code.toStdString() << " " << s.PrevClose;
        EXPECT_GE(s.PrevClose, 1000) << s.Code.toStdString();
        EXPECT_GT(s.PrevVolume, 0) << s.Code.toStdString();
        EXPECT_GT(s.Shares, 0) << s.Code.toStdString();
        EXPECT_FALSE(s.Name.isEmpty());
        codes.insert(s.Code);
        names.insert(s.Name);
        kosdaq += s.Market == TSimMarket::Kosdaq;
        hangulFirst += s.Name[0].unicode() >= 0xAC00 && s.Name[0].unicode() <= 0xD7A3;
    }
    EXPECT_EQ(codes.size(), u.Size());
    EXPECT_EQ(names.size(), u.Size());
    EXPECT_NEAR(double(kosdaq) / u.Size(), 0.45, 0.03);
    EXPECT_GT(hangulFirst, u.Size() * 8 / 10);   // initials search has something to find

    struct Known { const char* code; const char* name; TSimMarket mkt; bool etf; } known[] = {
        {"005930", "삼성전자", TSimMarket::Kospi, false},
        {"005935", "삼성전자우", TSimMarket::Kospi, false},
        {"000660", "SK하이닉스", TSimMarket::Kospi, false},
        {"247540", "에코프로비엠", TSimMarket::Kosdaq, false},
        {"069500", "KODEX 200", TSimMarket::Kospi, true},
    };
    for (const Known& k : known) {
        const TSimStock* s = u.Find(U(k.code));
        ASSERT_NE(s, nullptr) << k.code;
        EXPECT_EQ(s->Name, U(k.name));
        EXPECT_EQ(s->Market, k.mkt);
        EXPECT_EQ(s->Etf, k.etf);
    }
    EXPECT_EQ(u.Find(U("005935"))->Isin, U("KR7005931001"));
    EXPECT_EQ(u.Find(U("005930"))->Gubun(), U("1"));
    EXPECT_EQ(u.Find(U("247540"))->Gubun(), U("2"));
    EXPECT_EQ(u.Find(U("999999")), nullptr);
}

TEST(SimUniverse, GeneratedPartDependsOnlyOnTheSeed)
{
    const TUniverse a = TUniverse::Default(7, 600);
    const TUniverse b = TUniverse::Default(7, 600);
    const TUniverse c = TUniverse::Default(8, 600);
    ASSERT_EQ(a.Size(), 600);
    int sameAsC = 0;
    for (int i = 0; i < a.Size(); ++i) {
        EXPECT_EQ(a.At(i).Code, b.At(i).Code);
        EXPECT_EQ(a.At(i).Name, b.At(i).Name);
        EXPECT_EQ(a.At(i).PrevClose, b.At(i).PrevClose);
        sameAsC += a.At(i).Name == c.At(i).Name;
    }
    EXPECT_LT(sameAsC, 250);   // only the built-in stocks are shared
}

TEST(SimUniverse, AddValidates)
{
    TUniverse u;
    QString err;
    TSimStock s;
    s.Code = U("123450");
    s.Name = U("테스트전자");
    s.PrevClose = 12345;   // off the grid: moved down to 12,340
    ASSERT_TRUE(u.Add(s, &err)) << err.toStdString();
    EXPECT_EQ(u.Find(U("123450"))->PrevClose, 12340);
    EXPECT_EQ(u.Find(U("123450"))->Isin, IsinForCode(U("123450")));

    struct Bad { const char* code; const char* name; int price; const char* isin; } bad[] = {
        {"123450", "중복", 1000, ""},          // duplicate code
        {"12345", "짧은코드", 1000, ""},
        {"123460", "", 1000, ""},
        {"123470", "영원", 0, ""},
        {"123480", "틀린표준", 1000, "KR7123480001"},
    };
    for (const Bad& b : bad) {
        TSimStock x;
        x.Code = U(b.code);
        x.Name = U(b.name);
        x.PrevClose = b.price;
        x.Isin = U(b.isin);
        err.clear();
        EXPECT_FALSE(u.Add(x, &err)) << b.code;
        EXPECT_FALSE(err.isEmpty()) << b.code;
    }
    EXPECT_EQ(u.Size(), 1);
}

class SimUniverseCsv : public ::testing::Test {
protected:
    QString Write(const QByteArray& bytes)
    {
        const QString path = FDir.filePath(QStringLiteral("u%1.csv").arg(FCount++));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir FDir;
    int FCount = 0;
};

TEST_F(SimUniverseCsv, KoreanHeadersQuotesBomAndBadRows)
{
    const QByteArray text =
        "\xEF\xBB\xBF"
        "시장구분, 종목명 ,종가,단축코드,거래량\r\n"
        "KOSPI,삼성전자,\"75,000\",005930,\"15,000,000\"\r\n"
        "KOSDAQ GLOBAL,\"에코프로비엠, 보통주\",200000,A247540,500000\r\n"
        "코스닥,\"따옴표 \"\"회사\"\"\",4990,123450,\r\n"
        "KONEX,코넥스회사,5000,999990,10\r\n"
        "KOSPI,값없음,abc,111110,10\r\n"
        "KOSPI,코드틀림,5000,12345X7,10\r\n"
        "NYSE,외국시장,5000,222220,10\r\n"
        "KOSPI,중복,5000,005930,10\r\n"
        "KOSPI,짧은줄\r\n"
        "\r\n"
        "코스피,엑셀코드,1999,5380,\r\n";
    TUniverse u;
    QString err;
    TUniverseCsvReport rep;
    ASSERT_TRUE(LoadUniverseCsv(Write(text), u, &err, &rep)) << err.toStdString();
    EXPECT_TRUE(err.isEmpty());
    EXPECT_EQ(rep.Loaded, 5);
    EXPECT_EQ(rep.Konex, 1);
    EXPECT_EQ(rep.Skipped, 5);
    ASSERT_EQ(u.Size(), 5);

    const TSimStock* s = u.Find(U("005930"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Name, U("삼성전자"));
    EXPECT_EQ(s->PrevClose, 75000);
    EXPECT_EQ(s->PrevVolume, 15000000);
    EXPECT_EQ(s->Isin, U("KR7005930003"));
    EXPECT_EQ(s->Market, TSimMarket::Kospi);

    s = u.Find(U("247540"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Name, U("에코프로비엠, 보통주"));
    EXPECT_EQ(s->Market, TSimMarket::Kosdaq);

    s = u.Find(U("123450"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Name, U("따옴표 \"회사\""));
    EXPECT_GT(s->PrevVolume, 0);   // no volume given: a default, never 0

    ASSERT_NE(u.Find(U("005380")), nullptr);   // leading zeros restored
    EXPECT_EQ(u.Find(U("005380"))->Name, U("엑셀코드"));

    // Reasons name the line.
    const QString all = rep.Problems.join(u'\n');
    EXPECT_FALSE(all.contains(U("5줄"))) << all.toStdString();  // KONEX is no fault
    EXPECT_TRUE(all.contains(U("6줄"))) << all.toStdString();   // bad price
    EXPECT_TRUE(all.contains(U("10줄"))) << all.toStdString();  // short row
}

TEST_F(SimUniverseCsv, KonexStocksAreKeptAsKosdaq)
{
    // A trader searches and opens KONEX stocks like any other; the master has
    // no third market, so they come as KOSDAQ (gubun 2).
    const QByteArray text =
        "code,name,market,price\n"
        "278990,코넥스하나,KONEX,5000\n"
        "216400,코넥스둘,코넥스,3000\n"
        "217910,코넥스셋,knx,1200\n"
        "005930,삼성전자,KOSPI,75000\n";
    TUniverse u;
    QString err;
    TUniverseCsvReport rep;
    ASSERT_TRUE(LoadUniverseCsv(Write(text), u, &err, &rep)) << err.toStdString();
    EXPECT_EQ(u.Size(), 4);
    EXPECT_EQ(rep.Loaded, 4);
    EXPECT_EQ(rep.Konex, 3);
    EXPECT_EQ(rep.Skipped, 0);
    for (const char* code : {"278990", "216400", "217910"}) {
        const TSimStock* s = u.Find(U(code));
        ASSERT_NE(s, nullptr) << code;
        EXPECT_EQ(s->Market, TSimMarket::Kosdaq) << code;
        EXPECT_EQ(s->Gubun(), U("2")) << code;
    }
    EXPECT_EQ(u.Find(U("005930"))->Market, TSimMarket::Kospi);

    // A file of KONEX stocks only is a usable universe.
    TUniverse konexOnly;
    ASSERT_TRUE(LoadUniverseCsv(Write("code,name,market,price\n123450,코넥스,KONEX,1000\n"), konexOnly, &err))
        << err.toStdString();
    ASSERT_EQ(konexOnly.Size(), 1);
    EXPECT_EQ(konexOnly.At(0).Market, TSimMarket::Kosdaq);
}

TEST_F(SimUniverseCsv, ListingStyleEnglishHeader)
{
    const QByteArray text =
        "Code,ISU_CD,Name,Market,Dept,Close,ChangeCode,Volume,Amount,Stocks,MarketId\n"
        "005930,KR7005930003,삼성전자,KOSPI,,67500,2,9781038,664312604900,5969782550,STK\n"
        "005935,KR7005931001,삼성전자우,KOSPI,,55000,2,1000000,1,815974664,STK\n"
        "000660,KR7000660002,SK하이닉스,KOSPI,,180000,2,1,1,1,STK\n"      // bad check digit
        "\"035420\",\"KR7035420009\",\"NAVER\",\"KOSPI\",\"\",\"170,000\",2,5,5,5,STK\n";
    TUniverse u;
    QString err;
    TUniverseCsvReport rep;
    ASSERT_TRUE(LoadUniverseCsv(Write(text), u, &err, &rep)) << err.toStdString();
    EXPECT_EQ(rep.Loaded, 3);
    EXPECT_EQ(rep.Skipped, 1);
    EXPECT_EQ(u.Find(U("005935"))->Isin, U("KR7005931001"));
    EXPECT_EQ(u.Find(U("005930"))->Shares, 5969782550);
    EXPECT_EQ(u.Find(U("035420"))->PrevClose, 170000);
    EXPECT_EQ(u.Find(U("000660")), nullptr);
}

TEST_F(SimUniverseCsv, QuotedFieldMayHoldALineBreak)
{
    const QByteArray text =
        "code,name,market,price\n"
        "100000,\"두 줄\n이름\",KOSPI,1000\n"
        "100010,다음줄,KOSDAQ,2000\n"
        "100020,\"안 닫힘,KOSPI,3000\n";
    TUniverse u;
    QString err;
    TUniverseCsvReport rep;
    ASSERT_TRUE(LoadUniverseCsv(Write(text), u, &err, &rep)) << err.toStdString();
    EXPECT_EQ(u.Size(), 2);
    EXPECT_EQ(u.Find(U("100000"))->Name, U("두 줄\n이름"));
    EXPECT_EQ(u.Find(U("100010"))->Market, TSimMarket::Kosdaq);
    EXPECT_EQ(rep.Skipped, 1);
    ASSERT_FALSE(rep.Problems.isEmpty());
    EXPECT_TRUE(rep.Problems[0].startsWith(U("5줄"))) << rep.Problems[0].toStdString();
}

TEST_F(SimUniverseCsv, UnusableFilesFailAndLeaveTheUniverseAlone)
{
    struct Case { const char* what; QByteArray bytes; const char* says; } cases[] = {
        {"empty", "", "빈 파일"},
        {"only blank lines", "\r\n\r\n", "빈 파일"},
        {"header only", "code,name,market,price\n", "쓸 수 있는 종목 줄이 없음"},
        {"no price column", "code,name,market\n005930,삼성전자,KOSPI\n", "price"},
        {"every row bad", "code,name,market,price\n005930,삼성전자,KOSPI,0\n0006X,x,KOSPI,1000\n",
         "2줄 건너뜀"},
        {"not text", QByteArray("code,\xFF\xC3\x28\n"), "UTF-8"},
    };
    for (const Case& c : cases) {
        TUniverse u = TUniverse::Default(1, 200);
        QString err;
        EXPECT_FALSE(LoadUniverseCsv(Write(c.bytes), u, &err)) << c.what;
        EXPECT_TRUE(err.contains(U(c.says))) << c.what << ": " << err.toStdString();
        EXPECT_EQ(u.Size(), 200) << c.what;
    }
    TUniverse u;
    QString err;
    EXPECT_FALSE(LoadUniverseCsv(FDir.filePath(QStringLiteral("missing.csv")), u, &err));
    EXPECT_TRUE(err.contains(U("열 수 없음"))) << err.toStdString();
    // A pipe is refused unopened: the exchange would otherwise never start.
    const QString pipe = FDir.filePath(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_FALSE(LoadUniverseCsv(pipe, u, &err));
    EXPECT_TRUE(err.contains(U("파이프"))) << err.toStdString();
}

TEST_F(SimUniverseCsv, Cp949File)
{
    QStringEncoder enc("CP949");
    if (!enc.isValid())
        GTEST_SKIP() << "this Qt build has no CP949 codec";
    const QByteArray bytes = enc(U("종목코드,종목명,시장,현재가\n005930,삼성전자,코스피,75000\n"));
    TUniverse u;
    QString err;
    ASSERT_TRUE(LoadUniverseCsv(Write(bytes), u, &err)) << err.toStdString();
    ASSERT_EQ(u.Size(), 1);
    EXPECT_EQ(u.At(0).Name, U("삼성전자"));
}

} // namespace
