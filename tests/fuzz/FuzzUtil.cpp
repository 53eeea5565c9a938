#include "FuzzUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<QTemporaryDir>& ScratchDir()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

// Scratch folders of fuzz processes that died on a crash (a sanitizer
// report ends the process at once) are removed by the next one.
void SweepDeadScratch()
{
    QDir tmp(QDir::tempPath());
    const QStringList names = tmp.entryList({QStringLiteral("kestrel-fuzz-*-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        bool ok = false;
        const qint64 pid = name.section(QLatin1Char('-'), 2, 2).toLongLong(&ok);
        if (ok && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QDir(tmp.filePath(name)).removeRecursively();
    }
}

} // namespace

const QString& FuzzDir()
{
    static const QString path = [] {
        SweepDeadScratch();
        auto& dir = ScratchDir();
        dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kestrel-fuzz-%1-XXXXXX")
                                                                      .arg(QCoreApplication::applicationPid()));
        if (!dir->isValid()) {
            std::fprintf(stderr, "fuzz: cannot make a scratch folder under %s\n", qPrintable(QDir::tempPath()));
            std::abort();
        }
        // Removed at a normal exit (the end of -max_total_time or -runs).
        std::atexit([] { ScratchDir().reset(); });
        return dir->path();
    }();
    return path;
}

QString FuzzPath(const QString& name)
{
    return FuzzDir() + QLatin1Char('/') + name;
}

QString WriteFuzzFile(const QString& name, const QByteArray& bytes)
{
    const QString path = FuzzPath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", qPrintable(path));
        std::abort();
    }
    return path;
}

QByteArray ReadWholeFile(const QString& path, bool* ok)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = true;
    return f.readAll();
}

QStringList FuzzDirEntries()
{
    return QDir(FuzzDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                     QDir::Name);
}

void ClearFuzzDir()
{
    QDir dir(FuzzDir());
    for (const QString& name : FuzzDirEntries()) {
        const QString path = dir.filePath(name);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (!QFile::remove(path))
            QDir(path).removeRecursively();
    }
}

QByteArray InputBytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

QList<QByteArray> SplitParts(const QByteArray& input, const QByteArray& sep)
{
    QList<QByteArray> parts;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = input.indexOf(sep, from);
        if (at < 0)
            break;
        parts.append(input.mid(from, at - from));
        from = at + sep.size();
    }
    parts.append(input.mid(from));
    return parts;
}

void FuzzFail(const char* file, int line, const char* cond, const QString& what)
{
    std::fprintf(stderr, "\n==== fuzz check failed at %s:%d: %s\n==== %s\n", file, line, cond,
                 what.toUtf8().constData());
    std::fflush(stderr);
    ScratchDir().reset();
    std::abort();
}

QString Shown(const QString& s)
{
    QString out;
    for (const QChar c : s) {
        if (out.size() >= 300) {
            out += QStringLiteral("...");
            break;
        }
        const char16_t u = c.unicode();
        if (u >= 0x20 && u < 0x7F && u != u'\\')
            out += c;
        else if (u == u'\\')
            out += QStringLiteral("\\\\");
        else
            out += QStringLiteral("\\u%1").arg(unsigned(u), 4, 16, QLatin1Char('0'));
    }
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString Shown(const QByteArray& b)
{
    QString out;
    for (const char ch : b) {
        if (out.size() >= 300) {
            out += QStringLiteral("...");
            break;
        }
        const auto u = static_cast<unsigned char>(ch);
        if (u >= 0x20 && u < 0x7F && u != '\\')
            out += QLatin1Char(ch);
        else
            out += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
    }
    return QLatin1Char('"') + out + QLatin1Char('"');
}
