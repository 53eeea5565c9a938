#pragma once
// Reading the service host's JSON: member values as plain, bounded text
// whatever their JSON type. Shared by the signal and per-minute readers.
#include <QJsonValue>
#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Answers larger than this are refused unread.
inline constexpr qsizetype KMaxSigBody = 4 * 1024 * 1024;
// Elements of one array that are looked at; the rest are dropped.
inline constexpr int KMaxSigItems = 2000;

// `s` without control characters, trimmed, at most `cap` characters (never
// cutting a surrogate pair in two).
QString PlainText(const QString& s, int cap);

// A member value as text: strings as they are, numbers by their shortest
// form (integral values without a fraction), true/false as words; null,
// arrays and objects read as empty. Made plain and capped as PlainText.
QString JsonText(const QJsonValue& v, int cap);
// A service answer's body as a JSON object: false for a body that is not
// one, empty or larger than `maxBytes`.
bool JsonObjectOf(const QByteArray& body, qsizetype maxBytes, QJsonObject& o);

// Non-empty and made of the digits 0-9 only.
bool AllDigits(QStringView s);

// "mm/dd" of a yyyymmdd text, else the text itself.
QString MonthDayOf(const QString& date);
// "hh:mm" of a text beginning with four hhmm digits, else the text itself.
QString HhColonMm(const QString& hhmm);
