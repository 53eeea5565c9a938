#pragma once
// The market board: a strip of labels in the top bar showing one page at a
// time (US indices, Korean indices, the two semiconductor stocks, investor
// net buying of three exchange views, ETN holdings), kept fresh by a
// rotation of broker requests driven by the one-second scheduler; clicking
// a label opens a modal chart of the day (BoardPop.cpp) or the ETN holdings
// (EtnPop.cpp).
//
// Requests go through the request queue under their transaction's tag, so
// the board and its pop-ups share each transaction's pace (t3518, t3521,
// t8409, t1602 one a second, t1601 two). Every request carries a serial in
// its binding; an answer whose serial is no longer the one in flight is
// dropped.
#include "app/Facet.h"
#include "board/Board.h"
#include "board/EtnDoc.h"
#include "board/PopSeries.h"

#include <QPointer>
#include <QStringList>
#include <QVector>
#include <functional>

class QComboBox;
class QDialog;
class QLabel;
class QPainter;
class QTimer;
class QWidget;
class TXAQuery;

class TBoardFacet : public TFacet {
public:
    explicit TBoardFacet(TAppContext& ctx, QObject* parent = nullptr);
    ~TBoardFacet() override;

    void BuildSelector(QWidget* top);
    // One second passed (`tick` the scheduler's count; the board counts its
    // own seconds, advanced here only).
    void SecondTick(int tick);
    // Login has completed: the first chain starts on the next second.
    void OnLogin();

    void LoadLayout(const TIniFile& ini) override;
    void SaveLayout(TIniFile& ini) const override;

    void DrawBoard();
    void OnBoardPage();
    // A label was clicked: 0..6 an item's day, 7 / 8 the investors, 9 ETN.
    void OnBoardLabelClick(int tag);
    void ShowInvFlow();
    void FetchEtn();
    void OnEtnJson(const QString& body);
    void ShowEtnPop();

    // ---- window hooks ----
    // Right edge of the connection status label in the top bar (pixels);
    // unset: the labels start right of the selector.
    std::function<int()> StatusRight;
    // The window pop-ups are centred on (unset: none).
    std::function<QWidget*()> MainWin;
    // Shows a pop-up modally (unset: exec). The dialog deletes itself on close.
    std::function<void(QDialog*)> ShowModal;

    // ---- state ----
    QVector<TBoardItem> FBoard;
    TBoardInv FInv;
    QString FInvExSent;
    bool FInvLogged = false;
    bool FKIdxLogged[2] = {false, false};
    bool FUSLimLogged = false;
    int FBoardPage = 0;
    int FBoardJob = -1;   // job in flight, -1 = none
    bool FUSDue = false;  // set by the window at login: the board starts on the next second
    TBoardRotation FRot;
    TFailOnce FFail;
    TEtnHoldings FEtn;

    // The day-flow pop-up.
    int FPopItem = -1;
    QStringList FPopT;
    QVector<double> FPopV;
    double FPopPrev = 0;
    int FPopMX = -1;
    QString FPopMsg;
    QPointer<QWidget> FPopPB;
    quint64 FPopSerial = 0;
    // The investor-flow pop-up.
    TInvFlow FInvFlow;
    QString FInvMsg;
    QPointer<QWidget> FInvPB;
    QPointer<QTimer> FInvTimer;
    quint64 FInvSerial = 0;
    QString FInvFlowEx;   // exchange the pop-up asks for
    // The ETN pop-up.
    QPointer<QWidget> FEtnPB;

    QComboBox* cbBoard = nullptr;
    QVector<QLabel*> FLabels;
    TXAQuery *qUS = nullptr, *qKIdx8 = nullptr, *qBoard = nullptr, *qInv = nullptr;
    TXAQuery *qPopS = nullptr, *qPopI = nullptr, *qPopU = nullptr, *qInvP = nullptr;

    // Paint routines of the pop-ups (BoardPop.cpp, EtnPop.cpp).
    void PaintPop(QPainter& p, const QRect& r);
    void PaintInvFlow(QPainter& p, const QRect& r);
    void PaintEtn(QPainter& p, const QRect& r);
    void PopRequest(int item);
    void ReqInvFlow(int market, bool next);

private:
    bool EnsureQueries();
    void BoardSend(int job);
    void BoardDone(int job, bool ok = true);
    void BoardFail(int job, int code);
    // A warning of a job, written once until the job succeeds again.
    void JobWarn(int job, const QString& line);
    bool InFlight(TXAQuery* q, int* job) const;
    void OnBoardUS();
    void OnBoardIdx();
    void OnBoardStocks();
    void OnBoardInv();
    void OnBoardMsg(TXAQuery* q, bool sysErr, const QString& code, const QString& msg);
    void OnPopStock();
    void OnPopIndex();
    void OnPopUS();
    void OnInvFlowData();
    void PopMsg(const QString& msg);
    void PopFinish(QVector<TPopPoint> pts);
    bool PopBound(TXAQuery* q) const;
    // A modal chart window: `w` / `h` the least design size, `wPart` /
    // `hPart` the share of the main window's width and of the screen's
    // height it takes when that is more.
    QDialog* MakePopWindow(const QString& caption, int w, double wPart, int h, double hPart, QPointer<QWidget>* pb,
                           std::function<void(QPainter&, const QRect&)> paint, bool tracksMouse);
    void Exec(QDialog* d);

    QWidget* FTop = nullptr;
    struct {
        bool Ok = false;
        QString Code, Px, Rt, Sign;
    } FBoardFld;
};
