// Minute bars: the first pages of the current stock, grouped by the chosen
// period and kept live by the trade feed.
#include "app/MainWindow.h"
#include "app/trading/OrderFacet.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "chart/CandleChart.h"
#include "chart/DrawStore.h"

#include <QComboBox>
#include <QPushButton>
#include <QHeaderView>
#include <QTableWidget>
#include "chart/MinuteBars.h"
#include "trading/LadderView.h"
#include "app/UiKit.h"
#include "app/market/QuoteFacet.h"
#include "app/market/DailyFacet.h"
#include "core/Clock.h"
#include "core/NumFmt.h"

#include <QSet>
#include <algorithm>

QString TfrmMain::Today() const { return Ctx().Today(); }

TChartModel& TfrmMain::MinChart() { return chMin->Model(); }
TChartModel& TfrmMain::DayChart() { return chDay->Model(); }

// "일봉"/"주봉"/"월봉" and "N분봉", each followed by the stock's name when one is current.
void TfrmMain::UpdateChartTitles()
{
    static const char* per[3] = {"일봉", "주봉", "월봉"};
    const QString name = Ctx().FCode.isEmpty() ? QString() : QStringLiteral("  ") + Ctx().NameOf(Ctx().FCode);
    chDay->Model().SetTitle(QString::fromUtf8(per[qBound(0, FDayPer, 2)]) + name);
    chMin->Model().SetTitle(QString::number(FMinPer) + QStringLiteral("분봉") + name);
    chDay->update();
    chMin->update();
}

// Drawings belong to a stock and a chart (the day chart per period).
void TfrmMain::LoadDraws(TCandleChart* ch)
{
    const bool minute = ch == chMin;
    ch->Model().SetDraws(FDrawStore->Draws(TDrawStore::DrawKey(Ctx().FCode, minute, FDayPer)));
}

void TfrmMain::SaveDraws(TCandleChart* ch)
{
    const QString key = TDrawStore::DrawKey(Ctx().FCode, ch == chMin, FDayPer);
    if (key.isEmpty())
        return;
    const QString err = FDrawStore->SaveDraws(key, ch->Model().GetDraws());
    if (!err.isEmpty())
        Log(err);
}

void TfrmMain::OnDayPerChange()
{
    FDayPer = qMax(0, cbDayPer->currentIndex());
    chDay->Model().SetDayGroup(FDayPer);
    UpdateChartTitles();
    if (Ctx().FCode.isEmpty())
        return;
    if (FDayPer > 0) {
        chDay->Model().Clear();
        ReqDayW();
    } else {
        chDay->Model().SetBars(Daily->FDaily.Ascending());
        LoadDraws(chDay);
    }
}

void TfrmMain::OnMinPerChange()
{
    static const int per[6] = {1, 2, 3, 5, 10, 30};
    const int i = cbMinPer->currentIndex();
    FMinPer = i >= 0 && i < 6 ? per[i] : 1;
    chMin->Model().SetPeriod(FMinPer);
    UpdateChartTitles();
    if (Ctx().FCode.isEmpty())
        return;
    chMin->Model().Clear();
    Ctx().FQ->ClearTr(QStringLiteral("t8412"));
    StartMinBars();
}

void TfrmMain::UpdateMinMoreButton()
{
    btnMinMore->setEnabled(!FMinMoreBusy && Ctx().Clock().TickMs() >= FMinMoreReadyAt);
    btnMinMore->setText(FMinMoreCnt == 0 ? QStringLiteral("◀ 더보기")
                                         : QStringLiteral("◀ 더보기 (%1)").arg(FMinMoreCnt));
}

// One more business day of minute bars, at most 20 days and 15 requests in ten minutes.
void TfrmMain::MinMore()
{
    const qint64 now = Ctx().Clock().TickMs();
    if (FMinCode.isEmpty() || !Ctx().FLogged || FMinMoreBusy || now < FMinMoreReadyAt)
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

void TfrmMain::SendMinDay(const QString& code, const QString& edate)
{
    Ctx().FQ->Add(QStringLiteral("t8412"), [this, code, edate] {
        if (!Ctx().SetQueryRes(Ctx().B.qMin, QStringLiteral("t8412"))) {
            FMinMoreBusy = false;
            FMinMoreReadyAt = Ctx().Clock().TickMs() + 3000;
            return;
        }
        FillMinInput(code, QStringLiteral("1"), edate, QString(), QString());
        if (Ctx().B.qMin->Request(false) < 0) {
            Log(QStringLiteral("!! 분봉 더보기 요청 실패"));
            FMinMoreBusy = false;
            FMinMoreReadyAt = Ctx().Clock().TickMs() + 3000;
        }
    });
}

void TfrmMain::OnMinMoreData(int records)
{
    FMinMoreBusy = false;
    FMinMoreReadyAt = Ctx().Clock().TickMs() + 2000;
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
void TfrmMain::FillMinInput(const QString& code, const QString& nday, const QString& edate, const QString& ctsDate,
                            const QString& ctsTime)
{
    const QString b = QStringLiteral("t8412InBlock");
    Ctx().B.qMin->SetFieldData(b, QStringLiteral("shcode"), 0, code);
    Ctx().B.qMin->SetFieldData(b, QStringLiteral("ncnt"), 0, QStringLiteral("1"));
    Ctx().B.qMin->SetFieldData(b, QStringLiteral("qrycnt"), 0, QStringLiteral("2000"));
    Ctx().B.qMin->SetFieldData(b, QStringLiteral("nday"), 0, nday);
    Ctx().B.qMin->SetFieldData(b, QStringLiteral("sdate"), 0, QString());
    Ctx().B.qMin->SetFieldData(b, QStringLiteral("stime"), 0, QString());
    Ctx().B.qMin->SetFieldData(b, QStringLiteral("edate"), 0, edate);
    Ctx().B.qMin->SetFieldData(b, QStringLiteral("etime"), 0, QString());
    Ctx().B.qMin->SetFieldData(b, QStringLiteral("cts_date"), 0, ctsDate);
    Ctx().B.qMin->SetFieldData(b, QStringLiteral("cts_time"), 0, ctsTime);
    Ctx().B.qMin->SetFieldData(b, QStringLiteral("comp_yn"), 0, QStringLiteral("Y"));
}

void TfrmMain::StartMinBars()
{
    if (!Ctx().FLogged || Ctx().FCode.isEmpty())
        return;
    FMinCode = Ctx().FCode;
    FMinAcc.clear();
    FMinPage = 0;
    FMinDays = 2;
    FMinNoMore = FMinMoreAsk = FMinMoreBusy = false;
    FMinMoreCnt = 0;
    FMinMoreOld.clear();
    FMinCtsD.clear();
    FMinCtsT.clear();
    SendMinPage(FMinCode, QString(), false, QString());
}

void TfrmMain::SendMinPage(const QString& code, const QString& ctsDate, bool next, const QString& ctsTime)
{
    const QString today = Ctx().Clock().Now().toString(QStringLiteral("yyyyMMdd"));
    Ctx().FQ->Add(QStringLiteral("t8412"), [this, code, ctsDate, next, ctsTime, today] {
        if (!Ctx().SetQueryRes(Ctx().B.qMin, QStringLiteral("t8412")))
            return;
        FillMinInput(code, QStringLiteral("3"), today, ctsDate, ctsTime);
        if (Ctx().B.qMin->Request(next) < 0) {
            Log(QStringLiteral("!! t8412 분봉 요청 실패 — 6초 뒤 다시"));
            FMinRetryAt = Ctx().Clock().TickMs() + 6000;
        }
    });
}

void TfrmMain::OnMinData()
{
    const QString head = QStringLiteral("t8412OutBlock");
    QString code = Ctx().B.qMin->GetFieldData(head, QStringLiteral("shcode"), 0).trimmed();
    if (code.size() > 6)
        code = code.right(6);
    if (!code.isEmpty() && code != FMinCode)
        return;  // a late answer for another stock
    const QString b = QStringLiteral("t8412OutBlock1");
    int n = Ctx().B.qMin->Decompress(b);
    if (n < 0)
        n = Ctx().B.qMin->GetBlockCount(b);
    for (int i = 0; i < n; ++i) {
        auto get = [&](const char* f) { return Ctx().B.qMin->GetFieldData(b, QString::fromLatin1(f), i); };
        TBar bar;
        bar.D = get("date").trimmed() + get("time").trimmed().left(4);
        if (bar.D.size() != 12)
            continue;
        bar.O = ParseNum(get("open"));
        bar.H = ParseNum(get("high"));
        bar.L = ParseNum(get("low"));
        bar.C = ParseNum(get("close"));
        bar.V = qRound64(ParseNum(get("jdiff_vol")));
        FMinAcc.append(bar);
    }
    if (FMinMoreBusy) {
        OnMinMoreData(n);
        return;
    }
    FMinPage += 1;
    FMinCtsD = Ctx().B.qMin->GetFieldData(head, QStringLiteral("cts_date"), 0).trimmed();
    FMinCtsT = Ctx().B.qMin->GetFieldData(head, QStringLiteral("cts_time"), 0).trimmed();
    const QString today = Ctx().Clock().Now().toString(QStringLiteral("yyyyMMdd"));
    QSet<QString> daySet;
    for (const TBar& bar : FMinAcc)
        daySet.insert(bar.D.left(8));
    QStringList days(daySet.begin(), daySet.end());
    days.sort();
    QString prev;
    for (const QString& d : days)
        if (d < today)
            prev = d;
    const bool more = n > 0 && !FMinCtsD.isEmpty() && days.size() < FMinDays + 1 && FMinPage < FMinDays + 4;
    if (more)
        SendMinPage(FMinCode, FMinCtsD, true, FMinCtsT);
    if (prev > FPrevDate)
        FPrevDate = prev;
    ShowMinBars(more);
}

void TfrmMain::ShowMinBars(bool paging)
{
    const QString today = Ctx().Clock().Now().toString(QStringLiteral("yyyyMMdd"));
    QVector<TBar> kept;
    QSet<QString> daySet;
    QString latest;
    for (const TBar& bar : FMinAcc) {
        if (bar.D.left(8) == today && bar.V == 0)
            continue;
        kept.append(bar);
        daySet.insert(bar.D.left(8));
    }
    for (const TBar& bar : FMinAcc)
        latest = qMax(latest, bar.D);
    QStringList days(daySet.begin(), daySet.end());
    days.sort();
    const QString from = days.isEmpty() ? QString() : days[qMax(days.size() - FMinDays, 0)];
    QVector<TBar> shown;
    for (const TBar& bar : kept)
        if (bar.D.left(8) >= from)
            shown.append(bar);
    TChartModel& chart = MinChart();
    if (latest.left(8) == today) {
        const QVector<TBar> live = chart.BarsAfter(latest);
        // The chart's first bar after `latest` may hold history minutes of
        // its own period already (grouped by an earlier show, with trades
        // added since): it replaces those minutes instead of adding to them.
        if (!live.isEmpty()) {
            const QString g = live.first().D;
            shown.erase(std::remove_if(shown.begin(), shown.end(),
                                       [&](const TBar& b) { return MinGroupKey(b.D, FMinPer) >= g; }),
                        shown.end());
        }
        shown += live;
    }
    shown = SortBars(shown);
    chart.SetPeriod(FMinPer);
    chart.SetBars(GroupMinBars(shown, FMinPer));
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
                .arg(Ctx().NameOf(FMinCode)).arg(FMinPage).arg(FMinDays).arg(earlier).arg(first).arg(todayCount));
    }
    const double vwap = chart.TodayVwap(today);
    DayChart().SetExtVwap(vwap);
    Order->vLadder->SetDayMarks(Quote->FDay.Open, Quote->FDay.High, Quote->FDay.Low, vwap);
}

// A click on a minute bar finds the stock's latest headline that fell in it
// (or up to three minutes before it), selects it in the news list, brings the
// news tab forward and marks its minute on the chart.
void TfrmMain::OnMinBarClick(const QString& d)
{
    const int i = FindBarNews(FNews, FNewsView, d, FMinPer);
    if (i < 0)
        return;
    QString key, lab;
    if (!NewsMarkOf(FNews[i], key, lab))
        return;
    FNewsSel = i;
    pcLog->setCurrentIndex(0);
    chMin->Model().SetNewsMark(key, lab, false);
    FNewsMarkOn = true;
}
