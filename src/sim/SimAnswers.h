#pragma once
// The query answers of the simulated exchange, computed from the market and
// the account at the moment they are sent: server time (t0167), the stock
// list (t8430), quote and book (t1101), the account balance (CSPAQ12300),
// the multi-stock quote (t8407), the single quote with the previous day's
// volume (t1102), orders (CSPAT00600 new, CSPAT00700 modify, CSPAT00800 cancel; matched by
// SimTrading.h), the day's orders and fills (t0425), the day's trading
// journal with fees and taxes (t0150) and the balance with today's realized
// profit (t0424), news bodies (t3102, SimNews.h), and the history queries
// of SimHistoryAnswers.h (bars, ticks, program trading). t0150 and t0424 answer everything in one page (their
// continuation keys come back empty).
//
// t8407 takes `nrec` codes (1..50) written one after another in `shcode`,
// six characters each; a count out of range, or fewer codes than counted, is
// refused with kBadInput; codes that are not listed are left out of the
// answer, and when none is listed it is kUnknownStock. Its `value` is the
// day's amount in millions of won. t1102's previous-day volume (jnilvolume)
// is the sum of the previous trading day's minute bars, the volume t8412
// gives for that day.
//
// An order answer is the broker's message first, then the data (OutBlock1
// echoing the input, OutBlock2 with the order number); a refused order is
// the message alone and changes nothing.
// A transaction the exchange does not serve yet is answered with a broker
// message saying so, never with empty data.
//
// Continuation. A paged transaction's next page is asked with `next` set
// and the previous answer's key copied into the input block: t0425
// cts_ordno, t1301 cts_time, t8410 cts_date, t8412 cts_date + cts_time,
// t1637 time (the last row's). A next request whose key is empty is refused
// with kNoNextKey and no data. t0150 and t0424 never hand out a key, so any
// next request of theirs is refused the same way. The last page's key is
// empty (t1637: no rows before the time asked).
#include "core/Clock.h"
#include "sim/SimConfig.h"
#include "sim/SimReply.h"
#include <QHash>
#include <memory>

class TMarketEngine;
class TSimAccount;
class TSimTrading;
class TSimHistoryAnswers;
class TSimHistory;
class TSimNews;

// Broker message codes of the simulated exchange. The broker's own codes
// (00xxx notices, and the order refusals 01427, 01478, 03181) start with
// '0' too: a code's first digit does not tell a refusal from a notice.
namespace SimMsg {
inline const QString kDone = QStringLiteral("00000");
inline const QString kAcctDone = QStringLiteral("00136");
inline const QString kUnknownStock = QStringLiteral("10101");
inline const QString kNoService = QStringLiteral("10002");
inline const QString kBadAcctPw = QStringLiteral("10245");
inline const QString kUnknownAcct = QStringLiteral("10244");
inline const QString kBadInput = QStringLiteral("10001");
inline const QString kNoNextKey = QStringLiteral("10003");   // continuation without its key
// Orders: accepted (the broker's own codes; 00462 is its paper-trading
// modify)...
inline const QString kSellDone = QStringLiteral("00039");     // 매도 주문이 완료되었습니다.
inline const QString kBuyDone = QStringLiteral("00040");      // 매수 주문이 완료되었습니다.
inline const QString kModifyDone = QStringLiteral("00462");   // 정정 주문이 완료되었습니다.
inline const QString kCancelDone = QStringLiteral("00156");   // 취소주문이 완료되었습니다.
// ... and refused: the broker's codes for the price band, the lower limit
// and the sellable quantity; the exchange's own 103xx for the rest.
inline const QString kOrdQty = QStringLiteral("10311");       // quantity not a positive number
inline const QString kOrdPrice = QStringLiteral("10312");     // price not a positive whole number
inline const QString kOrdTick = QStringLiteral("10313");      // off the price grid
inline const QString kOrdUpLimit = QStringLiteral("01427");   // above the upper limit (price band)
inline const QString kOrdDnLimit = QStringLiteral("03181");   // 주문가격이 하한가 미달입니다.
inline const QString kOrdNoCash = QStringLiteral("10316");    // orderable cash short
inline const QString kOrdNoShares = QStringLiteral("01478");  // sellable quantity short
inline const QString kOrdPriceType = QStringLiteral("10318"); // not a limit order
inline const QString kOrdSide = QStringLiteral("10319");      // side not 1 or 2
inline const QString kOrdClosed = QStringLiteral("10320");    // session over
inline const QString kOrdUnknown = QStringLiteral("10321");   // no such original order
inline const QString kOrdNothingLeft = QStringLiteral("10322");  // original order has nothing left
inline const QString kOrdOtherStock = QStringLiteral("10323");   // stock differs from the original's
inline const QString kOrdNotSaved = QStringLiteral("10324");     // account file could not be written
}

class TSimAnswers {
public:
    TSimAnswers(TMarketEngine& engine, TSimAccount& account, TSimTrading& trading, const TSimConfig& cfg,
                TClock& clock);
    ~TSimAnswers();

    // `next`: a continuation request (see above).
    TSimReply Answer(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in,
                     bool next = false);
    // The refusal of a continuation request without its key; empty when it
    // may go (or is no continuation).
    static TSimReply CheckNext(const QString& tr, const QHash<QString, QString>& in, bool next);
    // Whether the answer of tr reads past days (the history answers, and
    // t1102 with the previous day's volume): such an answer may be held
    // while the days are played elsewhere (SimHistory.h).
    static bool UsesPastDays(const QString& tr);
    // The price history behind the history answers.
    TSimHistory& History();
    // The news wire whose bodies t3102 answers; none: t3102 is not served.
    void SetNews(std::shared_ptr<const TSimNews> news) { FNews = std::move(news); }

private:
    QString In(const QHash<QString, QString>& in, const QString& block, const QString& field) const;
    TSimReply T0167(const TResLayout& layout);
    TSimReply T8430(const TResLayout& layout, const QString& gubun);
    TSimReply T1101(const TResLayout& layout, const QString& code);
    TSimReply T1102(const TResLayout& layout, const QString& code);
    TSimReply T8407(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply Cspaq12300(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply Order(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply T0425(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply T0150(const TResLayout& layout, const QHash<QString, QString>& in);
    TSimReply T0424(const TResLayout& layout, const QHash<QString, QString>& in);
    // The account check of a request: empty when the main account and its
    // password are given, else the refusal.
    TSimReply CheckAccount(const QString& acct, const QString& pw, bool* extra = nullptr) const;

    TMarketEngine& FEngine;
    TSimAccount& FAccount;
    TSimTrading& FTrading;
    const TSimConfig& FCfg;
    TClock& FClock;
    std::unique_ptr<TSimHistoryAnswers> FHistory;   // t8410, t8412, t1301, t1637
    std::shared_ptr<const TSimNews> FNews;
};
