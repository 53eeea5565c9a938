#pragma once
// The market board: its selector in the top strip and the state of its
// requests that the one-second scheduler drives.
#include "app/Facet.h"

class QComboBox;
class QWidget;

class TBoardFacet : public TFacet {
public:
    explicit TBoardFacet(TAppContext& ctx, QObject* parent = nullptr);

    void BuildSelector(QWidget* top);
    // One second passed (`tick` the scheduler's count).
    void SecondTick(int tick);

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    int FBoardJob = -1;  // board request in flight, -1 = none
    bool FUSDue = false; // the overseas indices are due
    QComboBox* cbBoard = nullptr;
};
