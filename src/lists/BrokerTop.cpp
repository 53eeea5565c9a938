#include "lists/BrokerTop.h"

#include "core/NumFmt.h"

#include <QStringList>

bool IsForeignBroker(const QString& name)
{
    static const QStringList kFragments = [] {
        QStringList l = {QStringLiteral("모간"),   QStringLiteral("모건"),     QStringLiteral("메릴"),   QStringLiteral("JP"),
                         QStringLiteral("제이피"), QStringLiteral("골드만"),   QStringLiteral("UBS"),    QStringLiteral("유비에스"),
                         QStringLiteral("CS"),     QStringLiteral("크레디"),   QStringLiteral("CLSA"),   QStringLiteral("씨엘"),
                         QStringLiteral("맥쿼리"), QStringLiteral("맥커리"),   QStringLiteral("노무라"), QStringLiteral("도이치"),
                         QStringLiteral("씨티"),   QStringLiteral("시티"),     QStringLiteral("HSBC"),   QStringLiteral("홍콩상하이"),
                         QStringLiteral("바클레이"), QStringLiteral("BNP"),    QStringLiteral("비엔피"), QStringLiteral("다이와"),
                         QStringLiteral("미쓰비시"), QStringLiteral("SG"),     QStringLiteral("소시에테"), QStringLiteral("외국계")};
        for (QString& f : l)
            f = f.toUpper();
        return l;
    }();
    const QString up = name.toUpper();
    for (const QString& f : kFragments)
        if (up.contains(f))
            return true;
    return false;
}

QString BrokerAnswerCode(const QString& shcode)
{
    QString code = shcode.trimmed();
    if (code.size() > 6)
        code = code.right(6);
    return code;
}

bool ReadBrokerTop(const std::function<QString(const QString& field)>& field, const QString& asked, TBrokerTop* out)
{
    const QString code = BrokerAnswerCode(field(QStringLiteral("shcode")));
    if (!code.isEmpty() && code != asked)
        return false;
    TBrokerTop t;
    for (int k = 1; k <= 5; ++k) {
        const QString n = QString::number(k);
        t.Name[k - 1] = field(QStringLiteral("offerno") + n).trimmed().left(20);
        t.Vol[k - 1] = ParseInt(field(QStringLiteral("dvol") + n));
        t.Cha[k - 1] = ParseInt(field(QStringLiteral("dcha") + n));
        t.Name[4 + k] = field(QStringLiteral("bidno") + n).trimmed().left(20);
        t.Vol[4 + k] = ParseInt(field(QStringLiteral("svol") + n));
        t.Cha[4 + k] = ParseInt(field(QStringLiteral("scha") + n));
    }
    t.FVol = {ParseInt(field(QStringLiteral("fwdvl"))), ParseInt(field(QStringLiteral("fwsvl")))};
    t.FCha = {ParseInt(field(QStringLiteral("ftradmdcha"))), ParseInt(field(QStringLiteral("ftradmscha")))};
    *out = t;
    return true;
}

QString BrokerChangeText(qint64 v)
{
    if (v > 0)
        return QStringLiteral("+") + FmtNum(v);
    if (v < 0)
        return FmtNum(v);
    return QStringLiteral("·");
}
