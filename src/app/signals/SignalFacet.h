#pragma once
// The capture page ("포착") of the account tab set and everything behind it:
// the service's buy/sell captures and streaks polled every 5 s, the live
// quote columns (batched t8407 quotes, the previous day's volume by t1102),
// the same-time volume against the previous day from both days' minute bars
// (t8412), and the DT detection with its rows, chart mark, log line and
// sound.
//
// Exchange minutes and dates come from the server clock in Korean time.
// The whole state belongs to one trading day: when the exchange's date
// changes it starts again, and answers asked for on the day before are
// dropped.
#include "app/Facet.h"
#include "broker/ResLayout.h"
#include "signals/MinVol.h"
#include "signals/SigFeed.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <functional>

class QCheckBox;
class QLabel;
class QTableView;
class TChartModel;
class TPaintBox;
class TSigModel;
class TTabSet;
class TXAQuery;

// One stock's quote for the live columns and the DT rule.
struct TSigQuote {
    double Px = 0;
    qint64 Vol = 0;
    qint64 PrevVol = 0;
    bool HasPv = false;   // PrevVol is known (also when it is 0)
    double Amt = 0;       // the day's traded amount, in the broker's unit
};

class TSignalFacet : public TFacet {
public:
    explicit TSignalFacet(TAppContext& ctx, QObject* parent = nullptr);
    ~TSignalFacet() override;

    void BuildSignalPage(TTabSet* tabs);
    // Starts the timers and the first poll; Stop ends them (shutdown).
    void Start();
    void Stop();

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    // ---- the signal feed ----
    void SigTick();
    // One answer of the service (the body of a good fetch).
    void OnSigJson(const QByteArray& body);
    void OnSigFail(const QString& err);
    void RebuildSigView();
    void PushSigMarks();
    void OnSigClick(int viewRow);
    void OnSigTabShown();
    void BlinkTick();
    bool SigTabActive() const;

    // ---- quotes and the previous day's volume ----
    void SigQuoteTick();
    void QueueMulti(const QString& codes, int count);
    void ReqNextPv();
    void OnSigQuotes();
    void OnPrevVol();

    // ---- same-time volume and DT ----
    void VolTick();
    void SendNextVol();
    void SendVolPage(const QString& code, const QString& ctsDate, bool next, const QString& ctsTime);
    void OnVolData();
    void FinishVol();
    double SameTimeRatio(const TSigRow& row) const;
    void BuildDtRows();
    void ShowDtMark();

    // Another stock was selected: its marks, its rows' colour.
    void OnStockChanged();

    // A new exchange day starts everything again; called by the ticks.
    void CheckSigDay();

    // Set by the window.
    std::function<void(const QString& code)> SelectStock;
    std::function<TChartModel*()> MinChart;
    std::function<bool(const QString& code)> KnownCode;   // the master knows it
    // Sounds (tests count them instead).
    std::function<void(int freq, int ms)> Tone;
    std::function<void(const QString& path)> Wave;

    // ---- feed state ----
    QVector<TSigRow> FSigs;
    QVector<int> FSigView;
    QSet<QString> FSigSeen;
    QHash<QString, qint64> FSigFlash;   // key -> tick (ms) until which it flashes
    int FSigCnt[5] = {};                // [1..4]
    QTimer FSigTimer, FSigBlink;
    bool FSigBusy = false, FSigLoaded = false, FSigDot = false, FSigBlinkOn = false, FSigLock = false,
         FSigWaitDay = false;
    QString FSigSelKey;
    QString FSigDay;          // the exchange day the state belongs to
    quint64 FSigRun = 1;      // bumped with each new day: late answers of the old one are dropped
    QString FSigDate, FSigUpdated;   // of the answer applied last
    bool FSigErrLogged = false;

    // ---- quotes ----
    QHash<QString, TSigQuote> FSigQ;
    QTimer FSigQTimer;
    TXAQuery *qMulti = nullptr, *qPv = nullptr;
    // Field names of the two answers, looked up once by description.
    struct TMultiNames { bool Ok = false; QString Code, Px, Vol, PrevVol, Amt; } FMultiFld;
    struct TPvNames { bool Ok = false; QString PrevVol, Code; } FPvFld;
    QStringList FPvTodo;
    bool FPvBusy = false;
    QString FPvReqCode;
    qint64 FPvSent = 0;

    // ---- same-time volume ----
    TXAQuery* qVol = nullptr;
    QHash<QString, TMinVol> FVolPrev, FVolToday;
    QHash<QString, int> FVolTodayAt;   // exchange minute (end-stamped hhmm) the bars were asked at
    QStringList FVolTodo;
    QString FVolReq;
    bool FVolBusy = false;
    qint64 FVolSent = 0;
    int FVolPage = 0;
    int FVolAsOf = 0;                  // exchange minute of the fetch in progress
    QHash<QString, int> FVolFail;
    QHash<QString, qint64> FVolFailAt; // last failure (tick ms): not moved to the front soon after
    QHash<QString, QString> FVolFinal; // code -> final verdict of the day (no earlier day...)
    qint64 FVolPauseUntil = 0, FVolLastAt = -1000000;
    QVector<TVolRow> FVolAcc;
    QTimer FVolTimer;
    QHash<QString, QString> FDtInfo, FDtMk, FDtLastT, FDtWhy;
    TDtAlerts FDtAlerts;

    // ---- controls ----
    TTabSet* pcBM = nullptr;
    QWidget* tsSig = nullptr;
    QTableView* gSig = nullptr;
    QCheckBox* chkSig[5] = {};
    QCheckBox *chkDtFocus = nullptr, *chkSigSnd = nullptr;
    QLabel* lbSigStat = nullptr;
    TPaintBox* pbSigSum = nullptr;

private:
    friend class TSigModel;
    bool EnsureQueries();
    void SetStat(const QString& text, const QColor& color);
    void SetSigCaption();
    void PaintSummary(class QPainter& p, const QRect& r);
    void LogDtVerdict(const QString& code, const QString& line);
    void VolFailed(const QString& code, const QString& why, bool rateLimit);
    void RequeueVol(const QString& code);
    void MoveVolFront(const QString& code);
    void ResetDay(const QString& day);
    qint64 Tick() const;
    TSigQuoteLite QuoteLite(const QString& code) const;
    TSigModel* FModel = nullptr;
};
