#pragma once
// "Come to the front": the running copy listens on a local socket beside
// its lock; a second start asks it over that socket and exits. The window
// system may still refuse to raise a window (X11 focus stealing rules,
// Wayland); then the second copy shows its message instead.
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

class TInstanceLink : public QObject {
public:
    explicit TInstanceLink(QObject* parent = nullptr);
    ~TInstanceLink() override;

    // Listens at `socketPath` (only the lock's owner calls this: an old
    // socket file left by a killed copy is removed first). `raise` runs on
    // the event loop for every request and says whether a window came up.
    bool Listen(const QString& socketPath, std::function<bool()> raise);

    // Asks the copy listening at `socketPath` to come to the front; true
    // when it answered that a window did.
    static bool AskToRaise(const QString& socketPath, int timeoutMs = 2000);

private:
    QLocalServer* FServer = nullptr;
    std::function<bool()> FRaise;
};
