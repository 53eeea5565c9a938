#include "app/news/NewsPaint.h"

#include "app/UiKit.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

const QColor kTime(0x80, 0x80, 0x80);
const QColor kTitle(0x20, 0x20, 0x20);
const QColor kRed(0xE5, 0x39, 0x35);
const QColor kSel(0xD2, 0xE6, 0xF7);

// Draws `text` at x (vertically centred) and returns the x after it plus
// `gap`.
int Text(QPainter& p, const QRect& r, int x, const QString& text, const QColor& c, bool bold, int gap)
{
    QFont f = p.font();
    f.setBold(bold);
    p.setFont(f);
    p.setPen(c);
    const int w = QFontMetrics(f).horizontalAdvance(text);
    p.drawText(QRect(x, r.top(), std::max(0, r.right() - x), r.height()), Qt::AlignVCenter | Qt::AlignLeft, text);
    return x + w + gap;
}

// Bold white text on a coloured box 2 px wider each side, inset 3 px top and
// bottom; returns the x after the box plus `gap`.
int Badge(QPainter& p, const QRect& r, int x, const QString& text, const QColor& box, int gap)
{
    QFont f = p.font();
    f.setBold(true);
    p.setFont(f);
    const int w = QFontMetrics(f).horizontalAdvance(text);
    p.fillRect(QRect(x, r.top() + 3, w + 4, r.height() - 6), box);
    p.setPen(Qt::white);
    p.drawText(QRect(x + 2, r.top(), w, r.height()), Qt::AlignVCenter | Qt::AlignLeft, text);
    return x + w + 4 + gap;
}

}  // namespace

void PaintNewsListRow(QPainter& p, const QRect& r, const TNewsPaintRow& row)
{
    p.fillRect(r, row.Open ? kSel : row.Selected ? QColor(0xE6, 0xF0, 0xFA) : QColor(Qt::white));
    const TNewsRow& n = *row.Row;
    QString when = row.Time;
    QColor whenColor = kTime;
    if (row.EarlierDay) {
        when = n.D.mid(4, 2) + QLatin1Char('/') + n.D.mid(6, 2) + QLatin1Char(' ') + row.Time.left(5);
        whenColor = QColor(0x60, 0x80, 0xA0);
    }
    Text(p, r, r.left() + Scaled(8), when, whenColor, false, 0);
    const int titleX = r.left() + Scaled(14) + QFontMetrics(p.font()).horizontalAdvance(QStringLiteral("00/00 00:00:00"));
    Text(p, r, titleX, n.Title, kTitle, row.Open, 0);
}

void PaintIssueListRow(QPainter& p, const QRect& r, const TNewsPaintRow& row)
{
    p.fillRect(r, row.Selected ? kSel : QColor(Qt::white));
    const int gap = Scaled(8);
    int x = Text(p, r, r.left() + Scaled(6), row.Time, kTime, false, gap);
    if (!row.Term.isEmpty())
        x = Badge(p, r, x, row.Term, QColor(0xE0, 0x80, 0x00), gap);
    if (!row.Name.isEmpty())
        x = Text(p, r, x, row.Name, kRed, true, gap);
    Text(p, r, x, row.Row->Title, kTitle, false, 0);
}

void PaintGongsiListRow(QPainter& p, const QRect& r, const TNewsPaintRow& row)
{
    p.fillRect(r, row.Selected ? kSel : row.Important ? QColor(0xFF, 0xE8, 0xE8) : QColor(Qt::white));
    const int gap = Scaled(8);
    int x = Text(p, r, r.left() + Scaled(6), row.Time, kTime, false, gap);
    if (row.Important)
        x = Badge(p, r, x, QStringLiteral("중요"), kRed, gap);
    if (!row.Name.isEmpty())
        x = Text(p, r, x, row.Name, kRed, true, gap);
    Text(p, r, x, row.Row->Title, kTitle, row.Important, 0);
}

void PaintFeatListRow(QPainter& p, const QRect& r, const TNewsPaintRow& row)
{
    p.fillRect(r, row.Selected ? kSel : row.Mine ? QColor(0xFF, 0xFA, 0xE6) : QColor(Qt::white));
    const int gap = Scaled(8);
    int x = Text(p, r, r.left() + Scaled(6), row.Time, kTime, false, gap);
    if (!row.Name.isEmpty())
        x = Text(p, r, x, row.Name, kRed, true, gap);
    Text(p, r, x, row.Row->Title, kTitle, false, 0);
}
