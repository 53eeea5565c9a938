#pragma once
// Building blocks of the window: the scaled design unit, the window font,
// the program-drawn tab bar, grids, headers, splitters and colour buttons.
#include "core/FramePacer.h"
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSplitter>
#include <QStringList>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVector>
#include <functional>

// Design size to pixels: n * U / 16, U the pixel height of "가" in the
// window font (16 when it measures below 10). U is measured once.
int Scaled(int n);
// Overrides the measured unit (tests: a 24 px "가" grows every size by half).
void SetScaleUnit(int u);
int ScaleUnit();

// "맑은 고딕" with Korean fallbacks that exist on Linux.
QFont AppFont(double pt = 9, bool bold = false);

namespace Colors {
inline const QColor Rise{229, 57, 53};
inline const QColor Fall{30, 136, 229};
inline const QColor Flat{48, 48, 48};
inline const QColor HeaderBg{240, 240, 240};
inline const QColor HeaderFg{80, 80, 80};
inline const QColor SelectedRow{210, 230, 247};
inline const QColor Strip{244, 244, 244};
inline const QColor Splitter{208, 208, 208};
inline const QColor TabActive{110, 20, 128};
inline const QColor TabIdle{239, 239, 239};
inline const QColor TabIdleText{112, 112, 112};
}

// Tabs drawn by the program: caption trimmed and centred one pixel low,
// active tab purple with white bold text, the others light grey.
class TTabBar : public QTabBar {
public:
    explicit TTabBar(QWidget* parent = nullptr);
protected:
    QSize tabSizeHint(int index) const override;
    void paintEvent(QPaintEvent*) override;
};

// A tab set using TTabBar. Captions are set untrimmed ("  로그  ").
class TTabSet : public QTabWidget {
public:
    explicit TTabSet(QWidget* parent = nullptr);
    QWidget* AddPage(const QString& caption);
};

struct TColumn {
    QString Caption;
    int Width;
};

// A grid: no border, one header row, rows Scaled(20), grid lines, resizable
// columns, whole-row selection, starts with one empty data row.
QTableWidget* MakeGrid(QWidget* parent, const QVector<TColumn>& cols);
// The same look for a view over a model of its own (column captions from the model).
void StyleGrid(QTableView* g, const QVector<TColumn>& cols);

// A scroll bar that repaints only when what it shows changed: a live list
// grows its range a row a trade, which moves nothing on the bar once the
// handle is at its smallest.
class TQuietScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* e) override;

private:
    struct TLook {
        QRect Handle;
        bool AtMin = false, AtMax = false;
        bool operator==(const TLook& o) const
        {
            return Handle == o.Handle && AtMin == o.AtMin && AtMax == o.AtMax;
        }
    };
    TLook Look() const;
    TLook FShown;
    bool FPainted = false;
};

// The sizes a label takes for its texts, each measured once: a price label
// comes back to the same few texts many times a second.
class TLabelFit {
public:
    // Sets l's text and sizes l to it as adjustSize does.
    void SetText(QLabel* l, const QString& text);

private:
    QFont FFont;
    QHash<QString, QSize> FSizes;
};

// Custom cell drawing for a grid: the model's background (white when it has
// none), text colour, font and horizontal alignment; text `left` design units
// in from the left edge or `right` in from the right edge, vertically centred
// or `top` units below the cell top (top < 0: centred); a 1-px
// RGB(240,240,240) line along the bottom of each cell and no other lines.
void DrawGridCells(QTableView* g, int left, int right, int top = -1);
// Grid texts laid out once and drawn from then on (on by default; off lays
// every text out at each paint, for comparing the two).
void SetGridTextCache(bool on);

// A widget drawn by its owner (a summary strip, a chip row).
class TPaintBox : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void(QPainter& p, const QRect& r)> OnPaint;

protected:
    void paintEvent(QPaintEvent*) override;
};

// A header over an owner-drawn list: Scaled(22) high, sections not
// clickable, each at least Scaled(16) wide.
QHeaderView* MakeHeader(QWidget* parent, const QVector<TColumn>& cols);
QList<int> HeaderWidths(const QHeaderView* h);
// Each value above 0 is applied to the section of the same position.
void ApplyHeaderWidths(QHeaderView* h, const QList<int>& widths);
// "80,0,120" and back (a part that is not a number reads as 0).
QList<int> IntListOf(const QString& text);
QString IntListText(const QList<int>& v);

// A splitter with the window's look: 5 px handle in (208,208,208), the
// resize shown as a line while dragging (the window keeps its regions at
// least Scaled(80)).
QSplitter* MakeSplitter(Qt::Orientation o, QWidget* parent = nullptr);

// A plain region panel with a background colour.
QWidget* MakePanel(QWidget* parent, const QColor& bg = Qt::white);

// A borderless panel acting as a button.
class TColorButton : public QLabel {
public:
    TColorButton(const QString& caption, const QColor& bg, double pt, QWidget* parent = nullptr);
    std::function<void()> OnClick;
protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};

// Runs `fn` once in the next frame however often Request is called before:
// a view fed by a busy feed lays out its texts at most once a frame.
// It runs on the window's one frame clock, with the paints of the frame.
class TFrameUpdate {
public:
    TFrameUpdate(QObject* owner, std::function<void()> fn);
    void Request() { FTask.Request(); }
    // Runs it now when requested (a test, or a view about to be read).
    void Flush() { FTask.Flush(); }
    bool Pending() const { return FTask.Pending(); }
    static constexpr int KFrameMs = TFrameTask::KFrameMs;

private:
    TFrameTask FTask;
};

// Calls `fn` on every resize of `w` (the watcher lives as long as `w`).
void OnResize(QWidget* w, std::function<void()> fn);

// Places a child at design coordinates (all values go through Scaled).
void Place(QWidget* w, int left, int top, int width = -1, int height = -1);
QLabel* MakeLabel(QWidget* parent, int left, int top, const QString& text,
                  const QColor& color = Colors::Flat, bool bold = false);

// A vertical layout without margins or spacing on `w`.
class QVBoxLayout* VBox(QWidget* w);
// A strip of Scaled(height) over a page or a panel.
QWidget* MakeStrip(QWidget* parent, int height, const QColor& bg = Colors::Strip);
// A checked check box at design coordinates.
class QCheckBox* MakeCheck(QWidget* parent, int left, int top, const QString& text,
                           const QColor& color = Colors::Flat, bool bold = false);
// A push button in the window font that never takes the keyboard focus.
class QPushButton* MakeButton(QWidget* parent, const QString& caption);
