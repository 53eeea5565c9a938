#include "app/news/NewsWindow.h"

#include "app/UiKit.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

namespace {

bool InDir(const QUrl& url, const QString& dir)
{
    if (!url.isLocalFile() || dir.isEmpty())
        return false;
    const QString path = QDir::cleanPath(url.toLocalFile());
    return path.startsWith(QDir::cleanPath(dir) + QLatin1Char('/'));
}

bool IsWeb(const QUrl& url)
{
    const QString s = url.scheme().toLower();
    return s == QLatin1String("http") || s == QLatin1String("https");
}

class TNewsPage : public QWebEnginePage {
public:
    TNewsPage(QWebEngineProfile* profile, QString dir, std::function<void(const QUrl&)> outside, QObject* parent)
        : QWebEnginePage(profile, parent), FDir(std::move(dir)), FOutside(std::move(outside))
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        if (!isMainFrame)
            return false;
        switch (NewsNavigation(url, FDir)) {
        case TNewsNav::Load:
            return true;
        case TNewsNav::OpenOutside:
            if (FOutside)
                FOutside(url);
            return false;
        case TNewsNav::Refuse:
            return false;
        }
        return false;
    }
    // New windows (target="_blank") go the way of a click.
    QWebEnginePage* createWindow(WebWindowType) override
    {
        auto* p = new QWebEnginePage(profile(), this);
        connect(p, &QWebEnginePage::urlChanged, this, [this, p](const QUrl& u) {
            if (NewsNavigation(u, FDir) == TNewsNav::OpenOutside && FOutside)
                FOutside(u);
            p->deleteLater();
        });
        return p;
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}

private:
    QString FDir;
    std::function<void(const QUrl&)> FOutside;
};

class TNewsGuard : public QWebEngineUrlRequestInterceptor {
public:
    TNewsGuard(QString dir, QObject* parent) : QWebEngineUrlRequestInterceptor(parent), FDir(std::move(dir)) {}
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const bool image = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeImage ||
                           info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeFavicon;
        if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame)
            info.block(NewsNavigation(info.requestUrl(), FDir) != TNewsNav::Load);
        else
            info.block(!NewsResourceAllowed(info.requestUrl(), image, FDir));
    }

private:
    QString FDir;
};

// A label that runs `click` when pressed (the advertisement block).
class TClickLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> Click;

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && Click)
            Click();
    }
};

}  // namespace

TNewsNav NewsNavigation(const QUrl& url, const QString& pageDir)
{
    if (InDir(url, pageDir) && url.fileName().endsWith(QLatin1String(".html")))
        return TNewsNav::Load;
    if (IsWeb(url) && !url.host().isEmpty())
        return TNewsNav::OpenOutside;
    return TNewsNav::Refuse;
}

bool NewsResourceAllowed(const QUrl& url, bool image, const QString& pageDir)
{
    if (InDir(url, pageDir))
        return true;
    return image && IsWeb(url) && !url.host().isEmpty();
}

TNewsWindow::TNewsWindow(const TNewsWindowInit& init, QWidget* parent) : QDialog(parent), FInit(init)
{
    setWindowTitle(init.Caption);
    setFont(AppFont(10));
    setAttribute(Qt::WA_DeleteOnClose, false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    const QColor band(0xf7, 0xf7, 0xf7);
    auto makeBand = [&](QWidget* w) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, band);
        w->setPalette(p);
        w->setAutoFillBackground(true);
    };
    FHead = new QWidget(this);
    makeBand(FHead);
    FTime = new QLabel(init.TimeLine, FHead);
    FTime->setFont(AppFont(10));
    FTime->setStyleSheet(QStringLiteral("color:#808080;"));
    FTime->setTextFormat(Qt::PlainText);
    FTitle = new QLabel(init.Title, FHead);
    FTitle->setFont(AppFont(16, true));
    FTitle->setStyleSheet(QStringLiteral("color:#202020;"));
    FTitle->setTextFormat(Qt::PlainText);
    FTitle->setWordWrap(true);

    FAd = new QWidget(FHead);
    makeBand(FAd);
    FAd->setCursor(Qt::PointingHandCursor);
    auto* icon = new TClickLabel(FAd);
    icon->setPixmap(QApplication::windowIcon().pixmap(Scaled(40), Scaled(40)));
    icon->setAlignment(Qt::AlignCenter);
    icon->setGeometry(Scaled(8), Scaled(14), Scaled(40), Scaled(40));
    auto* ad1 = new TClickLabel(init.Ad1, FAd);
    ad1->setTextFormat(Qt::PlainText);
    ad1->setFont(AppFont(10));
    ad1->setStyleSheet(QStringLiteral("color:#606060;"));
    ad1->move(Scaled(56), Scaled(14));
    auto* ad2 = new TClickLabel(init.Ad2, FAd);
    ad2->setTextFormat(Qt::PlainText);
    ad2->setFont(AppFont(13, true));
    ad2->setStyleSheet(QStringLiteral("color:#6e1480;"));
    ad2->move(Scaled(56), Scaled(34));
    for (TClickLabel* l : {icon, ad1, ad2}) {
        l->setCursor(Qt::PointingHandCursor);
        l->Click = init.OnAdClick;
    }

    FFoot = new QWidget(this);
    makeBand(FFoot);
    FClose = new QPushButton(QStringLiteral("닫기 (Esc)"), FFoot);
    FClose->setFixedSize(Scaled(130), Scaled(32));
    connect(FClose, &QPushButton::clicked, this, &QDialog::accept);

    // A profile of its own, in memory: nothing the page does is kept.
    auto* profile = new QWebEngineProfile(this);
    profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile->setUrlRequestInterceptor(new TNewsGuard(init.PageDir, profile));
    auto outside = init.OpenOutside ? init.OpenOutside : [](const QUrl& u) { QDesktopServices::openUrl(u); };
    FView = new QWebEngineView(this);
    auto* page = new TNewsPage(profile, init.PageDir, outside, FView);
    QWebEngineSettings* s = page->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);   // images; the guard decides
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadImages, true);
    FView->setPage(page);
    FView->setContextMenuPolicy(Qt::NoContextMenu);

    // Width: half the main window's, at least 600 units; height: half the
    // screen's work area.
    const int w = std::max(Scaled(600), parent ? parent->width() / 2 : Scaled(600));
    const QScreen* scr = parent && parent->screen() ? parent->screen() : QApplication::primaryScreen();
    const int h = scr ? scr->availableGeometry().height() / 2 : Scaled(500);
    resize(w, std::max(h, Scaled(300)));
    if (parent)
        move(parent->geometry().center() - rect().center());
    FClose->setFocus();
    LayOut();
}

TNewsWindow::~TNewsWindow()
{
    // The page goes before its profile.
    if (FView) {
        QWebEnginePage* page = FView->page();
        FView->setPage(nullptr);
        delete page;
    }
}

void TNewsWindow::ShowFile(const QString& file)
{
    FView->setUrl(QUrl::fromLocalFile(file));
}

void TNewsWindow::LayOut()
{
    const int W = width();
    const int adW = Scaled(300);
    FTime->move(Scaled(20), Scaled(12));
    FTime->adjustSize();
    const int titleW = std::max(Scaled(100), W - Scaled(40) - adW);
    FTitle->setFixedWidth(titleW);
    FTitle->move(Scaled(20), Scaled(36));
    FTitle->adjustSize();
    FTitle->setFixedWidth(titleW);
    const int headH = std::max(Scaled(70), FTitle->y() + FTitle->height() + Scaled(16));
    FHead->setGeometry(0, 0, W, headH);
    FAd->setGeometry(W - adW, 0, adW, headH);
    const int footH = Scaled(52);
    FFoot->setGeometry(0, height() - footH, W, footH);
    FClose->move(W - Scaled(20) - FClose->width(), Scaled(10));
    FView->setGeometry(0, headH, W, height() - headH - footH);
}

void TNewsWindow::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    LayOut();
}
