#include "lists/ListJson.h"

#include "core/NumFmt.h"
#include "signals/SigText.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <cmath>
#include <limits>

bool ListObject(const QByteArray& body, QJsonObject& o) { return JsonObjectOf(body, KMaxListBody, o); }

int ForEachListItem(const QJsonArray& items, const std::function<void(const QJsonObject&)>& each)
{
    const qsizetype n = std::min<qsizetype>(items.size(), KMaxListItems);
    for (qsizetype i = 0; i < n; ++i)
        if (items.at(i).isObject())
            each(items.at(i).toObject());
    return int(items.size() - n);
}

bool ListItems(const QByteArray& body, QJsonObject& o, QJsonArray& items)
{
    if (!ListObject(body, o))
        return false;
    const QJsonValue v = o.value(QLatin1String("items"));
    if (!v.isArray())
        return false;
    items = v.toArray();
    return true;
}

bool Has(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return !v.isUndefined() && !v.isNull();
}

QString Text(const QJsonObject& o, const char* key, int cap)
{
    return JsonText(o.value(QLatin1String(key)), cap);
}

double Num(const QJsonObject& o, const char* key, double dflt, bool* ok)
{
    const QJsonValue v = o.value(QLatin1String(key));
    double x = 0;
    bool good = false;
    if (v.isDouble()) {
        x = v.toDouble();
        good = std::isfinite(x);
    } else if (v.isString()) {
        QString s = v.toString().left(64);
        s.remove(QLatin1Char(','));
        s.remove(QLatin1Char(' '));
        if (s.startsWith(QLatin1Char('+')))
            s.remove(0, 1);
        x = s.toDouble(&good);
        good = good && std::isfinite(x);
    }
    if (ok)
        *ok = good;
    return good ? x : dflt;
}

qint64 Int(const QJsonObject& o, const char* key, qint64 dflt, bool* ok)
{
    bool good = false;
    const double x = Num(o, key, 0, &good);
    if (ok)
        *ok = good;
    if (!good)
        return dflt;
    constexpr double kMax = 9.2e18;
    return qint64(std::round(std::clamp(x, -kMax, kMax)));
}

bool Flag(const QJsonObject& o, const char* key, bool dflt)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isBool())
        return v.toBool();
    if (v.isDouble())
        return v.toDouble() != 0;
    if (v.isString()) {
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("true") || s == QLatin1String("1") || s == QLatin1String("y"))
            return true;
        if (s == QLatin1String("false") || s == QLatin1String("0") || s == QLatin1String("n"))
            return false;
    }
    return dflt;
}

bool IsListCode(const QString& code) { return IsCodeShape(code); }

bool TakeListCode(const QString& code, const QString& key, const TMasterName& master, QSet<QString>& seen, QString& name)
{
    if (!IsListCode(code) || seen.contains(key))
        return false;
    if (master) {
        const QString known = master(code);
        if (known.isEmpty())
            return false;
        name = known;
    }
    seen.insert(key);
    return true;
}
