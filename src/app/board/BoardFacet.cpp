#include "app/board/BoardFacet.h"

#include "app/UiKit.h"
#include "core/IniFile.h"

#include <QComboBox>

TBoardFacet::TBoardFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

void TBoardFacet::BuildSelector(QWidget* top)
{
    cbBoard = new QComboBox(top);
    cbBoard->setFont(AppFont(9));
    cbBoard->addItems({QStringLiteral("미국지수"), QStringLiteral("한국지수"), QStringLiteral("삼전닉스"),
                       QStringLiteral("투자자 통합"), QStringLiteral("투자자 KRX"), QStringLiteral("투자자 NXT"),
                       QStringLiteral("ETN개인")});
    Place(cbBoard, 8, 7, 110);
}

void TBoardFacet::SecondTick(int tick)
{
    if (tick % 10 == 5)
        FUSDue = true;
}

void TBoardFacet::LoadLayout(const TIniFile& ini)
{
    cbBoard->setCurrentIndex(qBound(0, ini.ReadInteger(QStringLiteral("UI"), QStringLiteral("BOARD"), 0), 6));
}

void TBoardFacet::SaveLayout(TIniFile& ini) const
{
    ini.WriteInteger(QStringLiteral("UI"), QStringLiteral("BOARD"), cbBoard->currentIndex());
}
