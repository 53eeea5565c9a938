#pragma once
// The listed stocks of the simulated market.
//
// The default universe holds about a hundred well-known KOSPI and KOSDAQ
// stocks and ETFs with their real codes and names and realistic price levels,
// filled up with generated companies to the requested size. Generated
// companies are a pure function of the seed: names are composed from Korean
// place/company words and business words ("대한" + "바이오", "세광" +
// "정밀" + "홀딩스"), so a search by name or by initial consonants behaves as
// on the real list; codes and names never repeat and never collide with the
// built-in stocks; reference prices are log-normally spread over 1,000 ..
// 500,000 won and lie on the price grid; about 45 % of the whole list is
// KOSDAQ. A few generated KOSPI companies also list a preferred share
// (name + "우", code ending in 5).
//
// A universe file (LoadUniverseCsv) replaces the whole list, e.g. with a real
// listing snapshot.
#include "sim/SimStock.h"
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QVector>

class TUniverse {
public:
    static constexpr quint64 kDefaultSeed = 0x4B53494D554E4956ull;
    static constexpr int kDefaultSize = 2500;

    // Built-in stocks plus generated ones up to `total` stocks.
    static TUniverse Default(quint64 seed = kDefaultSeed, int total = kDefaultSize);

    void Clear();
    // Adds one stock. The code must be valid and new, the name non-empty,
    // PrevClose >= 1 (it is moved onto the price grid, downwards); an empty
    // ISIN is derived from the code, a given one must be valid. Shares and
    // volume below 0 read as 0. Returns false (and says why) otherwise.
    bool Add(TSimStock s, QString* err = nullptr);
    // The well-known stocks (already present codes are skipped).
    void AddBuiltins();
    // Adds generated stocks until the universe holds `total` stocks.
    void FillGenerated(int total, quint64 seed);

    int Size() const { return FStocks.size(); }
    bool IsEmpty() const { return FStocks.isEmpty(); }
    const TSimStock& At(int i) const { return FStocks[i]; }
    const QVector<TSimStock>& Stocks() const { return FStocks; }
    // -1 / nullptr when the code is not listed.
    int IndexOf(const QString& code) const { return FIndex.value(code, -1); }
    const TSimStock* Find(const QString& code) const;
    bool HasName(const QString& name) const { return FNames.contains(name); }

private:
    QVector<TSimStock> FStocks;
    QHash<QString, int> FIndex;
    QSet<QString> FNames;
};

struct TUniverseCsvReport {
    int Loaded = 0;
    int Konex = 0;            // of those, KONEX stocks (listed as KOSDAQ)
    int Skipped = 0;          // bad rows
    QStringList Problems;     // the first few bad rows, "N줄: why"
};

// Reads a universe file: CSV with a header line, UTF-8 with or without a
// byte-order mark (CP949 is accepted as well when the text is not UTF-8).
// Columns are found by header name, case-insensitive, in any order:
//   code   (code, shcode, 종목코드, 단축코드)        required
//   name   (name, hname, 종목명, 한글명)             required
//   market (market, 시장, 시장구분)                  required: KOSPI/코스피/STK/1,
//                                                   KOSDAQ/KOSDAQ GLOBAL/코스닥/KSQ/2
//                                                   or KONEX/코넥스/KNX (kept as KOSDAQ)
//   price  (price, close, jnilclose, 종가, 전일종가, 현재가) required, won
//   isin   (isin, isu_cd, expcode, 표준코드)         optional, derived from the code
//   volume (volume, 거래량)                          optional
//   shares (shares, stocks, 상장주식수)              optional
//   etf    (etf, etfgubun)                           optional, 1/Y/true = ETF
// Fields may be quoted ("..." with "" for a quote) and hold commas; numbers
// may carry thousands separators. KONEX stocks are loaded as KOSDAQ stocks
// (the master has no third market) and counted; bad rows are skipped and
// counted, the first few with the reason. On success `out` is replaced by the file's stocks;
// when the file cannot be read or holds no usable row, `out` is left as it
// was, false is returned and `err` says why.
bool LoadUniverseCsv(const QString& path, TUniverse& out, QString* err,
                     TUniverseCsvReport* report = nullptr);
