#include "app/signals/SignalFacet.h"

#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "chart/ChartModel.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/NumFmt.h"
#include "core/ServerClock.h"
#include "core/ServiceHost.h"
#include "core/Sound.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {
const QString U = QStringLiteral("UI");
constexpr int kFlashMs = 15000;

const QColor kRise(0xE5, 0x39, 0x35), kFall(0x1E, 0x88, 0xE5), kOrange(0xE0, 0x80, 0x00);

QColor KindColor(int kind)
{
    if (kind == 5)
        return kOrange;
    return kind == 1 || kind == 3 ? kRise : kFall;
}

QString HhMm(const QString& t) { return t.size() >= 4 ? t.left(2) + QLatin1Char(':') + t.mid(2, 2) : t; }
}  // namespace

// The capture grid: what each cell shows is computed when it is painted, so
// a new quote or signal only marks the grid dirty.
class TSigModel : public QAbstractTableModel {
public:
    explicit TSigModel(TSignalFacet& f) : QAbstractTableModel(&f), F(f) {}

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : std::max<int>(1, int(F.FSigView.size()));
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 7; }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        static const char* const kCaps[] = {"시각", "종목", "구분", "진입가 · 연속", "진입 후", "전일比량", "동시간比"};
        if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 7)
            return QString::fromUtf8(kCaps[section]);
        return {};
    }
    QVariant data(const QModelIndex& idx, int role) const override;
    void Reset()
    {
        beginResetModel();
        endResetModel();
    }
    void Repaint()
    {
        const int rows = rowCount({});
        emit dataChanged(index(0, 0), index(rows - 1, 6));
    }
    int SelRow = -1;   // the view row of the selected key

private:
    QString Text(const TSigRow& r, int col, QColor* color, bool* bold) const;
    TSignalFacet& F;
};

QVariant TSigModel::data(const QModelIndex& idx, int role) const
{
    const int row = idx.row(), col = idx.column();
    if (F.FSigView.isEmpty()) {
        if (row != 0 || col != 0)
            return role == Qt::BackgroundRole ? QVariant(QBrush(Qt::white)) : QVariant();
        switch (role) {
        case Qt::DisplayRole:
            return F.FSigWaitDay ? QStringLiteral("오늘 신호 아직 없음 — 루멘 서버가 08:50 에 시작, 09:00 부터 포착이 들어옵니다")
                   : F.FSigLoaded ? QStringLiteral("오늘 신호 없음")
                                  : QStringLiteral("받는 중...");
        case Qt::ForegroundRole: return QColor(0x90, 0x90, 0x90);
        case Qt::TextAlignmentRole: return int(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::BackgroundRole: return QBrush(Qt::white);
        default: return {};
        }
    }
    if (row < 0 || row >= F.FSigView.size())
        return {};
    const int i = F.FSigView[row];
    if (i < 0 || i >= F.FSigs.size())
        return {};
    const TSigRow& r = F.FSigs[i];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ForegroundRole:
    case Qt::FontRole: {
        QColor c(0x40, 0x40, 0x40);
        bool bold = false;
        const QString t = Text(r, col, &c, &bold);
        if (role == Qt::DisplayRole)
            return t;
        if (role == Qt::ForegroundRole)
            return c;
        return AppFont(9, bold);
    }
    case Qt::TextAlignmentRole:
        return int((col <= 1 ? Qt::AlignLeft : col == 2 ? Qt::AlignHCenter : Qt::AlignRight) | Qt::AlignVCenter);
    case Qt::BackgroundRole: {
        if (F.FSigBlinkOn && F.FSigFlash.contains(r.Key))
            return QBrush(QColor(0xFF, 0xF0, 0x80));
        if (row == SelRow)
            return QBrush(QColor(0xD2, 0xE6, 0xF7));
        if (r.Kind == 5)
            return QBrush(QColor(0xFF, 0xF4, 0xE8));
        if (r.Code == F.Ctx.FCode)
            return QBrush(QColor(0xFF, 0xF8, 0xF2));
        return QBrush(Qt::white);
    }
    default: return {};
    }
}

QString TSigModel::Text(const TSigRow& r, int col, QColor* color, bool* bold) const
{
    const TSigQuote q = F.FSigQ.value(r.Code);
    switch (col) {
    case 0:
        *color = QColor(0x70, 0x70, 0x70);
        return HhMm(r.T);
    case 1:
        *color = QColor(0x20, 0x20, 0x20);
        *bold = true;
        return F.Ctx.NameOf(r.Code);
    case 2:
        *color = KindColor(r.Kind);
        *bold = r.Kind == 1 || r.Kind == 2 || r.Kind == 5;
        return SigKindLabel(r.Kind);
    case 3: {
        if (r.Val.isEmpty())
            return {};
        if (r.Kind <= 2)
            return FmtNum(ParseNum(r.Val));
        if (r.Kind <= 4)
            return r.Val + QStringLiteral("분");
        *bold = true;
        *color = ParseNum(r.Val) >= 5 ? kRise : QColor(0xC8, 0xA0, 0x00);
        QString t = r.Val + QStringLiteral("배");
        const QStringList info = F.FDtInfo.value(r.Code).split(QLatin1Char('|'));
        if (info.size() >= 2)
            t += QStringLiteral(" · ") + FormatFloat(QStringLiteral("+0.0;-0.0;0.0"), ParseNum(info[1])) +
                 QLatin1Char('%');
        return t;
    }
    case 4: {
        if (r.Ep <= 0 || q.Px <= 0)
            return {};
        const double pct = (q.Px / r.Ep - 1) * 100;
        *bold = true;
        *color = pct > 0 ? kRise : pct < 0 ? kFall : QColor(0x40, 0x40, 0x40);
        return FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), pct) + QLatin1Char('%');
    }
    case 5: {
        if (q.Vol <= 0 || q.PrevVol <= 0)
            return {};
        const double pct = double(q.Vol) / double(q.PrevVol) * 100;
        *color = pct >= 100 ? kRise : kFall;
        return FmtNum(pct) + QLatin1Char('%');
    }
    case 6: {
        if (r.Kind != 1 && r.Kind != 2 && r.Kind != 5)
            return {};
        const double ratio = F.SameTimeRatio(r);
        if (ratio < 0) {
            // Not known yet: the bars are on their way (a code given up for
            // the day shows nothing).
            if (F.FVolFinal.contains(r.Code) || F.FVolFail.value(r.Code) > 4)
                return {};
            *color = QColor(0x90, 0x90, 0x90);
            return QStringLiteral("…");
        }
        *color = ratio >= 100 ? kRise : kFall;
        *bold = ratio >= 500;
        return FmtNum(ratio) + QLatin1Char('%');
    }
    default: return {};
    }
}

// ---------------------------------------------------------------------------

TSignalFacet::TSignalFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent)
{
    FModel = new TSigModel(*this);
    FSigTimer.setInterval(5000);
    FSigBlink.setInterval(500);
    FSigQTimer.setInterval(10000);
    FVolTimer.setInterval(1500);
    connect(&FSigTimer, &QTimer::timeout, this, [this] { SigTick(); });
    connect(&FSigBlink, &QTimer::timeout, this, [this] { BlinkTick(); });
    connect(&FSigQTimer, &QTimer::timeout, this, [this] { SigQuoteTick(); });
    connect(&FVolTimer, &QTimer::timeout, this, [this] { VolTick(); });
}

TSignalFacet::~TSignalFacet() = default;

void TSignalFacet::BuildSignalPage(TTabSet* tabs)
{
    pcBM = tabs;
    tsSig = tabs->AddPage(QStringLiteral("  포착  "));
    auto* v = VBox(tsSig);
    QWidget* s = MakeStrip(tsSig, 30, QColor(248, 248, 248));
    chkSig[0] = MakeCheck(s, 6, 6, QStringLiteral("매수 포착"), kRise);
    chkSig[1] = MakeCheck(s, 6 + 96, 6, QStringLiteral("매도 포착"), kFall);
    chkSig[2] = MakeCheck(s, 6 + 2 * 96, 6, QStringLiteral("매수 스트릭"), kRise);
    chkSig[3] = MakeCheck(s, 6 + 3 * 96, 6, QStringLiteral("매도 스트릭"), kFall);
    chkSig[4] = MakeCheck(s, 6 + 4 * 96, 6, QStringLiteral("데트 후보"), kOrange);
    chkSig[4]->hide();
    chkDtFocus = MakeCheck(s, 6 + 4 * 96, 6, QStringLiteral("데트집중"), kOrange, true);
    chkSigSnd = MakeCheck(s, 6 + 4 * 96 + 88, 6, QStringLiteral("소리"));
    lbSigStat = MakeLabel(s, 6 + 4 * 96 + 152, 8, QString(), QColor(0x80, 0x80, 0x80));
    v->addWidget(s);

    gSig = new QTableView(tsSig);
    gSig->setModel(FModel);
    StyleGrid(gSig, {{QStringLiteral("시각"), 52}, {QStringLiteral("종목"), 126}, {QStringLiteral("구분"), 92},
                     {QStringLiteral("진입가 · 연속"), 92}, {QStringLiteral("진입 후"), 72},
                     {QStringLiteral("전일比량"), 76}, {QStringLiteral("동시간比"), 80}});
    DrawGridCells(gSig, 6, 8);
    gSig->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    gSig->setSpan(0, 0, 1, 7);
    v->addWidget(gSig, 1);

    pbSigSum = new TPaintBox(tsSig);
    pbSigSum->setFixedHeight(Scaled(30));
    pbSigSum->OnPaint = [this](QPainter& p, const QRect& r) { PaintSummary(p, r); };
    v->addWidget(pbSigSum);

    for (QCheckBox* c : chkSig)
        connect(c, &QCheckBox::clicked, this, [this] { RebuildSigView(); });
    connect(chkDtFocus, &QCheckBox::clicked, this, [this] { RebuildSigView(); });
    connect(gSig, &QTableView::clicked, this, [this](const QModelIndex& i) { OnSigClick(i.row()); });
    connect(tabs, &QTabWidget::currentChanged, this, [this] {
        if (SigTabActive())
            OnSigTabShown();
    });
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

void TSignalFacet::Start()
{
    FSigTimer.start();
    FSigQTimer.start();
    FVolTimer.start();
    SigTick();
}

void TSignalFacet::Stop()
{
    FSigTimer.stop();
    FSigQTimer.stop();
    FVolTimer.stop();
    FSigBlink.stop();
}

qint64 TSignalFacet::Tick() const { return Ctx.Clock().TickMs(); }

bool TSignalFacet::SigTabActive() const { return pcBM && tsSig && pcBM->currentWidget() == tsSig; }

void TSignalFacet::SetStat(const QString& text, const QColor& color)
{
    if (!lbSigStat)
        return;
    lbSigStat->setText(text);
    QPalette p = lbSigStat->palette();
    p.setColor(QPalette::WindowText, color);
    lbSigStat->setPalette(p);
    lbSigStat->adjustSize();
}

// ---- the day ----------------------------------------------------------------

void TSignalFacet::CheckSigDay()
{
    const QString day = Ctx.ServerClock().ExchangeDay();
    if (FSigDay.isEmpty())
        FSigDay = day;
    else if (day != FSigDay)
        ResetDay(day);
}

void TSignalFacet::ResetDay(const QString& day)
{
    FSigDay = day;
    ++FSigRun;   // answers asked for on the day before are dropped
    FSigs.clear();
    FSigView.clear();
    FSigSeen.clear();
    FSigFlash.clear();
    FSigBlink.stop();
    FSigBlinkOn = false;
    FSigLoaded = false;
    FSigWaitDay = false;
    FSigDot = false;
    FSigSelKey.clear();
    FSigDate.clear();
    FSigUpdated.clear();
    FSigErrLogged = false;
    FSigQ.clear();
    FPvTodo.clear();
    FPvBusy = false;
    FPvReqCode.clear();
    FVolPrev.clear();
    FVolToday.clear();
    FVolTodayAt.clear();
    FVolTodo.clear();
    FVolReq.clear();
    FVolBusy = false;
    FVolPage = 0;
    FVolFail.clear();
    FVolFailAt.clear();
    FVolFinal.clear();
    FVolPauseUntil = 0;
    FVolAcc.clear();
    FDtInfo.clear();
    FDtMk.clear();
    FDtLastT.clear();
    FDtWhy.clear();
    FDtAlerts.Reset();
    if (Ctx.FQ) {
        Ctx.FQ->ClearTr(QStringLiteral("t8407"));
        Ctx.FQ->ClearTr(QStringLiteral("t1102"));
        Ctx.FQ->ClearTr(QStringLiteral("t8412v"));
    }
    SetStat(QString(), QColor(0x80, 0x80, 0x80));
    RebuildSigView();
    PushSigMarks();
}

// ---- the poll ---------------------------------------------------------------

void TSignalFacet::SigTick()
{
    CheckSigDay();
    if (FSigBusy)
        return;
    const int hhmm = Ctx.ServerClock().ExchangeHhmm();
    if ((hhmm < 830 || hhmm > 2110) && FSigLoaded)
        return;
    if (Ctx.ServiceHost().Base().isEmpty()) {
        // No service host configured: nothing to ask, nothing failed.
        SetStat(QStringLiteral("루멘 서버 주소 없음 (hts.ini [SERVICE] BASE)"), QColor(0x80, 0x80, 0x80));
        return;
    }
    FSigBusy = true;
    const quint64 run = FSigRun;
    Ctx.ServiceHost().Get(ServicePath(TServiceKind::Latest), ServiceOptions(TServiceKind::Latest), this,
                          [this, run](const TFetchResult& r) {
                              FSigBusy = false;
                              if (run != FSigRun)
                                  return;   // asked for on another day
                              if (r.Ok)
                                  OnSigJson(r.Body);
                              else
                                  OnSigFail(r.Error);
                          });
}

void TSignalFacet::OnSigFail(const QString& err)
{
    SetStat(QStringLiteral("받기 실패 ") + Ctx.Clock().Now().toString(QStringLiteral("HH:mm:ss")) +
                QStringLiteral(" — ") + err.left(80),
            QColor(0xC0, 0x00, 0x00));
    if (!FSigErrLogged) {
        FSigErrLogged = true;
        Log(QStringLiteral("!! 루멘 신호 받기 실패: ") + err.left(120) + QStringLiteral(" — 목록은 그대로, 5초마다 다시"));
    }
}

void TSignalFacet::OnSigJson(const QByteArray& body)
{
    const QString now = Ctx.Clock().Now().toString(QStringLiteral("HH:mm:ss"));
    const TSigAnswer a = ParseSigJson(body, KnownCode);
    if (!a.Ok) {
        SetStat(QStringLiteral("응답 형식 오류 ") + now, QColor(0xC0, 0x00, 0x00));
        if (!FSigErrLogged) {
            FSigErrLogged = true;
            Log(QStringLiteral("!! 루멘 신호 응답 형식 오류") + (a.Error.isEmpty() ? QString() : QStringLiteral(" (") + a.Error + QLatin1Char(')')) +
                QStringLiteral(" — 목록은 그대로"));
        }
        return;
    }
    if (!a.Date.isEmpty() && a.Date != FSigDay) {
        FSigErrLogged = false;
        SetStat(QStringLiteral("오늘 신호 아직 없음 (서버 ") + a.Date + QStringLiteral(" 자료 · 08:50 시작)"),
                QColor(0x80, 0x80, 0x80));
        FSigWaitDay = true;
        FSigs.clear();
        RebuildSigView();
        return;
    }
    // An answer older than the one shown (a slow server node) keeps the list.
    if (!FSigUpdated.isEmpty() && !a.Updated.isEmpty() && a.Date == FSigDate && a.Updated.size() == FSigUpdated.size() &&
        a.Updated < FSigUpdated) {
        if (!FSigErrLogged) {
            FSigErrLogged = true;
            Log(QStringLiteral("루멘 신호: 이전 시각 자료(") + SigUpdatedText(a.Updated) + QStringLiteral(") 응답 — 목록 유지"));
        }
        return;
    }
    FSigErrLogged = false;
    FSigWaitDay = false;
    FSigDate = a.Date;
    FSigUpdated = a.Updated;

    int fresh = 0, freshBuy = 0;
    const qint64 until = Tick() + kFlashMs;
    for (const TSigRow& r : a.Rows) {
        if (FSigSeen.contains(r.Key))
            continue;
        FSigSeen.insert(r.Key);
        if (!FSigLoaded)
            continue;
        if (r.Kind < 1 || r.Kind > 4 || !chkSig[r.Kind - 1] || !chkSig[r.Kind - 1]->isChecked())
            continue;
        FSigFlash.insert(r.Key, until);
        ++fresh;
        if (r.Kind == 1 || r.Kind == 3)
            ++freshBuy;
    }
    FSigs = a.Rows;
    FSigLoaded = true;

    const QString upd = a.Updated.size() > 3 ? SigUpdatedText(a.Updated) : a.Updated;
    SetStat(QStringLiteral("서버 %1 · 받음 %2").arg(upd, now), QColor(0x80, 0x80, 0x80));
    RebuildSigView();
    PushSigMarks();

    if (fresh > 0) {
        if (chkSigSnd && chkSigSnd->isChecked()) {
            const int freq = freshBuy > 0 ? 1500 : 700;
            Tone ? Tone(freq, 120) : Ding(freq, 120);
        }
        if (!SigTabActive()) {
            FSigDot = true;
            SetSigCaption();
        }
        FSigBlinkOn = true;
        FSigBlink.start();
        FModel->Repaint();
    }
}

// ---- the view ---------------------------------------------------------------

void TSignalFacet::RebuildSigView()
{
    const QString keep = FSigSelKey;
    BuildDtRows();
    std::fill(std::begin(FSigCnt), std::end(FSigCnt), 0);
    for (const TSigRow& r : std::as_const(FSigs))
        if (r.Kind >= 1 && r.Kind <= 4)
            ++FSigCnt[r.Kind];
    if (pbSigSum)
        pbSigSum->update();
    ShowDtMark();

    FSigView.clear();
    if (chkDtFocus && chkDtFocus->isChecked())
        for (int i = 0; i < FSigs.size(); ++i)
            if (FSigs[i].Kind == 5)
                FSigView.append(i);
    for (int i = 0; i < FSigs.size(); ++i) {
        const int k = FSigs[i].Kind;
        if (k >= 1 && k <= 4 && chkSig[k - 1] && chkSig[k - 1]->isChecked())
            FSigView.append(i);
    }
    FModel->SelRow = -1;
    if (!keep.isEmpty())
        for (int v = 0; v < FSigView.size(); ++v)
            if (FSigs[FSigView[v]].Key == keep) {
                FModel->SelRow = v;
                break;
            }
    FSigLock = true;
    FModel->Reset();
    if (gSig) {
        gSig->clearSpans();
        if (FSigView.isEmpty())
            gSig->setSpan(0, 0, 1, 7);
        if (FModel->SelRow >= 0)
            gSig->selectRow(FModel->SelRow);
        else
            gSig->clearSelection();
    }
    FSigLock = false;
    SetSigCaption();
}

void TSignalFacet::SetSigCaption()
{
    if (!pcBM || !tsSig)
        return;
    const int n = int(FSigView.size());
    QString cap;
    if (FSigDot)
        cap = QStringLiteral("  포착 (%1) ●  ").arg(n);
    else if (n == 0)
        cap = QStringLiteral("  포착  ");
    else
        cap = QStringLiteral("  포착 (%1)  ").arg(n);
    const int i = pcBM->indexOf(tsSig);
    if (i >= 0 && pcBM->tabText(i) != cap)
        pcBM->setTabText(i, cap);
}

void TSignalFacet::BlinkTick()
{
    const qint64 now = Tick();
    for (auto it = FSigFlash.begin(); it != FSigFlash.end();)
        it = it.value() <= now ? FSigFlash.erase(it) : std::next(it);
    FSigBlinkOn = !FSigBlinkOn;
    if (FSigFlash.isEmpty()) {
        FSigBlink.stop();
        FSigBlinkOn = false;
    }
    FModel->Repaint();
}

void TSignalFacet::OnSigClick(int viewRow)
{
    if (FSigLock || viewRow < 0 || viewRow >= FSigView.size())
        return;
    const TSigRow r = FSigs.value(FSigView[viewRow]);
    FSigSelKey = r.Key;
    FModel->SelRow = viewRow;
    MoveVolFront(r.Code);
    if (r.Code != Ctx.FCode && SelectStock)
        SelectStock(r.Code);
    FModel->Repaint();
}

void TSignalFacet::OnStockChanged()
{
    PushSigMarks();
    ShowDtMark();
    MoveVolFront(Ctx.FCode);
    FModel->Repaint();
}

void TSignalFacet::OnSigTabShown()
{
    FSigDot = false;
    RebuildSigView();
}

void TSignalFacet::PushSigMarks()
{
    TChartModel* chart = MinChart ? MinChart() : nullptr;
    if (!chart)
        return;
    QVector<TSigMark> marks;
    for (const TSigRow& r : std::as_const(FSigs)) {
        if (r.Code != Ctx.FCode || (r.Kind != 1 && r.Kind != 2) || r.Ep <= 0)
            continue;
        const int end = AddMinutes(r.T.toInt(), 1);
        if (end < 0)
            continue;
        TSigMark m;
        m.D = FSigDay + QStringLiteral("%1").arg(end, 4, 10, QLatin1Char('0'));
        m.Price = r.Ep;
        m.Buy = r.Kind == 1;
        m.Lab = HhMm(r.T) + (m.Buy ? QStringLiteral(" 매수포착") : QStringLiteral(" 매도포착"));
        marks.append(m);
    }
    chart->SetSigs(marks);
}

void TSignalFacet::PaintSummary(QPainter& p, const QRect& r)
{
    p.fillRect(r, QColor(0xF8, 0xF8, 0xF8));
    p.setRenderHint(QPainter::Antialiasing, true);
    const QFont f = AppFont(9, true);
    p.setFont(f);
    const QFontMetrics fm(f);
    struct TChip {
        int Kind;
        const char* Label;
        QColor Fill, Text;
    };
    static const TChip chips[] = {{1, "매수 포착", kRise, Qt::white},
                                  {2, "매도 포착", kFall, Qt::white},
                                  {3, "매수 스트릭", QColor(0xFF, 0xDC, 0xD8), QColor(0xB0, 0x20, 0x20)},
                                  {4, "매도 스트릭", QColor(207, 230, 255), QColor(0x00, 0x40, 0xA0)}};
    int x = r.left() + Scaled(6);
    const int inset = Scaled(3);
    for (const TChip& c : chips) {
        const QString t = QString::fromUtf8(c.Label) + QLatin1Char(' ') + QString::number(FSigCnt[c.Kind]);
        const int w = fm.horizontalAdvance(t) + Scaled(14);
        const QRect chip(x, r.top() + inset, w, r.height() - 2 * inset);
        QPainterPath path;
        path.addRoundedRect(chip, Scaled(8), Scaled(8));
        p.fillPath(path, c.Fill);
        p.setPen(c.Text);
        p.drawText(chip.adjusted(Scaled(7), 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, t);
        x += w + Scaled(6);
    }
    const int all = FSigCnt[1] + FSigCnt[2] + FSigCnt[3] + FSigCnt[4];
    if (all == 0)
        return;
    const double q = double(FSigCnt[1] + FSigCnt[3]) / all;
    x += Scaled(8);
    const int bw = std::max(Scaled(80), std::min(Scaled(220), r.right() - x - Scaled(150)));
    if (bw > Scaled(20)) {
        const QRect bar(x, r.top() + Scaled(8), bw, r.height() - 2 * Scaled(8));
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(bar, kFall);
        p.fillRect(QRect(bar.left(), bar.top(), int(std::lround(bw * q)), bar.height()), kRise);
        x += bw + Scaled(8);
    }
    const int pct = int(std::lround(q * 100));
    QString t;
    QColor c;
    if (q >= 0.55) {
        t = QStringLiteral("매수 %1% · 매수 우위").arg(pct);
        c = kRise;
    } else if (q <= 0.45) {
        t = QStringLiteral("매수 %1% · 매도 우위").arg(pct);
        c = kFall;
    } else {
        t = QStringLiteral("매수 %1% · 팽팽").arg(pct);
        c = QColor(0x50, 0x50, 0x50);
    }
    p.setPen(c);
    p.drawText(QRect(x, r.top(), r.right() - x, r.height()), Qt::AlignVCenter | Qt::AlignLeft, t);
}
