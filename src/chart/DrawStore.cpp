#include "chart/DrawStore.h"
#include "core/SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QStringDecoder>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// UTF-8 to text keeping a leading U+FEFF: QString::fromStdString drops it,
// and a key read that way could not be found again under its own name.
QString FromUtf8Exact(const std::string& u)
{
    QStringDecoder dec(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return dec.decode(QByteArrayView(u.data(), qsizetype(u.size())));
}


using json = nlohmann::ordered_json;

const QString KSaveFail = QStringLiteral("!! 그린 것 저장 실패: ");

QString Str(const json& o, const char* name)
{
    const auto it = o.find(name);
    if (it == o.end() || !it->is_string())
        return {};
    return FromUtf8Exact(it->get<std::string>());
}

double Num(const json& o, const char* name)
{
    const auto it = o.find(name);
    if (it == o.end() || !it->is_number())
        return 0;
    const double v = it->get<double>();
    return std::isfinite(v) ? v : 0;
}

// Whole prices are written as integers (71000, not 71000.0).
json NumJson(double v)
{
    if (!std::isfinite(v))
        return 0;
    if (v == std::trunc(v) && std::fabs(v) < 9.0e15)
        return static_cast<std::int64_t>(v);
    return v;
}

// The serializer writes \b \f \n \r \t in short form; the file uses \u for
// every control character.
std::string LongEscapes(const std::string& s)
{
    std::string r;
    r.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c != '\\' || i + 1 >= s.size()) {
            r += c;
            continue;
        }
        const char e = s[++i];
        const char* code = nullptr;
        switch (e) {
        case 'b': code = "\\u0008"; break;
        case 'f': code = "\\u000c"; break;
        case 'n': code = "\\u000a"; break;
        case 'r': code = "\\u000d"; break;
        case 't': code = "\\u0009"; break;
        default: break;
        }
        if (code) {
            r += code;
        } else {
            r += '\\';
            r += e;
        }
    }
    return r;
}

const QByteArray KBom("\xEF\xBB\xBF");

// Reads and parses the store file. Empty when the file is usable (*out then
// holds it) or missing (*out untouched); else what is wrong with it.
QString ReadStoreFile(const QString& path, json* out)
{
    const TFileRead file = ReadRegularFile(path, TDrawStore::kMaxFileBytes);
    if (file.State == TFileRead::Missing)
        return {};
    if (file.State == TFileRead::Refused)
        return file.Why;
    const QByteArray& body = file.Bytes;

    // The parser checks the UTF-8 of every string. Drawings sit three levels
    // deep; far deeper nesting is refused, as writing it back would recurse
    // once per level.
    const qsizetype skip = body.startsWith(KBom) ? KBom.size() : 0;
    bool tooDeep = false;
    json j;
    try {
        j = json::parse(body.constBegin() + skip, body.constEnd(),
                        [&tooDeep](int depth, json::parse_event_t, json&) {
                            if (depth <= TDrawStore::kMaxDepth)
                                return true;
                            tooDeep = true;
                            return false; // dropped; the file is refused below
                        });
    } catch (const json::parse_error& e) {
        return QStringLiteral("JSON 형식이 아니거나 UTF-8 이 아닙니다, %1번째 바이트")
            .arg(qint64(e.byte) + skip);
    } catch (const json::exception& e) {
        return QStringLiteral("JSON 으로 읽을 수 없습니다: ") + QString::fromUtf8(e.what());
    }
    if (tooDeep)
        return QStringLiteral("%1 단계보다 깊게 겹쳐 있습니다").arg(TDrawStore::kMaxDepth);
    if (!j.is_object())
        return QStringLiteral("맨 바깥이 JSON 객체가 아닙니다");
    *out = std::move(j);
    return {};
}

// Renames from to `to` unless something already has that name; errno tells
// why not.
bool RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    // A file system without that flag: look first.
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
}

// Renames a damaged file to "<path>.bad-<stamp>", "-2", "-3", ... when that
// is taken. Returns the new path, or empty with *why.
QString MoveAside(const QString& path, QString* why)
{
    const QString stem = path + QStringLiteral(".bad-")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QByteArray from = QFile::encodeName(path);
    for (int n = 1; n <= 1000; ++n) {
        const QString to = n == 1 ? stem : stem + QLatin1Char('-') + QString::number(n);
        if (RenameNoReplace(from, QFile::encodeName(to)))
            return to;
        if (errno != EEXIST) {
            *why = qt_error_string(errno);
            return {};
        }
    }
    *why = QStringLiteral("쓸 수 있는 이름이 없습니다");
    return {};
}

} // namespace

TDrawStore::TDrawStore(const QString& path) : FPath(path) {}

QString TDrawStore::Load()
{
    FStore = json::object();
    FNoSave.clear();
    const QString why = ReadStoreFile(FPath, &FStore);
    if (why.isEmpty())
        return {};

    // Every other stock's drawings are in there: keep the file, under a new
    // name, before anything is saved.
    const QString name = QFileInfo(FPath).fileName();
    QString moveWhy;
    const QString aside = MoveAside(FPath, &moveWhy);
    if (!aside.isEmpty())
        return QStringLiteral("!! %1 을 읽을 수 없어 %2 로 옮겨 두었습니다 (%3)")
            .arg(name, QDir::toNativeSeparators(aside), why);
    FNoSave = QStringLiteral("%1 을 읽을 수 없고 옮기지도 못해 덮어쓰지 않습니다").arg(name);
    return QStringLiteral("!! %1 을 읽을 수 없고 옮기지도 못해 (%2) 그린 것을 저장하지 않습니다 (%3): %4")
        .arg(name, moveWhy, why, QDir::toNativeSeparators(FPath));
}

QString TDrawStore::DrawKey(const QString& code, bool minute, int dayPer)
{
    if (code.isEmpty())
        return {};
    if (minute)
        return code + QStringLiteral("|N");
    static const char* const suffix[] = {"|D", "|W", "|M"};
    return code + QLatin1String(suffix[std::max(0, std::min(dayPer, 2))]);
}

QVector<TDrawObj> TDrawStore::Draws(const QString& key) const
{
    QVector<TDrawObj> r;
    if (key.isEmpty())
        return r;
    const auto it = FStore.find(key.toStdString());
    if (it == FStore.end() || !it->is_array())
        return r;
    for (const json& e : *it) {
        if (!e.is_object())
            continue;
        TDrawObj d;
        const QString k = Str(e, "k");
        d.K = k.isEmpty() ? QLatin1Char('H') : k.at(0);
        d.D1 = Str(e, "d1");
        d.D2 = Str(e, "d2");
        d.P1 = Num(e, "p1");
        d.P2 = Num(e, "p2");
        r.append(d);
    }
    return r;
}

QString TDrawStore::SaveDraws(const QString& key, const QVector<TDrawObj>& draws)
{
    if (key.isEmpty())
        return {};
    const std::string k = key.toStdString();
    FStore.erase(k);
    if (!draws.isEmpty()) {
        json arr = json::array();
        for (const TDrawObj& d : draws) {
            json o = json::object();
            o["k"] = QString(d.K).toStdString();
            o["d1"] = d.D1.toStdString();
            o["d2"] = d.D2.toStdString();
            o["p1"] = NumJson(d.P1);
            o["p2"] = NumJson(d.P2);
            arr.push_back(std::move(o));
        }
        FStore[k] = std::move(arr);
    }
    return Save();
}

QByteArray TDrawStore::Serialize() const
{
    const std::string text =
        LongEscapes(FStore.dump(-1, ' ', true, json::error_handler_t::replace));
    return KBom + QByteArray::fromStdString(text);
}

QString TDrawStore::Save() const
{
    if (!FNoSave.isEmpty())
        return KSaveFail + FNoSave;
    QSaveFile f(FPath);
    if (!f.open(QIODevice::WriteOnly))
        return KSaveFail + f.errorString();
    const QByteArray body = Serialize();
    if (f.write(body) != body.size()) {
        const QString why = f.errorString();
        f.cancelWriting();
        return KSaveFail + why;
    }
    if (!f.commit())
        return KSaveFail + f.errorString();
    return {};
}

QStringList TDrawStore::Keys() const
{
    QStringList r;
    for (auto it = FStore.begin(); it != FStore.end(); ++it)
        r.append(FromUtf8Exact(it.key()));
    return r;
}
