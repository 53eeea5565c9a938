// Login and the account check against the simulated exchange, on a test
// clock: the waits move the clock instead of sleeping.
#include "app/MainWindow.h"
#include "app/LoginDlg.h"
#include "app/broker/LoginFacet.h"
#include "app/chart/ChartFacet.h"
#include "app/core/LogFacet.h"
#include "app/market/DailyFacet.h"
#include "app/market/ProgFacet.h"
#include "app/market/QuoteFacet.h"
#include "app/market/TickFacet.h"
#include "broker/ReqQueue.h"
#include "chart/CandleChart.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "sim/SimBackend.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <functional>
#include <QDir>

namespace {

const QString kSimKeys = QStringLiteral("[SIM]\nDELAY=0\nPUMP=0\nALWAYSOPEN=1\nSTATE=\n[XING]\nRES=") +
                         QStringLiteral(KESTREL_RES_DIR) + QStringLiteral("\n");

struct LoginFixture {
    QTemporaryDir dir;
    TTestClock clock{QDateTime(QDate(2026, 12, 10), QTime(10, 0, 0))};
    std::unique_ptr<TfrmMain> w;

    void WriteIni(const QString& login)
    {
        QFile f(dir.path() + "/hts.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write((login + kSimKeys).toUtf8());
    }
    TfrmMain& Open(bool login)
    {
        TStartOptions o;
        o.ExeDir = dir.path();
        o.Clock = &clock;
        o.Login = login;
        // A dialog nobody expected must not hang the test.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "unexpected dialog: " << d->findChild<QLabel*>()->text().toStdString();
                d->reject();
            }
        });
        guard.start(5000);
        w = std::make_unique<TfrmMain>(o);
        if (auto* sim = dynamic_cast<TSimBackend*>(w->Ctx().FBackend.get()))
            sim->Exchange().SetPastInBackground(false);   // every answer at its due time
        return *w;
    }
    TSimExchange& Exchange() { return dynamic_cast<TSimBackend&>(*w->Ctx().FBackend).Exchange(); }
    QString LogText() const { return w->LogClock->Memo->toPlainText(); }
    // Lets the request queue send what it holds, on the test clock.
    void RunQueue(int ticks)
    {
        for (int i = 0; i < ticks; ++i) {
            clock.Advance(50);
            w->Ctx().FQ->Tick();
            QApplication::processEvents();
            QApplication::processEvents();
        }
    }
};

// Runs `fn` once the login dialog is up (the automatic attempt may run first).
void WhenDialog(std::function<void(TLoginDlg*)> fn)
{
    auto* t = new QTimer;
    QObject::connect(t, &QTimer::timeout, [t, fn] {
        if (auto* d = dynamic_cast<TLoginDlg*>(QApplication::activeModalWidget())) {
            t->stop();
            t->deleteLater();
            fn(d);
        }
    });
    t->start(5);
}

const QString kGood = "[LOGIN]\nID=demo\nPW=demo1234\nHOST=sim\n[ACCOUNT]\nACNO=55501234501\nACPW=0000\n";

}  // namespace

TEST(Login, SavedDataLogsInWithoutTheDialog)
{
    LoginFixture f;
    f.WriteIni(kGood);
    TfrmMain& w = f.Open(true);
    ASSERT_TRUE(w.Ctx().FLogged);
    EXPECT_FALSE(w.LoginAbandoned());
    EXPECT_EQ(w.Login->lbStatus->text(), QStringLiteral("● 접속 — 계좌 ********501"));
    f.RunQueue(80);
    const QString log = f.LogText();
    EXPECT_TRUE(log.contains("계좌 확인: 입력 ********501 · 이 아이디 계좌 555012345-01, 555012345-99"));
    EXPECT_TRUE(log.contains("계좌 확인 OK: ********501"));
    EXPECT_TRUE(log.contains("로그인 성공: "));
    EXPECT_TRUE(log.contains(QRegularExpression("종목 목록 2[0-9]{3}개")));
    EXPECT_TRUE(log.contains("서버 시각 맞춤: 내 PC가 0.35초 느림")) << log.toStdString();
    // The last stock is current, its quote in.
    EXPECT_EQ(w.Ctx().FCode, "005930");
    EXPECT_EQ(w.Quote->FHoga.Name, QStringLiteral("삼성전자"));
    EXPECT_GT(w.Quote->FHoga.Price, 0);
    EXPECT_GT(w.Quote->FHoga.Ask[0], w.Quote->FHoga.Bid[0]);
    // The ticks and the day bars of the stock came in behind the quote.
    EXPECT_GT(w.Ticks->FTicks.Count(), 0);
    ASSERT_GT(w.Daily->FDaily.Count(), 100);
    EXPECT_EQ(w.Daily->FDaily.Row(0).D, "20261210");  // today's bar is the live day
    EXPECT_GE(int(w.Daily->FDaily.Row(0).C), w.Quote->FDay.Low);
    EXPECT_LE(int(w.Daily->FDaily.Row(0).C), w.Quote->FDay.High);
    EXPECT_GT(w.Charts->chMin->Model().Count(), 100);  // two earlier sessions and today
    EXPECT_FALSE(w.Prog->FProg.Rows().isEmpty()) << f.LogText().toStdString();  // program trading by minute
    EXPECT_FALSE(w.Prog->gProg->item(0, 1)->text().isEmpty());
    EXPECT_TRUE(f.LogText().contains("분봉 SK하이닉스: ") || f.LogText().contains("분봉 삼성전자: "));
    EXPECT_GT(w.Quote->FPrevVol, 0);
    EXPECT_TRUE(w.Daily->lbDailyAvg->text().startsWith("평소 거래량  5일 "));
}

TEST(Login, AttemptFailures)
{
    struct Case {
        const char* name;
        QString id, pw, acno, acpw;
        std::function<void(TSimExchange&)> fault;
        const char* errStart;
        qint64 minMs, maxMs;  // test-clock time the attempt took
    };
    const Case cases[] = {
        {"wrong password", "demo", "nope", "55501234501", "0000", {}, "비밀번호가 틀립니다", 0, 200},
        {"foreign account", "demo", "demo1234", "12345678901", "0000", {},
         "계좌번호가 이 아이디의 계좌가 아닙니다. 이 아이디 계좌: 555012345-01, 555012345-99", 0, 200},
        {"wrong account password", "demo", "demo1234", "55501234501", "9999", {},
         "계좌번호 · 계좌 비밀번호를 확인하세요 — ", 1480, 1560},
        {"no login answer", "demo", "demo1234", "55501234501", "0000",
         [](TSimExchange& e) { e.SetLoginSilent(true); }, "LS 서버 응답이 없습니다 (30초)", 29990, 30100},
        {"no account-check answer", "demo", "demo1234", "55501234501", "0000",
         [](TSimExchange& e) { e.DropNextAnswer("CSPAQ12300"); },
         "계좌 확인 응답이 없습니다 (10초) — 계좌번호 · 계좌 비밀번호를 확인하세요", 9990, 10100},
        {"connect refused", "demo", "demo1234", "55501234501", "0000",
         [](TSimExchange& e) { e.SetConnectFails(true); }, "LS 서버에 연결하지 못했습니다 (인터넷 · 방화벽 확인)", 0, 0},
    };
    for (const Case& c : cases) {
        LoginFixture f;
        f.WriteIni(kGood);
        TfrmMain& w = f.Open(false);
        if (c.fault)
            c.fault(f.Exchange());
        const qint64 t0 = f.clock.TickMs();
        const TLoginResult r = w.Login->TryLogin(c.id, c.pw, "", c.acno, c.acpw, true);
        const qint64 took = f.clock.TickMs() - t0;
        EXPECT_FALSE(r.Ok) << c.name;
        EXPECT_FALSE(w.Ctx().FLogged) << c.name;
        EXPECT_TRUE(r.Err.contains(QString::fromUtf8(c.errStart))) << c.name << ": " << r.Err.toStdString();
        EXPECT_GE(took, c.minMs) << c.name;
        EXPECT_LE(took, c.maxMs) << c.name;
    }
}

TEST(Login, WrongAccountPasswordNamesTheBrokerMessage)
{
    LoginFixture f;
    f.WriteIni(kGood);
    TfrmMain& w = f.Open(false);
    const TLoginResult r = w.Login->TryLogin("demo", "demo1234", "", "55501234501", "1111", true);
    ASSERT_FALSE(r.Ok);
    EXPECT_TRUE(r.Err.contains("계좌 비밀번호"));
    EXPECT_EQ(TLoginDlg::FocusForError(r.Err), TLoginDlg::EAcpw);
    EXPECT_TRUE(f.LogText().contains("계좌 확인 응답 ["));
}

TEST(Login, DialogSavesWhatIsTypedAndLogsIn)
{
    LoginFixture f;
    f.WriteIni("[LOGIN]\nID= demo \nPW=demo1234\n[ACCOUNT]\nACNO=\n");  // no account: no automatic attempt
    QString shownErr = "unset";
    WhenDialog([&](TLoginDlg* d) {
        shownErr = d->ErrLabel()->text();
        EXPECT_EQ(d->Edit(TLoginDlg::EId)->text(), "demo");
        d->Edit(TLoginDlg::EAcno)->setText("5550123450");  // ten digits
        d->Go();
        EXPECT_TRUE(d->ErrLabel()->text().contains("(지금 10자리)"));
        d->Edit(TLoginDlg::EAcno)->setText("55501234501");
        d->Edit(TLoginDlg::EAcpw)->setText("0000");
        d->Go();
    });
    TfrmMain& w = f.Open(true);
    EXPECT_TRUE(shownErr.contains("[ACCOUNT] ACNO")) << shownErr.toStdString();
    EXPECT_TRUE(w.Ctx().FLogged);
    TIniFile ini(f.dir.path() + "/hts.ini");
    EXPECT_EQ(ini.ReadString("ACCOUNT", "ACNO", ""), "55501234501");
    EXPECT_EQ(ini.ReadString("LOGIN", "HOST", ""), "sim");
    EXPECT_EQ(ini.ReadInteger("LOGIN", "PORT", 0), 20001);
    EXPECT_EQ(QFile(f.dir.path() + "/hts.ini").permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
}

TEST(Login, AnUnusableSettingsFileIsNamedInTheDialog)
{
    // What the dialog says for each kind of bad hts.ini; the file stays as it was.
    const struct {
        const char* What;
        std::function<void(const QString&)> Make;
        const char* Says;
    } cases[] = {
        {"empty", [](const QString& p) { QFile f(p); f.open(QIODevice::WriteOnly); }, "비어 있습니다"},
        {"garbage", [](const QString& p) { QFile f(p); f.open(QIODevice::WriteOnly); f.write("\x01\x02 zz\n==\n"); },
         "[LOGIN]"},
        {"truncated", [](const QString& p) { QFile f(p); f.open(QIODevice::WriteOnly); f.write("[LOGIN]\nID=demo\nP"); },
         "[LOGIN] PW, [ACCOUNT] ACNO"},
        {"folder", [](const QString& p) { QDir().mkdir(p); }, "폴더입니다"},
        {"pipe", [](const QString& p) { ::mkfifo(QFile::encodeName(p).constData(), 0600); }, "파이프"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        LoginFixture f;
        const QString path = f.dir.path() + "/hts.ini";
        c.Make(path);
        const QFileInfo before(path);
        ASSERT_TRUE(before.exists());
        QString shownErr;
        WhenDialog([&](TLoginDlg* d) {
            shownErr = d->ErrLabel()->text();
            d->reject();
        });
        TfrmMain& w = f.Open(true);
        EXPECT_TRUE(w.LoginAbandoned());
        EXPECT_TRUE(shownErr.contains(QString::fromUtf8(c.Says))) << shownErr.toStdString();
        f.w.reset();
        const QFileInfo after(path);
        EXPECT_EQ(after.isDir(), before.isDir());
        EXPECT_EQ(after.isFile(), before.isFile());
        EXPECT_EQ(after.size(), before.size());
    }
}

TEST(Login, QuittingTheDialogEndsStartUp)
{
    LoginFixture f;
    f.WriteIni("[LOGIN]\nID=demo\nPW=bad\n[ACCOUNT]\nACNO=55501234501\nACPW=0000\n");
    QString shownErr;
    WhenDialog([&](TLoginDlg* d) {
        shownErr = d->ErrLabel()->text();
        d->reject();
    });
    TfrmMain& w = f.Open(true);
    EXPECT_TRUE(w.LoginAbandoned());
    EXPECT_FALSE(w.Ctx().FLogged);
    EXPECT_TRUE(shownErr.startsWith("저장된 정보로 로그인하지 못했습니다 — ")) << shownErr.toStdString();
}

TEST(Login, DialogPointsAtTheBoxTheErrorNames)
{
    struct Case {
        const char* err;
        int box;
    } cases[] = {
        {"계좌 비밀번호가 틀립니다", TLoginDlg::EAcpw}, {"공동인증서 오류", TLoginDlg::ECert},
        {"CERT expired", TLoginDlg::ECert},          {"계좌번호가 이 아이디의 계좌가 아닙니다", TLoginDlg::EAcno},
        {"등록되지 않은 아이디", TLoginDlg::EId},       {"비밀번호가 틀립니다", TLoginDlg::EPw},
        {"암호 오류", TLoginDlg::EPw},                 {"LS 서버 응답이 없습니다", TLoginDlg::EId},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TLoginDlg::FocusForError(QString::fromUtf8(c.err)), c.box) << c.err;
}

TEST(MinuteBars, MoreHistoryOneDayAtATime)
{
    LoginFixture f;
    f.WriteIni(kGood);
    TfrmMain& w = f.Open(true);
    ASSERT_TRUE(w.Ctx().FLogged);
    f.RunQueue(80);
    ASSERT_EQ(w.Charts->FMinDays, 2);
    const int before = w.Charts->chMin->Model().Count();
    w.Charts->MinMore();
    w.Charts->MinMore();  // in flight: nothing more is sent
    f.RunQueue(40);
    EXPECT_EQ(f.LogText().count("분봉 더보기 응답: "), 1) << f.LogText().toStdString();
    EXPECT_GT(w.Charts->FMinDays, 2);  // every held day is shown now, one more than before
    EXPECT_EQ(w.Charts->FMinMoreCnt, 1);
    EXPECT_GT(w.Charts->chMin->Model().Count(), before);
    EXPECT_EQ(w.Charts->btnMinMore->text(), QStringLiteral("◀ 더보기 (1)"));
}

// hts.ini cannot take what was typed (a file saved as CP949 is never written
// back): the login uses what was typed, not the file's older values, and the
// dialog says the data was not saved.
TEST(Login, TypedDataLogsInWhenItCannotBeSaved)
{
    LoginFixture f;
    {
        QFile ini(f.dir.path() + "/hts.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("; \xb0\xa1\xb3\xaa\n");  // CP949 text: not UTF-8
        ini.write(("[LOGIN]\nID=demo\nPW=old-password\n[ACCOUNT]\nACNO=55501234599\nACPW=0000\n" + kSimKeys).toUtf8());
    }
    QString shown;
    bool okButton = false;
    WhenDialog([&](TLoginDlg* d) {
        d->Edit(TLoginDlg::EPw)->setText("demo1234");
        d->Edit(TLoginDlg::EAcno)->setText("55501234501");
        d->Go();
        shown = d->ErrLabel()->text();
        okButton = d->GoButton()->text() == QStringLiteral("확인");
        d->Go();
    });
    TfrmMain& w = f.Open(true);
    ASSERT_TRUE(w.Ctx().FLogged) << shown.toStdString();
    EXPECT_EQ(w.Ctx().FCfg.Acno, "55501234501");
    EXPECT_EQ(w.Login->lbStatus->text(), QStringLiteral("● 접속 — 계좌 ********501"));
    EXPECT_TRUE(shown.contains(QStringLiteral("저장하지 못했습니다"))) << shown.toStdString();
    EXPECT_TRUE(okButton);
    EXPECT_FALSE(w.LoginAbandoned());
    // The file is as it was.
    TIniFile back(f.dir.path() + "/hts.ini");
    EXPECT_EQ(back.ReadString("ACCOUNT", "ACNO", ""), "55501234599");
}

// HOST names the backend: a name of nothing is refused as such; the
// broker's servers want an app key, and a local server must be on this
// machine; none of these reads as a network fault, and nothing is sent.
TEST(Login, HostNamesTheBackendOrIsRefusedAsNoName)
{
    const struct {
        const char* host;
        const char* extra;     // more of hts.ini
        const char* errPart;   // nullptr: logs in
    } cases[] = {
        {"demo.ls-sec.co.kr", "", "HOST=demo.ls-sec.co.kr 은(는) 접속 대상의 이름이 아닙니다 (sim, ls, ls-paper, local 중 하나)"},
        {"ls", "", "[LOGIN] APPKEY/APPSECRET 가 비어 있습니다"},
        {" LS-Paper ", "APPKEY=k\n", "[LOGIN] APPKEY/APPSECRET 가 비어 있습니다"},
        {"local", "APPKEY=k\nAPPSECRET=s\n[OPENAPI]\nREST=https://openapi.ls-sec.co.kr:8080\nWS=wss://127.0.0.1:9/websocket\n",
         "[OPENAPI] REST 는 이 PC의 https 주소여야"},
        {"local", "APPKEY=k\nAPPSECRET=s\n[OPENAPI]\nREST=http://127.0.0.1:8080\nWS=wss://127.0.0.1:9/websocket\n",
         "[OPENAPI] REST 는 이 PC의 https 주소여야"},
        {"local", "APPKEY=k\nAPPSECRET=s\n[OPENAPI]\nREST=https://127.0.0.1:8080\nWS=ws://127.0.0.1:9/websocket\n",
         "[OPENAPI] WS 는 이 PC의 wss 주소여야"},
        {" SIM ", "", nullptr},
    };
    for (const auto& c : cases) {
        LoginFixture f;
        f.WriteIni(QStringLiteral("[LOGIN]\nID=demo\nPW=demo1234\nHOST=%1\n%2[ACCOUNT]\nACNO=55501234501\nACPW=0000\n")
                       .arg(QString::fromUtf8(c.host), QString::fromUtf8(c.extra)));
        TfrmMain& w = f.Open(false);
        const TLoginResult r = w.Login->TryLogin("demo", "demo1234", "", "55501234501", "0000", false);
        if (!c.errPart) {
            EXPECT_TRUE(r.Ok) << c.host << ": " << r.Err.toStdString();
            continue;
        }
        EXPECT_FALSE(r.Ok) << c.host;
        EXPECT_TRUE(r.Err.contains(QString::fromUtf8(c.errPart))) << c.host << ": " << r.Err.toStdString();
        EXPECT_FALSE(r.Err.contains(QStringLiteral("연결하지 못했습니다"))) << c.host;
    }
}
