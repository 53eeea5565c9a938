#include "core/Config.h"

#include "core/IniFile.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString WithSlash(const QString& dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

bool HoldsLayouts(const QString& dirWithSlash)
{
    return QFileInfo(dirWithSlash + QStringLiteral("t1101.res")).isFile();
}

QString ExeResDir()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Res/");
}

} // namespace

QString ResolveResPath(const QString& configured, const QString& exeResDir)
{
    const QString conf = configured.trimmed();
    const QString confDir = conf.isEmpty() ? QString() : WithSlash(conf);
    if (!confDir.isEmpty() && HoldsLayouts(confDir))
        return confDir;
    const QString exeDir = exeResDir.isEmpty() ? QString() : WithSlash(exeResDir);
    if (!exeDir.isEmpty() && HoldsLayouts(exeDir))
        return exeDir;
    return confDir.isEmpty() ? exeDir : confDir;
}

QString ResolveResPath(const QString& configured)
{
    return ResolveResPath(configured, ExeResDir());
}

bool LoadConfig(const QString& path, TConfig& cfg, QString& err, const QString& exeResDir)
{
    const QString resDir = exeResDir.isEmpty() ? ExeResDir() : exeResDir;
    cfg = TConfig();
    cfg.ResPath = ResolveResPath(QString(), resDir);
    err.clear();

    if (!QFileInfo::exists(path)) {
        err = QStringLiteral("설정 파일이 없습니다: ") + path
            + QStringLiteral("  (exe 와 같은 폴더에 hts.ini 를 두세요)");
        return false;
    }
    TIniFile ini;
    QString readErr;
    if (!ini.Load(path, &readErr)) {
        err = readErr;
        return false;
    }

    cfg.ID = ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("ID"), QString()).trimmed();
    cfg.PW = ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("PW"), QString());
    cfg.CertPW = ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("CERT"), QString());
    cfg.AppKey = ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("APPKEY"), QString()).trimmed();
    cfg.AppSecret = ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("APPSECRET"), QString()).trimmed();
    cfg.Host = ini.ReadString(QStringLiteral("LOGIN"), QStringLiteral("HOST"), kDefaultHost).trimmed();
    if (cfg.Host.isEmpty())
        cfg.Host = kDefaultHost;
    cfg.Port = ini.ReadInteger(QStringLiteral("LOGIN"), QStringLiteral("PORT"), kDefaultPort);
    if (cfg.Port < 1 || cfg.Port > 65535)
        cfg.Port = kDefaultPort;
    cfg.SvrType = ini.ReadInteger(QStringLiteral("LOGIN"), QStringLiteral("SVRTYPE"), 0);
    cfg.Acno = ini.ReadString(QStringLiteral("ACCOUNT"), QStringLiteral("ACNO"), QString()).trimmed();
    cfg.AcPw = ini.ReadString(QStringLiteral("ACCOUNT"), QStringLiteral("ACPW"), QString());
    cfg.ResPath = ResolveResPath(ini.ReadString(QStringLiteral("XING"), QStringLiteral("RES"), QString()).trimmed(),
                                 resDir);
    cfg.LastCode = ini.ReadString(QStringLiteral("UI"), QStringLiteral("LASTCODE"), kDefaultLastCode).trimmed();
    if (cfg.LastCode.isEmpty())
        cfg.LastCode = kDefaultLastCode;

    if (UsesAppKey(cfg.Host)) {
        if (cfg.AppKey.isEmpty() || cfg.AppSecret.isEmpty()) {
            err = QStringLiteral("ini [LOGIN] APPKEY/APPSECRET 가 비어 있습니다");
            return false;
        }
    } else if (cfg.ID.isEmpty() || cfg.PW.isEmpty()) {
        err = QStringLiteral("ini [LOGIN] ID/PW 가 비어 있습니다");
        return false;
    }
    if (cfg.Acno.isEmpty()) {
        err = QStringLiteral("ini [ACCOUNT] ACNO 가 비어 있습니다");
        return false;
    }
    return true;
}

QString LoginIniProblem(const QString& path)
{
    TIniFile ini;
    QString err;
    if (!ini.Load(path, &err))
        return err + QStringLiteral(" — 파일은 그대로 두며, 입력한 정보는 저장하지 않습니다");
    if (!ini.Exists())
        return {};
    QString why;
    const QString L = QStringLiteral("LOGIN"), A = QStringLiteral("ACCOUNT");
    if (ini.Text().trimmed().isEmpty()) {
        why = QStringLiteral("설정 파일이 비어 있습니다: ") + path;
    } else if (!ini.SectionExists(L) && !ini.SectionExists(A)) {
        why = QStringLiteral("설정 파일에 [LOGIN] · [ACCOUNT] 부분이 없습니다 (잘렸거나 손상된 파일일 수 있습니다): ") + path;
    } else {
        QStringList missing;
        const bool api = UsesAppKey(ini.ReadString(L, QStringLiteral("HOST"), QString()));
        const QString idKey = api ? QStringLiteral("APPKEY") : QStringLiteral("ID");
        const QString pwKey = api ? QStringLiteral("APPSECRET") : QStringLiteral("PW");
        if (ini.ReadString(L, idKey, QString()).trimmed().isEmpty())
            missing << QStringLiteral("[LOGIN] ") + idKey;
        if (ini.ReadString(L, pwKey, QString()).trimmed().isEmpty())
            missing << QStringLiteral("[LOGIN] ") + pwKey;
        if (ini.ReadString(A, QStringLiteral("ACNO"), QString()).trimmed().isEmpty())
            missing << QStringLiteral("[ACCOUNT] ACNO");
        if (!missing.isEmpty())
            why = QStringLiteral("설정 파일에 %1 값이 없습니다: %2").arg(missing.join(QStringLiteral(", ")), path);
    }
    if (ini.HadInvalidText()) {
        const QString enc = QStringLiteral("설정 파일에 UTF-8 이 아닌 글자가 있어 저장하지 않습니다 — UTF-8로 저장해 주세요");
        why = why.isEmpty() ? enc : why + QStringLiteral("\n") + enc;
    }
    return why;
}

bool UsesAppKey(const QString& host)
{
    const QString h = host.trimmed().toLower();
    return h == QLatin1String("ls") || h == QLatin1String("ls-paper") || h == QLatin1String("local");
}
