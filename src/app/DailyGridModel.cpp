#include "app/DailyGridModel.h"

#include "app/UiKit.h"

QVariant TDailyGridModel::headerData(int section, Qt::Orientation o, int role) const
{
    static const char* caps[6] = {"날짜", "종가", "등락률", "거래량", "20일比", "거래대금"};
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 6)
        return QString::fromUtf8(caps[section]);
    return {};
}

QVariant TDailyGridModel::data(const QModelIndex& idx, int role) const
{
    const int r = idx.row();
    if (r < 0 || r >= FT.Count())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return FT.Cell(r, idx.column()).Text;
    case Qt::ForegroundRole:
        return FT.Cell(r, idx.column()).Color;
    case Qt::FontRole:
        return FT.Cell(r, idx.column()).Bold ? AppFont(9, true) : AppFont(9);
    case Qt::TextAlignmentRole:
        return int((idx.column() == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        if (r == Sel)
            return QColor(239, 220, 242);
        return FT.IsToday(r) ? QColor(0xff, 0xfa, 0xe6) : QColor(Qt::white);
    default:
        return {};
    }
}
