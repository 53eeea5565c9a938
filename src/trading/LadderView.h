#pragma once
// The order-book price ladder of the current stock: one row per price of the
// exchange's grid, ask and bid quantities around the price column, day marks,
// the trader's own orders, tick sums and the profit of the holding per row.
// It knows nothing of the broker: the window pushes data in and turns the
// events below into orders, cancels, modifications and tick reloads.
//
// Font: the widget's font (the window sets its 9 pt font with setFont).
// Sizes that are design units go through the scale function (identity by
// default; the window passes its Scaled).
#include "trading/LadderModel.h"

#include <QFont>
#include <QFontMetrics>
#include <QPointer>
#include <QWidget>
#include <functional>

class TMyOrdBar;

// Side "1" = sell column, "2" = buy column.
using TLadderOrderEvent = std::function<void(const QString& side, int price)>;
using TLadderMoveEvent = std::function<void(const QString& side, int fromPrice, int toPrice)>;
using TLadderNotifyEvent = std::function<void()>;

class TLadderView : public QWidget {
public:
    explicit TLadderView(QWidget* parent = nullptr);

    // Data in; each schedules a repaint (AddTk excepted, see below).
    void SetData(const THogaData& d);
    void Recenter();
    void CenterOn(int price);
    void ClearMy();
    void AddMy(const QString& side, int price, qint64 qty);
    int MyCount(const QString& side) const;
    void ClearTk();
    // sd 1 buy-initiated, 2 sell-initiated, else ignored. Does not repaint:
    // a caller adding many ticks calls update() once at the end.
    void AddTk(int sd, int price, qint64 qty);
    void SetHold(qint64 qty, double avg, double feePct);
    // No repaint when O, H, L are unchanged and the VWAP moved by < 0.5.
    void SetDayMarks(int o, int h, int l, double vwap);

    void SetSumBar(TMyOrdBar* bar);
    void SetScale(std::function<int(int)> scale);

    // Events.
    TLadderOrderEvent FOnOrder;   // double-click in the sell / buy column
    TLadderOrderEvent FOnCancel;  // right-click on an own order, or drag out
    TLadderMoveEvent FOnMove;     // own order dropped on another price
    TLadderNotifyEvent FOnReload; // double-click in the four middle columns
    TLadderNotifyEvent FOnScrolled; // the centre changed since the last paint

    // Read side (paint, hit-testing, the my-orders bar, tests).
    const TLadderModel& Model() const { return FM; }
    TLadderGeom Geom() const;
    int RowH() const { return FR; }
    QVector<int> VisiblePrices() const;
    QRect RowRect(int price) const;          // empty when the price has no visible row
    QRect CellRect(int price, int col) const; // empty when not visible
    int PriceAt(int y) const;                // price of the row at y, 0 when none
    // On the ladder: inside, below the header, on a row with a valid price.
    bool HitTest(const QPoint& pt, int* col = nullptr, int* price = nullptr) const;
    int HoverPrice() const { return FHoverP; }
    bool DraggingMy() const { return FDragMy; }
    bool DragOut() const { return FDragOut; }
    int DropPrice() const { return FDropPrice; }
    // What the header row says (the drag message while an own order is dragged).
    QString HeaderText() const;

    QSize sizeHint() const override { return QSize(420, 600); }

protected:
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    enum class TAlign { Left, Center, Right };
    void UpdateMetrics();
    int S(int n) const { return FScale ? FScale(n) : n; }
    void ResetDrag();
    void Press(const QPoint& pt, Qt::MouseButton b);
    static bool CanDrop(int fromCol, int toCol);
    void Text(QPainter& g, const QRect& cell, const QString& s, TAlign a, const QColor& c, bool bold);
    void PaintHeader(QPainter& g, const TLadderGeom& geo);
    void PaintRow(QPainter& g, const TLadderGeom& geo, int top, int p, qint64 maxTk);
    void PaintMarks(QPainter& g, const TLadderGeom& geo, const QVector<int>& prices);
    void PaintDrag(QPainter& g, const TLadderGeom& geo);

    TLadderModel FM;
    std::function<int(int)> FScale;
    QFont FFont, FBold;
    QFontMetrics FFm{QFont()}, FFmBold{QFont()};
    int FR = 19;

    int FDownCol = -1, FDownPrice = 0;
    bool FDragMy = false, FDragOut = false;
    int FDropPrice = 0;
    int FMouseX = 0, FMouseY = 0;
    int FDownX = 0, FDownY = 0;
    int FHoverP = 0;
    int FLastCenter = 0;
    QPointer<TMyOrdBar> FSumBar;
};
