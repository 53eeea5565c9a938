#include "core/ServerClock.h"

#include "core/Clock.h"
#include "core/NumFmt.h"

#include <QLocale>
#include <QTimeZone>

void TServerClock::MarkSent() { FTimeSent = FClock.Now(); }

QString TServerClock::OnTimeData(const QString& dtIn, const QString& timeIn)
{
    const QString dt = dtIn.trimmed();
    const QString tm = timeIn.trimmed();
    if (dt.size() < 8 || tm.size() < 6)
        return QStringLiteral("서버 시각 응답 형식이 다름: dt=") + dt + QStringLiteral(" time=") + tm;
    int ms = 0;
    if (tm.size() >= 9) {
        bool ok = false;
        int v = tm.mid(6, 3).toInt(&ok);
        ms = ok && v >= 0 ? v : 0;
    }
    bool okY, okM, okD, okH, okN, okS;
    QDate d(dt.mid(0, 4).toInt(&okY), dt.mid(4, 2).toInt(&okM), dt.mid(6, 2).toInt(&okD));
    QTime t(tm.mid(0, 2).toInt(&okH), tm.mid(2, 2).toInt(&okN), tm.mid(4, 2).toInt(&okS), ms);
    if (!(okY && okM && okD && okH && okN && okS) || !d.isValid() || !t.isValid() || !FTimeSent.isValid())
        return QStringLiteral("서버 시각 해석 실패: ") + dt + QStringLiteral(" ") + tm;
    const QDateTime server(d, t);
    const QDateTime now = FClock.Now();
    const QDateTime mid = FTimeSent.addMSecs(FTimeSent.msecsTo(now) / 2);
    FOfsMs = double(mid.msecsTo(server));
    FOk = true;
    return QStringLiteral("서버 시각 맞춤: 내 PC가 %1초 %2")
        .arg(FormatFloat(QStringLiteral("0.00"), qAbs(FOfsMs) / 1000.0),
             FOfsMs > 0 ? QStringLiteral("느림") : QStringLiteral("빠름"));
}

QDateTime TServerClock::ServerNow() const
{
    const QDateTime now = FClock.Now();
    return FOk ? now.addMSecs(qint64(FOfsMs)) : now;
}

QDateTime TServerClock::ExchangeNow() const
{
    if (FOk || FLocalIsExchange) {
        // The answer was read as this PC's local time; its wall fields are the exchange's.
        const QDateTime t = ServerNow().toLocalTime();
        return QDateTime(t.date(), t.time());
    }
    static const QTimeZone seoul(QByteArrayLiteral("Asia/Seoul"));
    const QDateTime now = FClock.Now();
    if (!seoul.isValid())
        return now;
    const QDateTime kst = now.toTimeZone(seoul);
    return QDateTime(kst.date(), kst.time());
}

int TServerClock::ExchangeHhmm() const
{
    const QTime t = ExchangeNow().time();
    return t.hour() * 100 + t.minute();
}

QString TServerClock::ExchangeDay() const { return ExchangeNow().date().toString(QStringLiteral("yyyyMMdd")); }

QString TServerClock::ClockText() const
{
    const QDateTime t = ServerNow();
    return t.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" (") +
           QLocale().dayName(t.date().dayOfWeek(), QLocale::ShortFormat) + QStringLiteral(") ") +
           t.toString(QStringLiteral("HH:mm:ss"));
}

QString TServerClock::NoteText() const
{
    if (!FOk)
        return QStringLiteral("내 컴퓨터 시간 — 실제 거래소 시간과 다를 수 있습니다");
    return QStringLiteral("LS 서버 시각 · 내 PC보다 %1초")
        .arg(FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), FOfsMs / 1000.0));
}

QColor TServerClock::NoteColor() const
{
    if (!FOk)
        return QColor(255, 128, 0);
    return qAbs(FOfsMs) >= 1000 ? QColor(229, 57, 53) : QColor(0, 128, 0);
}
