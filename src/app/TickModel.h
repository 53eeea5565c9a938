#pragma once
// Today's ticks in the tick grid, newest first, drawn from the tick list.
#include "app/UiKit.h"
#include "market/Ticks.h"

#include <QAbstractTableModel>

class TTickModel : public QAbstractTableModel {
public:
    TTickModel(const TTickList& ticks, QObject* parent) : QAbstractTableModel(parent), FTicks(ticks) {}
    int rowCount(const QModelIndex& p = {}) const override { return p.isValid() ? 0 : qMax(1, FTicks.Count()); }
    int columnCount(const QModelIndex& p = {}) const override { return p.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& idx, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    // Captions and initial widths (design units) of the tick grid's columns.
    static const QVector<TColumn>& Columns();
    // The whole list changed (a page, a reload, a new trade).
    void Reset() { beginResetModel(); endResetModel(); }
    // Runs `insert`, which puts one trade on top of the list, as one row
    // insertion (no full reset on the real-time path). The first trade fills
    // the placeholder row and a full list drops its oldest: both reset.
    template <class F>
    void InsertOnTop(F&& insert)
    {
        const int before = FTicks.Count();
        if (before == 0 || before >= kMaxTicks) {
            beginResetModel();
            insert();
            endResetModel();
            return;
        }
        beginInsertRows(QModelIndex(), 0, 0);
        insert();
        endInsertRows();
    }
    void ClearSel() { HasSel = false; SelTick = 0; }

    int PrevClose = 0;
    // The selected trade, counted as (row - inserted-at-click), so that it
    // stays on the same trade while new ones push the rows down.
    bool HasSel = false;
    int SelTick = 0;
private:
    const TTickList& FTicks;
};
