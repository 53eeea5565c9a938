#pragma once
// The whole settings file in memory: read once, changed in memory, written
// back whole. Lines the reader does not understand (comments, blank lines,
// text outside sections) and every section and key the program does not
// know stay where they were, so a save loses nothing.
//
// Format: "[Section]" lines and "Key=Value" lines. Section and key names
// compare case-insensitively and are trimmed. The value is the text after
// the first '=' up to the end of the line, exactly as written (no trimming),
// so a password with leading or trailing spaces survives a round trip;
// callers trim the values that must be trimmed. Lines whose first non-blank
// character is ';' are comments.
//
// Files are read as UTF-8 with or without a byte-order mark; bytes that are
// not valid UTF-8 are decoded as U+FFFD (see HadInvalidText()). Files are
// written as UTF-8 with a byte-order mark, atomically (temporary file in the
// same folder, flushed to disk, renamed over the target) and readable and
// writable by the owner only, because they hold passwords.
#include <QString>
#include <QStringList>
#include <vector>

class TIniFile {
public:
    // Larger files are refused (a settings file is a few kilobytes).
    static constexpr qint64 kMaxBytes = 4LL * 1024 * 1024;

    TIniFile() = default;
    // Loads path at once (see Load).
    explicit TIniFile(const QString& path);

    // Reads the file. A missing file is an empty document (true). A file that
    // exists but cannot be read gives false with a reason in err; such a
    // document refuses UpdateFile so the unread file is never overwritten.
    bool Load(const QString& path, QString* err = nullptr);

    QString FileName() const { return FPath; }
    // Whether the file existed when it was loaded.
    bool Exists() const { return FExists; }
    // Whether some bytes of the file were not valid UTF-8.
    bool HadInvalidText() const { return FInvalidText; }

    QString ReadString(const QString& sec, const QString& key, const QString& def) const;
    // A value that is not a whole number reads as def.
    int ReadInteger(const QString& sec, const QString& key, int def) const;
    // Any non-zero integer is true; a value that is not a number reads as def.
    bool ReadBool(const QString& sec, const QString& key, bool def) const;
    bool ValueExists(const QString& sec, const QString& key) const;
    bool SectionExists(const QString& sec) const;

    // Replaces the value of an existing key (keeping its place) or appends a
    // new key at the end of its section; a new section goes at the end of the
    // file. Line breaks inside a value would create new lines in the file, so
    // each CR or LF of the value is stored as a space.
    void WriteString(const QString& sec, const QString& key, const QString& value);
    void WriteInteger(const QString& sec, const QString& key, int value);
    void WriteBool(const QString& sec, const QString& key, bool value); // "1" / "0"

    // Writes the document to the file it was loaded from (or to path when
    // given). On failure returns false with a reason in err and leaves the
    // existing file untouched.
    bool UpdateFile(QString* err = nullptr);
    bool SaveAs(const QString& path, QString* err = nullptr);

    // The document as text (without byte-order mark).
    QString Text() const;

private:
    enum class TKind { Other, Section, Key };
    struct TLine {
        TKind Kind = TKind::Other;
        QString Name;  // section or key name, trimmed
        QString Value; // key lines: text after '='
        QString Raw;   // the line as read or written
    };

    static TLine ParseLine(const QString& raw);
    // Index of the key line in section sec, or -1.
    int FindKey(const QString& sec, const QString& key) const;

    QString FPath;
    std::vector<TLine> FLines;
    bool FExists = false;
    bool FLoadFailed = false;
    bool FInvalidText = false;
    bool FCrLf = false;
};

// Comma text: items separated by commas; an item holding a space (or any
// control character), a comma or a double quote is written in double quotes
// with inner quotes doubled. On reading, unquoted spaces also separate items.
QStringList CommaTextToList(const QString& text);
QString ListToCommaText(const QStringList& items);
