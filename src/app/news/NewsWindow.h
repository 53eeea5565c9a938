#pragma once
// The article window: the headline in a header band with the advertisement
// block on the right, the body in an embedded browser, a footer with the
// close button. The browser runs no JavaScript and loads only our own page
// files and the images they name; a clicked http/https link opens in the
// user's default browser, every other link is refused.
#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;
class QWebEngineView;

// What the article view does with a navigation or a resource request.
enum class TNewsNav {
    Load,          // our own page file
    OpenOutside,   // an http/https link the user clicked: the default browser
    Refuse,        // anything else (javascript:, data:, other files, …)
};

// A navigation to `url` (the main frame); `pageDir` is the folder of our
// page files (absolute, no trailing slash).
TNewsNav NewsNavigation(const QUrl& url, const QString& pageDir);
// A resource the page asks for: our page files, and images over http(s)
// or beside our pages. Scripts, frames, styles from elsewhere and the rest
// are refused.
bool NewsResourceAllowed(const QUrl& url, bool image, const QString& pageDir);

struct TNewsWindowInit {
    QString Caption;     // window title
    QString TimeLine;    // the grey line over the headline
    QString Title;       // the headline
    QString Ad1, Ad2;    // the advertisement block's two lines
    QString PageDir;     // folder of the page files
    std::function<void()> OnAdClick;
    std::function<void(const QUrl&)> OpenOutside;   // default: QDesktopServices
};

class TNewsWindow : public QDialog {
public:
    TNewsWindow(const TNewsWindowInit& init, QWidget* parent);
    ~TNewsWindow() override;

    // Shows the page file `file` (inside the page folder).
    void ShowFile(const QString& file);
    QWebEngineView* View() const { return FView; }
    QPushButton* CloseButton() const { return FClose; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void LayOut();
    TNewsWindowInit FInit;
    QWidget* FHead = nullptr;
    QWidget* FAd = nullptr;
    QLabel* FTime = nullptr;
    QLabel* FTitle = nullptr;
    QWidget* FFoot = nullptr;
    QPushButton* FClose = nullptr;
    QWebEngineView* FView = nullptr;
};
