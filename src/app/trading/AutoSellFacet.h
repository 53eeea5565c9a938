#pragma once
// Selling without picking prices: the automatic sell after each buy fill
// (the "자동 매도" strip above the buy strip) and the split sell of the
// current stock's holding ("전체 적당히 매도" in the sell strip), both as
// cash limit sells through the order request.
//
// Money rules: only a fill event sells, and each fill (order and fill
// number) once; nothing is offered beyond what can be sold at that moment
// (fills since the last balance, sells not yet shown as unfilled and split
// parts not yet sent are counted); at most one of these sells waits in the
// request queue at a time, so the trader's own cancels never wait behind a
// burst of them; an order the broker refuses is logged and never retried.
#include "app/Facet.h"
#include "trading/AutoSell.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QTimer>
#include <QVector>
#include <deque>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QWidget;
class TXAQuery;
class TXAReal;
class TAccountFacet;
class TOrderFacet;
struct THogaData;

struct TSplitOrd {
    QString Code;
    QString Name;
    int Qty = 0;
    int Px = 0;
    QDateTime Due;
};

class TAutoSellFacet : public TFacet {
public:
    static constexpr int KBindKind = 0x5e11;   // our sells on the order query

    explicit TAutoSellFacet(TAppContext& ctx, QObject* parent = nullptr);

    // The auto-sell strip over `panel` and the split-sell button in the sell strip.
    void Build(QWidget* panel, QWidget* sellStrip);

    // An SC1 record (after its log line).
    void OnFillReal(TXAReal* r);
    void AutoSellAfterFill(const QString& code, const QString& name, int fillPrice, qint64 fillQty);
    void SplitSell();
    void SplitTick();
    // Queues one cash limit sell; false when its preconditions fail.
    bool SendSellLimit(const QString& code, const QString& name, const QString& why, int price, qint64 qty);
    // What of `code` can be sold now, leaving out `exceptPending` of the split parts.
    qint64 Sellable(const QString& code, qint64 exceptPending = 0) const;

    // The order query's answer or message about one of ours.
    void OnOrderData(TXAQuery* q);
    void OnOrderMsg(TXAQuery* q);
    // Stops the pending split parts, with the reason in the log.
    void StopSplit(const QString& why);
    // The stock or the account changed, or the session ended.
    void OnStockChanged();
    void OnLogout();
    void BalanceApplied(quint64 seq) { FBook.BalanceApplied(seq); }
    void MicheApplied(quint64 seq) { FBook.MicheApplied(seq); }

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    TAccountFacet* Account = nullptr;
    TOrderFacet* Order = nullptr;
    const THogaData* Hoga = nullptr;
    // The random draws of a split plan (seeded from the clock by default).
    TSplitRandom Random;

    QWidget* pnlAutoQ = nullptr;
    QCheckBox* chkAutoSell = nullptr;
    QLineEdit* edAutoPct = nullptr;
    QPushButton* btnSplitSell = nullptr;
    QVector<TSplitOrd> FSplit;
    QTimer FSplitTm;

private:
    struct TOutSell {
        int Id = 0;
        QString Code, Name;
        int Price = 0;
        qint64 Qty = 0;
    };
    void Pump();
    void WarnBelowCost();
    qint64 PendingSplit(const QString& code) const;

    TSellableBook FBook;
    std::deque<TOutSell> FOut;   // our sells not yet in the request queue
    bool FInQueue = false;       // one of ours waits in the request queue
    QSet<QString> FSeenFills;    // order/fill numbers already handled
    QString FWarnedCost;         // the percentage and fee last warned about
    quint64 FRun = 1;            // ends with the session: a queued sell of an ended one does not go
};
