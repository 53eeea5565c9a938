#include "chart/DrawStore.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <cmath>

namespace {

using json = nlohmann::ordered_json;

const QString KSaveFail = QStringLiteral("!! 그린 것 저장 실패: ");

QString Str(const json& o, const char* name)
{
    const auto it = o.find(name);
    if (it == o.end() || !it->is_string())
        return {};
    return QString::fromStdString(it->get<std::string>());
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

} // namespace

TDrawStore::TDrawStore(const QString& path) : FPath(path) {}

void TDrawStore::Load()
{
    FStore = json::object();
    QFile f(FPath);
    if (!f.open(QIODevice::ReadOnly))
        return;
    QByteArray body = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    json j = json::parse(body.constBegin(), body.constEnd(), nullptr, false);
    if (j.is_object())
        FStore = std::move(j);
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
    return QByteArray("\xEF\xBB\xBF") + QByteArray::fromStdString(text);
}

QString TDrawStore::Save() const
{
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
        r.append(QString::fromStdString(it.key()));
    return r;
}
