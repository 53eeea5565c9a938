#pragma once
// Today's ticks in the tick grid, newest first, drawn from the tick list.
#include "app/UiKit.h"
#include "market/Ticks.h"

#include <QAbstractTableModel>
#include <algorithm>

// Live trades can be shown a frame at a time: AddLive records a trade the
// list already holds without telling the views, Sync then announces every
// such row at once (one removal at the bottom for what a full list dropped,
// one insertion on top). Until then the model shows the list as of the last
// Sync: row r is the list's row r + (rows added since).
class TTickModel : public QAbstractTableModel {
public:
    TTickModel(const TTickList& ticks, QObject* parent) : QAbstractTableModel(parent), FTicks(ticks) {}
    int rowCount(const QModelIndex& p = {}) const override { return p.isValid() ? 0 : qMax(1, FShown); }
    int columnCount(const QModelIndex& p = {}) const override { return p.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& idx, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    // Captions and initial widths (design units) of the tick grid's columns.
    static const QVector<TColumn>& Columns();
    // The whole list changed (a page, a reload).
    void Reset()
    {
        beginResetModel();
        FShown = FTicks.Count();
        FAdded = FDropped = 0;
        endResetModel();
    }
    // A trade was put on top of the list (`dropped`: and its oldest row
    // taken off); the views hear of it at the next Sync.
    void AddLive(bool dropped)
    {
        ++FAdded;
        FDropped += dropped ? 1 : 0;
    }
    // Announces what AddLive recorded; returns the rows inserted on top.
    // Rows put on top or taken off that the views have not heard of.
    bool Pending() const { return FAdded != 0 || FDropped != 0; }
    int Sync()
    {
        if (FAdded == 0 && FDropped == 0)
            return 0;
        if (FShown == 0) {
            Reset();
            return 0;
        }
        const int gone = std::min(FDropped, FShown);
        if (gone > 0) {
            beginRemoveRows(QModelIndex(), FShown - gone, FShown - 1);
            FShown -= gone;
            endRemoveRows();
        }
        FDropped = 0;
        const int added = FAdded;
        if (added > 0) {
            beginInsertRows(QModelIndex(), 0, added - 1);
            FShown += added;
            FAdded = 0;
            endInsertRows();
        }
        return added;
    }
    // The list's row shown in model row `row`.
    int ListRow(int row) const { return row + FAdded; }
    // Runs `insert`, which puts one trade on top of the list, as one row
    // insertion (no full reset on the real-time path). The first trade fills
    // the placeholder row: that resets.
    template <class F>
    void InsertOnTop(F&& insert)
    {
        if (FTicks.Count() == 0) {
            beginResetModel();
            insert();
            FShown = FTicks.Count();
            endResetModel();
            return;
        }
        beginInsertRows(QModelIndex(), 0, 0);
        insert();
        ++FShown;
        endInsertRows();
    }
    // Runs `drop`, which takes the oldest trade off the bottom, as one row removal.
    template <class F>
    void RemoveLast(F&& drop)
    {
        const int last = FTicks.Count() - 1;
        if (last < 1) {
            beginResetModel();
            drop();
            FShown = FTicks.Count();
            endResetModel();
            return;
        }
        beginRemoveRows(QModelIndex(), last, last);
        drop();
        --FShown;
        endRemoveRows();
    }
    void ClearSel() { HasSel = false; SelTick = 0; }

    int PrevClose = 0;
    // The selected trade, counted as (row - inserted-at-click), so that it
    // stays on the same trade while new ones push the rows down.
    bool HasSel = false;
    int SelTick = 0;
private:
    const TTickList& FTicks;
    int FShown = 0;    // list rows the views know of
    int FAdded = 0;    // rows put on top since the last Sync
    int FDropped = 0;  // rows a full list took off the bottom since then
};
