#pragma once
// The file side of an update: receiving a file so that nothing half-written
// or unverified ever takes a real name, and swapping the executable so that
// a crash between two steps never leaves no program to start.
#include <QCryptographicHash>
#include <QString>

// A file being received as `path` + ".dl": created exclusively without
// following a link (an old ".dl" is removed first, never followed), hashed
// while written, refused past the declared size; on Commit checked for its
// size and hash, synced to disk and renamed over `path`. Discarded (the
// ".dl" removed) unless committed.
class TDownloadFile {
public:
    // `size` 0: any size; `sha` empty: any content (side files without a
    // hash are not installed by the updater; this class only checks).
    TDownloadFile(const QString& path, qint64 size, const QString& sha);
    ~TDownloadFile();
    TDownloadFile(const TDownloadFile&) = delete;
    TDownloadFile& operator=(const TDownloadFile&) = delete;

    bool Open(QString* err = nullptr);
    // False past the declared size or when the disk refuses; the download
    // stops there.
    bool Write(const char* data, qint64 n);
    // `mode` the permission bits the file gets before its rename (-1: 0644).
    bool Commit(QString* err = nullptr, int mode = -1);
    void Discard();

    QString TempPath() const { return FTemp; }
    qint64 Received() const { return FGot; }

private:
    QString FPath, FTemp, FSha;
    qint64 FSize = 0, FGot = 0;
    int FFd = -1;
    bool FOver = false;
    QCryptographicHash FHash{QCryptographicHash::Sha256};
};

// Lower-case hex SHA-256 of a file; empty when it cannot be read.
QString FileSha256(const QString& path);

// Puts the verified `newFile` in the place of `exe`: the old executable is
// kept as exe + ".old" (a hard link, else a copy), the new file gets the old
// one's permission bits, then one rename puts it in place. At every moment
// `exe` names a whole program. False with the Korean message to show.
bool ReplaceExecutable(const QString& exe, const QString& newFile, QString* err = nullptr);
// Puts exe + ".old" back in the place of `exe` (a new build that died at
// start-up).
bool RollBackExecutable(const QString& exe, QString* err = nullptr);
