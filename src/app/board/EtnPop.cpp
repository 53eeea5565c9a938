// The ETN holdings pop-up: two charts of the history (KOSDAQ150 inverse 2X;
// the semiconductor leveraged and inverse notes) and a column of the
// service's commentary, the notes whose liquidity provider is nearly sold
// out and the big movers.
#include "app/board/BoardFacet.h"

#include "app/UiKit.h"
#include "core/NumFmt.h"

#include <QDialog>
#include <QFontMetrics>
#include <QPainter>

#include <cmath>

namespace {

QString MonthDay(const QString& d) { return d.mid(4, 2) + QStringLiteral("/") + d.mid(6, 2); }

struct TEtnSeries {
    int Slot;
    const char* Label;
    QColor Colour;
};

void DrawPanel(QPainter& p, const TEtnDoc& doc, const QRect& r, const QString& title, const QVector<TEtnSeries>& series, int th)
{
    p.setFont(AppFont(11, true));
    p.setPen(QColor(0x20, 0x20, 0x20));
    p.drawText(r.left(), r.top() - th - Scaled(14) + QFontMetrics(p.font()).ascent(), title);
    int x = r.left() + QFontMetrics(p.font()).horizontalAdvance(title) + Scaled(16);
    p.setFont(AppFont(10, true));
    for (const TEtnSeries& s : series) {
        QString t = QString::fromUtf8(s.Label) + QLatin1Char(' ') + FormatFloat(QStringLiteral("#,##0"), double(doc.Inv[s.Slot]) / 10000) + QStringLiteral("만주");
        if (!doc.PrevDate.isEmpty())
            t += QStringLiteral(" (") + FormatFloat(QStringLiteral("+0.0;-0.0;0.0"), doc.Pct[s.Slot]) + QStringLiteral("%)");
        p.setPen(s.Colour);
        p.drawText(x, r.top() - th - Scaled(12) + QFontMetrics(p.font()).ascent(), t);
        x += QFontMetrics(p.font()).horizontalAdvance(t) + Scaled(16);
    }
    p.setFont(AppFont(9));
    p.setPen(QColor(0xE4, 0xE4, 0xE4));
    p.drawRect(r);
    const int n = int(doc.HD.size());
    if (n <= 0 || r.width() <= 0 || r.height() <= 0)
        return;
    double lo = 0, hi = 0;
    bool any = false;
    for (const TEtnSeries& s : series)
        for (qint64 v : doc.HV[s.Slot]) {
            const double x = double(v) / 10000;
            lo = any ? std::min(lo, x) : x;
            hi = any ? std::max(hi, x) : x;
            any = true;
        }
    if (hi - lo < 1) {
        hi += 1;
        lo -= 1;
    }
    const double pad = (hi - lo) * 0.12;
    hi += pad;
    lo -= pad;
    const auto X = [&](int i) { return PopX(i, n, r.left(), r.width()); };
    const auto Y = [&](double v) { return r.bottom() - (v - lo) / (hi - lo) * r.height(); };
    const QFontMetrics fm(p.font());
    for (int k = 0; k <= 2; ++k) {
        const double level = hi - (hi - lo) * k / 2;
        const int y = int(std::lround(Y(level)));
        if (k == 1) {
            p.setPen(QColor(0xF0, 0xF0, 0xF0));
            p.drawLine(r.left() + 1, y, r.right() - 1, y);
        }
        p.setPen(QColor(0x90, 0x90, 0x90));
        p.drawText(r.right() + Scaled(6), y + fm.ascent() / 2 - 1, FormatFloat(QStringLiteral("#,##0"), level) + QStringLiteral("만"));
    }
    for (int k = 0; k <= 2; ++k) {
        const int t = k * (n - 1) / 2;
        if ((n <= 2 && k >= 1 && t == 0) || (n == 1 && k > 0))
            continue;
        const QString label = MonthDay(doc.HD.value(t));
        const int w = fm.horizontalAdvance(label);
        const int left = std::clamp(int(std::lround(X(t))) - w / 2, r.left(), std::max(r.left(), r.right() - w));
        p.drawText(left, r.bottom() + Scaled(4) + fm.ascent(), label);
    }
    for (const TEtnSeries& s : series) {
        const QVector<qint64>& v = doc.HV[s.Slot];
        p.setPen(QPen(s.Colour, 2));
        for (int i = 1; i < n && i < v.size(); ++i)
            p.drawLine(QPointF(X(i - 1), Y(double(v[i - 1]) / 10000)), QPointF(X(i), Y(double(v[i]) / 10000)));
        if (n <= 60) {
            p.setPen(Qt::NoPen);
            p.setBrush(s.Colour);
            for (int i = 0; i < n && i < v.size(); ++i)
                p.drawEllipse(QPointF(X(i), Y(double(v[i]) / 10000)), 3, 3);
            p.setBrush(Qt::NoBrush);
        }
    }
}

} // namespace

void TBoardFacet::ShowEtnPop()
{
    FetchEtn();
    QDialog* d = MakePopWindow(QStringLiteral("ETN 개인 보유 추이  (하루 한 번 · 전날 20시 거래소 공시 기준)"), 1100, 0.75, 640, 0.75,
                               &FEtnPB, [this](QPainter& p, const QRect& r) { PaintEtn(p, r); }, false);
    Exec(d);
}

void TBoardFacet::PaintEtn(QPainter& p, const QRect& r)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    if (!FEtn.Ok) {
        p.setFont(AppFont(11));
        p.setPen(QColor(0x90, 0x90, 0x90));
        p.drawText(r, Qt::AlignCenter, FEtn.Msg.isEmpty() ? QStringLiteral("불러오는 중...") : FEtn.Msg);
        return;
    }
    const TEtnDoc& doc = FEtn.Doc;
    p.setFont(AppFont(9));
    const int th = QFontMetrics(p.font()).height();
    p.setPen(QColor(0x80, 0x80, 0x80));
    const QString head = (doc.PrevDate.isEmpty() ? QStringLiteral("기준 %1 (첫날 — 전일 대비는 다음 날부터)").arg(MonthDay(doc.Date))
                                                 : QStringLiteral("기준 %1 (전일 %2 대비)").arg(MonthDay(doc.Date), MonthDay(doc.PrevDate))) +
                         QStringLiteral("   ·   투자자 보유 = 상장수량 − LP 보유   ·   인버스↑ = 개인 하락 베팅↑");
    p.drawText(Scaled(16), Scaled(8) + QFontMetrics(p.font()).ascent(), head);
    const int xs = r.left() + (r.right() - r.left()) * 52 / 100;
    const int mid = (r.top() + r.bottom()) / 2;
    const QRect upper(QPoint(Scaled(16), Scaled(30) + 2 * th + Scaled(16)), QPoint(xs - Scaled(80), mid + Scaled(14) - th - Scaled(30)));
    const QRect lower(QPoint(Scaled(16), mid + Scaled(14) + th + Scaled(16)), QPoint(xs - Scaled(80), r.bottom() - th - Scaled(14)));
    DrawPanel(p, doc, upper, QStringLiteral("코스닥150 인버스2X"), {{0, "개인 보유", QColor(0x1E, 0x88, 0xE5)}}, th);
    DrawPanel(p, doc, lower, QStringLiteral("반도체"), {{2, "레버리지", QColor(0xE5, 0x39, 0x35)}, {3, "인버스", QColor(0x1E, 0x88, 0xE5)}}, th);
    if (doc.HD.size() < 2) {
        p.setFont(AppFont(10));
        p.setPen(QColor(0xA0, 0xA0, 0xA0));
        const QString hint = QStringLiteral("추이는 이틀 이상 쌓이면 선으로 이어진다 (지금 %1일)").arg(doc.HD.size());
        p.drawText(QRect(upper.left(), upper.top() + Scaled(12), upper.width(), th * 2), Qt::AlignHCenter | Qt::AlignTop, hint);
    }
    // The text column.
    int y = Scaled(30) + th;
    const int right = r.right() - Scaled(16);
    auto line = [&](const QString& text, const QFont& f, const QColor& c, int gap) {
        p.setFont(f);
        p.setPen(c);
        p.drawText(xs, y + QFontMetrics(f).ascent(), text);
        y += QFontMetrics(f).height() + Scaled(gap);
    };
    line(QStringLiteral("지금 상황 — 개인 ETN 포지션으로 본 해석"), AppFont(11, true), QColor(0x20, 0x20, 0x20), 14);
    if (doc.Notes.isEmpty())
        line(QStringLiteral("(서버에 해석이 아직 없음 — etn_refresh 갱신 필요)"), AppFont(10), QColor(0x90, 0x90, 0x90), 10);
    for (const QString& note : doc.Notes) {
        if (y > r.bottom() - 3 * th)
            break;
        const int bar = int(note.indexOf(QLatin1Char('|')));
        const QString kind = bar < 0 ? QString() : note.left(bar), text = note.mid(bar + 1);
        const bool sum = kind == QLatin1String("sum");
        const QColor c = kind == QLatin1String("up") ? QColor(0xE5, 0x39, 0x35) : kind == QLatin1String("dn") ? QColor(0x1E, 0x88, 0xE5)
                         : sum ? QColor(0x20, 0x20, 0x20) : QColor(0x80, 0x80, 0x80);
        const QString mark = kind == QLatin1String("up") ? QStringLiteral("▲") : kind == QLatin1String("dn") ? QStringLiteral("▼") : sum ? QStringLiteral("■") : QStringLiteral("·");
        if (sum)
            y += Scaled(6);
        p.setFont(AppFont(10, sum));
        p.setPen(c);
        p.drawText(xs, y + QFontMetrics(p.font()).ascent(), mark);
        const QRect box(xs + Scaled(14), y, std::max(10, right - xs - Scaled(14)), r.bottom() - y);
        QRect used;
        p.drawText(box, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text, &used);
        y = used.bottom() + Scaled(8);
        if (sum)
            y += Scaled(6);
    }
    y += Scaled(14);
    line(QStringLiteral("개인이 몰린 ETN — 투자자 70% 이상 (LP 물량 소진)"), AppFont(10, true), QColor(0xE0, 0x80, 0x00), 8);
    p.setFont(AppFont(9));
    const QColor body(0x40, 0x40, 0x40);
    if (doc.Low.isEmpty())
        line(QStringLiteral("없음"), AppFont(9), body, 4);
    for (int i = 0; i < doc.Low.size() && i < 10 && y <= r.bottom() - th - Scaled(6); ++i)
        line(doc.Low[i], AppFont(9), body, 3);
    y += Scaled(14);
    if (y < r.bottom() - 3 * th) {
        line(QStringLiteral("전일 대비 크게 변한 ETN (개인 보유 10만 주 이상 변화)"), AppFont(10, true), QColor(0x20, 0x20, 0x20), 8);
        if (doc.Mov.isEmpty())
            line(QStringLiteral("(전일 자료가 쌓이면 표시)"), AppFont(9), body, 3);
        for (int i = 0; i < doc.Mov.size() && i < 15 && y <= r.bottom() - th - Scaled(6); ++i)
            line(doc.Mov[i], AppFont(9), body, 3);
    }
}
