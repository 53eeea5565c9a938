#include "news/NewsAd.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {
QString Line(const QString& s)
{
    QString t = s;
    const qsizetype nl = t.indexOf(QRegularExpression(QStringLiteral("[\\r\\n]")));
    if (nl >= 0)
        t.truncate(nl);
    return t.trimmed().left(80);
}
}  // namespace

bool ApplyNewsAd(const QByteArray& body, TNewsAd& ad)
{
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    auto take = [&o](const char* name, QString& into, bool line) {
        const QJsonValue v = o.value(QLatin1String(name));
        if (!v.isString())
            return;
        const QString s = line ? Line(v.toString()) : v.toString().trimmed();
        if (!s.isEmpty())
            into = s;
    };
    take("line1", ad.Line1, true);
    take("line2", ad.Line2, true);
    take("url", ad.Url, false);
    return true;
}

bool NewsAdOpens(const QString& url)
{
    return url.startsWith(QLatin1String("https://")) || url.startsWith(QLatin1String("http://"));
}
