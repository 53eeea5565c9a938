#pragma once
// Shared by the fuzz targets: a private scratch folder per process, whole
// file reads and writes, splitting an input into parts, and a check that
// reports what broke before it stops the process (libFuzzer then saves the
// input as a crash).
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// This process's scratch folder (under TMPDIR), made on first use and
// removed when the process ends normally.
const QString& FuzzDir();
// FuzzDir() + "/" + name.
QString FuzzPath(const QString& name);
// Writes `bytes` to FuzzPath(name) (replacing it) and returns the path.
QString WriteFuzzFile(const QString& name, const QByteArray& bytes);
// The whole file; `ok` false when it cannot be read.
QByteArray ReadWholeFile(const QString& path, bool* ok = nullptr);
// Names in FuzzDir(), sorted (hidden ones included).
QStringList FuzzDirEntries();
// Empties FuzzDir(): every input starts from a clean folder.
void ClearFuzzDir();

// The input as bytes (deep copy: libFuzzer's buffer must not be kept).
QByteArray InputBytes(const uint8_t* data, size_t size);
// Splits at every occurrence of `sep`; always at least one part.
QList<QByteArray> SplitParts(const QByteArray& input, const QByteArray& sep);

[[noreturn]] void FuzzFail(const char* file, int line, const char* cond, const QString& what);

#define FUZZ_CHECK(cond, what)                                  \
    do {                                                        \
        if (!(cond))                                            \
            FuzzFail(__FILE__, __LINE__, #cond, (what));        \
    } while (0)

// Printable form of a value for a failure message: control characters and
// non-ASCII as escapes, cut at 300 characters.
QString Shown(const QString& s);
QString Shown(const QByteArray& b);
