#include "update/StartupUpdate.h"
#include "update/Manifest.h"
#include "update/UpdateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// A path below "/hts/" as the manifest may name it: no way out of the folder,
// no query, no scheme, no control characters.
bool SafeUrl(const QString& url)
{
    if (url.isEmpty() || url.size() > 300 || url.startsWith(QLatin1Char('/')) || url.contains(QLatin1String("://")))
        return false;
    for (const QChar c : url)
        if (c.category() == QChar::Other_Control || c == QLatin1Char('?') || c == QLatin1Char('#') || c == QLatin1Char('\\')
            || c == QLatin1Char('%') || c.isSpace())
            return false;
    for (const QString& part : url.split(QLatin1Char('/')))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    return true;
}

bool Download(const TUpdateHooks& h, const QString& path, const QString& target, const QString& sha, qint64 size,
              int mode, QString* why)
{
    TDownloadFile f(target, size, sha);
    if (!f.Open(why))
        return false;
    if (!h.Get(path, 5000, [&f](const char* d, qint64 n) { return f.Write(d, n); })) {
        if (why)
            *why = QStringLiteral("받지 못했습니다");
        return false;
    }
    return f.Commit(why, mode);
}

} // namespace

QString UpdateText::Progress(const QString& built)
{
    return QStringLiteral("새 버전 받는 중…  (서버 빌드 %1)").arg(built);
}

TUpdateOutcome RunStartupUpdate(const TUpdateSetup& s, const TUpdateHooks& h, QStringList* log)
{
    const auto note = [log](const QString& line) {
        if (log)
            log->append(line);
    };
    const QFileInfo exeInfo(s.Exe);
    const QString dir = exeInfo.absolutePath() + QLatin1Char('/');
    if (s.Managed) {
        note(UpdateText::Managed);
        return TUpdateOutcome::Continue;
    }
    if (s.NoUpdate || QFileInfo::exists(dir + QStringLiteral("noupdate.txt")))
        return TUpdateOutcome::Continue;

    // 2. The manifest, signed.
    QByteArray body;
    const bool got = h.Get(QStringLiteral("/hts/hts.json?t=") + QString::number(s.Stamp), 3000, [&body](const char* d, qint64 n) {
        if (body.size() + n > 1024 * 1024)
            return false;
        body.append(d, n);
        return true;
    });
    TManifest m;
    if (!got || !ParseManifest(body, m))
        return TUpdateOutcome::Continue;
    if (!VerifySignature(s.PublicKey, ManifestSignedText(m), m.Sig)) {
        note(QStringLiteral("업데이트: 목록의 서명이 맞지 않아 아무것도 받지 않았습니다"));
        return TUpdateOutcome::Continue;
    }

    // 3. Side files.
    for (const TManifestFile& f : m.Files) {
        const QString name = SideFileName(f.Name, exeInfo.fileName());
        if (name.isEmpty() || !SafeUrl(f.Url)) {
            note(QStringLiteral("업데이트: 받지 않는 파일 이름 — ") + f.Name.left(60));
            continue;
        }
        if (f.Sha256.isEmpty()) {
            note(QStringLiteral("업데이트: 해시가 없는 파일은 받지 않습니다 — ") + name);
            continue;
        }
        const QString target = dir + name;
        if (QFileInfo(target).isSymLink() || QFileInfo(target).isDir()) {
            note(QStringLiteral("업데이트: 링크 · 폴더는 바꾸지 않습니다 — ") + name);
            continue;
        }
        if (QFileInfo::exists(target) && (f.Keep || FileSha256(target) == f.Sha256))
            continue;
        QString why;
        if (!Download(h, QStringLiteral("/hts/") + f.Url + QStringLiteral("?v=") + f.Sha256.left(16), target, f.Sha256, f.Size,
                      0644, &why))
            note(QStringLiteral("업데이트: %1 받기 실패 (%2)").arg(name, why));
    }

    // 4. The executable.
    QString why;
    if (!UpdateWanted(m, s.PublicKey, s.Build, FileSha256(s.Exe), &why)) {
        if (!why.isEmpty())
            note(QStringLiteral("업데이트: ") + why);
        return TUpdateOutcome::Continue;
    }
    const QString tmp = dir + QStringLiteral("hts_update.tmp");
    if (h.ShowProgress)
        h.ShowProgress(UpdateText::Progress(m.Built));
    const bool ok = Download(h, QStringLiteral("/hts/hts.bin?v=") + m.Sha256.left(16), tmp, m.Sha256, m.Size, 0600, &why);
    if (h.HideProgress)
        h.HideProgress();
    if (!ok) {
        QFile::remove(tmp);
        h.Warn(UpdateText::DownloadFailed);
        return TUpdateOutcome::Continue;
    }
    if (!ReplaceExecutable(s.Exe, tmp, &why)) {
        QFile::remove(tmp);
        h.Warn(why);
        return TUpdateOutcome::Continue;
    }
    const qint64 pid = h.Start(s.Exe, dir);
    if (pid <= 0) {
        RollBackExecutable(s.Exe);
        h.Warn(UpdateText::StartFailed);
        return TUpdateOutcome::Continue;
    }
    // The new build takes the lock once this copy lets it go; one that dies
    // before that is rolled back and this copy runs on.
    h.ReleaseLock();
    for (int waited = 0; waited < s.WatchMs; waited += 100) {
        if (h.LockHeldElsewhere()) {
            note(QStringLiteral("업데이트: 새 빌드 %1 이(가) 시작했습니다").arg(m.Built));
            return TUpdateOutcome::Restarted;
        }
        if (!h.Alive(pid))
            break;
        h.Sleep(100);
    }
    if (h.LockHeldElsewhere())
        return TUpdateOutcome::Restarted;
    RollBackExecutable(s.Exe);
    h.RetakeLock();
    h.Warn(UpdateText::RolledBack);
    return TUpdateOutcome::Continue;
}
