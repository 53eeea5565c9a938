#pragma once
// The day's profit and loss page ("당일손익") of the account tab set: three
// paged requests per refresh round (today's fills t0425, the trading journal
// t0150, the balance with previous averages and the broker's total t0424),
// each on a query object of its own, and the strip and grid that show them.
//
// A round is numbered; every page carries the round and its page number, and
// an answer of an older round or a page already read is dropped.
#include "app/Facet.h"
#include "trading/DayPnl.h"
#include "trading/OrderEntry.h"

#include <QHash>
#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;
class TTabSet;
class TXAQuery;

class TPnlFacet : public TFacet {
public:
    explicit TPnlFacet(TAppContext& ctx, QObject* parent = nullptr);

    void BuildPnlPage(TTabSet* tabs);
    // [UI] SELLTAX: the transaction tax of a sale in percent.
    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    void DayPnlRefresh();
    void QueuePnlPage(const QString& key, bool next);
    void QueueBalAll(const QString& key, bool next);
    void QueueDayFee(const QStringList& keys, bool next);
    void OnPnlData();
    void OnBalAllData();
    void OnDayFeeData();
    void RebuildPnlView();

    // Wiring: the balance's holdings, the fee box's round-trip percent,
    // opening a stock, and which codes pay no transaction tax.
    const QHash<QString, THold>* Holds = nullptr;
    std::function<double()> FeeBox;
    std::function<void(const QString& code)> OnSelectStock;
    std::function<bool(const QString& code)> IsTaxFree;

    TDayPnl FDay;
    qint64 FSellTax = KDefaultSellTax;
    quint64 FPnlRound = 0;
    TXAQuery *qPnl = nullptr, *qDayFee = nullptr, *qBalAll = nullptr;
    TTabSet* pcBM = nullptr;
    QWidget* tsPnl = nullptr;
    QPushButton* btnPnl = nullptr;
    QLabel* lbPnlTot = nullptr;
    QTableWidget* gPnl = nullptr;

private:
    bool EnsureQueries();
    // Whether the answer on q is the page the current round waits for.
    bool Current(TXAQuery* q, int page) const;
    void OnMsg(bool sysErr, const QString& code, const QString& msg);
    void PaintRowBackgrounds();
};
