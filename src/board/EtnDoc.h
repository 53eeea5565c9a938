#pragma once
// The service's document of ETN holdings (units of leveraged and inverse
// notes held by investors other than the liquidity provider) and the state
// the board and its pop-up show.
//
// Reading is tolerant: a number may come as a number or as text ("12,345"),
// null or a wrong type reads as 0 or an empty text; array elements that are
// not objects are skipped (in the history such an element keeps its place
// with an empty date and zero holdings). Lists are capped and texts are made
// plain (no control characters) and cut to a length a line can show. A new
// document is read apart and swapped in whole: a bad one leaves the figures
// on show as they were.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>

inline constexpr int kEtnGroups = 10;
inline constexpr int kEtnMaxHist = 400;
inline constexpr int kEtnMaxLines = 50;
inline constexpr int kEtnMaxNotes = 30;
inline constexpr int kEtnMaxText = 160;

// Group keys in slot order.
const char* EtnGroupKey(int slot);

struct TEtnDoc {
    QString Date, PrevDate;   // yyyymmdd
    std::array<qint64, kEtnGroups> Inv{}, Chg{};
    std::array<double, kEtnGroups> Pct{};
    QStringList HD;                                   // history dates, oldest first
    std::array<QVector<qint64>, kEtnGroups> HV;       // each as long as HD
    QStringList Low, Mov, Notes;                      // display lines; notes "kind|text"
};

enum class TEtnRead { Ok, NotObject, NoDate };

// Reads a body; `out` is filled only when the result is Ok.
TEtnRead ReadEtnDoc(const QByteArray& body, TEtnDoc* out);

// A text from the service as one plain line: control characters become
// blanks, runs of blanks one, at most `cap` characters.
QString EtnPlain(const QString& s, int cap = kEtnMaxText);

// The holdings as the program keeps them between fetches.
class TEtnHoldings {
public:
    bool Ok = false;          // a document has been applied (never set back)
    bool Fetching = false;
    QString Msg;              // shown while there are no figures
    QString Logged;           // last error text or date written to the log
    TEtnDoc Doc;

    // Applies a fetched body ("#ERR ..." or empty for a failed fetch).
    // Returns the log line to write, empty for none.
    QString Apply(const QString& body);
};
