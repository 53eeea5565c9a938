#include "app/SuggestList.h"

#include "app/UiKit.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

const QColor KNameColor{32, 32, 32};
const QColor KCodeColor{80, 80, 80};
const QColor KMarketColor{128, 128, 128};
const QColor KBorder{160, 160, 160};
constexpr double KFontPt = 10;

QString MarketText(QChar mkt)
{
    return mkt == u'2' ? QStringLiteral("코스닥") : QStringLiteral("코스피");
}

}  // namespace

TSugList::TSugList(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setFont(AppFont(KFontPt));
    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // A 1 px grey border, then 1 px of white around the rows: 4 px in all.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setViewportMargins(1, 1, 1, 1);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::WindowText, KBorder);
    setPalette(pal);
    setAutoFillBackground(true);
    viewport()->setAutoFillBackground(true);
    hide();
}

void TSugList::SetItems(const QVector<TSugItem>& items)
{
    FItems = items.mid(0, kSugMaxRows);
    FSel = FItems.isEmpty() ? -1 : 0;
    UpdateScroll();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

QString TSugList::CodeAt(int row) const
{
    return row >= 0 && row < FItems.size() ? FItems[row].Info.Code : QString();
}

QStringList TSugList::Codes() const
{
    QStringList out;
    out.reserve(FItems.size());
    for (const TSugItem& i : FItems)
        out.append(i.Info.Code);
    return out;
}

void TSugList::SetSelected(int row)
{
    if (FItems.isEmpty()) {
        FSel = -1;
        return;
    }
    FSel = std::clamp(row, 0, int(FItems.size()) - 1);
    EnsureVisible(FSel);
    viewport()->update();
}

int TSugList::RowHeight() const
{
    return std::max(1, Scaled(24));
}

int TSugList::VisibleRows() const
{
    // From the widget's own height: the viewport of a hidden list is laid
    // out only when it is shown.
    return std::max(1, (height() - 2 * frameWidth() - 2) / RowHeight());
}

int TSugList::TopRow() const
{
    return verticalScrollBar()->value();
}

int TSugList::RowAt(const QPoint& viewportPos) const
{
    if (viewportPos.y() < 0 || viewportPos.x() < 0 || viewportPos.x() >= viewport()->width())
        return -1;
    const int row = TopRow() + viewportPos.y() / RowHeight();
    return row < FItems.size() ? row : -1;
}

void TSugList::PlaceUnder(const QWidget* box)
{
    QWidget* host = parentWidget();
    if (!box || !host)
        return;
    const QPoint boxTopLeft = host->mapFromGlobal(box->mapToGlobal(QPoint(0, 0)));
    const int rows = std::min<int>(FItems.size(), kVisibleRows);
    setGeometry(boxTopLeft.x() - 2, boxTopLeft.y() + box->height() + 2, Scaled(320),
                rows * RowHeight() + 4);
    UpdateScroll();
}

void TSugList::Popup(const QWidget* box, const QVector<TSugItem>& items)
{
    SetItems(items);
    if (FItems.isEmpty()) {
        hide();
        return;
    }
    PlaceUnder(box);
    SetSelected(0);
    show();
    raise();
}

bool TSugList::HandleKey(int key)
{
    if (!isVisible())
        return false;
    switch (key) {
    case Qt::Key_Escape:
        hide();
        return true;
    case Qt::Key_Up:
        SetSelected(FSel - 1);
        return true;
    case Qt::Key_Down:
        SetSelected(FSel + 1);
        return true;
    case Qt::Key_PageUp:
        SetSelected(FSel - kPageRows);
        return true;
    case Qt::Key_PageDown:
        SetSelected(FSel + kPageRows);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (FSel < 0 || FSel >= FItems.size())
            return false;
        Pick(FSel);
        return true;
    default:
        return false;
    }
}

void TSugList::Pick(int row)
{
    hide();
    if (OnPick)
        OnPick(row);
}

void TSugList::UpdateScroll()
{
    QScrollBar* sb = verticalScrollBar();
    const int visible = VisibleRows();
    sb->setRange(0, std::max(0, int(FItems.size()) - visible));
    sb->setPageStep(visible);
    sb->setSingleStep(1);
}

void TSugList::EnsureVisible(int row)
{
    QScrollBar* sb = verticalScrollBar();
    const int visible = VisibleRows();
    if (row < sb->value())
        sb->setValue(row);
    else if (row >= sb->value() + visible)
        sb->setValue(row - visible + 1);
}

void TSugList::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    UpdateScroll();
}

void TSugList::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    const int rh = RowHeight();
    const int w = viewport()->width();
    const QFont plain = AppFont(KFontPt);
    const QFont bold = AppFont(KFontPt, true);
    const QFontMetrics fmPlain(plain);
    const QFontMetrics fmBold(bold);
    const int pad = Scaled(8);

    p.fillRect(viewport()->rect(), Qt::white);
    const int top = TopRow();
    for (int row = top; row < FItems.size(); ++row) {
        const QRect r(0, (row - top) * rh, w, rh);
        if (r.top() >= viewport()->height())
            break;
        if (row == FSel)
            p.fillRect(r, Colors::SelectedRow);

        const TStockInfo& s = FItems[row].Info;
        const QString market = MarketText(s.Mkt);
        const int marketRight = r.right() + 1 - pad;
        const int marketLeft = marketRight - fmPlain.horizontalAdvance(market);
        const int codeRight = marketLeft - Scaled(10);
        const int codeLeft = codeRight - fmPlain.horizontalAdvance(s.Code);

        p.setFont(plain);
        p.setPen(KMarketColor);
        p.drawText(QRect(marketLeft, r.top(), marketRight - marketLeft, rh),
                   Qt::AlignRight | Qt::AlignVCenter, market);
        p.setPen(KCodeColor);
        p.drawText(QRect(codeLeft, r.top(), codeRight - codeLeft, rh),
                   Qt::AlignRight | Qt::AlignVCenter, s.Code);

        // A name too long for the space before the code is cut with "…".
        const int nameWidth = std::max(0, codeLeft - Scaled(6) - pad);
        p.setFont(bold);
        p.setPen(KNameColor);
        p.drawText(QRect(pad, r.top(), nameWidth, rh), Qt::AlignLeft | Qt::AlignVCenter,
                   fmBold.elidedText(s.Name, Qt::ElideRight, nameWidth));
    }
}

void TSugList::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        const int row = RowAt(e->position().toPoint());
        if (row >= 0)
            SetSelected(row);
    }
    e->accept();
}

void TSugList::mouseReleaseEvent(QMouseEvent* e)
{
    e->accept();
    if (e->button() != Qt::LeftButton)
        return;
    const int row = RowAt(e->position().toPoint());
    if (row >= 0)
        Pick(row);
}
