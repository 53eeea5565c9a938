#pragma once
// Same-time volume: a stock's 1-minute bars of the previous day and of today
// reduced to cumulative series, the ratio of today's volume to the previous
// day's at the same minute, and the DT rule (an early buy signal with three
// times the previous day's volume, trading at or above its average price)
// with its alerts.
#include "signals/SigFeed.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

#include <functional>
#include <optional>

// Minutes of the day of an hhmm number (931 -> 571); -1 when it is not a
// valid hhmm (hours 0..23, minutes 0..59; 2400, the end of the day, is 1440).
int HhmmToMin(int hhmm);
// The hhmm of minutes of the day (571 -> 931); -1 outside 0..1440.
int MinToHhmm(int min);
// hhmm moved by n minutes (AddMinutes(959, 2) == 1001); -1 when hhmm is not
// valid or the result leaves the day (0..2400).
int AddMinutes(int hhmm, int n);

struct TMinVol {
    bool Loaded = false;
    QVector<int> Hm;         // bar minute (hhmm, end-stamped), ascending, >= 900
    QVector<qint64> Cum;     // cumulative volume through the bar
    QVector<double> CumPV;   // cumulative traded value through the bar
    QVector<double> Op, Cl;  // bar open and close
    double PClose = 0;       // close of the day's last bar
};

// One minute bar as the day's series needs it. Key = yyyymmdd + hhmm.
struct TVolRow {
    QString Key;
    qint64 Vol = 0;
    double PV = 0;
    double Open = 0, Close = 0;
};

// One row of a minute-bar answer, validated: an 8-digit date and a time whose
// first four characters are a valid hhmm; nothing otherwise. Negative or
// non-finite numbers read as 0. The traded value is the average price from
// `value` (whatever its unit) times the volume when that average lies within
// the bar's low..high, else the bar's typical price (high + low + close) / 3
// times the volume (close times volume without a usable high and low).
std::optional<TVolRow> VolRowOf(const QString& date, const QString& time, double open, double high,
                                double low, double close, qint64 vol, double value);

// The series of `day` from rows in any order: bars from 09:00 on, ascending;
// of rows with the same key the last one counts.
TMinVol BuildMinVol(QVector<TVolRow> rows, const QString& day);

// Cumulative volume at the last bar at or before hhmm; 0 when there is none.
qint64 CumAt(const TMinVol& rec, int hhmm);

// The greatest date among the rows earlier than `today`, or empty.
QString PrevDayOf(const QVector<TVolRow>& rows, const QString& today);

// Whether the day's trading began at 10:00 instead of 09:00 (the day of the
// national college entrance exam): no bar before 10:01, and, for a complete
// day (`complete`), bars after 15:30 as the late close brings them.
bool OpenedLate(const TMinVol& day, bool complete);

// Today's cumulative volume as a percentage of the previous day's at the bar
// holding signal minute T (the minute after T), or -1 when it cannot be told:
// either series missing or not loaded, T not a time, today's bars asked
// (todayAsOf, server minute hhmm) before that minute, no previous volume by
// then, or either day opened late.
double SameTimeRatio(const TMinVol* prev, const TMinVol* today, int todayAsOf, const QString& T);

// A signal stock's quote as the DT rule needs it.
struct TSigQuoteLite {
    double Px = 0;
    qint64 Vol = 0;
    double Amt = 0;   // cumulative traded amount, unit not stated
    bool Has = false;
};

struct TDtEval {
    QString Code;
    bool Dt = false;
    bool Final = false;     // a verdict for the rest of the day, not to be evaluated again
    QString Verdict;        // the log line (empty: nothing to say yet)
    QString First, Last;    // earliest and latest qualifying signal (hhmm)
    double Ratio = 0, Px = 0, Avg = 0;
    double Entry = 0;       // open of today's bar two minutes after First, else 0
    QString Info;           // ratio|deviation from average %|change from previous close %|price|signal list
    QString Mark;           // "hhmm|데트 hh:mm x.x배" for the minute chart
};

// Signal minutes that can make a DT: 09:05 to 10:00 inclusive.
bool InDtWindow(const QString& T);
// A row that can make a DT: buy capture or buy streak inside the window.
bool QualifiesForDt(const TSigRow& row);

// The DT rule for one stock: its qualifying rows (others are ignored), the
// previous day's and today's series, its quote and the server minute (hhmm).
TDtEval EvalDt(const QString& code, const QVector<TSigRow>& rows, const TMinVol* prev, const TMinVol* today,
               const TSigQuoteLite& q, int nowHhmm);

// The part of a verdict line that tells it apart: from its last "→" (at most
// 20 characters), or the whole line for a waiting verdict.
QString DtVerdictShort(const QString& line);

// Evaluates every candidate code of `sigs` (codes with a qualifying row, in
// code order; kind-5 rows are ignored) and returns the evaluations. `dtRows`,
// when given, receives the DT rows: T descending, then the larger multiple
// first.
QVector<TDtEval> EvalDtAll(const QVector<TSigRow>& sigs,
                           const std::function<const TMinVol*(const QString&)>& prev,
                           const std::function<const TMinVol*(const QString&)>& today,
                           const std::function<TSigQuoteLite(const QString&)>& quote, int nowHhmm,
                           QVector<TSigRow>* dtRows);

// Replaces the kind-5 rows of `sigs` (listed T descending) by `dtRows` (in
// EvalDtAll's order): each goes ahead of the signals of its minute and after
// the DT rows already placed there.
void InsertDtRows(QVector<TSigRow>& sigs, const QVector<TSigRow>& dtRows);

// When a DT alerts: once per becoming DT, only while its latest qualifying
// signal is at most 15 minutes old, and at least 3 minutes after the code's
// previous alert.
class TDtAlerts {
public:
    // The log lines ("★ 데트집중: ...") to write now for the current DT rows.
    // lastT: latest qualifying signal time per code (the row's T when absent);
    // nowHhmm: the server's hours and minutes; nowMs: a millisecond clock.
    QStringList Alerts(const QVector<TSigRow>& dtRows, const QHash<QString, QString>& lastT, int nowHhmm,
                       qint64 nowMs, const std::function<QString(const QString&)>& nameOf);
    void Reset();  // a new trading day

private:
    QStringList FPrev;
    QHash<QString, qint64> FRingAt;
};
