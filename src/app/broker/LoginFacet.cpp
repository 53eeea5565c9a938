#include "app/broker/LoginFacet.h"
#include "broker/BackendHost.h"
#include "core/Config.h"

#include "app/BrokerFactory.h"
#include "app/LoginDlg.h"
#include "app/UiKit.h"
#include "app/trading/AccountFacet.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/NumFmt.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>

namespace {
const QColor kGrey(112, 112, 112);
const QColor kGreen(0, 160, 0);
}

TLoginFacet::TLoginFacet(TAppContext& ctx, QObject* parent) : TFacet(ctx, parent) {}

void TLoginFacet::BuildStatus(QWidget* top)
{
    lbStatus = MakeLabel(top, 128, 11, QStringLiteral("로그인 전"), Colors::TabIdleText);
}

void TLoginFacet::SetStatus(const QString& text, const QColor& color)
{
    lbStatus->setText(text);
    QPalette p = lbStatus->palette();
    p.setColor(QPalette::WindowText, color);
    lbStatus->setPalette(p);
    lbStatus->adjustSize();
}

void TLoginFacet::ShowConnected()
{
    SetStatus(QStringLiteral("● 접속 — 계좌 ") + MaskAcct(Ctx.FCfg.Acno), kGreen);
}

void TLoginFacet::OnFeedDown(const QString& why)
{
    if (!Ctx.FLogged)
        return;
    SetStatus(QStringLiteral("● 실시간 끊김 — 다시 연결 중"), QColor(208, 0, 0));
    Log(QStringLiteral("!! 실시간 연결 끊김: %1 — 다시 연결합니다").arg(why));
}

void TLoginFacet::OnFeedUp(bool again)
{
    if (!Ctx.FLogged || !again)
        return;
    ShowConnected();
    Log(QStringLiteral("실시간 다시 연결됨 — 구독을 되살리고 미체결 · 체결 · 잔고를 다시 조회합니다"));
}

// Only the answer of this attempt's check counts: a late one of an earlier
// attempt (another account, another password) says nothing about this one.
bool TLoginFacet::IsCurrentChk() const
{
    const std::optional<TReqBind> bind = Ctx.Bound(Ctx.B.qChk);
    return bind && bind->Run == FChkSeq;
}

void TLoginFacet::OnChkData()
{
    if (IsCurrentChk())
        FChkDone = true;
}

void TLoginFacet::OnChkMsg(const QString& code, const QString& msg)
{
    if (!IsCurrentChk())
        return;
    FChkErr = msg + QStringLiteral("  [") + code + QStringLiteral("]");
    FChkMsgAt = Ctx.Clock().TickMs();
    Log(QStringLiteral("계좌 확인 응답 [") + code + QStringLiteral("] ") + msg);
}


// Runs the event loop until `done` holds or `maxMs` pass on the clock; a
// deadline function may end the wait earlier (returns a tick, 0 = none).
bool TLoginFacet::WaitFor(const std::function<bool()>& done, qint64 maxMs, const std::function<qint64()>& deadline)
{
    const qint64 start = Ctx.Clock().TickMs();
    while (!done()) {
        const qint64 now = Ctx.Clock().TickMs();
        if (now - start >= maxMs)
            return false;
        if (deadline) {
            const qint64 d = deadline();
            if (d > 0 && now >= d)
                return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 15);
        Ctx.Clock().Sleep(15);
    }
    return true;
}

void TLoginFacet::StartupLogin()
{
    TIniFile ini(Ctx.FIniPath);
    // The broker's open API logs in with an app key and secret, kept where
    // the id and password are kept.
    const bool api = UsesAppKey(ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("HOST"), QString()));
    const QString id =
        ini.ReadString(QStringLiteral("LOGIN"), api ? QStringLiteral("APPKEY") : QStringLiteral("ID"), QString()).trimmed();
    const QString pw = api ? ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("APPSECRET"), QString()).trimmed()
                           : ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("PW"), QString());
    const QString cert = ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("CERT"), QString());
    const QString acno = ini.ReadString(QStringLiteral("ACCOUNT"), QStringLiteral("ACNO"), QString()).trimmed();
    const QString acpw = ini.ReadString(QStringLiteral("ACCOUNT"), QStringLiteral("ACPW"), QString());
    QString err;
    if (!id.isEmpty() && !pw.isEmpty() && !acno.isEmpty()) {
        const TLoginResult r = TryLogin(id, pw, cert, acno, acpw, false);
        if (r.Ok)
            return;
        err = QStringLiteral("저장된 정보로 로그인하지 못했습니다 — ") + r.Err;
    } else {
        // Say what is wrong with the file, not only with empty boxes.
        err = LoginIniProblem(Ctx.FIniPath);
    }
    auto tryFn = [this](const QString& i, const QString& p, const QString& c, const QString& a, const QString& ap) {
        return TryLogin(i, p, c, a, ap, true);
    };
    std::unique_ptr<TLoginDlg> dlg(TLoginDlg::CreateDlg(id, pw, cert, acno, acpw, err, tryFn, nullptr, api));
    dlg->AppEnding = [] { return QCoreApplication::closingDown(); };
    FLoginDialog = dlg.get();
    const int rc = dlg->exec();
    FLoginDialog = nullptr;
    if (rc != QDialog::Accepted)
        FLoginAbandoned = true;
}

TLoginResult TLoginFacet::TryLogin(const QString& id, const QString& pw, const QString& cert, const QString& acno,
                                const QString& acpw, bool save)
{
    QString saveErr;
    if (save) {
        TIniFile ini(Ctx.FIniPath);
        if (UsesAppKey(ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("HOST"), QString()))) {
            ini.WriteString(QStringLiteral("LOGIN"), QStringLiteral("APPKEY"), id.trimmed());
            ini.WriteString(QStringLiteral("LOGIN"), QStringLiteral("APPSECRET"), pw.trimmed());
        } else {
            ini.WriteString(QStringLiteral("LOGIN"), QStringLiteral("ID"), id);
            ini.WriteString(QStringLiteral("LOGIN"), QStringLiteral("PW"), pw);
            ini.WriteString(QStringLiteral("LOGIN"), QStringLiteral("CERT"), cert);
            ini.WriteString(QStringLiteral("ACCOUNT"), QStringLiteral("ACPW"), acpw);
        }
        ini.WriteString(QStringLiteral("ACCOUNT"), QStringLiteral("ACNO"), acno);
        if (ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("HOST"), QString()).trimmed().isEmpty())
            ini.WriteString(QStringLiteral("LOGIN"), QStringLiteral("HOST"), kDefaultHost);
        if (ini.ReadInteger(QStringLiteral("LOGIN"), QStringLiteral("PORT"), 0) == 0)
            ini.WriteInteger(QStringLiteral("LOGIN"), QStringLiteral("PORT"), kDefaultPort);
        if (!ini.UpdateFile(&saveErr))
            Log(QStringLiteral("!! hts.ini 저장 실패: ") + saveErr);
    }
    TConfig cfg;
    QString err;
    const bool loaded = LoadConfig(Ctx.FIniPath, cfg, err, Ctx.FExeDir + QStringLiteral("Res/"));
    if (save) {
        // What was typed is this login's, whether or not the file took it:
        // the file's older values would log in to another account.
        if (UsesAppKey(cfg.Host)) {
            cfg.AppKey = id.trimmed();
            cfg.AppSecret = pw.trimmed();
        } else {
            cfg.ID = id.trimmed();
            cfg.PW = pw;
            cfg.CertPW = cert;
            cfg.AcPw = acpw;
        }
        cfg.Acno = acno.trimmed();
    } else if (!loaded) {
        return {false, err};
    }
    Ctx.FCfg = cfg;
    auto result = [&saveErr](bool ok, const QString& e) { return TLoginResult{ok, e, saveErr}; };
    Ctx.FCfgOk = true;
    if (!QFileInfo::exists(Ctx.FCfg.ResPath + QStringLiteral("t1101.res")))
        return result(false, QStringLiteral("xingAPI 가 설치돼 있지 않거나 Res 폴더를 못 찾았습니다 (") + Ctx.FCfg.ResPath +
                           QStringLiteral(")"));
    Ctx.B.FSess->DisconnectServer();
    // A HOST that names nothing, or a server this build cannot talk to yet,
    // is refused as such, before anything goes on the network.
    TBackendHost host = BackendOfHost(Ctx.FCfg.Host);
    if (host.Kind == TBackendKind::Unknown)
        return result(false, QStringLiteral("hts.ini의 HOST=%1 은(는) 접속 대상의 이름이 아닙니다 (%2 중 하나)")
                                 .arg(host.Name.left(40), BackendHostNames()));
    // The backend was chosen at start from the HOST of that moment.
    if (UsesAppKey(host.Name) != Ctx.FBackendApi)
        return result(false, QStringLiteral("hts.ini의 HOST 가 프로그램을 켠 뒤 바뀌었습니다 — 프로그램을 다시 켜 주세요"));
    if (host.Kind == TBackendKind::Local) {
        QString why;
        if (!ReadLocalApi(Ctx.FIniPath, host, nullptr, &why))
            return result(false, why);
    }
    const bool api = host.Kind != TBackendKind::Sim;
    if (!Ctx.B.FSess->ConnectServer(Ctx.FCfg.Host, Ctx.FCfg.Port))
        return result(false, QStringLiteral("LS 서버에 연결하지 못했습니다 (인터넷 · 방화벽 확인)"));
    FLoginDone = false;
    FInTry = true;
    const bool sent = api ? Ctx.B.FSess->Login(Ctx.FCfg.AppKey, Ctx.FCfg.AppSecret, QString(), 0, false)
                          : Ctx.B.FSess->Login(Ctx.FCfg.ID, Ctx.FCfg.PW, Ctx.FCfg.CertPW, Ctx.FCfg.SvrType, false);
    if (!sent) {
        FInTry = false;
        return result(false, api ? QStringLiteral("접근토큰 요청을 보내지 못했습니다 (앱 키 · 시크릿 키 확인)")
                                 : QStringLiteral("로그인 요청을 보내지 못했습니다 (공동인증서 확인)"));
    }
    SetStatus(QStringLiteral("로그인 중..."), kGrey);
    Log(QStringLiteral("로그인 요청..."));
    WaitFor([this] { return FLoginDone; }, 30000);
    FInTry = false;
    if (!FLoginDone) {
        Ctx.B.FSess->DisconnectServer();
        return result(false, QStringLiteral("LS 서버 응답이 없습니다 (30초)"));
    }
    if (FLoginCode != QStringLiteral("0000"))
        return result(false, FLoginMsg.trimmed() + QStringLiteral("  [") + FLoginCode + QStringLiteral("]"));

    // The account must belong to this user.
    QStringList shown;
    bool found = false;
    for (int i = 0; i < Ctx.B.FSess->GetAccountListCount(); ++i) {
        QString digits;
        for (QChar c : Ctx.B.FSess->GetAccountList(i))
            if (c.isDigit())
                digits += c;
        if (digits.isEmpty())
            continue;
        found = found || digits == Ctx.FCfg.Acno;
        shown << (digits.size() == 11 ? digits.left(9) + QLatin1Char('-') + digits.right(2) : digits);
    }
    const QString list = shown.join(QStringLiteral(", "));
    Log(QStringLiteral("계좌 확인: 입력 %1 · 이 아이디 계좌 %2")
            .arg(MaskAcct(Ctx.FCfg.Acno), shown.isEmpty() ? QStringLiteral("(목록 없음)") : list));
    if (!shown.isEmpty() && !found) {
        Ctx.B.FSess->DisconnectServer();
        return result(false, QStringLiteral("계좌번호가 이 아이디의 계좌가 아닙니다. 이 아이디 계좌: ") + list);
    }

    // The account check, sent at once: a wrong account password is caught here.
    FChkDone = false;
    FChkErr.clear();
    FChkMsgAt = 0;
    if (!Ctx.SetQueryRes(Ctx.B.qChk, QStringLiteral("CSPAQ12300"))) {
        Ctx.B.FSess->DisconnectServer();
        return result(false, QStringLiteral("계좌 확인용 Res 파일(CSPAQ12300.res)이 없습니다 — xingAPI 설치 확인"));
    }
    TAccountFacet::FillBalanceInput(Ctx.B.qChk, Ctx.FCfg);
    if (Ctx.Send(Ctx.B.qChk, false, {QString(), 0, ++FChkSeq}) < 0) {
        Ctx.B.FSess->DisconnectServer();
        return result(false, QStringLiteral("계좌 확인 조회를 보내지 못했습니다"));
    }
    if (Ctx.FQ) Ctx.FQ->NoteSent(QStringLiteral("CSPAQ12300"));  // the balance queued next keeps the TR's second
    WaitFor([this] { return FChkDone; }, 10000, [this] { return FChkMsgAt > 0 ? FChkMsgAt + 1500 : 0; });
    if (!FChkDone) {
        Ctx.B.FSess->DisconnectServer();
        if (FChkMsgAt > 0)
            return result(false, QStringLiteral("계좌번호 · 계좌 비밀번호를 확인하세요 — ") + FChkErr);
        return result(false, QStringLiteral("계좌 확인 응답이 없습니다 (10초) — 계좌번호 · 계좌 비밀번호를 확인하세요"));
    }
    Log(QStringLiteral("계좌 확인 OK: ") + MaskAcct(Ctx.FCfg.Acno));
    if (OnLoggedIn)
        OnLoggedIn(FLoginMsg);
    return result(true, QString());
}

void TLoginFacet::OnSessLogin(const QString& code, const QString& msg)
{
    FLoginCode = code;
    FLoginMsg = msg;
    FLoginDone = true;
    if (code != QStringLiteral("0000")) {
        Log(QStringLiteral("!! 로그인 실패 [") + code + QStringLiteral("] ") + msg);
        SetStatus(QStringLiteral("로그인 실패"), kGrey);
    }
}

