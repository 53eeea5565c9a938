// The broker link of the window: objects, result layouts, login with the
// account check, and the routing of every answer, message and record.
#include "app/BrokerFactory.h"
#include "app/LoginDlg.h"
#include "app/MainWindow.h"
#include "app/trading/OrderFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/market/TickFacet.h"
#include "app/market/DailyFacet.h"
#include "app/chart/ChartFacet.h"
#include "app/UiKit.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/Clock.h"
#include "core/NumFmt.h"
#include "core/ServerClock.h"
#include "market/StockSearch.h"
#include "app/market/ProgFacet.h"
#include "app/core/LogFacet.h"
#include "app/market/StockFacet.h"
#include "app/market/QuoteFacet.h"
#include "app/broker/LoginFacet.h"
#include "trading/LadderView.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

void TfrmMain::CreateBrokerObjects()
{
    Ctx().CreateBrokerObjects();
    connect(Ctx().B.FSess, &TXASession::LoginResult, this,
            [this](const QString& c, const QString& m) { Login->OnSessLogin(c, m); });
    for (TXAQuery* obj : Ctx().B.Queries()) {
        connect(obj, &TXAQuery::ReceiveData, this, [this, obj](const QString& tr) { OnQueryData(obj, tr); });
        connect(obj, &TXAQuery::ReceiveMessage, this,
                [this, obj](bool e, const QString& c, const QString& m) { OnQueryMsg(obj, e, c, m); });
    }
    for (TXAReal* obj : Ctx().B.Reals())
        connect(obj, &TXAReal::ReceiveRealData, this, [this, obj](const QString& tr) { OnRealData(obj, tr); });

}

bool TfrmMain::IsSignificant(bool sysErr, const QString& code)
{
    return sysErr || !code.startsWith(QLatin1Char('0'));
}

void TfrmMain::AfterLogin(const QString& msg)
{
    Ctx().FLogged = true;
    Login->ShowConnected();
    FBoardTick = 29;
    FUSDue = true;
    Log(QStringLiteral("로그인 성공: ") + msg);
    for (auto [feed, code] : {std::pair{Ctx().B.rSC1, "SC1"}, {Ctx().B.rSC0, "SC0"}, {Ctx().B.rSC3, "SC3"}}) {
        Ctx().SetRealRes(feed, QString::fromLatin1(code));
        feed->AdviseRealData();
    }
    Ctx().SetRealRes(Ctx().B.rNws, QStringLiteral("NWS"));
    Ctx().B.rNws->SetFieldData(QStringLiteral("InBlock"), QStringLiteral("nwcode"), QStringLiteral("NWS001"));
    Ctx().B.rNws->AdviseRealData();
    Stock->ReqMaster();
    SelectStock(Ctx().FCode.isEmpty() ? Ctx().FCfg.LastCode : Ctx().FCode);
    Account->ReqBal();
    Account->ReqMiche();
    LogClock->ReqTime();
    Account->ReqFills();
}

// ---- dispatch ----

void TfrmMain::OnQueryData(TXAQuery* q, const QString& tr)
{
    if (q == Ctx().B.qChk) {
        Login->OnChkData();
        return;
    }
    if (q == Ctx().B.qDayW) {
        Charts->OnDayWData();
        return;
    }
    if (tr == QStringLiteral("t8430")) {
        Stock->OnMasterData();
        Charts->UpdateChartTitles();
        if (!Ctx().FCode.isEmpty()) {
            Quote->SetName(Ctx().NameOf(Ctx().FCode));
        }
    } else if (tr == QStringLiteral("t1101"))
        OnPriceData();
    else if (tr == QStringLiteral("CSPAQ12300"))
        Account->OnBalData();
    else if (tr == QStringLiteral("t0425") && q == Ctx().B.qFill)
        Account->OnFillsData();
    else if (tr == QStringLiteral("t0425") && q == Ctx().B.qMiche)
        Account->OnMicheData();
    else if (tr == QStringLiteral("t8412") && q == Ctx().B.qMin)
        Charts->OnMinData();
    else if (tr == QStringLiteral("t8410") && q == Ctx().B.qDay) {
        if (const auto bars = Charts->OnDayData()) {
            Daily->RebuildDaily(*bars);
            Quote->SetPrevVol(TChartFacet::PrevVolOf(*bars, Ctx().Today()));
        }
    } else if (tr == QStringLiteral("t1637"))
        Prog->OnProgData(q);
    else if (tr == QStringLiteral("t1301"))
        Ticks->OnTickData();
    else if (tr == QStringLiteral("t0167"))
        LogClock->OnTimeData();
}

void TfrmMain::OnQueryMsg(TXAQuery* q, bool sysErr, const QString& code, const QString& msg)
{
    const QString c = code.trimmed();
    const QString m = msg.trimmed();
    if (q == Ctx().B.qChk) {
        Login->OnChkMsg(c, m);
        return;
    }
    if (q == Ctx().B.qOrd || q == Ctx().B.qCxl || q == Ctx().B.qMod) {
        const QString head = q == Ctx().B.qOrd ? QStringLiteral("주문응답 [") : q == Ctx().B.qCxl ? QStringLiteral("취소응답 [")
                                                                                  : QStringLiteral("정정응답 [");
        Log(head + code + QStringLiteral("] ") + msg);
        Account->ReqMiche();
        return;
    }
    if (!IsSignificant(sysErr, code))
        return;
    if (q == Ctx().B.qMin) {
        Charts->OnMinMessage(c, msg);
        return;
    }
    Log(QStringLiteral("[") + code + QStringLiteral("] ") + msg);
    if (TProgState::IsLimitMessage(msg)) {
        Ticks->OnLimitMessage();
        Prog->OnLimitMessage();
    }
}

void TfrmMain::OnRealData(TXAReal* r, const QString& tr)
{
    if (tr == QStringLiteral("S3_") || tr == QStringLiteral("K3_"))
        OnTradeReal(r);
    else if (tr == QStringLiteral("H1_") || tr == QStringLiteral("HA_")) {
        if (Quote->OnBookReal(r))
            Order->vLadder->SetData(Quote->FHoga);
    } else if (tr == QStringLiteral("SC1"))
        Account->OnFillReal(r);
    else if (tr == QStringLiteral("SC0") || tr == QStringLiteral("SC3"))
        Account->ReqMiche();
}
