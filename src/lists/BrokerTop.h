#pragma once
// The broker top five of a stock (t1102): the five member firms that sold
// and the five that bought the most today, and the foreign houses' totals.
#include <QString>
#include <array>
#include <functional>

// True when the name holds a fragment that marks a foreign house (letter
// case ignored).
bool IsForeignBroker(const QString& name);

struct TBrokerTop {
    std::array<QString, 10> Name;   // 0-4 selling side, 5-9 buying side
    std::array<qint64, 10> Vol{};
    std::array<qint64, 10> Cha{};
    std::array<qint64, 2> FVol{};   // foreign totals: sold, bought
    std::array<qint64, 2> FCha{};
};

// The code an answer is for: its trimmed shcode, the last six characters
// when longer.
QString BrokerAnswerCode(const QString& shcode);
// Reads t1102OutBlock (field(name) gives its text). False, with `out`
// untouched, when the answer names a stock other than `asked`.
bool ReadBrokerTop(const std::function<QString(const QString& field)>& field, const QString& asked, TBrokerTop* out);
// A change as the panel writes it: "+1,200", "-1,200" or "·".
QString BrokerChangeText(qint64 v);
