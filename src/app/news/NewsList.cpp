#include "app/news/NewsList.h"

#include "app/UiKit.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

TNewsList::TNewsList(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setFont(AppFont(11.7));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(pal);
}

int TNewsList::RowHeight() const { return Scaled(FRowDesign); }

void TNewsList::SetRowLook(int designHeight, double pt)
{
    FRowDesign = std::max(8, designHeight);
    setFont(AppFont(pt));
    UpdateBar();
    viewport()->update();
}

int TNewsList::TopRow() const { return verticalScrollBar()->value(); }

void TNewsList::SetTopRow(int row) { verticalScrollBar()->setValue(row); }

void TNewsList::UpdateBar()
{
    const int visible = std::max(1, viewport()->height() / RowHeight());
    QScrollBar* sb = verticalScrollBar();
    sb->setRange(0, std::max(0, FCount - visible));
    sb->setPageStep(visible);
    sb->setSingleStep(1);
}

void TNewsList::SetCount(int n)
{
    const int top = TopRow();
    FCount = std::max(0, n);
    if (FSel >= FCount)
        FSel = -1;
    UpdateBar();
    if (top < FCount)
        SetTopRow(top);
    viewport()->update();
}

void TNewsList::SetPlaceholder(const QString& text)
{
    FPlaceholder = text;
    if (FCount == 0)
        viewport()->update();
}

void TNewsList::SetSelected(int row)
{
    FSel = row >= 0 && row < FCount ? row : -1;
    viewport()->update();
}

void TNewsList::Refresh() { viewport()->update(); }

int TNewsList::RowAt(const QPoint& pos) const
{
    if (pos.y() < 0)
        return -1;
    const int row = TopRow() + pos.y() / RowHeight();
    return row < FCount ? row : -1;
}

void TNewsList::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    const int h = RowHeight();
    const int w = viewport()->width();
    p.fillRect(viewport()->rect(), Qt::white);
    auto line = [&](int y) {
        p.setPen(QColor(0xF0, 0xF0, 0xF0));
        p.drawLine(0, y + h - 1, w, y + h - 1);
    };
    if (FCount == 0) {
        p.setPen(QColor(0x90, 0x90, 0x90));
        p.drawText(QRect(Scaled(8), 0, w - Scaled(8), h), Qt::AlignVCenter | Qt::AlignLeft, FPlaceholder);
        line(0);
        return;
    }
    for (int row = TopRow(), y = 0; row < FCount && y < viewport()->height(); ++row, y += h) {
        const QRect r(0, y, w, h);
        if (PaintRow) {
            p.save();
            PaintRow(p, r, row, row == FSel);
            p.restore();
        }
        line(y);
    }
}

void TNewsList::mousePressEvent(QMouseEvent* e)
{
    const int row = RowAt(e->position().toPoint());
    if (row < 0)
        return;
    SetSelected(row);
    if (e->button() == Qt::RightButton) {
        if (OnMenu)
            OnMenu(row, e->globalPosition().toPoint());
        return;
    }
    if (e->button() == Qt::LeftButton && OnClick)
        OnClick(row);
}

void TNewsList::mouseDoubleClickEvent(QMouseEvent* e)
{
    const int row = RowAt(e->position().toPoint());
    if (row < 0 || e->button() != Qt::LeftButton)
        return;
    SetSelected(row);
    if (OnDoubleClick)
        OnDoubleClick(row);
}

void TNewsList::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    UpdateBar();
}
