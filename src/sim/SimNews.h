#pragma once
// The simulated exchange's news wire: the day's headlines (feed NWS) and
// their bodies (query t3102), and the list of what was sent today, which the
// service host on this machine serves as the day's archive.
//
// A day's headlines are a pure function of the seed, the listed stocks and
// the date (TSimNews::Day): the same program started at 09:00 or at 14:00
// sees the same wire. The pace follows the market's day: quiet overnight,
// rising in the morning, a burst around the 09:00 open, steady through the
// session, a second burst around the 15:30 close and the after-hours filings,
// then quiet again; days off carry a fraction of it.
//
// Each headline carries what the broker's feed carries: the key (date, time,
// the source id, eight digits of sequence: 24 characters), the date and time,
// the title, the related stocks as 12-character slots ("000000" + the code,
// one slot per stock, no separator) and the source id. Filings of the
// exchange's disclosure system come from source kSimGongsiSrc; press
// articles from a handful of other ids.
//
// Bodies are written the way the broker sends them: text with fragments of
// HTML and CR LF lines. Disclosures follow the exchange's forms (provisional
// results, supply contracts, rights and bonus issues, convertible,
// warrant-bearing and exchangeable bonds, capital reductions, corrections
// that start with the before/after table, withdrawals, and a few short
// notices); articles carry paragraphs, links, images, tables and scripts.
// Figures follow the stock's size: a contract is a share of its sales, a
// rights issue of its market value, a bond's conversion price sits at its
// price.
//
// Thread safety: a TSimNews is immutable after construction except for a
// small locked cache, so any thread may ask it for days and bodies.
// TSimNewsLog is locked throughout.
#include "sim/DailyModel.h"
#include "sim/SimReply.h"
#include "sim/Universe.h"
#include <QDate>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QVector>
#include <memory>
#include <optional>

// Source id of the exchange's disclosures (the program's default for
// recognising them).
inline const QString kSimGongsiSrc = QStringLiteral("15");

enum class TSimNewsKind : quint8 {
    Article,     // a press article about one or a few stocks
    Feature,     // "[특징주]" article
    Market,      // market wrap, no stock
    Earnings,    // provisional results
    Contract,    // single supply contract
    Rights,      // rights issue
    Bonus,       // bonus issue
    Bond,        // CB / BW / EB
    Reduction,   // capital reduction
    Withdrawal,  // a capital plan withdrawn
    Notice,      // other short filings (inquiry, holdings report, buyback...)
};

struct TSimNewsItem {
    QString Date;    // yyyymmdd
    QString Time;    // hhmmss
    QString Key;     // 24 characters
    QString Title;
    QString Codes;   // "000000" + code per related stock
    QString Src;     // two digits
    TSimNewsKind Kind = TSimNewsKind::Article;
    int Variant = 0;         // sub-kind (bond type, basis, notice type...)
    bool Correction = false; // a corrected filing ("정정")
    quint64 Seed = 0;        // the body's randomness
    QVector<QString> Stocks; // related codes, first the main one

    bool IsDisclosure() const { return Src == kSimGongsiSrc; }
    int SecOfDay() const;
};

class TSimNews {
public:
    // With `daily`, prices in titles and bodies are the stock's reference
    // price on the headline's day (the close before it), so an article agrees
    // with the quote the window shows; without it, the universe's base price.
    TSimNews(const TUniverse& universe, quint64 seed, const TDailyModel* daily = nullptr);

    // Every headline of `day`, in time order.
    std::shared_ptr<const QVector<TSimNewsItem>> Day(const QDate& day) const;
    // The headline with this key; false when there is none (any day).
    bool Find(const QString& key, TSimNewsItem* out) const;
    // The body of a headline (text with HTML fragments, CR LF lines).
    QString Body(const TSimNewsItem& item) const;

    // Headlines expected per minute at minute `minuteOfDay` (0..1439).
    static double RatePerMin(int minuteOfDay, bool tradingDay);
    // One line of the archive (no line end): D, T, Key, Codes, Title, Src by TAB.
    static QString ArchiveLine(const TSimNewsItem& item);
    // Bytes of `text` in the broker's Korean code page (two per non-ASCII character).
    static int CodePageBytes(const QString& text);
    // The broker's body records: pieces of at most `maxBytes` code-page bytes,
    // never splitting a character (one larger than that travels alone).
    static QStringList BodyPieces(const QString& body, int maxBytes = 100);

    struct TCo {
        QString Code, Name;
        int Price = 0;
        qint64 Shares = 0;
        double CapEok = 0;   // market value, 100 million won
        bool Kosdaq = false;
    };

private:
    QVector<TSimNewsItem> MakeDay(const QDate& day) const;
    const TCo& Pick(class TSimRng& rng) const;
    const TCo* CoOf(const QString& code) const;
    // `co` priced on `day`.
    TCo OnDay(const TCo& co, const QDate& day) const;

    quint64 FSeed;
    QVector<TCo> FCos;
    QVector<TSimStock> FStocks;  // parallel to FCos, for the daily model
    std::optional<TDailyModel> FDaily;
    QVector<double> FCum;        // cumulative pick weights
    QHash<QString, int> FIndex;  // code -> FCos index
    mutable QMutex FCacheLock;
    mutable QVector<QPair<QDate, std::shared_ptr<const QVector<TSimNewsItem>>>> FCache;
};

// The headlines sent today, for the archive. Written by the exchange's
// thread, read by any.
class TSimNewsLog {
public:
    // Starts a new day (clears the list when the day differs).
    void Begin(const QDate& day);
    void Add(const TSimNewsItem& item);
    QDate DayOf() const;
    QVector<TSimNewsItem> Snapshot(QDate* day = nullptr) const;

private:
    mutable QMutex FLock;
    QDate FDay;
    QVector<TSimNewsItem> FItems;
};

// The t3102 answer for key `key`: stock codes, the body in records and the title.
TSimReply SimNewsBodyAnswer(const TSimNews& news, const TResLayout& layout, const QString& key);
