#pragma once
// The current stock's quote and ten-level book: the t1101 answer, the trade
// and book feeds, and the header labels at the top of the order column.
#include "app/Facet.h"
#include "app/UiKit.h"
#include "market/Quote.h"

class QLabel;
class QWidget;
class TXAReal;

class TQuoteFacet : public TFacet {
public:
    explicit TQuoteFacet(TAppContext& ctx, QObject* parent = nullptr);

    // The header labels on the order column's top panel.
    void BuildHeader(QWidget* panel);

    // A new current stock: nothing known but its code and name.
    void ResetStock(const QString& code, const QString& name);
    // The master arrived: the stock's name as it reads there.
    void SetName(const QString& name);
    void SetPrevVol(qint64 v);

    void ReqPrice();
    // The t1101 answer; false when it was not applied (another stock).
    bool OnPriceData();
    // A trade record; false when it was not for the current stock.
    bool OnTradeReal(TXAReal* r, TTradeRec* out);
    // A book record; false when it was not for the current stock.
    bool OnBookReal(TXAReal* r);
    // The header shows the quote as of the next frame (a busy feed lays its
    // labels out once a frame, and only those whose text changed).
    void UpdateQuoteHeader();
    void PaintHeader();

    THogaData FHoga;
    TDayOHL FDay;
    qint64 FPrevVol = 0;
    QLabel *lbOrdName = nullptr, *lbOrdPx = nullptr, *lbOrdChg = nullptr, *lbOrdVol = nullptr, *lbOrdOpen = nullptr;
    QLabel* lbOrdBuy = nullptr;
    TFrameUpdate FHeaderFrame{this, [this] { PaintHeader(); }};
    TLabelFit FFits[5];   // name, price, change, open, volume
};
