#include "trading/LadderScroll.h"

#include "trading/LadderModel.h"
#include "trading/LadderView.h"

#include <QScrollBar>

TLadderScroll::TLadderScroll(TLadderView* ladder, QScrollBar* sbLadder, QObject* parent)
    : QObject(parent), FLadder(ladder), FBar(sbLadder)
{
    if (FBar) {
        FBar->setSingleStep(1);
        FBar->setPageStep(10);
        FBar->setRange(0, 0);
        FBar->setEnabled(false);
        connect(FBar, &QScrollBar::valueChanged, this, &TLadderScroll::OnLadderBar);
    }
    if (FLadder)
        FLadder->FOnScrolled = [this] { SyncLadderScroll(); };
}

void TLadderScroll::BuildLadderTicks()
{
    FLadTicks = FLadder ? ::BuildLadderTicks(FLadder->Model().FD.UpLmt, FLadder->Model().FD.DnLmt) : QVector<int>();
    if (FBar) {
        FSbLock = true;
        if (FLadTicks.size() < 2) {
            FBar->setRange(0, 0);
            FBar->setEnabled(false);
        } else {
            FBar->setRange(0, int(FLadTicks.size()) - 1);
            FBar->setEnabled(true);
        }
        FSbLock = false;
    }
    SyncLadderScroll();
}

void TLadderScroll::OnLadderBar(int pos)
{
    if (FSbLock || FLadTicks.isEmpty() || !FLadder)
        return;
    FSbLock = true;
    FLadder->CenterOn(FLadTicks[std::clamp(pos, 0, int(FLadTicks.size()) - 1)]);
    FSbLock = false;
}

void TLadderScroll::SyncLadderScroll()
{
    if (FSbLock || FLadTicks.isEmpty() || !FLadder || !FBar)
        return;
    const int idx = LadderTickIndex(FLadTicks, FLadder->Model().FCenter);
    FSbLock = true;
    FBar->setValue(idx);
    FSbLock = false;
}
