#pragma once
// The update manifest the service host publishes ("/hts/hts.json"): the
// main executable's SHA-256, size, build label and build number, and the
// side files beside it, signed with the maker's Ed25519 key.
//
// The signature ("sig", base64 of 64 bytes) covers a canonical text made
// from the values read (ManifestSignedText), not the JSON bytes, so the
// host may lay the JSON out as it likes. The program checks it against the
// public key built into it; only a verified manifest is acted on, and only
// a build newer than the running one is installed.
#include <QByteArray>
#include <QString>
#include <QVector>

struct TManifestFile {
    QString Name;     // as sent (Sanitised by SideFileName)
    QString Url;      // path below "/hts/"
    QString Sha256;   // lower-case hex
    qint64 Size = 0;  // 0: any
    bool Keep = false;
};

struct TManifest {
    QString Sha256;      // the executable's, lower-case hex ("" when not 64 hex digits)
    qint64 Size = 0;
    QString Built;       // build label shown while downloading
    qint64 Build = 0;    // build number (only newer builds are installed)
    QVector<TManifestFile> Files;
    QByteArray Sig;      // the signature's 64 bytes (empty: none)
};

// Reads a manifest body (UTF-8, trimmed of U+FEFF, blanks, CR and LF);
// false when it is not a JSON object. Missing or null members read as
// empty / false / 0; a hash that is not 64 hex digits reads as empty.
bool ParseManifest(const QByteArray& body, TManifest& m);

// The text the signature covers.
QByteArray ManifestSignedText(const TManifest& m);

// Ed25519 over `text` with the 32-byte public key; false for any fault.
bool VerifySignature(const QByteArray& publicKey, const QByteArray& text, const QByteArray& sig);
// The 64-byte signature of `text` with a 32-byte private key (the maker's
// tool and the tests); empty on failure.
QByteArray SignText(const QByteArray& privateKey, const QByteArray& text);
// The public key of a 32-byte private key; empty on failure.
QByteArray PublicKeyOf(const QByteArray& privateKey);

// Whether the manifest may replace the running executable: signed with
// `publicKey`, a whole executable described (64-digit hash, size > 0), a
// build newer than `runningBuild` and not the bytes already running. The
// reason in Korean otherwise (empty when there is simply nothing new).
bool UpdateWanted(const TManifest& m, const QByteArray& publicKey, qint64 runningBuild, const QString& runningSha,
                  QString* why = nullptr);

// A side file's name as it may be written beside the executable: the last
// path component, refused (empty result) when it is empty, "." or "..",
// holds a separator or a control character, or names one of the program's
// own files (`exeName`, its ".old", "hts_update.tmp", "*.dl", "hts.ini",
// "draws.json", "noupdate.txt", "news", "sim_account.json", the lock mark
// and the package mark), letter case ignored.
QString SideFileName(const QString& name, const QString& exeName);
