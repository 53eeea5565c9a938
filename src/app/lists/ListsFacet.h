#pragma once
// The market lists: the rankings page of the tick tab set, the short-sale ban
// and buyback pages of the issue tab set, and the broker top-five box under
// the tick tabs.
#include "app/Facet.h"

class QCheckBox;
class QHeaderView;
class QWidget;
class TTabSet;

class TListsFacet : public TFacet {
public:
    explicit TListsFacet(TAppContext& ctx, QObject* parent = nullptr);

    void BuildRankPage(TTabSet* tabs);
    void BuildListPages(TTabSet* tabs);
    QWidget* BuildBrokerBox();

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    QHeaderView* hcRank = nullptr;
    QCheckBox* chkBuyLiq = nullptr;
    QWidget* pbBrk = nullptr;
};
