#pragma once
// Today's ticks in the tick grid, newest first, drawn from the tick list.
#include "market/Ticks.h"

#include <QAbstractTableModel>

class TTickModel : public QAbstractTableModel {
public:
    TTickModel(const TTickList& ticks, QObject* parent) : QAbstractTableModel(parent), FTicks(ticks) {}
    int rowCount(const QModelIndex& = {}) const override { return qMax(1, FTicks.Count()); }
    int columnCount(const QModelIndex& = {}) const override { return 4; }
    QVariant data(const QModelIndex& idx, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    // The whole list changed (a page, a reload, a new trade).
    void Reset() { beginResetModel(); endResetModel(); }
    // One trade was put on top of the list (no full reset on the real-time path).
    void InsertedOnTop()
    {
        if (FTicks.Count() <= 1 || FTicks.Count() >= kMaxTicks) {
            Reset();
            return;
        }
        beginInsertRows(QModelIndex(), 0, 0);
        endInsertRows();
    }

    int PrevClose = 0;
    int SelTick = -1;  // selected trade, counted as (row - inserted-at-click)
private:
    const TTickList& FTicks;
};
