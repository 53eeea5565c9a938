// The update step of start-up on files and fakes: what is fetched, what is
// written, what the user reads, and that a whole program always stands
// under the executable's name.
#include "update/Manifest.h"
#include "update/StartupUpdate.h"
#include "update/UpdateFiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QByteArray kMaker = QByteArray::fromHex("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
const QByteArray kOther = QByteArray::fromHex("4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb");

QString Sha(const QByteArray& b) { return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex()); }

struct UpdateRig {
    QTemporaryDir dir;
    QString exe;
    QMap<QString, QByteArray> served;   // path without its query -> body
    QStringList asked, warned, log, progress;
    QString startedExe, startedDir;
    qint64 startPid = 4242;
    bool newTakesLock = true, started = false, released = false, retaken = false;
    TUpdateSetup setup;
    TUpdateHooks hooks;

    UpdateRig()
    {
        exe = dir.path() + QStringLiteral("/kestrelhts");
        Put(QStringLiteral("kestrelhts"), "build 41", 0755);
        setup.Exe = exe;
        setup.PublicKey = PublicKeyOf(kMaker);
        setup.Build = 41;
        setup.Stamp = 123;
        hooks.Get = [this](const QString& path, int, const std::function<bool(const char*, qint64)>& sink) {
            asked << path;
            const QString bare = path.section(QLatin1Char('?'), 0, 0);
            if (!served.contains(bare))
                return false;
            const QByteArray& b = served[bare];
            for (qsizetype at = 0; at < b.size(); at += 7)
                if (!sink(b.constData() + at, std::min<qsizetype>(7, b.size() - at)))
                    return false;
            return true;
        };
        hooks.Warn = [this](const QString& t) { warned << t; };
        hooks.ShowProgress = [this](const QString& t) { progress << t; };
        hooks.HideProgress = [] {};
        hooks.Start = [this](const QString& e, const QString& d) {
            startedExe = e;
            startedDir = d;
            started = startPid > 0;
            return startPid;
        };
        hooks.ReleaseLock = [this] { released = true; };
        hooks.RetakeLock = [this] { retaken = true; };
        hooks.LockHeldElsewhere = [this] { return started && released && newTakesLock; };
        hooks.Alive = [this](qint64) { return newTakesLock; };
        hooks.Sleep = [](int) {};
    }
    void Put(const QString& name, const QByteArray& b, int mode = 0644)
    {
        QFile f(dir.path() + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(b);
        f.close();
        ::chmod(QFile::encodeName(f.fileName()).constData(), mode_t(mode));
    }
    QByteArray Read(const QString& name) const
    {
        QFile f(dir.path() + QLatin1Char('/') + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    // A manifest of build `build` whose executable is `bin` (served as
    // `servedBin`), with side files, signed with `key`.
    void Publish(qint64 build, const QByteArray& bin, const QByteArray& servedBin, const QVector<TManifestFile>& files,
                 const QByteArray& key = kMaker)
    {
        TManifest m;
        m.Sha256 = Sha(bin);
        m.Size = bin.size();
        m.Built = QStringLiteral("#%1").arg(build);
        m.Build = build;
        m.Files = files;
        m.Sig = SignText(key, ManifestSignedText(m));
        QJsonArray fa;
        for (const TManifestFile& f : files)
            fa.append(QJsonObject{{"name", f.Name}, {"url", f.Url}, {"sha256", f.Sha256}, {"size", double(f.Size)}, {"keep", f.Keep}});
        served[QStringLiteral("/hts/hts.json")] =
            QJsonDocument(QJsonObject{{"sha256", m.Sha256}, {"size", double(m.Size)}, {"built", m.Built}, {"build", double(build)},
                                      {"files", fa}, {"sig", QString::fromLatin1(m.Sig.toBase64())}})
                .toJson();
        served[QStringLiteral("/hts/hts.bin")] = servedBin;
    }
    TUpdateOutcome Run() { return RunStartupUpdate(setup, hooks, &log); }
    int ModeOf(const QString& name) const
    {
        struct stat st = {};
        return ::stat(QFile::encodeName(dir.path() + QLatin1Char('/') + name).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    }
    bool Leftovers() const
    {
        return QFile::exists(dir.path() + QStringLiteral("/hts_update.tmp")) || QFile::exists(dir.path() + QStringLiteral("/hts_update.tmp.dl"));
    }
};

TManifestFile Side(const char* name, const char* url, const QByteArray& body, bool keep = false, bool hash = true)
{
    return {QString::fromUtf8(name), QString::fromUtf8(url), hash ? Sha(body) : QString(), body.size(), keep};
}

} // namespace

TEST(StartupUpdate, NewerSignedBuildReplacesTheProgramAndSideFilesAreChecked)
{
    UpdateRig r;
    const QByteArray wav = "RIFF new sound", ini = "[LOGIN]\nHOST=evil\n";
    r.Put(QStringLiteral("keep.txt"), "mine");
    r.Put(QStringLiteral("hts.ini"), "[LOGIN]\nID=me\n");
    r.served[QStringLiteral("/hts/dt.wav")] = wav;
    r.served[QStringLiteral("/hts/hts.ini")] = ini;
    r.served[QStringLiteral("/hts/keep.txt")] = "theirs";
    r.served[QStringLiteral("/hts/nohash.wav")] = "x";
    r.Publish(42, "build 42", "build 42",
              {Side("sounds/dt.wav", "dt.wav", wav), Side("hts.ini", "hts.ini", ini), Side("keep.txt", "keep.txt", "theirs", true),
               Side("nohash.wav", "nohash.wav", "x", false, false), Side("x.wav", "../../etc/x", "x")});
    EXPECT_EQ(r.Run(), TUpdateOutcome::Restarted);
    EXPECT_TRUE(r.warned.isEmpty()) << r.warned.join('|').toStdString();
    EXPECT_EQ(r.asked.first(), QStringLiteral("/hts/hts.json?t=123"));
    EXPECT_EQ(r.Read(QStringLiteral("dt.wav")), wav);
    EXPECT_EQ(r.Read(QStringLiteral("hts.ini")), QByteArray("[LOGIN]\nID=me\n")) << "a manifest never replaces hts.ini";
    EXPECT_EQ(r.Read(QStringLiteral("keep.txt")), QByteArray("mine"));
    EXPECT_EQ(r.Read(QStringLiteral("nohash.wav")), QByteArray("<none>"));
    EXPECT_FALSE(r.asked.contains(QStringLiteral("/hts/keep.txt")));
    // The program: the new build in place with the old mode, the old kept.
    EXPECT_EQ(r.Read(QStringLiteral("kestrelhts")), QByteArray("build 42"));
    EXPECT_EQ(r.ModeOf(QStringLiteral("kestrelhts")), 0755);
    EXPECT_EQ(r.Read(QStringLiteral("kestrelhts.old")), QByteArray("build 41"));
    EXPECT_EQ(r.progress, QStringList{QStringLiteral("새 버전 받는 중…  (서버 빌드 #42)")});
    EXPECT_EQ(r.startedExe, r.exe);
    EXPECT_EQ(r.startedDir, r.dir.path() + QLatin1Char('/'));
    EXPECT_TRUE(r.released);
    EXPECT_FALSE(r.Leftovers());
}

TEST(StartupUpdate, NothingIsTakenThatIsNotSignedNewerAndWhole)
{
    struct Case {
        const char* what;
        qint64 build;
        QByteArray servedBin;
        QByteArray key;
        QString warning;
        bool binAsked;
    };
    const std::vector<Case> cases = {
        {"the download differs from its hash", 42, "build 42 but tampered", kMaker, UpdateText::DownloadFailed, true},
        {"the download is cut short", 42, "build", kMaker, UpdateText::DownloadFailed, true},
        {"an older build", 40, "build 42", kMaker, QString(), false},
        {"the same build", 41, "build 42", kMaker, QString(), false},
        {"signed with another key", 42, "build 42", kOther, QString(), false},
    };
    for (const Case& c : cases) {
        UpdateRig r;
        r.served[QStringLiteral("/hts/dt.wav")] = "RIFF";
        r.Publish(c.build, "build 42", c.servedBin, {Side("dt.wav", "dt.wav", "RIFF")}, c.key);
        EXPECT_EQ(r.Run(), TUpdateOutcome::Continue) << c.what;
        EXPECT_EQ(r.warned, c.warning.isEmpty() ? QStringList() : QStringList{c.warning}) << c.what;
        EXPECT_EQ(r.asked.contains(QStringLiteral("/hts/hts.bin?v=") + Sha("build 42").left(16)), c.binAsked) << c.what;
        EXPECT_EQ(r.Read(QStringLiteral("kestrelhts")), QByteArray("build 41")) << c.what;
        EXPECT_FALSE(r.started) << c.what;
        EXPECT_FALSE(r.Leftovers()) << c.what;
        if (c.key == kOther)
            EXPECT_EQ(r.Read(QStringLiteral("dt.wav")), QByteArray("<none>")) << "an unsigned list installs no side file either";
    }
}

TEST(StartupUpdate, ABuildThatDiesOrCannotStartIsRolledBack)
{
    for (const bool cannotStart : {false, true}) {
        UpdateRig r;
        r.newTakesLock = false;   // dies before it takes the lock
        if (cannotStart)
            r.startPid = 0;
        r.Publish(42, "build 42", "build 42", {});
        EXPECT_EQ(r.Run(), TUpdateOutcome::Continue);
        EXPECT_EQ(r.Read(QStringLiteral("kestrelhts")), QByteArray("build 41"));
        EXPECT_EQ(r.ModeOf(QStringLiteral("kestrelhts")), 0755);
        EXPECT_EQ(r.warned, QStringList{cannotStart ? UpdateText::StartFailed : UpdateText::RolledBack});
        EXPECT_EQ(r.retaken, !cannotStart);
    }
}

TEST(StartupUpdate, InstalledOrSwitchedOffAsksNothing)
{
    for (int way = 0; way < 3; ++way) {
        UpdateRig r;
        r.Publish(42, "build 42", "build 42", {});
        r.setup.Managed = way == 0;
        r.setup.NoUpdate = way == 1;
        if (way == 2)
            r.Put(QStringLiteral("noupdate.txt"), "");
        EXPECT_EQ(r.Run(), TUpdateOutcome::Continue);
        EXPECT_TRUE(r.asked.isEmpty()) << way;
        EXPECT_EQ(r.log.contains(UpdateText::Managed), way == 0) << way;
    }
}
