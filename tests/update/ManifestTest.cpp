// The update manifest: reading it, its signature, which builds are taken,
// and which side-file names may be written.
#include "update/Manifest.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

const QByteArray kMaker = QByteArray::fromHex("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
const QByteArray kOther = QByteArray::fromHex("4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb");
const QString kShaA = QString(64, QLatin1Char('a'));

TManifest Signed(TManifest m, const QByteArray& key = kMaker)
{
    m.Sig = SignText(key, ManifestSignedText(m));
    return m;
}

TManifest Newer()
{
    TManifest m;
    m.Sha256 = kShaA;
    m.Size = 1000;
    m.Built = QStringLiteral("2026-12-11 #42");
    m.Build = 42;
    m.Files = {{QStringLiteral("dt.wav"), QStringLiteral("dt.wav"), QString(64, QLatin1Char('b')), 10, false}};
    return Signed(m);
}

} // namespace

TEST(Manifest, ReadsTheHostsDocumentTolerantly)
{
    TManifest m;
    const QByteArray body = "\xEF\xBB\xBF \r\n{\"sha256\":\"" + QByteArray(64, 'A') + "\",\"size\":\"1234\",\"built\":\"b1\",\"build\":7,"
                            "\"files\":[3,{\"name\":\"dt.wav\",\"url\":\"x/dt.wav\",\"sha256\":\"short\",\"keep\":true},"
                            "{\"name\":null}],\"sig\":\"" + QByteArray(64, '\1').toBase64() + "\"}\r\n";
    ASSERT_TRUE(ParseManifest(body, m));
    EXPECT_EQ(m.Sha256, QString(64, QLatin1Char('a')));
    EXPECT_EQ(m.Size, 1234);
    EXPECT_EQ(m.Build, 7);
    ASSERT_EQ(m.Files.size(), 2);
    EXPECT_EQ(m.Files[0].Sha256, QString()) << "a hash that is not 64 hex digits reads as none";
    EXPECT_TRUE(m.Files[0].Keep);
    EXPECT_TRUE(m.Files[1].Name.isEmpty());
    EXPECT_EQ(m.Sig.size(), 64);
    for (const QByteArray bad : {QByteArray("[1]"), QByteArray(""), QByteArray("{"), QByteArray("null")})
        EXPECT_FALSE(ParseManifest(bad, m)) << bad.constData();
}

TEST(Manifest, SignatureCoversEveryValue)
{
    const TManifest m = Newer();
    const QByteArray pub = PublicKeyOf(kMaker);
    ASSERT_EQ(pub.size(), 32);
    EXPECT_TRUE(VerifySignature(pub, ManifestSignedText(m), m.Sig));
    // Any value changed after signing breaks it.
    const std::vector<std::function<void(TManifest&)>> edits = {
        [](TManifest& x) { x.Sha256[0] = QLatin1Char('b'); }, [](TManifest& x) { x.Size += 1; },
        [](TManifest& x) { x.Build += 1; },                   [](TManifest& x) { x.Built += QLatin1Char('!'); },
        [](TManifest& x) { x.Files[0].Keep = true; },         [](TManifest& x) { x.Files[0].Name = QStringLiteral("hts.ini"); },
        [](TManifest& x) { x.Files[0].Size = 11; },           [](TManifest& x) { x.Files.clear(); },
    };
    for (size_t i = 0; i < edits.size(); ++i) {
        TManifest t = m;
        edits[i](t);
        EXPECT_FALSE(VerifySignature(pub, ManifestSignedText(t), t.Sig)) << i;
    }
    EXPECT_FALSE(VerifySignature(PublicKeyOf(kOther), ManifestSignedText(m), m.Sig));
    EXPECT_FALSE(VerifySignature(pub, ManifestSignedText(m), m.Sig.left(63)));
}

TEST(Manifest, OnlyASignedNewerBuildIsTaken)
{
    const QByteArray pub = PublicKeyOf(kMaker);
    struct Case {
        const char* what;
        TManifest m;
        qint64 running;
        QString runningSha;
        bool wanted;
        bool saysWhy;
    };
    TManifest noHash = Newer();
    noHash.Sha256.clear();
    noHash = Signed(noHash);
    TManifest unsigned_ = Newer();
    unsigned_.Sig.clear();
    const std::vector<Case> cases = {
        {"newer, signed", Newer(), 41, QString(64, QLatin1Char('c')), true, false},
        {"the bytes already running", Newer(), 41, kShaA.toUpper(), false, false},
        {"the same build", Newer(), 42, QString(), false, true},
        {"an older build (no downgrade)", Newer(), 50, QString(), false, true},
        {"no signature", unsigned_, 1, QString(), false, true},
        {"signed by someone else", Signed(Newer(), kOther), 1, QString(), false, true},
        {"no whole executable described", noHash, 1, QString(), false, false},
    };
    for (const Case& c : cases) {
        QString why = QStringLiteral("-");
        EXPECT_EQ(UpdateWanted(c.m, pub, c.running, c.runningSha, &why), c.wanted) << c.what;
        EXPECT_EQ(!why.isEmpty(), c.saysWhy) << c.what << " " << why.toStdString();
    }
}

TEST(Manifest, SideFileNames)
{
    const QString exe = QStringLiteral("kestrelhts");
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"dt.wav", "dt.wav"},          {"sounds/gongsi.wav", "gongsi.wav"}, {"../../etc/passwd", "passwd"},
        {"", ""},                      {".", ""},                          {"a/..", ""},
        {"..\\hts.ini", ""},           {"hts.ini", ""},                    {"HTS.INI", ""},
        {"x/hts.ini", ""},             {"kestrelhts", ""},                 {"KestrelHTS.old", ""},
        {"hts_update.tmp", ""},        {"dt.wav.dl", ""},                  {"draws.json", ""},
        {"noupdate.txt", ""},          {"news", ""},                       {"sim_account.json", ""},
        {"kestrelhts.packaged", ""},   {"KESTREL_pHTS_0123.lock", ""},     {"tab\there", ""},
        {"new\nline", ""},             {"c:evil", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(SideFileName(QString::fromUtf8(in), exe), QString::fromUtf8(out)) << in;
}
