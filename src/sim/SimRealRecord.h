#pragma once
// One real-time record of the simulated exchange: a trade (S3_/K3_) or a
// book change (H1_/HA_) of one stock, kept as numbers and turned into the
// broker's field texts only when a field is read; or an order event of the
// account (SC0/SC1/SC3) or a headline of the news wire (NWS), kept as field
// texts (Feed, Fields) with an empty Code, since these feeds have no stock key.
#include "sim/SimStock.h"
#include "sim/StockSim.h"
#include <QString>

#include <QHash>

enum class TSimRealKind : quint8 { Trade, Book, Account, News };

struct TSimRealRecord {
    TSimRealKind Kind = TSimRealKind::Trade;
    TSimMarket Market = TSimMarket::Kospi;
    QString Code;
    int PrevClose = 0, UpLimit = 0, DnLimit = 0;
    qint64 Volume = 0;   // cumulative shares at the record (book records too)
    TSimTrade Trade;     // Kind == Trade
    TSimBook Book;       // the book after the event
    QString Feed;                    // Kind == Account: SC0, SC1 or SC3; News: NWS
    QHash<QString, QString> Fields;  // Kind == Account or News: field texts

    // The feed this record belongs to: S3_/K3_ for trades, H1_/HA_ for books.
    QString FeedCode() const;
    // The text of field `name` of block "OutBlock"; "" for unknown names.
    QString Field(const QString& name) const;
};

// Text of a time of day (ms) as HHMMSS.
QString SimHhmmss(int msOfDay);
// Won rounded to thousands / millions, the units the broker gives amounts in.
inline qint64 SimThousands(qint64 won) { return (won >= 0 ? won + 500 : won - 500) / 1000; }
inline qint64 SimMillions(qint64 won) { return (won >= 0 ? won + 500000 : won - 500000) / 1000000; }
// A percentage with two decimals, e.g. "-1.25".
QString SimRate(double pct);
