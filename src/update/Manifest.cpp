#include "update/Manifest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <openssl/evp.h>

#include <memory>

namespace {

QString Hex64(const QJsonValue& v)
{
    const QString s = v.toString().trimmed().toLower();
    if (s.size() != 64)
        return QString();
    for (const QChar c : s)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return QString();
    return s;
}

qint64 Whole(const QJsonValue& v)
{
    if (v.isDouble()) {
        const double d = v.toDouble();
        return d >= 0 && d < 9.0e15 ? qint64(d) : 0;
    }
    bool ok = false;
    const qint64 n = v.toString().trimmed().toLongLong(&ok);
    return ok && n >= 0 ? n : 0;
}

// One line of the signed text: no field may break it.
QByteArray Field(const QString& s)
{
    QByteArray b = s.toUtf8();
    for (char& c : b)
        if (c == '\n' || c == '\t' || c == '\r')
            c = ' ';
    return b;
}

struct TKeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct TCtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

} // namespace

bool ParseManifest(const QByteArray& body, TManifest& m)
{
    m = TManifest();
    QString text = QString::fromUtf8(body);
    while (!text.isEmpty() && (text.front() == QChar(0xFEFF) || text.front().isSpace()))
        text.remove(0, 1);
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    m.Sha256 = Hex64(o.value(QLatin1String("sha256")));
    m.Size = Whole(o.value(QLatin1String("size")));
    m.Built = o.value(QLatin1String("built")).toString().left(80);
    m.Build = Whole(o.value(QLatin1String("build")));
    m.Sig = QByteArray::fromBase64(o.value(QLatin1String("sig")).toString().toLatin1());
    const QJsonArray files = o.value(QLatin1String("files")).toArray();
    for (qsizetype i = 0; i < files.size() && i < 200; ++i) {
        if (!files.at(i).isObject())
            continue;
        const QJsonObject f = files.at(i).toObject();
        TManifestFile mf;
        mf.Name = f.value(QLatin1String("name")).toString().left(200);
        mf.Url = f.value(QLatin1String("url")).toString().left(400);
        mf.Sha256 = Hex64(f.value(QLatin1String("sha256")));
        mf.Size = Whole(f.value(QLatin1String("size")));
        mf.Keep = f.value(QLatin1String("keep")).toBool(false);
        m.Files.append(mf);
    }
    return true;
}

QByteArray ManifestSignedText(const TManifest& m)
{
    QByteArray t = "kestrelhts-update-1\n";
    t += "build " + QByteArray::number(m.Build) + '\n';
    t += "sha256 " + m.Sha256.toLatin1() + '\n';
    t += "size " + QByteArray::number(m.Size) + '\n';
    t += "built " + Field(m.Built) + '\n';
    for (const TManifestFile& f : m.Files)
        t += "file " + Field(f.Name) + '\t' + Field(f.Url) + '\t' + f.Sha256.toLatin1() + '\t' + QByteArray::number(f.Size)
             + '\t' + (f.Keep ? '1' : '0') + '\n';
    return t;
}

bool VerifySignature(const QByteArray& publicKey, const QByteArray& text, const QByteArray& sig)
{
    if (publicKey.size() != 32 || sig.size() != 64)
        return false;
    std::unique_ptr<EVP_PKEY, TKeyFree> key(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publicKey.constData()), size_t(publicKey.size())));
    std::unique_ptr<EVP_MD_CTX, TCtxFree> ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(sig.constData()), size_t(sig.size()),
                            reinterpret_cast<const unsigned char*>(text.constData()), size_t(text.size()))
           == 1;
}

QByteArray SignText(const QByteArray& privateKey, const QByteArray& text)
{
    if (privateKey.size() != 32)
        return QByteArray();
    std::unique_ptr<EVP_PKEY, TKeyFree> key(EVP_PKEY_new_raw_private_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(privateKey.constData()), size_t(privateKey.size())));
    std::unique_ptr<EVP_MD_CTX, TCtxFree> ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return QByteArray();
    QByteArray sig(64, '\0');
    size_t len = size_t(sig.size());
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(sig.data()), &len,
                       reinterpret_cast<const unsigned char*>(text.constData()), size_t(text.size()))
            != 1
        || len != 64)
        return QByteArray();
    return sig;
}

QByteArray PublicKeyOf(const QByteArray& privateKey)
{
    if (privateKey.size() != 32)
        return QByteArray();
    std::unique_ptr<EVP_PKEY, TKeyFree> key(EVP_PKEY_new_raw_private_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(privateKey.constData()), size_t(privateKey.size())));
    QByteArray pub(32, '\0');
    size_t len = size_t(pub.size());
    if (!key || EVP_PKEY_get_raw_public_key(key.get(), reinterpret_cast<unsigned char*>(pub.data()), &len) != 1 || len != 32)
        return QByteArray();
    return pub;
}

bool UpdateWanted(const TManifest& m, const QByteArray& publicKey, qint64 runningBuild, const QString& runningSha,
                  QString* why)
{
    const auto no = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (m.Sha256.isEmpty() || m.Size <= 0)
        return no(QString());
    if (!runningSha.isEmpty() && runningSha.compare(m.Sha256, Qt::CaseInsensitive) == 0)
        return no(QString());
    if (!VerifySignature(publicKey, ManifestSignedText(m), m.Sig))
        return no(QStringLiteral("업데이트 목록의 서명이 맞지 않아 받지 않습니다"));
    if (m.Build <= runningBuild)
        return no(QStringLiteral("서버 빌드 %1 이(가) 지금 빌드 %2 보다 새롭지 않아 받지 않습니다").arg(m.Build).arg(runningBuild));
    if (why)
        why->clear();
    return true;
}

QString SideFileName(const QString& name, const QString& exeName)
{
    const QString last = name.section(QLatin1Char('/'), -1);
    if (last.isEmpty() || last == QLatin1String(".") || last == QLatin1String(".."))
        return QString();
    for (const QChar c : last)
        if (c == QLatin1Char('\\') || c == QLatin1Char(':') || c.category() == QChar::Other_Control
            || c.category() == QChar::Other_Format || c == QChar(0x2028) || c == QChar(0x2029))
            return QString();
    const QString low = last.toLower();
    const QString exe = exeName.toLower();
    static const char* const kOwn[] = {"hts_update.tmp", "hts.ini", "draws.json", "noupdate.txt", "news",
                                       "sim_account.json", "kestrelhts.packaged"};
    for (const char* own : kOwn)
        if (low == QLatin1String(own))
            return QString();
    if (low == exe || low == exe + QLatin1String(".old") || low.endsWith(QLatin1String(".dl"))
        || low.endsWith(QLatin1String(".lock")) || low.startsWith(QLatin1String("kestrel_phts_")))
        return QString();
    return last;
}
