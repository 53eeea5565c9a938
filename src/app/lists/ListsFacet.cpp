#include "app/lists/ListsFacet.h"

#include "app/UiKit.h"
#include "app/news/NewsList.h"
#include "broker/ReqQueue.h"
#include "broker/ResLayout.h"
#include "broker/XingApi.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/NumFmt.h"
#include "core/ServerClock.h"
#include "core/ServiceHost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace {

const QString L = QStringLiteral("LAYOUT");
const QString U = QStringLiteral("UI");
const QColor kRise(229, 57, 53), kFall(30, 136, 229), kOrange(0xE0, 0x80, 0x00), kPurple(110, 20, 128);
const QColor kGreyText(0x60, 0x60, 0x60), kDim(0xA0, 0xA0, 0xA0), kSel(0xD2, 0xE6, 0xF7);

// A header caption that sorts its column when clicked.
class THeadLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && OnClick)
            OnClick();
    }
};

const QStringList& ShortCaptions()
{
    static const QStringList c = {QStringLiteral("상태"), QStringLiteral("종목"), QStringLiteral("금지일 (최초)"),
                                  QStringLiteral("현재가"), QStringLiteral("공매도 평단 대비 (최근 20일 평단)"),
                                  QStringLiteral("대차잔고 · 거래량 일수"), QStringLiteral("대차잔고 5일 증감"),
                                  QStringLiteral("숏 스퀴즈 압력")};
    return c;
}
const int kShortX[] = {6, 78, 196, 330, 450, 680, 860, 1020};

const QStringList& BuyCaptions()
{
    static const QStringList c = {QStringLiteral("구분"), QStringLiteral("종목"), QStringLiteral("방식"), QStringLiteral("신청수량"),
                                  QStringLiteral("평소 거래량 (20일 · 5일 · 거래대금)"), QStringLiteral("20일比"),
                                  QStringLiteral("5일比"), QStringLiteral("금액(종가)"), QStringLiteral("연속"),
                                  QStringLiteral("최근 체결 (체결/신청 · 평균가)"),
                                  QStringLiteral("직접 취득 진행 (누적/신고 · 남은 양)"),
                                  QStringLiteral("취득 기한 (남은 거래일 · 하루 꼭 사야 할 양)")};
    return c;
}
const int kBuyX[] = {6, 64, 196, 262, 356, 580, 664, 750, 834, 886, 1140, 1460};

// Text at (x, y) with the painter's font, top-left anchored.
void TextAt(QPainter& p, int x, int y, const QString& t, const QColor& c)
{
    p.setPen(c);
    p.drawText(QPoint(x, y + p.fontMetrics().ascent()), t);
}

// A filled badge: the text at (x, y), the box 3 px wider on each side.
void Badge(QPainter& p, int x, int y, const QString& t, const QColor& fg, const QColor& bg)
{
    const QFontMetrics fm = p.fontMetrics();
    const int th = fm.height();
    p.fillRect(QRect(x - 3, y - 1, fm.horizontalAdvance(t) + 6, th + 2), bg);
    TextAt(p, x, y, t, fg);
}

void SetBold(QPainter& p, bool bold)
{
    QFont f = p.font();
    f.setBold(bold);
    p.setFont(f);
}

QColor SignColor(double v) { return v > 0 ? kRise : v < 0 ? kFall : QColor(0x40, 0x40, 0x40); }

// A section of `h` as an x range inside a row rect.
QRect Cell(const QHeaderView* h, const QRect& r, int i)
{
    return QRect(r.left() + h->sectionViewportPosition(i), r.top(), h->sectionSize(i), r.height());
}

bool IsRateLimit(const QString& code, const QString& msg)
{
    return code == QLatin1String("IGW00201") || msg.contains(QStringLiteral("전송제한"));
}

}  // namespace

TListsFacet::TListsFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

QString TListsFacet::NowHms() const { return Ctx.Clock().Now().toString(QStringLiteral("hh:mm:ss")); }

bool TListsFacet::EnsureQueries()
{
    if (qRank)
        return true;
    if (!Ctx.FBackend)
        return false;
    qRank = Ctx.FBackend->CreateQuery(this);
    qShortPx = Ctx.FBackend->CreateQuery(this);
    qBrk = Ctx.FBackend->CreateQuery(this);
    connect(qRank, &TXAQuery::ReceiveData, this, [this](const QString&) { OnRankData(); });
    connect(qShortPx, &TXAQuery::ReceiveData, this, [this](const QString&) { OnShortPx(); });
    connect(qBrk, &TXAQuery::ReceiveData, this, [this](const QString&) { OnBrokerData(); });
    connect(qRank, &TXAQuery::ReceiveMessage, this, [this](bool e, const QString& c, const QString& m) {
        const std::optional<TReqBind> b = Ctx.Bound(qRank);
        if (!b || b->Run != FRankRun || !TAppContext::IsSignificant(e, c))
            return;
        RankFailed(QStringLiteral("[") + c + QStringLiteral("] 순위 (") + FRankTr + QStringLiteral("): ") + m
                   + (IsRateLimit(c, m) ? QStringLiteral(" — 1분 뒤에 다시") : QString()));
    });
    connect(qShortPx, &TXAQuery::ReceiveMessage, this, [this](bool e, const QString& c, const QString& m) {
        if (!Ctx.Bound(qShortPx) || !TAppContext::IsSignificant(e, c) || FShortPxFailed)
            return;
        FShortPxFailed = true;
        Log(QStringLiteral("[") + c + QStringLiteral("] 공매도 금지 종목 시세: ") + m);
    });
    connect(qBrk, &TXAQuery::ReceiveMessage, this, [this](bool e, const QString& c, const QString& m) {
        const std::optional<TReqBind> b = Ctx.Bound(qBrk);
        if (!b || b->Run != FBrkRun || !TAppContext::IsSignificant(e, c) || FBrkFailed)
            return;
        FBrkFailed = true;
        Log(QStringLiteral("[") + c + QStringLiteral("] 거래원(t1102): ") + m);
    });
    return true;
}

TMasterName TListsFacet::Master() const
{
    // Without a master yet the service's names stand; the lists are read
    // again when it arrives (OnMasterData).
    if (!KnownCode || !HasMaster || !HasMaster())
        return nullptr;
    return [this](const QString& code) { return KnownCode(code) ? Ctx.NameOf(code) : QString(); };
}

// ---- building ----------------------------------------------------------------

void TListsFacet::BuildRankPage(TTabSet* tabs)
{
    pcTick = tabs;
    tsRank = tabs->AddPage(QStringLiteral("  급등 · 순위  "));
    auto* v = VBox(tsRank);
    QWidget* strip = MakeStrip(tsRank, 32, QColor(244, 244, 244));
    cbRankKind = new QComboBox(strip);
    cbRankKind->setFont(AppFont(9));
    cbRankKind->addItems({QStringLiteral("전일 동시간 대비 거래급증"), QStringLiteral("상승률 상위"), QStringLiteral("하락률 상위"),
                          QStringLiteral("거래대금 상위")});
    Place(cbRankKind, 4, 4, 176);
    cbRankMkt = new QComboBox(strip);
    cbRankMkt->setFont(AppFont(9));
    cbRankMkt->addItems({QStringLiteral("전체"), QStringLiteral("코스피"), QStringLiteral("코스닥")});
    Place(cbRankMkt, 184, 4, 76);
    lbRankTime = MakeLabel(strip, 266, 8, QString(), QColor(112, 112, 112));
    lbRankTime->setTextFormat(Qt::PlainText);
    v->addWidget(strip);
    hcRank = MakeHeader(tsRank, {{QStringLiteral("순위"), 30}, {QStringLiteral("종목"), 138}, {QStringLiteral("현재가"), 68},
                                 {QStringLiteral("등락률"), 64}, {QStringLiteral("거래량"), 68},
                                 {QStringLiteral("전일동시"), 72}, {QStringLiteral("급증률"), 70}});
    v->addWidget(hcRank);
    lbRank = new TNewsList(tsRank);
    lbRank->setFrameShape(QFrame::NoFrame);
    lbRank->SetRowLook(22, 9);
    lbRank->PaintRow = [this](QPainter& p, const QRect& r, int row, bool sel) { PaintRankRow(p, r, row, sel); };
    lbRank->OnDoubleClick = [this](int row) {
        if (row >= 0 && row < FRank.size() && FRank[row].Code != Ctx.FCode && SelectStock)
            SelectStock(FRank[row].Code);
    };
    v->addWidget(lbRank, 1);
    lbRank->SetCount(1);
    connect(hcRank, &QHeaderView::sectionResized, lbRank, [this] { lbRank->Refresh(); });
    connect(cbRankKind, &QComboBox::currentIndexChanged, this, [this] { RankSelectorChanged(); });
    connect(cbRankMkt, &QComboBox::currentIndexChanged, this, [this] { RankSelectorChanged(); });
    connect(tabs, &QTabWidget::currentChanged, this, [this] {
        if (RankActive())
            ReqRank();
    });
}

void TListsFacet::BuildListPages(TTabSet* tabs)
{
    pcIssue = tabs;
    const auto headerStrip = [](QWidget* page, const QStringList& caps, const int* xs, QVector<QLabel*>& out,
                                std::function<void(int)> click) {
        QWidget* top = MakeStrip(page, 24, QColor(0xF4, 0xF4, 0xF4));
        for (int i = 0; i < caps.size(); ++i) {
            auto* l = new THeadLabel(caps[i], top);
            l->setFont(AppFont(9));
            l->setTextFormat(Qt::PlainText);
            QPalette pal = l->palette();
            pal.setColor(QPalette::WindowText, kGreyText);
            l->setPalette(pal);
            l->setCursor(Qt::PointingHandCursor);
            l->setProperty("col", i);
            Place(l, xs[i], 4);
            l->adjustSize();
            l->OnClick = [click, i] { click(i); };
            out.append(l);
        }
        return top;
    };
    // Short-sale bans.
    tsShort = tabs->AddPage(QStringLiteral("  공매도 금지  "));
    {
        auto* v = VBox(tsShort);
        v->addWidget(headerStrip(tsShort, ShortCaptions(), kShortX, lbShortH, [this](int c) { ShortHeaderClick(c); }));
        lbShort = new TNewsList(tsShort);
        lbShort->setFrameShape(QFrame::NoFrame);
        lbShort->SetRowLook(42, 9);
        lbShort->PaintRow = [this](QPainter& p, const QRect& r, int row, bool sel) { PaintShortRow(p, r, row, sel); };
        lbShort->OnDoubleClick = [this](int row) {
            if (row >= 0 && row < FShort.size() && FShort[row].Code != Ctx.FCode && SelectStock)
                SelectStock(FShort[row].Code);
        };
        lbShort->SetCount(1);
        v->addWidget(lbShort, 1);
        QWidget* bottom = MakeStrip(tsShort, 24, QColor(0xF8, 0xF8, 0xF8));
        lbShortStat = MakeLabel(bottom, 8, 4, QString(), kGreyText);
        lbShortStat->setTextFormat(Qt::PlainText);
        v->addWidget(bottom);
    }
    // Buybacks.
    tsBuy = tabs->AddPage(QStringLiteral("  자사주  "));
    {
        auto* v = VBox(tsBuy);
        v->addWidget(headerStrip(tsBuy, BuyCaptions(), kBuyX, lbBuyH, [this](int c) { BuyHeaderClick(c); }));
        lbBuy = new TNewsList(tsBuy);
        lbBuy->setFrameShape(QFrame::NoFrame);
        lbBuy->SetRowLook(64, 9);
        lbBuy->PaintRow = [this](QPainter& p, const QRect& r, int row, bool sel) { PaintBuyRow(p, r, row, sel); };
        lbBuy->OnDoubleClick = [this](int row) {
            if (row >= 0 && row < FBuy.size() && FBuy[row].Code != Ctx.FCode && SelectStock)
                SelectStock(FBuy[row].Code);
        };
        lbBuy->SetCount(1);
        v->addWidget(lbBuy, 1);
        QWidget* bottom = MakeStrip(tsBuy, 24, QColor(0xF8, 0xF8, 0xF8));
        chkBuyLiq = MakeCheck(bottom, 8, 3, QStringLiteral("매매 후보만 보기"), Colors::Flat, true);
        Place(chkBuyLiq, 8, 3, 170, 20);
        lbBuySum = MakeLabel(bottom, 190, 4, QString(), kGreyText);
        lbBuySum->setTextFormat(Qt::PlainText);
        v->addWidget(bottom);
        connect(chkBuyLiq, &QCheckBox::clicked, this, [this] { FilterBuyList(); });
    }
}

QWidget* TListsFacet::BuildBrokerBox()
{
    pbBrk = new TPaintBox();
    pbBrk->setFixedHeight(Scaled(152));
    pbBrk->OnPaint = [this](QPainter& p, const QRect& r) { PaintBroker(p, r); };
    return pbBrk;
}

void TListsFacet::LoadLayout(const TIniFile& ini)
{
    chkBuyLiq->setChecked(ini.ReadBool(U, QStringLiteral("BUYLIQ"), true));
    ApplyHeaderWidths(hcRank, IntListOf(ini.ReadString(L, QStringLiteral("RANKW"), QString())));
}

void TListsFacet::SaveLayout(TIniFile& ini) const
{
    ini.WriteBool(U, QStringLiteral("BUYLIQ"), chkBuyLiq->isChecked());
    ini.WriteString(L, QStringLiteral("RANKW"), IntListText(HeaderWidths(hcRank)));
}

// ---- scheduling --------------------------------------------------------------

void TListsFacet::Start()
{
    FetchShort();
    FetchBuy();
}

void TListsFacet::SecondTick(int counter)
{
    if (counter % 600 == 25)
        FetchShort();
    if (counter % 30 == 12)
        ReqShortPx();
    if (counter % 600 == 45)
        FetchBuy();
    if (counter % 60 == 7 && RankActive())
        ReqRank();
    if (counter % 10 == 4)
        ReqBroker();
}

void TListsFacet::OnMasterData()
{
    // The lists held are read again against the master; one still on its way
    // is read against it when it comes.
    if (!FShortBody.isEmpty())
        OnShortJson(FShortBody);
    else
        FetchShort();
    if (!FBuyBody.isEmpty())
        OnBuyJson(FBuyBody);
    else
        FetchBuy();
}

void TListsFacet::OnStockChanged()
{
    FBrkCode.clear();
    FBrkAt.clear();
    if (pbBrk)
        pbBrk->update();
    ReqBroker();
    UpdateBuyMarker();
}

// ---- short-sale bans ---------------------------------------------------------

void TListsFacet::FetchShort()
{
    if (FShortFetching)
        return;
    FShortFetching = true;
    Ctx.ServiceHost().Get(ServicePath(TServiceKind::ShortBan), ServiceOptions(TServiceKind::ShortBan), this,
                          [this](const TFetchResult& r) {
                              FShortFetching = false;
                              OnShortJson(r.Text());
                          });
}

void TListsFacet::OnShortJson(const QString& body)
{
    if (body.isEmpty() || body.startsWith(QLatin1String("#ERR"))) {
        if (body != FShortLogged) {
            Log(QStringLiteral("공매도 금지: 서버 응답 없음 ") + body.left(200));
            FShortLogged = body;
        }
        return;
    }
    // The new list is built apart and taken whole, or not at all.
    TShortList list = ParseShortBan(body.toUtf8(), Master());
    if (!list.Ok) {
        const QString note = QStringLiteral("#BAD");
        if (FShortLogged != note) {
            Log(QStringLiteral("공매도 금지: 받은 목록을 읽을 수 없어 이전 목록을 그대로 둡니다"));
            FShortLogged = note;
        }
        return;
    }
    const int top = lbShort ? lbShort->TopRow() : 0;
    FShortList = std::move(list);
    FShortBody = body;
    SortShortList();
    FShortMade = FShortList.Made;
    if (lbShortStat) {
        lbShortStat->setText(FShortList.Stats);
        lbShortStat->adjustSize();
    }
    if (lbShort) {
        lbShort->SetCount(std::max<int>(1, int(FShort.size())));
        if (top < FShort.size())
            lbShort->SetTopRow(top);
        lbShort->Refresh();
    }
    if (pcIssue && tsShort)
        pcIssue->setTabText(pcIssue->indexOf(tsShort), ShortCaption(FShortList.New, FShortList.Ext));
    ReqShortPx();
    if (FShortMade != FShortLogged) {
        FShortLogged = FShortMade;
        Log(QStringLiteral("공매도 금지 목록 (서버 %1): 신규 %2 · 연장 %3 · 전체 %4종목")
                .arg(FShortMade)
                .arg(FShortList.New)
                .arg(FShortList.Ext)
                .arg(FShort.size()));
    }
}

void TListsFacet::ReqShortPx()
{
    if (!Ctx.FLogged || FShort.isEmpty() || !EnsureQueries())
        return;
    const QDateTime now = Ctx.ServerClock().ExchangeNow();
    if (!ShortPxTime(now.date().dayOfWeek(), Ctx.ServerClock().ExchangeHhmm()))
        return;
    int count = 0;
    const QString codes = ShortPxCodes(FShort, &count);
    if (count == 0)
        return;
    const QString tag = QStringLiteral("t8407sb");
    Ctx.FQ->ClearTr(tag);
    Ctx.FQ->Add(tag, [this, codes, count] {
        if (!Ctx.SetQueryRes(qShortPx, QStringLiteral("t8407")))
            return;
        const QString b = QStringLiteral("t8407InBlock");
        qShortPx->SetFieldData(b, QStringLiteral("nrec"), 0, QString::number(count));
        qShortPx->SetFieldData(b, QStringLiteral("shcode"), 0, codes);
        if (Ctx.Send(qShortPx, false, TReqBind{}) < 0 && !FShortPxFailed) {
            FShortPxFailed = true;
            Log(QStringLiteral("!! 공매도 금지 종목 시세 조회 실패"));
        }
    });
}

void TListsFacet::OnShortPx()
{
    if (!Ctx.Bound(qShortPx))
        return;
    if (!FPxFld.Ok) {
        const TResFields f = LoadResFields(Ctx.FCfg.ResPath + QStringLiteral("t8407.res"), QStringLiteral("t8407OutBlock1"));
        FPxFld.Code = FindField(f, {QStringLiteral("종목코드"), QStringLiteral("단축코드")}, QStringLiteral("shcode"));
        FPxFld.Px = FindField(f, {QStringLiteral("현재가")}, QStringLiteral("price"));
        FPxFld.Rate = FindField(f, {QStringLiteral("등락율"), QStringLiteral("등락률")}, QStringLiteral("diff"));
        FPxFld.Sign = FindField(f, {QStringLiteral("전일대비구분"), QStringLiteral("대비구분")}, QStringLiteral("sign"));
        FPxFld.Vol = FindField(f, {QStringLiteral("누적거래량"), QStringLiteral("거래량")}, QStringLiteral("volume"));
        FPxFld.Ok = true;
    }
    FShortPxFailed = false;
    const QString blk = QStringLiteral("t8407OutBlock1");
    const int n = std::min(qShortPx->GetBlockCount(blk), 1000);
    for (int i = 0; i < n; ++i) {
        QString code = qShortPx->GetFieldData(blk, FPxFld.Code, i).trimmed();
        if (code.size() > 6)
            code = code.right(6);
        const double price = ParseNum(qShortPx->GetFieldData(blk, FPxFld.Px, i));
        if (price <= 0)
            continue;
        double rate = std::fabs(ParseNum(qShortPx->GetFieldData(blk, FPxFld.Rate, i)));
        const QString sign = qShortPx->GetFieldData(blk, FPxFld.Sign, i).trimmed();
        if (sign == QLatin1String("4") || sign == QLatin1String("5"))
            rate = -rate;
        for (TShortRow& r : FShort) {
            if (r.Code != code)
                continue;
            r.Price = price;
            r.Chg = rate;
            r.LastVol = std::max<qint64>(0, ParseInt(qShortPx->GetFieldData(blk, FPxFld.Vol, i)));
            r.Live = true;
            RescoreShort(r);
            break;
        }
    }
    if (FShortSortCol == 3 || FShortSortCol == 4 || FShortSortCol == 7)
        SortShortList();
    if (lbShort)
        lbShort->Refresh();
}

void TListsFacet::MarkHeader(const QVector<QLabel*>& labels, const QStringList& captions, int col, bool desc)
{
    for (int i = 0; i < labels.size() && i < captions.size(); ++i) {
        QLabel* l = labels[i];
        const bool on = i == col;
        l->setText(on ? captions[i] + (desc ? QStringLiteral(" ▼") : QStringLiteral(" ▲")) : captions[i]);
        l->setFont(AppFont(9, on));
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, on ? kPurple : kGreyText);
        l->setPalette(pal);
        l->adjustSize();
    }
}

void TListsFacet::SortShortList()
{
    MarkHeader(lbShortH, ShortCaptions(), FShortSortCol, FShortSortDesc);
    SortShort(FShort, FShortSortCol, FShortSortDesc);
}

void TListsFacet::ShortHeaderClick(int col)
{
    if (col == FShortSortCol) {
        FShortSortDesc = !FShortSortDesc;
    } else {
        FShortSortCol = col;
        FShortSortDesc = ShortFirstDesc(col);
    }
    SortShortList();
    if (lbShort)
        lbShort->Refresh();
}

void TListsFacet::PaintShortRow(QPainter& p, const QRect& r, int row, bool selected)
{
    p.setFont(AppFont(9));
    const int th = p.fontMetrics().height();
    if (FShort.isEmpty()) {
        p.fillRect(r, Qt::white);
        p.setPen(QColor(0x90, 0x90, 0x90));
        p.drawText(r.adjusted(Scaled(8), 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("지금 공매도 금지 중인 종목 없음 (서버가 저녁 18~21시 20분마다 · 아침 07:40 거래소 공시로 갱신)"));
        return;
    }
    if (row < 0 || row >= FShort.size())
        return;
    const TShortRow& s = FShort[row];
    p.fillRect(r, selected ? kSel : s.Level == QStringLiteral("강") ? QColor(0xFF, 0xF0, 0xF0) : QColor(Qt::white));
    p.setClipRect(r);
    const int y1 = r.top() + 4, y2 = y1 + th + 4;
    const auto x = [&r](int col) { return r.left() + Scaled(kShortX[col]); };
    // Status.
    SetBold(p, true);
    if (s.Status == QStringLiteral("신규"))
        Badge(p, x(0), y1, QStringLiteral("신규"), Qt::white, kRise);
    else if (s.Status == QStringLiteral("연장"))
        Badge(p, x(0), y1, QStringLiteral("연장 %1회").arg(s.Ext), Qt::white, kOrange);
    else
        Badge(p, x(0), y1, s.Status.left(8), QColor(0x50, 0x50, 0x50), QColor(0xD0, 0xD0, 0xD0));
    // Name and reasons.
    TextAt(p, x(1), y1, s.Name, QColor(0x20, 0x20, 0x20));
    SetBold(p, false);
    TextAt(p, x(1), y2, s.Why, QColor(0x80, 0x80, 0x80));
    TextAt(p, x(2), y1, ShortDatesText(s), QColor(0x40, 0x40, 0x40));
    // Price.
    if (s.Price > 0)
        TextAt(p, x(3), y1,
               (s.Live ? QStringLiteral("● ") : QString()) + FmtNum(s.Price) + QLatin1Char(' ')
                   + FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), s.Chg) + QLatin1Char('%'),
               SignColor(s.Chg));
    else
        TextAt(p, x(3), y1, QStringLiteral("—"), kDim);
    // Short sellers' profit or loss.
    if (s.HasPnl) {
        QString t = s.ShortPnl > 0 ? FormatFloat(QStringLiteral("+0.0"), s.ShortPnl) + QStringLiteral("% 공매도 손실")
                                   : FormatFloat(QStringLiteral("0.0"), s.ShortPnl) + QStringLiteral("% 공매도 이익");
        if (s.ShortAvg > 0)
            t += QStringLiteral(" · 평단 ") + FmtNum(s.ShortAvg);
        SetBold(p, true);
        if (s.ShortPnl >= 10)
            Badge(p, x(4), y1, t, Qt::white, kRise);
        else if (s.ShortPnl > 0)
            Badge(p, x(4), y1, t, kRise, QColor(0xFF, 0xDC, 0xDC));
        else
            Badge(p, x(4), y1, t, kFall, QColor(0xD8, 0xEB, 0xFF));
        SetBold(p, false);
    } else {
        TextAt(p, x(4), y1, QStringLiteral("—"), kDim);
    }
    // Loan balance.
    if (s.LendQty > 0) {
        QString t = FmtNum(double(s.LendQty) / 10000.0) + QStringLiteral("만주");
        if (s.HasCover)
            t += QStringLiteral(" · ") + FormatFloat(QStringLiteral("0.0"), s.CoverDays) + QStringLiteral("일");
        SetBold(p, s.HasCover && s.CoverDays >= 3);
        TextAt(p, x(5), y1, t, QColor(0x40, 0x40, 0x40));
        SetBold(p, false);
    } else {
        TextAt(p, x(5), y1, QStringLiteral("—"), QColor(0x40, 0x40, 0x40));
    }
    // Loan balance change.
    if (s.HasLend5) {
        QString t = std::llabs(s.LendD5) < 10000
                        ? FormatFloat(QStringLiteral("+#,##0;-#,##0;0"), s.LendD5) + QStringLiteral("주")
                        : FormatFloat(QStringLiteral("+#,##0.0;-#,##0.0;0"), double(s.LendD5) / 10000.0) + QStringLiteral("만주");
        if (s.LendD5 < 0)
            t += QStringLiteral(" 상환");
        else if (s.LendD5 > 0)
            t += QStringLiteral(" 증가");
        t += QStringLiteral(" (") + FormatFloat(QStringLiteral("+0.0;-0.0;0.0"), s.Lend5) + QStringLiteral("%)");
        TextAt(p, x(6), y1, t, s.Lend5 < 0 ? kRise : kFall);
    } else {
        TextAt(p, x(6), y1, QStringLiteral("—"), kDim);
    }
    // Pressure.
    SetBold(p, true);
    if (s.Level == QStringLiteral("강"))
        Badge(p, x(7), y1, QStringLiteral("강 %1/5").arg(s.Score), Qt::white, kRise);
    else if (s.Level == QStringLiteral("중"))
        Badge(p, x(7), y1, QStringLiteral("중 %1/5").arg(s.Score), Qt::white, kOrange);
    else
        Badge(p, x(7), y1, QStringLiteral("약 %1/5").arg(s.Score), kGreyText, QColor(0xE0, 0xE0, 0xE0));
    SetBold(p, false);
    p.setClipping(false);
    p.setPen(QColor(0xEE, 0xEE, 0xEE));
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
}

// ---- buybacks ----------------------------------------------------------------

void TListsFacet::FetchBuy()
{
    if (FBuyFetching)
        return;
    FBuyFetching = true;
    Ctx.ServiceHost().Get(ServicePath(TServiceKind::Buyback), ServiceOptions(TServiceKind::Buyback), this,
                          [this](const TFetchResult& r) {
                              FBuyFetching = false;
                              OnBuyJson(r.Text());
                          });
}

void TListsFacet::OnBuyJson(const QString& body)
{
    if (body.isEmpty() || body.startsWith(QLatin1String("#ERR"))) {
        if (body != FBuyLogged) {
            Log(QStringLiteral("자사주: 서버 응답 없음 ") + body.left(200));
            FBuyLogged = body;
        }
        return;
    }
    TBuyList list = ParseBuyback(body.toUtf8(), Master());
    if (!list.Ok) {
        const QString note = QStringLiteral("#BAD");
        if (FBuyLogged != note) {
            Log(QStringLiteral("자사주: 받은 목록을 읽을 수 없어 이전 목록을 그대로 둡니다"));
            FBuyLogged = note;
        }
        return;
    }
    FBuyList = std::move(list);
    FBuyBody = body;
    if (tsBuy)
        tsBuy->setToolTip(FBuyList.Date);
    FilterBuyList();
    if (lbBuySum) {
        lbBuySum->setText(QStringLiteral("매매 후보 조건: ") + FBuyList.Rule + QStringLiteral("   ·   ") + FBuyList.Summary
                          + QStringLiteral("   ·   서버 ") + FBuyList.Made);
        lbBuySum->adjustSize();
    }
    const QString stamp = FBuyList.Date + QString::number(FBuyList.Rows.size());
    if (stamp != FBuyLogged) {
        FBuyLogged = stamp;
        Log(QStringLiteral("자사주 신청 (%1 장중): 매수 %2 · 매도 %3종목").arg(FBuyList.Date).arg(FBuyList.Buys).arg(FBuyList.Sells));
    }
    UpdateBuyMarker();
}

void TListsFacet::FilterBuyList()
{
    const bool picks = chkBuyLiq && chkBuyLiq->isChecked();
    int buys = 0, sells = 0;
    const int top = lbBuy ? lbBuy->TopRow() : 0;
    FBuy = FilterBuy(FBuyList.Rows, picks, &buys, &sells);
    MarkHeader(lbBuyH, BuyCaptions(), FBuySortCol, FBuySortDesc);
    SortBuy(FBuy, FBuySortCol, FBuySortDesc);
    if (lbBuy) {
        lbBuy->SetCount(std::max<int>(1, int(FBuy.size())));
        if (top < FBuy.size())
            lbBuy->SetTopRow(top);
        lbBuy->Refresh();
    }
    if (pcIssue && tsBuy)
        pcIssue->setTabText(pcIssue->indexOf(tsBuy),
                            BuyCaption(FBuyList.Date, picks, int(FBuy.size()), int(FBuyList.Rows.size()), buys, sells));
}

void TListsFacet::BuyHeaderClick(int col)
{
    if (col == FBuySortCol) {
        FBuySortDesc = !FBuySortDesc;
    } else {
        FBuySortCol = col;
        FBuySortDesc = BuyFirstDesc(col);
    }
    MarkHeader(lbBuyH, BuyCaptions(), FBuySortCol, FBuySortDesc);
    SortBuy(FBuy, FBuySortCol, FBuySortDesc);
    if (lbBuy)
        lbBuy->Refresh();
}

QString TListsFacet::BuyMarkerFor(const QString& code, QColor* bg) const
{
    // Only a filing for today's session is news for the order panel.
    const TBuyRow* r = BuyMarkerRow(FBuyList, code, Ctx.ServerClock().ExchangeDay());
    if (!r)
        return QString();
    if (bg)
        *bg = r->Side == QStringLiteral("매도") ? kFall : kRise;
    return BuyMarkerText(*r);
}

void TListsFacet::UpdateBuyMarker()
{
    QColor bg;
    const QString text = BuyMarkerFor(Ctx.FCode, &bg);
    if (ShowBuyMarker)
        ShowBuyMarker(text, bg);
    if (lbBuy)
        lbBuy->Refresh();
}

int TListsFacet::PlaceBuyMarker(QLabel* lb, const QString& text, const QColor& bg, int panelWidth, int top)
{
    if (!lb)
        return 0;
    if (text.isEmpty()) {
        lb->hide();
        return 0;
    }
    lb->setTextFormat(Qt::PlainText);
    lb->setWordWrap(true);
    lb->setText(text);
    lb->setAutoFillBackground(true);
    QPalette pal = lb->palette();
    pal.setColor(QPalette::Window, bg);
    pal.setColor(QPalette::WindowText, Qt::white);
    lb->setPalette(pal);
    const int w = std::max(Scaled(120), panelWidth - Scaled(16));
    const QRect need = lb->fontMetrics().boundingRect(QRect(0, 0, w - Scaled(8), 10000), Qt::TextWordWrap, text);
    // At most three lines: the order strips under it always stay in the panel.
    const int h = std::min(need.height(), 3 * lb->fontMetrics().lineSpacing()) + Scaled(4);
    lb->setGeometry(Scaled(8), top, std::min(w, need.width() + Scaled(8)), h);
    lb->show();
    return std::max(0, lb->geometry().bottom() + 1 + Scaled(6) - Scaled(68));
}

void TListsFacet::PaintBuyRow(QPainter& p, const QRect& r, int row, bool selected)
{
    p.setFont(AppFont(9));
    const int th = p.fontMetrics().height();
    if (FBuy.isEmpty()) {
        p.fillRect(r, Qt::white);
        p.setPen(QColor(0x90, 0x90, 0x90));
        const bool picks = chkBuyLiq && chkBuyLiq->isChecked() && !FBuyList.Rows.isEmpty();
        p.drawText(r.adjusted(Scaled(8), 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   picks ? QStringLiteral("오늘은 조건에 맞는 매매 후보가 없음 — ") + FBuyList.Rule
                               + QStringLiteral("  (아래 체크를 끄면 전체)")
                         : QStringLiteral("자사주 신청 자료 없음 (서버가 평일 저녁 20:30 · 21:30 에 거래소 공시로 갱신)"));
        return;
    }
    if (row < 0 || row >= FBuy.size())
        return;
    const TBuyRow& b = FBuy[row];
    p.fillRect(r, selected ? kSel : b.Code == Ctx.FCode ? QColor(0xFF, 0xFA, 0xE6) : QColor(Qt::white));
    p.setClipRect(r);
    const QColor side = b.Side == QStringLiteral("매도") ? kFall : kRise;
    const int y = r.top() + 4;
    const auto x = [&r](int col) { return r.left() + Scaled(kBuyX[col]); };
    const QColor c50(0x50, 0x50, 0x50), c70(0x70, 0x70, 0x70);
    SetBold(p, true);
    Badge(p, x(0), y, b.Side.left(8), Qt::white, side);
    TextAt(p, x(1), y, b.Name, QColor(0x20, 0x20, 0x20));
    const bool direct = b.How == QStringLiteral("직접");
    SetBold(p, direct);
    TextAt(p, x(2), y, b.How + (b.Both ? QStringLiteral("+신탁") : QString()), direct ? QColor(0x30, 0x30, 0x30) : QColor(0x90, 0x90, 0x90));
    SetBold(p, false);
    TextAt(p, x(3), y, QtyText(b.Qty), QColor(0x30, 0x30, 0x30));
    QString usual = b.Avg20 > 0 ? QtyText(b.Avg20) : QStringLiteral("—");
    if (b.Avg5 > 0)
        usual += QStringLiteral(" · ") + QtyText(b.Avg5);
    if (b.AvgValue > 0)
        usual += QStringLiteral(" · ") + FmtNum(b.AvgValue) + QStringLiteral("억");
    TextAt(p, x(4), y, usual, c70);
    const auto ratio = [&](int col, bool has, double v) {
        if (!has) {
            TextAt(p, x(col), y, QStringLiteral("—"), kDim);
            return;
        }
        const QString t = FormatFloat(QStringLiteral("0.0"), v) + QLatin1Char('%');
        SetBold(p, v >= 10);
        if (v >= 20)
            Badge(p, x(col), y, t, Qt::white, side);
        else if (v >= 10)
            Badge(p, x(col), y, t, side, b.Side == QStringLiteral("매도") ? QColor(0xD8, 0xEB, 0xFF) : QColor(0xFF, 0xDC, 0xDC));
        else
            TextAt(p, x(col), y, t, c70);
        SetBold(p, false);
    };
    ratio(5, b.HasRatio, b.Ratio);
    ratio(6, b.HasRatio5, b.Ratio5);
    TextAt(p, x(7), y, AmountText(b.Amount), c50);
    SetBold(p, b.Streak >= 3);
    TextAt(p, x(8), y, QString::number(b.Streak) + QStringLiteral("일"), b.Streak >= 3 ? side : c50);
    SetBold(p, false);
    // Last execution.
    {
        QString t;
        QColor c = c50;
        if (!b.HasPrev) {
            t = QStringLiteral("—");
        } else {
            t = b.PrevRate < 0 ? QStringLiteral("체결 ") + QtyText(b.PrevExec)
                               : QtyText(b.PrevExec) + QStringLiteral(" / ") + QtyText(b.PrevReq) + QStringLiteral("  (")
                                     + QString::number(b.PrevRate) + QStringLiteral("%)");
            if (b.PrevAvg > 0)
                t += QStringLiteral(" @") + FmtNum(b.PrevAvg);
            if (b.PrevRate >= 80) {
                c = side;
                SetBold(p, true);
            } else if (b.PrevRate == 0 || b.PrevExec == 0) {
                c = kDim;
            }
        }
        TextAt(p, x(9), y, t, c);
        SetBold(p, false);
    }
    // Programme progress.
    {
        QString t = QStringLiteral("—");
        const bool strong = b.HasProg && b.Progress < 50 && b.RemainDays >= 5;
        if (b.HasProg) {
            t = QtyText(b.Cum) + QStringLiteral(" / ") + QtyText(b.Total) + QStringLiteral("  (") + QString::number(b.Progress)
                + QStringLiteral("%)");
            if (b.Remain > 0)
                t += QStringLiteral(" · 남은 ") + QtyText(b.Remain);
            if (b.RemainDays > 0)
                t += QStringLiteral(" (") + FormatFloat(QStringLiteral("0"), b.RemainDays) + QStringLiteral("일분)");
        }
        SetBold(p, strong);
        TextAt(p, x(10), y, t, strong ? side : c50);
        SetBold(p, false);
    }
    // Deadline.
    if (!b.HasEnd) {
        TextAt(p, x(11), y, QStringLiteral("기간 모름 (결정 공시가 수집 전)"), QColor(0xB0, 0xB0, 0xB0));
    } else {
        QString t = QStringLiteral("~") + (b.EndD.size() >= 8 ? QString::number(b.EndD.mid(4, 2).toInt()) + QLatin1Char('/')
                                                                      + QString::number(b.EndD.mid(6, 2).toInt())
                                                                : b.EndD)
                    + QStringLiteral(" (") + QString::number(b.DaysLeft) + QStringLiteral("거래일)");
        if (b.NeedDay > 0) {
            t += QStringLiteral(" · 하루 ") + QtyText(b.NeedDay);
            if (b.NeedRatio > 0)
                t += QStringLiteral(" = 5일 평균의 ") + FormatFloat(QStringLiteral("0"), b.NeedRatio) + QLatin1Char('%');
        }
        QColor c = c50;
        bool bold = false;
        if (b.DaysLeft <= 5 && b.NeedDay > 0) {
            t.prepend(QStringLiteral("막판 "));
            c = kOrange;
            bold = true;
        } else if (b.NeedRatio >= 30) {
            c = side;
            bold = true;
        }
        SetBold(p, bold);
        TextAt(p, x(11), y, t, c);
        SetBold(p, false);
    }
    TextAt(p, x(1), y + th + 5, b.Note1, c70);
    SetBold(p, b.Pick);
    TextAt(p, x(1), y + 2 * th + 10, b.Note2, b.Pick ? kPurple : kDim);
    SetBold(p, false);
    p.setClipping(false);
    p.setPen(QColor(0xF0, 0xF0, 0xF0));
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
}

// ---- rankings ----------------------------------------------------------------

bool TListsFacet::RankActive() const { return pcTick && tsRank && pcTick->currentWidget() == tsRank; }

QString TListsFacet::RankKey() const
{
    const int kind = cbRankKind ? std::max(0, cbRankKind->currentIndex()) : 0;
    const int mkt = cbRankMkt ? std::max(0, cbRankMkt->currentIndex()) : 0;
    return QString::number(kind) + QLatin1Char('/') + QString::number(mkt);
}

void TListsFacet::RankSelectorChanged()
{
    FRank.clear();
    if (lbRank) {
        lbRank->SetCount(1);
        lbRank->Refresh();
    }
    ReqRank();
}

void TListsFacet::RankFailed(const QString& text)
{
    if (FRankFailed)
        return;
    FRankFailed = true;
    Log(text);
}

void TListsFacet::ReqRank()
{
    if (!Ctx.FLogged || !EnsureQueries())
        return;
    const int kind = cbRankKind ? std::max(0, cbRankKind->currentIndex()) : 0;
    const int mkt = cbRankMkt ? std::max(0, cbRankMkt->currentIndex()) : 0;
    const TRankReq req = RankRequest(kind, mkt);
    // Only the newest request waits: arrowing through the selectors asks
    // for the last choice once, at the broker's pace.
    for (int k = 0; k < KRankKinds; ++k)
        Ctx.FQ->ClearTr(RankTr(k));
    const TReqBind bind{RankKey(), 0, ++FRankRun, kind};
    Ctx.FQ->Add(req.Tr, [this, req, bind] {
        if (bind.Run != FRankRun)
            return;
        FRankTr = req.Tr;
        if (!Ctx.SetQueryRes(qRank, req.Tr))
            return;
        for (const auto& f : req.Fields)
            qRank->SetFieldData(req.Block, f.first, 0, f.second);
        if (Ctx.Send(qRank, false, bind) < 0)
            RankFailed(QStringLiteral("!! 순위 조회 실패 (") + req.Tr + QLatin1Char(')'));
    });
}

void TListsFacet::OnRankData()
{
    const std::optional<TReqBind> bind = Ctx.Bound(qRank);
    // An answer to an older request, or for a kind or market no longer selected.
    if (!bind || bind->Run != FRankRun || bind->Code != RankKey())
        return;
    const QString tr = RankTr(bind->Kind);
    const QString blk = tr + QStringLiteral("OutBlock1");
    FRankFailed = false;
    FRankTr = tr;
    QVector<TRankRow> rows = ReadRankRows(
        tr, qRank->GetBlockCount(blk), [this, &blk](const QString& f, int i) { return qRank->GetFieldData(blk, f, i); },
        [this](const QString& c) { return Ctx.NameOf(c); });
    QStringList names;
    const int fresh = FRankMarks.Apply(rows, bind->Code, &names);
    const int top = lbRank ? lbRank->TopRow() : 0;
    FRank = std::move(rows);
    FRankAt = NowHms();
    if (lbRankTime) {
        lbRankTime->setText(RankTimeText(FRankAt, int(FRank.size()), fresh, names));
        lbRankTime->setFont(AppFont(9, fresh > 0));
        QPalette pal = lbRankTime->palette();
        pal.setColor(QPalette::WindowText, fresh > 0 ? QColor(0, 128, 0) : QColor(112, 112, 112));
        lbRankTime->setPalette(pal);
        lbRankTime->adjustSize();
    }
    if (hcRank) {
        const QStringList caps = RankCaptions(bind->Kind);
        for (int i = 0; i < caps.size(); ++i)
            hcRank->model()->setHeaderData(i, Qt::Horizontal, caps[i]);
    }
    if (lbRank) {
        lbRank->SetCount(std::max<int>(1, int(FRank.size())));
        if (top < FRank.size())
            lbRank->SetTopRow(top);
        lbRank->Refresh();
    }
}

void TListsFacet::PaintRankRow(QPainter& p, const QRect& r, int row, bool selected)
{
    p.setFont(AppFont(9));
    if (FRank.isEmpty()) {
        p.fillRect(r, Qt::white);
        p.setPen(QColor(144, 144, 144));
        p.drawText(r.adjusted(Scaled(8), 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   Ctx.FLogged ? QStringLiteral("받는 중… (탭이 보이는 동안 1분마다 새로)") : QStringLiteral("로그인 뒤에 보입니다"));
        return;
    }
    if (row < 0 || row >= FRank.size() || !hcRank)
        return;
    const TRankRow& k = FRank[row];
    p.fillRect(r, selected        ? QColor(210, 230, 247)
                  : k.IsNew       ? QColor(221, 245, 221)
                  : k.Code == Ctx.FCode ? QColor(255, 250, 230)
                                  : QColor(Qt::white));
    if (k.IsNew)
        p.fillRect(QRect(r.left(), r.top(), Scaled(4), r.height()), QColor(0, 160, 0));
    const int kind = cbRankKind ? std::max(0, cbRankKind->currentIndex()) : 0;
    const auto right = [&](int col, const QString& t, const QColor& c, bool bold = false) {
        const QRect cell = Cell(hcRank, r, col).adjusted(Scaled(4), 0, -Scaled(10) - Scaled(4), 0);
        SetBold(p, bold);
        p.setPen(c);
        p.drawText(cell, Qt::AlignVCenter | Qt::AlignRight, t);
        SetBold(p, false);
    };
    const auto left = [&](int col, const QString& t, const QColor& c, bool bold = false) {
        const QRect cell = Cell(hcRank, r, col).adjusted(Scaled(4), 0, 0, 0);
        SetBold(p, bold);
        p.setPen(c);
        p.drawText(cell, Qt::AlignVCenter | Qt::AlignLeft, t);
        SetBold(p, false);
    };
    right(0, QString::number(row + 1), QColor(112, 112, 112));
    // Name, then the mark.
    {
        const QRect cell = Cell(hcRank, r, 1).adjusted(Scaled(4), 0, 0, 0);
        p.save();
        p.setClipRect(cell);
        SetBold(p, true);
        p.setPen(QColor(32, 32, 32));
        p.drawText(cell, Qt::AlignVCenter | Qt::AlignLeft, k.Name);
        const int nx = cell.left() + p.fontMetrics().horizontalAdvance(k.Name) + Scaled(6);
        p.setFont(AppFont(8, k.IsNew));
        const QFontMetrics fm = p.fontMetrics();
        if (k.IsNew) {
            const QString t = QStringLiteral("NEW");
            const QRect box(nx, r.center().y() - fm.height() / 2, fm.horizontalAdvance(t) + Scaled(6), fm.height());
            p.fillRect(box, QColor(0, 160, 0));
            p.setPen(Qt::white);
            p.drawText(box, Qt::AlignCenter, t);
        } else if (k.Move != 0) {
            p.setPen(k.Move > 0 ? QColor(229, 57, 53) : QColor(30, 136, 229));
            p.drawText(QRect(nx, cell.top(), cell.right() - nx, cell.height()), Qt::AlignVCenter | Qt::AlignLeft,
                       k.Move > 0 ? QStringLiteral("▲%1").arg(k.Move) : QStringLiteral("▼%1").arg(-k.Move));
        }
        p.restore();
        p.setFont(AppFont(9));
    }
    const QColor pc = k.Chg > 0 ? QColor(229, 57, 53) : k.Chg < 0 ? QColor(30, 136, 229) : QColor(64, 64, 64);
    right(2, FmtNum(k.Price), pc);
    right(3, FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), k.Chg) + QLatin1Char('%'), pc);
    const QColor g(64, 64, 64);
    if (kind == 0) {
        right(4, RankMan(k.Vol), g);
        right(5, RankMan(k.X1), g);
        left(6, FmtNum(k.X2) + QLatin1Char('%'), k.X2 >= 1000 ? QColor(229, 57, 53) : g, true);
    } else if (kind == 3) {
        right(4, RankEok(k.X1), g, true);
        right(5, RankEok(k.X2), g);
        left(6, RankMan(k.Vol), g);
    } else {
        right(4, RankMan(k.Vol), g);
        right(5, RankEok(k.X1), g);
        left(6, k.X2 > 0 ? FormatFloat(QStringLiteral("0"), k.X2) + QStringLiteral("일") : QStringLiteral("—"),
             k.X2 >= 2 ? QColor(229, 57, 53) : g, k.X2 >= 2);
    }
    p.setPen(QColor(242, 242, 242));
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
}

// ---- broker top five ---------------------------------------------------------

void TListsFacet::ReqBroker()
{
    if (!Ctx.FLogged || Ctx.FCode.isEmpty() || !EnsureQueries())
        return;
    const QString tag = QStringLiteral("t1102b");
    Ctx.FQ->ClearTr(tag);
    const TReqBind bind{Ctx.FCode, 0, ++FBrkRun, 0};
    Ctx.FQ->Add(tag, [this, bind] {
        if (bind.Run != FBrkRun || bind.Code != Ctx.FCode || !Ctx.SetQueryRes(qBrk, QStringLiteral("t1102")))
            return;
        qBrk->SetFieldData(QStringLiteral("t1102InBlock"), QStringLiteral("shcode"), 0, bind.Code);
        if (Ctx.Send(qBrk, false, bind) < 0 && !FBrkFailed) {
            FBrkFailed = true;
            Log(QStringLiteral("!! 거래원(t1102) 요청 실패"));
        }
    });
}

void TListsFacet::OnBrokerData()
{
    const std::optional<TReqBind> bind = Ctx.Bound(qBrk);
    // Only the answer to the stock asked for, while it is still the current one.
    if (!bind || bind->Code != Ctx.FCode)
        return;
    const QString blk = QStringLiteral("t1102OutBlock");
    TBrokerTop top;
    if (!ReadBrokerTop([this, &blk](const QString& f) { return qBrk->GetFieldData(blk, f, 0); }, bind->Code, &top))
        return;
    FBrkFailed = false;
    FBrk = top;
    FBrkCode = bind->Code;
    FBrkAt = NowHms();
    if (pbBrk)
        pbBrk->update();
}

void TListsFacet::PaintBroker(QPainter& p, const QRect& rc)
{
    const int W = rc.width(), H = rc.height();
    p.fillRect(rc, QColor(250, 250, 250));
    p.setFont(AppFont(9));
    const int Lh = std::max(Scaled(16), (H - Scaled(4)) / 8);
    const bool mine = !FBrkCode.isEmpty() && FBrkCode == Ctx.FCode;
    const auto lineRect = [&](int left, int y, int right) { return QRect(left, y, right - left, Lh); };
    SetBold(p, true);
    p.setPen(QColor(48, 48, 48));
    const QString title = QStringLiteral("거래원 상위 5");
    p.drawText(lineRect(Scaled(6), Scaled(2), W), Qt::AlignVCenter | Qt::AlignLeft, title);
    const int tx = Scaled(6) + p.fontMetrics().horizontalAdvance(title) + Scaled(16);
    SetBold(p, false);
    p.setPen(QColor(144, 144, 144));
    p.drawText(lineRect(tx, Scaled(2), W), Qt::AlignVCenter | Qt::AlignLeft,
               mine ? FBrkAt + QStringLiteral(" · 10초마다") : QStringLiteral("받는 중…"));
    const int half = W / 2;
    for (int side = 0; side < 2; ++side) {
        const int hl = side * half, hr = side == 0 ? half : W;
        const int hw = hr - hl;
        const QColor sc = side == 0 ? QColor(30, 136, 229) : QColor(229, 57, 53);
        p.fillRect(QRect(hl + 1, Lh + Scaled(2), hw - 2, H - Lh - Scaled(2)), side == 0 ? QColor(236, 244, 255) : QColor(255, 240, 236));
        const int nameX = hl + Scaled(6), volR = hl + hw * 62 / 100, chaR = hr - Scaled(6);
        const auto row = [&](int y, const QString& name, const QString& vol, const QString& cha, const QColor& nameC,
                             bool bold, const QColor& chaC, bool chaBold) {
            SetBold(p, bold);
            p.setPen(nameC);
            p.drawText(lineRect(nameX, y, volR - Scaled(40)), Qt::AlignVCenter | Qt::AlignLeft, name);
            p.setPen(QColor(64, 64, 64));
            p.drawText(lineRect(nameX, y, volR), Qt::AlignVCenter | Qt::AlignRight, vol);
            SetBold(p, chaBold);
            p.setPen(chaC);
            p.drawText(lineRect(volR, y, chaR), Qt::AlignVCenter | Qt::AlignRight, cha);
            SetBold(p, false);
        };
        const int hy = Lh + Scaled(3);
        SetBold(p, true);
        p.setPen(sc);
        p.drawText(lineRect(nameX, hy, volR), Qt::AlignVCenter | Qt::AlignLeft,
                   side == 0 ? QStringLiteral("매도 증권사") : QStringLiteral("매수 증권사"));
        SetBold(p, false);
        p.setPen(QColor(112, 112, 112));
        p.drawText(lineRect(nameX, hy, volR), Qt::AlignVCenter | Qt::AlignRight, QStringLiteral("수량"));
        p.drawText(lineRect(volR, hy, chaR), Qt::AlignVCenter | Qt::AlignRight, QStringLiteral("증감"));
        const auto chaColor = [](qint64 v) { return v > 0 ? QColor(229, 57, 53) : v < 0 ? QColor(30, 136, 229) : QColor(176, 176, 176); };
        if (mine) {
            for (int k = 1; k <= 5; ++k) {
                const int i = side * 5 + k - 1;
                if (FBrk.Name[i].isEmpty())
                    continue;
                const bool foreign = IsForeignBroker(FBrk.Name[i]);
                row(Scaled(3) + (k + 1) * Lh, FBrk.Name[i], FmtNum(FBrk.Vol[i]), BrokerChangeText(FBrk.Cha[i]),
                    foreign ? sc : QColor(32, 32, 32), foreign, chaColor(FBrk.Cha[i]), FBrk.Cha[i] != 0);
            }
        }
        const int ty = Scaled(3) + 7 * Lh;
        p.setPen(QColor(221, 221, 221));
        p.drawLine(hl + 4, ty - 2, hr - 4, ty - 2);
        if (mine) {
            SetBold(p, true);
            p.setPen(QColor(0, 64, 128));
            p.drawText(lineRect(nameX, ty, volR), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("외국계 합계"));
            SetBold(p, false);
            p.setPen(QColor(64, 64, 64));
            p.drawText(lineRect(nameX, ty, volR), Qt::AlignVCenter | Qt::AlignRight, FmtNum(FBrk.FVol[side]));
            p.setPen(chaColor(FBrk.FCha[side]));
            p.drawText(lineRect(volR, ty, chaR), Qt::AlignVCenter | Qt::AlignRight, BrokerChangeText(FBrk.FCha[side]));
        }
    }
    p.setPen(QColor(204, 204, 204));
    p.drawLine(half, Lh + Scaled(2), half, H);
    p.drawLine(0, 0, W, 0);
}
