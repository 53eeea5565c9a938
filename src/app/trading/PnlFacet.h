#pragma once
// The day's profit and loss page ("당일손익") of the account tab set.
#include "app/Facet.h"

class QTableWidget;
class TTabSet;

class TPnlFacet : public TFacet {
public:
    explicit TPnlFacet(TAppContext& ctx, QObject* parent = nullptr);

    void BuildPnlPage(TTabSet* tabs);

    QTableWidget* gPnl = nullptr;
};
