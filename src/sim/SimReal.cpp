#include "sim/SimReal.h"
#include <QFileInfo>

TSimReal::TSimReal(TSimExchange* exchange, QObject* parent) : TXAReal(parent), FEx(exchange) {}

TSimReal::~TSimReal()
{
    UnadviseRealData();
}

void TSimReal::SetResFileName(const QString& path)
{
    if (path == FRes)
        return;
    UnadviseRealData();
    FRes = path;
    FTr.clear();
    FKey.clear();
    TResLayout layout;
    const QString code = QFileInfo(path).completeBaseName();
    if (LoadResLayout(path, layout) && layout.Feed && layout.Code.compare(code, Qt::CaseInsensitive) == 0)
        FTr = layout.Code;
}

void TSimReal::SetFieldData(const QString& block, const QString& field, const QString& value)
{
    Q_UNUSED(block);
    Q_UNUSED(field);
    FKey = value.trimmed();
}

void TSimReal::AdviseRealData()
{
    if (!FEx || FTr.isEmpty() || FKeys.contains(FKey))
        return;
    if (FEx->Advise(this, FTr, FKey))
        FKeys.insert(FKey);
}

void TSimReal::UnadviseRealData()
{
    const QSet<QString> keys = FKeys;
    for (const QString& k : keys)
        UnadviseRealDataWithKey(k);
}

void TSimReal::UnadviseRealDataWithKey(const QString& key)
{
    const QString k = key.trimmed();
    if (!FKeys.remove(k))
        return;
    if (FEx)
        FEx->Unadvise(this, FTr, k);
}

QString TSimReal::GetFieldData(const QString& block, const QString& field) const
{
    if (!FCur)
        return {};
    if (block != QLatin1String("OutBlock") && block.compare(QLatin1String("OutBlock"), Qt::CaseInsensitive) != 0)
        return {};
    return FCur->Field(field);
}

void TSimReal::Deliver(const QString& tr, const TSimRealRecord* rec)
{
    // A nested delivery (a handler pumping the exchange) restores the outer record.
    const TSimRealRecord* outer = FCur;
    FCur = rec;
    QPointer<TSimReal> self(this);
    emit ReceiveRealData(tr);
    if (self)
        FCur = outer;
}
