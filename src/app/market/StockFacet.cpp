#include "app/market/StockFacet.h"

#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/IniFile.h"
#include "app/RecentList.h"
#include "app/SuggestList.h"
#include "market/StockSearch.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <algorithm>
#include <QLineEdit>
#include <QPushButton>

TStockFacet::TStockFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent)
{
    FSearch = std::make_unique<TSearchIndex>();
    FSugTimer.setInterval(150);
    FSugTimer.setSingleShot(true);
}

TStockFacet::~TStockFacet() = default;

void TStockFacet::Select(const QString& code)
{
    if (OnSelectStock)
        OnSelectStock(code);
}

void TStockFacet::BuildCodeBox(QWidget* strip, QWidget* window)
{
    edCode = new QLineEdit(strip);
    edCode->setFont(AppFont(9));
    edCode->setPlaceholderText(QStringLiteral("코드 · 종목명 · 초성(ㅅㅅㅈㅈ)"));
    Place(edCode, 40, 4, 150, 24);
    btnRecent = MakeButton(strip, QStringLiteral("▼"));
    Place(btnRecent, 191, 4, 24, 24);
    lbSug = new TSugList(window);
    lbSug->hide();
    lbSug->OnPick = [this](int row) { PickSug(row); };
    lbRecent = new TRecentList(window);
    lbRecent->hide();
    lbRecent->NameOf = [this](const QString& c) { return NameOf(c); };
    lbRecent->OnPickCode = [this](const QString& code) {
        SetCodeText(NameOf(code));
        if (code != Ctx.FCode)
            Select(code);
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
    // The window's event filter hands the code box's events to CodeBoxEvent.
}

void TStockFacet::OnPressAnywhere(QWidget* w)
{
    auto within = [w](QWidget* target) { return w && target && (w == target || target->isAncestorOf(w)); };
    if (lbSug && lbSug->isVisible() && !within(lbSug) && !within(edCode)) {
        HideSug();
        if (!Ctx.FCode.isEmpty())
            SetCodeText(NameOf(Ctx.FCode));
    }
    if (lbRecent && lbRecent->isVisible() && !within(lbRecent) && !within(btnRecent))
        lbRecent->hide();
}

void TStockFacet::AddRecent(const QString& code) { ::AddRecent(FRecent, code); }

void TStockFacet::LoadLayout(const TIniFile& ini)
{
    FRecent = CommaTextToList(ini.ReadString(QStringLiteral("UI"), QStringLiteral("RECENT"), QString()));
    while (FRecent.size() > 10)
        FRecent.removeLast();
}

void TStockFacet::SaveLayout(TIniFile& ini) const
{
    ini.WriteString(QStringLiteral("UI"), QStringLiteral("RECENT"), ListToCommaText(FRecent));
}

// ---- stock master ----

void TStockFacet::ReqMaster()
{
    Ctx.FQ->Add(QStringLiteral("t8430"), [this] {
        TXAQuery* q = Ctx.B.qMaster;
        if (!Ctx.SetQueryRes(q, QStringLiteral("t8430")))
            return;
        q->SetFieldData(QStringLiteral("t8430InBlock"), QStringLiteral("gubun"), 0, QStringLiteral("0"));
        if (Ctx.Send(q, false, {}) < 0)
            Log(QStringLiteral("!! t8430 종목목록 요청 실패"));
    });
}

void TStockFacet::OnMasterData()
{
    TXAQuery* q = Ctx.B.qMaster;
    if (!Ctx.Bound(q))
        return;  // not an answer to our request
    const QString b = QStringLiteral("t8430OutBlock");
    const int n = q->GetBlockCount(b);
    FMaster.clear();
    FIsinCode.clear();
    FCodeIsin.clear();
    FMaster.reserve(n);
    for (int i = 0; i < n; ++i) {
        TStockInfo s;
        s.Code = q->GetFieldData(b, QStringLiteral("shcode"), i).trimmed();
        s.Name = q->GetFieldData(b, QStringLiteral("hname"), i).trimmed();
        s.Mkt = q->GetFieldData(b, QStringLiteral("gubun"), i).trimmed() == QStringLiteral("2") ? QLatin1Char('2')
                                                                                                 : QLatin1Char('1');
        const QString etf = q->GetFieldData(b, QStringLiteral("etfgubun"), i).trimmed();
        s.Fund = !etf.isEmpty() && etf != QStringLiteral("0");
        if (s.Code.isEmpty())
            continue;
        FMaster.insert(s.Code, s);
        const QString isin = q->GetFieldData(b, QStringLiteral("expcode"), i).trimmed();
        if (isin.size() == 12) {
            FIsinCode.insert(isin, s.Code);
            FCodeIsin.insert(s.Code, isin);
        }
    }
    FSearch->Build(FMaster);
    if (n > 0 && FCodeIsin.isEmpty())
        Log(QStringLiteral("!! 종목 목록에 ISIN(expcode) 칸이 없음 — 우선주 · ETF 루멘가 틀릴 수 있음"));
    Log(QStringLiteral("종목 목록 %1개").arg(FMaster.size()));
    if (!Ctx.FCode.isEmpty())
        SetCodeText(NameOf(Ctx.FCode));
}

QString TStockFacet::NameOf(const QString& code) const
{
    auto it = FMaster.constFind(code);
    return it == FMaster.constEnd() ? code : it->Name;
}

void TStockFacet::ShowSug()
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

void TStockFacet::HideSug() { lbSug->hide(); }

void TStockFacet::PickSug(int row)
{
    const QString code = lbSug->CodeAt(row);
    HideSug();
    if (code.isEmpty())
        return;
    Select(code);
    if (edCode->isEnabled()) {
        edCode->setFocus();
        edCode->selectAll();
    }
}

void TStockFacet::OpenTyped(const QString& text)
{
    const TOpenTypedResult r = OpenTypedMatch(*FSearch, text);
    if (!r.Log.isEmpty())
        Log(r.Log);
    if (!r.Code.isEmpty())
        Select(r.Code);
}

void TStockFacet::SetCodeText(const QString& text)
{
    FSugLock = true;
    edCode->setText(text);
    FSugLock = false;
    HideSug();
}

bool TStockFacet::CodeBoxEvent(QEvent* e)
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
