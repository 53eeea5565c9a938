#pragma once
// Reading a file the user may have replaced with anything: only a regular
// file is read (a pipe would block the program for ever, a device could
// never end), and only up to a size cap.
#include <QByteArray>
#include <QString>

struct TFileRead {
    enum TState { Missing, Read, Refused } State = Missing;
    QByteArray Bytes;   // State == Read
    QString Why;        // State == Refused: what is wrong, in Korean, for the user
    bool NotRegular = false;   // refused as a folder, pipe, device or dangling link
    bool TooBig = false;       // refused as larger than the cap
};

// Reads `path` whole when it is a regular file of at most `cap` bytes
// (links are followed). Missing when nothing has that name.
TFileRead ReadRegularFile(const QString& path, qint64 cap);
