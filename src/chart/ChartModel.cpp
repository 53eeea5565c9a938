#include "chart/ChartModel.h"

#include <QDate>
#include <algorithm>
#include <cmath>

namespace {

QString Day(const QString& key) { return key.left(8); }

QStringView DayOf(const QString& key) { return QStringView(key).left(8); }

double BarPV(const TBar& b) { return b.PV > 0 ? b.PV : (b.H + b.L + b.C) / 3.0 * double(b.V); }

int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }

QDate KeyDate(const QString& key)
{
    return QDate::fromString(key.left(8), QStringLiteral("yyyyMMdd"));
}

} // namespace

TChartModel::TChartModel() = default;

void TChartModel::Repaint()
{
    if (OnRepaint)
        OnRepaint();
}

// --- bars -------------------------------------------------------------------

void TChartModel::SetBars(const QVector<TBar>& a)
{
    FBars = a;
    ++FBarsRev;
    FFit = FMinute && FUserBarW == 0;
    if (FUserBarW > 0)
        FBarW = FUserBarW;
    else if (!FMinute)
        FBarW = 7;  // a width widened to fill a few bars does not outlive them
    FNewsFocus = FMinute && !FNewsD.isEmpty();
    FOffset = 0;
    RecalcSeries();
    Repaint();
}

void TChartModel::Clear()
{
    FBars.clear();
    ++FBarsRev;
    FOffset = 0;
    RecalcSeries();
    Repaint();
}

QVector<TBar> TChartModel::BarsAfter(const QString& d) const
{
    QVector<TBar> r;
    for (const TBar& b : FBars)
        if (b.D > d)
            r.append(b);
    return r;
}

bool TChartModel::Tick(const QString& today, const QString& hhmmss, double price, double o,
                       double h, double l, qint64 cumVol, qint64 tickVol)
{
    if (!(price > 0))
        return false;
    const int before = Count();
    if (FMinute) {
        if (!TickMinute(today, hhmmss, price, tickVol))
            return false;
        RecalcLast(Count() > before);
    } else if (TickDay(today, price, o, h, l, cumVol)) {
        RecalcLast(Count() > before);
    }
    Repaint();
    return true;
}

bool TChartModel::TickMinute(const QString& today, const QString& hhmmss, double price,
                             qint64 tickVol)
{
    bool ok = false;
    int hhmm = hhmmss.left(4).toInt(&ok, 10);
    if (!ok || hhmm < 0)
        hhmm = 0;
    const int m = (hhmm / 100) * 60 + hhmm % 100;
    if (FPeriod <= 0)
        FPeriod = 1;
    const int e = FPeriod * (m / FPeriod + 1);
    // Trades come many to a bar: the key is made once per bar.
    if (e != FTickKeyEnd || today != FTickKeyDay) {
        FTickKeyEnd = e;
        FTickKeyDay = today;
        FTickKey = today;
        for (int v : {e / 60 / 10 % 10, e / 60 % 10, e % 60 / 10, e % 10})
            FTickKey += QChar(u'0' + v);
    }
    const QString& key = FTickKey;

    if (!FBars.isEmpty() && FBars.last().D == key) {
        TBar& b = FBars.last();
        const qint64 before = b.V;
        b.H = std::max(b.H, price);
        b.L = std::min(b.L, price);
        b.C = price;
        b.V += tickVol;
        if (b.PV <= 0)  // a history bar without PV: estimate what came before
            b.PV = (b.H + b.L + price) / 3.0 * double(before);
        b.PV += price * double(tickVol);
        return true;
    }
    if (FBars.isEmpty() || key > FBars.last().D) {
        TBar b;
        b.D = key;
        b.O = b.H = b.L = b.C = price;
        b.V = tickVol;
        b.PV = price * double(tickVol);
        FBars.append(b);
        ++FBarsRev;
        if (FOffset > 0)
            ++FOffset;  // a view scrolled into the past stays where it is
        return true;
    }
    return false;  // older than the last bar
}

bool TChartModel::SamePeriod(const QString& a, const QString& b) const
{
    if (FDayGroup == 2)
        return a.left(6) == b.left(6);
    const QDate da = KeyDate(a), db = KeyDate(b);
    if (!da.isValid() || !db.isValid())
        return false;
    return da.addDays(1 - da.dayOfWeek()) == db.addDays(1 - db.dayOfWeek());
}

bool TChartModel::TickDay(const QString& today, double price, double o, double h, double l,
                          qint64 cumVol)
{
    const double low = l > 0 ? l : price;
    if ((FDayGroup == 1 || FDayGroup == 2) && !FBars.isEmpty() && FBars.last().D.size() > 7
        && today.size() > 7 && SamePeriod(FBars.last().D, today)) {
        TBar& b = FBars.last();
        b.H = std::max({b.H, price, h});
        b.L = std::min(b.L, low);
        b.C = price;
        return true;
    }
    if (!FBars.isEmpty() && FBars.last().D == today) {
        TBar& b = FBars.last();
        if (o > 0)
            b.O = o;
        b.H = std::max({b.H, price, h});
        b.L = std::min(b.L, low);
        b.C = price;
        if (cumVol > 0)
            b.V = cumVol;
        return true;
    }
    if (FBars.isEmpty() || today > FBars.last().D) {
        TBar b;
        b.D = today;
        b.O = o > 0 ? o : price;
        b.H = std::max(price, h);
        b.L = low;
        b.C = price;
        b.V = cumVol;
        b.PV = 0;
        FBars.append(b);
        ++FBarsRev;
        return true;
    }
    return false;  // an older day: nothing to change, the series stay valid
}

double TChartModel::TodayVwap(const QString& today) const
{
    if (FBars.isEmpty() || FVwap.size() != FBars.size())
        return 0;
    if (Day(FBars.last().D) != today)
        return 0;
    return FVwap.last();
}

void TChartModel::RecalcSeries()
{
    const int n = Count();
    for (int k = 0; k < 3; ++k) {
        const int p = MAPeriods[k];
        QVector<double>& ma = FMA[k];
        ma.resize(n);
        double sum = 0;
        FRunMA[k] = 0;
        for (int j = 0; j < n; ++j) {
            if (j == n - 1)
                FRunMA[k] = sum;
            sum += FBars[j].C;
            if (j >= p)
                sum -= FBars[j - p].C;
            ma[j] = j >= p - 1 ? sum / p : 0.0;
        }
    }
    FVwap.clear();
    FRunPV = FRunVol = 0;
    FRunDayIdx = -1;
    if (!FMinute)
        return;
    FVwap.resize(n);
    double pv = 0, vol = 0;
    int dayIdx = -1;
    for (int j = 0; j < n; ++j) {
        if (j == n - 1) {
            FRunPV = pv;
            FRunVol = vol;
            FRunDayIdx = dayIdx;
        }
        const TBar& b = FBars[j];
        if (dayIdx < 0 || DayOf(b.D) != DayOf(FBars[dayIdx].D)) {
            pv = 0;
            vol = 0;
        }
        dayIdx = j;
        pv += BarPV(b);
        vol += double(b.V);
        FVwap[j] = vol > 0 ? pv / vol : 0.0;
    }
}

// After a trade only the last bar changed or one bar was appended: the
// running sums over the bars before the last one give the last values in
// the same order of additions as RecalcSeries.
void TChartModel::RecalcLast(bool appended)
{
    const int n = Count();
    const int expect = appended ? n - 1 : n;
    if (n < 1 || FMA[0].size() != expect || (FMinute && FVwap.size() != expect)
        || (!FMinute && !FVwap.isEmpty())) {
        RecalcSeries();
        return;
    }
    if (appended && n >= 2) {
        const int j = n - 2;  // the previous last bar joins the running sums
        for (int k = 0; k < 3; ++k) {
            const int p = MAPeriods[k];
            FRunMA[k] += FBars[j].C;
            if (j >= p)
                FRunMA[k] -= FBars[j - p].C;
        }
        if (FMinute) {
            const TBar& b = FBars[j];
            if (FRunDayIdx < 0 || DayOf(b.D) != DayOf(FBars[FRunDayIdx].D)) {
                FRunPV = 0;
                FRunVol = 0;
            }
            FRunDayIdx = j;
            FRunPV += BarPV(b);
            FRunVol += double(b.V);
        }
    }
    const int j = n - 1;
    for (int k = 0; k < 3; ++k) {
        const int p = MAPeriods[k];
        double sum = FRunMA[k];
        sum += FBars[j].C;
        if (j >= p)
            sum -= FBars[j - p].C;
        FMA[k].resize(n);
        FMA[k][j] = j >= p - 1 ? sum / p : 0.0;
    }
    if (FMinute) {
        const TBar& b = FBars[j];
        double pv = FRunPV, vol = FRunVol;
        if (FRunDayIdx < 0 || DayOf(b.D) != DayOf(FBars[FRunDayIdx].D)) {
            pv = 0;
            vol = 0;
        }
        pv += BarPV(b);
        vol += double(b.V);
        FVwap.resize(n);
        FVwap[j] = vol > 0 ? pv / vol : 0.0;
    }
}

// --- holding and marks --------------------------------------------------------

void TChartModel::SetAvg(double avg, qint64 qty)
{
    FAvg = qty > 0 ? avg : 0;
    FAvgQty = qty;
    Repaint();
}

void TChartModel::SetFills(const QVector<TFillMark>& a)
{
    FFills = a;
    Repaint();
}

void TChartModel::SetSigs(const QVector<TSigMark>& a)
{
    FSigs = a;
    Repaint();
}

void TChartModel::SetDtMark(const QString& d, const QString& lab)
{
    if (d == FDtD && lab == FDtLab)
        return;
    FDtD = d;
    FDtLab = lab;
    Repaint();
}

void TChartModel::SetNewsMark(const QString& d, const QString& lab, bool focus)
{
    if (d.isEmpty() && FNewsD.isEmpty())
        return;
    FNewsD = d;
    FNewsLab = lab;
    FNewsFocus = FMinute && !d.isEmpty() && focus;
    Repaint();
}

void TChartModel::SetDayMark(const QString& d)
{
    if (d == FDayMark)
        return;
    FDayMark = d;
    Repaint();
}

// --- view window ----------------------------------------------------------------

int TChartModel::PaneWidthForFocus() const
{
    return FGeoOK ? FGeoPR.width() : FClientW - 70;
}

void TChartModel::FocusDay(const QString& d)
{
    FDayMark = d;
    if (!d.isEmpty() && !FBars.isEmpty()) {
        const int i = BarIndexAt(d);
        const int n = std::max(PaneWidthForFocus() / std::max(FBarW, 1), 1);
        const int b = std::max(n / 10, 3);
        const int last = Count() - 1;
        if (i < last - FOffset - n + 1 + b || i > last - FOffset - b) {
            const int right = std::min(i + n * 3 / 4, last);
            FOffset = std::max(last - right, 0);
        }
    }
    Repaint();
}

void TChartModel::ShowFrom(const QString& d)
{
    FShowFrom = d;
    Repaint();
}

void TChartModel::FitFrom(const QString& d)
{
    FFitFrom = d;
    FFit = false;
    Repaint();
}

bool TChartModel::SettleView(const QRect& pane, TViewWindow* out)
{
    const int w = pane.width();
    if (FBars.isEmpty() || w < 20 || pane.height() < 20)
        return false;
    const int count = Count();
    const QString lastKey = FBars.last().D;

    if (FMinute && !FFitFrom.isEmpty()) {
        if (lastKey < FFitFrom)
            FFitFrom = Day(lastKey) + FFitFrom.mid(8, 4);
        const int n = count - int(std::lower_bound(FBars.cbegin(), FBars.cend(), FFitFrom,
                                                   [](const TBar& b, const QString& k) {
                                                       return b.D < k;
                                                   })
                                  - FBars.cbegin());
        if (n > 0) {
            FBarW = Clamp(w / n, 1, 40);
            FOffset = 0;
        }
        FFitFrom.clear();
    }
    if (FMinute && FFit) {
        FBarW = Clamp(w / 60, 6, 16);
        FOffset = 0;
        FFit = false;
    }
    if (FMinute && FNewsFocus) {
        const QString newsDay = Day(FNewsD);
        int i = -1;
        const int j = BarIndexAt(FNewsD);
        if (FBars[j].D >= FNewsD && Day(FBars[j].D) == newsDay)
            i = j;
        else if (Day(lastKey) == newsDay)
            i = count - 1;
        if (i >= 0) {
            FBarW = Clamp(w / 60, 6, 16);
            const int n = std::max(w / FBarW, 1);
            const int left = std::max(i - n / 5, 0);
            const int right = std::min(count - 1, left + n - 1);
            FOffset = count - 1 - right;
            FFit = false;
            FNewsFocus = false;
        }
    }
    if (FMinute && !FShowFrom.isEmpty()) {
        FFit = false;
        const int j = BarIndexAt(FShowFrom);
        if (FBars[j].D >= FShowFrom) {
            const int n = std::max(w / std::max(FBarW, 1), 1);
            FOffset = std::max(count - j - n, 0);
        }
        FShowFrom.clear();
    }
    if (qint64(count) * FBarW < w) {
        const int fill = (w + count - 1) / count;
        FBarW = std::min(std::max(fill, FBarW), 40);
    }
    const int n = std::max(w / std::max(FBarW, 1), 1);
    ClampOffset();
    FOffset = std::min(FOffset, std::max(count - n, 0));
    if (out) {
        out->I1 = count - 1 - FOffset;
        out->I0 = std::max(out->I1 - n + 1, 0);
        out->Slots = n;
    }
    return true;
}

void TChartModel::SetGeo(const QRect& pane, double hi, double lo, int i1)
{
    FGeoOK = true;
    FGeoPR = pane;
    FGeoHi = hi;
    FGeoLo = lo;
    FGeoI1 = i1;
}

void TChartModel::ClampOffset()
{
    FOffset = std::max(std::min(FOffset, Count() - 10), 0);
}

int TChartModel::BarIndexAt(const QString& k) const
{
    if (FBars.isEmpty())
        return -1;
    const auto it = std::lower_bound(FBars.cbegin(), FBars.cend(), k,
                                     [](const TBar& b, const QString& key) { return b.D < key; });
    if (it == FBars.cend())
        return Count() - 1;
    return int(it - FBars.cbegin());
}

QString TChartModel::ShiftKey(const QString& k, int n) const
{
    const int i = BarIndexAt(k);
    if (i < 0)
        return k;
    return FBars[Clamp(i + n, 0, Count() - 1)].D;
}

int TChartModel::BarX(int i) const
{
    const int right = FGeoPR.x() + FGeoPR.width();
    return right - (FGeoI1 - i) * FBarW - FBarW / 2 - 1;
}

int TChartModel::PriceY(double p) const
{
    const int top = FGeoPR.y();
    if (FGeoHi == FGeoLo)
        return top;
    const int bottom = FGeoPR.y() + FGeoPR.height();
    return int(std::lround(top + (FGeoHi - p) / (FGeoHi - FGeoLo) * (bottom - top)));
}

// --- drawings -------------------------------------------------------------------

void TChartModel::SetTool(QChar k)
{
    FTool = k;
    FPend = false;
    FPendD.clear();
    FPendP = 0;
    Repaint();
}

void TChartModel::SetPend(const QString& d, double p)
{
    FPend = true;
    FPendD = d;
    FPendP = p;
}

void TChartModel::UndoDraw()
{
    if (FDraws.isEmpty())
        return;
    FDraws.removeLast();
    FSel = -1;
    DrawsChanged();
}

void TChartModel::ClearDraws()
{
    if (FDraws.isEmpty())
        return;
    FDraws.clear();
    FSel = -1;
    DrawsChanged();
}

void TChartModel::SetDraws(const QVector<TDrawObj>& a)
{
    FDraws = a;
    FTool = QChar();
    FPend = false;
    FPendD.clear();
    FPendP = 0;
    FSel = -1;
    FMoving = false;
    Repaint();
}

void TChartModel::AddDraw(const TDrawObj& d)
{
    FDraws.append(d);
    FPend = false;
    FPendD.clear();
    FPendP = 0;
    DrawsChanged();
}

void TChartModel::DeleteSel()
{
    if (FSel < 0 || FSel >= FDraws.size())
        return;
    FDraws.removeAt(FSel);
    FSel = -1;
    FMoving = false;
    DrawsChanged();
}

void TChartModel::SetSel(int i)
{
    FSel = (i >= 0 && i < FDraws.size()) ? i : -1;
}

void TChartModel::ReplaceDraw(int i, const TDrawObj& d)
{
    if (i >= 0 && i < FDraws.size())
        FDraws[i] = d;
}

void TChartModel::DrawsChanged()
{
    Repaint();
    if (OnDrawsChange)
        OnDrawsChange();
}

// --- properties -------------------------------------------------------------------

void TChartModel::SetPrevClose(double p)
{
    FPrev = p;
    Repaint();
}

void TChartModel::SetExtVwap(double v)
{
    if (std::fabs(v - FExtVwap) < 0.0001)
        return;
    FExtVwap = v;
    Repaint();
}
