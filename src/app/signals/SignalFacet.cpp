#include "app/signals/SignalFacet.h"

#include "app/UiKit.h"
#include "core/IniFile.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace {
const QString U = QStringLiteral("UI");
}

TSignalFacet::TSignalFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

void TSignalFacet::BuildSignalPage(TTabSet* tabs)
{
    QWidget* sig = tabs->AddPage(QStringLiteral("  포착  "));
    auto* v = VBox(sig);
    QWidget* s = MakeStrip(sig, 30, QColor(248, 248, 248));
    const QColor orange(224, 128, 0);
    chkSig[0] = MakeCheck(s, 6, 6, QStringLiteral("매수 포착"), Colors::Rise);
    chkSig[1] = MakeCheck(s, 102, 6, QStringLiteral("매도 포착"), Colors::Fall);
    chkSig[2] = MakeCheck(s, 198, 6, QStringLiteral("매수 스트릭"), Colors::Rise);
    chkSig[3] = MakeCheck(s, 294, 6, QStringLiteral("매도 스트릭"), Colors::Fall);
    chkSig[4] = MakeCheck(s, 390, 6, QStringLiteral("데트 후보"), orange);
    chkSig[4]->hide();
    chkDtFocus = MakeCheck(s, 390, 6, QStringLiteral("데트집중"), orange, true);
    chkSigSnd = MakeCheck(s, 480, 6, QStringLiteral("소리"));
    v->addWidget(s);
    gSig = MakeGrid(sig, {{QStringLiteral("시각"), 52}, {QStringLiteral("종목"), 126}, {QStringLiteral("구분"), 92},
                          {QStringLiteral("진입가 · 연속"), 92}, {QStringLiteral("진입 후"), 72},
                          {QStringLiteral("전일比량"), 76}, {QStringLiteral("동시간比"), 80}});
    v->addWidget(gSig, 1);
    v->addWidget(MakeStrip(sig, 30));
}

void TSignalFacet::LoadLayout(const TIniFile& ini)
{
    for (int i = 0; i < 5; ++i)
        chkSig[i]->setChecked(ini.ReadBool(U, QStringLiteral("SIG%1").arg(i + 1), true));
    chkDtFocus->setChecked(ini.ReadBool(U, QStringLiteral("DTFOCUS"), true));
    chkSigSnd->setChecked(ini.ReadBool(U, QStringLiteral("SIGSND"), true));
}

void TSignalFacet::SaveLayout(TIniFile& ini) const
{
    for (int i = 0; i < 5; ++i)
        ini.WriteBool(U, QStringLiteral("SIG%1").arg(i + 1), chkSig[i]->isChecked());
    ini.WriteBool(U, QStringLiteral("DTFOCUS"), chkDtFocus->isChecked());
    ini.WriteBool(U, QStringLiteral("SIGSND"), chkSigSnd->isChecked());
}
