#pragma once
// The suggestion list under the code box: an owner-drawn list of at most 40
// stocks, 12 rows visible, one row selected.
//
// It is a child widget of the main window raised over the other children,
// not a window of its own, and it never takes the keyboard focus: the code
// box keeps the focus while the user types, and passes the list keys on
// through HandleKey. A click on a row picks it without moving the focus.
#include "market/StockSearch.h"

#include <QAbstractScrollArea>
#include <functional>

class TSugList : public QAbstractScrollArea {
public:
    static constexpr int kVisibleRows = 12;
    static constexpr int kPageRows = 10;

    explicit TSugList(QWidget* parent);

    // Keeps the first kSugMaxRows items; selects row 0 (none when empty) and
    // scrolls to the top. Does not show the list.
    void SetItems(const QVector<TSugItem>& items);
    int Count() const { return FItems.size(); }
    const TSugItem& Item(int row) const { return FItems[row]; }
    // The code of a row; empty when out of range.
    QString CodeAt(int row) const;
    // The codes of all rows, in row order.
    QStringList Codes() const;

    // -1 when nothing is selected.
    int Selected() const { return FSel; }
    // Clamped to the rows; scrolls the row into view and repaints.
    void SetSelected(int row);

    int RowHeight() const;
    // Row under a point of the viewport; -1 when none.
    int RowAt(const QPoint& viewportPos) const;
    // Top row shown.
    int TopRow() const;

    // Places the list under `box`: left edge 2 px left of the box, top 2 px
    // below its bottom, width Scaled(320), height min(rows, 12) x row + 4.
    void PlaceUnder(const QWidget* box);
    // SetItems, PlaceUnder, select row 0, show and raise over everything.
    void Popup(const QWidget* box, const QVector<TSugItem>& items);

    // A key typed into the code box. While the list is visible: Esc hides it;
    // Up/Down move one row, Page Up/Page Down ten rows, within the rows;
    // Enter with a selected row calls OnPick(row). Those return true (consumed).
    // Anything else, or any key while hidden, returns false: the box goes on
    // (Down on a hidden list opens it, Enter with no row runs the typed text).
    bool HandleKey(int key);

    // A row was picked (Enter or mouse release over a row). The list is
    // already hidden when this runs.
    std::function<void(int row)> OnPick;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void UpdateScroll();
    void EnsureVisible(int row);
    void Pick(int row);
    int VisibleRows() const;

    QVector<TSugItem> FItems;
    int FSel = -1;
};
