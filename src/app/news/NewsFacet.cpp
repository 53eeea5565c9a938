#include "app/news/NewsFacet.h"

#include "app/UiKit.h"
#include "app/news/NewsList.h"
#include "app/news/NewsPaint.h"
#include "app/news/NewsWindow.h"
#include "broker/XingApi.h"
#include "chart/ChartModel.h"
#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/ServerClock.h"
#include "core/ServiceHost.h"
#include "core/Sound.h"
#include "news/NewsViews.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace {

// A chip of the hot-word rows: an opaque bold label that reports clicks.
class THotChip : public QLabel {
public:
    THotChip(QWidget* parent, std::function<void()> click) : QLabel(parent), FClick(std::move(click))
    {
        setFont(AppFont(9, true));
        setAutoFillBackground(true);
        setCursor(Qt::PointingHandCursor);
        setTextFormat(Qt::PlainText);
        hide();
    }

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && FClick)
            FClick();
    }

private:
    std::function<void()> FClick;
};

void Colour(QLabel* l, const QColor& bg, const QColor& fg)
{
    QPalette p = l->palette();
    p.setColor(QPalette::Window, bg);
    p.setColor(QPalette::WindowText, fg);
    l->setPalette(p);
}

}  // namespace

TNewsFacet::TNewsFacet(TAppContext& ctx, QObject* parent)
    : TFacet(ctx, parent), FStore(ctx.FExeDir + QStringLiteral("news")), FGongsiIds({QStringLiteral("15")})
{
    FHotTimer.setInterval(60000);
    connect(&FHotTimer, &QTimer::timeout, this, [this] { RefreshHot(); });
}

TNewsFacet::~TNewsFacet() = default;

QString TNewsFacet::FirstCode(const QString& codes) const
{
    return NewsFirstCode(codes, [this](const QString& c) { return Ctx.NameOf(c); });
}

// ---------------------------------------------------------------- building

void TNewsFacet::BuildNewsPage(TTabSet* tabs)
{
    pcNews = tabs;
    tsNews = tabs->AddPage(QStringLiteral("  오늘 뉴스  "));
    lbNews = new TNewsList(tsNews);
    VBox(tsNews)->addWidget(lbNews);
    lbNews->PaintRow = [this](QPainter& p, const QRect& r, int row, bool sel) {
        if (row >= FNewsView.size())
            return;
        const TNewsRow& n = Rows()[FNewsView[row]];
        TNewsPaintRow pr;
        pr.Row = &n;
        pr.Time = TimeText(n.T);
        pr.Selected = sel;
        pr.Open = !FNewsKey.isEmpty() && n.Key == FNewsKey;
        pr.EarlierDay = n.D != FStore.Day();
        PaintNewsListRow(p, r, pr);
    };
    lbNews->OnClick = [this](int row) {
        if (row >= FNewsView.size())
            return;
        FNewsKey = Rows()[FNewsView[row]].Key;
        lbNews->Refresh();
        ShowNewsMark(FNewsView[row]);
    };
    lbNews->OnDoubleClick = [this](int row) {
        if (row >= FNewsView.size())
            return;
        ShowNewsMark(FNewsView[row]);
        OpenNews(FNewsView[row]);
    };
    lbNews->OnMenu = [this](int row, const QPoint& at) {
        if (row >= FNewsView.size())
            return;
        FNewsKey = Rows()[FNewsView[row]].Key;
        lbNews->Refresh();
        ShowNewsMark(FNewsView[row]);
        NewsMenu(FNewsView[row], at);
    };
    RebuildNewsView();
}

void TNewsFacet::BuildIssuePages(TTabSet* tabs)
{
    pcIssue = tabs;
    tsIssue = tabs->AddPage(QStringLiteral("  이슈 뉴스  "));
    auto* v = VBox(tsIssue);
    QWidget* s1 = MakeStrip(tsIssue, 30, QColor(0xF4, 0xF4, 0xF4));
    lbIssueHead = MakeLabel(s1, 8, 7, QStringLiteral("이슈 뉴스"), QColor(0xE0, 0x80, 0x00), true);
    MakeLabel(s1, 110, 7, QStringLiteral("단어 (, 또는  & 그리고)"), QColor(0x70, 0x70, 0x70));
    edIssue = new QLineEdit(s1);
    edIssue->setFont(AppFont(9));
    edIssue->setPlaceholderText(QStringLiteral("예: 비만약, 양자&컴퓨터, 삼성전자&HBM  — 쉼표는 또는, &는 그리고"));
    edIssue->setGeometry(Scaled(260), Scaled(3), Scaled(500), Scaled(24));
    connect(edIssue, &QLineEdit::textChanged, this, [this] {
        RebuildIssueView();
        LayoutHotChips();
    });
    QWidget* rows[2] = {MakeStrip(tsIssue, 28, QColor(0xFA, 0xFA, 0xFA)), MakeStrip(tsIssue, 28, QColor(0xF6, 0xFA, 0xF6))};
    lbHotHead = MakeLabel(rows[0], 8, 6, QStringLiteral("오늘 이슈"), QColor(0x70, 0x70, 0x70), true);
    lbHot10Head = MakeLabel(rows[1], 8, 6, QStringLiteral("최근 10분"), QColor(0x30, 0x60, 0x30), true);
    for (int i = 0; i < 2 * KHotChips; ++i)
        FHotChip[i] = new THotChip(rows[i / KHotChips], [this, i] { OnHotChipClick(i); });
    lbIssue = new TNewsList(tsIssue);
    v->addWidget(s1);
    v->addWidget(rows[0]);
    v->addWidget(rows[1]);
    v->addWidget(lbIssue, 1);
    // The issue box stretches with its bar.
    OnResize(s1, [this, s1] { edIssue->resize(std::max(Scaled(500), s1->width() - Scaled(270)), Scaled(24)); });
    lbIssue->PaintRow = [this](QPainter& p, const QRect& r, int row, bool sel) {
        if (row >= FIssueView.size())
            return;
        const TNewsRow& n = Rows()[FIssueView[row]];
        TNewsPaintRow pr;
        pr.Row = &n;
        pr.Time = TimeText(n.T);
        pr.Selected = sel;
        pr.Term = IssueMatch(n.Title, IssueTerms(edIssue->text()));
        const QString code = FirstCode(n.Codes);
        pr.Name = code.isEmpty() ? QString() : Ctx.NameOf(code);
        PaintIssueListRow(p, r, pr);
    };
    lbIssue->OnDoubleClick = [this](int row) {
        if (row < FIssueView.size())
            JumpToStock(FIssueView[row], QStringLiteral("이 뉴스에는 관련 종목이 없습니다"), false);
    };
    lbIssue->OnMenu = [this](int row, const QPoint& at) {
        if (row < FIssueView.size())
            NewsMenu(FIssueView[row], at);
    };

    tsFeat = tabs->AddPage(QStringLiteral("  특징주  "));
    lbFeat = new TNewsList(tsFeat);
    VBox(tsFeat)->addWidget(lbFeat);
    lbFeat->PaintRow = [this](QPainter& p, const QRect& r, int row, bool sel) {
        if (row >= FFeatView.size())
            return;
        const TNewsRow& n = Rows()[FFeatView[row]];
        TNewsPaintRow pr;
        pr.Row = &n;
        pr.Time = TimeText(n.T);
        pr.Selected = sel;
        const QString code = FirstCode(n.Codes);
        pr.Name = code.isEmpty() ? QString() : Ctx.NameOf(code);
        pr.Mine = !code.isEmpty() && code == Ctx.FCode;
        PaintFeatListRow(p, r, pr);
    };
    lbFeat->OnDoubleClick = [this](int row) {
        if (row < FFeatView.size())
            JumpToStock(FFeatView[row], QString(), true);
    };
    lbFeat->OnMenu = [this](int row, const QPoint& at) {
        if (row < FFeatView.size())
            NewsMenu(FFeatView[row], at);
    };

    tsGongsi = tabs->AddPage(QStringLiteral("  공시  "));
    lbGongsi = new TNewsList(tsGongsi);
    VBox(tsGongsi)->addWidget(lbGongsi);
    lbGongsi->PaintRow = [this](QPainter& p, const QRect& r, int row, bool sel) {
        if (row >= FGongsiView.size())
            return;
        const TNewsRow& n = Rows()[FGongsiView[row]];
        TNewsPaintRow pr;
        pr.Row = &n;
        pr.Time = TimeText(n.T);
        pr.Selected = sel;
        pr.Important = IsImportantDisclosure(n, FGongsiIds);
        const QString code = FirstCode(n.Codes);
        pr.Name = code.isEmpty() ? QString() : Ctx.NameOf(code);
        PaintGongsiListRow(p, r, pr);
    };
    lbGongsi->OnDoubleClick = [this](int row) {
        if (row < FGongsiView.size())
            JumpToStock(FGongsiView[row], QStringLiteral("이 공시에는 관련 종목이 없습니다"), false);
    };
    lbGongsi->OnMenu = [this](int row, const QPoint& at) {
        if (row < FGongsiView.size())
            NewsMenu(FGongsiView[row], at);
    };
    RebuildIssueView();
    RebuildGongsiView();
    FHotTimer.start();
}

void TNewsFacet::SetTabText(QWidget* page, const QString& text)
{
    for (TTabSet* t : {pcNews, pcIssue}) {
        const int i = t ? t->indexOf(page) : -1;
        if (i >= 0)
            t->setTabText(i, text);
    }
}

void TNewsFacet::NewsMenu(int index, const QPoint& at)
{
    QMenu m;
    m.addAction(QStringLiteral("뉴스 보기"), this, [this, index] { OpenNews(index); });
    m.exec(at);
}

void TNewsFacet::JumpToStock(int index, const QString& noneLine, bool openWithout)
{
    const QString code = FirstCode(Rows()[index].Codes);
    if (code.isEmpty()) {
        if (openWithout)
            OpenNews(index);
        else
            Log(noneLine);
        return;
    }
    if (code != Ctx.FCode && SelectStock)
        SelectStock(code);
    ShowNewsMark(index);
}

// ---------------------------------------------------------------- the store

void TNewsFacet::LoadTodayNews()
{
    const TNewsLoadStats s = FStore.LoadTodayNews(Ctx.Today());
    const QString note = NewsLoadNote(s, NewsFileName(FStore.Day()));
    if (!note.isEmpty())
        Log(note);
    RebuildAll();
}

void TNewsFacet::OnNewsReal(TXAReal* r)
{
    if (FStore.Day() != Ctx.Today()) {
        LoadTodayNews();
        CloseNewsBody();
        FetchServerNews();
    }
    const QString B = QStringLiteral("OutBlock");
    TNewsRow row;
    row.D = r->GetFieldData(B, QStringLiteral("date")).trimmed();
    row.T = r->GetFieldData(B, QStringLiteral("time")).trimmed();
    row.Key = r->GetFieldData(B, QStringLiteral("realkey")).trimmed();
    row.Title = r->GetFieldData(B, QStringLiteral("title")).trimmed();
    row.Codes = r->GetFieldData(B, QStringLiteral("code")).trimmed();
    row.Src = r->GetFieldData(B, QStringLiteral("id")).trimmed();
    const int i = FStore.AddNewsReal(row);
    if (i < 0)
        return;
    const TNewsRow& n = Rows()[i];
    if (!Ctx.FCode.isEmpty() && n.Codes.contains(Ctx.FCode))
        RebuildNewsView();
    const QStringList terms = edIssue ? IssueTerms(edIssue->text()) : QStringList();
    if (!terms.isEmpty() && !IssueMatch(n.Title, terms).isEmpty())
        RebuildIssueView();
    if (IsDisclosure(n, FGongsiIds)) {
        RebuildGongsiView();
        if (IsImportantDisclosure(n, FGongsiIds)) {
            Log(QStringLiteral("★ 중요 공시: ") + NewsHhMm(n.T) + QStringLiteral("  ") + n.Title);
            PlayGongsiSound();
        }
    }
}

void TNewsFacet::FetchServerNews()
{
    const QString day = Ctx.Today();
    Ctx.ServiceHost().Get(ServicePath(TServiceKind::NewsToday) + day, ServiceOptions(TServiceKind::NewsToday), this,
                          [this](const TFetchResult& r) { MergeServerNews(r.Text()); });
}

void TNewsFacet::MergeServerNews(const QString& body)
{
    const TServerMerge m = FStore.MergeServerNews(body);
    if (!m.LogLine.isEmpty())
        Log(m.LogLine);
    if (m.Merged > 0)
        RebuildAll();
}

void TNewsFacet::EnsurePastNews(const QString& day)
{
    const TPastNewsPlan plan = FStore.EnsurePastNews(day);
    if (plan.MinFromChanged || plan.Merged > 0)
        RebuildNewsView();
    for (const QString& d : plan.Fetch)
        Ctx.ServiceHost().Get(ServicePath(TServiceKind::NewsDay) + d, ServiceOptions(TServiceKind::NewsDay), this,
                              [this, d](const TFetchResult& r) {
                                  if (FStore.PastNewsArrived(d, r.Ok, r.Ok ? QString::fromUtf8(r.Body) : QString()) > 0)
                                      RebuildNewsView();
                              });
}

// ---------------------------------------------------------------- the lists

void TNewsFacet::RebuildAll()
{
    RebuildNewsView();
    RebuildIssueView();
    RebuildGongsiView();
    RefreshHot();
}

void TNewsFacet::RebuildNewsView()
{
    FNewsView = NewsViewOf(Rows(), FStore.Day(), Ctx.FCode, FStore.MinNewsFrom());
    if (!lbNews)
        return;
    lbNews->SetPlaceholder(Ctx.FCode.isEmpty()
                               ? QStringLiteral("종목을 고르면 오늘 뉴스가 여기 뜬다")
                               : QStringLiteral("오늘 이 종목 뉴스 없음  (로그인한 뒤 들어온 뉴스부터 쌓이고, 같은 날 다시 켜도 이어진다)"));
    lbNews->SetCount(FNewsView.size());
    SetTabText(tsNews, NewsTabCaption(FNewsView.size()));
}

void TNewsFacet::RebuildIssueView()
{
    const QStringList terms = edIssue ? IssueTerms(edIssue->text()) : QStringList();
    FIssueView = IssueViewOf(Rows(), FStore.Day(), terms);
    if (!lbIssue)
        return;
    lbIssue->SetPlaceholder(!terms.isEmpty()
                                ? QStringLiteral("오늘 이 단어가 든 뉴스 없음")
                                : QStringLiteral("위 칸에 이슈 단어를 적으면 오늘 뉴스가 전 종목에서 모인다 — 쉼표는 또는(비만약, 양자), &는 그리고(삼성전자&HBM)"));
    lbIssue->SetCount(FIssueView.size());
    if (!terms.isEmpty()) {
        lbIssueHead->setText(IssueHeadText(FIssueView.size()));
        lbIssueHead->adjustSize();
    }
}

void TNewsFacet::RebuildGongsiView()
{
    const TGongsiView g = GongsiViewOf(Rows(), FStore.Day(), FGongsiIds);
    FGongsiView = g.View;
    FGongsiImportant = g.Important;
    if (lbGongsi) {
        lbGongsi->SetPlaceholder(QStringLiteral("오늘 공시 없음"));
        lbGongsi->SetCount(FGongsiView.size());
        SetTabText(tsGongsi, GongsiTabCaption(FGongsiView.size(), g.Important));
    }
    RebuildFeatView();
}

void TNewsFacet::RebuildFeatView()
{
    FFeatView = FeatViewOf(Rows(), FStore.Day());
    if (!lbFeat)
        return;
    lbFeat->SetPlaceholder(QStringLiteral("오늘 특징주 뉴스 없음"));
    lbFeat->SetCount(FFeatView.size());
    SetTabText(tsFeat, FeatTabCaption(FFeatView.size()));
}

void TNewsFacet::RepaintNewsList()
{
    if (lbNews)
        lbNews->Refresh();
}

void TNewsFacet::PlayGongsiSound()
{
    const qint64 now = Ctx.Clock().TickMs();
    if (now - FGongsiSndAt < 3000)
        return;
    FGongsiSndAt = now;
    const QString wav = Ctx.FExeDir + QStringLiteral("gongsi.wav");
    if (QFileInfo::exists(wav))
        PlayWave(wav);
    else
        Ding(880, 150);
}

void TNewsFacet::ShowNewsMark(int index)
{
    if (index < 0 || index >= Rows().size())
        return;
    QString key, lab;
    if (!NewsMarkOf(Rows()[index], key, lab))
        return;
    if (TChartModel* chart = MinChart ? MinChart() : nullptr) {
        chart->SetNewsMark(key, lab, true);
        FNewsMarkOn = true;
    }
}

void TNewsFacet::ClearNewsMark()
{
    if (!FNewsMarkOn)
        return;
    if (TChartModel* chart = MinChart ? MinChart() : nullptr)
        chart->SetNewsMark(QString(), QString(), false);
    FNewsMarkOn = false;
}

bool TNewsFacet::KeepsNewsMark(const QWidget* w) const
{
    for (const QWidget* list : {static_cast<const QWidget*>(lbNews), static_cast<const QWidget*>(lbIssue),
                                static_cast<const QWidget*>(lbGongsi)})
        for (const QWidget* p = w; p; p = p->parentWidget())
            if (list && p == list)
                return true;
    return false;
}

// The stock's latest headline that fell in the bar (or up to three minutes
// before it) is selected, the news page comes forward and its minute is
// marked on the chart.
void TNewsFacet::OnMinBarClick(const QString& d, int minPer, TChartModel& minChart)
{
    const int i = FindBarNews(Rows(), FNewsView, d, minPer);
    if (i < 0)
        return;
    QString key, lab;
    if (!NewsMarkOf(Rows()[i], key, lab))
        return;
    FNewsKey = Rows()[i].Key;
    const int row = FNewsView.indexOf(i);
    if (lbNews && row >= 0) {
        lbNews->SetSelected(row);
        if (row < lbNews->TopRow() || row >= lbNews->TopRow() + lbNews->height() / lbNews->RowHeight())
            lbNews->SetTopRow(row);
        lbNews->Refresh();
    }
    if (pcNews)
        pcNews->setCurrentWidget(tsNews);
    minChart.SetNewsMark(key, lab, false);
    FNewsMarkOn = true;
}

// ---------------------------------------------------------------- hot words

void TNewsFacet::RefreshHot()
{
    if (!lbHotHead)
        return;
    FHot = ::RefreshHot(Rows(), FStore.Day(), Ctx.ServerClock().ServerNow(),
                        [this](const QString& c) { return Ctx.NameOf(c); });
    const QTime now = Ctx.Clock().Now().time();
    lbHotHead->setText(HotHeadText(false, now, FHot.Today.isEmpty()));
    lbHot10Head->setText(HotHeadText(true, now, FHot.Recent.isEmpty()));
    lbHotHead->adjustSize();
    lbHot10Head->adjustSize();
    for (int row = 0; row < 2; ++row) {
        const QVector<THot>& words = row == 0 ? FHot.Today : FHot.Recent;
        for (int k = 0; k < KHotChips; ++k) {
            const int i = row * KHotChips + k;
            if (k < words.size()) {
                FHotWord[i] = words[k].W;
                FHotChip[i]->setText(HotChipText(words[k]));
                FHotChip[i]->adjustSize();
                FHotChip[i]->show();
            } else {
                FHotWord[i].clear();
                FHotChip[i]->hide();
            }
        }
    }
    LayoutHotChips();
}

void TNewsFacet::LayoutHotChips()
{
    if (!lbHotHead)
        return;
    const QStringList terms = IssueTerms(edIssue->text());
    for (int row = 0; row < 2; ++row) {
        const QLabel* head = row == 0 ? lbHotHead : lbHot10Head;
        int x = head->x() + head->width() + Scaled(8);
        for (int k = 0; k < KHotChips; ++k) {
            QLabel* chip = FHotChip[row * KHotChips + k];
            if (chip->isHidden())
                continue;
            if (HotIsTerm(FHotWord[row * KHotChips + k], terms))
                Colour(chip, QColor(0xE0, 0x80, 0x00), Qt::white);
            else
                Colour(chip, QColor(0xFA, 0xF0, 0xE6), QColor(0x80, 0x40, 0x00));
            chip->move(x, Scaled(4));
            x += chip->width() + Scaled(6);
        }
    }
}

void TNewsFacet::OnHotChipClick(int chip)
{
    if (chip < 0 || chip >= int(FHotWord.size()) || FHotWord[chip].isEmpty())
        return;
    const QStringList terms = HotChipClick(IssueTerms(edIssue->text()), FHotWord[chip]);
    edIssue->setText(terms.join(QStringLiteral(", ")));
    LayoutHotChips();
}

// ---------------------------------------------------------------- settings

void TNewsFacet::LoadLayout(const TIniFile& ini)
{
    edIssue->setText(ini.ReadString(QStringLiteral("UI"), QStringLiteral("ISSUEKW"), edIssue->text()));
    QStringList ids;
    for (const QString& s : ini.ReadString(QStringLiteral("UI"), QStringLiteral("GONGSI_IDS"), QStringLiteral("15"))
                                .split(QLatin1Char(',')))
        if (!s.trimmed().isEmpty())
            ids << s.trimmed();
    FGongsiIds = GongsiIdsOrDefault(ids);
    RebuildGongsiView();
}

void TNewsFacet::SaveLayout(TIniFile& ini) const
{
    ini.WriteString(QStringLiteral("UI"), QStringLiteral("ISSUEKW"), edIssue->text());
    ini.WriteString(QStringLiteral("UI"), QStringLiteral("GONGSI_IDS"), FGongsiIds.join(QLatin1Char(',')));
}
