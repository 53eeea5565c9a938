#pragma once
// The per-minute series ("루멘") and top-list ("루멘 상위") pages of the tick
// tab set.
#include "app/Facet.h"

class QCheckBox;
class QComboBox;
class QHeaderView;
class TTabSet;

class TLumenFacet : public TFacet {
public:
    explicit TLumenFacet(TAppContext& ctx, QObject* parent = nullptr);

    void BuildPages(TTabSet* tabs);

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    QCheckBox* chkLmChg = nullptr;
    QHeaderView* hcLM = nullptr;
    QComboBox* cbLmTopKind = nullptr;
    QHeaderView* hcLmTop = nullptr;
};
