#include "sim/SimOrder.h"

QString TSimOrder::Status() const
{
    if (Kind == TSimOrdKind::Cancel)
        return QStringLiteral("취소확인");
    if (Rem() > 0)
        return Filled > 0 ? QStringLiteral("부분체결") : (Kind == TSimOrdKind::Modify ? QStringLiteral("정정확인") : QStringLiteral("접수"));
    if (Filled >= Qty)
        return QStringLiteral("체결");
    if (Filled > 0)
        return QStringLiteral("부분체결");
    return QStringLiteral("정정·취소됨");
}

QString TSimOrder::KindText() const
{
    switch (Kind) {
    case TSimOrdKind::Modify: return QStringLiteral("정정");
    case TSimOrdKind::Cancel: return QStringLiteral("취소");
    default: return QStringLiteral("보통");
    }
}
