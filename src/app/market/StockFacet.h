#pragma once
// The stock master (t8430), finding a stock by code, name or initial
// consonants in the code box with its suggestion list, and the ten most
// recent stocks. Choosing a stock calls OnSelectStock; the window then runs
// the whole change of the current stock.
#include "app/Facet.h"
#include "market/StockInfo.h"

#include <QHash>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class QEvent;
class QLineEdit;
class QPushButton;
class QWidget;
class TRecentList;
class TSearchIndex;
class TSugList;

class TStockFacet : public TFacet {
public:
    explicit TStockFacet(TAppContext& ctx, QObject* parent = nullptr);
    ~TStockFacet() override;

    // The code box and the recent-list button in the strip above the ladder;
    // the two pop-up lists over `window`.
    void BuildCodeBox(QWidget* strip, QWidget* window);

    void ReqMaster();
    void OnMasterData();
    QString NameOf(const QString& code) const;
    // An ETF or ETN of the stock list.
    bool IsFund(const QString& code) const { return FMaster.value(code).Fund; }

    void ShowSug();
    void HideSug();
    void PickSug(int row);
    void OpenTyped(const QString& text);
    void SetCodeText(const QString& text);
    // Events of the code box, seen before the box: true when consumed.
    bool CodeBoxEvent(QEvent* e);
    // A mouse press anywhere: the pop-up lists close when it is outside them.
    void OnPressAnywhere(QWidget* w);
    void AddRecent(const QString& code);

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    // The user chose a stock.
    std::function<void(const QString& code)> OnSelectStock;

    QHash<QString, TStockInfo> FMaster;
    QHash<QString, QString> FIsinCode, FCodeIsin;
    std::unique_ptr<TSearchIndex> FSearch;
    QStringList FRecent;
    bool FSugLock = false;
    QString FCodePreedit;  // the input method's composition in the code box
    bool FCodeEnterSel = false;
    QTimer FSugTimer;
    QLineEdit* edCode = nullptr;
    QPushButton* btnRecent = nullptr;
    TSugList* lbSug = nullptr;
    TRecentList* lbRecent = nullptr;

private:
    void Select(const QString& code);
};
