#include "sim/SimQuery.h"
#include "sim/SimLimits.h"
#include <QFileInfo>

TSimQuery::TSimQuery(TSimExchange* exchange, QObject* parent) : TXAQuery(parent), FEx(exchange) {}

void TSimQuery::SetResFileName(const QString& path)
{
    FRes = path;
    FIn.clear();
}

void TSimQuery::SetFieldData(const QString& block, const QString& field, int idx, const QString& value)
{
    if (idx >= 0)
        FIn.insert(TSimExchange::InputKey(block, field, idx), value);
}

const TSimBlockData* TSimQuery::Readable(const QString& block) const
{
    const TSimBlockData* b = FData.Block(block);
    if (!b)
        return nullptr;
    for (const QString& c : FData.Compressed)
        if (c.compare(block, Qt::CaseInsensitive) == 0 && !FUnpacked.contains(block.toLower()))
            return nullptr;
    return b;
}

QString TSimQuery::GetFieldData(const QString& block, const QString& field, int idx) const
{
    const TSimBlockData* b = Readable(block);
    if (!b || idx < 0 || idx >= b->Rows.size())
        return {};
    const int i = b->IndexOf(field);
    return i >= 0 ? b->Rows[idx][i] : QString();
}

int TSimQuery::GetBlockCount(const QString& block) const
{
    const TSimBlockData* b = Readable(block);
    return b ? b->Rows.size() : 0;
}

int TSimQuery::Decompress(const QString& block)
{
    // An answer that was not compressed gives its records as they stand.
    const TSimBlockData* b = FData.Block(block);
    if (!b)
        return -1;
    FUnpacked.insert(block.toLower());
    return b->Rows.size();
}

QString TSimQuery::GetBlockData(const QString& block) const
{
    const TSimBlockData* b = Readable(block);
    if (!b)
        return {};
    QString out;
    for (const QStringList& row : b->Rows)
        for (const QString& v : row)
            out += v;
    return out;
}

int TSimQuery::Request(bool next)
{
    FError.clear();
    if (!FEx) {
        FError = QStringLiteral("모의 거래소가 없습니다");
        return -1;
    }
    const QFileInfo fi(FRes);
    const QString tr = fi.completeBaseName();
    if (FRes.isEmpty() || !fi.isFile()) {
        FError = QStringLiteral("Res 파일이 없습니다: %1").arg(FRes);
        return -2;
    }
    TResLayout layout;
    QString err;
    if (!LoadResLayout(FRes, layout, &err)) {
        FError = err;
        return -3;
    }
    if (layout.Feed || layout.Code.compare(tr, Qt::CaseInsensitive) != 0) {
        FError = QStringLiteral("Res 파일 %1 은 %2 조회의 형식이 아닙니다").arg(FRes, tr);
        return -3;
    }
    const int id = FEx->Submit(this, layout.Code, layout, FIn, next);
    if (id == kSimRateRefused)
        FError = QStringLiteral("%1 조회 전송 제한: 초당 %2건을 넘었습니다").arg(layout.Code).arg(TrPerSec(layout.Code));
    return id;
}

void TSimQuery::Deliver(const QString& tr, const TSimReply& reply, int id)
{
    QPointer<TSimQuery> self(this);
    FAnswerId = id;
    for (const TSimMessage& m : reply.Before) {
        emit ReceiveMessage(m.SystemError, m.Code, m.Text);
        if (!self)
            return;
    }
    if (reply.HasData) {
        FData.HasData = true;
        FData.Blocks = reply.Blocks;
        FData.Compressed = reply.Compressed;
        FUnpacked.clear();
        emit ReceiveData(tr);
        if (!self)
            return;
    }
    for (const TSimMessage& m : reply.After) {
        emit ReceiveMessage(m.SystemError, m.Code, m.Text);
        if (!self)
            return;
    }
}

int TSimQuery::GetTRCountBaseSec(const QString& tr) const
{
    Q_UNUSED(tr);
    return 1;
}

int TSimQuery::GetTRCountPerSec(const QString& tr) const
{
    return TrPerSec(tr);
}

int TSimQuery::GetTRCountLimit(const QString& tr) const
{
    return FEx && IsChartTr(tr) ? FEx->Config().ChartCap10Min : 0;
}
