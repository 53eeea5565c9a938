#pragma once
// One running copy per executable.
//
// The lock is an advisory lock (flock) on a file named after the
// executable's real path (symlinks resolved, letter case kept): two copies
// of the program in different folders run side by side, two starts of the
// same file do not. The kernel drops the lock when its process ends however
// it ends, so a crash or a kill never leaves a stale lock behind; the file
// is opened close-on-exec, so a process we start (the restart after an
// update) does not inherit it.
//
// The lock files live in the user's runtime folder ($XDG_RUNTIME_DIR, else
// a private folder under the temporary folder), readable by the user only.
// When the file cannot be made the program starts anyway (Unavailable).
#include <QString>

// "KESTREL_pHTS_" + the first 16 hex digits of the SHA-256 of the UTF-8
// bytes of the executable's real path.
QString InstanceName(const QString& exePath);
// The folder of the lock files and the raise sockets (made when missing,
// mode 0700); empty when there is none to be had.
QString InstanceDir();

class TInstanceLock {
public:
    enum class TState { Owned, Busy, Unavailable };

    // `dir` empty: InstanceDir().
    explicit TInstanceLock(const QString& exePath, const QString& dir = QString());
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // Takes the lock, waiting up to `waitMs` for another copy to let it go
    // (the old copy exiting after an update).
    TState Acquire(int waitMs = 0);
    // Lets the lock go (the file stays: deleting it could split a waiting
    // copy and a new one onto two files).
    void Release();
    bool Owned() const { return FFd >= 0; }

    QString Name() const { return FName; }
    QString LockPath() const { return FPath; }
    // Where the owner listens for "come to the front" (InstanceLink.h).
    QString SocketPath() const;

private:
    QString FName, FDir, FPath;
    int FFd = -1;
};
