#include "trading/MyOrdBar.h"

#include "core/NumFmt.h"
#include "trading/LadderView.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

TMyOrdBar::TMyOrdBar(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
    setFixedHeight(26);
}

void TMyOrdBar::SetLadder(TLadderView* ladder)
{
    FLadder = ladder;
    update();
}

void TMyOrdBar::SetScale(std::function<int(int)> scale)
{
    FScale = std::move(scale);
    setFixedHeight(FScale ? FScale(26) : 26);
    updateGeometry();
}

QSize TMyOrdBar::sizeHint() const { return QSize(420, FScale ? FScale(26) : 26); }

TMyOrdSummary TMyOrdBar::Summary(const QString& side) const
{
    TMyOrdSummary s;
    const QString name = side == QLatin1String("2") ? QStringLiteral("매수") : QStringLiteral("매도");
    if (!FLadder) {
        s.Text = name + QStringLiteral(" 미체결 없음");
        return s;
    }
    const auto& my = FLadder->Model().My(side);
    if (my.empty()) {
        s.Text = name + QStringLiteral(" 미체결 없음");
        return s;
    }
    s.Any = true;
    qint64 total = 0;
    for (const auto& [p, q] : my)
        total += q;
    const QVector<int> vis = FLadder->VisiblePrices();
    const int top = vis.first(), bottom = vis.last();
    if (top > 0)
        for (const auto& [p, q] : my) {
            if (p > top)
                ++s.Up;
            else if (p < bottom)
                ++s.Down;
        }
    s.Text = QStringLiteral("%1 미체결 %2주 · %3곳").arg(name, FmtNum(total)).arg(int(my.size()));
    if (s.Up > 0)
        s.Text += QStringLiteral("  ▲%1").arg(s.Up);
    if (s.Down > 0)
        s.Text += QStringLiteral("  ▼%1").arg(s.Down);
    return s;
}

void TMyOrdBar::paintEvent(QPaintEvent*)
{
    QPainter g(this);
    const int W = width(), H = height();
    g.fillRect(rect(), Qt::white);
    const int xs = int(std::nearbyint(W * 0.45)), xb = int(std::nearbyint(W * 0.71));

    QFont regular = font();
    regular.setBold(false);
    QFont bold = regular;
    bold.setBold(true);

    auto side = [&](const QString& sd, const QRect& area, const QColor& bg, const QColor& fg) {
        const TMyOrdSummary s = Summary(sd);
        g.fillRect(area, s.Any ? bg : QColor(248, 248, 248));
        g.setFont(s.Any ? bold : regular);
        g.setPen(s.Any ? fg : QColor(160, 160, 160));
        g.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, s.Text);
    };
    side(QStringLiteral("1"), QRect(0, 0, xs, H - 1), QColor(216, 232, 248), QColor(30, 136, 229));
    side(QStringLiteral("2"), QRect(xb, 0, W - xb, H - 1), QColor(255, 228, 228), QColor(229, 57, 53));

    g.setFont(regular);
    g.setPen(QColor(144, 144, 144));
    g.drawText(QRect(xs, 0, xb - xs, H - 1), Qt::AlignCenter | Qt::TextSingleLine, QStringLiteral("내 주문"));
    g.fillRect(QRect(0, H - 1, W, 1), QColor(224, 224, 224));
}

void TMyOrdBar::mouseReleaseEvent(QMouseEvent* e)
{
    if (!FLadder)
        return;
    if (e->button() == Qt::RightButton) {
        FLadder->Recenter();
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    const int W = width(), x = int(e->position().x());
    int p = 0;
    if (x < int(std::nearbyint(W * 0.45)))
        p = FLadder->Model().NearestMy(QStringLiteral("1"));
    else if (x >= int(std::nearbyint(W * 0.71)))
        p = FLadder->Model().NearestMy(QStringLiteral("2"));
    if (p > 0)
        FLadder->CenterOn(p);
}
