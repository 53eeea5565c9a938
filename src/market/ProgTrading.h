#pragma once
// Program trading of the current stock (t1637, both exchanges combined):
// the rows held newest first, how each request is filled in, what to do with
// each answer, the 6-second refresh and the grid's texts and colours. The
// window owns the queries, the timer and the grid and asks this class what
// to send and what to show. Times are milliseconds on any steady clock.
#include "broker/ResLayout.h"

#include <QColor>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class TXAQuery;

struct TProgRow {
    QString T;    // hhmmss as delivered
    QString Sg;   // "1","2" rising; "4","5" falling; else unchanged
    int P = 0;
    int Chg = 0;  // absolute
    double Rate = 0;
    qint64 V = 0;
    qint64 Net = 0, Sell = 0, Buy = 0;
    qint64 Delta = 0;
    bool HasDelta = false;
};

// Output field names of t1637OutBlock1, looked up by description.
struct TProgFields {
    QString Time = "time", Price = "price", Sign = "sign", Change = "change", Rate = "diff",
            Volume = "volume", Net = "svolume", Sell = "offervolume", Buy = "stksvolume";
    static TProgFields From(const TResFields& out);
};

// One request as it is to be sent.
struct TProgRequest {
    QVector<QPair<QString, QString>> Inputs;  // t1637InBlock field name, value
    bool Next = false;                        // older rows
    bool Refresh = false;
    bool Continuation = false;                // Request(true)
};

// What the window does after an answer.
struct TProgOutcome {
    QStringList Logs;
    bool RequestOlder = false;  // ReqProg(true, false) now
    bool GridChanged = false;   // row count changed / repaint
    bool ScrollToTop = false;   // first page: scroll to the first row
    int Inserted = 0;           // refresh rows put on top (keep the view in place)
};

struct TProgCell {
    QString Text;
    QColor Color;
    QColor Back;
    bool Bold = false;
    bool Left = false;    // time column: left-aligned 6 units in; others right-aligned
    bool Header = false;  // centred caption
};

inline constexpr int kProgTimerMs = 6000;
inline constexpr qint64 kProgLimitPauseMs = 60000;
inline constexpr qint64 kProgRefStaleMs = 10000;
inline constexpr qint64 kProgPageStaleMs = 15000;
inline constexpr int kProgCols = 9;
inline constexpr int kProgModes = 6;

class TProgState {
public:
    // Field lists of t1637InBlock and t1637OutBlock1 (the window loads them
    // with LoadResFields and retries while they are empty).
    void SetLayout(const TResFields& in, const TResFields& out);
    bool HasInputLayout() const { return !FProgIn.isEmpty(); }
    static QString NoLayoutMessage();    // log line when the input list is empty
    static QString SendFailedMessage();  // log line when Request fails

    // Stock selection: empties the rows, keys and selection; the paging
    // method goes back to 0 unless one worked earlier.
    void SelectStock();

    // Marks a request as queued (busy flag and its time).
    void Queued(bool next, bool refresh, qint64 nowMs);
    // The request to send when its turn comes; today is yyyymmdd.
    TProgRequest Build(const QString& code, const QString& today, bool next, bool refresh) const;
    // The request was handed to the query (a page records whether it asked
    // for older rows).
    void Sent(const TProgRequest& r);
    // Sending or pointing the query at its layout failed: busy flag cleared.
    void SendFailed(bool refresh);

    // An answer on the page query (isPageQuery) or the refresh query.
    // visibleRows: data rows the grid shows at once.
    TProgOutcome OnAnswer(const TXAQuery& q, bool isPageQuery, int visibleRows);

    // The broker refused the request on the page query (isPageQuery) or the
    // refresh query with an error message and no data (not the transmission
    // limit, which pauses: OnLimitMessage).
    TProgOutcome OnRefused(bool isPageQuery);

    // Refresh timer tick (the window checks login and stock first): true
    // when a refresh is to be requested. Clears stale busy flags.
    bool OnAutoTick(qint64 nowMs);
    // A broker message containing "전송제한".
    static bool IsLimitMessage(const QString& msg);
    // Starts the 60 s pause and clears the busy flags; returns the log line.
    QString OnLimitMessage(qint64 nowMs);
    bool Paused(qint64 nowMs) const { return nowMs < FLimitUntil; }

    // The last grid row came into view: page older rows?
    bool WantsOlderOnScroll() const { return FProgMore && !FProgBusy; }

    // Grid: row 0 is the header, row i the data row i-1.
    int GridRowCount() const { return qMax(2, FProg.size() + 1); }
    TProgCell Cell(int gridRow, int col) const;
    void SelectGridRow(int gridRow);
    static QVector<int> ColumnWidths(int width);
    static QStringList Captions();

    const QVector<TProgRow>& Rows() const { return FProg; }
    int PageMode() const { return FProgPageMode; }
    bool ModeFound() const { return FProgModeFound; }
    bool More() const { return FProgMore; }
    bool PageBusy() const { return FProgBusy; }
    bool RefreshBusy() const { return FProgRefBusy; }
    const QVector<QPair<QString, QString>>& Cts() const { return FProgCts; }
    QString CtsText() const;
    const QString& SelectedT() const { return FProgSelT; }
    qint64 LimitUntil() const { return FLimitUntil; }

    // Texts and colours shared with the drawing code.
    static QString TimeText(const QString& hhmmss);
    static QColor SignColor(const QString& sg);

private:
    QVector<TProgRow> ReadRows(const TXAQuery& q) const;
    void StoreCts(const TXAQuery& q);
    void NextMode(TProgOutcome& o);
    void RecomputeDeltas();

    QVector<TProgRow> FProg;  // newest first
    TResFields FProgIn;
    TProgFields FFld;
    QVector<QPair<QString, QString>> FProgCts;
    bool FProgMore = false;
    bool FProgBusy = false;
    qint64 FProgBusyAt = 0;
    bool FProgNext = false;
    bool FProgRefBusy = false;
    qint64 FProgRefAt = 0;
    int FProgPageMode = 0;
    bool FProgModeFound = false;
    int FFoundMode = 0;
    QString FProgSelT;
    qint64 FLimitUntil = 0;
};
