#include "app/UiKit.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include "core/Fonts.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QSplitter>
#include <QSplitterHandle>
#include <QStandardItemModel>
#include <QStaticText>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>
#include <vector>

namespace {
int gUnit = 0;
}

QFont AppFont(double pt, bool bold)
{
    QFont f;
    f.setFamilies(UiFontFamilies());
    f.setPointSizeF(pt);
    f.setBold(bold);
    return f;
}

int ScaleUnit()
{
    if (gUnit == 0) {
        QFontMetrics fm(AppFont(9));
        int u = fm.boundingRect(QStringLiteral("가")).height();
        u = qMax(u, fm.height());
        gUnit = u < 10 ? 16 : u;
    }
    return gUnit;
}

void SetScaleUnit(int u) { gUnit = u < 10 ? 16 : u; }

int Scaled(int n) { return n * ScaleUnit() / 16; }

// ---- tabs ----

TTabBar::TTabBar(QWidget* parent) : QTabBar(parent)
{
    setFont(AppFont(9));
    setDrawBase(false);
    setExpanding(false);
    setElideMode(Qt::ElideNone);
    setUsesScrollButtons(true);
}

QSize TTabBar::tabSizeHint(int index) const
{
    QFont bold = AppFont(9, true);
    int w = QFontMetrics(bold).horizontalAdvance(tabText(index).trimmed()) + Scaled(24);
    return QSize(w, Scaled(26));
}

void TTabBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    for (int i = 0; i < count(); ++i) {
        QRect r = tabRect(i);
        bool active = i == currentIndex();
        p.fillRect(r.adjusted(0, 0, -1, 0), active ? Colors::TabActive : Colors::TabIdle);
        p.setFont(AppFont(9, active));
        p.setPen(active ? QColor(Qt::white) : Colors::TabIdleText);
        p.drawText(r.translated(0, 1), Qt::AlignCenter, tabText(i).trimmed());
    }
}

TTabSet::TTabSet(QWidget* parent) : QTabWidget(parent)
{
    setTabBar(new TTabBar(this));
    setDocumentMode(true);
    setFont(AppFont(9));
    setStyleSheet(QStringLiteral("QTabWidget::pane { border: 0; background: white; }"));
}

QWidget* TTabSet::AddPage(const QString& caption)
{
    auto* page = new QWidget;
    page->setAutoFillBackground(true);
    QPalette pal = page->palette();
    pal.setColor(QPalette::Window, Qt::white);
    page->setPalette(pal);
    addTab(page, caption);
    return page;
}

// ---- grids and headers ----

static QString GridStyle()
{
    return QStringLiteral(
               "QTableView { border: 0; gridline-color: #dcdcdc; background: white;"
               " selection-background-color: rgb(210,230,247); selection-color: rgb(48,48,48); }"
               "QHeaderView::section { background: rgb(240,240,240); color: rgb(80,80,80);"
               " border: 0; border-right: 1px solid #d0d0d0; border-bottom: 1px solid #d0d0d0; padding: 0 2px; }");
}

QTableWidget* MakeGrid(QWidget* parent, const QVector<TColumn>& cols)
{
    auto* g = new QTableWidget(1, cols.size(), parent);
    StyleGrid(g, cols);
    QStringList caps;
    for (const TColumn& c : cols)
        caps << c.Caption;
    g->setHorizontalHeaderLabels(caps);
    return g;
}

void StyleGrid(QTableView* g, const QVector<TColumn>& cols)
{
    g->setFont(AppFont(9));
    g->setFrameShape(QFrame::NoFrame);
    g->setStyleSheet(GridStyle());
    g->setShowGrid(true);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->verticalHeader()->setVisible(false);
    g->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    g->verticalHeader()->setDefaultSectionSize(Scaled(20));
    g->horizontalHeader()->setFixedHeight(Scaled(20));
    g->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    g->horizontalHeader()->setHighlightSections(false);
    g->horizontalHeader()->setSectionsClickable(false);
    g->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    for (int i = 0; i < cols.size(); ++i)
        g->setColumnWidth(i, Scaled(cols[i].Width));
}

namespace {

class TGridCellDelegate : public QStyledItemDelegate {
public:
    TGridCellDelegate(int left, int right, int top, QObject* parent)
        : QStyledItemDelegate(parent), FLeft(Scaled(left)), FRight(Scaled(right)), FTop(top < 0 ? -1 : Scaled(top))
    {
    }
    void paint(QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& idx) const override
    {
        const QRect r = opt.rect;
        const QVariant bg = idx.data(Qt::BackgroundRole);
        p->fillRect(r, bg.canConvert<QBrush>() ? bg.value<QBrush>() : QBrush(Qt::white));
        p->setPen(QColor(240, 240, 240));
        p->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        const QString text = idx.data(Qt::DisplayRole).toString();
        if (text.isEmpty())
            return;
        const QVariant font = idx.data(Qt::FontRole);
        p->setFont(font.canConvert<QFont>() ? font.value<QFont>() : opt.font);
        const QVariant fg = idx.data(Qt::ForegroundRole);
        p->setPen(fg.canConvert<QBrush>() ? fg.value<QBrush>().color() : QColor(48, 48, 48));
        const Qt::Alignment al = Qt::Alignment(idx.data(Qt::TextAlignmentRole).toInt());
        const bool right = al & Qt::AlignRight;
        QRect tr = r.adjusted(FLeft, 0, -FRight, -1);
        int flags = (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::TextSingleLine;
        if (FTop >= 0) {
            tr.setTop(r.top() + FTop);
            flags |= Qt::AlignTop;
        } else {
            flags |= Qt::AlignVCenter;
        }
        // A text that fits is drawn from its layout of an earlier paint: the
        // rows of a live list move down a row a trade, their texts stay.
        qreal lineH = 0;
        if (const TShaped* t = Shaped(text, p->font(), &lineH); t && t->W <= tr.width() + 1) {
            const qreal x = right ? tr.x() + tr.width() - t->W : tr.x();
            const qreal y = FTop >= 0 ? tr.y() : tr.y() + (tr.height() - lineH) / 2;
            p->drawStaticText(QPointF(x, y), t->St);
            return;
        }
        p->drawText(tr, flags, QFontMetrics(p->font()).elidedText(text, Qt::ElideRight, tr.width() + 1));
    }

    static inline bool GCache = true;   // off: every text laid out afresh (for comparing)

private:
    struct TShaped {
        QStaticText St;
        qreal W = 0;
    };
    // Texts per font (a grid has one or two: regular and bold).
    struct TFontTexts {
        QFont Font;
        qreal LineH = 0;
        QHash<QString, TShaped> Texts;
    };
    const TShaped* Shaped(const QString& s, const QFont& f, qreal* lineH) const
    {
        if (!GCache)
            return nullptr;
        auto ft = std::find_if(FFonts.begin(), FFonts.end(), [&](const TFontTexts& x) { return x.Font == f; });
        if (ft == FFonts.end()) {
            if (FFonts.size() >= 4)
                FFonts.clear();
            FFonts.push_back({f, QFontMetricsF(f).height(), {}});
            ft = FFonts.end() - 1;
        }
        *lineH = ft->LineH;
        auto it = ft->Texts.constFind(s);
        if (it == ft->Texts.cend()) {
            if (ft->Texts.size() >= 2048)   // prices and volumes keep coming new
                ft->Texts.clear();
            TShaped t;
            t.St.setTextFormat(Qt::PlainText);
            t.St.setText(s);
            t.St.prepare(QTransform(), f);
            t.W = t.St.size().width();
            it = ft->Texts.insert(s, std::move(t));
        }
        return &*it;
    }

    int FLeft, FRight, FTop;
    mutable std::vector<TFontTexts> FFonts;
};

} // namespace

void SetGridTextCache(bool on) { TGridCellDelegate::GCache = on; }

TQuietScrollBar::TLook TQuietScrollBar::Look() const
{
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return {style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this),
            value() == minimum(), value() == maximum()};
}

void TQuietScrollBar::sliderChange(SliderChange change)
{
    if (FPainted && (change == SliderRangeChange || change == SliderValueChange) && Look() == FShown)
        return;
    QScrollBar::sliderChange(change);
}

void TQuietScrollBar::paintEvent(QPaintEvent* e)
{
    FShown = Look();
    FPainted = true;
    QScrollBar::paintEvent(e);
}

void TLabelFit::SetText(QLabel* l, const QString& text)
{
    l->setText(text);
    if (l->font() != FFont) {
        FFont = l->font();
        FSizes.clear();
    }
    const auto it = FSizes.constFind(text);
    if (it != FSizes.cend()) {
        l->resize(*it);
        return;
    }
    l->adjustSize();
    if (FSizes.size() >= 512)   // volumes keep coming new
        FSizes.clear();
    FSizes.insert(text, l->size());
}

void TPaintBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (OnPaint)
        OnPaint(p, rect());
}

void DrawGridCells(QTableView* g, int left, int right, int top)
{
    g->setShowGrid(false);
    g->setItemDelegate(new TGridCellDelegate(left, right, top, g));
}

QHeaderView* MakeHeader(QWidget* parent, const QVector<TColumn>& cols)
{
    auto* model = new QStandardItemModel(0, cols.size(), parent);
    auto* h = new QHeaderView(Qt::Horizontal, parent);
    h->setModel(model);
    h->setFont(AppFont(9));
    h->setStyleSheet(GridStyle());
    h->setFixedHeight(Scaled(22));
    h->setSectionsClickable(false);
    h->setHighlightSections(false);
    h->setMinimumSectionSize(Scaled(16));
    h->setStretchLastSection(false);
    h->setSectionResizeMode(QHeaderView::Interactive);
    for (int i = 0; i < cols.size(); ++i) {
        model->setHeaderData(i, Qt::Horizontal, cols[i].Caption);
        h->resizeSection(i, Scaled(cols[i].Width));
    }
    return h;
}

QList<int> HeaderWidths(const QHeaderView* h)
{
    QList<int> w;
    for (int i = 0; i < h->count(); ++i)
        w << h->sectionSize(i);
    return w;
}

void ApplyHeaderWidths(QHeaderView* h, const QList<int>& widths)
{
    for (int i = 0; i < widths.size() && i < h->count(); ++i)
        if (widths[i] > 0)
            h->resizeSection(i, widths[i]);
}

namespace {

// The handle paints its own grey: a style sheet on the splitter would make
// every region added to it re-resolve its style, which dominated start-up.
class TSplitterHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(208, 208, 208)); }
};

class TSplitter : public QSplitter {
public:
    using QSplitter::QSplitter;

protected:
    QSplitterHandle* createHandle() override { return new TSplitterHandle(orientation(), this); }
};

} // namespace

QSplitter* MakeSplitter(Qt::Orientation o, QWidget* parent)
{
    auto* s = new TSplitter(o, parent);
    s->setHandleWidth(5);
    s->setChildrenCollapsible(false);
    s->setOpaqueResize(false);
    return s;
}

QWidget* MakePanel(QWidget* parent, const QColor& bg)
{
    auto* w = new QWidget(parent);
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, bg);
    w->setPalette(pal);
    return w;
}

TColorButton::TColorButton(const QString& caption, const QColor& bg, double pt, QWidget* parent)
    : QLabel(caption, parent)
{
    setAlignment(Qt::AlignCenter);
    setFont(AppFont(pt, true));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, bg);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    setCursor(Qt::PointingHandCursor);
}

void TColorButton::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && OnClick)
        OnClick();
}

namespace {
class TResizeWatch : public QObject {
public:
    TResizeWatch(QWidget* w, std::function<void()> fn) : QObject(w), FFn(std::move(fn)) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Resize)
            FFn();
        return false;
    }
private:
    std::function<void()> FFn;
};
}

void OnResize(QWidget* w, std::function<void()> fn) { new TResizeWatch(w, std::move(fn)); }

void Place(QWidget* w, int left, int top, int width, int height)
{
    QSize hint = w->sizeHint();
    w->setGeometry(Scaled(left), Scaled(top), width < 0 ? hint.width() : Scaled(width),
                   height < 0 ? hint.height() : Scaled(height));
}

QLabel* MakeLabel(QWidget* parent, int left, int top, const QString& text, const QColor& color, bool bold)
{
    auto* l = new QLabel(text, parent);
    l->setFont(AppFont(9, bold));
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    l->adjustSize();
    l->move(Scaled(left), Scaled(top));
    return l;
}

QVBoxLayout* VBox(QWidget* w)
{
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    return l;
}

QWidget* MakeStrip(QWidget* parent, int height, const QColor& bg)
{
    QWidget* s = MakePanel(parent, bg);
    s->setFixedHeight(Scaled(height));
    return s;
}

QCheckBox* MakeCheck(QWidget* parent, int left, int top, const QString& text, const QColor& color, bool bold)
{
    auto* c = new QCheckBox(text, parent);
    c->setFont(AppFont(9, bold));
    QPalette p = c->palette();
    p.setColor(QPalette::WindowText, color);
    c->setPalette(p);
    c->setChecked(true);
    c->adjustSize();
    c->move(Scaled(left), Scaled(top));
    return c;
}

QPushButton* MakeButton(QWidget* parent, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setFont(AppFont(9));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QList<int> IntListOf(const QString& text)
{
    QList<int> out;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int v = part.trimmed().toInt(&ok);
        out << (ok ? v : 0);
    }
    return out;
}

QString IntListText(const QList<int>& v)
{
    QStringList s;
    for (int x : v)
        s << QString::number(x);
    return s.join(QLatin1Char(','));
}

TFrameUpdate::TFrameUpdate(QObject*, std::function<void()> fn) : FTask(std::move(fn)) {}
