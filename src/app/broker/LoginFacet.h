#pragma once
// Login: the saved login first, the login dialog when it fails or is missing,
// the check that the account belongs to the user and that its password is
// right (CSPAQ12300 sent at once), and the connection status in the top strip.
#include "app/Facet.h"

#include <functional>

class QLabel;
class QWidget;
class TLoginDlg;
struct TLoginResult;

class TLoginFacet : public TFacet {
public:
    explicit TLoginFacet(TAppContext& ctx, QObject* parent = nullptr);

    // The status label in the top strip.
    void BuildStatus(QWidget* top);

    // Logs in with the saved data, or asks for it in the dialog.
    void StartupLogin();
    TLoginResult TryLogin(const QString& id, const QString& pw, const QString& cert, const QString& acno,
                          const QString& acpw, bool save);
    void OnSessLogin(const QString& code, const QString& msg);
    // The account check's answer and messages.
    void OnChkData();
    void OnChkMsg(const QString& code, const QString& msg);
    void SetStatus(const QString& text, const QColor& color);
    void ShowConnected();
    // The real-time connection went down / came back (`again` after a drop).
    void OnFeedDown(const QString& why);
    void OnFeedUp(bool again);

    // Login has completed (the broker's message): the window takes it from here.
    std::function<void(const QString& msg)> OnLoggedIn;

    bool FLoginDone = false;
    QString FLoginCode, FLoginMsg;
    bool FInTry = false;
    bool FChkDone = false;
    QString FChkErr;
    qint64 FChkMsgAt = 0;
    quint64 FChkSeq = 0;  // account checks sent
    bool FLoginAbandoned = false;  // the user quit the dialog
    TLoginDlg* FLoginDialog = nullptr;
    QLabel* lbStatus = nullptr;

private:
    bool IsCurrentChk() const;
    bool WaitFor(const std::function<bool()>& done, qint64 maxMs, const std::function<qint64()>& deadline = {});
};
