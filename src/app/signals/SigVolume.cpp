// The signal list's quotes (t8407 batches, the previous day's volume by
// t1102), the same-time volume from both days' minute bars (t8412) and the
// DT detection.
#include "app/signals/SignalFacet.h"

#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "chart/ChartModel.h"
#include "core/Clock.h"
#include "core/NumFmt.h"
#include "core/ServerClock.h"
#include "core/Sound.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QSet>
#include <QTimer>

#include <cmath>

namespace {
const QString kMultiTag = QStringLiteral("t8407");
const QString kPvTag = QStringLiteral("t1102");
const QString kVolTag = QStringLiteral("t8412v");
constexpr int kMultiChunk = 50;
constexpr int kPvWatchMs = 7000;
constexpr int kVolWatchMs = 6000;
constexpr int kVolSpacingMs = 3500;
constexpr int kVolPauseMs = 120000;
constexpr int kVolGiveUp = 5;          // failures before a code is left for the day
constexpr int kFrontAfterFailMs = 60000;

// The 09:05 .. 10:00 window of early buy-side signals, in minutes of the day.
bool InEarlyWindow(const QString& t)
{
    const int m = HhmmToMin(t.toInt());
    return m >= HhmmToMin(905) && m <= HhmmToMin(1000);
}

// A broker answer that says the transaction was asked too often.
bool IsRateLimit(const QString& code, const QString& msg)
{
    return code == QLatin1String("IGW00201") || msg.contains(QStringLiteral("전송제한"));
}
}  // namespace

bool TSignalFacet::EnsureQueries()
{
    if (qMulti)
        return true;
    if (!Ctx.FBackend)
        return false;
    const auto make = [this](void (TSignalFacet::*onData)()) {
        TXAQuery* q = Ctx.FBackend->CreateQuery(this);
        connect(q, &TXAQuery::ReceiveData, this, [this, onData](const QString&) { (this->*onData)(); });
        return q;
    };
    qMulti = make(&TSignalFacet::OnSigQuotes);
    qPv = make(&TSignalFacet::OnPrevVol);
    qVol = make(&TSignalFacet::OnVolData);
    connect(qMulti, &TXAQuery::ReceiveMessage, this, [this](bool e, const QString& c, const QString& m) {
        if (TAppContext::IsSignificant(e, c))
            Log(QStringLiteral("[") + c + QStringLiteral("] 포착 종목 시세: ") + m);
    });
    connect(qPv, &TXAQuery::ReceiveMessage, this, [this](bool e, const QString& c, const QString& m) {
        const std::optional<TReqBind> b = Ctx.Bound(qPv);
        if (!b || b->Run != FSigRun || !TAppContext::IsSignificant(e, c))
            return;
        Log(QStringLiteral("[") + c + QStringLiteral("] 전일 거래량 ") + FPvReqCode + QStringLiteral(": ") + m);
        ReqNextPv();
    });
    connect(qVol, &TXAQuery::ReceiveMessage, this, [this](bool e, const QString& c, const QString& m) {
        const std::optional<TReqBind> b = Ctx.Bound(qVol);
        if (!b || b->Run != FSigRun || b->Code != FVolReq || FVolReq.isEmpty() || !TAppContext::IsSignificant(e, c))
            return;
        VolFailed(FVolReq, QStringLiteral("[") + c + QStringLiteral("] 동시간 거래량 ") + FVolReq + QStringLiteral(": ") + m,
                  IsRateLimit(c, m));
    });
    return true;
}

TSigQuoteLite TSignalFacet::QuoteLite(const QString& code) const
{
    const auto it = FSigQ.constFind(code);
    if (it == FSigQ.constEnd())
        return {};
    return {it->Px, it->Vol, it->Amt, true};
}

// ---- quotes -------------------------------------------------------------------

void TSignalFacet::SigQuoteTick()
{
    CheckSigDay();
    if (!Ctx.FLogged || FSigs.isEmpty() || !EnsureQueries())
        return;
    QStringList codes;
    QSet<QString> seen;
    for (const TSigRow& r : std::as_const(FSigs))
        if (!seen.contains(r.Code)) {
            seen.insert(r.Code);
            codes.append(r.Code);
        }
    for (const QString& c : std::as_const(codes))
        if (!FSigQ.value(c).HasPv && !FPvTodo.contains(c))
            FPvTodo.append(c);
    if (!FPvBusy)
        ReqNextPv();
    VolTick();
    Ctx.FQ->ClearTr(kMultiTag);
    for (int i = 0; i < codes.size(); i += kMultiChunk) {
        const QStringList part = codes.mid(i, kMultiChunk);
        QueueMulti(part.join(QString()), int(part.size()));
    }
}

void TSignalFacet::QueueMulti(const QString& codes, int count)
{
    const TReqBind bind{QString(), 0, FSigRun, 0};
    Ctx.FQ->AddLow(kMultiTag, [this, codes, count, bind] {
        if (bind.Run != FSigRun || !Ctx.SetQueryRes(qMulti, QStringLiteral("t8407")))
            return;
        const QString b = QStringLiteral("t8407InBlock");
        qMulti->SetFieldData(b, QStringLiteral("nrec"), 0, QString::number(count));
        qMulti->SetFieldData(b, QStringLiteral("shcode"), 0, codes);
        if (Ctx.Send(qMulti, false, bind) < 0)
            Log(QStringLiteral("!! 포착 종목 시세 조회 실패"));
    });
}

void TSignalFacet::OnSigQuotes()
{
    const std::optional<TReqBind> bind = Ctx.Bound(qMulti);
    if (!bind || bind->Run != FSigRun)
        return;
    if (!FMultiFld.Ok) {
        const TResFields f = LoadResFields(Ctx.FCfg.ResPath + QStringLiteral("t8407.res"), QStringLiteral("t8407OutBlock1"));
        FMultiFld.Code = FindField(f, {QStringLiteral("종목코드"), QStringLiteral("단축코드")}, QStringLiteral("shcode"));
        FMultiFld.Px = FindField(f, {QStringLiteral("현재가")}, QStringLiteral("price"));
        FMultiFld.Vol = FindField(f, {QStringLiteral("누적거래량"), QStringLiteral("거래량")}, QStringLiteral("volume"));
        FMultiFld.PrevVol = FindField(f, {QStringLiteral("전일거래량")}, QString());
        FMultiFld.Amt = FindField(f, {QStringLiteral("누적거래대금"), QStringLiteral("거래대금")}, QStringLiteral("value"));
        FMultiFld.Ok = true;
    }
    const QString blk = QStringLiteral("t8407OutBlock1");
    const int n = std::min(qMulti->GetBlockCount(blk), 1000);
    for (int i = 0; i < n; ++i) {
        QString code = qMulti->GetFieldData(blk, FMultiFld.Code, i).trimmed();
        if (code.size() > 6)
            code = code.right(6);
        if (code.isEmpty())
            continue;
        TSigQuote q = FSigQ.value(code);
        q.Px = ParseNum(qMulti->GetFieldData(blk, FMultiFld.Px, i));
        q.Vol = ParseInt(qMulti->GetFieldData(blk, FMultiFld.Vol, i));
        if (!FMultiFld.Amt.isEmpty())
            q.Amt = ParseNum(qMulti->GetFieldData(blk, FMultiFld.Amt, i));
        if (!FMultiFld.PrevVol.isEmpty()) {
            const double pv = std::round(ParseNum(qMulti->GetFieldData(blk, FMultiFld.PrevVol, i)));
            if (pv > 0) {
                q.PrevVol = qint64(pv);
                q.HasPv = true;
            }
        }
        FSigQ.insert(code, q);
    }
    RebuildSigView();
}

void TSignalFacet::ReqNextPv()
{
    FPvBusy = false;
    QString code;
    while (!FPvTodo.isEmpty()) {
        const QString c = FPvTodo.takeFirst();
        if (!FSigQ.value(c).HasPv) {
            code = c;
            break;
        }
    }
    if (code.isEmpty() || !EnsureQueries())
        return;
    FPvBusy = true;
    FPvSent = Tick();
    const TReqBind bind{code, 0, FSigRun, 0};
    Ctx.FQ->AddLow(kPvTag, [this, code, bind] {
        if (bind.Run != FSigRun)
            return;
        if (!Ctx.SetQueryRes(qPv, QStringLiteral("t1102"))) {
            FPvBusy = false;
            return;
        }
        FPvReqCode = code;
        FPvSent = Tick();
        qPv->SetFieldData(QStringLiteral("t1102InBlock"), QStringLiteral("shcode"), 0, code);
        if (Ctx.Send(qPv, false, bind) < 0) {
            Log(QStringLiteral("!! 전일 거래량 조회 실패 ") + code);
            FPvBusy = false;
        }
    });
}

void TSignalFacet::OnPrevVol()
{
    const std::optional<TReqBind> bind = Ctx.Bound(qPv);
    if (!bind || bind->Run != FSigRun || bind->Code != FPvReqCode || FPvReqCode.isEmpty())
        return;
    if (!FPvFld.Ok) {
        const TResFields f = LoadResFields(Ctx.FCfg.ResPath + QStringLiteral("t1102.res"), QStringLiteral("t1102OutBlock"));
        FPvFld.PrevVol = FindField(f, {QStringLiteral("전일거래량")}, QStringLiteral("jnilvolume"));
        FPvFld.Code = FindField(f, {QStringLiteral("단축코드"), QStringLiteral("종목코드")}, QStringLiteral("shcode"));
        FPvFld.Ok = true;
    }
    const QString blk = QStringLiteral("t1102OutBlock");
    QString code = qPv->GetFieldData(blk, FPvFld.Code, 0).trimmed();
    if (code.size() > 6)
        code = code.right(6);
    if (!code.isEmpty() && code != FPvReqCode)
        return;   // another stock's answer: the watchdog asks again
    TSigQuote q = FSigQ.value(FPvReqCode);
    q.PrevVol = std::max<qint64>(0, qint64(std::round(ParseNum(qPv->GetFieldData(blk, FPvFld.PrevVol, 0)))));
    q.HasPv = true;
    FSigQ.insert(FPvReqCode, q);
    FPvReqCode.clear();
    if (FModel)
        RebuildSigView();
    ReqNextPv();
}

// ---- same-time volume ---------------------------------------------------------

void TSignalFacet::MoveVolFront(const QString& code)
{
    const int at = int(FVolTodo.indexOf(code));
    if (at <= 0)
        return;
    // A code that failed a moment ago waits its turn instead of taking the
    // front again and again.
    const auto failed = FVolFailAt.constFind(code);
    if (failed != FVolFailAt.constEnd() && Tick() - *failed < kFrontAfterFailMs)
        return;
    FVolTodo.move(at, 0);
}

void TSignalFacet::RequeueVol(const QString& code)
{
    if (!code.isEmpty() && !FVolTodo.contains(code))
        FVolTodo.append(code);
}

void TSignalFacet::VolTick()
{
    CheckSigDay();
    if (!Ctx.FLogged || !EnsureQueries())
        return;
    const int srvMin = NextMinute(Ctx.ServerClock().ExchangeHhmm());
    // 1. codes whose bars are missing or older than their signal
    for (const TSigRow& r : std::as_const(FSigs)) {
        if (r.Kind == 4 || r.Kind == 5 || r.Kind < 1)
            continue;
        if (r.Kind == 3 && !InEarlyWindow(r.T))
            continue;
        if (FVolTodo.contains(r.Code) || r.Code == FVolReq || FVolFail.value(r.Code) >= kVolGiveUp ||
            FVolFinal.contains(r.Code))
            continue;
        const int at = FVolTodayAt.value(r.Code, -1);
        const int need = HhmmToMin(NextMinute(r.T.toInt()));
        const bool covered = FVolPrev.value(r.Code).Loaded && at >= 0 && HhmmToMin(at) >= need;
        if (covered) {
            // Early buy-side signals get one more fetch after 10:07.
            if ((r.Kind == 1 || r.Kind == 3) && InEarlyWindow(r.T) && HhmmToMin(srvMin) >= HhmmToMin(1008) &&
                HhmmToMin(at) <= HhmmToMin(1006))
                FVolTodo.append(r.Code);
        } else {
            FVolTodo.append(r.Code);
        }
    }
    // 2. early buy-side signals first, the selected stock before them
    for (const TSigRow& r : std::as_const(FSigs))
        if ((r.Kind == 1 || r.Kind == 3) && InEarlyWindow(r.T))
            MoveVolFront(r.Code);
    MoveVolFront(Ctx.FCode);
    // 3. watchdog
    if (FVolBusy && Tick() - FVolSent > kVolWatchMs) {
        if (FVolPage > 0) {
            FinishVol();
        } else {
            const QString code = FVolReq;
            const int before = FVolFail.value(code);
            FVolFail[code] = before + 1;
            FVolFailAt[code] = Tick();
            if (before + 1 >= kVolGiveUp)
                Log(QStringLiteral("동시간 거래량: ") + Ctx.NameOf(code) + QStringLiteral(" 분봉 응답 없음 — 오늘은 건너뜀"));
            else
                RequeueVol(code);
            FVolReq.clear();
            FVolBusy = false;
        }
    }
    // 4.
    if (!FVolBusy)
        SendNextVol();
    // The previous-volume watchdog shares this tick.
    if (FPvBusy && Tick() - FPvSent >= kPvWatchMs) {
        if (!FPvReqCode.isEmpty() && !FPvTodo.contains(FPvReqCode))
            FPvTodo.append(FPvReqCode);
        FPvReqCode.clear();
        ReqNextPv();
    }
}

void TSignalFacet::SendNextVol()
{
    FVolBusy = false;
    FVolReq.clear();
    const qint64 now = Tick();
    if (FVolTodo.isEmpty() || now < FVolPauseUntil || now - FVolLastAt < kVolSpacingMs)
        return;
    FVolLastAt = now;
    FVolReq = FVolTodo.takeFirst();
    FVolAcc.clear();
    FVolPage = 0;
    FVolBusy = true;
    FVolSent = now;
    // What the answer covers: the minute in progress when it was asked.
    FVolAsOf = Ctx.ServerClock().ExchangeHhmm();
    SendVolPage(FVolReq, QString(), false, QString());
}

void TSignalFacet::SendVolPage(const QString& code, const QString& ctsDate, bool next, const QString& ctsTime)
{
    const TReqBind bind{code, 0, FSigRun, FVolPage};
    Ctx.FQ->AddLow(kVolTag, [this, code, ctsDate, next, ctsTime, bind] {
        if (bind.Run != FSigRun || code != FVolReq)
            return;
        if (!Ctx.SetQueryRes(qVol, QStringLiteral("t8412"))) {
            FVolBusy = false;
            return;
        }
        FVolSent = Tick();
        const QString b = QStringLiteral("t8412InBlock");
        qVol->SetFieldData(b, QStringLiteral("shcode"), 0, code);
        qVol->SetFieldData(b, QStringLiteral("ncnt"), 0, QStringLiteral("1"));
        qVol->SetFieldData(b, QStringLiteral("qrycnt"), 0, QStringLiteral("2000"));
        qVol->SetFieldData(b, QStringLiteral("nday"), 0, QStringLiteral("2"));
        qVol->SetFieldData(b, QStringLiteral("sdate"), 0, QString());
        qVol->SetFieldData(b, QStringLiteral("stime"), 0, QString());
        qVol->SetFieldData(b, QStringLiteral("edate"), 0, FSigDay);
        qVol->SetFieldData(b, QStringLiteral("etime"), 0, QString());
        qVol->SetFieldData(b, QStringLiteral("cts_date"), 0, ctsDate);
        qVol->SetFieldData(b, QStringLiteral("cts_time"), 0, ctsTime);
        qVol->SetFieldData(b, QStringLiteral("comp_yn"), 0, QStringLiteral("Y"));
        if (Ctx.Send(qVol, next, bind) < 0)
            VolFailed(code, QStringLiteral("!! 동시간 거래량 분봉 요청 실패 ") + code, false);
    });
}

void TSignalFacet::VolFailed(const QString& code, const QString& why, bool rateLimit)
{
    const int fails = FVolFail.value(code) + 1;
    FVolFail[code] = fails;
    FVolFailAt[code] = Tick();
    if (rateLimit) {
        // Only the broker's "asked too often" stops the whole work for a while.
        FVolPauseUntil = Tick() + kVolPauseMs;
        Log(why + QStringLiteral(" — 2분 쉼"));
    } else {
        Log(why);
    }
    if (fails >= kVolGiveUp)
        Log(QStringLiteral("동시간 거래량: ") + Ctx.NameOf(code) + QStringLiteral(" 분봉 ") + QString::number(fails) +
            QStringLiteral("번 실패 — 오늘은 건너뜀"));
    else
        RequeueVol(code);
    if (code == FVolReq) {
        FVolReq.clear();
        FVolBusy = false;
        FVolAcc.clear();
    }
}

void TSignalFacet::OnVolData()
{
    const std::optional<TReqBind> bind = Ctx.Bound(qVol);
    if (!bind || bind->Run != FSigRun)
        return;
    if (FVolReq.isEmpty()) {
        SendNextVol();
        return;
    }
    if (bind->Code != FVolReq || bind->Kind != FVolPage)
        return;   // an answer for a fetch given up on
    QString code = qVol->GetFieldData(QStringLiteral("t8412OutBlock"), QStringLiteral("shcode"), 0).trimmed();
    if (code.size() > 6)
        code = code.right(6);
    if (!code.isEmpty() && code != FVolReq)
        return;
    const QString blk = QStringLiteral("t8412OutBlock1");
    // The rows come compressed (comp_yn = Y).
    int n = qVol->Decompress(blk);
    if (n < 0)
        n = qVol->GetBlockCount(blk);
    n = std::min(n, 5000);
    const auto f = [&](const char* name, int i) { return qVol->GetFieldData(blk, QString::fromLatin1(name), i); };
    int rows = 0;
    for (int i = 0; i < n; ++i) {
        const std::optional<TVolRow> row =
            VolRowOf(f("date", i).trimmed(), f("time", i).trimmed(), ParseNum(f("open", i)), ParseNum(f("high", i)),
                     ParseNum(f("low", i)), ParseNum(f("close", i)), ParseInt(f("jdiff_vol", i)), ParseNum(f("value", i)));
        if (!row)
            continue;
        FVolAcc.append(*row);
        ++rows;
    }
    ++FVolPage;
    const QString ctsDate = qVol->GetFieldData(QStringLiteral("t8412OutBlock"), QStringLiteral("cts_date"), 0).trimmed();
    const QString ctsTime = qVol->GetFieldData(QStringLiteral("t8412OutBlock"), QStringLiteral("cts_time"), 0).trimmed();
    QSet<QString> dates;
    for (const TVolRow& r : std::as_const(FVolAcc))
        dates.insert(r.Key.left(8));
    if (rows > 0 && !ctsDate.isEmpty() && dates.size() <= 2 && FVolPage < 4) {
        FVolSent = Tick();
        SendVolPage(FVolReq, ctsDate, true, ctsTime);
        return;
    }
    FinishVol();
}

void TSignalFacet::FinishVol()
{
    const QString code = FVolReq;
    const QString prevDay = PrevDayOf(FVolAcc, FSigDay);
    if (!code.isEmpty() && !prevDay.isEmpty()) {
        FVolPrev.insert(code, BuildMinVol(FVolAcc, prevDay));
        FVolToday.insert(code, BuildMinVol(FVolAcc, FSigDay));
        FVolTodayAt.insert(code, FVolAsOf);
    } else if (!code.isEmpty() && !FVolAcc.isEmpty()) {
        // Bars of today only: listed today or back from a halt. Nothing to
        // compare with for the whole day.
        FVolFinal.insert(code, QStringLiteral("제외(전일 없음) · 이전 거래일 1분봉이 없음"));
    } else if (!code.isEmpty()) {
        VolFailed(code, QStringLiteral("동시간 거래량: ") + Ctx.NameOf(code) + QStringLiteral(" 분봉 응답에 봉이 없음"), false);
    }
    FVolAcc.clear();
    FVolReq.clear();
    FVolBusy = false;
    RebuildSigView();
    SendNextVol();
}

double TSignalFacet::SameTimeRatio(const TSigRow& row) const
{
    const auto p = FVolPrev.constFind(row.Code);
    const auto t = FVolToday.constFind(row.Code);
    if (p == FVolPrev.constEnd() || t == FVolToday.constEnd())
        return -1;
    return ::SameTimeRatio(&*p, &*t, FVolTodayAt.value(row.Code, -1), row.T);
}

// ---- DT -------------------------------------------------------------------------

void TSignalFacet::LogDtVerdict(const QString& code, const QString& line)
{
    const QString s = DtVerdictShort(line);
    const auto it = FDtWhy.constFind(code);
    if (it != FDtWhy.constEnd() && *it == s)
        return;
    FDtWhy.insert(code, s);
    Log(QStringLiteral("데트판정 ") + Ctx.NameOf(code) + QStringLiteral(": ") + line);
}

void TSignalFacet::BuildDtRows()
{
    FSigs.erase(std::remove_if(FSigs.begin(), FSigs.end(), [](const TSigRow& r) { return r.Kind == 5; }), FSigs.end());
    FDtInfo.clear();
    FDtMk.clear();
    if (FSigs.isEmpty())
        return;
    const int now = NextMinute(Ctx.ServerClock().ExchangeHhmm());
    QVector<TSigRow> dt;
    const QVector<TDtEval> evals = EvalDtAll(
        FSigs,
        [this](const QString& c) -> const TMinVol* {
            const auto it = FVolPrev.constFind(c);
            return it == FVolPrev.constEnd() ? nullptr : &*it;
        },
        [this](const QString& c) -> const TMinVol* {
            const auto it = FVolToday.constFind(c);
            return it == FVolToday.constEnd() ? nullptr : &*it;
        },
        [this](const QString& c) { return QuoteLite(c); }, now, &dt);
    QSet<QString> finals;
    for (const TDtEval& e : evals) {
        const auto fin = FVolFinal.constFind(e.Code);
        if (fin != FVolFinal.constEnd()) {
            LogDtVerdict(e.Code, *fin);
            finals.insert(e.Code);
            continue;
        }
        if (!e.Verdict.isEmpty())
            LogDtVerdict(e.Code, e.Verdict);
        if (!e.Dt)
            continue;
        FDtLastT.insert(e.Code, e.Last);
        FDtMk.insert(e.Code, e.Mark);
        FDtInfo.insert(e.Code, e.Info);
    }
    if (!finals.isEmpty())
        dt.erase(std::remove_if(dt.begin(), dt.end(), [&](const TSigRow& r) { return finals.contains(r.Code); }),
                 dt.end());
    const QStringList lines =
        FDtAlerts.Alerts(dt, FDtLastT, Ctx.ServerClock().ExchangeHhmm(), Tick(), [this](const QString& c) { return Ctx.NameOf(c); });
    for (const QString& l : lines)
        Log(l);
    // One alert sound per evaluation, however many stocks became DT.
    if (!lines.isEmpty() && chkSigSnd && chkSigSnd->isChecked()) {
        const QString wav = Ctx.FExeDir + QStringLiteral("dt.wav");
        if (QFileInfo::exists(wav)) {
            Wave ? Wave(wav) : PlayWave(wav);
        } else {
            const auto tone = Tone ? Tone : std::function<void(int, int)>(Ding);
            tone(2200, 90);
            QTimer::singleShot(150, this, [tone] { tone(2200, 90); });
        }
    }
    InsertDtRows(FSigs, dt);
}

void TSignalFacet::ShowDtMark()
{
    TChartModel* chart = MinChart ? MinChart() : nullptr;
    if (!chart)
        return;
    const QStringList parts = FDtMk.value(Ctx.FCode).split(QLatin1Char('|'));
    if (parts.size() >= 2 && !parts[0].isEmpty())
        chart->SetDtMark(FSigDay + parts[0], parts[1]);
    else
        chart->SetDtMark(QString(), QString());
}
