#pragma once
// Number helpers shared by every view: reading numbers the broker sends as
// text, number pictures for display, the exchange's price grid, minute
// arithmetic and a few small text helpers.
#include <QString>
#include <limits>
#include <QtGlobal>

#include <concepts>
#include <type_traits>

class TClock;

// Trims, drops one leading '+', parses with '.' as the decimal separator
// (an exponent such as "1e3" is accepted). Anything that is not a finite
// number reads as 0.
double ParseNum(const QString& s);

// ParseNum rounded half to even; values beyond the 64-bit range are clamped.
qint64 ParseInt(const QString& s);
// ParseInt when it fits an int, else 0: a price or a count that large is
// garbage, and cutting it to 32 bits would make another number of it.
int ParseInt32(const QString& s);

// Sums and differences of numbers read from outside, held at the ends of
// qint64 instead of wrapping.
inline qint64 SatAdd(qint64 a, qint64 b)
{
    qint64 r;
    if (!__builtin_add_overflow(a, b, &r))
        return r;
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}
inline qint64 SatSub(qint64 a, qint64 b)
{
    qint64 r;
    if (!__builtin_sub_overflow(a, b, &r))
        return r;
    return b < 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

// Number picture formatter.
//  - Up to three sections separated by ';': positive;negative;zero. A value
//    uses the negative section when it is negative and that section is not
//    empty; the negative section prints no minus sign of its own (only its
//    literal text). With one section a negative value gets a leading '-'.
//  - A value that is zero after rounding to the chosen section's decimals
//    prints with the zero section when there is one, else with the first
//    section, and never with a minus sign ("-0" is not printed).
//  - '0' required digit, '#' optional digit, '.' decimal point (dropped when
//    no fraction digit is printed), ',' anywhere = group the integer part by
//    three. Text in single or double quotes and every other character is
//    copied as is.
//  - Rounding is to nearest with halves away from zero, done on the decimal
//    text of the value at 15 significant digits (what a double reliably
//    holds), so 2.675 gives "2.68" and 0.125 gives "0.13" with "0.00".
//  - An empty picture gives the plain shortest text; NaN and infinities give
//    "NAN", "INF" and "-INF".
// An integer argument of any width is printed exactly (every digit of
// INT64_MIN or UINT64_MAX), by the same picture rules; wherever a double holds
// the value exactly to 15 digits the result is the same as for that double.
// With an empty picture an integer prints all its digits, never an exponent.
// A bool is refused at compile time rather than printed as 0 or 1.
QString FormatFloat(const QString& picture, double x);
QString FormatInt64(const QString& picture, qint64 x);
QString FormatUInt64(const QString& picture, quint64 x);

template <std::integral T>
    requires(!std::same_as<T, bool>)
QString FormatFloat(const QString& picture, T x)
{
    if constexpr (std::is_signed_v<T>)
        return FormatInt64(picture, static_cast<qint64>(x));
    else
        return FormatUInt64(picture, static_cast<quint64>(x));
}
template <std::same_as<bool> T>
QString FormatFloat(const QString& picture, T x) = delete;

// "#,##0", for doubles and (exactly) for integers.
QString FmtNum(double x);

template <std::integral T>
    requires(!std::same_as<T, bool>)
QString FmtNum(T x)
{
    return FormatFloat(QStringLiteral("#,##0"), x);
}
template <std::same_as<bool> T>
QString FmtNum(T x) = delete;

// The exchange's price grid: 1 below 2,000 won, 5 below 5,000, 10 below
// 20,000, 50 below 50,000, 100 below 200,000, 500 below 500,000, else 1,000.
int TickSize(int p);
int TickUp(int p);   // p + TickSize(p), at most INT_MAX
int TickDown(int p); // p - TickSize(p - 1) when p > 1, else p

// An hhmm number advanced by one minute (2359 gives 2400; no wrap). The text
// form reads an integer and uses 0 when the text is not one.
int NextMinute(int hhmm);
int NextMinute(const QString& hhmm);

// Average price from a traded amount whose unit (won, thousands, millions)
// is not stated: the unit whose average lies closest to ref is taken; 0 when
// vol or amt is not positive or when even the best lies more than 30 % off.
// With ref <= 0 the amount is taken in won.
double AvgFromAmount(double ref, qint64 vol, double amt);

// Trimmed account number with all but its last three characters as '*'.
QString MaskAcct(const QString& s);
// Whether a text has the shape of a stock code: six digits or upper-case
// letters (whether the master knows it is the caller's question).
bool IsCodeShape(const QString& code);

// Today's date on the given clock (the PC's clock by default) as yyyymmdd.
QString TodayStr(const TClock& clock);
QString TodayStr();
