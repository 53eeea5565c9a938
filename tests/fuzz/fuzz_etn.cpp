// The service's ETN holdings document: any bytes, read and applied as the
// board does. A document read is whole (every history series as long as the
// dates, lists capped, texts plain and short); applying never loses the
// figures on show; the board's ETN labels are made from whatever was read.
#include "board/Board.h"
#include "board/EtnDoc.h"

#include <cstdint>
#include <cstdlib>

namespace {
bool Plain(const QString& s, int cap)
{
    if (s.size() > cap)
        return false;
    for (QChar c : s)
        if (c.category() == QChar::Other_Control || c == QLatin1Char('\n'))
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    TEtnDoc d;
    if (ReadEtnDoc(body, &d) == TEtnRead::Ok) {
        if (d.Date.size() != 8 || (!d.PrevDate.isEmpty() && d.PrevDate.size() != 8) || d.HD.size() > kEtnMaxHist ||
            d.Low.size() > kEtnMaxLines || d.Mov.size() > kEtnMaxLines || d.Notes.size() > kEtnMaxNotes)
            std::abort();
        for (const QVector<qint64>& v : d.HV)
            if (v.size() != d.HD.size())
                std::abort();
        for (const QStringList* l : {&d.Low, &d.Mov, &d.Notes})
            for (const QString& s : *l)
                if (!Plain(s, 400))
                    std::abort();
    }

    TEtnHoldings h;
    h.Apply(QStringLiteral("{\"date\":\"20261209\",\"groups\":{\"kq_inv2x\":{\"inv\":5}}}"));
    h.Apply(QString::fromUtf8(body));
    if (!h.Ok || h.Doc.Date.size() != 8)
        std::abort();   // a good document stays on show whatever follows

    TBoardEtn etn;
    etn.Ok = true;
    etn.Date = h.Doc.Date;
    etn.PrevDate = h.Doc.PrevDate;
    for (int g = 0; g < kEtnGroups; ++g) {
        etn.Inv[g] = h.Doc.Inv[g];
        etn.Chg[g] = h.Doc.Chg[g];
    }
    if (BoardLabels(6, InitBoard(), {}, etn).size() != 5)
        std::abort();
    return 0;
}
