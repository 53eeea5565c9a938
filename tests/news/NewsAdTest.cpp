// The advertisement line: the service host's answer replaces what it names,
// and a click opens only a web address.
#include "news/NewsAd.h"

#include <gtest/gtest.h>

TEST(NewsAd, AnswerReplacesWhatItNamesAndNothingElse)
{
    const TNewsAd defaults;
    const struct {
        const char* body;
        bool ok;
        const char *line1, *line2, *url;   // nullptr: the default
    } cases[] = {
        {R"({"line2":"새 문구"})", true, nullptr, "새 문구", nullptr},
        {R"({"line1":"  ","line2":"","url":""})", true, nullptr, nullptr, nullptr},
        {R"({"line1":"첫 줄\n둘째 줄","url":"ftp://x"})", true, "첫 줄", nullptr, "ftp://x"},
        {R"({"line1":12,"line2":null})", true, nullptr, nullptr, nullptr},
        {"<html>404</html>", false, nullptr, nullptr, nullptr},
        {"[1,2]", false, nullptr, nullptr, nullptr},
        {"", false, nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        TNewsAd ad;
        EXPECT_EQ(ApplyNewsAd(c.body, ad), c.ok) << c.body;
        EXPECT_EQ(ad.Line1, c.line1 ? QString::fromUtf8(c.line1) : defaults.Line1) << c.body;
        EXPECT_EQ(ad.Line2, c.line2 ? QString::fromUtf8(c.line2) : defaults.Line2) << c.body;
        EXPECT_EQ(ad.Url, c.url ? QString::fromUtf8(c.url) : defaults.Url) << c.body;
    }
    TNewsAd longOne;
    ApplyNewsAd(QByteArray(R"({"line2":")") + QByteArray(500, 'x') + "\"}", longOne);
    EXPECT_EQ(longOne.Line2.size(), 80);
}

TEST(NewsAd, OnlyWebAddressesOpen)
{
    for (const char* u : {"https://a.kr", "http://a.kr/x"})
        EXPECT_TRUE(NewsAdOpens(u)) << u;
    for (const char* u : {"HTTPS://a.kr", "ftp://a.kr", "a.kr", "javascript:alert(1)", "", "file:///etc/passwd"})
        EXPECT_FALSE(NewsAdOpens(u)) << u;
}
