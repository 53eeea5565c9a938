#pragma once
// What the order-book ladder shows, without any widget: the price list of the
// day's range, the row and column geometry, and per price the quantities,
// colours, marks, own orders, tick sums and profit of the holding. The
// ladder control paints from this and hit-tests with the same geometry.
#include "market/Quote.h"

#include <QColor>
#include <QString>
#include <QVector>
#include <array>
#include <map>
#include <unordered_map>

// Every price from the upper limit down to the lower limit, highest first, at
// most 20,000 entries. Empty unless both limits are > 0 and lower < upper.
QVector<int> BuildLadderTicks(int upLmt, int dnLmt);

// Index of the first price <= center in a highest-first list; the last index
// when none is; -1 for an empty list.
int LadderTickIndex(const QVector<int>& ticks, int center);

// Row and column geometry of a W x H ladder with row height R. Row 0 is the
// header; price row i spans y = R(i+1) .. R(i+2).
struct TLadderGeom {
    int W = 0, H = 0, R = 19;

    // Row height for a unit height h (the text height of "가"; 16 when
    // below 10): 19 h / 16 rounded to the nearest pixel.
    static int RowHeight(int unitH);

    int Rows() const;                // price rows, at least 1
    int RowTop(int row) const { return R * (row + 1); }
    int RowAt(int y) const;          // price row holding y, -1 when none
    int Edge(double f) const;        // x of the boundary at fraction f
    int ColLeft(int col) const;      // col -1 .. 5
    int ColRight(int col) const;
    int ColumnAt(int x) const;       // -1 .. 5
};

// Column indices.
enum : int { kColPnl = -1, kColMySell = 0, kColAsk = 1, kColPrice = 2, kColPct = 3, kColBid = 4, kColMyBuy = 5 };

// Day marks on a price cell.
enum class TLadderMark { None, High, Low, Open };

// Everything one price row shows.
struct TLadderRow {
    int Price = 0;
    bool Valid = false;        // within 1 .. limits
    bool Current = false;      // p <= current price < TickUp(p)
    qint64 AskQ = 0, BidQ = 0; // 0 = none shown
    qint64 MySell = 0, MyBuy = 0;
    qint64 TkSell = 0, TkBuy = 0;
    QString PriceText, PctText; // empty when not shown
    QColor PriceColor;
    TLadderMark Mark = TLadderMark::None;
    bool HasPnl = false;
    double Pnl = 0, PnlPct = 0;
    QString PnlText;
    QColor PnlColor;
    bool AvgRow = false;       // p <= average price < TickUp(p)
    bool operator==(const TLadderRow&) const = default;
};

class TLadderModel {
public:
    THogaData FD;
    int FCenter = 0;
    // The ten levels of each side as delivered (price, quantity); a book
    // record replaces them without allocating.
    std::array<std::pair<int, qint64>, 10> FAskQ{}, FBidQ{};
    // Levels of a side that hold a price.
    static int LevelCount(const std::array<std::pair<int, qint64>, 10>& side)
    {
        int n = 0;
        for (const auto& level : side)
            n += level.first > 0 ? 1 : 0;
        return n;
    }
    std::map<int, qint64> FMyBuy, FMySell;
    std::map<int, qint64> FTkBuy, FTkSell;
    qint64 FHoldQty = 0;
    double FHoldAvg = 0;
    double FFee = 0.3;
    int FMkO = 0, FMkH = 0, FMkL = 0;
    double FMkVwap = 0;

    void SetData(const THogaData& d);
    void Recenter() { FCenter = FD.Price; }
    void CenterOn(int price) { if (price > 0) FCenter = price; }
    void ClearMy();
    void AddMy(const QString& side, int price, qint64 qty);
    int MyCount(const QString& side) const;
    void ClearTk();
    void AddTk(int sd, int price, qint64 qty);
    void SetHold(qint64 qty, double avg, double feePct);
    // False (nothing changed) when O, H and L are the same and the VWAP moved
    // by less than 0.5.
    bool SetDayMarks(int o, int h, int l, double vwap);
    // Three ticks up (dir > 0) or down; false when there is no centre.
    bool Wheel(int dir);

    // Prices of n rows, highest first, the centre in row n / 2; all 0 when
    // there is no centre.
    QVector<int> VisiblePrices(int n) const;
    bool IsValid(int p) const;
    bool IsCurrent(int p) const;
    qint64 MaxTickSum() const;
    TLadderRow Row(int p) const;
    // The own-order price of a side ("1" sell, "2" buy) closest to the current
    // price (or the centre when there is no price); 0 when there is none.
    int NearestMy(const QString& side) const;
    const std::map<int, qint64>& My(const QString& side) const { return side == QLatin1String("2") ? FMyBuy : FMySell; }

private:
    // The texts of a price row, formatted once per price for as long as the
    // previous close and the holding they come from stay the same.
    struct TRowTexts {
        QString Price, Pct, Pnl;
    };
    struct TTextKey {
        int Prev = 0;
        qint64 Qty = 0;
        double Avg = 0, Fee = 0;
        bool operator==(const TTextKey&) const = default;
    };
    const TRowTexts& Texts(int p, const TLadderRow& r) const;
    mutable TTextKey FTextKey;
    mutable std::unordered_map<int, TRowTexts> FTexts;
};

// The ladder's fixed colours.
namespace LadderColors {
inline const QColor Rise{229, 57, 53};
inline const QColor Fall{30, 136, 229};
inline const QColor Flat{48, 48, 48};
}
