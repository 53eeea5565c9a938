#include "app/signals/LumenFacet.h"

#include "app/UiKit.h"
#include "app/news/NewsList.h"
#include "chart/ChartModel.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/NumFmt.h"
#include "core/ServerClock.h"
#include "core/ServiceHost.h"
#include "signals/MinVol.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QTimeZone>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {
const QString L = QStringLiteral("LAYOUT");
const QString U = QStringLiteral("UI");
const QColor kRise(0xE5, 0x39, 0x35), kFall(0x1E, 0x88, 0xE5), kSumBlue(0x00, 0x40, 0x80);

QColor NetColor(qint64 v) { return v >= 1 ? kRise : v < 0 ? kFall : QColor(0x50, 0x50, 0x50); }

// The section `i` of `h` as an x range inside a row rect.
QRect Cell(const QHeaderView* h, const QRect& r, int i)
{
    return QRect(r.left() + h->sectionViewportPosition(i), r.top(), h->sectionSize(i), r.height());
}
}  // namespace

TLumenFacet::TLumenFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

qint64 TLumenFacet::Tick() const { return Ctx.Clock().TickMs(); }

void TLumenFacet::BuildPages(TTabSet* tabs)
{
    pcTick = tabs;
    tsLM = tabs->AddPage(QStringLiteral("  루멘  "));
    {
        auto* v = VBox(tsLM);
        QWidget* s = MakeStrip(tsLM, 26, QColor(0xF4, 0xF4, 0xF4));
        lbLmSum = MakeLabel(s, 6, 5, QString(), kSumBlue, true);
        chkLmChg = MakeCheck(s, 0, 4, QStringLiteral("변화만"));
        chkLmChg->setFixedWidth(Scaled(80));
        OnResize(s, [s, this] { chkLmChg->move(s->width() - Scaled(84), Scaled(4)); });
        v->addWidget(s);
        hcLM = MakeHeader(tsLM, {{QStringLiteral("시각"), 60}, {QStringLiteral("매수"), 70}, {QStringLiteral("매도"), 70},
                                 {QStringLiteral("순합계"), 80}, {QStringLiteral("1분 변화"), 80}});
        v->addWidget(hcLM);
        lbLM = new TNewsList(tsLM);
        lbLM->SetRowLook(20, 9);
        lbLM->PaintRow = [this](QPainter& p, const QRect& r, int row, bool sel) { PaintLmRow(p, r, row, sel); };
        lbLM->OnClick = [this](int row) { OnLmClick(row); };
        v->addWidget(lbLM, 1);
        connect(chkLmChg, &QCheckBox::clicked, this, [this] { RebuildLmView(); });
        connect(hcLM, &QHeaderView::sectionResized, lbLM, [this] { lbLM->Refresh(); });
    }
    tsLmTop = tabs->AddPage(QStringLiteral("  루멘 상위  "));
    {
        auto* v = VBox(tsLmTop);
        QWidget* s = MakeStrip(tsLmTop, 26, QColor(0xF4, 0xF4, 0xF4));
        cbLmTopKind = new QComboBox(s);
        cbLmTopKind->setFont(AppFont(9));
        cbLmTopKind->addItems({QStringLiteral("매수합 상위"), QStringLiteral("매도합 상위"),
                               QStringLiteral("순매수 상위 (매수-매도)"), QStringLiteral("순매도 상위 (매도-매수)")});
        Place(cbLmTopKind, 4, 2, 150, 24);
        lbLmTopSum = MakeLabel(s, 162, 5, QString(), kSumBlue);
        v->addWidget(s);
        hcLmTop = MakeHeader(tsLmTop, {{QStringLiteral("순위"), 34}, {QStringLiteral("종목"), 130}, {QStringLiteral("매수"), 64},
                                       {QStringLiteral("매도"), 64}, {QStringLiteral("순합계"), 72},
                                       {QStringLiteral("매수 비중"), 70}});
        v->addWidget(hcLmTop);
        lbLmTop = new TNewsList(tsLmTop);
        lbLmTop->SetRowLook(20, 9);
        lbLmTop->PaintRow = [this](QPainter& p, const QRect& r, int row, bool sel) { PaintTopRow(p, r, row, sel); };
        lbLmTop->OnDoubleClick = [this](int row) {
            if (row >= 0 && row < FLmRank.Shown().size() && FLmRank.Shown()[row].T != Ctx.FCode && SelectStock)
                SelectStock(FLmRank.Shown()[row].T);
        };
        v->addWidget(lbLmTop, 1);
        connect(cbLmTopKind, &QComboBox::activated, this, [this] { LmTopRebuild(false); });
        connect(hcLmTop, &QHeaderView::sectionResized, lbLmTop, [this] { lbLmTop->Refresh(); });
    }
    connect(tabs, &QTabWidget::currentChanged, this, [this] {
        if (SeriesActive() && (FLmCode != Ctx.FCode || FLm.isEmpty()))
            FetchLM();
        if (TopActive() && !(!FLmTopAll.isEmpty() && Tick() - FLmTopGot <= 30000))
            FetchLmTop();
    });
    RebuildLmView();
    LmTopRebuild(false);
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

bool TLumenFacet::SeriesActive() const { return pcTick && tsLM && pcTick->currentWidget() == tsLM; }
bool TLumenFacet::TopActive() const { return pcTick && tsLmTop && pcTick->currentWidget() == tsLmTop; }

// ---- per-minute series -------------------------------------------------------

void TLumenFacet::ClearSeries()
{
    FLm.clear();
    FLmView.clear();
    FLmCode.clear();
    FLmDate.clear();
    if (lbLmSum) {
        lbLmSum->clear();
    }
    if (lbLM)
        lbLM->SetCount(0);
    RebuildLmView();
}

void TLumenFacet::OnStockChanged()
{
    ClearSeries();
    if (SeriesActive())
        FetchLM();
}

void TLumenFacet::FetchLM()
{
    if (Ctx.FCode.isEmpty() || FLmBusy)
        return;
    FLmAt = Tick();
    const QString code = Ctx.FCode;
    QString isin = IsinOf ? IsinOf(code) : QString();
    if (isin.isEmpty())
        isin = IsinFromCode(code);
    if (isin.isEmpty())
        return;
    FLmBusy = true;
    RebuildLmView();
    Ctx.ServiceHost().Get(ServicePath(TServiceKind::Series) + isin, ServiceOptions(TServiceKind::Series), this,
                          [this, code](const TFetchResult& r) {
                              FLmBusy = false;
                              OnLmSeries(code, r.Ok ? r.Body : QByteArray());
                          });
}

void TLumenFacet::OnLmSeries(const QString& code, const QByteArray& body)
{
    if (code != Ctx.FCode || body.isEmpty()) {
        RebuildLmView();
        return;
    }
    const TLmSeries s = ParseLmSeries(body);
    if (!s.Ok) {
        RebuildLmView();
        return;
    }
    FLmDate = s.Date;
    FLmCode = code;
    FLm = s.Rows;
    lbLmSum->setText(LmSummary(s));
    lbLmSum->adjustSize();
    RebuildLmView();
}

void TLumenFacet::RebuildLmView()
{
    if (!lbLM)
        return;
    FLmView = LmVisible(FLm, chkLmChg && chkLmChg->isChecked());
    if (FLmView.isEmpty()) {
        lbLM->SetPlaceholder(Ctx.FCode.isEmpty()           ? QStringLiteral("종목을 고르면 오늘 분별 루멘가 여기 뜬다")
                             : !FLmCode.isEmpty()          ? QStringLiteral("이 종목은 오늘 루멘 신호가 없어 분별 기록이 없음")
                                                           : QStringLiteral("받는 중…"));
    }
    lbLM->SetCount(int(FLmView.size()));
    lbLM->Refresh();
}

void TLumenFacet::PaintLmRow(QPainter& p, const QRect& r, int row, bool selected)
{
    p.fillRect(r, selected ? QColor(0xD2, 0xE6, 0xF7) : QColor(Qt::white));
    p.setPen(QColor(0xF2, 0xF2, 0xF2));
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    if (row < 0 || row >= FLmView.size())
        return;
    const int j = FLmView[row];
    const TLmRow& m = FLm[j];
    const QFont normal = AppFont(9), bold = AppFont(9, true);
    const int pad = Scaled(8);
    const auto right = [&](int col, const QString& t, const QColor& c, bool b) {
        p.setFont(b ? bold : normal);
        p.setPen(c);
        p.drawText(Cell(hcLM, r, col).adjusted(0, 0, -pad, 0), Qt::AlignRight | Qt::AlignVCenter, t);
    };
    p.setFont(normal);
    p.setPen(QColor(0x50, 0x50, 0x50));
    const QString hm = m.T.size() >= 4 ? m.T.left(2) + QLatin1Char(':') + m.T.mid(2, 2) : m.T;
    p.drawText(Cell(hcLM, r, 0).adjusted(Scaled(6), 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, hm);
    right(1, FmtNum(m.B), kRise, false);
    right(2, FmtNum(m.S), kFall, false);
    const qint64 net = m.B - m.S;
    right(3, FormatFloat(QStringLiteral("+#,##0;-#,##0;0"), double(net)), NetColor(net), true);
    const qint64 older = j + 1 < FLm.size() ? FLm[j + 1].B - FLm[j + 1].S : net;
    const qint64 chg = j + 1 < FLm.size() ? net - older : 0;
    right(4, chg == 0 ? QStringLiteral("·") : FormatFloat(QStringLiteral("+#,##0;-#,##0"), double(chg)),
          chg >= 1 ? kRise : chg < 0 ? kFall : QColor(0xB0, 0xB0, 0xB0), std::abs(chg) > 4);
}

void TLumenFacet::OnLmClick(int row)
{
    if (FLmDate.isEmpty() || row < 0 || row >= FLmView.size())
        return;
    const TLmRow& m = FLm[FLmView[row]];
    TChartModel* chart = MinChart ? MinChart() : nullptr;
    const int end = AddMinutes(m.T.toInt(), 1);   // the bar holding the minute is named by its end
    if (!chart || m.T.size() < 4 || end < 0)
        return;
    chart->SetNewsMark(FLmDate + QStringLiteral("%1").arg(end, 4, 10, QLatin1Char('0')),
                       QStringLiteral("루멘 ") + m.T.left(2) + QLatin1Char(':') + m.T.mid(2, 2), true);
}

// ---- top list ------------------------------------------------------------------

void TLumenFacet::FetchLmTop()
{
    if (FLmTopBusy)
        return;
    FLmTopBusy = true;
    FLmTopGot = Tick();
    // A cache breaker: the local clock's seconds, taken as they read.
    const QDateTime now = Ctx.Clock().Now();
    const qint64 secs = QDateTime(now.date(), now.time(), QTimeZone::utc()).toSecsSinceEpoch();
    if (lbLmTop && FLmRank.Shown().isEmpty())
        LmTopRebuild(false);
    Ctx.ServiceHost().Get(ServicePath(TServiceKind::LmTop) + QString::number(secs), ServiceOptions(TServiceKind::LmTop),
                          this, [this](const TFetchResult& r) {
                              FLmTopBusy = false;
                              OnLmTop(r.Ok ? r.Body : QByteArray());
                          });
}

void TLumenFacet::OnLmTop(const QByteArray& body)
{
    if (body.isEmpty()) {
        LmTopRebuild(false);
        return;
    }
    const TLmTop t = ParseLmTop(body, CodeOfIsin ? CodeOfIsin : std::function<QString(const QString&)>());
    if (!t.Ok) {
        LmTopRebuild(false);
        return;
    }
    const QString stamp = t.Date + t.Upto + t.Made;
    if (!FLmTopAll.isEmpty() && stamp == FLmTopStamp)
        return;   // nothing changed: the marks stay
    FLmTopStamp = stamp;
    FLmTopAt = t.Upto;
    FLmTopAll = t.Items;
    lbLmTopSum->setText(LmTopSummary(t));
    lbLmTopSum->adjustSize();
    LmTopRebuild(true);
}

void TLumenFacet::LmTopRebuild(bool newData)
{
    const int kind = cbLmTopKind ? std::max(0, cbLmTopKind->currentIndex()) : 0;
    if (newData || !FLmTopAll.isEmpty() || !FLmRank.Shown().isEmpty())
        FLmRank.Rebuild(FLmTopAll, kind, newData);
    if (!lbLmTop)
        return;
    if (FLmRank.Shown().isEmpty())
        lbLmTop->SetPlaceholder(FLmTopBusy ? QStringLiteral("받는 중…")
                                           : QStringLiteral("루멘 상위 자료 없음 (서버 lmtop 확인)"));
    lbLmTop->SetCount(int(FLmRank.Shown().size()));
    lbLmTop->Refresh();
}

void TLumenFacet::PaintTopRow(QPainter& p, const QRect& r, int row, bool selected)
{
    const QVector<TLmRow>& shown = FLmRank.Shown();
    if (row < 0 || row >= shown.size()) {
        p.fillRect(r, Qt::white);
        return;
    }
    const TLmRow& m = shown[row];
    const QVector<bool> isNew = FLmRank.New();
    const QVector<int> moves = FLmRank.Move();
    const bool fresh = row < isNew.size() && isNew[row];
    const int move = row < moves.size() ? moves[row] : 0;
    QColor bg = Qt::white;
    if (selected)
        bg = QColor(0xD2, 0xE6, 0xF7);
    else if (fresh)
        bg = QColor(0xDD, 0xF5, 0xDD);
    else if (m.T == Ctx.FCode)
        bg = QColor(0xFF, 0xFA, 0xE6);
    p.fillRect(r, bg);
    if (fresh)
        p.fillRect(QRect(r.left(), r.top(), 4, r.height()), QColor(0x00, 0xA0, 0x00));
    p.setPen(QColor(0xF2, 0xF2, 0xF2));
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());

    const QFont normal = AppFont(9), bold = AppFont(9, true), small = AppFont(8, true);
    const int pad = Scaled(8);
    const auto right = [&](int col, const QString& t, const QColor& c, bool b) {
        p.setFont(b ? bold : normal);
        p.setPen(c);
        p.drawText(Cell(hcLmTop, r, col).adjusted(0, 0, -pad, 0), Qt::AlignRight | Qt::AlignVCenter, t);
    };
    right(0, QString::number(row + 1), QColor(0x70, 0x70, 0x70), false);
    // name, then NEW or the move
    const QRect nameCell = Cell(hcLmTop, r, 1);
    const QString name = Ctx.NameOf(m.T);
    p.setFont(bold);
    p.setPen(QColor(0x20, 0x20, 0x20));
    const QRect nameRect = nameCell.adjusted(Scaled(6), 0, 0, 0);
    p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, name);
    int x = nameRect.left() + QFontMetrics(bold).horizontalAdvance(name) + Scaled(6);
    p.setFont(small);
    const QFontMetrics sm(small);
    if (fresh) {
        const QString t = QStringLiteral("NEW");
        const QRect box(x, r.top() + (r.height() - sm.height()) / 2, sm.horizontalAdvance(t) + Scaled(6), sm.height());
        p.fillRect(box, QColor(0x00, 0xA0, 0x00));
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, t);
    } else if (move != 0) {
        p.setPen(move > 0 ? kRise : kFall);
        p.drawText(QRect(x, r.top(), nameCell.right() - x, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   (move > 0 ? QStringLiteral("▲") : QStringLiteral("▼")) + QString::number(std::abs(move)));
    }
    right(2, FmtNum(m.B), kRise, true);
    right(3, FmtNum(m.S), kFall, false);
    const qint64 net = m.B - m.S;
    right(4, FormatFloat(QStringLiteral("+#,##0;-#,##0;0"), double(net)), NetColor(net), true);
    if (m.B + m.S > 0)
        right(5, FormatFloat(QStringLiteral("0"), double(m.B) / double(m.B + m.S) * 100) + QLatin1Char('%'),
              QColor(0x50, 0x50, 0x50), false);
}

// ---- the scheduler -------------------------------------------------------------

void TLumenFacet::SecondTick(int sec)
{
    const qint64 now = Tick();
    if (SeriesActive() && now - FLmAt > 15000 && (sec % 30 == 8 || now - FLmAt > 40000))
        FetchLM();
    if (Ctx.FLogged && now - FLmTopGot > 20000 && (sec == 15 || now - FLmTopGot > 70000))
        FetchLmTop();
}
