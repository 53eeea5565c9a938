#pragma once
// Today's ticks of the current stock: the t1301 pages, the live trades on
// top, the tick grid and the ladder's sell and buy tick sums with their
// label over the order column.
#include "app/Facet.h"
#include "app/UiKit.h"
#include "broker/ResLayout.h"
#include "market/Quote.h"
#include "market/Ticks.h"

class QLabel;
class QTableView;
class QWidget;
class TLadderView;
class TTabSet;
class TTickModel;

class TTickFacet : public TFacet {
public:
    explicit TTickFacet(TAppContext& ctx, QObject* parent = nullptr);

    // The sums label in the strip over the order column.
    void BuildSumsLabel(QWidget* strip);
    // The tick page of the tick tab set.
    void BuildTickPage(TTabSet* tabs);

    void ReqTicks(bool next);
    void OnTickData();
    // The centre of the ladder was double-clicked: the ticks and sums start over.
    void ReloadTicks();
    void ResetTicks();
    // The sums label as of the next frame.
    void ShowTickSums();
    void PaintSums();
    void SyncGrid();
    // A trade of the current stock: a new row on top and the ladder's sums.
    void AddTrade(const TTradeRec& t);
    // The quote's previous close, for the grid's colours.
    void SetPrevClose(int prevClose);
    // The broker's transmission limit: the page request is no longer in flight.
    void OnLimitMessage() { FTickBusy = false; }
    // The grid shows its last rows after a downward scroll: the next page.
    void OnScrolledToEnd();

    // The ladder carries the sums; the quote sizes the price column.
    TLadderView* Ladder = nullptr;
    const THogaData* Hoga = nullptr;

    TTickList FTicks;
    QString FTickCts;
    bool FTickMore = false, FTickBusy = false, FTickNext = false;
    quint64 FTickRun = 0;  // the list started over (a new stock, a reload): older pages are dropped
    TResFields FTickFld;
    QLabel* lbTkFrom = nullptr;
    QTableView* gTick = nullptr;
    TTickModel* FTickModel = nullptr;
    TFrameUpdate FSumsFrame{this, [this] { PaintSums(); }};
    TFrameUpdate FGridFrame{this, [this] { SyncGrid(); }};

private:
    void FitTickColumns();
};
