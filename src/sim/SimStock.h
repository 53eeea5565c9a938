#pragma once
// One listed stock of the simulated market, as the master list knows it.
//
// PrevClose and PrevVolume are the stock's reference level: the price its
// daily closes wander around and its usual daily volume. The close of a given
// trading day comes from the daily model (DailyModel.h), not from here.
#include <QString>
#include <QtGlobal>

enum class TSimMarket : quint8 { Kospi = 0, Kosdaq = 1 };

struct TSimStock {
    QString Code;       // 6-character short code, e.g. "005930"
    QString Isin;       // 12-character ISIN, e.g. "KR7005930003"
    QString Name;       // Korean name
    TSimMarket Market = TSimMarket::Kospi;
    bool Etf = false;
    int PrevClose = 0;      // reference close, won, on the price grid
    qint64 PrevVolume = 0;  // usual daily volume, shares
    qint64 Shares = 0;      // listed shares

    // The broker's market code: "1" KOSPI, "2" KOSDAQ.
    QString Gubun() const { return Market == TSimMarket::Kosdaq ? QStringLiteral("2") : QStringLiteral("1"); }
};

// A stock code: six characters, digits or upper-case Latin letters.
bool IsValidStockCode(const QString& code);

// ISIN check digit (0..9) of the first eleven characters of an ISIN (two
// letters, nine digits or upper-case letters); -1 when they are not valid.
// Letters count as 10..35 and the resulting digits are summed Luhn-style.
int IsinCheckDigit(const QString& first11);

// "KR7" + code + "00" + check digit: the ISIN of an ordinary share.
// Empty when the code is not valid.
QString IsinForCode(const QString& code);

// Twelve characters with a correct check digit.
bool IsValidIsin(const QString& isin);
