#pragma once
// The market lists: the rankings page of the tick tab set, the short-sale ban
// and buyback pages of the issue tab set, and the broker top-five box under
// the tick tabs.
//
// Timing (SecondTick, `n` the window's second counter): the ban list is
// fetched at n mod 600 = 25 and its live prices asked at n mod 30 = 12; the
// buyback list at n mod 600 = 45; the ranking at n mod 60 = 7 while its page
// shows; the broker top five at n mod 10 = 4. Start fetches both lists.
//
// Every broker request goes through the request queue, with at most one of
// its kind pending (a newer one replaces it); the rankings are paced at the
// broker's one call a second. An answer is read only when it belongs to the
// request asked last and still matches what is selected: a ranking whose
// kind or market has changed since, or a top five for another stock, is
// dropped. A failure is logged once until the next success.
#include "app/Facet.h"
#include "lists/BrokerTop.h"
#include "lists/Buyback.h"
#include "lists/Rank.h"
#include "lists/ShortBan.h"

#include <QColor>
#include <QVector>
#include <functional>

class QCheckBox;
class QComboBox;
class QHeaderView;
class QLabel;
class QPainter;
class QWidget;
class TNewsList;
class TPaintBox;
class TTabSet;
class TXAQuery;

class TListsFacet : public TFacet {
public:
    explicit TListsFacet(TAppContext& ctx, QObject* parent = nullptr);

    void BuildRankPage(TTabSet* tabs);
    void BuildListPages(TTabSet* tabs);
    QWidget* BuildBrokerBox();

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    // Start-up (after login): both lists are fetched.
    void Start();
    // The one-second scheduler.
    void SecondTick(int counter);
    // Another stock was selected.
    void OnStockChanged();
    // The stock master arrived: both lists are read again against it (the
    // answers held; fetched when there are none yet).
    void OnMasterData();

    // ---- short-sale bans ----
    void FetchShort();
    void OnShortJson(const QString& body);
    void ReqShortPx();
    void OnShortPx();
    void SortShortList();
    void ShortHeaderClick(int col);
    // ---- buybacks ----
    void FetchBuy();
    void OnBuyJson(const QString& body);
    void FilterBuyList();
    void BuyHeaderClick(int col);
    // The marker of the selected stock's candidate filing of today: its text
    // (empty: none) and colour. The window shows it through ShowBuyMarker.
    QString BuyMarkerFor(const QString& code, QColor* bg = nullptr) const;
    void UpdateBuyMarker();
    // ---- rankings ----
    bool RankActive() const;
    void ReqRank();
    void OnRankData();
    QString RankKey() const;
    // ---- broker top five ----
    void ReqBroker();
    void OnBrokerData();

    // Set by the window.
    std::function<void(const QString& code)> SelectStock;
    // Whether the stock master knows a code. The lists take only codes it
    // knows and show its names; unset (no master yet), every six-character
    // code is taken with the service's name.
    std::function<bool(const QString& code)> KnownCode;
    // Whether the master has arrived (unset or false: the service's names stand).
    std::function<bool()> HasMaster;
    // Shows (non-empty text) or hides the order panel's buyback marker.
    std::function<void(const QString& text, const QColor& bg)> ShowBuyMarker;

    // Lays the marker `lb` out in an order panel `panelWidth` wide under a
    // price label ending at `top` - 2 (design sizes scaled) and returns how
    // far the order strips move down (0 without a text: the marker is hidden).
    static int PlaceBuyMarker(QLabel* lb, const QString& text, const QColor& bg, int panelWidth, int top);

    // ---- state ----
    TShortList FShortList;          // the last good list
    QVector<TShortRow>& FShort = FShortList.Rows;
    QString FShortBody;             // the answer FShortList was read from
    bool FShortFetching = false;
    QString FShortMade, FShortLogged;
    int FShortSortCol = -1;
    bool FShortSortDesc = true;
    bool FShortPxFailed = false;

    TBuyList FBuyList;              // FBuyAll: the last good list
    QVector<TBuyRow> FBuy;          // rows shown
    QString FBuyBody;               // the answer FBuyList was read from
    bool FBuyFetching = false;
    QString FBuyLogged;
    int FBuySortCol = -1;
    bool FBuySortDesc = true;

    QVector<TRankRow> FRank;
    QString FRankTr, FRankAt;
    TRankMarks FRankMarks;
    quint64 FRankRun = 0;           // serial of the ranking asked last
    bool FRankFailed = false;

    TBrokerTop FBrk;
    QString FBrkCode, FBrkAt;
    quint64 FBrkRun = 0;
    bool FBrkFailed = false;

    // ---- widgets ----
    TTabSet *pcTick = nullptr, *pcIssue = nullptr;
    QWidget *tsRank = nullptr, *tsShort = nullptr, *tsBuy = nullptr;
    QComboBox *cbRankKind = nullptr, *cbRankMkt = nullptr;
    QLabel* lbRankTime = nullptr;
    QHeaderView* hcRank = nullptr;
    TNewsList* lbRank = nullptr;
    QVector<QLabel*> lbShortH, lbBuyH;
    TNewsList *lbShort = nullptr, *lbBuy = nullptr;
    QLabel *lbShortStat = nullptr, *lbBuySum = nullptr;
    QCheckBox* chkBuyLiq = nullptr;
    TPaintBox* pbBrk = nullptr;
    TXAQuery *qRank = nullptr, *qShortPx = nullptr, *qBrk = nullptr;

private:
    bool EnsureQueries();
    TMasterName Master() const;
    void RankSelectorChanged();
    void RankFailed(const QString& text);
    void PaintRankRow(QPainter& p, const QRect& r, int row, bool selected);
    void PaintShortRow(QPainter& p, const QRect& r, int row, bool selected);
    void PaintBuyRow(QPainter& p, const QRect& r, int row, bool selected);
    void PaintBroker(QPainter& p, const QRect& r);
    void MarkHeader(const QVector<QLabel*>& labels, const QStringList& captions, int col, bool desc);
    QString NowHms() const;
    struct TPxNames { bool Ok = false; QString Code, Px, Rate, Sign, Vol; } FPxFld;
};
