// Time from process start to the first paint of the logged-in main window, on
// the user's everyday path: hts.ini holds the login, start-up logs in by
// itself (the simulated exchange) and the window appears. Run it on X (for
// example under xvfb-run) for the figure a user meets; without a display it
// falls back to the offscreen platform. Process age from /proc (10 ms clock
// ticks), best and median of several runs (-n N, each a fresh process).
#include "app/MainWindow.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
double ProcessAgeMs()
{
    // Field 22 of /proc/self/stat: start time in clock ticks since boot.
    QFile f(QStringLiteral("/proc/self/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> parts = s.mid(s.lastIndexOf(')') + 2).split(' ');
    const double startTicks = parts.value(19).toDouble();
    QFile up(QStringLiteral("/proc/uptime"));
    if (!up.open(QIODevice::ReadOnly))
        return -1;
    const double uptime = up.readAll().split(' ').value(0).toDouble();
    return (uptime - startTicks / double(sysconf(_SC_CLK_TCK))) * 1000.0;
}

class TPaintWatch : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !Done)
            if (auto* w = qobject_cast<QWidget*>(o); w && dynamic_cast<TfrmMain*>(w->window())) {
                Done = true;
                AgeMs = ProcessAgeMs();
                QTimer::singleShot(0, w->window(), [win = w->window()] { win->close(); });
            }
        return false;
    }
    bool Done = false;
    double AgeMs = 0;
};

// One start in this process: prints the age at the first paint.
int RunOnce(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QFile ini(dir.path() + QStringLiteral("/hts.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        return 2;
    ini.write(("\xef\xbb\xbf[LOGIN]\nID=demo\nPW=demo1234\nHOST=sim\n[ACCOUNT]\nACNO=55501234501\nACPW=0000\n"
               "[LAYOUT]\nX=0\nY=0\nW=1600\nH=950\n[SIM]\nALWAYSOPEN=1\nSTATE=\n[XING]\nRES=" +
               QString(KESTREL_RES_DIR) + "\n")
                  .toUtf8());
    ini.close();
    TPaintWatch watch;
    app.installEventFilter(&watch);
    TStartOptions o;
    o.ExeDir = dir.path();
    TfrmMain w(o);
    if (w.LoginAbandoned())
        return 3;
    w.show();
    app.exec();
    std::printf("%.1f\n", watch.AgeMs);
    return watch.Done ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--once") == 0)
        return RunOnce(argc, argv);
    int runs = 5;
    if (argc > 2 && std::strcmp(argv[1], "-n") == 0)
        runs = std::max(1, std::atoi(argv[2]));
    std::vector<double> ages;
    for (int i = 0; i < runs; ++i) {
        const std::string cmd = std::string("\"") + argv[0] + "\" --once";
        FILE* p = ::popen(cmd.c_str(), "r");
        if (!p)
            return 2;
        char buf[64] = {};
        const bool got = std::fgets(buf, sizeof buf, p) != nullptr;
        if (::pclose(p) != 0 || !got) {
            std::fprintf(stderr, "start-up run %d failed\n", i + 1);
            return 1;
        }
        ages.push_back(std::atof(buf));
    }
    std::sort(ages.begin(), ages.end());
    std::printf("start-up to the first paint of the logged-in main window (%s, %d runs): best %.0f ms, median %.0f ms\n",
                qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "X", runs, ages.front(), ages[ages.size() / 2]);
    return 0;
}
