#include "app/AppContext.h"

#include "app/BrokerFactory.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/ServerClock.h"
#include "core/ServiceHost.h"
#include "sim/SimBackend.h"
#include "sim/SimService.h"

#include <QFileInfo>

namespace {
constexpr int kSentKept = 32;  // requests remembered per query object
}

QVector<TXAQuery*> TBrokerObjects::Queries() const
{
    return {qMaster, qPrice, qDay, qDayW, qMin, qProg, qProgPg, qTick,
            qBal,    qChk,   qOrd, qMod,  qCxl, qMiche, qFill, qTime, qNews};
}

QVector<TXAReal*> TBrokerObjects::Reals() const { return {rS3, rK3, rH1, rHA, rSC1, rSC0, rNws, rSC3}; }

TAppContext::TAppContext(TClock& clock, const QString& exeDir, QObject* parent)
    : QObject(parent), FClock(clock)
{
    FExeDir = exeDir;
    if (!FExeDir.endsWith(QLatin1Char('/')))
        FExeDir += QLatin1Char('/');
    FIniPath = FExeDir + QStringLiteral("hts.ini");
    FQ = new TReqQueue(FClock, this);
    FCfgOk = LoadConfig(FIniPath, FCfg, FCfgErr, FExeDir + QStringLiteral("Res/"));
    FServerClock = std::make_unique<TServerClock>(FClock);
    FSvc = std::make_unique<TServiceHost>();
    TIniFile ini(FIniPath);
    FSvc->SetBase(ini.ReadString(QStringLiteral("SERVICE"), QStringLiteral("BASE"), QString()).trimmed());
}

TAppContext::~TAppContext()
{
    delete FQ;  // pending requests are dropped unrun
    FQ = nullptr;
}

void TAppContext::CreateBrokerObjects()
{
    FBackend = CreateBrokerBackend(FCfg, FIniPath, FClock, &FBackendProblems);
    FBackendApi = UsesAppKey(FCfg.Host);
    // The simulated exchange runs on this PC's own clock.
    FServerClock->SetLocalIsExchange(dynamic_cast<TSimBackend*>(FBackend.get()) != nullptr);
    if (!FBackendApi && (FSvc->Base().isEmpty() || FSimSvc)) {
        if (auto* sim = dynamic_cast<TSimBackend*>(FBackend.get())) {
            FSimSvc = std::make_unique<TSimServiceServer>(sim->Exchange());
            QString err;
            const QString base = FSimSvc->Start(0, &err);
            if (base.isEmpty())
                FBackendProblems << QStringLiteral("모의 서비스를 열지 못했습니다: ") + err;
            FSvc->SetBase(base);
        }
    }
    B.FSess = FBackend->CreateSession(this);
    for (TXAQuery** q : {&B.qMaster, &B.qPrice, &B.qDay, &B.qDayW, &B.qMin, &B.qProg, &B.qProgPg, &B.qTick,
                         &B.qBal, &B.qChk, &B.qOrd, &B.qMod, &B.qCxl, &B.qMiche, &B.qFill, &B.qTime, &B.qNews})
        *q = FBackend->CreateQuery(this);
    for (TXAReal** r : {&B.rS3, &B.rK3, &B.rH1, &B.rHA, &B.rSC1, &B.rSC0, &B.rNws, &B.rSC3})
        *r = FBackend->CreateReal(this);
}

void TAppContext::Log(const QString& text) const
{
    if (LogSink)
        LogSink(text);
}

QString TAppContext::NameOf(const QString& code) const { return NameSource ? NameSource(code) : code; }

QString TAppContext::Today() const { return FClock.Now().toString(QStringLiteral("yyyyMMdd")); }

bool TAppContext::SetQueryRes(TXAQuery* q, const QString& tr) const
{
    const QString path = FCfg.ResPath + tr + QStringLiteral(".res");
    if (!QFileInfo(path).isFile()) {
        Log(QStringLiteral("!! Res 파일 없음: ") + path);
        return false;
    }
    q->SetResFileName(path);
    return true;
}

void TAppContext::SetRealRes(TXAReal* r, const QString& code) const
{
    const QString path = FCfg.ResPath + code + QStringLiteral(".res");
    if (!QFileInfo(path).isFile())
        Log(QStringLiteral("!! Res 파일 없음: ") + path);
    else
        r->SetResFileName(path);
}

int TAppContext::Send(TXAQuery* q, bool next, const TReqBind& bind)
{
    const int id = q->Request(next);
    if (id < 0)
        return id;
    QVector<TSent>& sent = FSent[q];
    sent.append({id, bind});
    if (sent.size() > kSentKept)
        sent.removeFirst();
    return id;
}

bool TAppContext::IsSignificant(bool sysErr, const QString& code)
{
    return sysErr || !code.trimmed().startsWith(QLatin1String("00"));
}

std::optional<TReqBind> TAppContext::Bound(TXAQuery* q) const
{
    const auto it = FSent.constFind(q);
    if (it == FSent.constEnd() || it->isEmpty())
        return std::nullopt;
    const int id = q->AnswerId();
    if (id <= 0)  // the backend cannot tell: the newest request of this object
        return it->last().Bind;
    for (auto s = it->crbegin(); s != it->crend(); ++s)
        if (s->Id == id)
            return s->Bind;
    return std::nullopt;
}
