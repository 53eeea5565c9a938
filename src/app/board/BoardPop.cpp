// The board's pop-ups: today's line of an index or stock (t8412, t8409,
// t3518) and the investors' cumulative net buying by minute (t1602, KOSPI
// then KOSDAQ, page by page), each in a modal window with a crosshair
// read-out.
#include "app/board/BoardFacet.h"

#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/NumFmt.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// The drawing surface of a pop-up: paints through a callback and reports
// the mouse's x (-1 when it leaves).
class TPopSurface : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void(QPainter&, const QRect&)> OnPaint;
    std::function<void(int)> OnMove;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        if (OnPaint)
            OnPaint(p, rect());
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (OnMove)
            OnMove(int(e->position().x()));
    }
    void leaveEvent(QEvent*) override
    {
        if (OnMove)
            OnMove(-1);
    }
};

const QColor kSeries[3] = {QColor(0x20, 0x70, 0xD0), QColor(0xE0, 0x90, 0x20), QColor(0x80, 0x80, 0x80)};
const char* const kSeriesName[3] = {"외인", "기관", "개인"};
const QColor kUp(0xE5, 0x39, 0x35), kDown(0x1E, 0x88, 0xE5);

QColor ChangeColour(double v, const QColor& zero = QColor(0x40, 0x40, 0x40)) { return v > 0 ? kUp : v < 0 ? kDown : zero; }

void DrawCentred(QPainter& p, const QRect& r, const QString& text)
{
    p.setFont(AppFont(11));
    p.setPen(QColor(0x90, 0x90, 0x90));
    p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, text);
}

// Text whose top-left corner is at (x, y).
void TextAt(QPainter& p, int x, int y, const QString& text)
{
    p.drawText(x, y + QFontMetrics(p.font()).ascent(), text);
}

struct TPlot {
    QRect R;
    double Lo = 0, Hi = 1;
    int N = 0;
    double X(int i) const { return PopX(i, N, R.left(), R.width()); }
    double Y(double v) const { return R.bottom() - (v - Lo) / (Hi - Lo) * R.height(); }
};

// Five grid lines with their values at the right and the time labels under
// the plot every max(1, n / 6) points.
void DrawGrid(QPainter& p, const TPlot& pl, const QString& picture, const QStringList& times)
{
    p.setFont(AppFont(9));
    const QFontMetrics fm(p.font());
    for (int k = 0; k <= 4; ++k) {
        const double v = pl.Hi - (pl.Hi - pl.Lo) * k / 4;
        const int y = int(std::lround(pl.Y(v)));
        p.setPen(QColor(0xEE, 0xEE, 0xEE));
        p.drawLine(pl.R.left(), y, pl.R.right(), y);
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.drawText(pl.R.right() + Scaled(6), y + fm.ascent() / 2 - 1, FormatFloat(picture, v));
    }
    const int step = std::max(1, pl.N / 6);
    for (int i = 0; i < pl.N && i < times.size(); i += step) {
        const int x = int(std::lround(pl.X(i)));
        p.setPen(QColor(0xF2, 0xF2, 0xF2));
        p.drawLine(x, pl.R.top(), x, pl.R.bottom());
        p.setPen(QColor(0x80, 0x80, 0x80));
        const int w = fm.horizontalAdvance(times[i]);
        p.drawText(x - w / 2, pl.R.bottom() + Scaled(4) + fm.ascent(), times[i]);
    }
}

void DottedV(QPainter& p, int x, const QRect& r)
{
    p.setPen(QPen(QColor(0xB0, 0xB0, 0xB0), 1, Qt::DotLine));
    p.drawLine(x, r.top(), x, r.bottom());
}

} // namespace

// ---- window -----------------------------------------------------------------------------------

QDialog* TBoardFacet::MakePopWindow(const QString& caption, int w, double wPart, int h, double hPart, QPointer<QWidget>* pb,
                                    std::function<void(QPainter&, const QRect&)> paint, bool tracksMouse)
{
    QWidget* main = MainWin ? MainWin() : nullptr;
    auto* d = new QDialog(main);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->setWindowTitle(caption);
    d->setFont(AppFont(10));
    const QScreen* scr = main && main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    const QRect work = scr ? scr->availableGeometry() : QRect(0, 0, 1600, 900);
    const int width = std::max(Scaled(w), main ? int(main->width() * wPart) : 0);
    const int height = std::max(Scaled(h), int(work.height() * hPart));
    d->resize(std::min(width, work.width()), std::min(height, work.height()));
    if (main)
        d->move(main->geometry().center() - QPoint(d->width() / 2, d->height() / 2));
    auto* lay = new QVBoxLayout(d);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    auto* surface = new TPopSurface(d);
    surface->setAttribute(Qt::WA_OpaquePaintEvent);
    surface->OnPaint = std::move(paint);
    if (tracksMouse) {
        surface->setMouseTracking(true);
        surface->OnMove = [this, surface](int x) {
            FPopMX = x;
            surface->update();
        };
    }
    lay->addWidget(surface, 1);
    auto* bar = MakePanel(d, QColor(0xF7, 0xF7, 0xF7));
    bar->setFixedHeight(Scaled(46));
    auto* close = new QPushButton(QStringLiteral("닫기 (Esc)"), bar);
    close->setFixedSize(Scaled(116), Scaled(30));
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, d, &QDialog::reject);
    OnResize(bar, [bar, close] { close->move(bar->width() - Scaled(130), Scaled(8)); });
    lay->addWidget(bar);
    close->setFocus();
    *pb = surface;
    QObject::connect(d, &QDialog::finished, this, [pb] { *pb = nullptr; });
    return d;
}

void TBoardFacet::Exec(QDialog* d)
{
    if (ShowModal)
        ShowModal(d);
    else
        d->exec();
}

// ---- the day of one item ------------------------------------------------------------------------

void TBoardFacet::PopRequest(int item)
{
    if (!EnsureQueries())
        return;
    const quint64 serial = ++FPopSerial;
    const QString tag = item >= 5 ? QStringLiteral("t8412p") : item <= 2 ? QStringLiteral("t3518") : QStringLiteral("t8409");
    Ctx.FQ->Add(tag, [this, item, serial] {
        if (serial != FPopSerial)
            return;   // another pop-up has been opened since
        TXAQuery* q = item >= 5 ? qPopS : item <= 2 ? qPopU : qPopI;
        const QString tr = item >= 5 ? QStringLiteral("t8412") : item <= 2 ? QStringLiteral("t3518") : QStringLiteral("t8409");
        if (!Ctx.SetQueryRes(q, tr)) {
            PopMsg(QStringLiteral("요청 실패"));
            return;
        }
        const QString ib = tr + QStringLiteral("InBlock");
        const auto set = [q, &ib](const char* f, const QString& v) { q->SetFieldData(ib, QString::fromLatin1(f), 0, v); };
        if (item <= 2) {
            set("kind", QStringLiteral("S"));
            set("symbol", BoardSymbol(item));
            set("cnt", QStringLiteral("500"));
            set("jgbn", QStringLiteral("3"));
            set("nmin", QStringLiteral("1"));
            set("cts_date", QString());
            set("cts_time", QString());
        } else {
            set("shcode", BoardSymbol(item));
            set("ncnt", QStringLiteral("1"));
            // 500: the most an uncompressed answer holds.
            set("qrycnt", QStringLiteral("500"));
            set("nday", QStringLiteral("1"));
            for (const char* f : {"sdate", "stime", "etime", "cts_date", "cts_time"})
                set(f, QString());
            set("edate", Ctx.Today());
            set("comp_yn", QStringLiteral("N"));
        }
        const int r = Ctx.Send(q, false, TReqBind{BoardSymbol(item), item, serial, 0});
        if (r < 0)
            PopMsg(item <= 2 ? QStringLiteral("요청 실패 (코드 %1) — 잠시 뒤 다시 눌러 주세요").arg(r) : QStringLiteral("요청 실패"));
    });
}

bool TBoardFacet::PopBound(TXAQuery* q) const
{
    const std::optional<TReqBind> b = Ctx.Bound(q);
    return b && b->Run == FPopSerial && b->Per == FPopItem;
}

void TBoardFacet::PopMsg(const QString& msg)
{
    FPopMsg = msg;
    if (FPopPB)
        FPopPB->update();
}

void TBoardFacet::PopFinish(QVector<TPopPoint> pts)
{
    PopSet(std::move(pts), &FPopT, &FPopV);
    FPopMsg = FPopV.isEmpty() ? QStringLiteral("데이터 없음") : QString();
    if (FPopPB)
        FPopPB->update();
}

void TBoardFacet::OnPopStock()
{
    if (!PopBound(qPopS))
        return;
    const QString blk = QStringLiteral("t8412OutBlock1");
    const int n = std::min(qPopS->GetBlockCount(blk), 5000);
    QVector<QStringList> rows;
    for (int i = 0; i < n; ++i)
        rows.append({qPopS->GetFieldData(blk, QStringLiteral("date"), i), qPopS->GetFieldData(blk, QStringLiteral("time"), i),
                     QString::number(ParseNum(qPopS->GetFieldData(blk, QStringLiteral("close"), i)), 'g', 15)});
    const TBoardItem& it = FBoard[FPopItem];
    if (it.Ok && it.Rt > -100)
        FPopPrev = it.Px / (it.Rt / 100 + 1);
    PopFinish(PopLatestDay(rows));
}

void TBoardFacet::OnPopIndex()
{
    if (!PopBound(qPopI))
        return;
    FPopPrev = ParseNum(qPopI->GetFieldData(QStringLiteral("t8409OutBlock"), QStringLiteral("jiclose"), 0));
    const QString blk = QStringLiteral("t8409OutBlock1");
    const int n = std::min(qPopI->GetBlockCount(blk), 5000);
    QVector<QStringList> rows;
    for (int i = 0; i < n; ++i)
        rows.append({qPopI->GetFieldData(blk, QStringLiteral("date"), i), qPopI->GetFieldData(blk, QStringLiteral("time"), i),
                     QString::number(ParseNum(qPopI->GetFieldData(blk, QStringLiteral("close"), i)), 'g', 15)});
    PopFinish(PopLatestDay(rows));
}

void TBoardFacet::OnPopUS()
{
    if (!PopBound(qPopU))
        return;
    const QString blk = QStringLiteral("t3518OutBlock1");
    const int n = std::min(qPopU->GetBlockCount(blk), 5000);
    const QString symbol = BoardSymbol(FPopItem);
    const TBoardItem& it = FBoard[FPopItem];
    const auto f = [this, &blk](const char* name, int i) { return qPopU->GetFieldData(blk, QString::fromLatin1(name), i).trimmed(); };
    if (n <= 0) {
        Log(QStringLiteral("해외지수 분봉 ") + symbol + QStringLiteral(": 0줄 (LS 가 이 지수의 분 데이터를 안 줌)"));
        FPopT.clear();
        FPopV.clear();
        PopMsg(QStringLiteral("LS증권이 ") + it.Nm + QStringLiteral(" 의 분 데이터를 제공하지 않습니다 (나스닥만 제공)"));
        return;
    }
    Log(QStringLiteral("해외지수 분봉 %1: %2줄 · 첫 줄 date=%3 time=%4 price=%5 kodate=%6 kotime=%7")
            .arg(symbol, QString::number(n), EtnPlain(f("date", 0), 12), EtnPlain(f("time", 0), 12), EtnPlain(f("price", 0), 16),
                 EtnPlain(f("kodate", 0), 12), EtnPlain(f("kotime", 0), 12)));
    QString latest;
    for (int i = 0; i < n; ++i)
        latest = std::max(latest, f("date", i));
    QVector<TPopPoint> pts;
    for (int i = 0; i < n; ++i) {
        if (f("date", i) != latest)
            continue;
        const double price = ParseNum(f("price", i));
        if (price <= 0)
            continue;
        QString kt = f("kotime", i);
        kt.remove(QLatin1Char(':'));
        pts.append({f("kodate", i) + kt.left(4), price});
        if (FPopPrev <= 0)
            FPopPrev = price - SignedRate(ParseNum(f("change", i)), f("sign", i));
    }
    // Some indices come in another unit than the board's quote.
    if (!pts.isEmpty() && it.Ok) {
        std::stable_sort(pts.begin(), pts.end(), [](const TPopPoint& a, const TPopPoint& b) { return a.first < b.first; });
        const double k = PopScale(it.Px, pts.last().second);
        if (k != 1) {
            for (TPopPoint& p : pts)
                p.second *= k;
            FPopPrev *= k;
        }
    }
    PopFinish(pts);
}

void TBoardFacet::PaintPop(QPainter& p, const QRect& r)
{
    if (FPopItem < 0 || FPopItem >= FBoard.size())
        return;
    p.setRenderHint(QPainter::Antialiasing, true);
    const TBoardItem& it = FBoard[FPopItem];
    const QString pic = it.IsIdx ? QStringLiteral("#,##0.00") : QStringLiteral("#,##0");
    const int n = int(FPopV.size());
    p.setFont(AppFont(13, true));
    p.setPen(QColor(0x20, 0x20, 0x20));
    TextAt(p, Scaled(16), Scaled(10), it.Nm);
    double lo = 0, hi = 0;
    if (n > 0) {
        lo = *std::min_element(FPopV.begin(), FPopV.end());
        hi = *std::max_element(FPopV.begin(), FPopV.end());
        const double last = FPopV.last();
        const double chg = FPopPrev > 0 ? (last / FPopPrev - 1) * 100 : 0;
        const int x = Scaled(16) + QFontMetrics(p.font()).horizontalAdvance(it.Nm) + Scaled(16);
        const QString head = FormatFloat(pic, last) + QStringLiteral("  ") + FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), chg) + QLatin1Char('%');
        p.setPen(ChangeColour(chg, QColor(0x20, 0x20, 0x20)));
        TextAt(p, x, Scaled(10), head);
        p.setFont(AppFont(10));
        p.setPen(QColor(0x80, 0x80, 0x80));
        TextAt(p, x + std::max(QFontMetrics(AppFont(13, true)).horizontalAdvance(head) + Scaled(16), Scaled(140)), Scaled(15),
               QStringLiteral("고 %1   저 %2   전일 %3").arg(FormatFloat(pic, hi), FormatFloat(pic, lo), FormatFloat(pic, FPopPrev)));
    }
    p.setFont(AppFont(9));
    const int th = QFontMetrics(p.font()).height();
    TPlot pl;
    pl.R = QRect(QPoint(Scaled(16), Scaled(46)), QPoint(r.width() - Scaled(86), r.height() - th - Scaled(14)));
    pl.N = n;
    if (n == 0 || !FPopMsg.isEmpty())
        DrawCentred(p, pl.R, FPopMsg.isEmpty() ? QStringLiteral("데이터 없음") : FPopMsg);
    if (n == 0 || pl.R.width() <= 0 || pl.R.height() <= 0)
        return;
    const QPair<double, double> range = PopRange(FPopV, FPopPrev, 0.08);
    pl.Lo = range.first;
    pl.Hi = range.second;
    DrawGrid(p, pl, pic, FPopT);
    if (FPopPrev > 0) {
        p.setPen(QPen(QColor(0xA0, 0xA0, 0xA0), 1, Qt::DotLine));
        const int y = int(std::lround(pl.Y(FPopPrev)));
        p.drawLine(pl.R.left(), y, pl.R.right(), y);
    }
    QColor lastColour = kUp;
    for (int i = 1; i < n; ++i) {
        lastColour = FPopPrev > 0 && FPopV[i] < FPopPrev ? kDown : kUp;
        p.setPen(QPen(lastColour, 2));
        p.drawLine(QPointF(pl.X(i - 1), pl.Y(FPopV[i - 1])), QPointF(pl.X(i), pl.Y(FPopV[i])));
    }
    if (n == 1)
        lastColour = FPopPrev > 0 && FPopV[0] < FPopPrev ? kDown : kUp;
    p.setPen(Qt::NoPen);
    p.setBrush(lastColour);
    p.drawEllipse(QPointF(pl.X(n - 1), pl.Y(FPopV[n - 1])), 4, 4);
    p.setBrush(Qt::NoBrush);
    if (FPopMX >= pl.R.left() && FPopMX <= pl.R.right() && n > 1) {
        const int i = PopIndexAt(FPopMX, n, pl.R.left(), pl.R.width());
        const int x = int(std::lround(pl.X(i)));
        DottedV(p, x, pl.R);
        const double chg = FPopPrev > 0 ? (FPopV[i] / FPopPrev - 1) * 100 : 0;
        const QString text = QStringLiteral("%1  %2  %3%").arg(i < FPopT.size() ? FPopT[i] : QString(), FormatFloat(pic, FPopV[i]),
                                                                FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), chg));
        p.setFont(AppFont(10, true));
        const QFontMetrics fm(p.font());
        QRect box(0, pl.R.top() + Scaled(4), fm.horizontalAdvance(text) + Scaled(12), fm.height() + Scaled(6));
        box.moveLeft(std::min(x + Scaled(8), pl.R.right() - box.width()));
        p.setPen(QColor(0xC0, 0xC0, 0xC0));
        p.setBrush(QColor(0xFA, 0xFA, 0xFA));
        p.drawRect(box);
        p.setBrush(Qt::NoBrush);
        p.setPen(ChangeColour(chg));
        p.drawText(box, Qt::AlignCenter, text);
    }
}

// ---- investors by minute -----------------------------------------------------------------------

void TBoardFacet::ShowInvFlow()
{
    if (!Ctx.FLogged) {
        Log(QStringLiteral("로그인 뒤에 볼 수 있습니다"));
        return;
    }
    FInvFlow = TInvFlow();
    FInvMsg = QStringLiteral("불러오는 중...");
    FPopMX = -1;
    FInvFlowEx = BoardExCode(FBoardPage);
    const QString ex = FInvFlowEx == QLatin1String("K") ? QStringLiteral("KRX") : FInvFlowEx == QLatin1String("N") ? QStringLiteral("NXT") : QStringLiteral("통합");
    QDialog* d = MakePopWindow(QStringLiteral("투자자별 순매수  오늘 흐름 (%1 · 누적 · 억원)").arg(ex), 700, 0.5, 520, 0.5, &FInvPB,
                               [this](QPainter& p, const QRect& r) { PaintInvFlow(p, r); }, true);
    auto* timer = new QTimer(d);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this] {
        if (FInvFlow.More)
            ReqInvFlow(FInvFlow.Market, true);
        else
            ReqInvFlow(1, false);
    });
    FInvTimer = timer;
    connect(d, &QDialog::finished, this, [this] {
        if (FInvTimer)
            FInvTimer->stop();
        FInvTimer = nullptr;
    });
    ReqInvFlow(0, false);
    Exec(d);
}

void TBoardFacet::ReqInvFlow(int market, bool next)
{
    if (!EnsureQueries())
        return;
    if (next)
        FInvFlow.Market = market;
    else
        FInvFlow.Start(market);
    const quint64 serial = ++FInvSerial;
    const QString cts = FInvFlow.CtsT, idx = FInvFlow.CtsI, ex = FInvFlowEx;
    Ctx.FQ->Add(QStringLiteral("t1602"), [this, market, next, serial, cts, idx, ex] {
        if (serial != FInvSerial)
            return;
        if (!Ctx.SetQueryRes(qInvP, QStringLiteral("t1602"))) {
            FInvMsg = QStringLiteral("요청 실패 — 잠시 뒤 다시 눌러 주세요");
            if (FInvPB)
                FInvPB->update();
            return;
        }
        const QString ib = QStringLiteral("t1602InBlock");
        const auto set = [this, &ib](const char* f, const QString& v) { qInvP->SetFieldData(ib, QString::fromLatin1(f), 0, v); };
        set("market", TInvFlow::MarketCode(market));
        set("upcode", TInvFlow::UpCode(market));
        set("gubun1", QStringLiteral("2"));
        set("gubun2", QStringLiteral("0"));
        set("cts_time", cts);
        set("cts_idx", idx.isEmpty() ? QStringLiteral("0") : idx);
        set("cnt", QStringLiteral("900"));
        set("gubun3", QString());
        set("exchgubun", ex);
        if (Ctx.Send(qInvP, next, TReqBind{QString(), market, serial, 0}) < 0) {
            FInvMsg = QStringLiteral("요청 실패 — 잠시 뒤 다시 눌러 주세요");
            if (FInvPB)
                FInvPB->update();
        }
    });
}

void TBoardFacet::OnInvFlowData()
{
    const std::optional<TReqBind> b = Ctx.Bound(qInvP);
    if (!b || b->Run != FInvSerial || b->Per != FInvFlow.Market)
        return;
    const QString blk = QStringLiteral("t1602OutBlock1");
    const int n = std::min(qInvP->GetBlockCount(blk), 2000);
    QVector<TInvFlow::TRow> rows;
    for (int i = 0; i < n; ++i) {
        const auto f = [&](const char* name) { return ParseNum(qInvP->GetFieldData(blk, QString::fromLatin1(name), i)); };
        rows.append({qInvP->GetFieldData(blk, QStringLiteral("time"), i).left(16), {f("sv_17"), f("sv_18"), f("sv_08")}});
    }
    const QString head = QStringLiteral("t1602OutBlock");
    const TInvFlow::TNext next = FInvFlow.AddPage(rows, qInvP->GetFieldData(head, QStringLiteral("cts_time"), 0).left(16),
                                                  qInvP->GetFieldData(head, QStringLiteral("cts_idx"), 0).left(8), !FInvPB.isNull());
    if (next == TInvFlow::NextPage && FInvTimer)
        FInvTimer->start(1100);
    else if (next == TInvFlow::NextMarket && FInvTimer)
        FInvTimer->start(1500);
    else if (next == TInvFlow::Finished && FInvFlow.Market == 1) {
        FInvMsg.clear();
        if (FInvFlow.T[0].isEmpty() && FInvFlow.T[1].isEmpty())
            FInvMsg = QStringLiteral("데이터 없음");
    }
    if (FInvPB)
        FInvPB->update();
}

void TBoardFacet::PaintInvFlow(QPainter& p, const QRect& r)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    if (!FInvMsg.isEmpty()) {
        DrawCentred(p, r, FInvMsg);
        if (FInvFlow.T[0].isEmpty())
            return;
    }
    p.setFont(AppFont(9));
    const int th = QFontMetrics(p.font()).height();
    for (int m = 0; m < 2; ++m) {
        const int top = r.top() + r.height() * m / 2, bottom = r.top() + r.height() * (m + 1) / 2;
        p.setFont(AppFont(11, true));
        p.setPen(QColor(0x20, 0x20, 0x20));
        const QString name = m == 0 ? QStringLiteral("코스피") : QStringLiteral("코스닥");
        TextAt(p, Scaled(16), top + Scaled(6), name);
        int x = Scaled(16) + QFontMetrics(p.font()).horizontalAdvance(name) + Scaled(16);
        const QStringList& t = FInvFlow.T[m];
        const int n = int(t.size());
        p.setFont(AppFont(10));
        for (int s = 0; s < 3; ++s) {
            const QVector<double>& v = FInvFlow.V[m * 3 + s];
            const QString text = QString::fromUtf8(kSeriesName[s]) + QLatin1Char(' ') +
                                 (v.isEmpty() ? QStringLiteral("—") : FormatFloat(QStringLiteral("+#,##0;-#,##0;0"), v.last()) + QStringLiteral("억"));
            p.setPen(kSeries[s]);
            TextAt(p, x, top + Scaled(8), text);
            x += QFontMetrics(p.font()).horizontalAdvance(text) + Scaled(18);
        }
        TPlot pl;
        pl.R = QRect(QPoint(Scaled(16), top + Scaled(34)), QPoint(r.width() - Scaled(80), bottom - th - Scaled(10)));
        pl.N = n;
        if (n == 0 || pl.R.height() <= 0 || pl.R.width() <= 0)
            continue;
        QVector<double> all;
        for (int s = 0; s < 3; ++s)
            all += FInvFlow.V[m * 3 + s];
        const QPair<double, double> range = PopRange(all, 0, 0.08);
        pl.Lo = range.first;
        pl.Hi = range.second;
        DrawGrid(p, pl, QStringLiteral("#,##0"), t);
        if (pl.Lo < 0 && pl.Hi > 0) {
            p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1, Qt::DotLine));
            const int y = int(std::lround(pl.Y(0)));
            p.drawLine(pl.R.left(), y, pl.R.right(), y);
        }
        for (int s = 0; s < 3; ++s) {
            const QVector<double>& v = FInvFlow.V[m * 3 + s];
            p.setPen(QPen(kSeries[s], 2));
            if (v.size() == 1) {
                p.setBrush(kSeries[s]);
                p.drawEllipse(QPointF(pl.X(0), pl.Y(v[0])), 3, 3);
                p.setBrush(Qt::NoBrush);
            }
            for (int i = 1; i < v.size() && i < n; ++i)
                p.drawLine(QPointF(pl.X(i - 1), pl.Y(v[i - 1])), QPointF(pl.X(i), pl.Y(v[i])));
        }
        if (FPopMX >= pl.R.left() && FPopMX <= pl.R.right() && n > 1) {
            const int i = PopIndexAt(FPopMX, n, pl.R.left(), pl.R.width());
            const int xi = int(std::lround(pl.X(i)));
            DottedV(p, xi, pl.R);
            p.setFont(AppFont(10));
            const QFontMetrics fm(p.font());
            QStringList parts{t[i]};
            for (int s = 0; s < 3; ++s)
                parts << QStringLiteral("   ") + QString::fromUtf8(kSeriesName[s]) + QLatin1Char(' ') +
                             FormatFloat(QStringLiteral("+#,##0;-#,##0;0"), FInvFlow.V[m * 3 + s].value(i));
            int w = Scaled(12);
            for (const QString& s : parts)
                w += fm.horizontalAdvance(s);
            QRect box(0, pl.R.top() + Scaled(4), w, fm.height() + Scaled(6));
            box.moveLeft(std::min(xi + Scaled(8), pl.R.right() - box.width()));
            p.setPen(QColor(0xC0, 0xC0, 0xC0));
            p.setBrush(QColor(0xFA, 0xFA, 0xFA));
            p.drawRect(box);
            p.setBrush(Qt::NoBrush);
            int tx = box.left() + Scaled(6);
            for (int k = 0; k < parts.size(); ++k) {
                p.setPen(k == 0 ? QColor(0x40, 0x40, 0x40) : kSeries[k - 1]);
                p.drawText(tx, box.top() + Scaled(3) + fm.ascent(), parts[k]);
                tx += fm.horizontalAdvance(parts[k]);
            }
        }
    }
}
