// KestrelHTS — a trading monitor for KOSPI/KOSDAQ.
#include "app/MainWindow.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char** argv)
{
    // The news pane is an embedded browser; we run as an ordinary desktop
    // program, also as root and without a GPU.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("케스트렐 HTS - LS api"));
    QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));

    TfrmMain w;
    if (w.LoginAbandoned())
        return 0;
    w.show();
    return app.exec();
}
