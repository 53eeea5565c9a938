#include "app/board/BoardFacet.h"

#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/ResLayout.h"
#include "broker/XingApi.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/NumFmt.h"
#include "core/ServiceHost.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

namespace {

// A board label: plain text, a click reports its tag.
class TBoardLabelW : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void(int)> OnClick;
    int Tag = -1;

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && OnClick && rect().contains(e->position().toPoint()))
            OnClick(Tag);
    }
};

constexpr int kMaxLabels = 8;

QString Fmt2(double v) { return FormatFloat(QStringLiteral("#,##0.00"), v); }

} // namespace

TBoardFacet::TBoardFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent), FBoard(InitBoard()) {}

TBoardFacet::~TBoardFacet() = default;

void TBoardFacet::BuildSelector(QWidget* top)
{
    FTop = top;
    cbBoard = new QComboBox(top);
    cbBoard->setFont(AppFont(9));
    cbBoard->addItems({QStringLiteral("미국지수"), QStringLiteral("한국지수"), QStringLiteral("삼전닉스"),
                       QStringLiteral("투자자 통합"), QStringLiteral("투자자 KRX"), QStringLiteral("투자자 NXT"),
                       QStringLiteral("ETN개인")});
    Place(cbBoard, 8, 7, 110);
    for (int i = 0; i < kMaxLabels; ++i) {
        auto* l = new TBoardLabelW(top);
        l->setTextFormat(Qt::PlainText);
        l->setFont(AppFont(9, true));
        l->setCursor(Qt::PointingHandCursor);
        l->OnClick = [this](int tag) { OnBoardLabelClick(tag); };
        l->hide();
        FLabels.append(l);
    }
    QObject::connect(cbBoard, &QComboBox::currentIndexChanged, this, [this](int) { OnBoardPage(); });
    DrawBoard();
}

void TBoardFacet::OnLogin()
{
    FRot.Login();
    FUSDue = false;
    DrawBoard();   // the status label has its logged-in text now
}

void TBoardFacet::SecondTick(int tick)
{
    Q_UNUSED(tick);
    if (FUSDue) {   // the window's way of saying the login has completed
        FUSDue = false;
        FRot.Login();
    }
    const TBoardRotation::TStep step = FRot.Second(Ctx.FLogged, Ctx.Clock().TickMs());
    if (FRot.Tick() % 1800 == 15)
        FetchEtn();
    if (step.TimedOut >= 0) {
        JobWarn(step.TimedOut, QStringLiteral("전광판: %1 응답 없음 — 건너뜀").arg(BoardJobName(step.TimedOut, FBoard)));
        FBoardJob = -1;
    }
    if (step.Start >= 0)
        BoardSend(step.Start);
}

void TBoardFacet::LoadLayout(const TIniFile& ini)
{
    cbBoard->setCurrentIndex(qBound(0, ini.ReadInteger(QStringLiteral("UI"), QStringLiteral("BOARD"), 0), kBoardPages - 1));
    OnBoardPage();
}

void TBoardFacet::SaveLayout(TIniFile& ini) const
{
    ini.WriteInteger(QStringLiteral("UI"), QStringLiteral("BOARD"), cbBoard->currentIndex());
}

// ---- queries -------------------------------------------------------------------------

bool TBoardFacet::EnsureQueries()
{
    if (qUS)
        return true;
    if (!Ctx.FBackend)
        return false;
    const auto make = [this](void (TBoardFacet::*onData)(), bool boardMsgs) {
        TXAQuery* q = Ctx.FBackend->CreateQuery(this);
        connect(q, &TXAQuery::ReceiveData, this, [this, onData](const QString&) { (this->*onData)(); });
        if (boardMsgs)
            connect(q, &TXAQuery::ReceiveMessage, this,
                    [this, q](bool e, const QString& c, const QString& m) { OnBoardMsg(q, e, c, m); });
        return q;
    };
    qUS = make(&TBoardFacet::OnBoardUS, true);
    qKIdx8 = make(&TBoardFacet::OnBoardIdx, true);
    qBoard = make(&TBoardFacet::OnBoardStocks, true);
    qInv = make(&TBoardFacet::OnBoardInv, true);
    qPopS = make(&TBoardFacet::OnPopStock, false);
    qPopI = make(&TBoardFacet::OnPopIndex, false);
    qPopU = make(&TBoardFacet::OnPopUS, false);
    qInvP = make(&TBoardFacet::OnInvFlowData, false);
    for (TXAQuery* q : {qPopS, qPopI, qPopU})
        connect(q, &TXAQuery::ReceiveMessage, this, [this, q](bool e, const QString& c, const QString& m) {
            if (PopBound(q) && TAppContext::IsSignificant(e, c))
                PopMsg(QStringLiteral("[%1] %2").arg(c, EtnPlain(m, 120)));
        });
    connect(qInvP, &TXAQuery::ReceiveMessage, this, [this](bool e, const QString& c, const QString& m) {
        const std::optional<TReqBind> b = Ctx.Bound(qInvP);
        if (!b || b->Run != FInvSerial || !TAppContext::IsSignificant(e, c))
            return;
        FInvMsg = QStringLiteral("[%1] %2").arg(c, EtnPlain(m, 120));
        if (FInvPB)
            FInvPB->update();
    });
    return true;
}

void TBoardFacet::BoardSend(int job)
{
    if (!EnsureQueries())
        return;
    const quint64 serial = FRot.Begin(job, Ctx.Clock().TickMs());
    FBoardJob = job;
    const QString ex = BoardExCode(FBoardPage);
    Ctx.FQ->Add(BoardJobTag(job), [this, job, serial, ex] {
        if (!FRot.Accept(serial))
            return;   // dropped while it waited
        TXAQuery* q = job <= 2 ? qUS : job <= 4 ? qKIdx8 : job == 5 ? qBoard : qInv;
        const QString tr = job <= 2 ? QStringLiteral("t3521") : job <= 4 ? QStringLiteral("t8409") : job == 5 ? QStringLiteral("t8407") : QStringLiteral("t1601");
        if (!Ctx.SetQueryRes(q, tr)) {
            FRot.Drop();
            FBoardJob = -1;
            return;
        }
        const QString ib = tr + QStringLiteral("InBlock");
        const auto set = [q, &ib](const char* f, const QString& v) { q->SetFieldData(ib, QString::fromLatin1(f), 0, v); };
        if (job <= 2) {
            if (!FUSLimLogged) {
                FUSLimLogged = true;
                Log(QStringLiteral("전광판: t3521 전송 제한 — %1초당 %2건 · 10분당 %3건")
                        .arg(q->GetTRCountBaseSec(tr))
                        .arg(q->GetTRCountPerSec(tr))
                        .arg(q->GetTRCountLimit(tr)));
            }
            set("kind", QStringLiteral("S"));
            set("symbol", BoardSymbol(job));
        } else if (job <= 4) {
            set("shcode", BoardSymbol(job));
            set("ncnt", QStringLiteral("1"));
            set("qrycnt", QStringLiteral("3"));
            set("nday", QStringLiteral("1"));
            for (const char* f : {"sdate", "stime", "etime", "cts_date", "cts_time"})
                set(f, QString());
            set("edate", Ctx.Today());
            set("comp_yn", QStringLiteral("N"));
        } else if (job == 5) {
            set("nrec", QStringLiteral("2"));
            set("shcode", QStringLiteral("005930000660"));
        } else {
            set("gubun1", QStringLiteral("2"));
            set("gubun2", QStringLiteral("2"));
            set("gubun3", QStringLiteral("1"));
            set("gubun4", QStringLiteral("2"));
            set("exchgubun", ex);
            FInvExSent = ex;
        }
        const int r = Ctx.Send(q, false, TReqBind{QString(), job, serial, 0});
        if (r < 0)
            BoardFail(job, r);
    });
}

void TBoardFacet::BoardDone(int job, bool ok)
{
    if (ok)
        FFail.Success(job);
    FRot.Finish(job);
    FBoardJob = -1;
    DrawBoard();
}

void TBoardFacet::BoardFail(int job, int code)
{
    if (code != 0)
        JobWarn(job, QStringLiteral("전광판: %1 요청 실패 (코드 %2)").arg(BoardJobName(job, FBoard)).arg(code));
    else
        JobWarn(job, QStringLiteral("전광판: %1 응답 없음 — 건너뜀").arg(BoardJobName(job, FBoard)));
    FRot.Finish(job);
    FBoardJob = -1;
}

void TBoardFacet::JobWarn(int job, const QString& line)
{
    if (FFail.Take(job))
        Log(line);
}

bool TBoardFacet::InFlight(TXAQuery* q, int* job) const
{
    const std::optional<TReqBind> b = Ctx.Bound(q);
    if (!b || !FRot.Accept(b->Run))
        return false;
    *job = b->Per;
    return true;
}

void TBoardFacet::OnBoardMsg(TXAQuery* q, bool sysErr, const QString& code, const QString& msg)
{
    int job = -1;
    if (!TAppContext::IsSignificant(sysErr, code) || !InFlight(q, &job))
        return;
    JobWarn(job, QStringLiteral("전광판 [%1] %2: %3").arg(code, BoardJobName(job, FBoard), EtnPlain(msg, 120)));
    FRot.Finish(job);
    FBoardJob = -1;
}

// ---- answers -----------------------------------------------------------------------------

void TBoardFacet::OnBoardUS()
{
    int job = -1;
    if (!InFlight(qUS, &job) || job < 0 || job > 2)
        return;
    const QString blk = QStringLiteral("t3521OutBlock");
    const QString symbol = qUS->GetFieldData(blk, QStringLiteral("symbol"), 0).trimmed();
    int item = UsItemOf(symbol);
    if (item < 0) {
        item = job;
        if (!symbol.isEmpty())
            Log(QStringLiteral("전광판: ") + BoardSymbol(job) + QStringLiteral(" 요청에 다른 심벌로 응답: ") + EtnPlain(symbol, 20));
    }
    const double px = ParseNum(qUS->GetFieldData(blk, QStringLiteral("close"), 0));
    const double rt = SignedRate(ParseNum(qUS->GetFieldData(blk, QStringLiteral("diff"), 0)), qUS->GetFieldData(blk, QStringLiteral("sign"), 0));
    if (px > 0) {
        FBoard[item].Px = px;
        FBoard[item].Rt = rt;
        FBoard[item].Ok = true;
        BoardDone(job);
    } else {
        JobWarn(job, QStringLiteral("전광판: ") + FBoard[item].Nm + QStringLiteral(" 응답 비어 있음 (심벌 ") + EtnPlain(symbol, 20) + QStringLiteral(")"));
        BoardDone(job, false);
    }
}

void TBoardFacet::OnBoardIdx()
{
    int job = -1;
    if (!InFlight(qKIdx8, &job) || (job != 3 && job != 4))
        return;
    const double prev = ParseNum(qKIdx8->GetFieldData(QStringLiteral("t8409OutBlock"), QStringLiteral("jiclose"), 0));
    const QString blk = QStringLiteral("t8409OutBlock1");
    const int n = std::min(qKIdx8->GetBlockCount(blk), 5000);
    QStringList keys;
    for (int i = 0; i < n; ++i)
        keys << qKIdx8->GetFieldData(blk, QStringLiteral("date"), i).trimmed() + qKIdx8->GetFieldData(blk, QStringLiteral("time"), i).trimmed();
    const int at = LatestRow(keys);
    const double level = at >= 0 ? ParseNum(qKIdx8->GetFieldData(blk, QStringLiteral("close"), at)) : 0;
    TBoardItem& it = FBoard[job];
    if (level > 0 && prev > 0) {
        it.Px = level;
        it.Rt = (level / prev - 1) * 100;
        it.Ok = true;
        if (!FKIdxLogged[job - 3]) {
            FKIdxLogged[job - 3] = true;
            Log(QStringLiteral("전광판 %1: %2 (전일 %3 · %4%) — t8409 마지막 봉 %5")
                    .arg(it.Nm, Fmt2(level), Fmt2(prev), FormatFloat(QStringLiteral("+0.00;-0.00"), it.Rt), EtnPlain(keys[at], 20)));
        }
        BoardDone(job);
    } else {
        JobWarn(job, QStringLiteral("전광판: ") + it.Nm + QStringLiteral(" 응답 비어 있음 (t8409 ") + BoardSymbol(job) + QStringLiteral(")"));
        BoardDone(job, false);
    }
}

void TBoardFacet::OnBoardStocks()
{
    int job = -1;
    if (!InFlight(qBoard, &job) || job != 5)
        return;
    if (!FBoardFld.Ok) {
        const TResFields f = LoadResFields(Ctx.FCfg.ResPath + QStringLiteral("t8407.res"), QStringLiteral("t8407OutBlock1"));
        FBoardFld.Code = FindField(f, {QStringLiteral("종목코드"), QStringLiteral("단축코드")}, QStringLiteral("shcode"));
        FBoardFld.Px = FindField(f, {QStringLiteral("현재가")}, QStringLiteral("price"));
        FBoardFld.Rt = FindField(f, {QStringLiteral("등락율"), QStringLiteral("등락률")}, QStringLiteral("diff"));
        FBoardFld.Sign = FindField(f, {QStringLiteral("전일대비구분"), QStringLiteral("대비구분")}, QStringLiteral("sign"));
        FBoardFld.Ok = true;
    }
    const QString blk = QStringLiteral("t8407OutBlock1");
    const int n = std::min(qBoard->GetBlockCount(blk), 50);
    bool any = false;
    for (int i = 0; i < n; ++i) {
        QString code = qBoard->GetFieldData(blk, FBoardFld.Code, i).trimmed();
        if (code.size() > 6)
            code = code.right(6);
        const int item = code == QLatin1String("005930") ? 5 : code == QLatin1String("000660") ? 6 : -1;
        const double px = ParseNum(qBoard->GetFieldData(blk, FBoardFld.Px, i));
        if (item < 0 || px <= 0)
            continue;
        FBoard[item].Px = px;
        FBoard[item].Rt = SignedRate(ParseNum(qBoard->GetFieldData(blk, FBoardFld.Rt, i)), qBoard->GetFieldData(blk, FBoardFld.Sign, i));
        FBoard[item].Ok = true;
        any = true;
    }
    if (!any)
        JobWarn(5, QStringLiteral("전광판: 삼성전자·SK하이닉스 응답 비어 있음"));
    BoardDone(5, any);
}

void TBoardFacet::OnBoardInv()
{
    int job = -1;
    if (!InFlight(qInv, &job) || job != 6)
        return;
    double v[6] = {0, 0, 0, 0, 0, 0};
    const bool any = ReadInvFigures([this](const QString& b, const QString& f) { return qInv->GetFieldData(b, f, 0); }, v);
    if (!any) {
        // An empty answer keeps the figures held.
        JobWarn(6, QStringLiteral("전광판: 투자자별 순매수 응답 비어 있음 (t1601 ") + FInvExSent + QStringLiteral(")"));
        BoardDone(6, false);
        return;
    }
    std::copy(v, v + 6, FInv.V);
    FInv.Ok = true;
    FInv.Ex = FInvExSent;
    if (!FInvLogged) {
        FInvLogged = true;
        QStringList s;
        for (double x : v)
            s << FormatFloat(QStringLiteral("#,##0"), x);
        Log(QStringLiteral("투자자 순매수(t1601 %1, 억원): 코스피 외인 %2 기관 %3 개인 %4 · 코스닥 외인 %5 기관 %6 개인 %7")
                .arg(FInv.Ex, s[0], s[1], s[2], s[3], s[4], s[5]));
    }
    BoardDone(6);
}

// ---- the strip -------------------------------------------------------------------------------

void TBoardFacet::OnBoardPage()
{
    FBoardPage = cbBoard ? std::max(0, cbBoard->currentIndex()) : 0;
    if (FBoardPage >= 3 && FBoardPage <= 5 && FInv.Ex != BoardExCode(FBoardPage) && Ctx.FLogged && FRot.Job() < 0)
        BoardSend(6);
    DrawBoard();
}

void TBoardFacet::DrawBoard()
{
    if (!FTop)
        return;
    TBoardEtn etn;
    etn.Ok = FEtn.Ok;
    etn.Msg = FEtn.Msg;
    etn.Date = FEtn.Doc.Date;
    etn.PrevDate = FEtn.Doc.PrevDate;
    std::copy(FEtn.Doc.Inv.begin(), FEtn.Doc.Inv.end(), etn.Inv);
    std::copy(FEtn.Doc.Chg.begin(), FEtn.Doc.Chg.end(), etn.Chg);
    const QVector<TBoardLabel> labels = BoardLabels(FBoardPage, FBoard, FInv, etn);
    int x = StatusRight ? StatusRight() + Scaled(40) : cbBoard->geometry().right() + Scaled(16);
    const int gap = Scaled(BoardGap(FBoardPage));
    for (int i = 0; i < FLabels.size(); ++i) {
        auto* w = static_cast<TBoardLabelW*>(FLabels[i]);
        if (i >= labels.size()) {
            w->hide();
            continue;
        }
        const TBoardLabel& l = labels[i];
        x += Scaled(l.GapBefore);
        w->Tag = l.Tag;
        w->setText(l.Text);   // our own texts (the ETN message included)
        QPalette pal = w->palette();
        pal.setColor(QPalette::WindowText, QColor::fromRgb(QRgb(l.Rgb)));
        w->setPalette(pal);
        w->adjustSize();
        w->move(x, (FTop->height() - w->height()) / 2);
        w->show();
        x += w->width() + gap;
    }
    if (cbBoard)
        Place(cbBoard, 8, 7, 110);
}

void TBoardFacet::OnBoardLabelClick(int tag)
{
    if (tag == 9) {
        ShowEtnPop();
        return;
    }
    if (!Ctx.FLogged) {
        Log(QStringLiteral("로그인 뒤에 볼 수 있습니다"));
        return;
    }
    if (tag == 7 || tag == 8) {
        ShowInvFlow();
        return;
    }
    if (tag < 0 || tag >= kBoardItems)
        return;
    FPopItem = tag;
    FPopT.clear();
    FPopV.clear();
    FPopPrev = 0;
    FPopMX = -1;
    FPopMsg = QStringLiteral("불러오는 중...");
    QDialog* d = MakePopWindow(FBoard[tag].Nm + QStringLiteral("  오늘 흐름"), 640, 0.5, 380, 0.4, &FPopPB,
                               [this](QPainter& p, const QRect& r) { PaintPop(p, r); }, true);
    PopRequest(tag);
    Exec(d);
}

// ---- ETN ---------------------------------------------------------------------------------------

void TBoardFacet::FetchEtn()
{
    if (FEtn.Fetching)
        return;
    FEtn.Fetching = true;
    Ctx.ServiceHost().Get(ServicePath(TServiceKind::Etn), ServiceOptions(TServiceKind::Etn), this, [this](const TFetchResult& r) {
        FEtn.Fetching = false;
        OnEtnJson(r.Text());
    });
}

void TBoardFacet::OnEtnJson(const QString& body)
{
    const bool failed = body.isEmpty() || body.startsWith(QLatin1String("#ERR"));
    const QString line = FEtn.Apply(body);
    if (!line.isEmpty())
        Log(line);
    if (FBoardPage == 6)
        DrawBoard();
    if (!failed && FEtnPB)
        FEtnPB->update();
}
