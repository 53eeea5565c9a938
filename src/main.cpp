// KestrelHTS — a trading monitor for KOSPI/KOSDAQ.
#include "app/MainWindow.h"
#include "update/InstanceLink.h"
#include "update/InstanceLock.h"
#include "update/Install.h"

#include <QApplication>
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
    TInstanceLock lock(QApplication::applicationFilePath());
    const TInstanceLock::TState held = lock.Acquire(HasSwitch(args, QStringLiteral("/updated")) ? 15000 : 0);
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
    WriteDefaultConfig(install.FilesDir, install.ExeDir + QStringLiteral("Res"));
    TStartOptions opt;
    opt.ExeDir = install.FilesDir;

    TfrmMain w(opt);
    mainWindow = &w;
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
