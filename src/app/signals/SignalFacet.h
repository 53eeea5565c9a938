#pragma once
// The capture page ("포착") of the account tab set: the signal grid with its
// per-kind filters and sound switch.
#include "app/Facet.h"

class QCheckBox;
class QTableWidget;
class TTabSet;

class TSignalFacet : public TFacet {
public:
    explicit TSignalFacet(TAppContext& ctx, QObject* parent = nullptr);

    void BuildSignalPage(TTabSet* tabs);

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    QTableWidget* gSig = nullptr;
    QCheckBox* chkSig[5] = {};
    QCheckBox *chkDtFocus = nullptr, *chkSigSnd = nullptr;
};
