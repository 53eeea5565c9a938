#include "app/lists/ListsFacet.h"

#include "app/UiKit.h"
#include "core/IniFile.h"

#include <QCheckBox>
#include <QVBoxLayout>

TListsFacet::TListsFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

void TListsFacet::BuildRankPage(TTabSet* tabs)
{
    QWidget* rank = tabs->AddPage(QStringLiteral("  급등 · 순위  "));
    auto* v = VBox(rank);
    hcRank = MakeHeader(rank, {{QStringLiteral("순위"), 30}, {QStringLiteral("종목"), 138}, {QStringLiteral("현재가"), 68},
                               {QStringLiteral("등락률"), 64}, {QStringLiteral("거래량"), 68},
                               {QStringLiteral("전일동시"), 72}, {QStringLiteral("급증률"), 70}});
    v->addWidget(hcRank);
    v->addStretch(1);
}

void TListsFacet::BuildListPages(TTabSet* tabs)
{
    for (const QString& cap : {QStringLiteral("  공매도 금지  "), QStringLiteral("  자사주  ")}) {
        QWidget* page = tabs->AddPage(cap);
        auto* v = VBox(page);
        v->addWidget(MakeStrip(page, 24));
        v->addStretch(1);
        QWidget* bottom = MakeStrip(page, 24);
        v->addWidget(bottom);
        if (cap.contains(QStringLiteral("자사주")))
            chkBuyLiq = MakeCheck(bottom, 6, 3, QStringLiteral("매매 후보만 보기"));
    }
}

QWidget* TListsFacet::BuildBrokerBox()
{
    pbBrk = MakePanel(nullptr);
    return pbBrk;
}

void TListsFacet::LoadLayout(const TIniFile& ini)
{
    chkBuyLiq->setChecked(ini.ReadBool(QStringLiteral("UI"), QStringLiteral("BUYLIQ"), true));
    ApplyHeaderWidths(hcRank, IntListOf(ini.ReadString(QStringLiteral("LAYOUT"), QStringLiteral("RANKW"), QString())));
}

void TListsFacet::SaveLayout(TIniFile& ini) const
{
    ini.WriteBool(QStringLiteral("UI"), QStringLiteral("BUYLIQ"), chkBuyLiq->isChecked());
    ini.WriteString(QStringLiteral("LAYOUT"), QStringLiteral("RANKW"), IntListText(HeaderWidths(hcRank)));
}
