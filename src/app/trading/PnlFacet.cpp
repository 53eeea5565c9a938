#include "app/trading/PnlFacet.h"

#include "app/UiKit.h"

#include <QPushButton>
#include <QVBoxLayout>

TPnlFacet::TPnlFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

void TPnlFacet::BuildPnlPage(TTabSet* tabs)
{
    QWidget* pnl = tabs->AddPage(QStringLiteral("  당일손익  "));
    auto* v = VBox(pnl);
    QWidget* s = MakeStrip(pnl, 30);
    auto* b = MakeButton(s, QStringLiteral("새로고침"));
    Place(b, 6, 3, 80, 24);
    MakeLabel(s, 96, 8, QStringLiteral("실현손익 합계  —"), Colors::Flat, true);
    v->addWidget(s);
    gPnl = MakeGrid(pnl, {{QStringLiteral("종목"), 120}, {QStringLiteral("상태"), 90}, {QStringLiteral("매수량"), 64},
                          {QStringLiteral("매수평단"), 84}, {QStringLiteral("매도량"), 64},
                          {QStringLiteral("매도평단"), 84}, {QStringLiteral("실현손익"), 100},
                          {QStringLiteral("수익률"), 72}});
    v->addWidget(gPnl, 1);
}
