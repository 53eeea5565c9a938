#pragma once
// The daily table of the current stock: one row per day from the day bars,
// newest first, with the usual-volume line above it; a row picks its day on
// the day chart.
#include "app/Facet.h"
#include "chart/Bar.h"
#include "chart/DailyTable.h"

class QLabel;
class QTableView;
class TChartModel;
class TDailyGridModel;
class TTabSet;

class TDailyFacet : public TFacet {
public:
    explicit TDailyFacet(TAppContext& ctx, QObject* parent = nullptr);

    void BuildDailyPage(TTabSet* tabs);
    // The rows from ascending day bars (none: an empty table).
    void RebuildDaily(const QVector<TBar>& asc);
    // The day (yyyymmdd) of the selected row; empty when none is selected.
    QString SelectedDay() const;

    // Where a picked row's day goes.
    TChartModel* DayChart = nullptr;

    TDailyTable FDaily;
    TDailyGridModel* FDailyModel = nullptr;
    QTableView* gDaily = nullptr;
    QLabel* lbDailyAvg = nullptr;
};
