// The short-sale ban list: any bytes. A list is read only from an object
// with an items array; its rows have unique six-character codes the master
// knows, carry the master's name, stay within the item cap, and survive
// rescoring and every sort order.
#include "lists/ShortBan.h"

#include <QSet>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    // A master that knows the codes starting with a digit.
    const auto master = [](const QString& c) { return c.at(0).isDigit() ? QStringLiteral("종목") + c : QString(); };
    TShortList l = ParseShortBan(body, master);
    if ((!l.Ok && !l.Rows.isEmpty()) || l.Rows.size() > KMaxListItems || l.New + l.Ext > l.Rows.size())
        std::abort();
    QSet<QString> codes;
    for (TShortRow& r : l.Rows) {
        if (!IsListCode(r.Code) || codes.contains(r.Code) || r.Name != QStringLiteral("종목") + r.Code
            || r.Score < 0 || r.Score > 5 || r.Why.size() > KLongText)
            std::abort();
        codes.insert(r.Code);
        r.Live = true;
        RescoreShort(r);
        if (r.Score < 0 || r.Score > 5)
            std::abort();
        (void)ShortDatesText(r);
    }
    for (int col = -1; col < 9; ++col) {
        SortShort(l.Rows, col, (size + col) % 2 == 0);
        if (l.Rows.size() != codes.size())
            std::abort();
    }
    int n = 0;
    if (ShortPxCodes(l.Rows, &n).size() != n * 6 || n > 50)
        std::abort();
    return 0;
}
