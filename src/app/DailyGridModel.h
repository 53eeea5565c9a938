#pragma once
// The daily table in its grid.
#include "chart/DailyTable.h"

#include <QAbstractTableModel>

class TDailyGridModel : public QAbstractTableModel {
public:
    TDailyGridModel(const TDailyTable& t, QObject* parent) : QAbstractTableModel(parent), FT(t) {}
    int rowCount(const QModelIndex& p = {}) const override { return p.isValid() ? 0 : qMax(1, FT.Count()); }
    int columnCount(const QModelIndex& p = {}) const override { return p.isValid() ? 0 : 6; }
    QVariant data(const QModelIndex& idx, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    void Reset() { beginResetModel(); endResetModel(); }
    int Sel = -1;  // selected row, -1 none
private:
    const TDailyTable& FT;
};
