#include "app/core/LogFacet.h"

#include "app/LogPanel.h"
#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/ServerClock.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TLogFacet::TLogFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent)
{
    FClockTimer.setInterval(100);
    connect(&FClockTimer, &QTimer::timeout, this, [this] { UpdateClock(); });
    FSyncTimer.setInterval(600000);
    connect(&FSyncTimer, &QTimer::timeout, this, [this] { ReqTime(); });
}

TLogFacet::~TLogFacet() = default;

void TLogFacet::BuildLogPage(TTabSet* tabs)
{
    tsLog = tabs->AddPage(kLogCaption);
    Memo = new QPlainTextEdit(tsLog);
    Memo->setFont(AppFont(9));
    auto* l = new QVBoxLayout(tsLog);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(Memo);
    FLog = std::make_unique<TLogPanel>(tabs, tabs->indexOf(tsLog), Memo, Ctx.Clock());
    connect(tabs, &QTabWidget::currentChanged, this, [this](int i) { FLog->OnTabChanged(i); });
}

void TLogFacet::BuildClock(QWidget* top)
{
    pnlClock = new QWidget(top);
    lbClock = new QLabel(pnlClock);
    lbClock->setFont(AppFont(11, true));
    QPalette p = lbClock->palette();
    p.setColor(QPalette::WindowText, Colors::Flat);
    lbClock->setPalette(p);
    lbClock->move(Scaled(4), Scaled(1));
    lbClockNote = new QLabel(pnlClock);
    lbClockNote->setFont(AppFont(8));
    lbClockNote->move(Scaled(230), Scaled(11));
    OnResize(top, [this, top] { pnlClock->setGeometry(top->width() - Scaled(600), 0, Scaled(600), top->height()); });
    FClockTimer.start();
    FSyncTimer.start();
    UpdateClock();
}

void TLogFacet::Log(const QString& text)
{
    if (FLog)
        FLog->Log(text);
}

void TLogFacet::UpdateClock()
{
    if (!lbClock)
        return;
    const TServerClock& sc = Ctx.ServerClock();
    const QString text = sc.ClockText();
    if (text != FLastClockText) {
        FLastClockText = text;
        lbClock->setText(text);
        lbClock->adjustSize();
    }
    const QString note = sc.NoteText();
    if (lbClockNote->text() != note) {
        lbClockNote->setText(note);
        lbClockNote->adjustSize();
    }
    QPalette p = lbClockNote->palette();
    if (p.color(QPalette::WindowText) != sc.NoteColor()) {
        p.setColor(QPalette::WindowText, sc.NoteColor());
        lbClockNote->setPalette(p);
    }
    lbClockNote->move(lbClock->x() + lbClock->width() + Scaled(10), Scaled(11));
}

void TLogFacet::ReqTime()
{
    if (!Ctx.FLogged)
        return;
    Ctx.FQ->Add(QStringLiteral("t0167"), [this] {
        TXAQuery* q = Ctx.B.qTime;
        if (!Ctx.SetQueryRes(q, QStringLiteral("t0167")))
            return;
        q->SetFieldData(QStringLiteral("t0167InBlock"), QStringLiteral("id"), 0, QString());
        Ctx.ServerClock().MarkSent();
        if (Ctx.Send(q, false, {QString(), 0, ++FTimeSeq}) < 0)
            TFacet::Log(QStringLiteral("!! 서버 시각 조회 실패"));
    });
}

void TLogFacet::OnTimeData()
{
    const QString b = QStringLiteral("t0167OutBlock");
    TXAQuery* q = Ctx.B.qTime;
    // The offset is taken from the answer of the latest request: its send
    // time is the one the clock marked.
    const std::optional<TReqBind> bind = Ctx.Bound(q);
    if (!bind || bind->Run != FTimeSeq)
        return;
    Log(Ctx.ServerClock().OnTimeData(q->GetFieldData(b, QStringLiteral("dt"), 0),
                                     q->GetFieldData(b, QStringLiteral("time"), 0)));
}
