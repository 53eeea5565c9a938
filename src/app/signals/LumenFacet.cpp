#include "app/signals/LumenFacet.h"

#include "app/UiKit.h"
#include "core/IniFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QVBoxLayout>

namespace {
const QString L = QStringLiteral("LAYOUT");
const QString U = QStringLiteral("UI");
}

TLumenFacet::TLumenFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

void TLumenFacet::BuildPages(TTabSet* tabs)
{
    QWidget* lm = tabs->AddPage(QStringLiteral("  루멘  "));
    {
        auto* v = VBox(lm);
        QWidget* s = MakeStrip(lm, 26);
        chkLmChg = MakeCheck(s, 6, 4, QStringLiteral("변화만"));
        v->addWidget(s);
        hcLM = MakeHeader(lm, {{QStringLiteral("시각"), 60}, {QStringLiteral("매수"), 70}, {QStringLiteral("매도"), 70},
                               {QStringLiteral("순합계"), 80}, {QStringLiteral("1분 변화"), 80}});
        v->addWidget(hcLM);
        v->addStretch(1);
    }
    QWidget* lmTop = tabs->AddPage(QStringLiteral("  루멘 상위  "));
    {
        auto* v = VBox(lmTop);
        QWidget* s = MakeStrip(lmTop, 26);
        cbLmTopKind = new QComboBox(s);
        cbLmTopKind->setFont(AppFont(9));
        cbLmTopKind->addItems({QStringLiteral("매수합 상위"), QStringLiteral("매도합 상위"),
                               QStringLiteral("순매수 상위 (매수-매도)"), QStringLiteral("순매도 상위 (매도-매수)")});
        Place(cbLmTopKind, 6, 2, 190);
        v->addWidget(s);
        hcLmTop = MakeHeader(lmTop, {{QStringLiteral("순위"), 34}, {QStringLiteral("종목"), 130}, {QStringLiteral("매수"), 64},
                                     {QStringLiteral("매도"), 64}, {QStringLiteral("순합계"), 72},
                                     {QStringLiteral("매수 비중"), 70}});
        v->addWidget(hcLmTop);
        v->addStretch(1);
    }
}

void TLumenFacet::LoadLayout(const TIniFile& ini)
{
    chkLmChg->setChecked(ini.ReadBool(U, QStringLiteral("LMCHG"), true));
    ApplyHeaderWidths(hcLM, IntListOf(ini.ReadString(L, QStringLiteral("LMW"), QString())));
    ApplyHeaderWidths(hcLmTop, IntListOf(ini.ReadString(L, QStringLiteral("LMTOPW"), QString())));
    cbLmTopKind->setCurrentIndex(qBound(0, ini.ReadInteger(U, QStringLiteral("LMTOPKIND"), 0), 3));
}

void TLumenFacet::SaveLayout(TIniFile& ini) const
{
    ini.WriteBool(U, QStringLiteral("LMCHG"), chkLmChg->isChecked());
    ini.WriteString(L, QStringLiteral("LMW"), IntListText(HeaderWidths(hcLM)));
    ini.WriteString(L, QStringLiteral("LMTOPW"), IntListText(HeaderWidths(hcLmTop)));
    ini.WriteInteger(U, QStringLiteral("LMTOPKIND"), cbLmTopKind->currentIndex());
}
