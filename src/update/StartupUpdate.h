#pragma once
// The update step of start-up, before any window: side files refreshed and
// the program replaced by a newer build the service host publishes, then
// started again. Everything it touches outside the folder goes through
// hooks, so the whole sequence runs in tests on files and fakes.
//
// Order (every failure falls back to running this version):
//  1. An installed program (package manager) does not replace itself: it
//     says so once in the log; /noupdate or noupdate.txt skip the rest.
//  2. The manifest "/hts/hts.json?t=<ms>" (3 s); only a manifest signed with
//     the maker's key is acted on.
//  3. Side files: names reduced and checked (SideFileName), a 64-digit hash
//     required, "keep" and matching files left alone, the rest received
//     through TDownloadFile.
//  4. The executable, when the manifest describes a newer build (no
//     downgrade) whose bytes are not the running ones: received as
//     hts_update.tmp under the download window, swapped in (the old one kept
//     as .old), started with /updated in its folder; the lock is let go and
//     the new build watched until it holds the lock. A build that dies
//     before that, or cannot be started, is rolled back.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

struct TUpdateHooks {
    // GET of a service path; the body goes to `sink` as it arrives. True on
    // a whole 200 answer.
    std::function<bool(const QString& path, int timeoutMs, const std::function<bool(const char*, qint64)>& sink)> Get;
    // A message the user must read (caption "케스트렐 HTS 업데이트", warning).
    std::function<void(const QString& text)> Warn;
    // The download window, shown while the executable is received.
    std::function<void(const QString& text)> ShowProgress;
    std::function<void()> HideProgress;
    // Starts `exe` with /updated in `dir`: the new process's id, 0 when it
    // could not be started.
    std::function<qint64(const QString& exe, const QString& dir)> Start;
    // The instance lock: let go for the new build, taken back after a roll-back,
    // and whether another process holds it now.
    std::function<void()> ReleaseLock;
    std::function<void()> RetakeLock;
    std::function<bool()> LockHeldElsewhere;
    std::function<bool(qint64 pid)> Alive;
    std::function<void(int ms)> Sleep;
};

struct TUpdateSetup {
    QString Exe;            // the running executable's path
    bool Managed = false;   // installed by the package manager
    bool NoUpdate = false;  // /noupdate given
    QByteArray PublicKey;   // the maker's Ed25519 key (32 bytes)
    qint64 Build = 0;       // the running build's number
    qint64 Stamp = 0;       // the manifest's cache breaker (milliseconds)
    int WatchMs = 20000;    // how long the new build has to take the lock
};

enum class TUpdateOutcome { Continue, Restarted };

TUpdateOutcome RunStartupUpdate(const TUpdateSetup& setup, const TUpdateHooks& hooks, QStringList* log = nullptr);

// The texts the user reads.
namespace UpdateText {
inline const QString Caption = QStringLiteral("케스트렐 HTS 업데이트");
inline const QString DownloadFailed =
    QStringLiteral("업데이트 파일을 제대로 받지 못했습니다 (다운로드 · 해시 불일치).\n지금 버전으로 실행합니다.");
inline const QString StartFailed = QStringLiteral("새 버전을 실행하지 못했습니다. 이 창을 닫고 다시 켜 주세요.");
inline const QString RolledBack =
    QStringLiteral("새 버전이 시작하지 못해 이전 버전으로 되돌렸습니다. 지금 버전으로 실행합니다.");
inline const QString Managed = QStringLiteral("업데이트: 패키지로 설치된 프로그램입니다 — 새 버전은 패키지로 받습니다");
QString Progress(const QString& built);
}
