#pragma once
// The price ladder with its my-orders bar and scroll bar, and order entry:
// the buy and sell quantity strips, the fee box, the confirmation switch and
// the order request (CSPAT00600) a double-click on the ladder sends.
#include "app/Facet.h"
#include "market/Quote.h"
#include "trading/AccountData.h"

#include <QHash>
#include <QVector>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QVBoxLayout;
class QWidget;
class TLadderScroll;
class TLadderView;
class TMyOrdBar;

class TOrderFacet : public TFacet {
public:
    explicit TOrderFacet(TAppContext& ctx, QObject* parent = nullptr);

    // The centre button, the fee box and the hint in the strip above the
    // ladder; the my-orders bar and the ladder with its scroll bar into `v`.
    void BuildLadder(QWidget* strip, QWidget* area, QVBoxLayout* v);
    // The buy and sell strips on the order column's top panel.
    void BuildEntry(QWidget* panel);

    void SendOrder(const QString& side, int price);
    // Asks the user when "주문 확인창" is checked; true to go ahead.
    bool Confirm(const QString& text) const;
    // The fee box as a percentage (0.3 when unreadable).
    double Fee() const;
    // The balance's quantity becomes the sell quantity.
    void SetSellQty(const QString& qty);

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    // What an order is checked against: the quote, holdings and unfilled orders.
    const THogaData* Hoga = nullptr;
    const QHash<QString, THold>* Holds = nullptr;
    const QVector<TMicheRow>* Miche = nullptr;

    // Yes/No confirmation of orders, cancels and modifications (a dialog over
    // DialogOwner by default).
    std::function<bool(const QString&)> FConfirm;
    QWidget* DialogOwner = nullptr;

    QWidget *pnlBuyQ = nullptr, *pnlSellQ = nullptr;
    QRadioButton *rbQty = nullptr, *rbAmt = nullptr, *rbSQty = nullptr, *rbSHalf = nullptr, *rbSThird = nullptr,
                 *rbSAll = nullptr;
    QLineEdit *edQty = nullptr, *edAmt = nullptr, *edSQty = nullptr, *edPrice = nullptr;
    QCheckBox* chkConfirm = nullptr;
    bool FAmtFmt = false;
    QPushButton* btnCenter = nullptr;
    QLineEdit* edFee = nullptr;
    QLabel* lbHint = nullptr;
    TMyOrdBar* barMyOrd = nullptr;
    TLadderView* vLadder = nullptr;
    TLadderScroll* FLadScroll = nullptr;
    QScrollBar* sbLadder = nullptr;
};
