// The article view loads our own page and the images it names, runs no
// script, and sends a clicked web link to the user's browser.
#include "app/news/NewsWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

TEST(NewsWindow, NavigationAndResourcesAreOursOrRefused)
{
    const QString dir = "/tmp/kest-pages";
    const struct {
        const char* url;
        TNewsNav nav;
        bool image, resource;   // as an image resource / as any other resource
    } cases[] = {
        {"file:///tmp/kest-pages/kest_news_3.html", TNewsNav::Load, true, true},
        {"file:///tmp/kest-pages/../etc/passwd.html", TNewsNav::Refuse, false, false},
        {"file:///tmp/kest-pages-other/x.html", TNewsNav::Refuse, false, false},
        {"file:///etc/passwd", TNewsNav::Refuse, false, false},
        {"https://news.example.kr/a/1", TNewsNav::OpenOutside, true, false},
        {"HTTP://news.example.kr/a.jpg", TNewsNav::OpenOutside, true, false},
        {"javascript:alert(1)", TNewsNav::Refuse, false, false},
        {"data:text/html,<script>x</script>", TNewsNav::Refuse, false, false},
        {"ftp://example.kr/x", TNewsNav::Refuse, false, false},
        {"https:///nohost", TNewsNav::Refuse, false, false},
    };
    for (const auto& c : cases) {
        const QUrl u(QString::fromUtf8(c.url));
        EXPECT_EQ(NewsNavigation(u, dir), c.nav) << c.url;
        EXPECT_EQ(NewsResourceAllowed(u, true, dir), c.image) << c.url;
        EXPECT_EQ(NewsResourceAllowed(u, false, dir), c.resource) << c.url;
    }
}

TEST(NewsWindow, PageShowsWithoutRunningItsScripts)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("kest_news_1.html");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>quiet</title></head>"
            "<body onload=\"document.title='onload'\">본문<script>document.title='ran'</script></body></html>");
    f.close();
    QList<QUrl> outside;
    TNewsWindowInit init;
    init.Caption = "뉴스  09:30:00";
    init.Title = "제목";
    init.PageDir = dir.path();
    init.OpenOutside = [&](const QUrl& u) { outside << u; };
    TNewsWindow w(init, nullptr);
    QSignalSpy loaded(w.View(), &QWebEngineView::loadFinished);
    w.ShowFile(file);
    QElapsedTimer t;
    t.start();
    while (loaded.isEmpty() && t.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_FALSE(loaded.isEmpty()) << "the page never loaded";
    EXPECT_TRUE(loaded[0][0].toBool());
    EXPECT_EQ(w.View()->title(), "quiet");

    // A click on a web link leaves the page where it is and goes outside.
    w.View()->page()->setUrl(QUrl("https://news.example.kr/a/1"));
    t.restart();
    while (outside.isEmpty() && t.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(outside.size(), 1);
    EXPECT_EQ(outside[0].host(), "news.example.kr");
}
