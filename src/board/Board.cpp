#include "board/Board.h"

#include "core/NumFmt.h"

#include <algorithm>
#include <cmath>

namespace {
const char* const kSymbols[kBoardItems] = {"DJI@DJI", "NAS@IXIC", "SPI@SPX", "001", "301", "005930", "000660"};
}

QVector<TBoardItem> InitBoard()
{
    const QString names[kBoardItems] = {QStringLiteral("다우"),     QStringLiteral("나스닥"), QStringLiteral("S&P500"),
                                        QStringLiteral("코스피"),   QStringLiteral("코스닥"), QStringLiteral("삼성전자"),
                                        QStringLiteral("SK하이닉스")};
    QVector<TBoardItem> items(kBoardItems);
    for (int i = 0; i < kBoardItems; ++i) {
        items[i].Nm = names[i];
        items[i].IsIdx = i <= 4;
    }
    return items;
}

QString BoardSymbol(int item)
{
    return item >= 0 && item < kBoardItems ? QString::fromLatin1(kSymbols[item]) : QString();
}

QString BoardExCode(int page)
{
    return page == 4 ? QStringLiteral("K") : page == 5 ? QStringLiteral("N") : QStringLiteral("U");
}

QString BoardJobTag(int job)
{
    if (job >= 0 && job <= 2)
        return QStringLiteral("t3521");
    if (job == 3 || job == 4)
        return QStringLiteral("t8409");
    if (job == 5)
        return QStringLiteral("t8407b");
    if (job == 6)
        return QStringLiteral("t1601");
    return QString();
}

QString BoardJobName(int job, const QVector<TBoardItem>& items)
{
    if (job >= 0 && job <= 2 && job < items.size())
        return items[job].Nm + QStringLiteral("(") + BoardSymbol(job) + QStringLiteral(")");
    if ((job == 3 || job == 4) && job < items.size())
        return items[job].Nm + QStringLiteral("(업종 ") + BoardSymbol(job) + QStringLiteral(")");
    if (job == 5)
        return QStringLiteral("삼성전자·SK하이닉스");
    if (job == 6)
        return QStringLiteral("투자자별 순매수");
    return QStringLiteral("?");
}

// ---- rotation ------------------------------------------------------------------------

void TBoardRotation::Login()
{
    FTick = 29;
    FUSDue = true;
}

TBoardRotation::TStep TBoardRotation::Second(bool logged, qint64 nowMs)
{
    TStep step;
    ++FTick;
    if (FTick % 10 == 5)
        FUSDue = true;
    if (!logged)
        return step;
    if (FJob >= 0 && nowMs - FSent > kBoardJobTimeoutMs) {
        step.TimedOut = FJob;
        Finish(FJob);
    }
    if (FJob >= 0)
        return step;
    if (FTick % 30 == 0) {
        step.Start = 3;
    } else if (FNext > 0) {
        step.Start = FNext;
    } else if (FUSDue) {
        FUSDue = false;
        step.Start = FUSNext;
        FUSNext = (FUSNext + 1) % 3;
    }
    return step;
}

quint64 TBoardRotation::Begin(int job, qint64 nowMs)
{
    FJob = job;
    FNext = 0;
    FSent = nowMs;
    return ++FSerial;
}

void TBoardRotation::Finish(int job)
{
    FJob = -1;
    FNext = (job == 3 || job == 4 || job == 5) ? job + 1 : 0;
}

// ---- reading answers -----------------------------------------------------------------

double SignedRate(double rate, const QString& sign)
{
    const QString s = sign.trimmed();
    const double r = std::abs(rate);
    return s == QLatin1String("4") || s == QLatin1String("5") ? -r : r;
}

int UsItemOf(const QString& symbol)
{
    const QString s = symbol.trimmed();
    if (s.isEmpty())
        return -1;
    for (int i = 0; i < 3; ++i)
        if (s.compare(BoardSymbol(i), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int LatestRow(const QStringList& dateTimes)
{
    int best = -1;
    for (int i = 0; i < dateTimes.size(); ++i)
        if (best < 0 || dateTimes[i] > dateTimes[best])
            best = i;
    return best;
}

// ---- labels ---------------------------------------------------------------------------

namespace {
constexpr quint32 kUp = 0xE53935, kDown = 0x1E88E5;

quint32 SignColour(double v, quint32 zero) { return v > 0 ? kUp : v < 0 ? kDown : zero; }

QString MonthDay(const QString& d) { return d.mid(4, 2) + QStringLiteral("/") + d.mid(6, 2); }
} // namespace

int BoardGap(int page)
{
    return page <= 2 ? 24 : page <= 5 ? 10 : 14;
}

QVector<TBoardLabel> BoardLabels(int page, const QVector<TBoardItem>& items, const TBoardInv& inv, const TBoardEtn& etn)
{
    QVector<TBoardLabel> out;
    if (page >= 0 && page <= 2) {
        for (int i = page == 0 ? 0 : page == 1 ? 3 : 5, last = page == 0 ? 2 : page == 1 ? 4 : 6; i <= last && i < items.size(); ++i) {
            const TBoardItem& it = items[i];
            TBoardLabel l;
            l.Tag = i;
            if (it.Ok) {
                l.Text = it.Nm + QLatin1Char(' ') + FormatFloat(it.IsIdx ? QStringLiteral("#,##0.00") : QStringLiteral("#,##0"), it.Px) +
                         QLatin1Char(' ') + FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), it.Rt) + QLatin1Char('%');
                l.Rgb = SignColour(it.Rt, 0x505050);
            } else {
                l.Text = it.Nm + QStringLiteral(" —");
                l.Rgb = 0x909090;
            }
            out.append(l);
        }
    } else if (page >= 3 && page <= 5) {
        const QString ex = BoardExCode(page);
        const QString head = ex == QLatin1String("K") ? QStringLiteral("KRX  코스피") : ex == QLatin1String("N") ? QStringLiteral("NXT  코스피") : QStringLiteral("통합  코스피");
        const QString names[3] = {QStringLiteral("외인"), QStringLiteral("기관"), QStringLiteral("개인")};
        const bool have = inv.Ok && inv.Ex == ex;
        for (int g = 0; g < 2; ++g) {
            out.append({g == 0 ? head : QStringLiteral("코스닥"), 0x404040, 7, g == 0 ? 0 : 18});
            for (int k = 0; k < 3; ++k) {
                const double v = inv.V[g * 3 + k];
                if (have)
                    out.append({names[k] + QLatin1Char(' ') + FormatFloat(QStringLiteral("+#,##0;-#,##0;0"), v) + QStringLiteral("억"), SignColour(v, 0x707070), 7, 0});
                else
                    out.append({names[k] + QStringLiteral(" —"), 0x707070, 7, 0});
            }
        }
    } else if (page == 6) {
        QString first = QStringLiteral("ETN개인 —");
        if (etn.Ok)
            first = QStringLiteral("ETN개인 ") + MonthDay(etn.Date);
        else if (!etn.Msg.isEmpty())
            first = QStringLiteral("ETN개인 — ") + etn.Msg;
        out.append({first, 0x404040, 9, 0});
        if (etn.Ok) {
            const struct {
                const char* Name;
                int A, B;
                bool Inverse;
            } groups[] = {{"코스닥인버스 ", 0, -1, true}, {"반도체레버 ", 2, -1, false}, {"반도체인버 ", 3, -1, true}, {"삼전닉스레버 ", 4, 5, false}};
            for (const auto& g : groups) {
                const qint64 held = SatAdd(etn.Inv[g.A], g.B >= 0 ? etn.Inv[g.B] : 0);
                const qint64 chg = SatAdd(etn.Chg[g.A], g.B >= 0 ? etn.Chg[g.B] : 0);
                QString t = QString::fromUtf8(g.Name) + FormatFloat(QStringLiteral("#,##0"), double(held) / 10000) + QStringLiteral("만");
                const qint64 before = SatSub(held, chg);
                if (!etn.PrevDate.isEmpty() && chg != held && before != 0)
                    t += QLatin1Char(' ') + FormatFloat(QStringLiteral("+0.0;-0.0;0.0"), double(chg) / double(before) * 100) + QLatin1Char('%');
                quint32 rgb = 0x707070;
                if (chg != 0)
                    rgb = g.Inverse ? (chg < 0 ? kUp : kDown) : (chg < 0 ? kDown : kUp);
                out.append({t, rgb, 9, 0});
            }
        }
    }
    return out;
}

bool ReadInvFigures(const std::function<QString(const QString& block, const QString& field)>& get, double v[6])
{
    static const char* const kTypes[3] = {"17", "18", "08"};
    double out[6];
    bool any = false;
    for (int m = 0; m < 2; ++m) {
        const QString blk = QStringLiteral("t1601OutBlock%1").arg(m + 1);
        for (int k = 0; k < 3; ++k) {
            const QString text = get(blk, QStringLiteral("svolume_") + QLatin1String(kTypes[k])).trimmed();
            any = any || !text.isEmpty();
            out[m * 3 + k] = ParseNum(text);
        }
    }
    if (any)
        std::copy(out, out + 6, v);
    return any;
}
