// Finding a stock: the code box, its suggestion list and the recent list.
#include "app/MainWindow.h"
#include "app/RecentList.h"
#include "app/SuggestList.h"
#include "market/StockSearch.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <algorithm>
#include <QLineEdit>
#include <QPushButton>

void TfrmMain::BuildSearch()
{
    FSearch = std::make_unique<TSearchIndex>();
    lbSug = new TSugList(this);
    lbSug->hide();
    lbSug->OnPick = [this](int row) { PickSug(row); };
    lbRecent = new TRecentList(this);
    lbRecent->hide();
    lbRecent->NameOf = [this](const QString& c) { return NameOf(c); };
    lbRecent->OnPickCode = [this](const QString& code) {
        SetCodeText(NameOf(code));
        if (code != Ctx().FCode)
            SelectStock(code);
    };
    lbRecent->OnRemove = [this](const QString& code) {
        FRecent.removeAll(code);
        lbRecent->Open(edCode, FRecent);
    };
    lbRecent->OnClearAll = [this] { FRecent.clear(); };
    btnRecent->setFocusPolicy(Qt::NoFocus);
    connect(btnRecent, &QPushButton::clicked, this, [this] {
        if (lbRecent->isVisible())
            lbRecent->hide();
        else
            lbRecent->Open(edCode, FRecent);
    });
    connect(edCode, &QLineEdit::textChanged, this, [this] {
        if (!FSugLock && edCode->hasFocus())
            ShowSug();
    });
    connect(&FSugTimer, &QTimer::timeout, this, [this] {
        if (!edCode->hasFocus() && !lbSug->hasFocus())
            HideSug();
    });
    // The window already filters every event of the program (edCode's too).
}

void TfrmMain::ShowSug()
{
    // What the user sees in the box: a Hangul syllable still being composed
    // by the input method counts, as it does on screen.
    QString typed = edCode->text();
    if (!FCodePreedit.isEmpty())
        typed.insert(std::clamp(edCode->cursorPosition(), 0, int(typed.size())), FCodePreedit);
    const QString q = typed.trimmed();
    if (q.isEmpty() || FSearch->IsEmpty()) {
        HideSug();
        return;
    }
    const QVector<TSugItem> items = RankSuggestions(*FSearch, q);
    if (items.isEmpty()) {
        HideSug();
        return;
    }
    lbSug->Popup(edCode, items);
}

void TfrmMain::HideSug() { lbSug->hide(); }

void TfrmMain::PickSug(int row)
{
    const QString code = lbSug->CodeAt(row);
    HideSug();
    if (code.isEmpty())
        return;
    SelectStock(code);
    if (edCode->isEnabled()) {
        edCode->setFocus();
        edCode->selectAll();
    }
}

void TfrmMain::OpenTyped(const QString& text)
{
    const TOpenTypedResult r = OpenTypedMatch(*FSearch, text);
    if (!r.Log.isEmpty())
        Log(r.Log);
    if (!r.Code.isEmpty())
        SelectStock(r.Code);
}

void TfrmMain::SetCodeText(const QString& text)
{
    FSugLock = true;
    edCode->setText(text);
    FSugLock = false;
    HideSug();
}

bool TfrmMain::CodeBoxEvent(QEvent* e)
{
    switch (e->type()) {
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(e);
        if (lbSug->isVisible() && lbSug->HandleKey(k->key()))
            return true;
        if (k->key() == Qt::Key_Down && !edCode->text().isEmpty()) {
            ShowSug();
            return true;
        }
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            HideSug();
            OpenTyped(edCode->text());
            edCode->selectAll();
            return true;
        }
        if (k->key() == Qt::Key_Escape)
            return true;
        return false;
    }
    case QEvent::FocusIn:
        QTimer::singleShot(0, edCode, [this] { edCode->selectAll(); });
        FCodeEnterSel = true;
        return false;
    case QEvent::FocusOut:
        FCodePreedit.clear();
        FSugTimer.start();
        return false;
    case QEvent::InputMethod: {
        // The box takes the event after us. A commit changes its text, which
        // ranks again by itself; a change of the composition alone does not.
        const auto* ime = static_cast<QInputMethodEvent*>(e);
        FCodePreedit = ime->preeditString();
        if (!ime->commitString().isEmpty())
            return false;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!FSugLock && edCode->hasFocus())
                    ShowSug();
            },
            Qt::QueuedConnection);
        return false;
    }
    case QEvent::MouseButtonRelease:
        if (FCodeEnterSel) {
            FCodeEnterSel = false;
            if (!edCode->hasSelectedText())
                QTimer::singleShot(0, edCode, [this] { edCode->selectAll(); });
        }
        return false;
    default:
        return false;
    }
}
