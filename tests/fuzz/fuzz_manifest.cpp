// The update manifest: any bytes. Whatever it reads, every hash is empty or
// 64 lower-case hex digits, sizes are not negative, the signed text is one
// line per value, no unsigned manifest is ever wanted, and a side file's
// name is never one of the program's own files nor leaves its folder.
#include "update/Manifest.h"

#include <cstdint>
#include <cstdlib>

namespace {
bool HexOrEmpty(const QString& s)
{
    if (s.isEmpty())
        return true;
    if (s.size() != 64)
        return false;
    for (const QChar c : s)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    TManifest m;
    if (!ParseManifest(body, m))
        return 0;
    if (!HexOrEmpty(m.Sha256) || m.Size < 0 || m.Build < 0)
        std::abort();
    const QByteArray text = ManifestSignedText(m);
    if (text.count('\n') != 5 + m.Files.size())
        std::abort();
    static const QByteArray pub(32, '\x11');
    if (UpdateWanted(m, pub, 0, QString(), nullptr) && m.Sig.size() != 64)
        std::abort();
    for (const TManifestFile& f : m.Files) {
        if (!HexOrEmpty(f.Sha256) || f.Size < 0)
            std::abort();
        const QString name = SideFileName(f.Name, QStringLiteral("kestrelhts"));
        if (name.contains(QLatin1Char('/')) || name == QLatin1String("..") || name.compare(QLatin1String("hts.ini"), Qt::CaseInsensitive) == 0)
            std::abort();
    }
    return 0;
}
