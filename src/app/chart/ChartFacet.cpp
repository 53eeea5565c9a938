#include "app/chart/ChartFacet.h"

#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "chart/CandleChart.h"
#include "chart/DrawStore.h"
#include "chart/MinuteBars.h"
#include "core/IniFile.h"
#include "core/NumFmt.h"
#include "market/Quote.h"

#include <QComboBox>
#include <QDate>
#include <QPushButton>
#include <QSet>
#include <algorithm>

TChartFacet::TChartFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent)
{
    FDrawStore = std::make_unique<TDrawStore>(Ctx.FExeDir + QStringLiteral("draws.json"));
    FDrawStoreProblem = FDrawStore->Load();
}

TChartFacet::~TChartFacet() = default;

TChartModel& TChartFacet::MinChart() const { return chMin->Model(); }
TChartModel& TChartFacet::DayChart() const { return chDay->Model(); }

void TChartFacet::BuildCharts()
{
    chDay = BuildChart(QStringLiteral("일봉"), false);
    chMin = BuildChart(QStringLiteral("1분봉"), true);
    for (TCandleChart* ch : {chDay, chMin})
        ch->Model().OnDrawsChange = [this, ch] { SaveDraws(ch); };
    connect(cbDayPer, &QComboBox::activated, this, [this] { OnDayPerChange(); });
    connect(cbMinPer, &QComboBox::activated, this, [this] { OnMinPerChange(); });
    btnMinMore->setToolTip(QStringLiteral("하루 더 이전 분봉 (최대 20영업일 · 10분에 15번까지)"));
    connect(btnMinMore, &QPushButton::clicked, this, [this] { MinMore(); });
    // "하루": today's session from 09:00 fills the minute chart.
    connect(btnMinDay, &QPushButton::clicked, this,
            [this] { chMin->Model().FitFrom(Ctx.Today() + QStringLiteral("0900")); });
    chMin->Model().OnBarClick = [this](const QString& d) {
        if (OnMinBarClick)
            OnMinBarClick(d);
    };
    // The minute chart's hovered day marks the day chart; leaving it returns to the daily table's day.
    chMin->Model().OnHoverDay = [this](const QString& d) {
        if (!d.isEmpty())
            chDay->Model().SetDayMark(d.left(8));
        else
            chDay->Model().SetDayMark(SelectedDay ? SelectedDay() : QString());
    };
}

qint64 TChartFacet::PrevVolOf(const QVector<TBar>& asc, const QString& today)
{
    if (asc.isEmpty())
        return 0;
    if (asc.last().D != today)
        return asc.last().V;
    return asc.size() >= 2 ? asc[asc.size() - 2].V : 0;
}

// A chart shows the current stock's own bars or nothing: until its first
// answer has arrived it takes no trades (the minute trades are kept here and
// joined to the history when it comes).
double TChartFacet::OnTrade(const TTradeRec& t)
{
    const QString today = Ctx.Today();
    AddLiveMinute(today, t);
    if (FMinShown)
        chMin->Model().Tick(today, t.Time, t.Price, t.Open, t.High, t.Low, t.Volume, t.CVolume);
    if (FDayShown)
        chDay->Model().Tick(today, t.Time, t.Price, t.Open, t.High, t.Low, t.Volume, t.CVolume);
    const double vwap = FMinShown ? chMin->Model().TodayVwap(today) : 0;
    chDay->Model().SetExtVwap(vwap);
    return vwap;
}

// The 1-minute bar (keyed by the end of its minute) of a trade.
void TChartFacet::AddLiveMinute(const QString& today, const TTradeRec& t)
{
    if (t.Price <= 0)
        return;
    bool ok = false;
    const int hhmm = t.Time.left(4).toInt(&ok);
    if (!ok || hhmm < 0)
        return;
    const int end = NextMinute(hhmm);
    QString key;
    key.reserve(12);
    key += today;
    for (int div : {1000, 100, 10, 1})
        key += QChar(u'0' + end / div % 10);
    if (!FMinCut.isEmpty() && key < FMinCut)
        return;  // a late trade of a minute the history holds whole
    const double px = t.Price;
    auto it = FMinLive.find(key);
    if (it == FMinLive.end()) {
        TBar b;
        b.D = key;
        b.O = b.H = b.L = b.C = px;
        b.V = t.CVolume;
        FMinLive.insert(key, b);
        return;
    }
    it->H = std::max(it->H, px);
    it->L = std::min(it->L, px);
    it->C = px;
    it->V += t.CVolume;
}

void TChartFacet::ResetStock()
{
    ++FDayGen;
    FDayGot = FDayShown = FMinShown = false;
    FMinLive.clear();
    FMinCut.clear();
    chDay->Model().Clear();
    chMin->Model().Clear();
    chDay->Model().SetExtVwap(0);
    chDay->Model().SetDayMark(QString());
    LoadDraws(chDay);
    LoadDraws(chMin);
    UpdateChartTitles();
}

void TChartFacet::ResetLoggedIn()
{
    chMin->Model().SetFills({});
    chDay->Model().SetPrevClose(0);
    chMin->Model().SetPrevClose(0);
    FMinTries = 0;
    FMinRetryAt = 0;
}

void TChartFacet::OnMinMessage(const QString& code, const QString& msg)
{
    const std::optional<TReqBind> bind = Ctx.Bound(Ctx.B.qMin);
    if (!bind || bind->Code != FMinCode || bind->Run != FMinRun)
        return;  // about a request of an earlier load
    if (bind->Kind == KMinMore) {
        // An error ends that one request: the days held stay, the button returns.
        if (!FMinMoreBusy)
            return;
        Log(QStringLiteral("[") + code + QStringLiteral("] 분봉 더보기: ") + msg);
        EndMoreRequest();
        return;
    }
    Log(QStringLiteral("[") + code + QStringLiteral("] 분봉: ") + msg + QStringLiteral(" — 6초 뒤 다시"));
    FMinRetryAt = Ctx.Clock().TickMs() + 6000;
}

void TChartFacet::MoreButtonTick()
{
    if (btnMinMore && !btnMinMore->isEnabled() && !FMinMoreBusy && Ctx.Clock().TickMs() >= FMinMoreReadyAt)
        UpdateMinMoreButton();
}

void TChartFacet::RetryTick()
{
    if (Ctx.FLogged && FMinRetryAt > 0 && Ctx.Clock().TickMs() >= FMinRetryAt) {
        FMinRetryAt = 0;
        if (FMinTries < 3) {
            ++FMinTries;
            Log(QStringLiteral("분봉 다시 받기 (%1/3)").arg(FMinTries));
            Ctx.FQ->ClearTr(QStringLiteral("t8412"));
            StartMinBars();
        }
    }
}

namespace {
const QString L = QStringLiteral("LAYOUT");
const QString U = QStringLiteral("UI");
}

void TChartFacet::LoadLayout(const TIniFile& ini)
{
    // Bar widths chosen with the wheel; anything outside the wheel's 1..40 is automatic.
    const auto userBarW = [&](const QString& key) {
        const int w = ini.ReadInteger(L, key, 0);
        return w >= 1 && w <= 40 ? w : 0;
    };
    chDay->Model().SetUserBarW(userBarW(QStringLiteral("DAYBARW")));
    FDayPer = qBound(0, ini.ReadInteger(U, QStringLiteral("DAYPER"), 0), 2);
    cbDayPer->setCurrentIndex(FDayPer);
    chMin->Model().SetUserBarW(userBarW(QStringLiteral("MINBARW")));
    cbMinPer->setCurrentIndex(qBound(0, ini.ReadInteger(U, QStringLiteral("MINPER"), 0), 5));
    bool ok = false;
    FMinPer = cbMinPer->currentText().remove(QStringLiteral("분")).toInt(&ok);
    if (!ok)
        FMinPer = 1;
    chMin->Model().SetPeriod(FMinPer);
    chDay->Model().SetDayGroup(FDayPer);
    UpdateChartTitles();
}

void TChartFacet::SaveLayout(TIniFile& ini) const
{
    ini.WriteInteger(L, QStringLiteral("DAYBARW"), chDay->Model().UserBarW());
    ini.WriteInteger(U, QStringLiteral("DAYPER"), FDayPer);
    ini.WriteInteger(L, QStringLiteral("MINBARW"), chMin->Model().UserBarW());
    ini.WriteInteger(U, QStringLiteral("MINPER"), cbMinPer->currentIndex());
}

TCandleChart* TChartFacet::BuildChart(const QString& title, bool minute)
{
    auto* ch = new TCandleChart;
    ch->setMinimumSize(Scaled(80), Scaled(80));
    ch->SetScale(Scaled);
    ch->SetChartFont(AppFont(9));
    ch->Model().SetTitle(title);
    ch->Model().SetIsMinute(minute);
    auto* draw = MakeButton(ch, QStringLiteral("그리기 ▾"));
    connect(draw, &QPushButton::clicked, this, [ch, draw] { TCandleChart::PopDrawMenu(ch, draw); });
    if (!minute) {
        btnDayDraw = draw;
        cbDayPer = new QComboBox(ch);
        cbDayPer->setFont(AppFont(9));
        cbDayPer->addItems({QStringLiteral("일봉"), QStringLiteral("주봉"), QStringLiteral("월봉")});
        OnResize(ch, [ch, this] {
            const int h = cbDayPer->sizeHint().height();
            int x = qMax(Scaled(4), ch->width() - Scaled(78) - Scaled(82));
            cbDayPer->setGeometry(x, Scaled(1), Scaled(78), h);
            btnDayDraw->setGeometry(x - Scaled(80), Scaled(1), Scaled(76), h);
        });
        return ch;
    }
    btnMinDraw = draw;
    cbMinPer = new QComboBox(ch);
    cbMinPer->setFont(AppFont(9));
    cbMinPer->addItems({QStringLiteral("1분"), QStringLiteral("2분"), QStringLiteral("3분"), QStringLiteral("5분"),
                        QStringLiteral("10분"), QStringLiteral("30분")});
    btnMinDay = MakeButton(ch, QStringLiteral("하루"));
    btnMinMore = MakeButton(ch, QStringLiteral("◀ 더보기"));
    OnResize(ch, [ch, this] {
        // From the right edge leftwards, all as high as the selector.
        const int h = cbMinPer->sizeHint().height();
        const int sel = qMax(Scaled(4), ch->width() - Scaled(78) - Scaled(82));
        cbMinPer->setGeometry(sel, Scaled(1), Scaled(78), h);
        const int day = sel - Scaled(50);
        btnMinDay->setGeometry(day, Scaled(1), Scaled(46), h);
        const int more = day - Scaled(80);
        btnMinMore->setGeometry(more, Scaled(1), Scaled(76), h);
        btnMinDraw->setGeometry(more - Scaled(80), Scaled(1), Scaled(76), h);
    });
    return ch;
}

// "일봉"/"주봉"/"월봉" and "N분봉", each followed by the stock's name when one is current.
void TChartFacet::UpdateChartTitles()
{
    static const char* per[3] = {"일봉", "주봉", "월봉"};
    const QString name = Ctx.FCode.isEmpty() ? QString() : QStringLiteral("  ") + Ctx.NameOf(Ctx.FCode);
    chDay->Model().SetTitle(QString::fromUtf8(per[qBound(0, FDayPer, 2)]) + name);
    chMin->Model().SetTitle(QString::number(FMinPer) + QStringLiteral("분봉") + name);
    chDay->update();
    chMin->update();
}

// Drawings belong to a stock and a chart (the day chart per period). A chart
// gets the drawings of its key and the key at once, so an edit is saved
// where the drawings it changed came from.
void TChartFacet::LoadDraws(TCandleChart* ch)
{
    const bool minute = ch == chMin;
    const QString key = TDrawStore::DrawKey(Ctx.FCode, minute, FDayPer);
    FDrawKey[minute ? 1 : 0] = key;
    ch->Model().SetDraws(FDrawStore->Draws(key));
}

void TChartFacet::SaveDraws(TCandleChart* ch)
{
    const QString key = FDrawKey[ch == chMin ? 1 : 0];
    if (key.isEmpty())
        return;
    const QString err = FDrawStore->SaveDraws(key, ch->Model().GetDraws());
    if (!err.isEmpty())
        Log(err);
}

void TChartFacet::OnDayPerChange()
{
    FDayPer = qMax(0, cbDayPer->currentIndex());
    chDay->Model().SetDayGroup(FDayPer);
    UpdateChartTitles();
    if (Ctx.FCode.isEmpty())
        return;
    if (FDayPer > 0) {
        chDay->Model().Clear();
        FDayShown = false;  // nothing until the week or month bars come
        LoadDraws(chDay);
        ReqDayW();
    } else {
        chDay->Model().SetBars(DayRows ? DayRows() : QVector<TBar>());
        FDayShown = FDayGot;
        LoadDraws(chDay);
    }
}

void TChartFacet::OnMinPerChange()
{
    static const int per[6] = {1, 2, 3, 5, 10, 30};
    const int i = cbMinPer->currentIndex();
    FMinPer = i >= 0 && i < 6 ? per[i] : 1;
    chMin->Model().SetPeriod(FMinPer);
    UpdateChartTitles();
    if (Ctx.FCode.isEmpty())
        return;
    chMin->Model().Clear();
    Ctx.FQ->ClearTr(QStringLiteral("t8412"));
    StartMinBars();
}

void TChartFacet::UpdateMinMoreButton()
{
    btnMinMore->setEnabled(!FMinMoreBusy && Ctx.Clock().TickMs() >= FMinMoreReadyAt);
    btnMinMore->setText(FMinMoreCnt == 0 ? QStringLiteral("◀ 더보기")
                                         : QStringLiteral("◀ 더보기 (%1)").arg(FMinMoreCnt));
}

// One more business day of minute bars, at most 20 days and 15 requests in ten minutes.
void TChartFacet::MinMore()
{
    const qint64 now = Ctx.Clock().TickMs();
    if (FMinCode.isEmpty() || !Ctx.FLogged || FMinMoreBusy || now < FMinMoreReadyAt)
        return;
    if (FMinNoMore) {
        Log(QStringLiteral("분봉 더보기: 이 종목은 더 이전 분봉이 없음"));
        return;
    }
    if (FMinDays >= 20) {
        Log(QStringLiteral("분봉 더보기: 최대 20영업일까지 (그 이전은 일봉으로)"));
        return;
    }
    while (!FMinMoreLog.isEmpty() && (now - FMinMoreLog.first()) / 1000 >= 600)
        FMinMoreLog.removeFirst();
    if (FMinMoreLog.size() >= 15) {
        const qint64 w = 600 - (now - FMinMoreLog.first()) / 1000;
        Log(QStringLiteral("분봉 더보기: 10분에 15번까지 — %1분 %2초 뒤에 다시 (LS 조회 제한 보호)").arg(w / 60).arg(w % 60));
        return;
    }
    if (FMinAcc.isEmpty())
        return;
    QString oldest = FMinAcc.first().D.left(8);
    for (const TBar& b : FMinAcc)
        oldest = std::min(oldest, b.D.left(8));
    FMinMoreOld = oldest;
    FMinMoreLog.append(now);
    FMinMoreBusy = true;
    btnMinMore->setEnabled(false);
    btnMinMore->setText(QStringLiteral("받는 중…"));
    SendMinDay(FMinCode, QDate::fromString(oldest, QStringLiteral("yyyyMMdd")).addDays(-1).toString(QStringLiteral("yyyyMMdd")));
}

void TChartFacet::SendMinDay(const QString& code, const QString& edate)
{
    const TReqBind bind{code, FMinPer, FMinRun, KMinMore};
    Ctx.FQ->Add(QStringLiteral("t8412"), [this, code, edate, bind] {
        if (bind.Run != FMinRun)
            return;  // the minute load started over since
        if (!Ctx.SetQueryRes(Ctx.B.qMin, QStringLiteral("t8412"))) {
            EndMoreRequest();
            return;
        }
        FillMinInput(code, QStringLiteral("1"), edate, QString(), QString());
        if (Ctx.Send(Ctx.B.qMin, false, bind) < 0) {
            Log(QStringLiteral("!! 분봉 더보기 요청 실패"));
            EndMoreRequest();
        }
    });
}

// A more-history request that will bring nothing: the button comes back
// after three seconds, the days held stay.
void TChartFacet::EndMoreRequest()
{
    FMinMoreBusy = false;
    FMinMoreReadyAt = Ctx.Clock().TickMs() + 3000;
    UpdateMinMoreButton();
}

void TChartFacet::OnMinMoreData(int records)
{
    FMinMoreBusy = false;
    FMinMoreReadyAt = Ctx.Clock().TickMs() + 2000;
    QSet<QString> daySet;
    for (const TBar& b : FMinAcc)
        daySet.insert(b.D.left(8));
    QStringList days(daySet.begin(), daySet.end());
    days.sort();
    Log(QStringLiteral("분봉 더보기 응답: %1봉 · 받아 둔 날 %2개 (%3 ~ %4) · 요청 기준 %5 이전")
            .arg(records)
            .arg(days.size())
            .arg(days.isEmpty() ? QStringLiteral("-") : days.first(), days.isEmpty() ? QStringLiteral("-") : days.last(),
                 FMinMoreOld));
    if (!days.isEmpty() && days.first() < FMinMoreOld) {
        FMinDays = days.size();
        FMinMoreAsk = true;
        FMinMoreCnt += 1;
    } else {
        FMinNoMore = true;
        Log(QStringLiteral("분봉 더보기: 이 종목은 더 이전 분봉이 없음 (") + FMinMoreOld.mid(4, 2) + QLatin1Char('/') +
            FMinMoreOld.mid(6, 2) + QStringLiteral(" 이 처음)"));
    }
    ShowMinBars(false);
}

// The t8412 input of a 1-minute request (compressed answer).
void TChartFacet::FillMinInput(const QString& code, const QString& nday, const QString& edate, const QString& ctsDate,
                            const QString& ctsTime)
{
    const QString b = QStringLiteral("t8412InBlock");
    Ctx.B.qMin->SetFieldData(b, QStringLiteral("shcode"), 0, code);
    Ctx.B.qMin->SetFieldData(b, QStringLiteral("ncnt"), 0, QStringLiteral("1"));
    Ctx.B.qMin->SetFieldData(b, QStringLiteral("qrycnt"), 0, QStringLiteral("2000"));
    Ctx.B.qMin->SetFieldData(b, QStringLiteral("nday"), 0, nday);
    Ctx.B.qMin->SetFieldData(b, QStringLiteral("sdate"), 0, QString());
    Ctx.B.qMin->SetFieldData(b, QStringLiteral("stime"), 0, QString());
    Ctx.B.qMin->SetFieldData(b, QStringLiteral("edate"), 0, edate);
    Ctx.B.qMin->SetFieldData(b, QStringLiteral("etime"), 0, QString());
    Ctx.B.qMin->SetFieldData(b, QStringLiteral("cts_date"), 0, ctsDate);
    Ctx.B.qMin->SetFieldData(b, QStringLiteral("cts_time"), 0, ctsTime);
    Ctx.B.qMin->SetFieldData(b, QStringLiteral("comp_yn"), 0, QStringLiteral("Y"));
}

void TChartFacet::StartMinBars()
{
    if (!Ctx.FLogged || Ctx.FCode.isEmpty())
        return;
    FMinCode = Ctx.FCode;
    FMinAcc.clear();
    FMinPage = 0;
    FMinDays = 2;
    FMinNoMore = FMinMoreAsk = FMinMoreBusy = false;
    FMinMoreCnt = 0;
    FMinMoreOld.clear();
    FMinCtsD.clear();
    FMinCtsT.clear();
    ++FMinRun;
    FMinShown = false;
    FMinCut.clear();
    if (btnMinMore)
        UpdateMinMoreButton();
    SendMinPage(FMinCode, QString(), false, QString());
}

void TChartFacet::SendMinPage(const QString& code, const QString& ctsDate, bool next, const QString& ctsTime)
{
    const QString today = Ctx.Today();
    const TReqBind bind{code, FMinPer, FMinRun, KMinPage};
    Ctx.FQ->Add(QStringLiteral("t8412"), [this, code, ctsDate, next, ctsTime, today, bind] {
        if (!Ctx.SetQueryRes(Ctx.B.qMin, QStringLiteral("t8412")))
            return;
        FillMinInput(code, QStringLiteral("3"), today, ctsDate, ctsTime);
        if (Ctx.Send(Ctx.B.qMin, next, bind) < 0) {
            Log(QStringLiteral("!! t8412 분봉 요청 실패 — 6초 뒤 다시"));
            FMinRetryAt = Ctx.Clock().TickMs() + 6000;
        }
    });
}

void TChartFacet::OnMinData()
{
    // A page of another stock, another period or a load since started over
    // changes nothing.
    const std::optional<TReqBind> bind = Ctx.Bound(Ctx.B.qMin);
    if (!bind || bind->Code != FMinCode || bind->Run != FMinRun)
        return;
    const bool more = bind->Kind == KMinMore;
    if (more && !FMinMoreBusy)
        return;
    const QString head = QStringLiteral("t8412OutBlock");
    QString code = Ctx.B.qMin->GetFieldData(head, QStringLiteral("shcode"), 0).trimmed();
    if (code.size() > 6)
        code = code.right(6);
    if (!code.isEmpty() && code != FMinCode)
        return;  // a late answer for another stock
    const QString b = QStringLiteral("t8412OutBlock1");
    int n = Ctx.B.qMin->Decompress(b);
    if (n < 0)
        n = Ctx.B.qMin->GetBlockCount(b);
    for (int i = 0; i < n; ++i) {
        auto get = [&](const char* f) { return Ctx.B.qMin->GetFieldData(b, QString::fromLatin1(f), i); };
        TBar bar;
        bar.D = get("date").trimmed() + get("time").trimmed().left(4);
        if (bar.D.size() != 12)
            continue;
        bar.O = ParseNum(get("open"));
        bar.H = ParseNum(get("high"));
        bar.L = ParseNum(get("low"));
        bar.C = ParseNum(get("close"));
        bar.V = ParseInt(get("jdiff_vol"));
        FMinAcc.append(bar);
    }
    if (more) {
        OnMinMoreData(n);
        return;
    }
    // The history now holds every trade up to its newest minute: live
    // minutes before it go, that minute keeps only what came after.
    QString latest;
    for (const TBar& bar : FMinAcc)
        latest = std::max(latest, bar.D);
    if (latest > FMinCut) {
        FMinLive.erase(FMinLive.begin(), FMinLive.upperBound(latest));
        FMinCut = latest;
    }
    FMinPage += 1;
    FMinCtsD = Ctx.B.qMin->GetFieldData(head, QStringLiteral("cts_date"), 0).trimmed();
    FMinCtsT = Ctx.B.qMin->GetFieldData(head, QStringLiteral("cts_time"), 0).trimmed();
    const QString today = Ctx.Clock().Now().toString(QStringLiteral("yyyyMMdd"));
    QSet<QString> daySet;
    for (const TBar& bar : FMinAcc)
        daySet.insert(bar.D.left(8));
    QStringList days(daySet.begin(), daySet.end());
    days.sort();
    QString prev;
    for (const QString& d : days)
        if (d < today)
            prev = d;
    const bool paging = n > 0 && !FMinCtsD.isEmpty() && days.size() < FMinDays + 1 && FMinPage < FMinDays + 4;
    if (paging)
        SendMinPage(FMinCode, FMinCtsD, true, FMinCtsT);
    if (prev > FPrevDate)
        FPrevDate = prev;
    ShowMinBars(paging);
}

void TChartFacet::ShowMinBars(bool paging)
{
    const QString today = Ctx.Today();
    QMap<QString, TBar> minutes;  // by key: a minute a page repeats counts once
    QSet<QString> daySet;
    for (const TBar& bar : FMinAcc) {
        if (bar.D.left(8) == today && bar.V == 0)
            continue;
        minutes.insert(bar.D, bar);
        daySet.insert(bar.D.left(8));
    }
    QStringList days(daySet.begin(), daySet.end());
    days.sort();
    const QString from = days.isEmpty() ? QString() : days[qMax(days.size() - FMinDays, 0)];
    minutes.erase(minutes.begin(), minutes.lowerBound(from));
    // Live trades join the history minute by minute: a minute the history
    // holds gets what traded after the history was taken.
    for (auto it = FMinLive.cbegin(); it != FMinLive.cend(); ++it) {
        const TBar& live = it.value();
        auto h = minutes.find(it.key());
        if (h == minutes.end()) {
            minutes.insert(it.key(), live);
            continue;
        }
        h->H = std::max(h->H, live.H);
        h->L = std::min(h->L, live.L);
        h->C = live.C;
        h->V += live.V;
    }
    TChartModel& chart = MinChart();
    const QVector<TBar> shown = minutes.values().toVector();
    chart.SetPeriod(FMinPer);
    chart.SetBars(GroupMinBars(shown, FMinPer));
    FMinShown = true;
    if (OnMinBarsLoaded && !from.isEmpty())
        OnMinBarsLoaded(from);
    LoadDraws(chMin);
    if (!paging) {
        if (FMinMoreAsk && !from.isEmpty()) {
            chart.ShowFrom(from + QStringLiteral("0000"));
            FMinMoreAsk = false;
        }
        UpdateMinMoreButton();
        int earlier = 0, todayCount = 0;
        QString first;
        for (const TBar& bar : shown) {
            if (bar.D.left(8) == today) {
                ++todayCount;
            } else {
                if (!earlier)
                    first = bar.D.mid(4, 2) + '/' + bar.D.mid(6, 2) + ' ' + bar.D.mid(8, 2) + ':' + bar.D.mid(10, 2);
                ++earlier;
            }
        }
        Log(QStringLiteral("분봉 %1: %2쪽 · %3영업일 · 앞날 %4개(%5~) · 오늘 %6개")
                .arg(Ctx.NameOf(FMinCode)).arg(FMinPage).arg(FMinDays).arg(earlier).arg(first).arg(todayCount));
    }
    const double vwap = chart.TodayVwap(today);
    DayChart().SetExtVwap(vwap);
    if (OnTodayVwap)
        OnTodayVwap(vwap);
}

// ---- day bars ----

// One t8410 request of the current stock: "2" day, "3" week, "4" month bars.
void TChartFacet::QueueDayBars(TXAQuery* TBrokerObjects::*query, const QString& gubun, const QString& failText)
{
    const QString code = Ctx.FCode;
    const QString today = Ctx.Today();
    const TReqBind bind{code, query == &TBrokerObjects::qDayW ? FDayPer : 0, FDayGen};
    Ctx.FQ->Add(QStringLiteral("t8410"), [this, query, code, gubun, today, failText, bind] {
        TXAQuery* q = Ctx.B.*query;
        if (!Ctx.SetQueryRes(q, QStringLiteral("t8410")))
            return;
        const QString b = QStringLiteral("t8410InBlock");
        q->SetFieldData(b, QStringLiteral("shcode"), 0, code);
        q->SetFieldData(b, QStringLiteral("gubun"), 0, gubun);
        q->SetFieldData(b, QStringLiteral("qrycnt"), 0, QStringLiteral("500"));
        q->SetFieldData(b, QStringLiteral("sdate"), 0, QString());
        q->SetFieldData(b, QStringLiteral("edate"), 0, today);
        q->SetFieldData(b, QStringLiteral("cts_date"), 0, QString());
        q->SetFieldData(b, QStringLiteral("comp_yn"), 0, QStringLiteral("N"));
        q->SetFieldData(b, QStringLiteral("sujung"), 0, QStringLiteral("Y"));
        if (Ctx.Send(q, false, bind) < 0)
            Log(failText);
    });
}

// The bars of a t8410 answer; `value` adds the trading value (millions of won).
QVector<TBar> TChartFacet::ReadDayBars(TXAQuery* q, bool value) const
{
    const QString b = QStringLiteral("t8410OutBlock1");
    QVector<TBar> bars;
    for (int i = 0, n = q->GetBlockCount(b); i < n; ++i) {
        auto get = [&](const char* f) { return q->GetFieldData(b, QString::fromLatin1(f), i); };
        TBar bar;
        bar.D = get("date").trimmed();
        bar.O = ParseNum(get("open"));
        bar.H = ParseNum(get("high"));
        bar.L = ParseNum(get("low"));
        bar.C = ParseNum(get("close"));
        bar.V = ParseInt(get("jdiff_vol"));
        if (value)
            bar.PV = ParseNum(get("value")) * 1000000.0;
        bars.append(bar);
    }
    return bars;
}

void TChartFacet::ReqDayW()
{
    if (!Ctx.FLogged || Ctx.FCode.isEmpty() || FDayPer < 1)
        return;
    QueueDayBars(&TBrokerObjects::qDayW, FDayPer == 1 ? QStringLiteral("3") : QStringLiteral("4"),
                 QStringLiteral("!! t8410 주봉 · 월봉 요청 실패"));
}

// The answer on q was asked for this stock, this day-chart period and since
// the stock was chosen.
bool TChartFacet::DayAnswerIsCurrent(TXAQuery* q, bool periodBound) const
{
    const std::optional<TReqBind> bind = Ctx.Bound(q);
    return bind && bind->Code == Ctx.FCode && bind->Run == FDayGen && (!periodBound || bind->Per == FDayPer);
}

void TChartFacet::OnDayWData()
{
    if (FDayPer == 0 || !DayAnswerIsCurrent(Ctx.B.qDayW, true))
        return;
    chDay->Model().SetBars(SortBars(ReadDayBars(Ctx.B.qDayW, false)));
    FDayShown = true;
    LoadDraws(chDay);
}

void TChartFacet::ReqDay()
{
    if (!Ctx.FLogged || Ctx.FCode.isEmpty())
        return;
    QueueDayBars(&TBrokerObjects::qDay, QStringLiteral("2"), QStringLiteral("!! t8410 일봉 요청 실패"));
    if (FDayPer > 0)
        ReqDayW();
}

std::optional<QVector<TBar>> TChartFacet::OnDayData()
{
    if (!DayAnswerIsCurrent(Ctx.B.qDay, false))
        return std::nullopt;
    const QString today = Ctx.Today();
    QVector<TBar> bars;
    for (const TBar& bar : ReadDayBars(Ctx.B.qDay, true))
        if (!(bar.D == today && bar.V == 0))  // today's empty bar before the open
            bars.append(bar);
    bars = SortBars(bars);
    FDayGot = true;
    if (FDayPer == 0) {
        chDay->Model().SetBars(bars);
        FDayShown = true;
        LoadDraws(chDay);
    }
    return bars;
}



bool TChartFacet::HoldsWidget(const QWidget* w) const
{
    for (const QWidget* p = w; p; p = p->parentWidget())
        if (p == chDay || p == chMin || p == cbMinPer)
            return true;
    return false;
}
