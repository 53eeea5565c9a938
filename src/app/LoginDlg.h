#pragma once
// The login dialog: asks for the broker login and the account, saves them
// through the attempt callback and retries until the login succeeds or the
// user quits.
#include <QDialog>
#include <QString>
#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

struct TLoginResult {
    bool Ok = false;
    QString Err;
    QString SaveErr;  // what was typed could not be saved (the login used it all the same)
};
using TLoginTry = std::function<TLoginResult(const QString& id, const QString& pw, const QString& cert,
                                             const QString& acno, const QString& acpw)>;

class TLoginDlg : public QDialog {
public:
    enum { EId, EPw, ECert, EAcno, EAcpw };
    // `appKey`: the broker's open API, where the first two boxes take the
    // app key and secret and the certificate and account password are not
    // asked for (the key decides the account).
    static TLoginDlg* CreateDlg(const QString& id, const QString& pw, const QString& cert,
                                const QString& acno, const QString& acpw, const QString& errMsg,
                                TLoginTry tryFn, QWidget* parent = nullptr, bool appKey = false);
    bool AppKeyMode() const { return FAppKey; }

    QLineEdit* Edit(int i) const { return E[i]; }
    QLabel* ErrLabel() const { return lbErr; }
    QPushButton* GoButton() const { return btnGo; }
    // Set when the application is shutting down: a failed attempt then closes the dialog.
    std::function<bool()> AppEnding;

    // Which box an error text points at.
    static int FocusForError(const QString& err);

    void Go();

    // Esc and the close box are ignored while an attempt is running.
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    TLoginDlg(QWidget* parent, bool appKey);
    void SetBusy(bool busy);
    std::array<QLineEdit*, 5> E{};
    QLabel* lbErr = nullptr;
    QPushButton* btnGo = nullptr;
    QPushButton* btnQuit = nullptr;
    TLoginTry FTry;
    bool FBusy = false;
    bool FDone = false;
    bool FAppKey = false;  // logged in; the dialog stays to say what could not be saved
};
