#pragma once
// The account: unfilled orders (t0425) with their cancels (CSPAT00800) and
// modifications (CSPAT00700), the balance (CSPAQ12300) and today's fills of
// the current stock (t0425), their two pages under the ladder, the two
// cancel-all buttons and the refresh after fills.
#include "app/Facet.h"
#include "trading/AccountData.h"

#include <QHash>
#include <QTimer>
#include <QVector>
#include <functional>

class QPushButton;
class QTableWidget;
class QVBoxLayout;
class QWidget;
class TChartModel;
class TColorButton;
class TOrderFacet;
class TTabSet;
class TXAQuery;
class TXAReal;

class TAccountFacet : public TFacet {
public:
    explicit TAccountFacet(TAppContext& ctx, QObject* parent = nullptr);

    // The cancel-all buttons under the ladder.
    void BuildCancelButtons(QWidget* area, QVBoxLayout* v);
    // The balance and unfilled-order pages of the account tab set.
    void BuildPages(TTabSet* tabs);

    void ReqMiche();
    void OnMicheData();
    void UpdateCancelButtons();
    void CancelSide(const QString& side);
    void CancelRows(const QVector<TMicheRow>& rows);
    void QueueCancelOne(const TMicheRow& row);
    void QueueModifyOne(const TMicheRow& row, int newPrice);
    void OnLadderCancel(const QString& side, int price);
    void OnLadderMove(const QString& side, int fromPrice, int toPrice);
    // The balance query's input: the account check at login asks the same.
    static void FillBalanceInput(TXAQuery* q, const TConfig& cfg);
    void ReqBal();
    void OnBalData();
    void ApplyHold();
    void ReqFills();
    void OnFillsData();
    void OnBalClick(int row);
    void PushMyOrders();
    // An SC1 record: a fill of the account.
    void OnFillReal(TXAReal* r);
    // One second passed: the balance and fills after a burst of fills.
    void SecondTick();

private:
    bool Newer(TXAQuery* q, quint64& applied) const;

public:
    // Where the account shows: the ladder (through the order facet), the
    // charts' holding line and fill marks.
    TOrderFacet* Order = nullptr;
    TChartModel* MinChart = nullptr;
    TChartModel* DayChart = nullptr;
    std::function<void(const QString& code)> OnSelectStock;
    // A fill event, after its log line; a balance or unfilled-orders answer
    // applied, with the number of its request.
    std::function<void(TXAReal*)> OnFillEvent;
    std::function<void(quint64)> OnBalApplied, OnMicheApplied;
    // The account refresh after a burst of fills.
    std::function<void()> OnAcctRefresh;

    QHash<QString, THold> FHolds;
    QVector<TMicheRow> FMiche;
    QVector<TFillAt> FFills;
    bool FAcctDirty = false;
    qint64 FAcctDirtyAt = 0;
    QTimer FMicheTimer;
    // Requests sent and the newest whose answer is shown, per query.
    quint64 FMicheSent = 0, FMicheShown = 0, FBalSent = 0, FBalShown = 0, FFillSent = 0, FFillShown = 0;
    TTabSet* pcBM = nullptr;
    QPushButton* btnBal = nullptr;
    QTableWidget *gBal = nullptr, *gMiche = nullptr;
    QWidget* pnlLadBot = nullptr;
    TColorButton* btnSellCxl = nullptr;
    TColorButton* btnBuyCxl = nullptr;
};
