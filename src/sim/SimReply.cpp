#include "sim/SimReply.h"
#include "sim/SimAnswers.h"
#include <cmath>

const TSimBlockData* TSimReply::Block(const QString& name) const
{
    for (const TSimBlockData& b : Blocks)
        if (b.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &b;
    return nullptr;
}

TSimBlockFill::TSimBlockFill(const TResBlock& block)
{
    FData.Name = block.Name;
    for (int i = 0; i < block.Fields.size(); ++i) {
        FData.Fields.append(block.Fields[i].Name);
        FBlank.append(i < block.Specs.size() && block.Specs[i].Numeric() ? QStringLiteral("0") : QString());
    }
}

void TSimBlockFill::NewRow()
{
    FData.Rows.append(FBlank);
}

int TSimBlockFill::IndexOf(const char* field) const
{
    const QLatin1StringView name(field);
    for (int i = 0; i < FData.Fields.size(); ++i)
        if (FData.Fields[i] == name)
            return i;
    return -1;
}

void TSimBlockFill::Put(int index, const QString& value)
{
    if (FData.Rows.isEmpty())
        NewRow();
    if (index >= 0)
        FData.Rows.last()[index] = value;
}

QString TSimBlockFill::Real(double value, int decimals)
{
    if (!std::isfinite(value))
        value = 0;
    const double scale = std::pow(10.0, decimals);
    double r = std::round(value * scale) / scale;
    if (r == 0)
        r = 0;
    return QString::number(r, 'f', decimals);
}

TSimReply MessageOnly(const QString& code, const QString& text)
{
    TSimReply r;
    r.Before.append(SimMsgOf(code, text));
    return r;
}

const TResBlock* OutBlock(const TResLayout& layout, const QString& name)
{
    const TResBlock* b = layout.Block(name);
    return b && !b->Input ? b : nullptr;
}

TSimReply LayoutLacks(const QString& blocks)
{
    return MessageOnly(SimMsg::kBadInput, QStringLiteral("결과 형식 파일에 %1 블록이 없습니다.").arg(blocks));
}
