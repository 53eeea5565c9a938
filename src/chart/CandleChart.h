#pragma once
// The candle chart control: paints a TChartModel (price pane, volume pane,
// price scale, marks, drawings, hover crosshair) and turns mouse and keys
// into the model's view-window and drawing operations.
//
// Child widgets the window places on the chart (the period selector and the
// buttons of the top strip) are kept clear of text: the title, the legend
// and the information line end left of every visible child that reaches
// into their rows, read from the children's geometry at each paint.
#include "chart/ChartModel.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include "core/FramePacer.h"
#include <QHash>
#include <QStaticText>
#include <QWidget>
#include <functional>

class QMenu;
class QPainter;

class TCandleChart : public QWidget {
    Q_OBJECT
public:
    using TScale = std::function<int(int)>;

    explicit TCandleChart(QWidget* parent = nullptr);

    TChartModel& Model() { return FModel; }
    const TChartModel& Model() const { return FModel; }

    // Pixel scaling of the fixed sizes (pens, marks, paddings); identity by default.
    void SetScale(TScale s);
    // Font of every text; "맑은 고딕" 9 pt by default.
    void SetChartFont(const QFont& f);
    QFont ChartFont() const { return FFont; }

    // Paints the whole chart into p with the widget's client size; paintEvent
    // uses it, and so can callers that render into an image.
    void PaintTo(QPainter& p);
    // Texts laid out once and drawn from then on without shaping (on by
    // default; off draws every text afresh, for comparing the two).
    void SetTextCache(bool on);
    // The background, grid, axes and every bar but the last kept in a layer
    // between paints of the widget (on by default; off paints all afresh).
    void SetLayerCache(bool on);
    // How often the layer was drawn anew.
    int LayerBuilds() const { return FLayer.Builds; }

    // A text as the chart draws it: laid out once, its advance measured once.
    struct TShapedText {
        QStaticText St;
        int W = 0;
        quint32 Used = 0;   // the paint that last drew or measured it
    };
    // The chart's texts per font (regular, bold), kept while the fonts are.
    struct TTextCache {
        bool On = true;
        QFont Fonts[2];
        QHash<QString, TShapedText> Texts[2];
        quint32 PaintNo = 0;
        // s in the regular or bold font f; null when the cache is off.
        const TShapedText* Get(const QString& s, bool bold, const QFont& f);
        // After a paint: beyond a few frames' worth, what it did not use goes.
        void Trim();
    };

    // Visible bar range of the last paint (meaningful while Model().GeoOK()).
    int FirstVisible() const { return FI0; }
    int LastVisible() const { return FI1; }

    // Selects a drawing tool (QChar() = none) and sets the mouse cursor.
    void SetTool(QChar k);
    // Index of the drawing under a point of the last paint, -1 when none.
    int HitDraw(const QPoint& pt) const;

    // The shared drawing pop-up menu, opened just below `button` for `target`.
    static void PopDrawMenu(TCandleChart* target, QWidget* button);
    static QMenu* DrawMenu();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    int S(int v) const { return FScale ? FScale(v) : v; }
    void SyncCursor();
    // Bar index and price under a point of the last paint's price pane.
    int BarAtX(int x) const;
    double PriceAtY(int y) const;
    // Left edge of the leftmost visible child widget reaching into the rows
    // [top, bottom); INT_MAX when there is none.
    int ChildrenLeft(int top, int bottom) const;

    TChartModel FModel;
    // Copy of the geometry handed to the model at the last paint.
    QRect FPane;
    double FHi = 0, FLo = 0;
    int FI0 = 0, FI1 = 0;
    TFramePacer FPacer{this, [this] { update(); }};
    TTextCache FTexts;
    // What the layer was drawn for: it is current while all of it is equal.
    struct TLayerKey {
        QSize Size;
        qreal Dpr = 0;
        QFont Font;
        bool TextCache = false;
        QString Title;
        quint64 BarsRev = 0;
        int N = -1, I0 = 0, I1 = 0, BarW = 0;
        double Hi = 0, Lo = 0;
        double Today[3] = {0, 0, 0};   // open, high, low lines
        bool Minute = false;
        bool operator==(const TLayerKey& o) const
        {
            return Size == o.Size && Dpr == o.Dpr && Font == o.Font && TextCache == o.TextCache && Title == o.Title
                && BarsRev == o.BarsRev && N == o.N && I0 == o.I0 && I1 == o.I1 && BarW == o.BarW && Hi == o.Hi
                && Lo == o.Lo && Today[0] == o.Today[0] && Today[1] == o.Today[1]
                && Today[2] == o.Today[2] && Minute == o.Minute;
        }
    };
    struct {
        bool On = true;
        TLayerKey Key;
        QImage Img;
        int Builds = 0;
    } FLayer;
    TScale FScale;
    QFont FFont;
    int FMX = 0, FMY = 0;
    bool FIn = false;
    bool FDrag = false;
    int FDragX = 0, FDragOff = 0;
    int FMoveX = 0, FMoveY = 0;
    TDrawObj FMoveOrig;
    int FClickX = 0, FClickY = 0;
    bool FClickOk = false;
};
