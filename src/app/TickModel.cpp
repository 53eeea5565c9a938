#include "app/TickModel.h"

#include "app/UiKit.h"
#include "core/NumFmt.h"

const QVector<TColumn>& TTickModel::Columns()
{
    static const QVector<TColumn> cols = {{QStringLiteral("시각"), 90}, {QStringLiteral("체결가"), 110},
                                          {QStringLiteral("등락률"), 80}, {QStringLiteral("체결량"), 100}};
    return cols;
}

QVariant TTickModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < Columns().size())
        return Columns()[section].Caption;
    return {};
}

QVariant TTickModel::data(const QModelIndex& idx, int role) const
{
    const int r = ListRow(idx.row());
    if (idx.row() < 0 || r >= FTicks.Count())
        return {};
    const TTickRow& t = FTicks.Rows()[r];
    const int c = idx.column();
    switch (role) {
    case Qt::DisplayRole:
        if (c == 0)
            return t.T;
        if (c == 1)
            return FmtNum(t.P);
        if (c == 3)
            return FmtNum(t.V);
        if (PrevClose < 1)
            return QString();
        return FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), (double(t.P) / PrevClose - 1) * 100) +
               QLatin1Char('%');
    case Qt::ForegroundRole:
        if (c == 0)
            return QColor(112, 112, 112);
        if (c == 2)
            return t.P > PrevClose ? Colors::Rise : t.P < PrevClose ? Colors::Fall : Colors::Flat;
        return t.Sd == 1 ? Colors::Rise : t.Sd == 2 ? Colors::Fall : Colors::Flat;
    case Qt::TextAlignmentRole:
        return int((c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        if (HasSel && r - FTicks.Inserted() == SelTick)
            return Colors::SelectedRow;
        return QColor(Qt::white);
    default:
        return {};
    }
}
