#include "update/Install.h"
#include "core/IniFile.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace {
QString WithSlash(const QString& dir) { return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/'); }
} // namespace

TInstallInfo InstallInfoFor(const QString& exeDir, const QString& dataHome)
{
    TInstallInfo info;
    info.ExeDir = WithSlash(exeDir);
    info.Managed = QFileInfo::exists(info.ExeDir + QLatin1String(kPackagedMark))
                   || ::access(QFile::encodeName(exeDir).constData(), W_OK) != 0;
    if (!info.Managed) {
        info.FilesDir = info.ExeDir;
        return info;
    }
    QString home = dataHome;
    if (home.isEmpty())
        home = QFile::decodeName(qgetenv("XDG_DATA_HOME"));
    if (home.isEmpty() || !QDir::isAbsolutePath(home))
        home = QDir::homePath() + QStringLiteral("/.local/share");
    info.FilesDir = WithSlash(home) + QStringLiteral("kestrelhts/");
    QDir().mkpath(info.FilesDir);
    return info;
}

bool WriteDefaultConfig(const QString& filesDir, const QString& resDir, QString* err)
{
    const QString path = WithSlash(filesDir) + QStringLiteral("hts.ini");
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return true;
    TIniFile ini;
    ini.Load(path);
    const QString login = QStringLiteral("LOGIN");
    ini.WriteString(login, QStringLiteral("HOST"), QStringLiteral("sim"));
    ini.WriteInteger(login, QStringLiteral("PORT"), 20001);
    ini.WriteInteger(login, QStringLiteral("SVRTYPE"), 0);
    ini.WriteString(QStringLiteral("XING"), QStringLiteral("RES"), WithSlash(resDir));
    return ini.SaveAs(path, err);
}
