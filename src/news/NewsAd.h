#pragma once
// The advertisement block of the article window: two lines and a link,
// built in and replaceable once a run by the service host's answer
// {"line1", "line2", "url"} (each optional).
#include <QByteArray>
#include <QString>

struct TNewsAd {
    QString Line1 = QStringLiteral("주식은 케스트렐의");
    QString Line2 = QStringLiteral("루멘와 함께");
    QString Url = QStringLiteral("https://www.kestrelhts.kr");
};

// Takes the members of `body` that hold a non-empty text; false (and `ad`
// untouched) when the body is not a JSON object. A line is kept to its first
// line and 80 characters, so that a long text cannot push the window's own
// parts aside.
bool ApplyNewsAd(const QByteArray& body, TNewsAd& ad);
// Whether a click opens `url`: only "https://" and "http://", as written.
bool NewsAdOpens(const QString& url);
