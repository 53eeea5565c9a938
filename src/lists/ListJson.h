#pragma once
// Reading the service host's list documents tolerantly: every member is
// read whatever JSON type it came as, so one wrongly typed field never
// loses the row or the list.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QVector>
#include <algorithm>
#include <functional>

// Bodies larger than this are refused unread.
inline constexpr qsizetype KMaxListBody = 8 * 1024 * 1024;
// Items read from one list; the rest are dropped.
inline constexpr int KMaxListItems = 2000;
// Longest texts kept.
inline constexpr int KShortText = 40;    // names, statuses, methods, dates
inline constexpr int KLongText = 300;    // reasons, notes, rules, status lines

// The body as a JSON object; false when it is not one, or too large.
bool ListObject(const QByteArray& body, QJsonObject& o);
// The same with its "items" array; false when there is none.
bool ListItems(const QByteArray& body, QJsonObject& o, QJsonArray& items);
// Calls `each` with the items that are objects, up to KMaxListItems; the
// number of items left over is returned.
int ForEachListItem(const QJsonArray& items, const std::function<void(const QJsonObject&)>& each);

// Whether the member is there with a value (null reads as absent).
bool Has(const QJsonObject& o, const char* key);
// A member as plain text of at most `cap` characters (numbers by their
// shortest form; null, arrays and objects empty).
QString Text(const QJsonObject& o, const char* key, int cap = KShortText);
// A member as a number: JSON numbers, and texts such as "12,345" or
// " -3.5 " (group commas and blanks dropped); anything else is `dflt`.
double Num(const QJsonObject& o, const char* key, double dflt = 0, bool* ok = nullptr);
// The same as a whole number (rounded, held inside the 64-bit range).
qint64 Int(const QJsonObject& o, const char* key, qint64 dflt = 0, bool* ok = nullptr);
// A member as a yes/no: true/false, 1/0, "true"/"false", "Y"/"N"; else `dflt`.
bool Flag(const QJsonObject& o, const char* key, bool dflt);

// A stock code as the lists accept it: six digits or upper-case letters.
bool IsListCode(const QString& code);

// The stock master's name of a code; empty when the master does not know it.
using TMasterName = std::function<QString(const QString& code)>;

// Takes a row's code once under `key` (the code, or the code with what tells
// its rows apart): false when the code has not the shape of one, `key` was
// seen, or the master does not know the code; `name` becomes the master's
// name (without a master it stays the service's).
bool TakeListCode(const QString& code, const QString& key, const TMasterName& master, QSet<QString>& seen, QString& name);

// -1, 0, 1 for a < b, equal, a > b.
template <typename T>
int Cmp(const T& a, const T& b)
{
    return a < b ? -1 : b < a ? 1 : 0;
}
inline int TextCmp(const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive); }

// Sorts a list's rows by one column: rows with a value (`has`) before rows
// without one in either direction, then `value(a, b)` (-1, 0, 1) ascending
// or descending, ties by name ascending; stable.
template <typename Row, typename Has, typename Value>
void SortListRows(QVector<Row>& rows, bool desc, Has has, Value value)
{
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        const bool ha = has(a), hb = has(b);
        if (ha != hb)
            return ha;
        if (ha) {
            const int c = value(a, b);
            if (c != 0)
                return desc ? c > 0 : c < 0;
        }
        return TextCmp(a.Name, b.Name) < 0;
    });
}
