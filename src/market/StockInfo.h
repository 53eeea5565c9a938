#pragma once
// One entry of the stock master.
#include <QChar>
#include <QString>

struct TStockInfo {
    QString Code;  // six-character short code
    QString Name;  // trimmed name
    QChar Mkt;     // '2' KOSDAQ, '1' every other market
    bool Fund = false;  // an exchange-traded fund or note (no transaction tax on sales)
};
