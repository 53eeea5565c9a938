#pragma once
// An owner-drawn list of headlines: rows of Scaled(29) in 11.7 pt, no
// border, each row ending with a #F0F0F0 line. The list knows only its row
// count and which row is selected; what a row shows is drawn by the owner
// (PaintRow), so one widget serves the news, issue, disclosure and feature
// lists. With no rows it shows one empty row with a placeholder in #909090.
#include <QAbstractScrollArea>
#include <functional>

class QPainter;

class TNewsList : public QAbstractScrollArea {
public:
    explicit TNewsList(QWidget* parent);

    // The number of rows; the selection and the top row stay when still valid.
    void SetCount(int n);
    int Count() const { return FCount; }
    void SetPlaceholder(const QString& text);
    const QString& Placeholder() const { return FPlaceholder; }

    int Selected() const { return FSel; }
    void SetSelected(int row);
    int RowHeight() const;
    // Row height in design units (29 unless set) and the list's font size.
    void SetRowLook(int designHeight, double pt);
    int RowAt(const QPoint& viewportPos) const;
    int TopRow() const;
    void SetTopRow(int row);
    // Repaints the rows (their content changed, not their number).
    void Refresh();

    // Draws row `row` into `r` (background included); `selected` is the
    // list's selection.
    std::function<void(QPainter& p, const QRect& r, int row, bool selected)> PaintRow;
    std::function<void(int row)> OnClick;
    std::function<void(int row)> OnDoubleClick;
    // Right button: the row under the pointer is selected first (as a click).
    std::function<void(int row, const QPoint& globalPos)> OnMenu;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void UpdateBar();
    int FRowDesign = 29;
    int FCount = 0;
    int FSel = -1;
    QString FPlaceholder;
};
