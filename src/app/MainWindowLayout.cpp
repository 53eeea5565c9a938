// Saving the window's layout and the user's choices to hts.ini at close, and
// applying them at start-up. Keys this window does not know survive a save.
#include "app/MainWindow.h"
#include "app/Facet.h"
#include "app/UiKit.h"
#include "core/IniFile.h"

#include <QFileInfo>
#include <QLayout>
#include <QSplitter>

namespace {
const QString L = QStringLiteral("LAYOUT");
const QString U = QStringLiteral("UI");
}

// A pane of a splitter gets `size`; the splitter's "rest" pane absorbs the
// difference. Before the window is shown the sizes are kept and applied on
// the first show, outer splitters first, when every splitter has its geometry.
void TfrmMain::SetPaneSize(QSplitter* s, int index, int size, int restIndex)
{
    if (size < 1)
        return;
    if (!FShownOnce) {
        FPendingPanes.append({s, index, size, restIndex});
        return;
    }
    QList<int> sz = s->sizes();
    if (index >= sz.size() || restIndex >= sz.size())
        return;
    const int delta = size - sz[index];
    sz[index] = size;
    sz[restIndex] = qMax(1, sz[restIndex] - delta);
    s->setSizes(sz);
}

int TfrmMain::PaneSize(const QSplitter* s, int index) const
{
    if (!FShownOnce)  // not laid out yet: the size asked for last
        for (int i = FPendingPanes.size() - 1; i >= 0; --i)
            if (FPendingPanes[i].Splitter == s && FPendingPanes[i].Index == index)
                return FPendingPanes[i].Size;
    return s->sizes().value(index);
}

void TfrmMain::ApplyPendingPanes()
{
    auto depth = [](const QWidget* w) {
        int d = 0;
        for (; w; w = w->parentWidget())
            ++d;
        return d;
    };
    QVector<TPendingPane> list = FPendingPanes;
    FPendingPanes.clear();
    std::stable_sort(list.begin(), list.end(), [&](const TPendingPane& a, const TPendingPane& b) {
        return depth(a.Splitter) < depth(b.Splitter);
    });
    FShownOnce = true;
    for (const TPendingPane& p : list) {
        if (QLayout* l = p.Splitter->parentWidget() ? p.Splitter->parentWidget()->layout() : nullptr)
            l->activate();
        SetPaneSize(p.Splitter, p.Index, p.Size, p.RestIndex);
    }
}

void TfrmMain::LoadLayout()
{
    // No file reads as an empty one: every default, and the rules that hold
    // on every run (the order column's top never hides its sell strip).
    const bool exists = QFileInfo::exists(Ctx().FIniPath);
    TIniFile ini;
    if (exists)
        ini.Load(Ctx().FIniPath);
    FIniNotUtf8 = ini.HadInvalidText();
    if (ini.ReadInteger(L, QStringLiteral("W"), 0) < 1) {
        FFirstRun = true;
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        const QRect g = geometry();
        setGeometry(ini.ReadInteger(L, QStringLiteral("X"), g.x()), ini.ReadInteger(L, QStringLiteral("Y"), g.y()),
                    ini.ReadInteger(L, QStringLiteral("W"), g.width()),
                    ini.ReadInteger(L, QStringLiteral("H"), g.height()));
    }
    SetPaneSize(spLR, 0, ini.ReadInteger(L, QStringLiteral("LEFT"), PaneSize(spLR, 0)), 1);
    SetPaneSize(spLeft, 0, ini.ReadInteger(L, QStringLiteral("DAYH"), PaneSize(spLeft, 0)), 1);
    const int progH = ini.ReadInteger(L, QStringLiteral("PROGH"), PaneSize(spOrd, 2));
    SetPaneSize(spOrd, 2, progH, 1);
    SetPaneSize(spLadder, 1, progH, 0);
    SetPaneSize(spRight, 0, ini.ReadInteger(L, QStringLiteral("ORD2"), PaneSize(spRight, 0)), 1);
    SetPaneSize(spOrd, 0, qMax(Scaled(158), ini.ReadInteger(L, QStringLiteral("ORDH3"), PaneSize(spOrd, 0))), 1);
    SetPaneSize(spMain, 1, ini.ReadInteger(L, QStringLiteral("NEWSH"), PaneSize(spMain, 1)), 0);
    SetPaneSize(spBottom, 1, ini.ReadInteger(L, QStringLiteral("ISSUEW"), PaneSize(spBottom, 1)), 0);
    const int brkH = ini.ReadInteger(L, QStringLiteral("BRKH"), 0);
    if (brkH > 0)
        SetPaneSize(spTk, 1, brkH, 0);
    if (ini.ReadBool(L, QStringLiteral("MAX"), false))
        setWindowState(windowState() | Qt::WindowMaximized);
    const int issueTab = ini.ReadInteger(U, QStringLiteral("ISSUETAB"), 0);
    pcIssue->setCurrentIndex(issueTab >= 1 && issueTab <= 4 ? issueTab : 0);
    const int bm = ini.ReadInteger(U, QStringLiteral("BMTAB"), 0);
    if (bm >= 0 && bm < pcBM->count())
        pcBM->setCurrentIndex(bm);
    const int lg = ini.ReadInteger(U, QStringLiteral("LOGTAB"), 0);
    if (lg >= 0 && lg < pcLog->count())
        pcLog->setCurrentIndex(lg);
    for (TFacet* f : Facets)
        f->LoadLayout(ini);
}

void TfrmMain::SaveLayout()
{
    TIniFile ini(Ctx().FIniPath);
    ini.WriteBool(L, QStringLiteral("MAX"), isMaximized());
    if (!isMaximized() && !isMinimized()) {
        const QRect g = geometry();
        ini.WriteInteger(L, QStringLiteral("X"), g.x());
        ini.WriteInteger(L, QStringLiteral("Y"), g.y());
        ini.WriteInteger(L, QStringLiteral("W"), g.width());
        ini.WriteInteger(L, QStringLiteral("H"), g.height());
    }
    ini.WriteInteger(L, QStringLiteral("LEFT"), PaneSize(spLR, 0));
    ini.WriteInteger(L, QStringLiteral("DAYH"), PaneSize(spLeft, 0));
    ini.WriteInteger(L, QStringLiteral("PROGH"), PaneSize(spOrd, 2));
    ini.WriteInteger(L, QStringLiteral("ORD2"), PaneSize(spRight, 0));
    ini.WriteInteger(L, QStringLiteral("ORDH3"), PaneSize(spOrd, 0));
    ini.WriteInteger(L, QStringLiteral("NEWSH"), PaneSize(spMain, 1));
    ini.WriteInteger(L, QStringLiteral("ISSUEW"), PaneSize(spBottom, 1));
    ini.WriteInteger(L, QStringLiteral("BRKH"), PaneSize(spTk, 1));
    ini.WriteInteger(U, QStringLiteral("ISSUETAB"), pcIssue->currentIndex());
    ini.WriteInteger(U, QStringLiteral("BMTAB"), pcBM->currentIndex());
    ini.WriteInteger(U, QStringLiteral("LOGTAB"), pcLog->currentIndex());
    if (!Ctx().FCode.isEmpty())
        ini.WriteString(U, QStringLiteral("LASTCODE"), Ctx().FCode);
    for (TFacet* f : Facets)
        f->SaveLayout(ini);
    ini.UpdateFile();
}
