// The simulated market's universe file (SIM/UNIVERSE in hts.ini): the input
// is the CSV file's bytes.
//
// Checks:
//  - a file that loads replaces the universe with valid stocks only (code,
//    name, ISIN, a price on or above 1 won, no code twice) and the report
//    counts them;
//  - a file that does not load leaves the universe as it was and says why;
//  - the report keeps at most ten problems.
#include "FuzzUtil.h"
#include "sim/Universe.h"

#include <QSet>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = InputBytes(data, size);
    ClearFuzzDir();
    const QString path = WriteFuzzFile(QStringLiteral("universe.csv"), bytes);

    TUniverse u;
    TSimStock known;
    known.Code = QStringLiteral("005930");
    known.Name = QStringLiteral("삼성전자");
    known.PrevClose = 71000;
    FUZZ_CHECK(u.Add(known), QStringLiteral("cannot add the known stock"));

    QString err;
    TUniverseCsvReport rep;
    const bool ok = LoadUniverseCsv(path, u, &err, &rep);
    FUZZ_CHECK(rep.Problems.size() <= 10 && rep.Problems.size() <= rep.Skipped && rep.Skipped >= 0,
               QStringLiteral("report: %1 problems, %2 skipped").arg(rep.Problems.size()).arg(rep.Skipped));
    if (!ok) {
        FUZZ_CHECK(!err.isEmpty(), QStringLiteral("refused without a reason"));
        FUZZ_CHECK(u.Size() == 1 && u.At(0).Code == known.Code && u.At(0).PrevClose == 71000,
                   QStringLiteral("a refused file changed the universe"));
        return 0;
    }
    FUZZ_CHECK(err.isEmpty(), QStringLiteral("loaded with a message: ") + err);
    FUZZ_CHECK(u.Size() >= 1 && u.Size() == rep.Loaded,
               QStringLiteral("%1 stocks, report says %2").arg(u.Size()).arg(rep.Loaded));
    FUZZ_CHECK(rep.Konex <= rep.Loaded, QStringLiteral("more KONEX than loaded"));
    QSet<QString> codes;
    for (const TSimStock& s : u.Stocks()) {
        FUZZ_CHECK(IsValidStockCode(s.Code) && IsValidIsin(s.Isin) && !s.Name.trimmed().isEmpty()
                       && s.Name == s.Name.trimmed() && s.PrevClose >= 1 && s.PrevVolume >= 0 && s.Shares >= 0,
                   QStringLiteral("bad stock %1 %2 %3 %4 %5 %6")
                       .arg(Shown(s.Code), Shown(s.Isin), Shown(s.Name))
                       .arg(s.PrevClose)
                       .arg(s.PrevVolume)
                       .arg(s.Shares));
        FUZZ_CHECK(!codes.contains(s.Code), QStringLiteral("code twice: ") + s.Code);
        codes.insert(s.Code);
        FUZZ_CHECK(u.Find(s.Code) == &s, QStringLiteral("Find does not give the stock ") + s.Code);
    }
    return 0;
}
