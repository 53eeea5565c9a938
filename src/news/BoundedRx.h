#pragma once
// Regular expressions with a bound on their work, for texts that come from
// outside (news and disclosure bodies). A body written to make a pattern
// backtrack must not freeze the window: every match runs under a match
// limit, a depth limit and a heap limit, and running into one of them is
// reported as such rather than read as "no match".
//
// Patterns are PCRE2 in UTF mode; \s, \d and \w keep their ASCII meaning.
// A pattern is compiled once per process and kept (the patterns are the
// program's own, a fixed small set). Matching runs on the UTF-8 form of the
// text (TRxText); offsets below are byte offsets into it.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

enum class TRxStatus {
    Match,
    NoMatch,
    LimitHit,   // a work limit stopped the search: the answer is unknown
    BadPattern, // the pattern does not compile (a fault of the program)
};

// A text prepared for matching: its UTF-8 bytes, made once.
class TRxText {
public:
    TRxText() = default;
    explicit TRxText(const QString& s);
    explicit TRxText(QByteArray utf8Valid); // bytes known to be valid UTF-8

    const QByteArray& Utf8() const { return FUtf8; }
    qsizetype Size() const { return FUtf8.size(); }
    bool IsEmpty() const { return FUtf8.isEmpty(); }
    QString Str() const { return QString::fromUtf8(FUtf8); }
    // The text between two byte offsets (clamped).
    QString Mid(qsizetype from, qsizetype to = -1) const;
    TRxText MidText(qsizetype from, qsizetype to = -1) const;
    // The byte offset `chars` characters (code points) after `from`, or the end.
    qsizetype Advance(qsizetype from, qsizetype chars) const;

private:
    QByteArray FUtf8;
};

struct TRxMatch {
    TRxStatus Status = TRxStatus::NoMatch;
    qsizetype Start = -1, End = -1; // byte offsets of the whole match
    // Byte offsets of group n: Group[2n], Group[2n+1]; -1 when unset.
    QVector<qsizetype> Group;
    bool Ok() const { return Status == TRxStatus::Match; }
    QString Text(const TRxText& t, int n) const;
};

class TBoundedRx {
public:
    // Per match attempt (one start position): calls of the matcher, nesting
    // depth and heap in KiB.
    static constexpr uint32_t KMatchLimit = 1000000;
    static constexpr uint32_t KDepthLimit = 5000;
    static constexpr uint32_t KHeapLimitKiB = 20000;

    // The compiled pattern from the process-wide cache. `caseless` is the
    // same as a leading (?i).
    static const TBoundedRx& Of(const QString& pattern, bool caseless = false);

    bool Valid() const { return FCode != nullptr; }
    QString Pattern() const { return FPattern; }
    QString CompileError() const { return FError; }

    // The leftmost match at or after byte offset `from`; with `anchored`
    // only a match starting exactly at `from`.
    TRxMatch Find(const TRxText& text, qsizetype from = 0, bool anchored = false) const;
    // Every non-overlapping match replaced by `with` (taken literally).
    // On a limit the text is returned unchanged and `status` says so.
    QString ReplaceAll(const TRxText& text, const QString& with, TRxStatus* status = nullptr) const;

    TBoundedRx(const TBoundedRx&) = delete;
    TBoundedRx& operator=(const TBoundedRx&) = delete;
    ~TBoundedRx();

private:
    TBoundedRx(const QString& pattern, bool caseless);
    void* FCode = nullptr; // pcre2_code_8*
    QString FPattern;
    QString FError;
};

// Collects the limit hits of every bounded match made on this thread while
// it lives (the innermost watch gets them). A caller that turns a body into
// something shown asks Hit() afterwards and shows nothing from that body
// when a limit was hit: a half-searched body can give wrong numbers.
class TRxWatch {
public:
    TRxWatch();
    ~TRxWatch();
    TRxWatch(const TRxWatch&) = delete;
    TRxWatch& operator=(const TRxWatch&) = delete;

    bool Hit() const { return FHits > 0; }
    int Hits() const { return FHits; }
    // "패턴 검사 한도 초과 (…)" with the first pattern that hit a limit.
    QString Reason() const;

    // Called by the matcher.
    static void Report(TRxStatus status, const QString& pattern);

private:
    TRxWatch* FOuter = nullptr;
    int FHits = 0;
    QString FFirst;
    TRxStatus FFirstStatus = TRxStatus::LimitHit;
};
