// The installed result-layout files: every one parses, and each has the
// blocks and fields the program sets and reads.
#include "broker/ResLayout.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

const QString KResDir = QStringLiteral(KESTREL_RES_DIR);

const QStringList KQueries = {
    "t8430", "t1101", "t8410", "t8412", "t1301", "t1637", "t0167", "t0150", "t0424",
    "t0425", "t1102", "t1441", "t1463", "t1466", "t1601", "t1602", "t3102", "t3518",
    "t3521", "t8407", "t8409", "CSPAQ12300", "CSPAT00600", "CSPAT00700", "CSPAT00800",
};
const QStringList KFeeds = {"S3_", "K3_", "H1_", "HA_", "SC0", "SC1", "SC3", "NWS"};

// "offerho" -> offerho1 .. offerho10
QStringList Levels(const QStringList& stems)
{
    QStringList out;
    for (const QString& s : stems)
        for (int i = 1; i <= 10; ++i)
            out << s + QString::number(i);
    return out;
}

struct TNeed {
    const char* Code;
    const char* Block;
    bool Input;
    bool Occurs;
    QStringList Fields;
};

const QList<TNeed>& Needs()
{
    static const QList<TNeed> needs = {
        {"t8430", "t8430InBlock", true, false, {"gubun"}},
        {"t8430", "t8430OutBlock", false, true, {"shcode", "hname", "expcode", "gubun"}},
        {"t1101", "t1101InBlock", true, false, {"shcode"}},
        {"t1101", "t1101OutBlock", false, false,
         QStringList{"hname", "price", "jnilclose", "volume", "open", "high", "low", "uplmtprice", "dnlmtprice",
                     "offer", "bid"} + Levels({"offerho", "bidho", "offerrem", "bidrem"})},
        {"t8410", "t8410InBlock", true, false,
         {"shcode", "gubun", "qrycnt", "sdate", "edate", "cts_date", "comp_yn", "sujung"}},
        {"t8410", "t8410OutBlock1", false, true, {"date", "open", "high", "low", "close", "jdiff_vol", "value"}},
        {"t8412", "t8412InBlock", true, false,
         {"shcode", "ncnt", "qrycnt", "nday", "sdate", "stime", "edate", "etime", "cts_date", "cts_time", "comp_yn"}},
        {"t8412", "t8412OutBlock", false, false, {"shcode", "cts_date", "cts_time"}},
        {"t8412", "t8412OutBlock1", false, true,
         {"date", "time", "open", "high", "low", "close", "jdiff_vol", "value"}},
        {"t1301", "t1301InBlock", true, false, {"shcode", "cvolume", "starttime", "endtime", "cts_time"}},
        {"t1301", "t1301OutBlock", false, false, {"cts_time"}},
        {"t1301", "t1301OutBlock1", false, true, {"chetime", "price", "cvolume", "msvolume", "mdvolume"}},
        {"t1637", "t1637InBlock", true, false, {"shcode"}},
        {"t1637", "t1637OutBlock1", false, true,
         {"time", "price", "sign", "change", "diff", "volume", "svolume", "offervolume", "stksvolume"}},
        {"t0167", "t0167InBlock", true, false, {"id"}},
        {"t0167", "t0167OutBlock", false, false, {"dt", "time"}},
        {"t0150", "t0150InBlock", true, false, {"accno", "cts_medosu", "cts_expcode", "cts_price", "cts_middiv"}},
        {"t0150", "t0150OutBlock", false, false, {"cts_medosu", "cts_expcode", "cts_price", "cts_middiv"}},
        {"t0150", "t0150OutBlock1", false, true, {"expcode", "medosu", "fee", "tax", "argtax"}},
        {"t0424", "t0424InBlock", true, false,
         {"accno", "passwd", "prcgb", "chegb", "dangb", "charge", "cts_expcode"}},
        {"t0424", "t0424OutBlock", false, false, {"dtsunik", "cts_expcode"}},
        {"t0424", "t0424OutBlock1", false, true, {"expcode", "pamt"}},
        {"t0425", "t0425InBlock", true, false, {"accno", "passwd", "expcode", "chegb", "medosu", "sortgb", "cts_ordno"}},
        {"t0425", "t0425OutBlock", false, false, {"cts_ordno"}},
        {"t0425", "t0425OutBlock1", false, true,
         {"ordno", "expcode", "medosu", "ordgb", "price", "ordrem", "cheqty", "cheprice", "ordtime"}},
        {"t1102", "t1102InBlock", true, false, {"shcode"}},
        {"t1102", "t1102OutBlock", false, false,
         QStringList{"shcode", "jnilvolume", "fwdvl", "fwsvl", "ftradmdcha", "ftradmscha"} +
             QStringList{"offerno1", "bidno1", "dvol1", "svol1", "dcha1", "scha1"} +
             QStringList{"offerno5", "bidno5", "dvol5", "svol5", "dcha5", "scha5"}},
        {"t1441", "t1441InBlock", true, false,
         {"gubun1", "gubun2", "gubun3", "jc_num", "sprice", "eprice", "volume", "idx", "jc_num2"}},
        {"t1441", "t1441OutBlock1", false, true, {"shcode", "hname", "price", "sign", "diff", "volume", "value", "updaycnt"}},
        {"t1463", "t1463InBlock", true, false,
         {"gubun", "jnilgubun", "jc_num", "sprice", "eprice", "volume", "idx", "jc_num2"}},
        {"t1463", "t1463OutBlock1", false, true, {"shcode", "hname", "price", "sign", "diff", "volume", "value", "jnilvalue"}},
        {"t1466", "t1466InBlock", true, false,
         {"gubun", "type1", "type2", "jc_num", "sprice", "eprice", "volume", "idx", "jc_num2"}},
        {"t1466", "t1466OutBlock1", false, true,
         {"shcode", "hname", "price", "sign", "diff", "volume", "stdvolume", "voldiff"}},
        {"t1601", "t1601InBlock", true, false, {"gubun1", "gubun2", "gubun3", "gubun4", "exchgubun"}},
        {"t1601", "t1601OutBlock1", false, false, {"svolume_08", "svolume_17", "svolume_18"}},
        {"t1601", "t1601OutBlock2", false, false, {"svolume_08", "svolume_17", "svolume_18"}},
        {"t1602", "t1602InBlock", true, false,
         {"market", "upcode", "gubun1", "gubun2", "cts_time", "cts_idx", "cnt", "gubun3", "exchgubun"}},
        {"t1602", "t1602OutBlock", false, false, {"cts_time"}},
        {"t1602", "t1602OutBlock1", false, true, {"time", "sv_08", "sv_17", "sv_18"}},
        {"t3102", "t3102InBlock", true, false, {"sNewsno"}},
        {"t3102", "t3102OutBlock1", false, true, {"sBody"}},
        {"t3518", "t3518InBlock", true, false, {"kind", "symbol", "cnt", "jgbn", "nmin", "cts_date", "cts_time"}},
        {"t3518", "t3518OutBlock1", false, true, {"date", "time", "price", "symbol"}},
        {"t3521", "t3521InBlock", true, false, {"kind", "symbol"}},
        {"t3521", "t3521OutBlock", false, false, {"symbol", "close", "diff", "sign"}},
        {"t8407", "t8407InBlock", true, false, {"nrec", "shcode"}},
        {"t8407", "t8407OutBlock1", false, true, {"shcode", "price", "diff", "sign", "volume", "value"}},
        {"t8409", "t8409InBlock", true, false,
         {"shcode", "ncnt", "qrycnt", "nday", "sdate", "stime", "edate", "etime", "cts_date", "cts_time", "comp_yn"}},
        {"t8409", "t8409OutBlock", false, false, {"jiclose"}},
        {"t8409", "t8409OutBlock1", false, true, {"date", "time", "close"}},
        {"CSPAQ12300", "CSPAQ12300InBlock1", true, false,
         {"RecCnt", "AcntNo", "Pwd", "BalCreTp", "CmsnAppTpCode", "D2balBaseQryTp", "UprcTpCode"}},
        {"CSPAQ12300", "CSPAQ12300OutBlock3", false, true,
         {"IsuNo", "IsuNm", "BnsBaseBalQty", "AvrUprc", "BuyPrc", "NowPrc", "EvalPnl", "PnlRat"}},
        {"CSPAT00600", "CSPAT00600InBlock1", true, false,
         {"AcntNo", "InptPwd", "IsuNo", "OrdQty", "OrdPrc", "BnsTpCode", "OrdprcPtnCode", "MgntrnCode",
          "OrdCndiTpCode", "MbrNo"}},
        {"CSPAT00600", "CSPAT00600OutBlock2", false, false, {"OrdNo"}},
        {"CSPAT00700", "CSPAT00700InBlock1", true, false,
         {"OrgOrdNo", "AcntNo", "InptPwd", "IsuNo", "OrdQty", "OrdprcPtnCode", "OrdCndiTpCode", "OrdPrc"}},
        {"CSPAT00800", "CSPAT00800InBlock1", true, false, {"OrgOrdNo", "AcntNo", "InptPwd", "IsuNo", "OrdQty"}},
        {"S3_", "InBlock", true, false, {"shcode"}},
        {"S3_", "OutBlock", false, false,
         {"shcode", "chetime", "price", "open", "high", "low", "volume", "cvolume", "cgubun"}},
        {"K3_", "InBlock", true, false, {"shcode"}},
        {"K3_", "OutBlock", false, false,
         {"shcode", "chetime", "price", "open", "high", "low", "volume", "cvolume", "cgubun"}},
        {"H1_", "InBlock", true, false, {"shcode"}},
        {"H1_", "OutBlock", false, false,
         QStringList{"shcode", "totofferrem", "totbidrem"} + Levels({"offerho", "bidho", "offerrem", "bidrem"})},
        {"HA_", "InBlock", true, false, {"shcode"}},
        {"HA_", "OutBlock", false, false,
         QStringList{"shcode", "totofferrem", "totbidrem"} + Levels({"offerho", "bidho", "offerrem", "bidrem"})},
        {"SC0", "OutBlock", false, false, {"ordno"}},
        {"SC1", "OutBlock", false, false, {"Isunm", "execqty", "execprc", "bnstp", "shtnIsuno"}},
        {"SC3", "OutBlock", false, false, {"ordno", "orgordno"}},
        {"NWS", "InBlock", true, false, {"nwcode"}},
        {"NWS", "OutBlock", false, false, {"date", "time", "realkey", "title", "code", "id"}},
    };
    return needs;
}

TResLayout Load(const QString& code)
{
    TResLayout lay;
    QString err;
    EXPECT_TRUE(LoadResLayout(KResDir + code + ".res", lay, &err)) << err.toStdString();
    return lay;
}

TEST(ResFilesTest, EveryCodeInstalledAndWellFormed)
{
    const QStringList installed = QDir(KResDir).entryList({"*.res"}, QDir::Files, QDir::Name);
    QSet<QString> want;
    for (const QString& c : KQueries + KFeeds)
        want.insert(c + ".res");
    EXPECT_EQ(QSet<QString>(installed.begin(), installed.end()), want);

    for (const QString& code : KQueries + KFeeds) {
        SCOPED_TRACE(code.toStdString());
        const TResLayout lay = Load(code);
        EXPECT_EQ(lay.Code, code);
        EXPECT_FALSE(lay.Desc.isEmpty());
        EXPECT_EQ(lay.Feed, KFeeds.contains(code));
        ASSERT_FALSE(lay.Blocks.isEmpty());
        bool anyInput = false;
        for (const TResBlock& b : lay.Blocks) {
            SCOPED_TRACE(b.Name.toStdString());
            anyInput |= b.Input;
            if (!lay.Feed) {
                EXPECT_TRUE(b.Name.startsWith(code + (b.Input ? "InBlock" : "OutBlock"))) << "block named after its code";
            }
            // The description lookup reads the same fields as the full parser.
            const TResFields quick = LoadResFields(KResDir + code + ".res", b.Name);
            ASSERT_EQ(quick.size(), b.Fields.size());
            for (int i = 0; i < quick.size(); ++i) {
                EXPECT_EQ(quick[i].Name, b.Fields[i].Name);
                EXPECT_EQ(quick[i].Desc, b.Fields[i].Desc);
                EXPECT_FALSE(b.Fields[i].Desc.contains(QChar::ReplacementCharacter)) << "decoded as CP949";
            }
        }
        EXPECT_TRUE(anyInput);
        if (lay.Feed) {
            ASSERT_NE(lay.Block("InBlock"), nullptr);
            ASSERT_NE(lay.Block("OutBlock"), nullptr);
            EXPECT_FALSE(lay.Block("OutBlock")->Fields.isEmpty());
        }
    }
}

TEST(ResFilesTest, BlocksAndFieldsTheProgramUses)
{
    for (const TNeed& n : Needs()) {
        SCOPED_TRACE(std::string(n.Code) + " " + n.Block);
        const TResLayout lay = Load(n.Code);
        const TResBlock* b = lay.Block(n.Block);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->Name, QString(n.Block)) << "block name spelt as the program spells it";
        EXPECT_EQ(b->Input, n.Input);
        EXPECT_EQ(b->Occurs, n.Occurs);
        for (const QString& f : n.Fields)
            EXPECT_TRUE(b->Has(f)) << "missing field " << f.toStdString();
    }
}

TEST(ResFilesTest, DescriptionLookupsOfTheProgram)
{
    struct TLookup {
        const char* Code;
        const char* Block;
        QStringList Descs;
        const char* Want;  // the field the description names in our layouts
    };
    const TLookup lookups[] = {
        {"t1637", "t1637OutBlock1", {"시간"}, "time"},
        {"t1637", "t1637OutBlock1", {"현재가"}, "price"},
        {"t1637", "t1637OutBlock1", {"대비구분"}, "sign"},
        {"t1637", "t1637OutBlock1", {"대비"}, "change"},
        {"t1637", "t1637OutBlock1", {"등락율", "등락률"}, "diff"},
        {"t1637", "t1637OutBlock1", {"거래량"}, "volume"},
        {"t1637", "t1637OutBlock1", {"순매수수량"}, "svolume"},
        {"t1637", "t1637OutBlock1", {"매도수량"}, "offervolume"},
        {"t1637", "t1637OutBlock1", {"매수수량"}, "stksvolume"},
        {"t1301", "t1301OutBlock1", {"매수체결수량", "매수체결량", "매수누적체결량"}, "msvolume"},
        {"t1301", "t1301OutBlock1", {"매도체결수량", "매도체결량", "매도누적체결량"}, "mdvolume"},
        {"t8407", "t8407OutBlock1", {"종목코드", "단축코드"}, "shcode"},
        {"t8407", "t8407OutBlock1", {"현재가"}, "price"},
        {"t8407", "t8407OutBlock1", {"누적거래량", "거래량"}, "volume"},
        {"t8407", "t8407OutBlock1", {"등락율", "등락률"}, "diff"},
        {"t8407", "t8407OutBlock1", {"전일대비구분", "대비구분"}, "sign"},
        {"t1102", "t1102OutBlock", {"전일거래량"}, "jnilvolume"},
        {"t1102", "t1102OutBlock", {"단축코드", "종목코드"}, "shcode"},
    };
    for (const TLookup& l : lookups) {
        SCOPED_TRACE(std::string(l.Code) + " " + l.Descs.join('/').toStdString());
        const TResFields f = LoadResFields(KResDir + l.Code + ".res", l.Block);
        EXPECT_EQ(FindField(f, l.Descs, "<absent>"), QString(l.Want));
    }
}

}  // namespace
