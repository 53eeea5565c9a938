#include "trading/LadderView.h"

#include "core/NumFmt.h"
#include "trading/MyOrdBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
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
    update();
}

void TLadderView::Recenter()
{
    FM.Recenter();
    update();
}

void TLadderView::CenterOn(int price)
{
    FM.CenterOn(price);
    update();
}

void TLadderView::ClearMy()
{
    FM.ClearMy();
    update();
}

void TLadderView::AddMy(const QString& side, int price, qint64 qty)
{
    FM.AddMy(side, price, qty);
    update();
}

int TLadderView::MyCount(const QString& side) const { return FM.MyCount(side); }

void TLadderView::ClearTk()
{
    FM.ClearTk();
    update();
}

void TLadderView::AddTk(int sd, int price, qint64 qty) { FM.AddTk(sd, price, qty); }

void TLadderView::SetHold(qint64 qty, double avg, double feePct)
{
    FM.SetHold(qty, avg, feePct);
    update();
}

void TLadderView::SetDayMarks(int o, int h, int l, double vwap)
{
    if (FM.SetDayMarks(o, h, l, vwap))
        update();
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

void TLadderView::Text(QPainter& g, const QRect& cell, const QString& s, TAlign a, const QColor& c, bool bold)
{
    if (s.isEmpty())
        return;
    // Placed by hand from the font metrics: left = cell left + 4, right = cell
    // right - width - 4, vertically centred. Much cheaper than the rectangle
    // form of drawText, which lays the text out for every call.
    const QFontMetrics& fm = bold ? FFmBold : FFm;
    const int pad = S(4);
    // A centred text wider than its cell is cut at its end with "…"
    // rather than losing its start beyond the cell's left edge.
    QString t = s;
    int w = fm.horizontalAdvance(t);
    if (a == TAlign::Center && w > cell.width() - 2 * pad) {
        t = fm.elidedText(s, Qt::ElideRight, cell.width() - 2 * pad);
        w = fm.horizontalAdvance(t);
    }
    int x = cell.left() + (cell.width() - w) / 2;
    if (a == TAlign::Left)
        x = cell.left() + pad;
    else if (a == TAlign::Right)
        x = cell.left() + cell.width() - w - pad;
    const int y = cell.top() + (cell.height() - fm.height()) / 2 + fm.ascent();
    g.setFont(bold ? FBold : FFont);
    g.setPen(c);
    g.drawText(x, y, t);
}

void TLadderView::PaintHeader(QPainter& g, const TLadderGeom& geo)
{
    const QRect head(0, 0, geo.W, geo.R);
    if (FDragMy) {
        const QColor bg = FDragOut ? QColor(208, 32, 32) : FDropPrice <= 0 ? QColor(240, 128, 64) : QColor(32, 128, 32);
        g.fillRect(head, bg);
        Text(g, head, HeaderText(), TAlign::Center, Qt::white, true);
        return;
    }
    g.fillRect(head, QColor(240, 240, 240));
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

void TLadderView::PaintRow(QPainter& g, const TLadderGeom& geo, int top, int p, qint64 maxTk)
{
    const TLadderRow row = FM.Row(p);
    const int R = geo.R;
    auto cell = [&](int col) { return QRect(geo.ColLeft(col), top, geo.ColRight(col) - geo.ColLeft(col), R); };
    const int c0 = geo.ColLeft(kColMySell), c1 = geo.ColLeft(kColAsk), c5 = geo.ColLeft(kColMyBuy);

    // Backgrounds.
    QColor mid;
    if (!row.Valid)
        mid = QColor(247, 247, 247);
    else if (row.Current)
        mid = QColor(255, 245, 204);
    else if (p > FM.FD.Price)
        mid = QColor(232, 243, 255);
    else
        mid = QColor(255, 235, 238);
    g.fillRect(QRect(c1, top, c5 - c1, R), mid);
    g.fillRect(cell(kColMySell), row.MySell > 0 ? QColor(144, 200, 240) : QColor(240, 248, 255));
    g.fillRect(QRect(c5, top, geo.W - c5, R), row.MyBuy > 0 ? QColor(245, 168, 156) : QColor(255, 240, 243));

    // Tick sums: bars relative to the one maximum of both sides.
    const bool showTk = maxTk > 0;
    if (row.Valid && showTk) {
        if (row.TkSell > 0) {
            const int w = std::max(1, int(std::lround(double(c1 - c0 - 2) * row.TkSell / maxTk)));
            g.fillRect(QRect(c1 - 1 - w, top + 3, w, R - 6), QColor(194, 220, 245));
            Text(g, cell(kColMySell), FmtNum(row.TkSell), TAlign::Right, QColor(64, 120, 184), false);
        }
        if (row.TkBuy > 0) {
            const int w = std::max(1, int(std::lround(double(geo.W - c5 - 2) * row.TkBuy / maxTk)));
            g.fillRect(QRect(c5 + 1, top + 3, w, R - 6), QColor(250, 212, 212));
            Text(g, cell(kColMyBuy), FmtNum(row.TkBuy), TAlign::Left, QColor(200, 96, 80), false);
        }
    }

    // Own orders (drawn on invalid rows as well).
    if (row.MySell > 0)
        Text(g, cell(kColMySell), FmtNum(row.MySell), showTk ? TAlign::Left : TAlign::Center,
             QColor(0, 48, 128), true);
    if (row.MyBuy > 0)
        Text(g, QRect(c5, top, geo.W - c5, R), FmtNum(row.MyBuy), showTk ? TAlign::Right : TAlign::Center,
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
        Text(g, cell(kColAsk), FmtNum(row.AskQ), TAlign::Right, QColor(16, 16, 16), true);
    if (row.BidQ > 0)
        Text(g, cell(kColBid), FmtNum(row.BidQ), TAlign::Left, QColor(16, 16, 16), true);

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
            const QRect box(x, top + 3, FFmBold.horizontalAdvance(tag) + 8, geo.R - 6);
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

void TLadderView::paintEvent(QPaintEvent*)
{
    QPainter g(this);
    const TLadderGeom geo = Geom();
    g.fillRect(rect(), Qt::white);
    PaintHeader(g, geo);

    const QVector<int> prices = FM.VisiblePrices(geo.Rows());
    const qint64 maxTk = FM.MaxTickSum();
    for (int i = 0; i < prices.size(); ++i)
        PaintRow(g, geo, geo.RowTop(i), prices[i], maxTk);

    for (double f : {0.16, 0.30, 0.45, 0.62, 0.71, 0.86})
        g.fillRect(QRect(geo.Edge(f), 0, 1, geo.H), kLine);

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
