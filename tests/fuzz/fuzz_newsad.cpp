// The service host's advertisement answer: any bytes; the lines stay one
// line of at most 80 characters, and a failed read leaves the defaults.
#include "news/NewsAd.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    TNewsAd ad;
    const TNewsAd defaults;
    const bool ok = ApplyNewsAd(body, ad);
    if (!ok && (ad.Line1 != defaults.Line1 || ad.Line2 != defaults.Line2 || ad.Url != defaults.Url))
        std::abort();
    for (const QString& l : {ad.Line1, ad.Line2})
        if (l.size() > 80 || l.contains(QLatin1Char('\n')) || l.contains(QLatin1Char('\r')) || l.isEmpty())
            std::abort();
    (void)NewsAdOpens(ad.Url);
    return 0;
}
