// The buyback list: any bytes. A list is read only from an object with an
// items array; its rows have six-character codes the master knows, one row
// a code and side, the master's name, side counts that add up, and a marker
// text within its length.
#include "lists/Buyback.h"

#include <QSet>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto master = [](const QString& c) { return c.at(0).isDigit() ? QStringLiteral("종목") + c : QString(); };
    TBuyList l = ParseBuyback(body, master);
    if ((!l.Ok && !l.Rows.isEmpty()) || l.Rows.size() > KMaxListItems || l.Buys + l.Sells != l.Rows.size())
        std::abort();
    QSet<QString> keys;
    for (const TBuyRow& r : l.Rows) {
        const QString key = r.Code + QLatin1Char('/') + r.Side;
        if (!IsListCode(r.Code) || keys.contains(key) || r.Name != QStringLiteral("종목") + r.Code)
            std::abort();
        keys.insert(key);
        if (BuyMarkerText(r).size() > KMarkerChars)
            std::abort();
        (void)QtyText(r.Qty);
        (void)AmountText(r.Amount);
    }
    for (const bool picks : {false, true}) {
        int buys = 0, sells = 0;
        QVector<TBuyRow> shown = FilterBuy(l.Rows, picks, &buys, &sells);
        if (buys + sells != shown.size() || shown.size() > l.Rows.size())
            std::abort();
        for (int col = -1; col < 13; ++col)
            SortBuy(shown, col, (size + col) % 2 == 0);
    }
    for (const TBuyRow& r : l.Rows) {
        const TBuyRow* m = BuyMarkerRow(l, r.Code, l.Date);
        if (m && (!m->Pick || m->Code != r.Code || l.Date.isEmpty()))
            std::abort();
    }
    return 0;
}
