#include "sim/SimReply.h"
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
        const QString type = i < block.Specs.size() ? block.Specs[i].Type : QString();
        FBlank.append(type == QLatin1String("char") || type.isEmpty() ? QString() : QStringLiteral("0"));
    }
}

void TSimBlockFill::NewRow()
{
    FData.Rows.append(FBlank);
}

void TSimBlockFill::Set(const QString& field, const QString& value)
{
    if (FData.Rows.isEmpty())
        NewRow();
    const int i = FData.Fields.indexOf(field);
    if (i >= 0)
        FData.Rows.last()[i] = value;
}

void TSimBlockFill::SetReal(const QString& field, double value, int decimals)
{
    if (!std::isfinite(value))
        value = 0;
    const double scale = std::pow(10.0, decimals);
    double r = std::round(value * scale) / scale;
    if (r == 0)
        r = 0;
    Set(field, QString::number(r, 'f', decimals));
}
