#include "sim/Universe.h"
#include "sim/PriceGrid.h"
#include "sim/SimRandom.h"
#include <algorithm>
#include <cmath>

namespace {

struct TBuiltin {
    const char* Code;
    const char* Name;
    char Mkt;          // 'P' KOSPI, 'Q' KOSDAQ, 'E' ETF (KOSPI)
    int Price;
    qint64 Volume;
    qint64 Shares;
    const char* Isin;  // only where it is not "KR7" + code + "00" + check
};

// Well-known stocks with their real codes and names; price levels and
// volumes are typical, not a particular day's.
const TBuiltin kBuiltins[] = {
    {"005930", "삼성전자", 'P', 75000, 15000000, 5969782550, nullptr},
    {"000660", "SK하이닉스", 'P', 180000, 3500000, 728002365, nullptr},
    {"373220", "LG에너지솔루션", 'P', 350000, 300000, 234000000, nullptr},
    {"207940", "삼성바이오로직스", 'P', 800000, 70000, 71174000, nullptr},
    {"005380", "현대차", 'P', 230000, 800000, 209416191, nullptr},
    {"000270", "기아", 'P', 100000, 1500000, 397672632, nullptr},
    {"035420", "NAVER", 'P', 170000, 600000, 158437008, nullptr},
    {"035720", "카카오", 'P', 40000, 2000000, 443000000, nullptr},
    {"068270", "셀트리온", 'P', 180000, 700000, 217000000, nullptr},
    {"005490", "POSCO홀딩스", 'P', 350000, 400000, 84571230, nullptr},
    {"051910", "LG화학", 'P', 320000, 300000, 70592343, nullptr},
    {"006400", "삼성SDI", 'P', 330000, 400000, 68764530, nullptr},
    {"005935", "삼성전자우", 'P', 60000, 1500000, 815974664, "KR7005931001"},
    {"105560", "KB금융", 'P', 75000, 1200000, 403511072, nullptr},
    {"055550", "신한지주", 'P', 50000, 1300000, 509276221, nullptr},
    {"086790", "하나금융지주", 'P', 60000, 1200000, 292356598, nullptr},
    {"316140", "우리금융지주", 'P', 15000, 2000000, 742591501, nullptr},
    {"012330", "현대모비스", 'P', 230000, 200000, 93000000, nullptr},
    {"028260", "삼성물산", 'P', 145000, 400000, 180000000, nullptr},
    {"066570", "LG전자", 'P', 95000, 800000, 163647814, nullptr},
    {"003550", "LG", 'P', 80000, 250000, 157000000, nullptr},
    {"034730", "SK", 'P', 160000, 150000, 72000000, nullptr},
    {"017670", "SK텔레콤", 'P', 52000, 500000, 214790053, nullptr},
    {"030200", "KT", 'P', 38000, 1000000, 257000000, nullptr},
    {"032830", "삼성생명", 'P', 85000, 300000, 200000000, nullptr},
    {"000810", "삼성화재", 'P', 330000, 100000, 47000000, nullptr},
    {"009150", "삼성전기", 'P', 140000, 400000, 74693696, nullptr},
    {"018260", "삼성에스디에스", 'P', 150000, 150000, 77377800, nullptr},
    {"010130", "고려아연", 'P', 480000, 50000, 20000000, nullptr},
    {"011200", "HMM", 'P', 17000, 3000000, 1000000000, nullptr},
    {"003670", "포스코퓨처엠", 'P', 270000, 300000, 77000000, nullptr},
    {"096770", "SK이노베이션", 'P', 110000, 400000, 100000000, nullptr},
    {"010950", "S-Oil", 'P', 70000, 250000, 112000000, nullptr},
    {"015760", "한국전력", 'P', 21000, 2500000, 642000000, nullptr},
    {"034020", "두산에너빌리티", 'P', 17000, 5000000, 640000000, nullptr},
    {"012450", "한화에어로스페이스", 'P', 230000, 300000, 50000000, nullptr},
    {"047810", "한국항공우주", 'P', 52000, 600000, 97000000, nullptr},
    {"009540", "HD한국조선해양", 'P', 160000, 200000, 70000000, nullptr},
    {"329180", "HD현대중공업", 'P', 170000, 200000, 88000000, nullptr},
    {"010140", "삼성중공업", 'P', 10000, 8000000, 880000000, nullptr},
    {"042660", "한화오션", 'P', 28000, 2000000, 306000000, nullptr},
    {"267250", "HD현대", 'P', 65000, 150000, 79000000, nullptr},
    {"086280", "현대글로비스", 'P', 110000, 200000, 75000000, nullptr},
    {"000100", "유한양행", 'P', 90000, 800000, 80000000, nullptr},
    {"128940", "한미약품", 'P', 300000, 60000, 12800000, nullptr},
    {"302440", "SK바이오사이언스", 'P', 50000, 300000, 76000000, nullptr},
    {"326030", "SK바이오팜", 'P', 90000, 300000, 78000000, nullptr},
    {"033780", "KT&G", 'P', 90000, 300000, 120000000, nullptr},
    {"090430", "아모레퍼시픽", 'P', 130000, 300000, 58000000, nullptr},
    {"051900", "LG생활건강", 'P', 350000, 50000, 15600000, nullptr},
    {"097950", "CJ제일제당", 'P', 300000, 40000, 15000000, nullptr},
    {"271560", "오리온", 'P', 95000, 150000, 39500000, nullptr},
    {"004020", "현대제철", 'P', 28000, 700000, 133000000, nullptr},
    {"000720", "현대건설", 'P', 33000, 600000, 111000000, nullptr},
    {"006800", "미래에셋증권", 'P', 8000, 1500000, 600000000, nullptr},
    {"024110", "기업은행", 'P', 13000, 1500000, 800000000, nullptr},
    {"323410", "카카오뱅크", 'P', 22000, 1500000, 477000000, nullptr},
    {"377300", "카카오페이", 'P', 28000, 600000, 133000000, nullptr},
    {"259960", "크래프톤", 'P', 250000, 100000, 48000000, nullptr},
    {"036570", "엔씨소프트", 'P', 190000, 100000, 21900000, nullptr},
    {"251270", "넷마블", 'P', 55000, 200000, 86000000, nullptr},
    {"352820", "하이브", 'P', 200000, 200000, 41600000, nullptr},
    {"011070", "LG이노텍", 'P', 230000, 150000, 23600000, nullptr},
    {"034220", "LG디스플레이", 'P', 11000, 2000000, 500000000, nullptr},
    {"011170", "롯데케미칼", 'P', 100000, 150000, 42000000, nullptr},
    {"161390", "한국타이어앤테크놀로지", 'P', 50000, 300000, 123000000, nullptr},
    {"010620", "HD현대미포", 'P', 80000, 150000, 40000000, nullptr},
    {"003490", "대한항공", 'P', 21000, 1500000, 368000000, nullptr},
    {"180640", "한진칼", 'P', 60000, 100000, 66000000, nullptr},
    {"078930", "GS", 'P', 42000, 150000, 92000000, nullptr},
    {"001040", "CJ", 'P', 110000, 100000, 29000000, nullptr},
    {"004990", "롯데지주", 'P', 25000, 100000, 105000000, nullptr},
    {"282330", "BGF리테일", 'P', 110000, 40000, 17000000, nullptr},
    {"139480", "이마트", 'P', 60000, 100000, 27000000, nullptr},
    {"069960", "현대백화점", 'P', 50000, 80000, 22000000, nullptr},
    {"000880", "한화", 'P', 28000, 200000, 75000000, nullptr},
    {"009830", "한화솔루션", 'P', 28000, 800000, 171000000, nullptr},
    {"088980", "맥쿼리인프라", 'P', 12000, 600000, 475000000, nullptr},
    {"042700", "한미반도체", 'P', 100000, 1000000, 97000000, nullptr},
    {"047050", "포스코인터내셔널", 'P', 50000, 800000, 176000000, nullptr},
    {"010120", "LS ELECTRIC", 'P', 150000, 300000, 30000000, nullptr},
    {"006260", "LS", 'P', 100000, 150000, 32000000, nullptr},
    {"000150", "두산", 'P', 150000, 100000, 16500000, nullptr},
    {"241560", "두산밥캣", 'P', 45000, 400000, 100000000, nullptr},
    {"021240", "코웨이", 'P', 60000, 200000, 73000000, nullptr},
    {"002380", "KCC", 'P', 250000, 30000, 9000000, nullptr},
    {"008770", "호텔신라", 'P', 50000, 200000, 39000000, nullptr},
    {"036460", "한국가스공사", 'P', 30000, 400000, 92000000, nullptr},
    {"005830", "DB손해보험", 'P', 100000, 200000, 70000000, nullptr},
    {"071050", "한국금융지주", 'P', 70000, 200000, 55000000, nullptr},
    {"247540", "에코프로비엠", 'Q', 200000, 500000, 97800000, nullptr},
    {"086520", "에코프로", 'Q', 90000, 1000000, 133000000, nullptr},
    {"091990", "셀트리온헬스케어", 'Q', 70000, 1000000, 160000000, nullptr},
    {"196170", "알테오젠", 'Q', 250000, 500000, 53000000, nullptr},
    {"028300", "HLB", 'Q', 80000, 1000000, 130000000, nullptr},
    {"263750", "펄어비스", 'Q', 35000, 300000, 64000000, nullptr},
    {"293490", "카카오게임즈", 'Q', 20000, 500000, 83000000, nullptr},
    {"035900", "JYP Ent.", 'Q', 65000, 300000, 35500000, nullptr},
    {"041510", "에스엠", 'Q', 80000, 200000, 23800000, nullptr},
    {"122870", "와이지엔터테인먼트", 'Q', 40000, 200000, 18700000, nullptr},
    {"066970", "엘앤에프", 'Q', 130000, 300000, 36000000, nullptr},
    {"058470", "리노공업", 'Q', 200000, 80000, 15200000, nullptr},
    {"039030", "이오테크닉스", 'Q', 180000, 80000, 12300000, nullptr},
    {"357780", "솔브레인", 'Q', 250000, 50000, 7800000, nullptr},
    {"240810", "원익IPS", 'Q', 35000, 300000, 49000000, nullptr},
    {"145020", "휴젤", 'Q', 200000, 60000, 12500000, nullptr},
    {"214150", "클래시스", 'Q', 40000, 300000, 65000000, nullptr},
    {"112040", "위메이드", 'Q', 40000, 500000, 34000000, nullptr},
    {"068760", "셀트리온제약", 'Q', 90000, 200000, 41000000, nullptr},
    {"095340", "ISC", 'Q', 70000, 200000, 21000000, nullptr},
    {"403870", "HPSP", 'Q', 40000, 800000, 83000000, nullptr},
    {"277810", "레인보우로보틱스", 'Q', 150000, 300000, 19400000, nullptr},
    {"141080", "리가켐바이오", 'Q', 80000, 300000, 36000000, nullptr},
    {"328130", "루닛", 'Q', 45000, 800000, 28000000, nullptr},
    {"036930", "주성엔지니어링", 'Q', 30000, 500000, 48000000, nullptr},
    {"278280", "천보", 'Q', 70000, 50000, 10000000, nullptr},
    {"005290", "동진쎄미켐", 'Q', 35000, 300000, 51000000, nullptr},
    {"348370", "엔켐", 'Q', 200000, 300000, 20000000, nullptr},
    {"022100", "포스코DX", 'Q', 30000, 1000000, 152000000, nullptr},
    {"086900", "메디톡스", 'Q', 170000, 40000, 7400000, nullptr},
    {"215600", "신라젠", 'Q', 4000, 2000000, 150000000, nullptr},
    {"078340", "컴투스", 'Q', 40000, 60000, 13000000, nullptr},
    {"253450", "스튜디오드래곤", 'Q', 45000, 100000, 30000000, nullptr},
    {"067310", "하나마이크론", 'Q', 20000, 800000, 48000000, nullptr},
    {"032500", "케이엠더블유", 'Q', 15000, 300000, 40000000, nullptr},
    {"039200", "오스코텍", 'Q', 30000, 400000, 38000000, nullptr},
    {"041190", "우리기술투자", 'Q', 7000, 2000000, 84000000, nullptr},
    {"060310", "3S", 'Q', 2500, 1000000, 48000000, nullptr},
    {"078020", "LS증권", 'Q', 4545, 300000, 54000000, nullptr},
    {"035760", "CJ ENM", 'Q', 80000, 100000, 22000000, nullptr},
    {"000250", "삼천당제약", 'Q', 100000, 300000, 23000000, nullptr},
    {"069500", "KODEX 200", 'E', 36000, 5000000, 100000000, nullptr},
    {"102110", "TIGER 200", 'E', 36000, 1000000, 60000000, nullptr},
    {"122630", "KODEX 레버리지", 'E', 19000, 20000000, 120000000, nullptr},
    {"114800", "KODEX 인버스", 'E', 4500, 15000000, 150000000, nullptr},
    {"252670", "KODEX 200선물인버스2X", 'E', 2300, 100000000, 700000000, nullptr},
    {"229200", "KODEX 코스닥150", 'E', 12000, 3000000, 80000000, nullptr},
    {"233740", "KODEX 코스닥150레버리지", 'E', 9000, 15000000, 150000000, nullptr},
    {"251340", "KODEX 코스닥150선물인버스", 'E', 4500, 10000000, 200000000, nullptr},
    {"360750", "TIGER 미국S&P500", 'E', 18000, 1000000, 150000000, nullptr},
    {"133690", "TIGER 미국나스닥100", 'E', 110000, 100000, 20000000, nullptr},
};

// Words generated company names are made of.
const char* const kPrefixes[] = {
    "대한", "동양", "한국", "서울", "부산", "대구", "인천", "경남", "세진", "우진",
    "신성", "동원", "대성", "한일", "삼화", "금호", "대림", "광동", "일진", "영진",
    "성우", "진성", "한솔", "유니", "코리아", "태평양", "동아", "신흥", "대양", "청우",
    "미래", "새한", "한빛", "누리", "하늘", "보람", "두리", "한결", "다온", "해성",
    "동화", "대원", "삼진", "서한", "우성", "화인", "태광", "대동", "동국", "극동",
    "범양", "한양", "성진", "제일", "중앙", "국제", "세원", "삼영", "디에이", "에이치",
    "케이", "엠씨", "제이엔", "티에스", "에스엔", "피엔", "아이엠", "와이엠", "씨엔", "나노",
    "글로벌", "그린", "블루", "스타", "뉴", "퓨처", "넥스트", "알파", "오션", "에이스",
};
const char kSyllables[] =
    "대한동양세진우성신영일광태화금보미서삼경국중원명청현유정수안해나다라상인창효덕흥";
const char* const kBusiness[] = {
    "바이오", "테크", "전자", "화학", "제약", "에너지", "정밀", "산업", "건설", "물산",
    "시스템", "소재", "반도체", "로보틱스", "헬스케어", "게임즈", "엔터", "식품", "철강", "중공업",
    "통신", "디스플레이", "머티리얼즈", "솔루션", "네트웍스", "메디칼", "파마", "케미칼", "모빌리티", "인더스트리",
    "이앤씨", "전기", "기계", "금속", "제지", "섬유", "해운", "항공", "생명과학", "바이오텍",
    "이노베이션", "인터내셔널", "리테일", "미디어", "소프트", "데이터", "정보통신", "광학", "레이저", "세라믹",
    "배터리", "수소", "로직스", "푸드", "코스메틱", "에프앤비", "텍스타일", "하이텍", "일렉트릭", "앤컴퍼니",
};

template <typename T, size_t N>
constexpr int CountOf(const T (&)[N]) { return int(N); }

QString PreferredIsin(const QString& code)
{
    // A preferred share (code ending in 5) carries the common share's first
    // five digits and 1 in its ISIN.
    const QString base = QStringLiteral("KR7") + code.left(5) + QStringLiteral("100");
    return base + QChar(u'0' + IsinCheckDigit(base));
}

} // namespace

TUniverse TUniverse::Default(quint64 seed, int total)
{
    TUniverse u;
    u.AddBuiltins();
    u.FillGenerated(total, seed);
    return u;
}

void TUniverse::Clear()
{
    FStocks.clear();
    FIndex.clear();
    FNames.clear();
}

const TSimStock* TUniverse::Find(const QString& code) const
{
    const int i = IndexOf(code);
    return i < 0 ? nullptr : &FStocks[i];
}

bool TUniverse::Add(TSimStock s, QString* err)
{
    auto fail = [&](const QString& why) {
        if (err)
            *err = why;
        return false;
    };
    s.Code = s.Code.trimmed();
    s.Name = s.Name.trimmed();
    s.Isin = s.Isin.trimmed().toUpper();
    if (!IsValidStockCode(s.Code))
        return fail(QStringLiteral("종목코드가 6자리가 아님: \"%1\"").arg(s.Code));
    if (FIndex.contains(s.Code))
        return fail(QStringLiteral("종목코드 중복: %1").arg(s.Code));
    if (s.Name.isEmpty())
        return fail(QStringLiteral("종목명이 비어 있음: %1").arg(s.Code));
    if (s.PrevClose < 1)
        return fail(QStringLiteral("가격이 0 이하: %1").arg(s.Code));
    if (s.Isin.isEmpty())
        s.Isin = IsinForCode(s.Code);
    else if (!IsValidIsin(s.Isin))
        return fail(QStringLiteral("ISIN이 올바르지 않음: %1 %2").arg(s.Code, s.Isin));
    s.PrevClose = FloorToGrid(s.PrevClose);
    s.PrevVolume = std::max<qint64>(0, s.PrevVolume);
    s.Shares = std::max<qint64>(0, s.Shares);
    FIndex.insert(s.Code, FStocks.size());
    FNames.insert(s.Name);
    FStocks.push_back(std::move(s));
    return true;
}

void TUniverse::AddBuiltins()
{
    for (const TBuiltin& b : kBuiltins) {
        TSimStock s;
        s.Code = QString::fromLatin1(b.Code);
        if (FIndex.contains(s.Code))
            continue;
        s.Name = QString::fromUtf8(b.Name);
        s.Market = b.Mkt == 'Q' ? TSimMarket::Kosdaq : TSimMarket::Kospi;
        s.Etf = b.Mkt == 'E';
        s.PrevClose = b.Price;
        s.PrevVolume = b.Volume;
        s.Shares = b.Shares;
        if (b.Isin)
            s.Isin = QString::fromLatin1(b.Isin);
        Add(s);
    }
}

void TUniverse::FillGenerated(int total, quint64 seed)
{
    if (Size() >= total)
        return;
    TSimRng rng(SeedMix({seed, SeedOfText(QStringLiteral("universe"))}));
    const QString syl = QString::fromUtf8(kSyllables);

    int kosdaqNow = 0;
    for (const TSimStock& s : FStocks)
        kosdaqNow += s.Market == TSimMarket::Kosdaq;
    const int toMake = total - Size();
    const double pKosdaq = std::clamp((0.45 * total - kosdaqNow) / std::max(1, toMake), 0.0, 1.0);

    auto makeName = [&]() {
        QString prefix;
        if (rng.Chance(0.55))
            prefix = QString::fromUtf8(kPrefixes[rng.Below(CountOf(kPrefixes))]);
        else
            prefix = QString(syl[rng.Below(syl.size())]) + syl[rng.Below(syl.size())];
        QString name = prefix + QString::fromUtf8(kBusiness[rng.Below(CountOf(kBusiness))]);
        const double r = rng.Uniform();
        if (r < 0.07)
            name += QStringLiteral("홀딩스");
        else if (r < 0.10)
            name += QStringLiteral("글로벌");
        return name;
    };
    auto makeCode = [&]() {
        // Ordinary shares end in 0 like the real ones; keep the preferred
        // code (ending in 5) free as well.
        return QStringLiteral("%1").arg((1 + rng.Below(49999)) * 10, 6, 10, QChar(u'0'));
    };

    int guard = 0;
    while (Size() < total && guard++ < total * 50) {
        QString name = makeName();
        if (FNames.contains(name))
            continue;
        QString code = makeCode();
        QString prefCode = code.left(5) + QChar(u'5');
        if (FIndex.contains(code) || FIndex.contains(prefCode))
            continue;

        TSimStock s;
        s.Code = code;
        s.Name = name;
        s.Market = rng.Chance(pKosdaq) ? TSimMarket::Kosdaq : TSimMarket::Kospi;
        // Prices log-normal around 9,000 won, 1,000 .. 500,000.
        const double px = std::clamp(9000.0 * std::exp(1.1 * rng.Normal()), 1000.0, 500000.0);
        s.PrevClose = FloorToGrid(qint64(px));
        // Daily trading value log-normal around 1.5 billion won.
        const double value = 1.5e9 * std::exp(1.3 * rng.Normal());
        s.PrevVolume = std::max<qint64>(1000, qint64(value / s.PrevClose));
        const double cap = 1.5e11 * std::exp(1.2 * rng.Normal());
        s.Shares = std::max<qint64>(1000000, qint64(cap / s.PrevClose));
        if (!Add(s))
            continue;

        if (s.Market == TSimMarket::Kospi && Size() < total && rng.Chance(0.04)) {
            const QString prefName = name + QStringLiteral("우");
            if (!FNames.contains(prefName)) {
                TSimStock p = s;
                p.Code = prefCode;
                p.Name = prefName;
                p.Isin = PreferredIsin(code);
                p.PrevClose = FloorToGrid(std::max<qint64>(1000, qint64(s.PrevClose * rng.Uniform(0.55, 0.95))));
                p.PrevVolume = std::max<qint64>(100, s.PrevVolume / 20);
                p.Shares = std::max<qint64>(100000, s.Shares / 15);
                Add(p);
            }
        }
    }
}
