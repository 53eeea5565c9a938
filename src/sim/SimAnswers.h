#pragma once
// The query answers of the simulated exchange, computed from the market and
// the account at the moment they are sent: server time (t0167), the stock
// list (t8430), quote and book (t1101) and the account balance (CSPAQ12300).
// A transaction the exchange does not serve yet is answered with a broker
// message saying so, never with empty data.
#include "core/Clock.h"
#include "sim/SimConfig.h"
#include "sim/SimReply.h"
#include <QHash>

class TMarketEngine;
class TSimAccount;

// Broker message codes of the simulated exchange. Codes starting with '0'
// are routine notices.
namespace SimMsg {
inline const QString kDone = QStringLiteral("00000");
inline const QString kAcctDone = QStringLiteral("00136");
inline const QString kUnknownStock = QStringLiteral("10101");
inline const QString kNoService = QStringLiteral("10002");
inline const QString kBadAcctPw = QStringLiteral("10245");
inline const QString kUnknownAcct = QStringLiteral("10244");
inline const QString kBadInput = QStringLiteral("10001");
}

class TSimAnswers {
public:
    TSimAnswers(TMarketEngine& engine, TSimAccount& account, const TSimConfig& cfg, TClock& clock);

    TSimReply Answer(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in);

private:
    QString In(const QHash<QString, QString>& in, const QString& block, const QString& field) const;
    TSimReply T0167(const TResLayout& layout);
    TSimReply T8430(const TResLayout& layout, const QString& gubun);
    TSimReply T1101(const TResLayout& layout, const QString& code);
    TSimReply Cspaq12300(const TResLayout& layout, const QHash<QString, QString>& in);

    TMarketEngine& FEngine;
    TSimAccount& FAccount;
    const TSimConfig& FCfg;
    TClock& FClock;
};
