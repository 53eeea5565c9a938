#include "chart/CandleChart.h"
#include "core/Fonts.h"

#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPolygon>
#include <QResizeEvent>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

const QColor KUp(0xe5, 0x39, 0x35);
const QColor KDown(0x1e, 0x88, 0xe5);
const QColor KInk(0x30, 0x30, 0x30);
const QColor KLabel(0x70, 0x70, 0x70);
const QColor KGrid(0xed, 0xed, 0xed);
const QColor KFrame(0xc8, 0xc8, 0xc8);
const QColor KFlat(0x50, 0x50, 0x50);
const QColor KMA[3] = {QColor(0xff, 0x98, 0x00), QColor(0x9c, 0x27, 0xb0), QColor(0x43, 0xa0, 0x47)};
const QColor KVwap(0xc8, 0x8c, 0x00);
const QColor KHold(0xff, 0x80, 0x00);
const QColor KDraw(0x8c, 0x14, 0xb4);
const QColor KDt(0xe0, 0x80, 0x00);
const QColor KNews(0x20, 0x80, 0x20);
const QColor KDayMark(0x6e, 0x14, 0x80);
const QColor KSigBuy(0x9c, 0x20, 0xb0);
const QColor KSigSell(0x00, 0x78, 0xa0);
const QColor KHighLine(0xd8, 0x20, 0x20);
const QColor KLowLine(0x18, 0x78, 0xd0);
const QColor KVolText(0x8c, 0x30, 0xa0);

QString Price(double p)
{
    static const QLocale loc(QLocale::English);
    return loc.toString(qlonglong(std::llround(p)));
}

QString Pct(double v)
{
    const QString s = QString::number(std::abs(v), 'f', 2);
    if (s == QLatin1String("0.00"))
        return s;
    return (v > 0 ? QStringLiteral("+") : QStringLiteral("-")) + s;
}

QString Day(const QString& k) { return k.left(8); }

QString MmDd(const QString& k) { return k.mid(4, 2) + '/' + k.mid(6, 2); }
QString HhMm(const QString& k) { return k.mid(8, 2) + ':' + k.mid(10, 2); }

bool Within(double p, double lo, double hi) { return p >= lo && p <= hi; }

// Everything one paint needs: painter, fonts and the settled geometry.
struct TPaint {
    TPaint(QPainter& p, const TChartModel& m, const QFont& f) : P(p), M(m), Font(f), Bold(f) {}
    // The same geometry and texts, painting with p.
    TPaint(QPainter& p, const TPaint& o)
        : P(p), M(o.M), Font(o.Font), Bold(o.Bold), Th(o.Th), ClientR(o.ClientR), L(o.L), T(o.T), R(o.R),
          B(o.B), PlotB(o.PlotB), VolT(o.VolT), VolB(o.VolB), Hi(o.Hi), Lo(o.Lo), I0(o.I0), I1(o.I1),
          Cache(o.Cache)
    {
        std::copy(std::begin(o.Ascent), std::end(o.Ascent), std::begin(Ascent));
        std::copy(std::begin(o.AscentF), std::end(o.AscentF), std::begin(AscentF));
    }
    QPainter& P;
    const TChartModel& M;
    QFont Font, Bold;
    int Th = 10;
    int ClientR = 0;   // exclusive right edge of the client area
    int L = 0, T = 0, R = 0, B = 0;  // price pane; R and B exclusive
    int PlotB = 0, VolT = 0, VolB = 0;
    double Hi = 0, Lo = 0;
    int I0 = 0, I1 = -1;

    int Y(double p) const { return M.PriceY(p); }
    int X(int i) const { return M.BarX(i); }
    int BarW() const { return M.BarW(); }

    TCandleChart::TTextCache* Cache = nullptr;
    int Ascent[2] = {0, 0};       // regular, bold
    qreal AscentF[2] = {0, 0};    // the same unrounded: a laid-out text's baseline below its top

    int TextW(const QString& s, bool bold = false) const
    {
        if (const TCandleChart::TShapedText* t = Cache->Get(s, bold, bold ? Bold : Font))
            return t->W;
        return QFontMetrics(bold ? Bold : Font).horizontalAdvance(s);
    }
    // Writes s with its top-left corner at (x, y); returns the advance.
    int Text(int x, int y, const QString& s, const QColor& c, bool bold = false)
    {
        P.setFont(bold ? Bold : Font);
        P.setPen(c);
        if (const TCandleChart::TShapedText* t = Cache->Get(s, bold, bold ? Bold : Font)) {
            P.drawStaticText(QPointF(x, y + Ascent[bold] - AscentF[bold]), t->St);
            return t->W;
        }
        const QFontMetrics fm(P.font());
        P.drawText(x, y + fm.ascent(), s);
        return fm.horizontalAdvance(s);
    }
    void Line(int x1, int y1, int x2, int y2, const QColor& c, int w = 1,
              Qt::PenStyle st = Qt::SolidLine)
    {
        P.setPen(QPen(c, w, st, Qt::FlatCap));
        P.drawLine(x1, y1, x2, y2);
    }
    void Box(const QRect& r, const QColor& c)
    {
        P.fillRect(r, c);
    }
};

// t cut at its end to at most w pixels, "…" marking the cut; its first word
// (the period: "1분봉", "일봉") stays whole. Empty when even that does not fit.
QString ShortTitle(const QString& t, const QFontMetrics& fm, int w)
{
    if (fm.horizontalAdvance(t) <= w)
        return t;
    const int word = t.contains(' ') ? int(t.indexOf(' ')) : int(t.size());
    for (int k = int(t.size()) - 1; k >= word; --k) {
        if (t[k].isLowSurrogate())
            continue;
        QString s = t.left(k);
        while (s.endsWith(' '))
            s.chop(1);
        s += QChar(0x2026);
        if (fm.horizontalAdvance(s) <= w)
            return s;
    }
    return QString();
}

// The top strip: the title at (6, 3), then the legend from LegendX, its
// first MAs moving-average entries and "VWAP" 4 pixels after them.
struct TStrip {
    QString Title;
    int MAs = 0;
    bool Vwap = false;
    int LegendX = 0;
};

// Fits the top strip left of `right`. What must go goes in this order: the
// moving-average entries from the last, the title's end after its first word
// (the stock name), most of the legend's gap after the title, "VWAP", and
// the title's first word.
TStrip LayoutStrip(const TPaint& g, const QString& title, bool legend, bool vwap, int right)
{
    const int vw = g.TextW(QStringLiteral("VWAP"), true);
    int maw[3];
    for (int k = 0; k < 3; ++k)
        maw[k] = g.TextW(QString::number(TChartModel::MAPeriods[k]));
    auto end = [&](const TStrip& st) {
        int x = st.LegendX, e = 6 + g.TextW(st.Title, true);
        for (int k = 0; k < st.MAs; ++k) {
            e = x + maw[k];
            x += maw[k] + 8;
        }
        return st.Vwap ? x + 4 + vw : e;
    };
    if (legend) {
        for (int mas = 3; mas >= 0; --mas) {
            const TStrip st{title, mas, vwap, g.TextW(title, true) + 22};
            if (end(st) <= right)
                return st;
        }
        if (vwap) {
            QString t = ShortTitle(title, QFontMetrics(g.Bold), right - 26 - vw);
            if (!t.isEmpty())
                return {t, 0, true, g.TextW(t, true) + 22};
            // Narrower gap: "VWAP" 8 pixels after the title.
            const int room = right - 14 - vw;
            t = ShortTitle(title, QFontMetrics(g.Bold), room);
            if (t.isEmpty() && title.contains(' ') && g.TextW(title.left(title.indexOf(' ')), true) <= room)
                t = title.left(title.indexOf(' '));
            if (!t.isEmpty())
                return {t, 0, true, 6 + g.TextW(t, true) + 4};
        }
    }
    QString t = ShortTitle(title, QFontMetrics(g.Bold), right - 6);
    if (t.isEmpty()) {
        t = QFontMetrics(g.Bold).elidedText(title, Qt::ElideRight, right - 6);
        if (t == QString(QChar(0x2026)))
            t.clear();
    }
    return {t, 0, false, 0};
}

} // namespace

TCandleChart::TCandleChart(QWidget* parent)
    : QWidget(parent)
{
    FFont.setFamilies(UiFontFamilies());
    FFont.setPointSize(9);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    setAutoFillBackground(false);
    // A live chart changes many times a frame: it is painted at most once a
    // frame (the cursor follows the tool there); the changes in between only
    // change the model.
    FModel.OnRepaint = [this] { FPacer.Ask(); };
    FModel.SetClientWidth(width());
}

// FocusDay may run before the next paint: it needs the width now.
void TCandleChart::resizeEvent(QResizeEvent* e)
{
    FModel.SetClientWidth(width());
    QWidget::resizeEvent(e);
}

void TCandleChart::SetScale(TScale s)
{
    FScale = std::move(s);
    update();
}

void TCandleChart::SetTextCache(bool on)
{
    FTexts.On = on;
    update();
}

void TCandleChart::SetLayerCache(bool on)
{
    FLayer.On = on;
    FLayer.Key = {};
    FLayer.Img = QImage();
    update();
}

const TCandleChart::TShapedText* TCandleChart::TTextCache::Get(const QString& s, bool bold, const QFont& f)
{
    if (!On)
        return nullptr;
    if (Fonts[bold] != f) {
        Fonts[bold] = f;
        Texts[bold].clear();
    }
    auto it = Texts[bold].find(s);
    if (it == Texts[bold].end()) {
        TShapedText t;
        t.St.setTextFormat(Qt::PlainText);
        t.St.setText(s);
        t.St.prepare(QTransform(), f);
        t.W = QFontMetrics(f).horizontalAdvance(s);
        it = Texts[bold].insert(s, std::move(t));
    }
    it->Used = PaintNo;
    return &*it;
}

void TCandleChart::TTextCache::Trim()
{
    // Prices and times keep taking new values as the market moves.
    for (auto& texts : Texts) {
        if (texts.size() < 1024)
            continue;
        for (auto it = texts.begin(); it != texts.end();)
            it = it->Used == PaintNo ? std::next(it) : texts.erase(it);
    }
}

void TCandleChart::SetChartFont(const QFont& f)
{
    FFont = f;
    update();
}

void TCandleChart::SetTool(QChar k)
{
    FModel.SetTool(k);
    SyncCursor();
}

void TCandleChart::SyncCursor()
{
    if (!FModel.Tool().isNull())
        setCursor(Qt::CrossCursor);
    else if (cursor().shape() == Qt::CrossCursor)
        unsetCursor();
}

void TCandleChart::paintEvent(QPaintEvent*)
{
    FPacer.Painted();
    SyncCursor();
    QPainter p(this);
    PaintTo(p);
}

void TCandleChart::PaintTo(QPainter& painter)
{
    TChartModel& m = FModel;
    m.SetClientWidth(width());
    TPaint g(painter, m, FFont);
    g.Bold.setBold(true);
    g.Cache = &FTexts;
    FTexts.Trim();   // keeps what the last paint used
    ++FTexts.PaintNo;
    for (int b = 0; b < 2; ++b) {
        const QFont& f = b ? g.Bold : g.Font;
        g.Ascent[b] = QFontMetrics(f).ascent();
        g.AscentF[b] = QFontMetricsF(f).ascent();
    }
    const QRect cr = rect();
    painter.setRenderHint(QPainter::Antialiasing, false);
    g.Th = std::max(QFontMetrics(g.Font).height(), 10);
    const int th = g.Th;
    const int aw = QFontMetrics(g.Font).horizontalAdvance(QStringLiteral("000,000,0")) + 10;
    g.ClientR = cr.x() + cr.width();
    const int plotL = cr.x() + 4, plotT = cr.y() + th + 8;
    const int plotR = g.ClientR - aw, plotB = cr.y() + cr.height() - th - 4;
    const int volH = int(std::lround((plotB - plotT) * 0.22));
    g.VolB = plotB;
    g.VolT = plotB - volH;
    g.PlotB = plotB;
    g.L = plotL;
    g.T = plotT;
    g.R = plotR;
    g.B = g.VolT - 6;

    // The top strip ends left of the controls the window placed in it.
    const int stripRight = std::min(ChildrenLeft(3, 3 + th), g.ClientR) - 6;
    const bool legendVwap = (m.IsMinute() && !m.Vwap().isEmpty()) || m.ExtVwap() > 0;

    const QRect pane(g.L, g.T, std::max(g.R - g.L, 0), std::max(g.B - g.T, 0));
    TViewWindow vw;
    if (m.Count() == 0 || g.R - g.L <= 19 || g.B - g.T <= 19 || !m.SettleView(pane, &vw)) {
        m.ClearGeo();
        FLayer.Key = {};
        painter.fillRect(cr, Qt::white);
        g.Text(6, 3, LayoutStrip(g, m.Title(), false, false, stripRight).Title, KInk, true);
        g.Text(plotL + 10, g.T + 10, QStringLiteral("데이터 없음"), KLabel);
        return;
    }
    const TStrip strip = LayoutStrip(g, m.Title(), true, legendVwap, stripRight);
    const QVector<TBar>& bars = m.Bars();
    const int n = m.Count();
    g.I0 = vw.I0;
    g.I1 = vw.I1;
    const bool minute = m.IsMinute();
    const bool vwapOk = minute && m.Vwap().size() == n;

    // Price scale.
    double lo = 1e18, hi = -1e18;
    double maxV = 0;
    for (int i = g.I0; i <= g.I1; ++i) {
        lo = std::min(lo, bars[i].L);
        hi = std::max(hi, bars[i].H);
        maxV = std::max(maxV, double(bars[i].V));
        for (int k = 0; k < 3; ++k) {
            const double v = m.MA(k).value(i);
            if (v > 0) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
        if (vwapOk && m.Vwap()[i] > 0) {
            lo = std::min(lo, m.Vwap()[i]);
            hi = std::max(hi, m.Vwap()[i]);
        }
    }
    if (!minute && m.ExtVwap() > 0) {
        lo = std::min(lo, m.ExtVwap());
        hi = std::max(hi, m.ExtVwap());
    }
    if (minute) {
        for (const TSigMark& s : m.Sigs()) {
            const int i = m.BarIndexAt(s.D);
            if (i < 0 || bars[i].D < s.D || i > g.I1 || s.Price <= 0)
                continue;
            lo = std::min(lo, s.Price);
            hi = std::max(hi, s.Price);
        }
    }
    if (lo >= hi) {
        hi += 1;
        lo -= 1;
    }
    const double margin = (hi - lo) * 0.06;
    hi += margin;
    lo -= margin;
    g.Hi = hi;
    g.Lo = lo;
    // The model's BarX / PriceY work on this geometry from here on.
    m.SetGeo(pane, hi, lo, g.I1);
    FPane = pane;
    FHi = hi;
    FLo = lo;
    FI0 = g.I0;
    FI1 = g.I1;
    const int bw = m.BarW();
    const int zeroH = QFontMetrics(g.Bold).height();
    // Boxes near the top of the pane start below the information line.
    const int belowInfo = g.T + th + 6;
    const int body = std::max(bw - 2, 1);

    // Today's open / high / low (minute charts): the open of its first bar
    // from 09:01 on, the high and low of those bars.
    double todayO = 0, todayH = -1e18, todayL = 1e18;
    if (minute) {
        const QString lastDay = Day(bars.last().D);
        for (int i = n - 1; i >= 0 && Day(bars[i].D) == lastDay; --i) {
            if (bars[i].D.mid(8, 4) < QLatin1String("0901"))
                continue;
            todayO = bars[i].O;  // ends on the first such bar
            todayH = std::max(todayH, bars[i].H);
            todayL = std::min(todayL, bars[i].L);
        }
    }

    auto candle = [&](TPaint& s, int i) {
        const TBar& b = bars[i];
        const QColor c = b.C >= b.O ? KUp : KDown;
        const int x = s.X(i);
        s.Line(x, s.Y(b.H), x, s.Y(b.L) + 1, c);
        const int yt = s.Y(std::max(b.O, b.C));
        const int yb = std::max(s.Y(std::min(b.O, b.C)), yt + 1);
        if (body < 3)
            s.Line(x, yt, x, yb, c);
        else
            s.P.fillRect(QRect(x - body / 2, yt, body, yb - yt), c);
    };
    auto volume = [&](TPaint& s, int i) {
        const TBar& b = bars[i];
        const QColor c = b.C >= b.O ? KUp : KDown;
        const int x = s.X(i);
        const int top = s.VolB - int(std::lround(double(b.V) / maxV * (volH - 2)));
        if (body < 3)
            s.Line(x, top, x, s.VolB, c);
        else
            s.P.fillRect(QRect(x - body / 2, top, body, s.VolB - top), c);
    };

    // Background, grid, axes, day lines, today's lines and the candles of
    // every bar up to `upTo`. A trade changes only the last bar, so a live
    // chart keeps all this in a layer drawn again only when the price scale,
    // the view or an earlier bar changed, and paints the last candle and
    // everything after it anew (the volumes too: their scale is the largest
    // volume in view, often the current bar's).
    auto paintBase = [&](TPaint& s, int upTo) {
        QPainter& sp = s.P;
        sp.fillRect(cr, Qt::white);
        s.Text(6, 3, strip.Title, KInk, true);
        // 1. Horizontal grid.
        for (int k = 0; k <= 4; ++k) {
            const double p = lo + (hi - lo) * k / 4;
            const int y = s.Y(p);
            s.Line(s.L, y, s.R, y, KGrid);
            s.Text(s.R + 6, y - 7, Price(p), KLabel);
        }
        // 2. Frame.
        s.Line(s.R, s.T, s.R, s.VolB, KFrame);
        s.Line(plotL, s.VolT - 3, plotR, s.VolT - 3, KFrame);
        // 3. Time axis.
        const int step = std::max(80 / std::max(bw, 1), 1);
        for (int i = s.I1; i >= s.I0; i -= step) {
            const int x = s.X(i);
            s.Line(x, s.T, x, s.VolB, KGrid);
            const QString t = minute ? HhMm(bars[i].D) : MmDd(bars[i].D);
            s.Text(x - s.TextW(t) / 2, s.VolB + 2, t, KLabel);
        }
        // 4. Day separators.
        if (minute) {
            for (int i = std::max(s.I0, 1); i <= s.I1; ++i) {
                if (Day(bars[i].D) == Day(bars[i - 1].D))
                    continue;
                const int x = s.X(i) - std::max(bw / 2, 1) - 1;
                s.Line(x, s.T, x, s.VolB, KFlat, 2);
                s.Text(x + 4, s.T + zeroH + 6, MmDd(bars[i].D), KFlat, true);
            }
        }
        // 5. Today's open / high / low.
        if (minute && todayO > 0) {
            struct {
                double P;
                const char* Lab;
                QColor C;
            } lines[3] = {{todayH, "고", KHighLine}, {todayO, "시", KLabel}, {todayL, "저", KLowLine}};
            for (const auto& ln : lines) {
                if (!Within(ln.P, lo, hi))
                    continue;
                const int y = s.Y(ln.P);
                s.Line(s.L, y, s.R, y, ln.C);
                const QString t = QString::fromUtf8(ln.Lab) + ' ' + Price(ln.P);
                int top = y - th / 2 - 2;
                top = std::min(std::max(top, belowInfo), s.B - th - 4);
                s.Box(QRect(s.L + 2, top, s.TextW(t, true) + 10, th + 4), ln.C);
                s.Text(s.L + 7, top + 2, t, Qt::white, true);
            }
        }
        // 6. Candles.
        for (int i = s.I0; i <= upTo; ++i)
            candle(s, i);
    };

    // The last candle covers no pixel of the other candles, so it may come
    // after them.
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const bool layered = FLayer.On && painter.device() == this;
    if (!layered) {
        paintBase(g, g.I1);   // then volumes and the rest, as below
    } else {
        const bool lastLive = g.I1 == n - 1;
        TLayerKey key;
        key.Size = cr.size();
        key.Dpr = dpr;
        key.Font = FFont;
        key.TextCache = FTexts.On;
        key.Title = strip.Title;
        key.BarsRev = m.BarsRev();
        key.N = n;
        key.I0 = g.I0;
        key.I1 = g.I1;
        key.BarW = bw;
        key.Hi = hi;
        key.Lo = lo;
        key.Today[0] = todayO;
        key.Today[1] = todayH;
        key.Today[2] = todayL;
        key.Minute = minute;
        // The layer is opaque: kept in the format of the window's back
        // buffer, it is copied line by line instead of blended pixel by pixel.
        QImage::Format fmt = QImage::Format_ARGB32_Premultiplied;
        const QPaintDevice* target = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
        if (target && target->devType() == QInternal::Image) {
            const QImage::Format f = static_cast<const QImage*>(target)->format();
            if (f == QImage::Format_RGB32 || f == QImage::Format_ARGB32_Premultiplied)
                fmt = f;
        }
        if (!(key == FLayer.Key) || FLayer.Img.isNull() || FLayer.Img.format() != fmt) {
            const QSize px = (QSizeF(cr.size()) * dpr).toSize();
            if (FLayer.Img.size() != px || FLayer.Img.format() != fmt)
                FLayer.Img = QImage(px, fmt);
            FLayer.Img.setDevicePixelRatio(dpr);
            QPainter lp(&FLayer.Img);
            lp.setRenderHints(painter.renderHints());
            lp.setFont(painter.font());
            TPaint lg(lp, g);
            paintBase(lg, lastLive ? g.I1 - 1 : g.I1);
            lp.end();
            FLayer.Key = key;
            ++FLayer.Builds;
        }
        painter.drawImage(QPoint(0, 0), FLayer.Img);
        if (lastLive)
            candle(g, g.I1);
    }
    // 7. Volume.
    if (maxV > 0)
        for (int i = g.I0; i <= g.I1; ++i)
            volume(g, i);
    // 8. Moving averages.
    for (int k = 0; k < 3; ++k) {
        QPolygon poly;
        for (int i = g.I0; i <= g.I1; ++i) {
            const double v = m.MA(k).value(i);
            if (v > 0)
                poly << QPoint(g.X(i), g.Y(v));
        }
        painter.setPen(QPen(KMA[k], 1));
        painter.drawPolyline(poly);
    }
    // 9. VWAP.
    double vwapTag = 0;
    if (vwapOk) {
        painter.setPen(QPen(KVwap, S(2)));
        QPolygon poly;
        auto flush = [&] {
            if (poly.size() > 1)
                painter.drawPolyline(poly);
            poly.clear();
        };
        for (int i = g.I0; i <= g.I1; ++i) {
            const double v = m.Vwap()[i];
            if (v <= 0 || (i > g.I0 && Day(bars[i].D) != Day(bars[i - 1].D)))
                flush();
            if (v > 0)
                poly << QPoint(g.X(i), g.Y(v));
        }
        flush();
        vwapTag = m.Vwap()[g.I1];
    } else if (!minute && m.ExtVwap() > 0) {
        const int y = g.Y(m.ExtVwap());
        g.Line(g.L, y, g.R, y, KVwap, S(2), Qt::DashLine);
        vwapTag = m.ExtVwap();
    }
    if (vwapTag > 0 && Within(vwapTag, lo, hi)) {
        const int y = g.Y(vwapTag);
        const QRect r(g.R + 1, y - (th + 4) / 2, g.ClientR - 1 - (g.R + 1), th + 4);
        g.Box(r, KVwap);
        g.Text(g.R + 5, r.top() + 2, Price(vwapTag), Qt::white, true);
    }
    // First visible bar at or after a key on that key's day, -1 when none.
    auto visibleBarOn = [&](const QString& key) {
        const int i = std::max(m.BarIndexAt(key), g.I0);
        if (i > g.I1 || bars[i].D < key || Day(bars[i].D) != Day(key))
            return -1;
        return i;
    };
    // Vertical lines above and below a bar and in the volume pane.
    auto markLines = [&](int i, const QColor& c) {
        const TBar& b = bars[i];
        const int x = g.X(i);
        const int yh = g.Y(b.H) - 5, yl = g.Y(b.L) + 5;
        if (yh > g.T)
            g.Line(x, g.T, x, yh, c, S(3));
        if (yl < g.B)
            g.Line(x, yl, x, g.B, c, S(3));
        const int vTop = maxV > 0 ? g.VolB - int(std::lround(double(b.V) / maxV * volH)) : g.VolB;
        if (vTop - 4 > g.VolT)
            g.Line(x, g.VolT, x, vTop - 4, c, S(3));
    };
    auto markBox = [&](int i, const QString& lab, int top, int h, const QColor& c) {
        const int w = g.TextW(lab, true) + 10;
        int left = g.X(i) - w / 2;
        left = std::max(g.L, std::min(left, g.R - w));
        g.Box(QRect(left, top, w, h), c);
        g.Text(left + 5, top + 2, lab, Qt::white, true);
    };
    // 10. DT mark.
    if (minute && !m.DtD().isEmpty()) {
        const int i = visibleBarOn(m.DtD());
        if (i >= 0) {
            markLines(i, KDt);
            const int x = g.X(i);
            const int mid = ((g.Y(bars[i].H) - 5) + (g.Y(bars[i].L) + 5)) / 2;
            painter.setPen(Qt::NoPen);
            painter.setBrush(KDt);
            const int hw = bw / 2;
            painter.drawPolygon(QPolygon({QPoint(x - hw - 9, mid - 5), QPoint(x - hw - 2, mid),
                                          QPoint(x - hw - 9, mid + 5)}));
            painter.drawPolygon(QPolygon({QPoint(x + hw + 9, mid - 5), QPoint(x + hw + 2, mid),
                                          QPoint(x + hw + 9, mid + 5)}));
            painter.setBrush(Qt::NoBrush);
            const int top = m.NewsD().isEmpty() ? g.VolT - th - 6 : g.VolT - 2 * th - 14;
            markBox(i, m.DtLab(), top, th + 5, KDt);
        }
    }
    // 11. News mark.
    if (minute && !m.NewsD().isEmpty()) {
        const int i = visibleBarOn(m.NewsD());
        if (i >= 0) {
            markLines(i, KNews);
            markBox(i, m.NewsLab(), g.VolT - th - 6, th + 5, KNews);
        }
    }
    // 12. Signal marks, newest first.
    if (minute) {
        const double lastC = bars.last().C;
        int placed = 0;
        const QVector<TSigMark>& sigs = m.Sigs();
        for (int k = sigs.size() - 1; k >= 0; --k) {
            const TSigMark& s = sigs[k];
            const int i = m.BarIndexAt(s.D);
            if (i < 0 || bars[i].D < s.D || i > g.I1 || s.Price <= 0)
                continue;
            const QColor c = s.Buy ? KSigBuy : KSigSell;
            const bool vis = i >= g.I0;
            const int ax = vis ? g.X(i) : g.L;
            const int y = g.Y(s.Price);
            if (vis)
                g.Line(ax, g.T, ax, g.VolB, c, 1, Qt::DotLine);
            g.Line(ax, y, g.R, y, c, 1, Qt::DashLine);
            const QString lab = s.Lab + "  " + Price(s.Price) + "  ";
            const double chg = lastC > 0 ? (lastC / s.Price - 1) * 100 : 0;
            const QString chs = Pct(chg) + '%';
            const int top = g.B - (placed + 1) * (th + 9) - 4;
            ++placed;
            if (top < g.T + th + 6)
                continue;
            const int bx = g.L + 4;
            const int bwid = g.TextW(lab) + g.TextW(chs, true) + 14;
            const QRect box(bx, top, bwid, th + 6);
            if (vis) {
                const QPoint from = ax < box.right() ? QPoint(box.center().x(), box.top())
                                                     : QPoint(box.right(), box.center().y());
                painter.setPen(QPen(c, S(2)));
                painter.drawLine(from, QPoint(ax, y));
                painter.setPen(Qt::NoPen);
                painter.setBrush(c);
                painter.drawEllipse(QRectF(ax - S(11) / 2.0, y - S(11) / 2.0, S(11), S(11)));
                painter.setBrush(Qt::NoBrush);
            }
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(QPen(c, S(2)));
            painter.setBrush(Qt::white);
            painter.drawRoundedRect(box, 6, 6);
            painter.setBrush(Qt::NoBrush);
            painter.setRenderHint(QPainter::Antialiasing, false);
            const int w1 = g.Text(bx + 7, top + 3, lab, c);
            g.Text(bx + 7 + w1, top + 3, chs, chg > 0 ? KUp : chg < 0 ? KDown : c, true);
        }
    }
    // 13. Fill marks.
    if (minute) {
        for (const TFillMark& f : m.Fills()) {
            const int i = visibleBarOn(f.D);
            if (i < 0)
                continue;
            const QColor c = f.Buy ? KUp : KDown;
            const int x = g.X(i);
            if (Within(f.Price, lo, hi)) {
                painter.setPen(QPen(c, S(2)));
                painter.setBrush(Qt::white);
                painter.drawEllipse(QRectF(x - S(9) / 2.0, g.Y(f.Price) - S(9) / 2.0, S(9), S(9)));
            }
            painter.setPen(Qt::NoPen);
            painter.setBrush(c);
            const int hw = S(10) / 2, h = S(8);
            if (f.Buy) {
                const int tip = g.Y(bars[i].L) + 6;
                painter.drawPolygon(QPolygon({QPoint(x, tip), QPoint(x - hw, tip + h), QPoint(x + hw, tip + h)}));
            } else {
                const int tip = g.Y(bars[i].H) - 6;
                painter.drawPolygon(QPolygon({QPoint(x, tip), QPoint(x - hw, tip - h), QPoint(x + hw, tip - h)}));
            }
            painter.setBrush(Qt::NoBrush);
        }
    }
    // Price tag on the axis: price in bold, change against the previous close below.
    const double prev = m.PrevClose();
    auto priceTag = [&](int y, double p, const QColor& c) {
        const int h = prev > 0 ? 2 * th + 2 : th + 2;
        const int top = y - h / 2;
        g.Box(QRect(g.R + 1, top, g.ClientR - 1 - (g.R + 1), h), c);
        g.Text(g.R + 5, top + 1, Price(p), Qt::white, true);
        if (prev > 0)
            g.Text(g.R + 5, top + 1 + th, Pct((p / prev - 1) * 100) + '%', Qt::white);
    };
    auto prevColour = [&](double p) {
        if (prev <= 0 || std::abs(p - prev) < 0.0001)
            return KFlat;
        return p > prev ? KUp : KDown;
    };
    // 14. Last price.
    const TBar& last = bars.last();
    int lastY = -1;
    if (Within(last.C, lo, hi)) {
        const QColor c = prev > 0 ? prevColour(last.C) : (last.C >= last.O ? KUp : KDown);
        lastY = g.Y(last.C);
        g.Line(g.L, lastY, g.R, lastY, c, 1, Qt::DotLine);
        priceTag(lastY, last.C, c);
    }
    // 15. Holding.
    if (m.Avg() > 0) {
        const double avg = m.Avg();
        const double chg = last.C > 0 ? (last.C / avg - 1) * 100 : 0;
        int ty;
        QString tagText = Price(avg);
        if (Within(avg, lo, hi)) {
            ty = g.Y(avg);
            g.Line(g.L, ty, g.R, ty, KHold, 1, Qt::DashLine);
            const int gap = (2 * zeroH + 4) / 2 + 9;
            if (lastY >= 0 && std::abs(ty - lastY) < gap)
                ty = ty <= lastY ? lastY - gap : lastY + gap;
        } else if (avg > hi) {
            ty = g.T + 8;
            tagText = QStringLiteral("▲") + tagText;
        } else {
            ty = g.B - 8;
            tagText = QStringLiteral("▼") + tagText;
        }
        g.Box(QRect(g.R + 1, ty - 8, g.ClientR - 1 - (g.R + 1), 16), KHold);
        g.Text(g.R + 4, ty - 7, tagText, Qt::white, true);
        const QString info = QStringLiteral("평단 %1 · %2주 · %3%")
                                 .arg(Price(avg), QLocale(QLocale::English).toString(m.AvgQty()), Pct(chg));
        const int iy = std::min(std::max(ty, std::max(g.T + 18, belowInfo + 9)), g.B - 18);
        const int ix = g.L + 4;
        painter.setPen(QPen(KHold, 1));
        painter.setBrush(Qt::white);
        painter.drawRect(QRect(ix, iy - 9, g.TextW(info, true) + 10, 18));
        painter.setBrush(Qt::NoBrush);
        g.Text(ix + 5, iy - 8, info, chg > 0 ? KUp : chg < 0 ? KDown : KHold, true);
    }
    // 16. Legend.
    {
        int x = strip.LegendX;
        for (int k = 0; k < strip.MAs; ++k)
            x += g.Text(x, 3, QString::number(TChartModel::MAPeriods[k]), KMA[k]) + 8;
        if (strip.Vwap)
            g.Text(x + 4, 3, QStringLiteral("VWAP"), KVwap, true);
    }
    // 17. Geometry was handed to the model above.
    // 18. Drawings.
    const QVector<TDrawObj> draws = m.GetDraws();
    if (!draws.isEmpty() || !m.Tool().isNull()) {
        painter.save();
        painter.setClipRect(QRect(g.L, g.T, g.R - g.L, g.B - g.T + 1));
        auto xOf = [&](const QString& d) { return g.X(m.BarIndexAt(d)); };
        for (int k = 0; k < draws.size(); ++k) {
            const TDrawObj& d = draws[k];
            const bool sel = k == m.Sel();
            const QColor c = sel ? KHold : KDraw;
            painter.setPen(QPen(c, S(sel ? 3 : 2)));
            painter.setBrush(Qt::NoBrush);
            const QChar kind = d.K;
            auto priceText = [&](int y) {
                const QString s = Price(d.P1);
                const QFontMetrics fm(g.Bold);
                g.Text(g.R - fm.horizontalAdvance(s) - 4, y - fm.height() - 1, s, c, true);
                painter.setPen(QPen(c, S(sel ? 3 : 2)));
            };
            if (kind == 'X') {
                const int y = g.Y(d.P1), x = xOf(d.D1);
                painter.drawLine(g.L, y, g.R, y);
                painter.drawLine(x, g.T, x, g.B);
                priceText(y);
            } else if (kind == 'H') {
                const int y = g.Y(d.P1);
                painter.drawLine(g.L, y, g.R, y);
                priceText(y);
            } else if (kind == 'V') {
                const int x = xOf(d.D1);
                painter.drawLine(x, g.T, x, g.B);
            } else if (kind == 'L') {
                painter.drawLine(xOf(d.D1), g.Y(d.P1), xOf(d.D2), g.Y(d.P2));
            } else if (kind == 'C') {
                painter.drawEllipse(QRect(QPoint(xOf(d.D1), g.Y(d.P1)), QPoint(xOf(d.D2), g.Y(d.P2))).normalized());
            }
        }
        const QChar tool = m.Tool();
        if (m.Pend() && FIn && (tool == 'L' || tool == 'C')) {
            painter.setPen(QPen(KDraw, 1, Qt::DashLine));
            const QPoint a(xOf(m.PendD()), g.Y(m.PendP()));
            if (tool == 'L')
                painter.drawLine(a, QPoint(FMX, FMY));
            else
                painter.drawEllipse(QRect(a, QPoint(FMX, FMY)).normalized());
        }
        painter.restore();
    }
    // 19. Day mark.
    if (!minute && !m.DayMark().isEmpty()) {
        for (int i = g.I0; i <= g.I1; ++i) {
            if (Day(bars[i].D) != m.DayMark())
                continue;
            const int x = g.X(i);
            const int yh = g.Y(bars[i].H) - 14, yl = g.Y(bars[i].L) + 14;
            if (yh > g.T + 40)
                g.Line(x, g.T + 40, x, yh, KDayMark, S(2));
            const int vTop = maxV > 0 && bars[i].V > 0
                                 ? g.VolB - int(std::lround(double(bars[i].V) / maxV * (volH - 2))) - 10
                                 : g.VolB;
            if (vTop > yl)
                g.Line(x, yl, x, vTop, KDayMark, S(2));
            markBox(i, MmDd(bars[i].D), g.T + 18, th + 4, KDayMark);
            break;
        }
    }
    // 20. Hover.
    int info = g.I1;
    if (FIn && FMX >= g.L && FMX < g.R) {
        const int hb = std::clamp(g.I1 - (g.R - FMX) / std::max(bw, 1), g.I0, g.I1);
        info = hb;
        if (minute && Day(bars[hb].D) != m.HoverDay()) {
            m.SetHoverDay(Day(bars[hb].D));
            if (m.OnHoverDay)
                m.OnHoverDay(m.HoverDay());
        }
        const int x = g.X(hb);
        g.Line(x, g.T, x, g.VolB, KInk);
        const QString ds = minute ? MmDd(bars[hb].D) + ' ' + HhMm(bars[hb].D)
                                  : bars[hb].D.mid(2, 2) + '/' + MmDd(bars[hb].D);
        const int w = g.TextW(ds, true) + 10;
        const int left = std::max(g.L, std::min(x - w / 2, g.R - w));
        g.Box(QRect(left, g.PlotB + 1, w, th + 4), KInk);
        g.Text(left + 5, g.PlotB + 3, ds, Qt::white, true);
        if (FMY >= g.T && FMY < g.B) {
            g.Line(g.L, FMY, g.R, FMY, KInk);
            const double p = hi - double(FMY - g.T) / (g.B - g.T) * (hi - lo);
            priceTag(FMY, p, prevColour(p));
        }
    }
    // 21. Information line: whole parts only, inside the price pane and left
    // of any control reaching into its row.
    {
        const TBar& b = bars[info];
        // A day chart holding only today's bar compares it with the previous
        // close, as the quote does; otherwise the first bar with its open.
        const double base = info > 0 ? bars[info - 1].C : (!minute && n == 1 && prev > 0) ? prev : b.O;
        const double chg = base > 0 ? (b.C / base - 1) * 100 : 0;
        const int x0 = g.L + 2;
        const int y = g.T + 2;
        const int right = std::min(g.R - 4, ChildrenLeft(y, y + th) - 6);
        struct TPart {
            QString S;
            QColor C;
            bool Bold = false;
            bool On = false;
            int Adv = 0, Ink = 0;  // advance with the trailing gap, width without it
        };
        // date, 시, 고, 저, 종, 량 and, on the minute chart, VWAP.
        QVector<TPart> parts = {
            {(minute ? MmDd(b.D) + ' ' + HhMm(b.D) : b.D.left(4) + '/' + MmDd(b.D)) + "  ", KLabel},
            {QStringLiteral("시 ") + Price(b.O) + "  ", KInk},
            {QStringLiteral("고 ") + Price(b.H) + "  ", KUp},
            {QStringLiteral("저 ") + Price(b.L) + "  ", KDown},
            {QStringLiteral("종 ") + Price(b.C) + " (" + Pct(chg) + "%)  ",
             chg > 0 ? KUp : chg < 0 ? KDown : KInk, true},
            {QStringLiteral("량 ") + QLocale(QLocale::English).toString(b.V) + "  ", KVolText},
        };
        if (vwapOk && m.Vwap()[info] > 0)
            parts.append({QStringLiteral("VWAP ") + Price(m.Vwap()[info]), KVwap, true});
        auto measure = [&](TPart& pt) {
            pt.Adv = g.TextW(pt.S, pt.Bold);
            pt.Ink = g.TextW(pt.S.trimmed(), pt.Bold);
        };
        for (TPart& pt : parts)
            measure(pt);
        auto fits = [&] {
            int x = x0, end = x0;
            for (const TPart& pt : parts) {
                if (pt.On) {
                    end = x + pt.Ink;
                    x += pt.Adv;
                }
            }
            return end <= right;
        };
        // Most important first; a part that does not fit beside those before
        // it is left out. A minute bar's open is about the close before it,
        // so there it goes early; the date goes first of all (the hover box
        // on the time axis shows it), shortened before it goes.
        static constexpr std::array<int, 7> KMinuteRank = {4, 2, 3, 6, 5, 1, 0};  // 종 고 저 VWAP 량 시 date
        static constexpr std::array<int, 7> KDayRank = {4, 2, 3, 1, 5, 6, 0};     // 종 고 저 시 량 date
        for (const int i : minute ? KMinuteRank : KDayRank) {
            if (i >= parts.size())
                continue;
            parts[i].On = true;
            if (fits())
                continue;
            if (i == 0) {
                parts[0].S = (minute ? HhMm(b.D) : b.D.mid(2, 2) + '/' + MmDd(b.D)) + "  ";
                measure(parts[0]);
                if (fits())
                    continue;
            }
            parts[i].On = false;
        }
        int x = x0;
        for (const TPart& pt : parts)
            if (pt.On)
                x += g.Text(x, y, pt.S, pt.C, pt.Bold);
    }
}

// --- mouse and keys -----------------------------------------------------------

int TCandleChart::BarAtX(int x) const
{
    const int right = FPane.x() + FPane.width();
    const int i = FI1 - (right - x) / std::max(FModel.BarW(), 1);
    return std::clamp(i, 0, std::max(FModel.Count() - 1, 0));
}

int TCandleChart::ChildrenLeft(int top, int bottom) const
{
    int left = std::numeric_limits<int>::max();
    for (QObject* o : children()) {
        const auto* w = qobject_cast<const QWidget*>(o);
        if (!w || w->isWindow() || !w->isVisibleTo(this))
            continue;
        const QRect r = w->geometry();
        if (!r.isEmpty() && r.top() < bottom && r.bottom() >= top)
            left = std::min(left, r.left());
    }
    return left;
}

double TCandleChart::PriceAtY(int y) const
{
    return FHi - double(y - FPane.y()) / std::max(FPane.height(), 1) * (FHi - FLo);
}

int TCandleChart::HitDraw(const QPoint& pt) const
{
    const TChartModel& m = FModel;
    if (!m.GeoOK() || m.Count() == 0)
        return -1;
    if (pt.x() < FPane.x() || pt.x() >= FPane.x() + FPane.width() || pt.y() < FPane.y()
        || pt.y() >= FPane.y() + FPane.height())
        return -1;
    const QVector<TDrawObj> draws = m.GetDraws();
    const double x = pt.x(), y = pt.y();
    for (int k = draws.size() - 1; k >= 0; --k) {
        const TDrawObj& d = draws[k];
        const double x1 = m.BarX(m.BarIndexAt(d.D1)), y1 = m.PriceY(d.P1);
        bool hit = false;
        if (d.K == 'X')
            hit = std::abs(y - y1) <= 5 || std::abs(x - x1) <= 5;
        else if (d.K == 'H')
            hit = std::abs(y - y1) <= 5;
        else if (d.K == 'V')
            hit = std::abs(x - x1) <= 5;
        else if (d.K == 'L' || d.K == 'C') {
            const double x2 = m.BarX(m.BarIndexAt(d.D2)), y2 = m.PriceY(d.P2);
            if (d.K == 'L') {
                const double dx = x2 - x1, dy = y2 - y1;
                const double len2 = dx * dx + dy * dy;
                double t = len2 > 0 ? ((x - x1) * dx + (y - y1) * dy) / len2 : 0;
                t = std::clamp(t, 0.0, 1.0);
                hit = std::hypot(x - (x1 + t * dx), y - (y1 + t * dy)) <= 5;
            } else {
                const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
                const double a = std::max(std::abs(x2 - x1) / 2, 1.0);
                const double b = std::max(std::abs(y2 - y1) / 2, 1.0);
                const double r = std::hypot((x - cx) / a, (y - cy) / b);
                hit = std::min(a, b) * std::abs(r - 1) <= 5;
            }
        }
        if (hit)
            return k;
    }
    return -1;
}

void TCandleChart::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    const QPoint pt = e->position().toPoint();
    TChartModel& m = FModel;
    const QChar tool = m.Tool();
    if (!tool.isNull()) {
        if (e->button() == Qt::RightButton) {
            SetTool(QChar());
            return;
        }
        if (e->button() != Qt::LeftButton || !m.GeoOK() || m.Count() == 0 || !FPane.contains(pt))
            return;
        const QString d = m.Bars()[BarAtX(pt.x())].D;
        const double p = PriceAtY(pt.y());
        if (tool == 'X' || tool == 'H' || tool == 'V') {
            TDrawObj o;
            o.K = tool;
            if (tool != 'V')
                o.P1 = p;
            if (tool != 'H')
                o.D1 = d;
            m.AddDraw(o);
        } else if (tool == 'L' || tool == 'C') {
            if (!m.Pend()) {
                m.SetPend(d, p);
                update();
            } else {
                TDrawObj o{tool, m.PendD(), d, m.PendP(), p};
                m.AddDraw(o);
            }
        }
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    const int hit = HitDraw(pt);
    if (hit >= 0) {
        m.SetSel(hit);
        m.SetMoving(true);
        FMoveX = pt.x();
        FMoveY = pt.y();
        FMoveOrig = m.GetDraws()[hit];
        update();
        return;
    }
    if (m.Sel() >= 0) {
        m.SetSel(-1);
        update();
    }
    FDrag = true;
    FDragX = pt.x();
    FDragOff = m.Offset();
    FClickOk = true;
    FClickX = pt.x();
    FClickY = pt.y();
}

void TCandleChart::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pt = e->position().toPoint();
    FMX = pt.x();
    FMY = pt.y();
    FIn = true;
    TChartModel& m = FModel;
    const int bw = std::max(m.BarW(), 1);
    if (m.Moving() && m.Sel() >= 0) {
        const int shift = (pt.x() - FMoveX) / bw;
        const double dp = FPane.height() > 0
                              ? double(FMoveY - pt.y()) / FPane.height() * (FHi - FLo)
                              : 0;
        TDrawObj d = FMoveOrig;
        const bool two = d.K == 'L' || d.K == 'C';
        if (d.K != 'V') {
            d.P1 += dp;
            if (two)
                d.P2 += dp;
        }
        if (d.K != 'H') {
            d.D1 = m.ShiftKey(d.D1, shift);
            if (two)
                d.D2 = m.ShiftKey(d.D2, shift);
        }
        m.ReplaceDraw(m.Sel(), d);
    } else if (m.Tool().isNull() && !FDrag) {
        if (HitDraw(pt) >= 0)
            setCursor(Qt::SizeAllCursor);
        else
            unsetCursor();
    } else if (FDrag) {
        m.SetOffset((pt.x() - FDragX) / bw + FDragOff);
        m.ClampOffset();
    }
    update();
}

void TCandleChart::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint pt = e->position().toPoint();
    TChartModel& m = FModel;
    FDrag = false;
    if (FClickOk && e->button() == Qt::LeftButton && std::abs(pt.x() - FClickX) <= 3
        && std::abs(pt.y() - FClickY) <= 3 && m.OnBarClick && m.GeoOK() && m.Count() > 0
        && FPane.contains(pt))
        m.OnBarClick(m.Bars()[BarAtX(pt.x())].D);
    FClickOk = false;
    if (m.Moving()) {
        m.SetMoving(false);
        if (pt.x() != FMoveX || pt.y() != FMoveY)
            m.DrawsChanged();
    }
}

void TCandleChart::mouseDoubleClickEvent(QMouseEvent* e)
{
    // The second press of a double click is still a press: it places an
    // anchor, selects a drawing and takes the focus like any other.
    mousePressEvent(e);
    FDrag = false;
    FClickOk = false;
    FModel.SetBarW(7);
    FModel.SetOffset(0);
    FModel.SetUserBarW(0);
    FModel.SetFitPending(FModel.IsMinute());
    update();
}

void TCandleChart::wheelEvent(QWheelEvent* e)
{
    const int dy = e->angleDelta().y();
    if (dy == 0)
        return;
    const int w = dy > 0 ? std::min(FModel.BarW() + 1, 40) : std::max(FModel.BarW() - 1, 1);
    FModel.SetBarW(w);
    FModel.SetUserBarW(w);
    e->accept();
    update();
}

void TCandleChart::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        SetTool(QChar());
        FModel.SetSel(-1);
        update();
    } else if (e->key() == Qt::Key_Z && (e->modifiers() & Qt::ControlModifier)) {
        FModel.UndoDraw();
    } else if (e->key() == Qt::Key_Delete) {
        FModel.DeleteSel();
    } else {
        QWidget::keyPressEvent(e);
    }
}

void TCandleChart::leaveEvent(QEvent*)
{
    FIn = false;
    FDrag = false;
    if (FModel.IsMinute() && !FModel.HoverDay().isEmpty()) {
        FModel.SetHoverDay(QString());
        if (FModel.OnHoverDay)
            FModel.OnHoverDay(QString());
    }
    update();
}

// --- drawing menu -----------------------------------------------------------

namespace {
QPointer<TCandleChart> GDrawTarget;
}

QMenu* TCandleChart::DrawMenu()
{
    static QMenu* menu = nullptr;
    if (menu)
        return menu;
    menu = new QMenu;
    auto tool = [](QChar k) {
        return [k] {
            if (GDrawTarget) {
                GDrawTarget->SetTool(k);
                GDrawTarget->setFocus();
            }
        };
    };
    QObject::connect(menu->addAction(QStringLiteral("십자선")), &QAction::triggered, menu, tool('X'));
    QObject::connect(menu->addAction(QStringLiteral("가로선")), &QAction::triggered, menu, tool('H'));
    QObject::connect(menu->addAction(QStringLiteral("세로선")), &QAction::triggered, menu, tool('V'));
    QObject::connect(menu->addAction(QStringLiteral("추세선 (두 점)")), &QAction::triggered, menu, tool('L'));
    QObject::connect(menu->addAction(QStringLiteral("동그라미 (두 점)")), &QAction::triggered, menu, tool('C'));
    menu->addSeparator();
    QObject::connect(menu->addAction(QStringLiteral("마지막 것 지우기   (Ctrl+Z)")), &QAction::triggered, menu, [] {
        if (GDrawTarget) {
            GDrawTarget->Model().UndoDraw();
            GDrawTarget->setFocus();
        }
    });
    QObject::connect(menu->addAction(QStringLiteral("전체 지우기")), &QAction::triggered, menu, [] {
        if (GDrawTarget) {
            GDrawTarget->Model().ClearDraws();
            GDrawTarget->setFocus();
        }
    });
    menu->addSeparator();
    QObject::connect(menu->addAction(QStringLiteral("그리기 그만   (오른쪽 클릭 · Esc)")), &QAction::triggered,
                     menu, tool(QChar()));
    return menu;
}

void TCandleChart::PopDrawMenu(TCandleChart* target, QWidget* button)
{
    GDrawTarget = target;
    if (!button)
        return;
    DrawMenu()->popup(button->mapToGlobal(QPoint(0, button->height())));
}
