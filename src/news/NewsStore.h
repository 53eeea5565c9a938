#pragma once
// Today's headlines and their day file.
//
// The day file news/news_yyyymmdd.txt keeps the day's headlines across a
// restart: UTF-8, CR LF lines, one headline a line with the fields D, T, Key,
// Codes, Title, Src separated by TAB. The store writes it so that a kill at
// any moment costs at most the line being written:
//  - a headline is appended as one whole line in one write and flushed out
//    of the process before the call returns;
//  - a line without its line end at the end of the file is a torn write: it
//    is not read, and it is cut off the file before anything is appended, so
//    a new line never glues onto it;
//  - the whole file is only ever replaced through a temporary file renamed
//    over it, never rewritten in place.
// Lines that cannot be read are skipped and counted for the log; a byte that
// is not UTF-8 reads as U+FFFD.
//
// No widgets: the window's news facet owns a store, feeds it headlines,
// server archives and earlier days, and rebuilds its lists after each call
// that reports a change.
#include "news/NewsRow.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

#include <functional>

// The stock master's name of a code; an unknown code gives the code itself
// (or an empty text).
using TNameOf = std::function<QString(const QString& code)>;

// The first related stock of a headline's code field that the master knows:
// tokens split at spaces; a token of 12 or more characters starting with a
// digit is read as 12-character slots whose characters 7-12 are a code
// ("000000" never counts), and only the first such token is searched; a
// shorter token of 6 or more characters gives its last six. Empty when
// nothing is known.
QString NewsFirstCode(const QString& codes, const TNameOf& nameOf);

// One day-file line (without its line end). TAB, CR and LF inside a field
// become a space (a CR LF pair one space), so a line always reads back as
// the same six fields.
QString FormatNewsLine(const TNewsRow& row);
// The row as FormatNewsLine writes it: every field one-line.
TNewsRow OneLineRow(TNewsRow row);
// One line of a day file or of the server archive: every U+FEFF removed,
// split at TAB; false (row untouched) with fewer than five fields. A sixth
// field is Src; further ones are ignored.
bool ParseNewsLine(QStringView line, TNewsRow& row);
// Calls `f` for each line of `text` (ends CR, LF or CR LF); the last line is
// given even when it has no line end.
template <class F>
void ForEachNewsLine(QStringView text, F&& f)
{
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c != u'\n' && c != u'\r')
            continue;
        f(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        f(text.mid(start));
}

// "news_yyyymmdd.txt".
QString NewsFileName(const QString& day);
// "hh:mm" of an hhmm[ss] time (as much of it as there is).
QString NewsHhMm(const QString& t);

// What a load of today's file found, for a log line.
struct TNewsLoadStats {
    int Rows = 0;        // headlines taken
    int Malformed = 0;   // lines with fewer than five fields
    int OtherDay = 0;    // lines dated another day
    int NoKey = 0;       // lines without a key
    int Duplicates = 0;  // lines whose key was already read
    bool TornTail = false;  // the file ended inside a line: that line was skipped and cut off
    int Pruned = 0;      // day files older than a week deleted
    QString Refused;     // the file exists but was not read: why (Korean)
};
// The log line for a load that skipped something ("" when all was well).
QString NewsLoadNote(const TNewsLoadStats& s, const QString& fileName);

// What a merge of the server archive did.
struct TServerMerge {
    bool Failed = false; // the body was an "#ERR …" answer
    int Received = 0;    // today's rows with a key and a title
    int Merged = 0;      // of them, new to the list
    int Malformed = 0;   // lines with fewer than five fields
    bool Rewritten = false; // the day file was replaced by the merged list
    QString LogLine;     // the line to log (failure or counts)
};

// What EnsurePastNews did and what is left to fetch.
struct TPastNewsPlan {
    bool MinFromChanged = false; // FMinNewsFrom moved: the news view is to be rebuilt
    int Merged = 0;              // rows added from day files on disk
    QStringList Fetch;           // days with no file: ask the service host (FetchPastNewsDay)
};

class TNewsStore {
public:
    // `dir`: the news folder (beside the executable); made when first written.
    explicit TNewsStore(QString dir);

    // Largest day file read (a week of a busy feed is far below it).
    static constexpr qint64 KMaxDayFile = 256LL * 1024 * 1024;

    const QString& Dir() const { return FDir; }
    QString DayFile(const QString& day) const;

    // Today's headlines (and earlier days' rows loaded for the minute chart).
    const QVector<TNewsRow>& News() const { return FNews; }
    bool Seen(const QString& key) const { return FNewsSeen.contains(key); }
    const QString& Day() const { return FNewsDay; }
    const QString& File() const { return FNewsFile; }
    const QStringList& PastDays() const { return FNewsPastDays; }
    const QString& MinNewsFrom() const { return FMinNewsFrom; }

    // Starts the day `today` (yyyymmdd): clears everything, deletes the day
    // files older than seven days before it, reads its day file. The news,
    // issue, disclosure and hot-word views are to be rebuilt afterwards.
    TNewsLoadStats LoadTodayNews(const QString& today);

    // A real-time headline, fields trimmed (D may be empty). Dropped without
    // a key or a title, when dated another day, or when its key is known;
    // otherwise stored (one-line, dated today), appended to the day file and
    // its index returned. -1 when dropped.
    int AddNewsReal(TNewsRow row);

    // Appends one line to today's file (made, with a byte-order mark, when
    // missing). False when it could not be written; the row stays in memory.
    bool AppendNewsLine(const TNewsRow& row);

    // Merges today's archive from the service host (the body of the answer,
    // or "#ERR …"). On new rows the list is sorted by time, the seen keys
    // rebuilt and the day file replaced; the views are then to be rebuilt
    // (Merged > 0).
    TServerMerge MergeServerNews(const QString& body);

    // The minute chart now reaches back to `day`: moves FMinNewsFrom, merges
    // the weekdays from `day` up to yesterday that have a day file, and lists
    // those without one (each marked as asked for until PastNewsFailed).
    TPastNewsPlan EnsurePastNews(const QString& day);
    // The archive of an earlier day arrived (`ok`: status 200). Not ok: the
    // day may be asked for again. Ok and not empty: saved as that day's file
    // and merged. Returns the rows added.
    int PastNewsArrived(const QString& day, bool ok, const QString& body);
    // Adds the rows of `text` dated `day` whose keys are not in the list yet.
    // Nothing for today. Returns the rows added; the news view is to be
    // rebuilt.
    int MergePastNewsDay(const QString& day, const QString& text);

    // "hh:mm " + the first 30 characters of the headline with this key, or
    // the key itself.
    QString NewsCaption(const QString& key) const;

private:
    int Prune(const QString& today);
    bool RewriteDayFile();
    bool ReadDay(const QString& path, QString& text, QString* why = nullptr) const;

    QString FDir;
    QVector<TNewsRow> FNews;
    QSet<QString> FNewsSeen;
    QString FNewsDay;
    QString FNewsFile;
    QStringList FNewsPastDays;
    QString FMinNewsFrom;
    bool FFileRefused = false; // today's file exists but could not be read: never replace it
};
