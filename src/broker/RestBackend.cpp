#include "broker/RestBackend.h"

#include "broker/RestAuth.h"
#include "broker/RestClient.h"
#include "broker/TrLimits.h"
#include "broker/WsFeed.h"
#include "core/Clock.h"

#include <QEventLoop>
#include <QFileInfo>

namespace {

// Codes of the messages the backend makes itself (the broker's are five
// digits or IGW…).
const QString kNoAnswer = QStringLiteral("-901");   // the answer never came
const QString kUnreadable = QStringLiteral("-902"); // the answer could not be read
const QString kNotSent = QStringLiteral("-903");    // refused before the network
const QString kOtherAccount = QStringLiteral("-904");

// Calls of one transaction in any second, at most: the published budget.
int Budget(const QString& tr)
{
    const int n = TrPerSec(tr);
    return n > 0 ? n : 10;
}

QString Digits(const QString& s)
{
    QString d;
    for (QChar c : s)
        if (c.isDigit())
            d += c;
    return d;
}

}  // namespace

bool IsOrderTr(const QString& tr)
{
    static const QSet<QString> k = {QStringLiteral("CSPAT00600"), QStringLiteral("CSPAT00700"),
                                    QStringLiteral("CSPAT00800"), QStringLiteral("CSPAT00601"),
                                    QStringLiteral("CSPAT00701"), QStringLiteral("CSPAT00801")};
    return k.contains(tr.trimmed().toUpper());
}

bool IsAccountInputField(const QString& field)
{
    static const QSet<QString> k = {QStringLiteral("acntno"), QStringLiteral("inptpwd"), QStringLiteral("pwd"),
                                    QStringLiteral("accno"), QStringLiteral("passwd")};
    return k.contains(field.toLower());
}

// ============================================================== link

TRestLink::TRestLink(const TRestSettings& settings, TClock& clock, QObject* parent)
    : QObject(parent), FSet(settings), FClock(clock)
{
    FClient = new TRestClient(FSet.Host.RestBase, this);
    FClient->SetTimeoutMs(FSet.TimeoutMs);
    FAuth = new TRestAuth(FClient, this);
    FFeed = new TWsFeed(FSet.Host.WsUrl, this);
    FFeed->SetFirstPauseMs(FSet.FirstReconnectPauseMs);
    for (const QSslCertificate& c : FSet.Trusted) {
        FClient->TrustCertificate(c);
        FFeed->TrustCertificate(c);
    }
    FHeldTimer.setSingleShot(true);
    connect(&FHeldTimer, &QTimer::timeout, this, [this] { PumpHeld(); });

    connect(FAuth, &TRestAuth::Issued, this, [this] {
        FFeed->SetToken(FAuth->Token());
        if (std::exchange(FWsTokenRefused, false))
            FFeed->AskAgain();
        if (FLoggingIn) {
            FLoggingIn = false;
            FLoggedIn = true;
            FFeed->Open();
            emit LoginResult(QStringLiteral("0000"),
                             Paper() ? QStringLiteral("접근토큰을 받았습니다 (모의투자)") : QStringLiteral("접근토큰을 받았습니다"));
        } else {
            emit Notice(QStringLiteral("접근토큰을 새로 받았습니다 (다음 갱신 %1)")
                            .arg(FAuth->RenewalAt().toLocalTime().toString(QStringLiteral("MM-dd HH:mm"))));
        }
        const QList<TWaiter> waiting = std::exchange(FWaiters, {});
        for (const TWaiter& w : waiting)
            if (w.Owner)
                w.Resend();
    });
    connect(FAuth, &TRestAuth::Failed, this, [this](const QString& why) {
        if (FLoggingIn) {
            FLoggingIn = false;
            emit LoginResult(QStringLiteral("-900"), why);
        } else {
            emit Notice(QStringLiteral("!! 접근토큰을 받지 못했습니다: ") + why);
        }
        const QList<TWaiter> waiting = std::exchange(FWaiters, {});
        for (const TWaiter& w : waiting)
            if (w.Owner)
                w.Fail(why);
    });

    connect(FFeed, &TWsFeed::Record, this, &TRestLink::OnRecord);
    connect(FFeed, &TWsFeed::Refused, this, [this](const QString& tr, const QString& key, const QString& code, const QString& msg) {
        if (RestFaultOf(200, code, msg) == TRestFault::Token) {
            // The feeds are asked for again once a new token came.
            if (!FWsTokenRefused && FLoggedIn) {
                FWsTokenRefused = true;
                if (!FAuth->RenewAfterRefusal())
                    FWsTokenRefused = false;
            }
            return;
        }
        emit Notice(QStringLiteral("!! 실시간 요청 거부 [%1] %2 (%3 %4)")
                        .arg(code.left(12), FAuth->Clean(msg).left(80), tr.left(8), key.left(12)));
    });
    connect(FFeed, &TWsFeed::Down, this, [this](const QString& why) { emit FeedDown(FAuth->Clean(why)); });
    connect(FFeed, &TWsFeed::Up, this, [this](bool again) {
        FLastFrameAt = FClock.TickMs();
        emit FeedUp(again);
    });
    connect(FFeed, &TWsFeed::Problem, this,
            [this](const QString& why) { emit Notice(QStringLiteral("!! 실시간 자료를 읽지 못해 건너뜁니다: ") + FAuth->Clean(why)); });

    // A feed that says nothing while stocks are subscribed is reported once
    // per silence: the server gives no acknowledgement to wait for.
    FQuietTimer.setInterval(5000);
    connect(&FQuietTimer, &QTimer::timeout, this, [this] {
        bool market = false;
        for (auto it = FListeners.cbegin(); it != FListeners.cend() && !market; ++it)
            market = !it.key().second.isEmpty() && !it.value().isEmpty();
        if (!FFeed->Connected() || !market || FQuietSaid)
            return;
        if (FClock.TickMs() - FLastFrameAt >= FSet.QuietWarnMs) {
            FQuietSaid = true;
            emit Notice(QStringLiteral("!! 실시간 시세가 %1초째 오지 않습니다 (장 시간 · 구독 확인)").arg(FSet.QuietWarnMs / 1000));
        }
    });
    FQuietTimer.start();
}

TRestLink::~TRestLink() = default;

void TRestLink::Login(const QString& appKey, const QString& secret)
{
    FLoggedIn = false;
    FLoggingIn = true;
    FAuth->Issue(appKey, secret);
}

void TRestLink::Logout()
{
    FFeed->Close();
    FLoggingIn = false;
    if (!FLoggedIn)
        return;
    FLoggedIn = false;
    // The token is revoked before the program goes: a short wait, so that a
    // closing window does not leave a live token behind.
    QEventLoop loop;
    bool done = false;
    QTimer cap;
    cap.setSingleShot(true);
    connect(&cap, &QTimer::timeout, &loop, &QEventLoop::quit);
    FAuth->Revoke([&done, &loop] {
        done = true;
        loop.quit();
    });
    if (!done) {
        cap.start(2000);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void TRestLink::WhenFree(const QString& tr, std::function<void()> send)
{
    FHeld.push_back({tr, std::move(send)});
    PumpHeld();
}

void TRestLink::Penalise(const QString& tr)
{
    FPenalty[tr] = FClock.TickMs() + 1500;
}

void TRestLink::PumpHeld()
{
    // In order, but a transaction that must wait does not hold up others.
    const qint64 now = FClock.TickMs();
    qint64 wake = 0;
    QSet<QString> waiting;
    for (auto it = FHeld.begin(); it != FHeld.end();) {
        const QString tr = it->Tr;
        std::deque<qint64>& sent = FSent[tr];
        while (!sent.empty() && now - sent.front() >= 1000)
            sent.pop_front();
        qint64 at = FPenalty.value(tr, 0);
        if (int(sent.size()) >= Budget(tr))
            at = std::max(at, sent.front() + 1000);
        if (waiting.contains(tr) || at > now) {
            waiting.insert(tr);
            wake = wake == 0 ? at : std::min(wake, at);
            ++it;
            continue;
        }
        sent.push_back(now);
        std::function<void()> send = std::move(it->Send);
        it = FHeld.erase(it);
        send();
        // `send` may have added to FHeld: start over from the front.
        it = FHeld.begin();
        waiting.clear();
    }
    if (!FHeld.empty())
        FHeldTimer.start(int(std::clamp<qint64>(wake - now, 20, 2000)));
}

void TRestLink::AfterRenewal(QObject* owner, std::function<void()> resend, std::function<void(const QString&)> fail)
{
    if (!FAuth->RenewAfterRefusal()) {
        fail(QStringLiteral("접근토큰이 계속 거부됩니다 — 다시 로그인하세요"));
        return;
    }
    FWaiters.append({owner, std::move(resend), std::move(fail)});
}

const TResLayout* TRestLink::Layout(const QString& path, QString* err)
{
    auto it = FLayouts.constFind(path);
    if (it != FLayouts.constEnd())
        return it->get();
    auto l = std::make_shared<TResLayout>();
    if (!LoadResLayout(path, *l, err))
        return nullptr;
    FLayouts.insert(path, l);
    return l.get();
}

const TResLayout* TRestLink::ApiLayout(const QString& path, const QString& apiCode, QString* err)
{
    const QString key = path + QLatin1Char('\n') + apiCode;
    auto it = FLayouts.constFind(key);
    if (it != FLayouts.constEnd())
        return it->get();
    const TResLayout* base = Layout(path, err);
    if (!base)
        return nullptr;
    auto l = std::make_shared<TResLayout>(*base);
    for (TResBlock& b : l->Blocks) {
        if (b.Name.startsWith(base->Code, Qt::CaseInsensitive))
            b.Name = apiCode + b.Name.mid(base->Code.size());
        if (!b.Input)
            continue;
        for (int i = int(b.Fields.size()) - 1; i >= 0; --i)
            if (IsAccountInputField(b.Fields[i].Name)) {
                b.Fields.remove(i);
                b.Specs.remove(i);
            }
    }
    FLayouts.insert(key, l);
    return l.get();
}

void TRestLink::Advise(TRestReal* r, const QString& tr, const QString& key)
{
    QList<QPointer<TRestReal>>& who = FListeners[{tr, key}];
    who.removeAll(nullptr);
    if (who.contains(r))
        return;
    who.append(r);
    if (who.size() == 1)
        FFeed->Subscribe(tr, key);
}

void TRestLink::Unadvise(TRestReal* r, const QString& tr, const QString& key)
{
    auto it = FListeners.find({tr, key});
    if (it == FListeners.end())
        return;
    it->removeAll(r);
    it->removeAll(nullptr);
    if (it->isEmpty()) {
        FListeners.erase(it);
        FFeed->Unsubscribe(tr, key);
    }
}

void TRestLink::Forget(TRestReal* r)
{
    QList<QPair<QString, QString>> gone;
    for (auto it = FListeners.begin(); it != FListeners.end(); ++it)
        if (it->contains(r))
            gone << it.key();
    for (const auto& k : gone)
        Unadvise(r, k.first, k.second);
}

void TRestLink::OnRecord(const TWsFrame& f)
{
    if (!f.Data)
        return;
    ++FFramesSeen;
    FLastFrameAt = FClock.TickMs();
    FQuietSaid = false;
    const QString tr = f.TrCd.trimmed();
    const QString key = f.TrKey.trimmed();
    // A fill is handled once, however often it is sent (a server may replay
    // the account's events after a reconnect).
    if (tr == QLatin1String("SC1")) {
        const QString day = FClock.Now().toString(QStringLiteral("yyyyMMdd"));
        if (day != FFillsDay) {
            FFillsDay = day;
            FFillsSeen.clear();
        }
        const QString id = f.Field(QStringLiteral("ordno")).trimmed() + QLatin1Char('/') +
                           f.Field(QStringLiteral("execno")).trimmed();
        if (id != QLatin1String("/")) {
            if (FFillsSeen.contains(id)) {
                ++FFillsDropped;
                return;
            }
            FFillsSeen.insert(id);
        }
    }
    ++FFramesHandled;
    auto deliver = [&](const QPair<QString, QString>& k) {
        auto it = FListeners.constFind(k);
        if (it == FListeners.constEnd())
            return;
        const QList<QPointer<TRestReal>> who = *it;   // a handler may unsubscribe
        for (const QPointer<TRestReal>& r : who)
            if (r)
                r->Deliver(f);
    };
    deliver({tr, key});
    if (!key.isEmpty())
        deliver({tr, QString()});   // account feeds are registered without a key
}

// ============================================================== session

TRestSession::TRestSession(TRestLink* link, QObject* parent) : TXASession(parent), FLink(link)
{
    connect(link, &TRestLink::LoginResult, this, &TXASession::LoginResult);
    connect(link, &TRestLink::FeedDown, this, &TXASession::RealFeedDown);
    connect(link, &TRestLink::FeedUp, this, &TXASession::RealFeedUp);
    connect(link, &TRestLink::Notice, this, &TXASession::Notice);
}

bool TRestSession::ConnectServer(const QString& host, int port)
{
    Q_UNUSED(host);
    Q_UNUSED(port);
    // Nothing goes on the network before the token: whether the server can
    // be reached is known from its answer.
    FConnected = FLink && !FLink->Settings().Host.RestBase.isEmpty() && !FLink->Settings().Host.WsUrl.isEmpty();
    return FConnected;
}

bool TRestSession::Login(const QString& id, const QString& pw, const QString& certPw, int svrType, bool showCertErr)
{
    Q_UNUSED(certPw);
    Q_UNUSED(svrType);
    Q_UNUSED(showCertErr);
    if (!FConnected || !FLink || id.trimmed().isEmpty() || pw.trimmed().isEmpty())
        return false;
    FLink->Login(id, pw);
    return true;
}

void TRestSession::DisconnectServer()
{
    if (FLink)
        FLink->Logout();
    FConnected = false;
}

// ============================================================== query

TRestQuery::TRestQuery(TRestLink* link, QObject* parent) : TXAQuery(parent), FLink(link) {}

void TRestQuery::SetResFileName(const QString& path)
{
    FRes = path;
    FIn.Clear();
}

void TRestQuery::SetFieldData(const QString& block, const QString& field, int idx, const QString& value)
{
    if (idx >= 0)
        FIn.Set(block, field, idx, value);
}

QString TRestQuery::GetFieldData(const QString& block, const QString& field, int idx) const
{
    const TTrBlock* b = FData.Block(block);
    if (!b || idx < 0 || idx >= b->Rows.size())
        return {};
    const int i = b->IndexOf(field);
    return i >= 0 ? b->Rows[idx].value(i) : QString();
}

int TRestQuery::GetBlockCount(const QString& block) const
{
    const TTrBlock* b = FData.Block(block);
    return b ? int(b->Rows.size()) : 0;
}

int TRestQuery::Decompress(const QString& block)
{
    // The API never compresses: the records are there as they came.
    const TTrBlock* b = FData.Block(block);
    return b ? int(b->Rows.size()) : -1;
}

QString TRestQuery::GetBlockData(const QString& block) const
{
    const TTrBlock* b = FData.Block(block);
    if (!b)
        return {};
    QString out;
    for (const QStringList& row : b->Rows)
        for (const QString& v : row)
            out += v;
    return out;
}

int TRestQuery::Request(bool next)
{
    FError.clear();
    if (!FLink || !FLink->LoggedIn()) {
        FError = QStringLiteral("로그인 전입니다");
        return -1;
    }
    const QFileInfo fi(FRes);
    const QString tr = fi.completeBaseName();
    if (FRes.isEmpty() || !fi.isFile()) {
        FError = QStringLiteral("Res 파일이 없습니다: %1").arg(FRes);
        return -2;
    }
    QString err;
    const TResLayout* layout = FLink->Layout(FRes, &err);
    if (!layout || layout->Feed || layout->Code.compare(tr, Qt::CaseInsensitive) != 0) {
        FError = layout ? QStringLiteral("Res 파일 %1 은 %2 조회의 형식이 아닙니다").arg(FRes, tr) : err;
        return -3;
    }
    const TRestRoute route = RestRouteOf(layout->Code);
    if (route.Path.isEmpty()) {
        FError = QStringLiteral("%1 은(는) 증권사 오픈 API에 없는 조회입니다").arg(layout->Code);
        return -4;
    }
    // The API's forms: blocks named after its code, no account number or
    // password (the key names the account), and the paper server's orders
    // take "A" + the code.
    const TResLayout* api = FLink->ApiLayout(FRes, route.Code, &err);
    if (!api) {
        FError = err;
        return -3;
    }
    TRestInputs in;
    TSent s;
    for (int bi = 0; bi < layout->Blocks.size(); ++bi) {
        const TResBlock& b = layout->Blocks[bi];
        if (!b.Input)
            continue;
        const QString apiName = api->Blocks[bi].Name;
        const int rows = std::max(1, FIn.Rows(b.Name));
        for (int r = 0; r < rows; ++r)
            for (const TResField& f : b.Fields) {
                const QString v = FIn.Get(b.Name, f.Name, r);
                if (IsAccountInputField(f.Name)) {
                    if (s.Acno.isEmpty() && (f.Name.compare(QLatin1String("AcntNo"), Qt::CaseInsensitive) == 0 ||
                                             f.Name.compare(QLatin1String("accno"), Qt::CaseInsensitive) == 0))
                        s.Acno = Digits(v);
                    continue;
                }
                QString out = v;
                if (IsOrderTr(layout->Code) && f.Name == QLatin1String("IsuNo") && FLink->Paper()) {
                    const QString code = v.trimmed();
                    if (code.size() == 6 && code.at(0).isDigit())
                        out = QLatin1Char('A') + code;
                }
                in.Set(apiName, f.Name, r, out);
            }
    }
    s.Body = RestRequestBody(*api, in, &err);
    if (s.Body.isEmpty()) {
        FError = QStringLiteral("%1 요청을 만들지 못했습니다: %2").arg(layout->Code, err);
        return -5;
    }
    s.Id = FLink->NextId();
    s.Tr = layout->Code;
    s.Path = route.Path;
    s.Code = route.Code;
    s.Layout = api;
    if (next)
        s.Cont = {true, FContKey};
    QPointer<TRestQuery> self(this);
    FLink->WhenFree(s.Tr, [self, s] {
        if (self)
            self->Send(s);
    });
    return s.Id;
}

void TRestQuery::Send(const TSent& s)
{
    if (!FLink)
        return;
    QPointer<TRestQuery> self(this);
    FLink->Client().PostTr(s.Path, s.Code, FLink->Auth().Token(), s.Cont, s.Body, [self, s](const TRestReply& r) {
        if (self)
            self->Answered(s, r);
    });
}

void TRestQuery::Message(int id, bool sysErr, const QString& code, const QString& msg)
{
    FAnswerId = id;
    emit ReceiveMessage(sysErr, code, msg);
}

void TRestQuery::Answered(const TSent& s, const TRestReply& r)
{
    if (!FLink)
        return;
    const bool order = IsOrderTr(s.Tr);
    if (r.Http == 0) {
        const QString why = FLink->Auth().Clean(r.NetError);
        if (order)
            Message(s.Id, true, kNoAnswer,
                    QStringLiteral("주문 결과를 알 수 없습니다 (%1) — 다시 보내지 않고 미체결 · 체결 조회로 확인합니다").arg(why));
        else
            Message(s.Id, true, kNoAnswer, QStringLiteral("%1 응답을 받지 못했습니다: %2").arg(s.Tr, why));
        return;
    }
    // The code and text of an answer that is not JSON read as empty.
    QString code, msg;
    {
        TRestAnswer head;
        TResLayout none;
        if (ParseRestAnswer(r.Body, none, head, nullptr)) {
            code = head.Code;
            msg = head.Msg;
        }
    }
    switch (RestFaultOf(r.Http, code, msg)) {
    case TRestFault::Token: {
        if (order) {
            // The gateway turned it away before the exchange saw it; it is
            // not sent again behind the user's back.
            FLink->AfterRenewal(this, [] {}, [](const QString&) {});
            Message(s.Id, true, code.isEmpty() ? QStringLiteral("-401") : code,
                    QStringLiteral("주문이 접수되지 않았습니다 — 접근토큰이 만료되어 새로 받는 중입니다. 다시 주문하세요"));
            return;
        }
        if (s.Resent) {
            Message(s.Id, true, code.isEmpty() ? QStringLiteral("-401") : code,
                    QStringLiteral("%1: 새 접근토큰으로도 거부되었습니다").arg(s.Tr));
            return;
        }
        QPointer<TRestQuery> self(this);
        TSent again = s;
        again.Resent = true;
        FLink->AfterRenewal(
            this,
            [self, again] {
                if (self && self->FLink)
                    self->FLink->WhenFree(again.Tr, [self, again] {
                        if (self)
                            self->Send(again);
                    });
            },
            [self, s](const QString& why) {
                if (self)
                    self->Message(s.Id, true, QStringLiteral("-401"), QStringLiteral("%1: %2").arg(s.Tr, why));
            });
        return;
    }
    case TRestFault::Rate:
        // The program's own pause rules take over (they read "전송제한");
        // nothing is sent again from here.
        FLink->Penalise(s.Tr);
        Message(s.Id, false, code.isEmpty() ? QStringLiteral("IGW00201") : code,
                QStringLiteral("전송제한 — %1 초당 호출 한도를 넘었습니다 (%2)").arg(s.Tr, msg.left(80)));
        return;
    case TRestFault::Gateway:
        if (order) {
            Message(s.Id, true, code.isEmpty() ? QString::number(-r.Http) : code,
                    QStringLiteral("주문 결과를 알 수 없습니다 (증권사 게이트웨이 오류 %1) — 다시 보내지 않고 미체결 · 체결 조회로 확인합니다")
                        .arg(code.isEmpty() ? QString::number(r.Http) : code));
            return;
        }
        Message(s.Id, true, code.isEmpty() ? QString::number(-r.Http) : code,
                QStringLiteral("%1 증권사 게이트웨이 오류 (HTTP %2) %3").arg(s.Tr).arg(r.Http).arg(msg.left(80)));
        return;
    case TRestFault::Request:
        Message(s.Id, true, code.isEmpty() ? QString::number(-r.Http) : code,
                QStringLiteral("%1 요청이 거부되었습니다: %2").arg(s.Tr, msg.left(120)));
        return;
    case TRestFault::None:
        break;
    }
    TRestAnswer a;
    QString err;
    if (!ParseRestAnswer(r.Body, *s.Layout, a, &err)) {
        const QString what = order ? QStringLiteral(" — 주문 결과는 미체결 · 체결 조회로 확인합니다") : QString();
        Message(s.Id, true, kUnreadable, QStringLiteral("!! %1 응답을 읽을 수 없습니다 (%2)%3").arg(s.Tr, err.left(120), what));
        return;
    }
    if (!err.isEmpty())
        emit FLink->Notice(QStringLiteral("!! %1: %2").arg(s.Tr, err.left(160)));
    if (s.Code != s.Tr)
        for (TTrBlock& b : a.Blocks)
            if (b.Name.startsWith(s.Code, Qt::CaseInsensitive))
                b.Name = s.Tr + b.Name.mid(s.Code.size());
    // A key is bound to one account: an account check that names another
    // account than the one typed is a refusal, not a balance.
    if (!s.Acno.isEmpty()) {
        for (const TTrBlock& b : a.Blocks) {
            const int i = b.IndexOf(QStringLiteral("AcntNo"));
            if (i < 0 || b.Rows.isEmpty())
                continue;
            const QString theirs = Digits(b.Rows[0].value(i));
            if (!theirs.isEmpty() && theirs != s.Acno) {
                Message(s.Id, true, kOtherAccount,
                        QStringLiteral("계좌번호 %1 은(는) 이 앱 키의 계좌가 아닙니다 (앱 키의 계좌: %2)")
                            .arg(s.Acno, theirs.size() == 11 ? theirs.left(9) + QLatin1Char('-') + theirs.right(2) : theirs));
                return;
            }
            break;
        }
    }
    FContKey = r.Cont.More ? r.Cont.Key : QString();
    QPointer<TRestQuery> self(this);
    const QString c = a.Code.isEmpty() ? QStringLiteral("00000") : a.Code;
    const QString m = a.Msg;
    const bool hasData = !a.Blocks.isEmpty();
    FData = std::move(a);
    FAnswerId = s.Id;
    // As the broker's own API does: the answer's message first, then its data.
    emit ReceiveMessage(false, c, m);
    if (!self || !hasData)
        return;
    FAnswerId = s.Id;
    emit ReceiveData(s.Tr);
}

void TRestQuery::DeliverBody(const QString& tr, int id, const QByteArray& body)
{
    QString err;
    const TResLayout* layout = FLink ? FLink->Layout(FRes, &err) : nullptr;
    if (!layout)
        return;
    TSent s;
    s.Id = id;
    s.Tr = tr;
    s.Code = tr;
    s.Layout = layout;
    TRestReply r;
    r.Http = 200;
    r.Body = body;
    Answered(s, r);
}

int TRestQuery::GetTRCountBaseSec(const QString& tr) const
{
    Q_UNUSED(tr);
    return 1;
}

int TRestQuery::GetTRCountPerSec(const QString& tr) const { return TrPerSec(tr); }

int TRestQuery::GetTRCountLimit(const QString& tr) const
{
    Q_UNUSED(tr);
    return 0;
}

// ============================================================== real-time

TRestReal::TRestReal(TRestLink* link, QObject* parent) : TXAReal(parent), FLink(link) {}

TRestReal::~TRestReal()
{
    if (FLink)
        FLink->Forget(this);
}

void TRestReal::SetResFileName(const QString& path)
{
    FRes = path;
    FTr = QFileInfo(path).completeBaseName();
}

void TRestReal::SetFieldData(const QString& block, const QString& field, const QString& value)
{
    Q_UNUSED(block);
    Q_UNUSED(field);
    FKey = value.trimmed();
}

void TRestReal::AdviseRealData()
{
    if (!FLink || FTr.isEmpty())
        return;
    // The account's events (SC…) are registered without a code.
    const QString key = FTr.startsWith(QLatin1String("SC")) ? QString() : FKey;
    FKeys.insert(key);
    FLink->Advise(this, FTr, key);
}

void TRestReal::UnadviseRealData()
{
    if (FLink)
        for (const QString& k : std::as_const(FKeys))
            FLink->Unadvise(this, FTr, k);
    FKeys.clear();
}

void TRestReal::UnadviseRealDataWithKey(const QString& key)
{
    const QString k = key.trimmed();
    if (!FKeys.remove(k))
        return;
    if (FLink)
        FLink->Unadvise(this, FTr, k);
}

QString TRestReal::GetFieldData(const QString& block, const QString& field) const
{
    Q_UNUSED(block);
    return FCur ? FCur->Field(field) : QString();
}

void TRestReal::Deliver(const TWsFrame& f)
{
    const TWsFrame* before = FCur;
    FCur = &f;
    QPointer<TRestReal> self(this);
    emit ReceiveRealData(FTr);
    if (self)
        FCur = before;
}

// ============================================================== backend

TRestBackend::TRestBackend(const TRestSettings& settings, TClock& clock)
    : FLink(std::make_unique<TRestLink>(settings, clock))
{
}

TRestBackend::~TRestBackend() = default;

TXASession* TRestBackend::CreateSession(QObject* parent) { return new TRestSession(FLink.get(), parent); }
TXAQuery* TRestBackend::CreateQuery(QObject* parent) { return new TRestQuery(FLink.get(), parent); }
TXAReal* TRestBackend::CreateReal(QObject* parent) { return new TRestReal(FLink.get(), parent); }
