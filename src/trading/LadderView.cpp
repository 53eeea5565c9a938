#include "trading/LadderView.h"

#include "core/NumFmt.h"
#include "trading/MyOrdBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPaintEngine>
#include <QVarLengthArray>
#include <QWheelEvent>
#include <cmath>

namespace {
const QColor kLine{224, 224, 224};
const QColor kHeadFg{80, 80, 80};

QString Side(int col) { return col == kColMySell ? QStringLiteral("1") : QStringLiteral("2"); }
}

TLadderView::TLadderView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAutoFillBackground(false);
    UpdateMetrics();
}

void TLadderView::SetSumBar(TMyOrdBar* bar) { FSumBar = bar; }

void TLadderView::SetScale(std::function<int(int)> scale)
{
    FScale = std::move(scale);
    DropCaches();
    update();
}

void TLadderView::UpdateMetrics()
{
    FFont = font();
    FFont.setBold(false);
    FBold = FFont;
    FBold.setBold(true);
    FFm = QFontMetrics(FFont);
    FFmBold = QFontMetrics(FBold);
    FAscentF[0] = QFontMetricsF(FFont).ascent();
    FAscentF[1] = QFontMetricsF(FBold).ascent();
    DropCaches();
    const int h = std::max(FFm.boundingRect(QStringLiteral("가")).height(), FFm.height());
    FR = TLadderGeom::RowHeight(h);
}

void TLadderView::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange) {
        UpdateMetrics();
        update();
    }
    QWidget::changeEvent(e);
}

// ---- data ----

void TLadderView::SetData(const THogaData& d)
{
    FM.SetData(d);
    Invalidate();
}

void TLadderView::Recenter()
{
    FM.Recenter();
    Invalidate();
}

void TLadderView::CenterOn(int price)
{
    FM.CenterOn(price);
    Invalidate();
}

void TLadderView::ClearMy()
{
    FM.ClearMy();
    Invalidate();
}

void TLadderView::AddMy(const QString& side, int price, qint64 qty)
{
    FM.AddMy(side, price, qty);
    Invalidate();
}

int TLadderView::MyCount(const QString& side) const { return FM.MyCount(side); }

void TLadderView::ClearTk()
{
    FM.ClearTk();
    Invalidate();
}

void TLadderView::AddTk(int sd, int price, qint64 qty) { FM.AddTk(sd, price, qty); }

void TLadderView::SetHold(qint64 qty, double avg, double feePct)
{
    FM.SetHold(qty, avg, feePct);
    Invalidate();
}

void TLadderView::SetDayMarks(int o, int h, int l, double vwap)
{
    if (FM.SetDayMarks(o, h, l, vwap))
        Invalidate();
}

// ---- geometry ----

TLadderGeom TLadderView::Geom() const
{
    TLadderGeom g;
    g.W = width();
    g.H = height();
    g.R = FR;
    return g;
}

QVector<int> TLadderView::VisiblePrices() const { return FM.VisiblePrices(Geom().Rows()); }

QRect TLadderView::RowRect(int price) const
{
    if (price <= 0)
        return {};
    const TLadderGeom g = Geom();
    const int row = VisiblePrices().indexOf(price);
    if (row < 0)
        return {};
    return QRect(0, g.RowTop(row), g.W, g.R);
}

QRect TLadderView::CellRect(int price, int col) const
{
    const QRect r = RowRect(price);
    if (r.isEmpty())
        return {};
    const TLadderGeom g = Geom();
    return QRect(g.ColLeft(col), r.top(), g.ColRight(col) - g.ColLeft(col), r.height());
}

int TLadderView::PriceAt(int y) const
{
    const int row = Geom().RowAt(y);
    if (row < 0)
        return 0;
    return VisiblePrices().value(row, 0);
}

bool TLadderView::HitTest(const QPoint& pt, int* col, int* price) const
{
    const TLadderGeom g = Geom();
    if (pt.x() < 0 || pt.x() >= g.W || pt.y() < g.R || pt.y() >= g.H)
        return false;
    const int row = g.RowAt(pt.y());
    if (row < 0)
        return false;
    const int p = VisiblePrices().value(row, 0);
    if (!FM.IsValid(p))
        return false;
    if (col)
        *col = g.ColumnAt(pt.x());
    if (price)
        *price = p;
    return true;
}

bool TLadderView::CanDrop(int fromCol, int toCol)
{
    if (fromCol == kColMySell)
        return toCol == kColMySell || toCol == kColAsk;
    if (fromCol == kColMyBuy)
        return toCol == kColBid || toCol == kColMyBuy;
    return false;
}

QString TLadderView::HeaderText() const
{
    if (!FDragMy)
        return FM.FHoldQty > 0 ? QStringLiteral("손익 (%1주·수수료 %2%)")
                                     .arg(FmtNum(FM.FHoldQty), FormatFloat(QStringLiteral("0.##"), FM.FFee))
                               : QStringLiteral("손익");
    if (FDragOut)
        return QStringLiteral("놓으면 ") + FmtNum(FDownPrice) + QStringLiteral(" 미체결 취소");
    if (FDropPrice <= 0)
        return QStringLiteral("다른 가격에 놓으면 정정 · 밖에 놓으면 취소");
    return FmtNum(FDownPrice) + QStringLiteral(" → ") + FmtNum(FDropPrice) + QStringLiteral("  놓으면 정정");
}

// ---- painting ----
//
// What a paint costs is mostly text: shaping it (measuring and laying out)
// and blending its glyphs. Each text is shaped once and kept (TShaped); the
// header and each price row are kept as pictures (TStrip), drawn the same way
// on a white ground with their piece of the column lines on top, and copied
// onto the widget while what they show is unchanged. The day marks, hover
// frame and drag arrow are drawn over them on every paint, as they always were.

void TLadderView::SetPaintCache(bool on)
{
    // What is cached stays: every entry is keyed by all it shows.
    FCacheOn = on;
    update();
}

void TLadderView::DropCaches()
{
    FShaped[0].clear();
    FShaped[1].clear();
    FNums.clear();
    FRows.clear();
    FHead = TStrip();
    FStripBase = TStripBase();
}

TLadderView::TShaped* TLadderView::Shaped(const QString& s, bool bold)
{
    auto& cache = FShaped[bold];
    auto it = cache.find(s);
    if (it == cache.end()) {
        TShaped t;
        t.St.setTextFormat(Qt::PlainText);
        t.St.setText(s);
        t.W = (bold ? FFmBold : FFm).horizontalAdvance(s);
        it = cache.insert(s, std::move(t));
    }
    it->Used = FPaintNo;
    return &*it;
}

QString TLadderView::Num(qint64 v)
{
    if (!FCacheOn)
        return FmtNum(v);
    auto it = FNums.constFind(v);
    if (it != FNums.cend())
        return *it;
    if (FNums.size() >= 4096)
        FNums.clear();
    return *FNums.insert(v, FmtNum(v));
}

// Whatever the last paint drew stays. Beyond a few frames' worth the rest
// goes: quantities and tick sums keep taking new values, scrolling brings
// new prices.
void TLadderView::TrimCaches(int rows)
{
    for (auto& cache : FShaped) {
        if (cache.size() < 2048)
            continue;
        for (auto it = cache.begin(); it != cache.end();)
            it = it->Used == FPaintNo ? std::next(it) : cache.erase(it);
    }
    if (FRows.size() > 2 * rows + 16)
        for (auto it = FRows.begin(); it != FRows.end();)
            it = it->Used == FPaintNo ? std::next(it) : FRows.erase(it);
}

void TLadderView::Text(QPainter& g, const QRect& cell, const QString& s, TAlign a, const QColor& c, bool bold)
{
    if (s.isEmpty())
        return;
    // Placed by hand from the font metrics: left = cell left + 4, right = cell
    // right - width - 4, vertically centred. Much cheaper than the rectangle
    // form of drawText, which lays the text out for every call.
    const QFontMetrics& fm = bold ? FFmBold : FFm;
    const int pad = S(4);
    TShaped* sh = FCacheOn ? Shaped(s, bold) : nullptr;
    // A centred text wider than its cell is cut at its end with "…"
    // rather than losing its start beyond the cell's left edge.
    QString t = s;
    int w = sh ? sh->W : fm.horizontalAdvance(t);
    if (a == TAlign::Center && w > cell.width() - 2 * pad) {
        const int room = cell.width() - 2 * pad;
        if (!sh) {
            t = fm.elidedText(s, Qt::ElideRight, room);
            w = fm.horizontalAdvance(t);
        } else {
            if (sh->ElideW != room) {
                sh->ElideW = room;
                sh->Elided = fm.elidedText(s, Qt::ElideRight, room);
            }
            const QString elided = sh->Elided;  // the lookup below may move sh
            if (elided.isEmpty())
                return;
            sh = Shaped(elided, bold);
            w = sh->W;
        }
    }
    int x = cell.left() + (cell.width() - w) / 2;
    if (a == TAlign::Left)
        x = cell.left() + pad;
    else if (a == TAlign::Right)
        x = cell.left() + cell.width() - w - pad;
    const int y = cell.top() + (cell.height() - fm.height()) / 2 + fm.ascent();
    if (FSpillLimit >= 0 && sh) {
        // Drawn into a strip: glyphs above or below it would be lost there
        // but not on the widget (one pixel of slack for the metrics).
        if (sh->Ink.isNull())
            sh->Ink = fm.boundingRect(sh->St.text());
        if (y + sh->Ink.top() - 1 < 0 || y + sh->Ink.bottom() + 1 >= FSpillLimit)
            FSpilled = true;
    }
    if (FPainterBold != int(bold)) {
        g.setFont(bold ? FBold : FFont);
        FPainterBold = bold;
    }
    g.setPen(c);
    if (sh)
        g.drawStaticText(QPointF(x, y - FAscentF[bold]), sh->St);
    else
        g.drawText(x, y, t);
}

QColor TLadderView::HeaderBg() const
{
    if (!FDragMy)
        return QColor(240, 240, 240);
    return FDragOut ? QColor(208, 32, 32) : FDropPrice <= 0 ? QColor(240, 128, 64) : QColor(32, 128, 32);
}

void TLadderView::PaintHeader(QPainter& g, const TLadderGeom& geo)
{
    const QRect head(0, 0, geo.W, geo.R);
    g.fillRect(head, HeaderBg());
    if (FDragMy) {
        Text(g, head, HeaderText(), TAlign::Center, Qt::white, true);
        return;
    }
    struct TTitle {
        int Col;
        const char* Text;
        QColor Color;
    };
    static const TTitle titles[] = {
        {kColMySell, "매도", QColor(30, 136, 229)}, {kColAsk, "잔량", kHeadFg},   {kColPrice, "가격", kHeadFg},
        {kColPct, "%", kHeadFg},                    {kColBid, "잔량", kHeadFg},   {kColMyBuy, "매수", QColor(229, 57, 53)},
    };
    auto cell = [&](int col) { return QRect(geo.ColLeft(col), 0, geo.ColRight(col) - geo.ColLeft(col), geo.R); };
    Text(g, cell(kColPnl), HeaderText(), TAlign::Center, kHeadFg, false);
    for (const TTitle& t : titles)
        Text(g, cell(t.Col), QString::fromUtf8(t.Text), TAlign::Center, t.Color, false);
}

TLadderView::TRowLook TLadderView::Look(int p, qint64 maxTk, const TLadderGeom& geo) const
{
    TRowLook k;
    k.Row = FM.Row(p);
    const TLadderRow& row = k.Row;
    if (!row.Valid)
        k.Mid = QColor(247, 247, 247);
    else if (row.Current)
        k.Mid = QColor(255, 245, 204);
    else if (p > FM.FD.Price)
        k.Mid = QColor(232, 243, 255);
    else
        k.Mid = QColor(255, 235, 238);
    // Tick sums: bars relative to the one maximum of both sides.
    k.ShowTk = maxTk > 0;
    if (row.Valid && k.ShowTk) {
        const int c0 = geo.ColLeft(kColMySell), c1 = geo.ColLeft(kColAsk), c5 = geo.ColLeft(kColMyBuy);
        if (row.TkSell > 0)
            k.BarSell = std::max(1, int(std::lround(double(c1 - c0 - 2) * row.TkSell / maxTk)));
        if (row.TkBuy > 0)
            k.BarBuy = std::max(1, int(std::lround(double(geo.W - c5 - 2) * row.TkBuy / maxTk)));
    }
    return k;
}

void TLadderView::PaintRow(QPainter& g, const TLadderGeom& geo, int top, const TRowLook& look)
{
    const TLadderRow& row = look.Row;
    const int R = geo.R;
    auto cell = [&](int col) { return QRect(geo.ColLeft(col), top, geo.ColRight(col) - geo.ColLeft(col), R); };
    const int c1 = geo.ColLeft(kColAsk), c5 = geo.ColLeft(kColMyBuy);

    // Backgrounds.
    g.fillRect(QRect(c1, top, c5 - c1, R), look.Mid);
    g.fillRect(cell(kColMySell), row.MySell > 0 ? QColor(144, 200, 240) : QColor(240, 248, 255));
    g.fillRect(QRect(c5, top, geo.W - c5, R), row.MyBuy > 0 ? QColor(245, 168, 156) : QColor(255, 240, 243));

    // Tick sums.
    if (look.BarSell > 0) {
        g.fillRect(QRect(c1 - 1 - look.BarSell, top + 3, look.BarSell, R - 6), QColor(194, 220, 245));
        Text(g, cell(kColMySell), Num(row.TkSell), TAlign::Right, QColor(64, 120, 184), false);
    }
    if (look.BarBuy > 0) {
        g.fillRect(QRect(c5 + 1, top + 3, look.BarBuy, R - 6), QColor(250, 212, 212));
        Text(g, cell(kColMyBuy), Num(row.TkBuy), TAlign::Left, QColor(200, 96, 80), false);
    }

    // Own orders (drawn on invalid rows as well).
    if (row.MySell > 0)
        Text(g, cell(kColMySell), Num(row.MySell), look.ShowTk ? TAlign::Left : TAlign::Center,
             QColor(0, 48, 128), true);
    if (row.MyBuy > 0)
        Text(g, QRect(c5, top, geo.W - c5, R), Num(row.MyBuy), look.ShowTk ? TAlign::Right : TAlign::Center,
             QColor(144, 16, 16), true);

    if (!row.Valid) {
        g.fillRect(QRect(0, top + R - 1, geo.W, 1), kLine);
        return;
    }

    // Profit of the holding if sold at this price.
    if (row.HasPnl) {
        if (row.AvgRow)
            g.fillRect(cell(kColPnl), QColor(255, 240, 176));
        Text(g, cell(kColPnl), row.PnlText, TAlign::Right, row.PnlColor, row.AvgRow);
    }

    // Remaining quantities.
    if (row.AskQ > 0)
        Text(g, cell(kColAsk), Num(row.AskQ), TAlign::Right, QColor(16, 16, 16), true);
    if (row.BidQ > 0)
        Text(g, cell(kColBid), Num(row.BidQ), TAlign::Left, QColor(16, 16, 16), true);

    // Price cell with its day mark, percent.
    const QRect pc = cell(kColPrice);
    if (row.Mark != TLadderMark::None) {
        const QColor fill = row.Mark == TLadderMark::High  ? QColor(255, 180, 180)
                            : row.Mark == TLadderMark::Low ? QColor(168, 210, 255)
                                                           : QColor(216, 216, 216);
        g.fillRect(QRect(pc.left() + 1, top + 1, pc.width() - 1, R - 2), fill);
    }
    Text(g, pc.adjusted(0, 0, -S(8), 0), row.PriceText, TAlign::Right, row.PriceColor,
         row.Current || row.Mark != TLadderMark::None);
    Text(g, cell(kColPct), row.PctText, TAlign::Right, row.PriceColor, false);
    if (row.Current) {
        g.setPen(QPen(QColor(255, 192, 0), 2));
        g.setBrush(Qt::NoBrush);
        g.drawRect(pc.adjusted(1, 1, -1, -1));
    }
    g.fillRect(QRect(0, top + R - 1, geo.W, 1), kLine);
}

// The column lines, over everything of the rows, from y = top down h pixels.
void TLadderView::PaintGrid(QPainter& g, const TLadderGeom& geo, int top, int h)
{
    for (double f : {0.16, 0.30, 0.45, 0.62, 0.71, 0.86})
        g.fillRect(QRect(geo.Edge(f), top, 1, h), kLine);
}

// Strips can stand in for direct drawing when the painter writes 1:1 into a
// raster image (the backing store, render(), grab()): a strip of that image's
// format, drawn with the same hints and font resolution, holds the very
// pixels direct drawing would leave. Anything else is painted directly.
bool TLadderView::StripsUsable(QPainter& g, const TLadderGeom& geo)
{
    if (!FCacheOn || !g.paintEngine() || g.paintEngine()->type() != QPaintEngine::Raster)
        return false;
    const QPaintDevice* dev = g.paintEngine()->paintDevice();
    if (!dev || dev->devType() != QInternal::Image)
        return false;
    const QTransform& t = g.deviceTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::trunc(t.dx()) || t.dy() != std::trunc(t.dy()))
        return false;
    TStripBase b;
    b.W = geo.W;
    b.R = geo.R;
    b.Pad = S(4);
    b.Pad8 = S(8);
    b.Format = static_cast<const QImage*>(dev)->format();
    b.DpiX = logicalDpiX();
    b.DpiY = logicalDpiY();
    b.Hints = g.renderHints();
    b.Dir = g.layoutDirection();
    if (b.W <= 0 || b.R <= 0 || b.Format == QImage::Format_Invalid)
        return false;
    if (!(b == FStripBase)) {
        // Every strip is redrawn; their memory is kept (a resize comes in a
        // run of frames one or two pixels apart).
        for (TStrip& st : FRows)
            st.Stale = true;
        FHead.Stale = true;
        FStripBase = b;
    }
    return true;
}

// Draws a strip: a picture R high, of the widget's format, on white, painted
// as the widget would be (fonts resolve at the widget's resolution); its
// first W columns are what the widget shows. False when a text reaches above
// or below it.
bool TLadderView::Render(TStrip& st, const QPainter& g, const std::function<void(QPainter&)>& paint)
{
    const TStripBase& b = FStripBase;
    if (st.Img.format() != b.Format || st.Img.height() != b.R || st.Img.width() < b.W || st.Img.width() > b.W + 128)
        st.Img = QImage((b.W + 63) / 64 * 64, b.R, b.Format);
    if (st.Img.isNull())
        return false;
    st.Img.setDotsPerMeterX(qRound(b.DpiX / 0.0254));
    st.Img.setDotsPerMeterY(qRound(b.DpiY / 0.0254));
    if (st.Img.logicalDpiX() != b.DpiX || st.Img.logicalDpiY() != b.DpiY)
        return false;
    st.Stale = false;
    const int painterBold = FPainterBold;
    FPainterBold = -1;
    FSpillLimit = b.R;
    FSpilled = false;
    {
        QPainter p(&st.Img);
        p.setRenderHints(g.renderHints());
        p.setLayoutDirection(g.layoutDirection());
        p.fillRect(st.Img.rect(), Qt::white);
        paint(p);
    }
    FSpillLimit = -1;
    FPainterBold = painterBold;
    st.Spills = FSpilled;
    return !st.Spills;
}

void TLadderView::PaintMarks(QPainter& g, const TLadderGeom& geo, const QVector<int>& prices)
{
    struct TMk {
        bool Vwap;
        double V;
        const char* Tag;
        QColor Color;
    };
    const TMk marks[] = {
        {false, double(FM.FMkH), "고", QColor(216, 32, 32)},
        {false, double(FM.FMkO), "시", QColor(112, 112, 112)},
        {false, double(FM.FMkL), "저", QColor(24, 120, 208)},
        {true, FM.FMkVwap, "V", QColor(200, 140, 0)},
    };
    for (const TMk& m : marks) {
        if (m.V <= 0)
            continue;
        for (int i = 0; i < prices.size(); ++i) {
            const int p = prices[i];
            if (!FM.IsValid(p))  // rows beyond the day's limits carry no mark
                continue;
            const bool hit = m.Vwap ? p <= m.V && m.V < TickUp(p) : p == int(m.V);
            if (!hit)
                continue;
            const int top = geo.RowTop(i);
            g.setPen(QPen(m.Color, 2));
            g.drawLine(0, top + 1, geo.W, top + 1);
            g.drawLine(0, top + geo.R - 1, geo.W, top + geo.R - 1);
            const QString tag = QString::fromUtf8(m.Tag);
            const int x = geo.Edge(0.45) + 2;
            const QRect box(x, top + 3, (FCacheOn ? Shaped(tag, true)->W : FFmBold.horizontalAdvance(tag)) + 8,
                            geo.R - 6);
            g.fillRect(box, m.Color);
            Text(g, box, tag, TAlign::Center, Qt::white, true);  // box = text + 4 px each side
            break;
        }
    }
}

void TLadderView::PaintDrag(QPainter& g, const TLadderGeom& geo)
{
    const QRect src = CellRect(FDownPrice, FDownCol);
    if (src.isEmpty())
        return;
    const QPointF s = QRectF(src).center();
    QPointF t(FMouseX, FMouseY);
    QColor c(144, 144, 144);
    if (FDropPrice > 0) {
        const QRect dst = CellRect(FDropPrice, FDownCol);
        if (dst.isEmpty())
            return;
        t = QRectF(dst).center();
        c = QColor(32, 128, 32);
        g.setPen(QPen(c, 3));
        g.setBrush(Qt::NoBrush);
        g.drawRect(QRectF(dst).adjusted(2.5, 2.5, -2.5, -2.5));
    }
    g.setRenderHint(QPainter::Antialiasing, true);
    g.setPen(QPen(c, 1, Qt::DotLine));
    g.setBrush(Qt::NoBrush);
    g.drawRect(QRectF(src).adjusted(0.5, 0.5, -0.5, -0.5));
    g.setPen(Qt::NoPen);
    g.setBrush(c);
    g.drawEllipse(s, 4, 4);
    if (std::abs(t.x() - s.x()) > 2 || std::abs(t.y() - s.y()) > 2) {
        g.setPen(QPen(c, 3));
        g.drawLine(s, t);
        const double th = std::atan2(t.y() - s.y(), t.x() - s.x());
        const QPointF a = t - QPointF(12 * std::cos(th - 0.45), 12 * std::sin(th - 0.45));
        const QPointF b = t - QPointF(12 * std::cos(th + 0.45), 12 * std::sin(th + 0.45));
        g.setPen(Qt::NoPen);
        g.setBrush(c);
        g.drawPolygon(QPolygonF({t, a, b}));
    }
    g.setRenderHint(QPainter::Antialiasing, false);
}

// Data of a busy feed comes many times a frame: the view is painted at most
// once a frame; the changes in between only change the model.
void TLadderView::Invalidate()
{
    FPacer.Ask();
}

void TLadderView::paintEvent(QPaintEvent*)
{
    FPacer.Painted();
    ++FPaintNo;
    FPainterBold = -1;
    FRowsReused = 0;
    QPainter g(this);
    const TLadderGeom geo = Geom();
    const QVector<int> prices = FM.VisiblePrices(geo.Rows());
    const qint64 maxTk = FM.MaxTickSum();
    QVector<TRowLook> looks(prices.size());
    for (int i = 0; i < prices.size(); ++i)
        looks[i] = Look(prices[i], maxTk, geo);

    // The header and the rows from their strips: each one brought up to date
    // first; should any of them not fit its strip, the whole frame is drawn
    // directly, so that the layers keep their order wherever they overlap.
    QVarLengthArray<TStrip*, 64> strips;
    if (StripsUsable(g, geo)) {
        const QString head = HeaderText();
        const QColor headBg = HeaderBg();
        bool ok = true;
        if (FHead.Stale || FHead.Head != head || FHead.HeadBg != headBg) {
            FHead.Head = head;
            FHead.HeadBg = headBg;
            ok = Render(FHead, g, [&](QPainter& p) {
                PaintHeader(p, geo);
                PaintGrid(p, geo, 0, geo.R);
            });
        } else {
            ok = !FHead.Spills;
        }
        for (int p : prices)
            FRows[p];  // every row's entry in place before any is held by address
        for (int i = 0; ok && i < prices.size(); ++i) {
            TStrip& st = *FRows.find(prices[i]);
            st.Used = FPaintNo;
            if (!st.Stale && st.Look == looks[i]) {
                ok = !st.Spills;
                ++FRowsReused;
            } else {
                st.Look = looks[i];
                ok = Render(st, g, [&](QPainter& p) {
                    PaintRow(p, geo, 0, looks[i]);
                    PaintGrid(p, geo, 0, geo.R);
                });
            }
            strips.append(&st);
        }
        if (!ok) {
            strips.clear();
            FRowsReused = 0;
        }
    }
    if (!strips.isEmpty()) {
        const int bottom = geo.RowTop(int(prices.size()));
        if (bottom < geo.H) {
            g.fillRect(QRect(0, bottom, geo.W, geo.H - bottom), Qt::white);
            PaintGrid(g, geo, bottom, geo.H - bottom);
        }
        // Opaque pictures of the device's own format: copied, not blended.
        g.setCompositionMode(QPainter::CompositionMode_Source);
        const QRect used(0, 0, geo.W, geo.R);
        g.drawImage(QPoint(0, 0), FHead.Img, used);
        for (int i = 0; i < strips.size(); ++i)
            g.drawImage(QPoint(0, geo.RowTop(i)), strips[i]->Img, used);
        g.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else {
        g.fillRect(rect(), Qt::white);
        PaintHeader(g, geo);
        for (int i = 0; i < prices.size(); ++i)
            PaintRow(g, geo, geo.RowTop(i), looks[i]);
        PaintGrid(g, geo, 0, geo.H);
    }

    PaintMarks(g, geo, prices);

    if (FHoverP > 0) {
        const int row = prices.indexOf(FHoverP);
        if (row >= 0) {
            g.setPen(QPen(QColor(32, 112, 208), 2));
            g.setBrush(Qt::NoBrush);
            g.drawRect(QRect(2, geo.RowTop(row) + 1, geo.W - 3, geo.R - 2));
        }
    }

    if (FDragMy && !FDragOut)
        PaintDrag(g, geo);
    g.end();
    TrimCaches(int(prices.size()));

    if (FSumBar)
        FSumBar->update();
    if (FM.FCenter != FLastCenter) {
        FLastCenter = FM.FCenter;
        if (FOnScrolled)
            FOnScrolled();
    }
}

// ---- mouse ----

void TLadderView::Press(const QPoint& pt, Qt::MouseButton b)
{
    FDownX = pt.x();
    FDownY = pt.y();
    setFocus(Qt::MouseFocusReason);
    if (b == Qt::LeftButton)
        ResetDrag();  // a press outside the rows starts nothing
    int col = 0, p = 0;
    if (!HitTest(pt, &col, &p) || b == Qt::MiddleButton)
        return;
    if (b == Qt::RightButton) {
        if (col == kColMySell && FM.FMySell.count(p)) {
            if (FOnCancel)
                FOnCancel(QStringLiteral("1"), p);
        } else if (col == kColMyBuy && FM.FMyBuy.count(p)) {
            if (FOnCancel)
                FOnCancel(QStringLiteral("2"), p);
        } else if (col >= kColAsk && col <= kColBid) {
            Recenter();
        }
        return;
    }
    if (b == Qt::LeftButton) {
        FDownCol = col;
        FDownPrice = p;
        FDragMy = (col == kColMySell && FM.FMySell.count(p)) || (col == kColMyBuy && FM.FMyBuy.count(p));
        FDragOut = false;
        FDropPrice = 0;
        FMouseX = pt.x();
        FMouseY = pt.y();
        if (FDragMy) {
            setCursor(Qt::ClosedHandCursor);
            update();
        }
    }
}

void TLadderView::mousePressEvent(QMouseEvent* e)
{
    Press(e->position().toPoint(), e->button());
    e->accept();
}

void TLadderView::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pt = e->position().toPoint();
    int col = 0, p = 0;
    const bool on = HitTest(pt, &col, &p);
    const int hover = on ? p : 0;
    if (hover != FHoverP) {
        FHoverP = hover;
        update();
    }
    if (!FDragMy)
        return;
    FMouseX = pt.x();
    FMouseY = pt.y();
    const bool out = !rect().contains(pt);
    const int drop = !out && on && p != FDownPrice && CanDrop(FDownCol, col) ? p : 0;
    if (out != FDragOut || drop != FDropPrice) {
        FDragOut = out;
        FDropPrice = drop;
        setCursor(out ? Qt::ForbiddenCursor : Qt::ClosedHandCursor);
    }
    update();
}

void TLadderView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint pt = e->position().toPoint();
    const int col = FDownCol, from = FDownPrice;
    const bool dragMy = FDragMy;
    ResetDrag();
    if (from <= 0)
        return;
    const QString side = Side(col);
    if (dragMy && !rect().contains(pt)) {
        if (FOnCancel)
            FOnCancel(side, from);
        return;
    }
    int toCol = 0, to = 0;
    if (dragMy && HitTest(pt, &toCol, &to) && to != from && CanDrop(col, toCol) && FOnMove)
        FOnMove(side, from, to);
}

void TLadderView::ResetDrag()
{
    const bool was = FDragMy || FDownCol >= 0;
    FDownCol = -1;
    FDownPrice = 0;
    FDragMy = false;
    FDragOut = false;
    FDropPrice = 0;
    unsetCursor();
    if (was)
        update();
}

void TLadderView::mouseDoubleClickEvent(QMouseEvent* e)
{
    // The second press of a double-click arrives here in place of a press.
    // A right double-click is one cancel, not two: its second press is dropped.
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint pt = e->position().toPoint();
    Press(pt, e->button());
    int col = 0, p = 0;
    if (!HitTest(QPoint(FDownX, FDownY), &col, &p))
        return;
    // The order below may open a modal confirmation that swallows the
    // release: no drag may outlive it.
    ResetDrag();
    if (col == kColMySell || col == kColMyBuy) {
        if (FOnOrder)
            FOnOrder(Side(col), p);
    } else if (col >= kColAsk && col <= kColBid) {
        if (FOnReload)
            FOnReload();
    }
}

void TLadderView::wheelEvent(QWheelEvent* e)
{
    const int dy = e->angleDelta().y();
    if (FM.Wheel(dy > 0 ? 1 : dy < 0 ? -1 : 0)) {
        update();
        e->accept();
    } else {
        e->ignore();
    }
}

void TLadderView::leaveEvent(QEvent* e)
{
    if (FHoverP != 0) {
        FHoverP = 0;
        update();
    }
    QWidget::leaveEvent(e);
}
