// The article window of the news facet: the body request, the page with its
// summary card, the page files and the advertisement line.
#include "app/news/NewsFacet.h"

#include "app/UiKit.h"
#include "app/news/NewsList.h"
#include "app/news/NewsWindow.h"
#include "broker/ReqQueue.h"
#include "broker/XingApi.h"
#include "core/ServiceHost.h"
#include "news/NewsHtml.h"
#include "news/NewsViews.h"
#include "news/Summary.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QScreen>
#include <QTemporaryDir>
#include <QUrl>

namespace {
const QString kT3102 = QStringLiteral("t3102");

}  // namespace

int TNewsFacet::NewsDpi() const
{
    const QScreen* s = QApplication::primaryScreen();
    return s ? qRound(s->logicalDotsPerInch()) : 96;
}

void TNewsFacet::OpenNews(int index)
{
    if (index < 0 || index >= Rows().size())
        return;
    const TNewsRow row = Rows()[index];
    FNewsKey = row.Key;
    RepaintNewsList();
    const QString code = FirstCode(row.Codes);
    const QString stock = code.isEmpty() ? QString() : Ctx.NameOf(code) + QLatin1Char(' ') + code;
    const QString when = TimeText(row.T);
    if (!FNewsDir) {
        // Pages live in a folder of our own, readable by this user only and
        // removed with the program.
        FNewsDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kestrel-news-XXXXXX"));
        if (!FNewsDir->isValid())
            Log(QStringLiteral("!! 뉴스 화면 실패: 임시 폴더를 만들지 못했습니다"));
    }
    TNewsWindowInit init;
    init.Caption = QStringLiteral("뉴스  ") + when + (code.isEmpty() ? QString() : QStringLiteral("  ") + Ctx.NameOf(code));
    init.TimeLine = when + (stock.isEmpty() ? QString() : QStringLiteral("   ") + stock);
    init.Title = row.Title;
    init.Ad1 = FAd.Line1;
    init.Ad2 = FAd.Line2;
    init.PageDir = FNewsDir->path();
    init.OnAdClick = [this] { OpenAdUrl(); };
    TNewsWindow w(init, Window ? Window() : nullptr);
    if (!FNewsDir->isValid())
        return;
    FNewsWB = &w;
    const auto cached = FNewsBody.constFind(row.Key);
    if (cached != FNewsBody.constEnd()) {
        ShowNewsPage(*cached);
    } else {
        ShowNewsNote(QStringLiteral("본문 불러오는 중..."));
        ReqNewsBody(row.Key);
    }
    if (OnNewsWindow)
        OnNewsWindow(&w);
    else
        w.exec();
    FNewsWB = nullptr;
}

void TNewsFacet::ReqNewsBody(const QString& key)
{
    if (!Ctx.FLogged) {
        ShowNewsNote(QStringLiteral("로그인해야 본문을 볼 수 있다"));
        return;
    }
    // Only the headline opened last is fetched.
    Ctx.FQ->ClearTr(kT3102);
    Ctx.FQ->Add(kT3102, [this, key] {
        TXAQuery* q = Ctx.B.qNews;
        if (!Ctx.SetQueryRes(q, kT3102))
            return;
        FNewsReqKey = key;
        q->SetFieldData(QStringLiteral("t3102InBlock"), QStringLiteral("sNewsno"), 0, key);
        if (Ctx.Send(q, false, {QString(), 0, 0}) < 0)
            Log(QStringLiteral("!! 뉴스 본문 조회 실패 #") + key);
    });
}

void TNewsFacet::OnNewsBody(TXAQuery* q)
{
    const QString block = QStringLiteral("t3102OutBlock1");
    const int n = std::max(1, q->GetBlockCount(block));
    QString joined;
    for (int i = 0; i < n; ++i)
        joined += q->GetFieldData(block, QStringLiteral("sBody"), i);
    const QString text = PickNewsBody(joined, q->GetBlockData(block));
    const int odd = OddCount(text);
    const QString caption = Caption(FNewsReqKey);
    if (odd > 0)
        Log(QStringLiteral("뉴스 본문 [%1] 의심 글자 %2개: %3").arg(caption).arg(odd).arg(OddSamples(text, 5)));
    const QString body = NormaliseNewsBody(text);
    QString problem;
    const QString card = SummaryCard(caption, body, &problem);
    if (!problem.isEmpty())
        Log(QStringLiteral("!! 공시 요약 없음 [%1]: %2").arg(caption, problem));
    QString pageProblem;
    QString page = NewsPage(body, NewsDpi(), &pageProblem);
    if (!pageProblem.isEmpty())
        Log(QStringLiteral("!! 뉴스 본문 [%1]: %2").arg(caption, pageProblem));
    page = InsertCard(page, card);
    if (!FNewsReqKey.isEmpty())
        FNewsBody.insert(FNewsReqKey, page);
    if (FNewsReqKey == FNewsKey)
        ShowNewsPage(page);
}

void TNewsFacet::ShowNewsPage(const QString& html)
{
    if (!FNewsWB || !FNewsDir || !FNewsDir->isValid())
        return;
    ++FNewsSeq;   // twenty files in turn
    const QString file = FNewsDir->filePath(QStringLiteral("kest_news_%1.html").arg(FNewsSeq % 20));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Log(QStringLiteral("!! 뉴스 화면 실패: ") + f.errorString());
        return;
    }
    f.write("\xEF\xBB\xBF");
    f.write(html.toUtf8());
    f.close();
    FNewsWB->ShowFile(file);
    FNewsShown = file;
}

void TNewsFacet::ShowNewsNote(const QString& text) { ShowNewsPage(NewsNotePage(text, NewsDpi())); }

void TNewsFacet::CloseNewsBody()
{
    FNewsKey.clear();
    RepaintNewsList();
}

void TNewsFacet::FetchAd()
{
    Ctx.ServiceHost().Get(ServicePath(TServiceKind::NewsAd), ServiceOptions(TServiceKind::NewsAd), this,
                          [this](const TFetchResult& r) {
                              if (r.Ok && !r.Body.isEmpty())
                                  ApplyNewsAd(r.Body, FAd);
                          });
}

void TNewsFacet::OpenAdUrl()
{
    if (NewsAdOpens(FAd.Url))
        QDesktopServices::openUrl(QUrl(FAd.Url));
}
