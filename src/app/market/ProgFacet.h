#pragma once
// Program trading of the current stock: the panel with its grid, the
// paged t1637 requests on two queries (qProg refreshes, qProgPg pages older
// rows) and the 6-second refresh.
#include "app/Facet.h"
#include "market/ProgTrading.h"

#include <QTimer>

class QTableWidget;
class QWidget;
class TXAQuery;

class TProgFacet : public TFacet {
public:
    explicit TProgFacet(TAppContext& ctx, QObject* parent = nullptr);

    // The panel: caption strip over the grid.
    QWidget* Build();

    void ReqProg(bool next, bool refresh);
    void OnProgData(TXAQuery* q);
    // A broker error message about a request of ours, without data.
    void OnProgRefused(TXAQuery* q);
    void ShowProg();
    // A new stock: no rows, one empty grid row at the top.
    void ResetStock();
    // The broker's transmission limit: the refresh pauses a minute.
    void OnLimitMessage();
    // The grid shows its last rows after a downward scroll: older rows, when wanted.
    void OnScrolledToEnd();

    TProgState FProg;
    TResFields FProgIn, FProgFld;
    QTimer FProgTimer;
    quint64 FProgRun = 0;  // stock changes: answers of an earlier run are dropped
    QWidget* pnlProg = nullptr;
    QTableWidget* gProg = nullptr;

private:
    void FitProgColumns();
};
