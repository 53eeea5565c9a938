#pragma once
// The recent-stock list opened by the "▼" button beside the code box: one
// row per recent code (code, name, and "×" on the hovered row to remove it),
// then a footer row that clears the whole list.
//
// Like the suggestion list it is a child widget of the main window raised
// over the others and never takes the keyboard focus.
#include <QStringList>
#include <QWidget>
#include <functional>

class TRecentList : public QWidget {
public:
    explicit TRecentList(QWidget* parent);

    // Rows = `codes`, then the footer. Placed under `box` (same left edge,
    // 1 px below, width Scaled(260), height rows x row + 4), no row hovered,
    // shown and raised over everything. Call it again to reopen after a change.
    void Open(const QWidget* box, const QStringList& codes);

    const QStringList& Codes() const { return FCodes; }
    int RowCount() const { return FCodes.size() + 1; }  // with the footer
    int FooterRow() const { return FCodes.size(); }
    int RowHeight() const;
    // Row under a point of the widget; -1 when none.
    int RowAt(const QPoint& pos) const;
    QRect RowRect(int row) const;
    // Within this distance of the right edge a code row's click removes it.
    int RemoveZone() const;
    // -1 = none.
    int Hover() const { return FHover; }

    // The name shown beside a code; unset: the code itself.
    std::function<QString(const QString& code)> NameOf;
    // A code row was clicked outside the remove zone; the list is hidden.
    std::function<void(const QString& code)> OnPickCode;
    // The "×" zone of a code row was clicked; the list stays open, the owner
    // drops the code and calls Open again.
    std::function<void(const QString& code)> OnRemove;
    // The footer was clicked; the list is hidden.
    std::function<void()> OnClearAll;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;

private:
    void SetHover(int row);

    QStringList FCodes;
    int FHover = -1;
};
