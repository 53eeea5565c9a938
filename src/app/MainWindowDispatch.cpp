// The broker link of the window: the objects' events, the routing of every
// answer, message and record to the facet that asked, and what follows login.
#include "app/MainWindow.h"
#include "app/board/BoardFacet.h"
#include "app/broker/LoginFacet.h"
#include "app/news/NewsFacet.h"
#include "app/chart/ChartFacet.h"
#include "app/core/LogFacet.h"
#include "app/market/DailyFacet.h"
#include "app/market/ProgFacet.h"
#include "app/market/QuoteFacet.h"
#include "app/market/StockFacet.h"
#include "app/market/TickFacet.h"
#include "app/trading/AccountFacet.h"
#include "app/trading/OrderFacet.h"
#include "app/trading/PnlFacet.h"
#include "app/trading/AutoSellFacet.h"
#include "broker/XingApi.h"
#include "trading/LadderView.h"

void TfrmMain::CreateBrokerObjects()
{
    Ctx().CreateBrokerObjects();
    const TBrokerObjects& b = Ctx().B;
    connect(b.FSess, &TXASession::LoginResult, this,
            [this](const QString& c, const QString& m) { Login->OnSessLogin(c, m); });
    connect(b.FSess, &TXASession::Notice, this, [this](const QString& line) { Log(line); });
    connect(b.FSess, &TXASession::RealFeedDown, this, [this](const QString& why) { Login->OnFeedDown(why); });
    connect(b.FSess, &TXASession::RealFeedUp, this, [this](bool again) {
        Login->OnFeedUp(again);
        // Order events of the gap are not sent again: what happened to the
        // orders is read afresh, once.
        if (again && Ctx().FLogged) {
            Account->ReqMiche();
            Account->ReqBal();
            Account->ReqFills();
        }
    });
    for (TXAQuery* obj : b.Queries()) {
        connect(obj, &TXAQuery::ReceiveData, this, [this, obj](const QString& tr) { OnQueryData(obj, tr); });
        connect(obj, &TXAQuery::ReceiveMessage, this,
                [this, obj](bool e, const QString& c, const QString& m) { OnQueryMsg(obj, e, c, m); });
    }
    for (TXAReal* obj : b.Reals())
        connect(obj, &TXAReal::ReceiveRealData, this, [this, obj](const QString& tr) { OnRealData(obj, tr); });
    BuildRoutes();
}

// Answers go by query object first and transaction second: several objects
// share a transaction and the object tells who asked.
void TfrmMain::BuildRoutes()
{
    using B = TBrokerObjects;
    FRoutes = {
        {&B::qChk, {}, [this](TXAQuery*) { Login->OnChkData(); }},
        {&B::qDayW, {}, [this](TXAQuery*) { Charts->OnDayWData(); }},
        {nullptr, QStringLiteral("t8430"), [this](TXAQuery*) { OnMasterData(); }},
        {nullptr, QStringLiteral("t1101"), [this](TXAQuery*) { OnPriceData(); }},
        {&B::qDay, QStringLiteral("t8410"), [this](TXAQuery*) { OnDayData(); }},
        {&B::qMin, QStringLiteral("t8412"), [this](TXAQuery*) { Charts->OnMinData(); }},
        {nullptr, QStringLiteral("t1637"), [this](TXAQuery* q) { Prog->OnProgData(q); }},
        {nullptr, QStringLiteral("CSPAQ12300"), [this](TXAQuery*) { Account->OnBalData(); }},
        {&B::qFill, QStringLiteral("t0425"), [this](TXAQuery*) { Account->OnFillsData(); }},
        {&B::qMiche, QStringLiteral("t0425"), [this](TXAQuery*) { Account->OnMicheData(); }},
        {nullptr, QStringLiteral("t1301"), [this](TXAQuery*) { Ticks->OnTickData(); }},
        {nullptr, QStringLiteral("t0167"), [this](TXAQuery*) { LogClock->OnTimeData(); }},
        {&B::qOrd, QStringLiteral("CSPAT00600"), [this](TXAQuery* q) { AutoSell->OnOrderData(q); }},
        {&B::qNews, QStringLiteral("t3102"), [this](TXAQuery* q) { News->OnNewsBody(q); }},
    };
}

void TfrmMain::AfterLogin(const QString& msg)
{
    const TBrokerObjects& b = Ctx().B;
    Ctx().FLogged = true;
    Login->ShowConnected();
    FBoardTick = 29;
    Board->OnLogin();
    Log(QStringLiteral("로그인 성공: ") + msg);
    for (auto [feed, code] : {std::pair{b.rSC1, "SC1"}, {b.rSC0, "SC0"}, {b.rSC3, "SC3"}}) {
        Ctx().SetRealRes(feed, QString::fromLatin1(code));
        feed->AdviseRealData();
    }
    Ctx().SetRealRes(b.rNws, QStringLiteral("NWS"));
    b.rNws->SetFieldData(QStringLiteral("InBlock"), QStringLiteral("nwcode"), QStringLiteral("NWS001"));
    b.rNws->AdviseRealData();
    Stock->ReqMaster();
    SelectStock(Ctx().FCode.isEmpty() ? Ctx().FCfg.LastCode : Ctx().FCode);
    Account->ReqBal();
    Account->ReqMiche();
    LogClock->ReqTime();
    Account->ReqFills();
    Pnl->DayPnlRefresh();
}

// ---- dispatch ----

void TfrmMain::OnQueryData(TXAQuery* q, const QString& tr)
{
    const TBrokerObjects& b = Ctx().B;
    for (const TRoute& r : FRoutes)
        if ((!r.Query || b.*(r.Query) == q) && (r.Tr.isEmpty() || r.Tr == tr)) {
            r.Data(q);
            return;
        }
}

void TfrmMain::OnQueryMsg(TXAQuery* q, bool sysErr, const QString& code, const QString& msg)
{
    const TBrokerObjects& b = Ctx().B;
    const QString c = code.trimmed();
    const QString m = msg.trimmed();
    if (q == b.qChk) {
        Login->OnChkMsg(c, m);
        return;
    }
    if (q == b.qOrd || q == b.qCxl || q == b.qMod) {
        const QString head = q == b.qOrd   ? QStringLiteral("주문응답 [")
                             : q == b.qCxl ? QStringLiteral("취소응답 [")
                                           : QStringLiteral("정정응답 [");
        Log(head + code + QStringLiteral("] ") + msg);
        if (q == b.qOrd)
            AutoSell->OnOrderMsg(q);
        Account->ReqMiche();
        return;
    }
    if (!TAppContext::IsSignificant(sysErr, c))
        return;
    if (q == b.qMin) {
        Charts->OnMinMessage(c, msg);
        return;
    }
    Log(QStringLiteral("[") + code + QStringLiteral("] ") + msg);
    // The broker's transmission limit pauses program trading's refresh and
    // frees the tick request.
    if (TProgState::IsLimitMessage(msg)) {
        Ticks->OnLimitMessage();
        Prog->OnLimitMessage();
    } else if (q == b.qProg || q == b.qProgPg) {
        Prog->OnProgRefused(q);
    }
}

void TfrmMain::OnRealData(TXAReal* r, const QString& tr)
{
    if (tr == QStringLiteral("S3_") || tr == QStringLiteral("K3_"))
        OnTradeReal(r);
    else if (tr == QStringLiteral("H1_") || tr == QStringLiteral("HA_"))
        OnBookReal(r);
    else if (tr == QStringLiteral("SC1"))
        Account->OnFillReal(r);
    else if (tr == QStringLiteral("SC0") || tr == QStringLiteral("SC3"))
        Account->ReqMiche();
    else if (tr == QStringLiteral("NWS"))
        News->OnNewsReal(r);
}
