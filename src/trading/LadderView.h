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
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QStaticText>
#include "core/FramePacer.h"
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
    // The model changed: one paint in the next frame, however often asked.
    void Invalidate();

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

    // Paint from the caches (the default): text layouts kept per text, and
    // the header and every price row kept as a picture that is redrawn only
    // when what it shows changes. Off, every paint measures, lays out and
    // draws everything anew. Both give the same pixels; off is the plain
    // reference the cached drawing is checked against.
    void SetPaintCache(bool on);
    // Rows the last paint took from the row pictures unchanged.
    int RowsReused() const { return FRowsReused; }

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
    // Everything a price row's pixels depend on besides the geometry and fonts.
    struct TRowLook {
        TLadderRow Row;
        QColor Mid;              // background of the four middle columns
        bool ShowTk = false;     // tick sums shown at all (moves the own-order texts)
        int BarSell = 0, BarBuy = 0; // tick-sum bar widths, 0 = none
        bool operator==(const TRowLook&) const = default;
    };
    // A text measured and laid out once, drawn from then on without shaping.
    struct TShaped {
        QStaticText St;
        int W = 0;
        QRect Ink;          // its pixels around the pen position; null until asked
        int ElideW = -1;    // the room the elided form below was cut for
        QString Elided;
        quint32 Used = 0;   // the paint that last drew it
    };
    // A picture of the header or one price row, as drawn on a white ground.
    struct TStrip {
        TRowLook Look;
        QString Head;       // header: its text
        QColor HeadBg;
        QImage Img;          // as wide as the widget or a little wider
        bool Stale = true;   // drawn for other geometry or fonts (or not yet)
        bool Spills = false; // some text reaches beyond the strip: not usable
        quint32 Used = 0;
    };
    // What every strip depends on besides its own look.
    struct TStripBase {
        int W = 0, R = 0, Pad = 0, Pad8 = 0;
        QImage::Format Format = QImage::Format_Invalid;
        int DpiX = 0, DpiY = 0;
        QPainter::RenderHints Hints;
        Qt::LayoutDirection Dir = Qt::LeftToRight;
        bool operator==(const TStripBase&) const = default;
    };

    void UpdateMetrics();
    void DropCaches();
    int S(int n) const { return FScale ? FScale(n) : n; }
    void ResetDrag();
    void Press(const QPoint& pt, Qt::MouseButton b);
    static bool CanDrop(int fromCol, int toCol);
    TShaped* Shaped(const QString& s, bool bold);
    QString Num(qint64 v);  // FmtNum, remembered per value
    void TrimCaches(int rows);
    void Text(QPainter& g, const QRect& cell, const QString& s, TAlign a, const QColor& c, bool bold);
    QColor HeaderBg() const;
    void PaintHeader(QPainter& g, const TLadderGeom& geo);
    TRowLook Look(int p, qint64 maxTk, const TLadderGeom& geo) const;
    void PaintRow(QPainter& g, const TLadderGeom& geo, int top, const TRowLook& look);
    void PaintGrid(QPainter& g, const TLadderGeom& geo, int top, int h);
    bool StripsUsable(QPainter& g, const TLadderGeom& geo);
    bool Render(TStrip& st, const QPainter& g, const std::function<void(QPainter&)>& paint);
    void PaintMarks(QPainter& g, const TLadderGeom& geo, const QVector<int>& prices);
    void PaintDrag(QPainter& g, const TLadderGeom& geo);

    TLadderModel FM;
    std::function<int(int)> FScale;
    QFont FFont, FBold;
    QFontMetrics FFm{QFont()}, FFmBold{QFont()};
    int FR = 19;
    qreal FAscentF[2] = {0, 0};  // regular, bold: baseline below a laid-out text's top
    bool FCacheOn = true;
    QHash<QString, TShaped> FShaped[2];  // regular, bold
    QHash<qint64, QString> FNums;
    TStripBase FStripBase;
    TStrip FHead;
    QHash<int, TStrip> FRows;  // by price
    quint32 FPaintNo = 0;
    TFramePacer FPacer{this, [this] { update(); }};
    int FPainterBold = -1;   // the font the painter holds: 0 regular, 1 bold, -1 not set yet
    int FSpillLimit = -1;    // while drawing a strip: its height, texts beyond it spill
    bool FSpilled = false;
    int FRowsReused = 0;

    int FDownCol = -1, FDownPrice = 0;
    bool FDragMy = false, FDragOut = false;
    int FDropPrice = 0;
    int FMouseX = 0, FMouseY = 0;
    int FDownX = 0, FDownY = 0;
    int FHoverP = 0;
    int FLastCenter = 0;
    QPointer<TMyOrdBar> FSumBar;
};
