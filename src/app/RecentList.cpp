#include "app/RecentList.h"

#include "app/UiKit.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor KHoverBg{218, 230, 242};
const QColor KCodeColor{96, 96, 96};
const QColor KNameColor{32, 32, 32};
const QColor KRemoveColor{80, 80, 80};
const QColor KFooterColor{64, 64, 64};
const QColor KFooterLine{224, 224, 224};
const QColor KBorder{160, 160, 160};
constexpr int KInset = 2;  // 1 px border and 1 px of white around the rows
constexpr double KFontPt = 9;

}  // namespace

TRecentList::TRecentList(QWidget* parent)
    : QWidget(parent)
{
    setFont(AppFont(KFontPt));
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    hide();
}

void TRecentList::Open(const QWidget* box, const QStringList& codes)
{
    FCodes = codes;
    FHover = -1;
    if (QWidget* host = parentWidget(); box && host) {
        const QPoint boxTopLeft = host->mapFromGlobal(box->mapToGlobal(QPoint(0, 0)));
        setGeometry(boxTopLeft.x(), boxTopLeft.y() + box->height() + 1, Scaled(260),
                    RowCount() * RowHeight() + 2 * KInset);
    }
    show();
    raise();
    update();
}

int TRecentList::RowHeight() const
{
    return std::max(1, Scaled(24));
}

int TRecentList::RemoveZone() const
{
    return Scaled(28);
}

QRect TRecentList::RowRect(int row) const
{
    return QRect(KInset, KInset + row * RowHeight(), width() - 2 * KInset, RowHeight());
}

int TRecentList::RowAt(const QPoint& pos) const
{
    if (pos.x() < 0 || pos.x() >= width() || pos.y() < KInset)
        return -1;
    const int row = (pos.y() - KInset) / RowHeight();
    return row < RowCount() ? row : -1;
}

void TRecentList::SetHover(int row)
{
    if (row == FHover)
        return;
    FHover = row;
    update();
}

void TRecentList::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(KBorder);
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    const QFont font = AppFont(KFontPt);
    const QFontMetrics fm(font);
    p.setFont(font);
    const int codeX = Scaled(8);
    const int nameX = codeX + fm.horizontalAdvance(QStringLiteral("000000")) + Scaled(10);
    const int removeX = width() - Scaled(20);

    for (int row = 0; row < RowCount(); ++row) {
        const QRect r = RowRect(row);
        if (row == FHover)
            p.fillRect(r, KHoverBg);
        if (row == FooterRow()) {
            p.setPen(KFooterLine);
            p.drawLine(r.left(), r.top(), r.right(), r.top());
            p.setPen(KFooterColor);
            const QString text = FCodes.isEmpty() ? QStringLiteral("최근 조회 종목 없음")
                                                  : QStringLiteral("×  전체삭제");
            p.drawText(QRect(codeX, r.top(), r.right() - codeX, r.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, text);
            continue;
        }
        const QString& code = FCodes[row];
        p.setPen(KCodeColor);
        p.drawText(QRect(codeX, r.top(), nameX - codeX, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   code);
        const QString name = NameOf ? NameOf(code) : code;
        const int nameRight = (row == FHover ? removeX - Scaled(4) : r.right());
        p.setPen(KNameColor);
        p.drawText(QRect(nameX, r.top(), std::max(0, nameRight - nameX), r.height()),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(name, Qt::ElideRight, std::max(0, nameRight - nameX)));
        if (row == FHover) {
            p.setPen(KRemoveColor);
            p.drawText(QRect(removeX, r.top(), r.right() - removeX, r.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("×"));
        }
    }
}

void TRecentList::mouseMoveEvent(QMouseEvent* e)
{
    SetHover(RowAt(e->position().toPoint()));
}

void TRecentList::leaveEvent(QEvent*)
{
    SetHover(-1);
}

void TRecentList::mouseReleaseEvent(QMouseEvent* e)
{
    e->accept();
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint pos = e->position().toPoint();
    const int row = RowAt(pos);
    if (row < 0)
        return;
    if (row == FooterRow()) {
        hide();
        if (OnClearAll)
            OnClearAll();
        return;
    }
    const QString code = FCodes[row];
    if (pos.x() >= width() - RemoveZone()) {
        if (OnRemove)
            OnRemove(code);
        return;
    }
    hide();
    if (OnPickCode)
        OnPickCode(code);
}
