#pragma once
// Finding a stock by what the user types into the code box: a 6-digit code,
// a name, or the initial consonants of a Korean name (ㅅㅅㅈㅈ → 삼성전자).
//
// The master (code → TStockInfo) is turned once into a TSearchIndex holding
// the upper-case names and the initials, so ranking on every keystroke only
// compares characters. Entries of the index are kept in code order; that
// order decides which of several equal matches OpenTypedMatch chooses, and
// breaks the last ties of the suggestion ranking.
//
// For the ranking the index also keeps every entry once more in the order
// ties are broken in (name length, name, code), with the upper-case name and
// the initials packed into one character buffer and a 64-bit mask of the
// characters each holds. A keystroke is then one pass in that order: the mask
// rules out most entries with one AND, the rest are compared in place, and
// the rows come out already sorted within each score, so nothing is sorted
// or allocated per entry. Codes are matched by binary search in code order.
#include "market/StockInfo.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

// Rows of the suggestion list, at most.
inline constexpr int kSugMaxRows = 40;
// Entries of the recent-stock list, at most.
inline constexpr int kRecentMax = 10;
// Candidates named in the "후보:" line, at most.
inline constexpr int kOpenTypedMaxCandidates = 8;

// Each Hangul syllable becomes its initial consonant (compatibility jamo
// ㄱ..ㅎ), a..z becomes upper case, every other character stays.
QString Initials(const QString& name);

// Non-empty and every character in U+3131..U+314E (the consonant jamo).
bool IsAllJamo(const QString& text);

struct TSugItem {
    int Score = 0;  // 0 best .. 5
    TStockInfo Info;
};

// The master prepared for searching. Build it whenever a new master arrives.
class TSearchIndex {
public:
    struct TEntry {
        TStockInfo Info;
        QString UName;     // upper-case name
        QString Initials;  // Initials(name)
    };

    TSearchIndex() = default;
    explicit TSearchIndex(const QHash<QString, TStockInfo>& master) { Build(master); }

    void Build(const QHash<QString, TStockInfo>& master);
    void Clear();
    int Size() const { return FEntries.size(); }
    bool IsEmpty() const { return FEntries.isEmpty(); }
    // In code order.
    const QVector<TEntry>& Entries() const { return FEntries; }

private:
    friend QVector<TSugItem> RankSuggestions(const TSearchIndex& index, const QString& typed, int limit);

    // One entry as the ranking scans it.
    struct TRow {
        quint64 NameMask = 0;  // bit (c & 63) set for each character c of UName
        quint64 InitMask = 0;  // the same of Initials
        int Entry = 0;         // into FEntries
        int NameAt = 0;        // UName at FText[NameAt], NameLen characters
        int InitAt = 0;        // Initials at FText[InitAt], InitLen characters
        int NameLen = 0;
        int InitLen = 0;
    };

    QVector<TEntry> FEntries;
    std::vector<TRow> FRows;       // by name length, then name, then code
    std::vector<char16_t> FText;   // the rows' upper-case names and initials
};

// The suggestion list for the typed text, best first, at most `limit` rows.
// q = trimmed text, Q = upper-case q, N = upper-case name. Score:
//   0  code = Q or N = Q
//   1  q starts with a digit and the code starts with Q
//   2  N starts with Q
//   4  N contains Q
//   3  q is all consonants and the initials start with q
//   5  q is all consonants and the initials contain q
// (first rule that holds; none: not listed). Sorted by score, then name
// length, then name in ordinal order (then code). Empty when q is empty, the
// master is empty or nothing matches.
QVector<TSugItem> RankSuggestions(const TSearchIndex& index, const QString& typed,
                                  int limit = kSugMaxRows);
// Same, building a throw-away index (use the index form per keystroke).
QVector<TSugItem> RankSuggestions(const QHash<QString, TStockInfo>& master, const QString& typed,
                                  int limit = kSugMaxRows);

// What Enter on the code box does when no suggestion is chosen.
struct TOpenTypedResult {
    QString Code;            // the stock to select; empty: select nothing
    QStringList Candidates;  // "  name(code)" for the first 8 when several matched
    bool NoMaster = false;   // a name was typed but the master has not arrived
    bool NoMatch = false;    // nothing matched the typed text
    QString Log;             // the line to log before selecting; empty: none
};

// t = trimmed text. Empty: nothing. Six characters starting with a digit:
// that code, upper-case, whether the master holds it or not. Otherwise, with
// an empty master: NoMaster and its message. Otherwise the first non-empty
// group of exact names, names starting with T, names containing T further in
// (T = upper-case t, compared with upper-case names, each group in index
// order): its first entry is chosen and, when it holds several, Log is
// "후보:" followed by the Candidates. No group: NoMatch, Log
// "\"t\" — 일치하는 종목이 없습니다".
TOpenTypedResult OpenTypedMatch(const TSearchIndex& index, const QString& text);
TOpenTypedResult OpenTypedMatch(const QHash<QString, TStockInfo>& master, const QString& text);

// Newest first: an empty code is ignored; the code moves (or is added) to the
// front; entries beyond kRecentMax are dropped.
void AddRecent(QStringList& recent, const QString& code);
