#pragma once
// Today's realized profit and loss, rebuilt from three paged answers: the
// account's filled orders (t0425), the trading journal with the day's actual
// fees and taxes per stock (t0150) and the balance with the previous average
// prices and the broker's own total of the day (t0424).
//
// Money is whole won in 64-bit integers throughout. Costs the journal does
// not have are estimated with integer arithmetic: a rate is held in parts of
// KRateUnit (0.20 % = 20000), and a cost is the amount times the rate cut to
// whole won, so no won is lost to a floating-point product.
#include <QColor>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

class TXAQuery;

struct TPnlRow {
    QString Code;
    qint64 Bq = 0, Sq = 0;  // quantity bought, sold today
    qint64 Ba = 0, Sa = 0;  // amount bought, sold: sum of price x quantity, won
};

struct TPnlCost {
    qint64 BuyFee = 0, SellFee = 0, SellTax = 0;  // won
};

// Only Avg is filled; the broker's per-stock figure is not read.
struct TPnlHold {
    double Avg = 0;  // previous average price
    double LsPnl = 0;
    bool HasLs = false;
};

// Rates for costs the journal does not have.
struct TPnlRates {
    static constexpr qint64 KRateUnit = 10000000;  // 1 = 0.00001 %
    qint64 FeePerSide = 0;  // brokerage fee of one side
    qint64 SellTax = 0;     // transaction tax on sales (with its surtax)
};

// A percent written as text ("0.20", "0.2%") in rate units; nullopt when it
// is not a number from 0 to 100.
std::optional<qint64> PercentToRate(const QString& text);
// "0.20" for 20000: two decimals at least, more when the rate has them.
QString RateText(qint64 rate);
// Trunc(amount x rate) in won, exact for every amount >= 0.
qint64 CostOf(qint64 amount, qint64 rate);

// The fee box holds the round-trip cost in percent, tax included: one side's
// fee is what is left after the tax, halved (0 when the box is below the tax).
TPnlRates RatesFromFeeBox(double roundTripPct, qint64 sellTaxRate);

// The statutory transaction tax of a sale on KOSPI or KOSDAQ (0.20 %).
inline constexpr qint64 KDefaultSellTax = 20000;

// One stock's figures; Profit and Percent only when Known.
struct TPnlFigure {
    bool Known = false;
    qint64 Profit = 0;
    qint64 Cost = 0;
    double Percent = 0;
};

// The texts and colours of one grid row.
struct TPnlCells {
    QString Text[8];
    QColor Color[8];
    bool Bold[8] = {};
    bool Italic[8] = {};
};

// The accumulators of one refresh round and the finished figures.
class TDayPnl {
public:
    static constexpr int KMaxPages = 20;

    // Held quantity and average price of a code from the balance; false when
    // the code is not held.
    std::function<bool(const QString& code, qint64* qty, double* avg)> HoldOf;
    // Whether a code pays no transaction tax (ETFs, ETNs); unset: every code pays.
    std::function<bool(const QString& code)> IsTaxFree;
    TPnlRates Rates;

    // ---- the three page chains ----
    // Each Begin empties that chain's accumulator. Add* reads one page and
    // returns whether another page is wanted (the key goes to *next);
    // when it returns false the chain is finished and its figures replace
    // the shown ones.
    void BeginFills();
    bool AddFillsPage(const TXAQuery& q, QString* next);
    void BeginCosts();
    bool AddCostsPage(const TXAQuery& q, QStringList* next);
    void BeginHolds();
    bool AddHoldsPage(const TXAQuery& q, QString* next);

    // ---- the view ----
    int PnlGroup(const TPnlRow& r) const;
    TPnlFigure PnlOf(const TPnlRow& r) const;
    // Recomputes the sum, the remainder and the headline.
    void Rebuild();
    QString LabelText() const;
    QColor LabelColor() const;
    QString TabCaption() const;
    TPnlCells CellsOf(int row, const QString& name) const;

    // ---- state ----
    QHash<QString, TPnlRow> FPnlAcc;
    QVector<TPnlRow> FPnl;
    int FPnlPage = 0;
    bool FPnlCut = false;  // the finished list stopped at the page cap
    QHash<QString, TPnlCost> FPnlCostAcc, FPnlCost;
    int FDayFeePage = 0;
    bool FPnlCostCut = false;
    bool FCostDone = false;  // a journal has been finished this run
    QHash<QString, TPnlHold> FPnlHoldAcc, FPnlHold;
    int FBalAllPage = 0;
    bool FPnlHoldCut = false;
    qint64 FLsRealTot = 0;
    bool FLsRealOk = false;
    qint64 FPnlRemain = 0;
    QString FPnlRemainCode;
    // Rebuild's results.
    qint64 FSum = 0, FHeadline = 0;
    int FUnknown = 0, FClosed = 0;

private:
    bool AddCut(bool more, int page, bool* cut) const;
    qint64 HeldQty(const QString& code, bool* known) const;
};

// "+#,##0;-#,##0;0"
QString FmtSignedWon(qint64 v);
// "12345A"... the last 6 characters of a trimmed code that is longer.
QString PnlCode(const QString& raw);
