#include "trading/LadderModel.h"

#include "core/NumFmt.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr int kMaxLadderTicks = 20000;
constexpr double kColFrac[8] = {0.00, 0.16, 0.30, 0.45, 0.62, 0.71, 0.86, 1.00};

void AddTo(std::map<int, qint64>& m, int price, qint64 qty)
{
    auto it = m.find(price);
    if (it == m.end()) {
        if (qty > 0)
            m.emplace(price, qty);
        return;
    }
    it->second += qty;
    if (it->second <= 0)
        m.erase(it);
}

qint64 Get(const std::map<int, qint64>& m, int price)
{
    auto it = m.find(price);
    return it == m.end() ? 0 : it->second;
}

// The quantity at `price` among the levels; a price delivered twice counts
// its last level, as a map filled level by level would.
qint64 Get(const std::array<std::pair<int, qint64>, 10>& levels, int price)
{
    qint64 q = 0;
    if (price > 0)
        for (const auto& [p, qty] : levels)
            if (p == price)
                q = qty;
    return q;
}
}

QVector<int> BuildLadderTicks(int upLmt, int dnLmt)
{
    QVector<int> out;
    if (upLmt <= 0 || dnLmt <= 0 || dnLmt >= upLmt)
        return out;
    int p = upLmt;
    while (p >= dnLmt && out.size() < kMaxLadderTicks) {
        out.append(p);
        const int next = TickDown(p);
        if (next >= p)   // 1 does not step down any further
            break;
        p = next;
    }
    return out;
}

int LadderTickIndex(const QVector<int>& ticks, int center)
{
    if (ticks.isEmpty())
        return -1;
    // Highest first: find the first element <= center.
    auto it = std::lower_bound(ticks.begin(), ticks.end(), center, [](int a, int c) { return a > c; });
    if (it == ticks.end())
        return int(ticks.size()) - 1;
    return int(it - ticks.begin());
}

// ---- geometry ----

int TLadderGeom::RowHeight(int unitH)
{
    if (unitH < 10)
        unitH = 16;
    return (19 * unitH + 8) / 16;
}

int TLadderGeom::Rows() const
{
    if (R <= 0)
        return 1;
    return std::max(1, (H - R) / R);
}

int TLadderGeom::RowAt(int y) const
{
    if (R <= 0 || y < R)
        return -1;
    const int row = (y - R) / R;
    return row < Rows() ? row : -1;
}

int TLadderGeom::Edge(double f) const { return int(std::nearbyint(W * f)); }

int TLadderGeom::ColLeft(int col) const { return Edge(kColFrac[std::clamp(col + 1, 0, 7)]); }

int TLadderGeom::ColRight(int col) const { return Edge(kColFrac[std::clamp(col + 2, 0, 7)]); }

int TLadderGeom::ColumnAt(int x) const
{
    for (int col = 5; col >= 0; --col)
        if (x >= ColLeft(col))
            return col;
    return kColPnl;
}

// ---- model ----

void TLadderModel::SetData(const THogaData& d)
{
    const bool codeChanged = d.Code != FD.Code;
    FD = d;
    for (int i = 0; i < 10; ++i) {
        FAskQ[i] = {d.Ask[i] > 0 ? d.Ask[i] : 0, d.AskQ[i]};
        FBidQ[i] = {d.Bid[i] > 0 ? d.Bid[i] : 0, d.BidQ[i]};
    }
    if (codeChanged || FCenter == 0)
        Recenter();
}

void TLadderModel::ClearMy()
{
    FMyBuy.clear();
    FMySell.clear();
}

void TLadderModel::AddMy(const QString& side, int price, qint64 qty)
{
    // A price whose remaining quantity is not positive holds no order.
    AddTo(side == QLatin1String("2") ? FMyBuy : FMySell, price, qty);
}

int TLadderModel::MyCount(const QString& side) const { return int(My(side).size()); }

void TLadderModel::ClearTk()
{
    FTkBuy.clear();
    FTkSell.clear();
}

void TLadderModel::AddTk(int sd, int price, qint64 qty)
{
    if (sd == 1)
        AddTo(FTkBuy, price, qty);
    else if (sd == 2)
        AddTo(FTkSell, price, qty);
}

void TLadderModel::SetHold(qint64 qty, double avg, double feePct)
{
    FHoldQty = qty;
    FHoldAvg = avg;
    FFee = feePct;
}

bool TLadderModel::SetDayMarks(int o, int h, int l, double vwap)
{
    if (o == FMkO && h == FMkH && l == FMkL && std::abs(vwap - FMkVwap) < 0.5)
        return false;
    FMkO = o;
    FMkH = h;
    FMkL = l;
    FMkVwap = vwap;
    return true;
}

bool TLadderModel::Wheel(int dir)
{
    if (FCenter <= 0 || dir == 0)
        return false;
    for (int i = 0; i < 3; ++i)
        FCenter = dir > 0 ? TickUp(FCenter) : TickDown(FCenter);
    return true;
}

QVector<int> TLadderModel::VisiblePrices(int n) const
{
    n = std::max(n, 1);
    QVector<int> out(n, 0);
    if (FCenter <= 0)
        return out;
    int c = FCenter / TickSize(FCenter) * TickSize(FCenter);
    if (n > 1)
        for (int i = 0; i < n / 2; ++i)
            c = TickUp(c);
    out[0] = c;
    for (int i = 1; i < n; ++i)
        out[i] = TickDown(out[i - 1]);
    return out;
}

bool TLadderModel::IsValid(int p) const
{
    if (p < 1)
        return false;
    if (FD.UpLmt > 0 && p > FD.UpLmt)
        return false;
    if (FD.DnLmt > 0 && p < FD.DnLmt)
        return false;
    return true;
}

bool TLadderModel::IsCurrent(int p) const { return IsValid(p) && p <= FD.Price && FD.Price < TickUp(p); }

qint64 TLadderModel::MaxTickSum() const
{
    qint64 mx = 0;
    for (const auto& [p, q] : FTkBuy)
        mx = std::max(mx, q);
    for (const auto& [p, q] : FTkSell)
        mx = std::max(mx, q);
    return mx;
}

TLadderRow TLadderModel::Row(int p) const
{
    TLadderRow r;
    r.Price = p;
    r.Valid = IsValid(p);
    r.MySell = Get(FMySell, p);
    r.MyBuy = Get(FMyBuy, p);
    if (!r.Valid)
        return r;
    r.Current = p <= FD.Price && FD.Price < TickUp(p);
    r.AskQ = Get(FAskQ, p);
    r.BidQ = Get(FBidQ, p);
    r.TkSell = Get(FTkSell, p);
    r.TkBuy = Get(FTkBuy, p);

    const int prev = FD.PrevClose;
    r.PriceColor = prev <= 0 || prev == p ? LadderColors::Flat : p > prev ? LadderColors::Rise : LadderColors::Fall;

    if (p == FMkH)
        r.Mark = TLadderMark::High;
    else if (p == FMkL)
        r.Mark = TLadderMark::Low;
    else if (p == FMkO)
        r.Mark = TLadderMark::Open;

    if (FHoldQty > 0 && FHoldAvg > 0) {
        const double cost = double(FHoldQty) * FHoldAvg;
        const double gross = double(p) * double(FHoldQty);
        r.HasPnl = true;
        r.Pnl = gross * (1 - FFee / 100) - cost;
        r.PnlPct = r.Pnl / cost * 100;
        r.PnlColor = r.Pnl > 0 ? LadderColors::Rise : r.Pnl < 0 ? LadderColors::Fall : QColor(96, 96, 96);
        r.AvgRow = p <= FHoldAvg && FHoldAvg < TickUp(p);
    }
    const TRowTexts& t = Texts(p, r);
    r.PriceText = t.Price;
    r.PctText = t.Pct;
    r.PnlText = t.Pnl;
    return r;
}

const TLadderModel::TRowTexts& TLadderModel::Texts(int p, const TLadderRow& r) const
{
    const TTextKey key{FD.PrevClose, FHoldQty, FHoldAvg, FFee};
    if (!(key == FTextKey) || FTexts.size() >= 4096) {
        FTexts.clear();
        FTextKey = key;
    }
    auto [it, added] = FTexts.try_emplace(p);
    if (!added)
        return it->second;
    TRowTexts& t = it->second;
    t.Price = FmtNum(p);
    if (key.Prev > 0)
        t.Pct = FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), (double(p) / key.Prev - 1) * 100);
    if (r.HasPnl)
        t.Pnl = FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), r.PnlPct) + QStringLiteral("%   ")
                + FormatFloat(QStringLiteral("+0.0;-0.0;0.0"), std::trunc(r.Pnl / 1000) / 10);
    return t;
}

int TLadderModel::NearestMy(const QString& side) const
{
    const auto& m = My(side);
    const int ref = FD.Price >= 1 ? FD.Price : FCenter;
    int best = 0;
    qint64 bestDist = -1;
    for (const auto& [p, q] : m) {
        const qint64 dist = std::llabs(qint64(p) - ref);
        if (bestDist < 0 || dist < bestDist) {
            best = p;
            bestDist = dist;
        }
    }
    return best;
}
