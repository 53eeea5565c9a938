#pragma once
// The per-minute series ("루멘") and top-list ("루멘 상위") pages of the tick
// tab set: the service's cumulative buy and sell sums of the selected stock
// minute by minute, and the day's top 30 stocks by buy, sell or net sum with
// their NEW and movement marks.
#include "app/Facet.h"
#include "signals/Lumen.h"

#include <QVector>
#include <functional>

class QCheckBox;
class QComboBox;
class QHeaderView;
class QLabel;
class QPainter;
class TChartModel;
class TNewsList;
class TTabSet;

class TLumenFacet : public TFacet {
public:
    explicit TLumenFacet(TAppContext& ctx, QObject* parent = nullptr);

    void BuildPages(TTabSet* tabs);

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    void FetchLM();
    void FetchLmTop();
    void OnLmSeries(const QString& code, const QByteArray& body);
    void OnLmTop(const QByteArray& body);
    void LmTopRebuild(bool newData);
    void RebuildLmView();
    // Another stock was selected.
    void OnStockChanged();
    // The one-second scheduler (`sec` the second of the minute).
    void SecondTick(int sec);
    bool SeriesActive() const;
    bool TopActive() const;

    // Set by the window.
    std::function<void(const QString& code)> SelectStock;
    std::function<TChartModel*()> MinChart;
    std::function<QString(const QString& code)> IsinOf;       // the master's ISIN, or empty
    std::function<QString(const QString& isin)> CodeOfIsin;   // the master's code, or empty

    // ---- per-minute series ----
    QVector<TLmRow> FLm;   // newest first
    QVector<int> FLmView;
    QString FLmDate, FLmCode;
    bool FLmBusy = false;
    qint64 FLmAt = -1000000;
    // ---- top list ----
    QVector<TLmRow> FLmTopAll;
    TLmTopRank FLmRank;
    QString FLmTopStamp, FLmTopAt;
    bool FLmTopBusy = false;
    qint64 FLmTopGot = -1000000;

    TTabSet* pcTick = nullptr;
    QWidget *tsLM = nullptr, *tsLmTop = nullptr;
    QCheckBox* chkLmChg = nullptr;
    QHeaderView* hcLM = nullptr;
    QLabel* lbLmSum = nullptr;
    TNewsList* lbLM = nullptr;
    QComboBox* cbLmTopKind = nullptr;
    QLabel* lbLmTopSum = nullptr;
    QHeaderView* hcLmTop = nullptr;
    TNewsList* lbLmTop = nullptr;

private:
    void PaintLmRow(QPainter& p, const QRect& r, int row, bool selected);
    void PaintTopRow(QPainter& p, const QRect& r, int row, bool selected);
    void OnLmClick(int row);
    void ClearSeries();
    qint64 Tick() const;
};
