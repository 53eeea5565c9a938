// KestrelHTS — a trading monitor for KOSPI/KOSDAQ.
#include "app/MainWindow.h"
#include "update/InstanceLink.h"
#include "update/InstanceLock.h"
#include "update/Install.h"
#include "update/BuildInfo.h"
#include "update/StartupUpdate.h"
#include "core/IniFile.h"
#include "core/ServiceHost.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>
#include <QTranslator>

#ifdef KESTREL_STALL_WATCH
#include <QElapsedTimer>
#include <algorithm>
#include <QTimer>
#include <cstdio>
#endif

#include <csignal>
#include <signal.h>
#include <memory>
#include <unistd.h>

namespace {

// SIGTERM / SIGINT / SIGHUP close the window as the user would, so the
// layout and the drawings are saved: the handler only writes one byte to a
// pipe the event loop watches.
int gSigPipe[2] = {-1, -1};

void OnQuitSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSigPipe[1], &c, 1);
}

bool HasSwitch(const QStringList& args, const QString& name)
{
    for (qsizetype i = 1; i < args.size(); ++i)
        if (args[i].compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Brings this copy's window to the front for a second start: the login
// dialog while it is open, else the main window (restored when minimised).
// False when there is no window yet or the window system decides focus
// itself (Wayland): the second copy then says that we are running.
bool RaiseOurWindow(QWidget* main)
{
    QWidget* w = QApplication::activeModalWidget();
    if (!w)
        w = main;
    if (!w || !w->isVisible())
        return false;
    if (w->isMinimized())
        w->showNormal();
    w->raise();
    w->activateWindow();
    return QGuiApplication::platformName() != QLatin1String("wayland");
}

// The download window: borderless, on top, centred, purple.
QWidget* ProgressWindow(const QString& text)
{
    auto* w = new QLabel(text);
    w->setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    w->setAlignment(Qt::AlignCenter);
    QFont f(QStringLiteral("맑은 고딕"));
    f.setPointSize(12);
    w->setFont(f);
    w->setStyleSheet(QStringLiteral("background:#6E1480;color:white;"));
    const qreal dpi = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->logicalDotsPerInch() / 96.0 : 1.0;
    w->resize(int(420 * dpi), int(70 * dpi));
    if (QScreen* s = QGuiApplication::primaryScreen())
        w->move(s->geometry().center() - w->rect().center());
    w->show();
    QApplication::processEvents();
    return w;
}

void UpdateWarning(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, UpdateText::Caption, text);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

// Refreshes the side files and replaces the program with a newer signed
// build of the service host; true when the new build runs now.
bool UpdateAtStart(const QStringList& args, const TInstallInfo& install, TInstanceLock& lock, QStringList* log)
{
    const TIniFile ini(install.FilesDir + QStringLiteral("hts.ini"));
    const QString base = ini.ReadString(QStringLiteral("SERVICE"), QStringLiteral("BASE"), QString()).trimmed();
    const QString caFile = ini.ReadString(QStringLiteral("SERVICE"), QStringLiteral("CACERT"), QString()).trimmed();
    TServiceHost svc;
    svc.SetBase(base);

    TUpdateSetup setup;
    setup.Exe = QApplication::applicationFilePath();
    setup.Managed = install.Managed;
    setup.NoUpdate = HasSwitch(args, QStringLiteral("/noupdate")) || base.isEmpty();
    setup.PublicKey = UpdatePublicKey();
    setup.Build = RunningBuild();
    setup.Stamp = QDateTime::currentMSecsSinceEpoch();
    if (!setup.Managed && !setup.NoUpdate && setup.PublicKey.isEmpty()) {
        log->append(QStringLiteral("업데이트: 이 빌드에는 서명 확인 키가 없어 새 버전을 받지 않습니다"));
        setup.NoUpdate = true;
    }

    QWidget* progress = nullptr;
    TUpdateHooks h;
    h.Get = [&svc, caFile](const QString& path, int timeoutMs, const std::function<bool(const char*, qint64)>& sink) {
        const bool manifest = path.startsWith(QStringLiteral("/hts/hts.json"));
        TFetchOptions opt = ServiceOptions(manifest ? TServiceKind::Manifest : TServiceKind::UpdateFile, kUpdateAccessKey);
        opt.ConnectMs = timeoutMs;
        opt.ResponseMs = 10 * timeoutMs;
        opt.HttpsOnly = true;
        opt.CaFile = caFile;
        opt.MaxBytes = 1LL << 30;
        opt.Sink = sink;
        return svc.GetSync(path, opt).Ok;
    };
    h.Warn = UpdateWarning;
    h.ShowProgress = [&progress](const QString& text) { progress = ProgressWindow(text); };
    h.HideProgress = [&progress] {
        delete progress;
        progress = nullptr;
    };
    h.Start = [](const QString& exe, const QString& dir) {
        qint64 pid = 0;
        return QProcess::startDetached(exe, {QStringLiteral("/updated")}, dir, &pid) ? pid : 0;
    };
    h.ReleaseLock = [&lock] { lock.Release(); };
    h.RetakeLock = [&lock] { lock.Acquire(2000); };
    h.LockHeldElsewhere = [&setup] {
        TInstanceLock probe(setup.Exe);
        return probe.Acquire() == TInstanceLock::TState::Busy;
    };
    h.Alive = [](qint64 pid) { return ::kill(pid_t(pid), 0) == 0; };
    h.Sleep = [](int ms) { QThread::msleep(ms); };
    return RunStartupUpdate(setup, h, log) == TUpdateOutcome::Restarted;
}

} // namespace

int main(int argc, char** argv)
{
    // The news pane is an embedded browser; we run as an ordinary desktop
    // program, also as root and without a GPU. No shared OpenGL contexts are
    // asked for at start: on a machine without a GPU they load a software
    // renderer (about 50 MB) for a pane that software-composites anyway.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("케스트렐 HTS - LS api"));
    QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));
    // Qt's own texts (standard buttons, edit menus) in Korean when installed.
    QTranslator qtKo;
    if (qtKo.load(QLocale(QLocale::Korean), QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtKo);

    // One copy per executable file. A copy started by an update waits for the
    // old one to let go; a second start asks the running copy to come to the
    // front and ends. Without a folder for the lock the program runs anyway.
    const QStringList args = QApplication::arguments();
    const bool updated = HasSwitch(args, QStringLiteral("/updated"));
    TInstanceLock lock(QApplication::applicationFilePath());
    const TInstanceLock::TState held = lock.Acquire(updated ? 15000 : 0);
    if (held == TInstanceLock::TState::Busy) {
        if (!TInstanceLink::AskToRaise(lock.SocketPath())) {
            QMessageBox box(QMessageBox::Information, QStringLiteral("케스트렐 HTS"),
                            QStringLiteral("HTS 가 이미 실행 중입니다. 작업 표시줄을 확인해 주세요."));
            box.setWindowFlag(Qt::WindowStaysOnTopHint);
            box.exec();
        }
        return 0;
    }
    QPointer<QWidget> mainWindow;
    TInstanceLink link;
    if (held == TInstanceLock::TState::Owned)
        link.Listen(lock.SocketPath(), [&mainWindow] { return RaiseOurWindow(mainWindow); });

    // The trader's files beside the program, or in the user's data folder for
    // a program installed by the package manager; a first start gets a
    // configuration that points at our result layouts.
    const TInstallInfo install = InstallInfoFor(QApplication::applicationDirPath());
    const QString oldExe = QApplication::applicationFilePath() + QStringLiteral(".old");
    if (!updated)
        QFile::remove(oldExe);   // left by an update that has run since
    WriteDefaultConfig(install.FilesDir, install.ExeDir + QStringLiteral("Res"));
    QStringList updateLog;
    if (UpdateAtStart(args, install, lock, &updateLog))
        return 0;   // the new build runs now
    TStartOptions opt;
    opt.ExeDir = install.FilesDir;

    TfrmMain w(opt);
    mainWindow = &w;
    for (const QString& line : updateLog)
        w.Log(line);
    // The old build goes only once this one has come up properly.
    if (updated)
        QTimer::singleShot(10000, &w, [oldExe] { QFile::remove(oldExe); });
    if (w.LoginAbandoned())
        return 0;
    std::unique_ptr<QSocketNotifier> quitNote;
    if (::pipe(gSigPipe) == 0) {
        quitNote = std::make_unique<QSocketNotifier>(gSigPipe[0], QSocketNotifier::Read);
        QObject::connect(quitNote.get(), &QSocketNotifier::activated, &w, [&w] {
            char c;
            [[maybe_unused]] const ssize_t n = ::read(gSigPipe[0], &c, 1);
            w.close();
        });
        struct sigaction sa = {};
        sa.sa_handler = OnQuitSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            sigaction(sig, &sa, nullptr);
    }
    w.show();
#ifdef KESTREL_STALL_WATCH
    // A measuring build: a 10 ms timer reports every time the event loop
    // came back to it more than 50 ms late, and the worst at the end.
    QElapsedTimer beat;
    qint64 worst = 0;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const qint64 late = beat.restart() - 10;
        worst = std::max(worst, late);
        if (late > 50)
            std::fprintf(stderr, "stall %lld ms\n", static_cast<long long>(late));
    });
    beat.start();
    watch.start(10);
    const int rc = app.exec();
    std::fprintf(stderr, "worst lateness %lld ms\n", static_cast<long long>(worst));
    return rc;
#else
    return app.exec();
#endif
}
