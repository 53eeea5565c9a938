// The news page: cleaning a body down to harmless tags, the plain text the
// disclosure rules read, the page frame, and bodies written to break them.
#include "Fixtures.h"
#include "news/NewsHtml.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {


// Empty when every tag of `html` is one CleanNewsHtml may write, else the
// first offending tag (or an unterminated "<").
QString ForeignTag(const QString& html)
{
    static const QRegularExpression allowed(QStringLiteral(
        R"(^<(br|b|/b|a|/a|a href="https?://[^"<>]*"|img src="https?://[^"<>]*")>$)"),
        QRegularExpression::CaseInsensitiveOption);
    for (qsizetype i = html.indexOf(u'<'); i >= 0; i = html.indexOf(u'<', i + 1)) {  // a value holds no "<"
        const qsizetype gt = html.indexOf(u'>', i);
        if (gt < 0)
            return html.mid(i, 40);
        const QString tag = html.mid(i, gt - i + 1);
        if (!allowed.match(tag).hasMatch() || tag.contains(QStringLiteral("javascript:"), Qt::CaseInsensitive))
            return tag;
    }
    return QString();
}

} // namespace

TEST(NewsHtml, CleanTags)
{
    struct Case { const char* in; const char* want; };
    const Case cases[] = {
        {"<P>Hello<br/>world</P>", "Hello<br>world"},
        {"a<br><br/><BR><p><div>b", "a<br><br>b"},
        {"a <br>\r\n <br> b", "a <br>\r\n <br> b"},  // two breaks stay as they are
        {"x<script>alert(1)</script>y", "xy"},
        {"x<SCRIPT type=a>1</Script >y<style>p{}</style>z", "xyz"},
        {"x<script>never closed <b>y</b>", "x"},
        {"x<style>never closed", "x"},
        {"<img alt=\"x\" src='https://a.kr/a.png'>", "<img src=\"https://a.kr/a.png\">"},
        {"a<img alt=\"x\">b", "ab"},
        {"<a href=\"https://n.kr/1\" target=_blank>기사</a>", "<a href=\"https://n.kr/1\">기사</a>"},
        {"<a name=x>t</a>", "<a>t</a>"},
        {"<strong>굵게</STRONG> <b>b</b>", "<b>굵게</b> <b>b</b>"},
        {"<table><tr><td>1</td><td>2</td></tr></table>", "12"},
        {"<h2>제목</h2>본문<li>하나</li>", "제목<br>본문<br>하나"},
        {"a<!-- 주석 -->b<span class=x>c</span>", "abc"},
        {"&lt;그대로&gt; &amp; &nbsp;", "&lt;그대로&gt; &amp; &nbsp;"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CleanNewsHtml(U(c.in)), U(c.want)) << c.in;
}

// Whatever the body holds, the page gets no script, no event handler, no
// address other than http(s), and no half tag the frame could complete.
TEST(NewsHtml, HostileBodies)
{
    struct Case { const char* what; QString in; const char* want; };
    const QString spaces(100000, QLatin1Char(' '));
    const Case cases[] = {
        {"javascript link", U("<a href=\"javascript:alert(1)\">x</a>"), "<a>x</a>"},
        {"javascript link, blanks and case", U("<a href='  JaVaScRiPt:alert(1)'>x</a>"), "<a>x</a>"},
        {"file link", U("<a href=file:///etc/passwd>x</a>"), "<a>x</a>"},
        {"file image", U("<img src=\"file:///C:/secret.png\">"), ""},
        {"data image", U("<img src=\"data:image/svg+xml,<svg onload=alert(1)>\">"), "\">"},
        {"event handlers", U("<a href=\"https://a.kr\" onclick=\"x()\">a</a><img src=https://a.kr/i.png onerror=x()>"),
         "<a href=\"https://a.kr\">a</a><img src=\"https://a.kr/i.png\">"},
        {"bracket in address", U("<a href=\"https://a.kr/<script>\">a</a>"), "<a href=\"https://a.kr/&lt;script\">\">a</a>"},
        {"quote in address", U("<a href='https://a.kr/\"onmouseover=\"x()'>a</a>"),
         "<a href=\"https://a.kr/&quot;onmouseover=&quot;x()\">a</a>"},
        {"remote script", U("a<script src=\"https://evil.kr/x.js\"></script>b"), "ab"},
        {"iframe and object", U("a<iframe src=https://evil.kr></iframe><object data=x></object>b"), "ab"},
        {"svg handler", U("<svg onload=alert(1)><circle/></svg>t"), "t"},
        {"unterminated script tag", U("text <script src=https://evil.kr/x.js"), "text &lt;script src=https://evil.kr/x.js"},
        {"unterminated tag", U("a < b"), "a &lt; b"},
        {"nested script", U("<scr<script>x</script>ipt>alert(1)</script>"), "xipt>alert(1)"},
        {"spaces after a break", U("<br>") + spaces + U("x"), "x"},
        {"spaces between breaks", U("a<br>") + spaces + U("<br>") + spaces + U("<br>b"), "a<br><br>b"},
        {"spaces before the end", U("a") + spaces + U("<br>") + spaces, "a"},
        {"spaces without breaks", U("a") + spaces + U("b"), nullptr},
        {"deep nesting", QString(U("<div><b>")).repeated(50000) + U("깊다") + QString(U("</b></div>")).repeated(50000), nullptr},
        {"many opening brackets", QString(100000, QLatin1Char('<')), nullptr},
        {"many breaks", QString(U("<br>")).repeated(100000) + U("x") + QString(U("<br> ")).repeated(100000), "x"},
    };
    for (const Case& c : cases) {
        QString problem;
        const QString out = CleanNewsHtml(c.in, &problem);
        EXPECT_TRUE(problem.isEmpty()) << c.what << ": " << problem.toStdString();
        if (c.want) {
            EXPECT_EQ(out, U(c.want)) << c.what;
        }
        EXPECT_EQ(ForeignTag(out), QString()) << c.what;
    }
    EXPECT_EQ(CleanNewsHtml(U("a") + spaces + U("b")), U("a") + spaces + U("b"));
    EXPECT_EQ(CleanNewsHtml(QString(100000, QLatin1Char('<'))), QString(U("&lt;")).repeated(100000));

    // A whole article: text, kept links and images, nothing active.
    const QString page = NewsPage(Fixture("news_article.txt"));
    const QString body = page.mid(page.indexOf(U("<body>")));
    EXPECT_EQ(ForeignTag(body.mid(6, body.size() - 6 - 14)), QString());
    for (const char* gone : {"<script", "onerror", "onclick", "onload", "javascript:", "file:", "iframe", "evil.example", "99,999",
                             "display:none"})
        EXPECT_FALSE(page.contains(U(gone), Qt::CaseInsensitive)) << gone;
    for (const char* kept : {"<b>반도체 수출</b>", "<b>25%</b>", "<img src=\"https://img.example.com/chart.png\">",
                             "<a href=\"https://news.example.com/a/123\">관련 기사</a>", "<a>클릭</a>", "메모리", "31%"})
        EXPECT_TRUE(page.contains(U(kept))) << kept;
}

TEST(NewsHtml, PlainText)
{
    struct Case { const char* in; const char* want; };
    const Case cases[] = {
        {"a<br>b<BR/>c< br />d", "a\nb\nc\nd"},
        {"<tr><td>매출액</td><td>1,000</td></tr><tr><td>x</td></tr>", " 매출액 1,000 \n x \n"},
        {"<p>문단</p><div>칸</div><li>항목</li>", " 문단\n 칸\n 항목\n"},
        {"a&nbsp;b &AMP; &lt;c&gt;", "a b & <c>"},
        {"a \t\r  b\r\nc", "a b \nc"},
        // Script and style are not text of the body.
        {"x<script>var s = '계약금액 99,999,999,999';</script>y", "x y"},
        {"x<style>td{}</style>y<script>never closed 1,000,000", "x y "},
        // A stray "<" does not swallow the text up to the next tag.
        {"률 3%<5% 목표</td>", "률 3%<5% 목표 "},
        {"<<b>x", "< x"},
    };
    for (const Case& c : cases) {
        QString problem;
        EXPECT_EQ(HtmlToPlain(U(c.in), &problem), U(c.want)) << c.in;
        EXPECT_TRUE(problem.isEmpty());
    }
    QString problem;
    const QString many = HtmlToPlain(QString(100000, QLatin1Char('<')) + U("<br>"), &problem);
    EXPECT_EQ(many, QString(100000, QLatin1Char('<')) + U("\n"));
    EXPECT_TRUE(problem.isEmpty());
}

TEST(NewsHtml, PageFrame)
{
    // Short lines keep their breaks; a line ending in ">" is followed by a
    // LF; 70 bytes or more (Hangul two each) run on; blank lines are a gap.
    const QString longLine = QString(35, QChar(u'가'));
    const QString body = U("첫 줄\r\n<b>굵게</b>\r\n다음\r\n") + longLine + U("\r\n이어짐\r\n\r\n\r\n끝  \r\n");
    const QString page = NewsPage(body);
    EXPECT_TRUE(page.contains(U("<body>첫 줄<br><b>굵게</b>\n다음<br>") + longLine + U("이어짐<br><br>끝</body></html>")))
        << page.toStdString();
    EXPECT_TRUE(NewsPage(QString(34, QChar(u'가')) + U("\r\n다음")).contains(QString(34, QChar(u'가')) + U("<br>다음")));
    EXPECT_TRUE(page.startsWith(U("<!DOCTYPE html><html><head><meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">"
                                  "<meta charset=\"utf-8\"><style>html,body{margin:0;background:#fff;}")));

    const QString css96 = NewsStyleSheet(96);
    EXPECT_TRUE(css96.contains(U("font-size:19px;line-height:1.85;")));
    EXPECT_TRUE(css96.contains(U("padding:16px 32px 32px 32px;")));
    EXPECT_TRUE(css96.contains(U("img{display:block;max-width:100%;height:auto;margin:16px auto;}")));
    EXPECT_TRUE(css96.contains(U("\"맑은 고딕\",\"Malgun Gothic\"")));
    const QString css144 = NewsStyleSheet(144);
    EXPECT_TRUE(css144.contains(U("font-size:28px;")));
    EXPECT_TRUE(css144.contains(U("padding:24px 48px 48px 48px;")));

    const QString card = U("<div>카드</div>");
    EXPECT_EQ(InsertCard(U("<html><body>x<body></html>"), card), U("<html><body><div>카드</div>x<body></html>"));
    EXPECT_EQ(InsertCard(U("<html><BODY>x"), card), U("<html><BODY>x"));
    EXPECT_EQ(InsertCard(page, QString()), page);

    EXPECT_EQ(NewsNotePage(U("로그인 <필요>"), 96),
              U("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body style=\"font-family:'맑은 고딕',sans-serif;"
                "color:#999;font-size:17px;padding:32px;\">로그인 &lt;필요&gt;</body></html>"));
}

TEST(NewsHtml, SmallHelpers)
{
    EXPECT_EQ(HtmlEscape(U("a&b<c>")), U("a&amp;b&lt;c&gt;"));

    struct Attr { const char* tag; const char* name; const char* want; };
    const Attr attrs[] = {
        {"img alt=\"x\" src='a.png'", "src", "a.png"},
        {"img SRC=A.PNG width=3", "src", "A.PNG"},
        {"img data-src=x.png", "src", ""},
        {"img\tsrc=\"unclosed", "src", "unclosed"},
        {"a href='x\"y'", "href", "x&quot;y"},
        {"src=first src=second", "src", "first"},
        {"img src=", "src", ""},
    };
    for (const Attr& a : attrs)
        EXPECT_EQ(HtmlAttr(U(a.tag), U(a.name)), U(a.want)) << a.tag;

    const QString odd = U("가나다라마바사아자차?카타파하\r\n") + QChar(0xFFFD) + U("끝");
    EXPECT_EQ(OddCount(odd), 2);
    EXPECT_EQ(OddSamples(odd, 5), U("\"다라마바사아자차?카타파하  ") + QChar(0xFFFD) + U("끝\"  |  \"차?카타파하  ")
                                      + QChar(0xFFFD) + U("끝\""));
    EXPECT_EQ(OddSamples(U("?x"), 1), U("\"?x\""));

    EXPECT_EQ(PickNewsBody(U("a?b"), U("ab")), U("ab"));
    EXPECT_EQ(PickNewsBody(U("a?b"), U("  ")), U("a?b"));
    EXPECT_EQ(PickNewsBody(U("ab"), U("a?b")), U("ab"));
    EXPECT_EQ(NormaliseNewsBody(U("  a\nb\r\nc\rd \n")), U("a\r\nb\r\nc\r\nd"));
    EXPECT_EQ(NormaliseNewsBody(U(" \r\n ")), U("(본문 없음)"));
}
