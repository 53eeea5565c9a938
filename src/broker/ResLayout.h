#pragma once
// Result-layout (.res) files: the broker describes every transaction and
// real-time feed in one such text file, named after its code. Field names
// differ between versions of these files while the Korean descriptions stay
// put, so callers look names up by description (LoadResFields + FindField).
// The simulated exchange reads the whole layout with LoadResLayout.
//
// File text is CP949 unless it starts with a byte-order mark (UTF-8,
// UTF-16LE or UTF-16BE). The format:
//
//   BEGIN_FUNCTION_MAP
//       .Func,<title>(<code>),<code>,block,headtype=A;      (.Feed for real-time)
//       BEGIN_DATA_MAP
//       <block>,<description>,input|output[,occurs];
//       begin
//           <description>,<name>,<name>,<char|long|float|double|int>,<size[.decimals]>;
//       end
//       ...
//       END_DATA_MAP
//   END_FUNCTION_MAP
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

struct TResField {
    QString Desc;  // description as written in the layout file
    QString Name;  // the name GetFieldData takes
};
using TResFields = QVector<TResField>;

// Largest layout file read; the broker's own are a few kilobytes.
inline constexpr qint64 KResMaxFileBytes = 8 * 1024 * 1024;

// Bytes of a layout file as text: by byte-order mark, else CP949.
QString DecodeResText(const QByteArray& bytes);
// CP949 (the Korean Windows code page, with the extended hangul) to text;
// undecodable bytes become U+FFFD.
QString DecodeCp949(const QByteArray& bytes);

// The field list of `block`: from the first line that starts (letter case
// ignored) with the block name and a comma, the lines between the next
// "begin" and "end"; each with at least two comma-separated parts gives
// (first part, second part), trimmed. Empty when the file is missing or
// unreadable or the block is not found.
TResFields LoadResFields(const QString& path, const QString& block);

// The name of the first field (in file order) whose description equals the
// first of `descs` that any field has; `fallback` when none does.
QString FindField(const TResFields& fields, const QStringList& descs, const QString& fallback);

struct TResFieldSpec {
    QString Type;      // char, long, float, double or int
    int Size = 0;      // characters
    int Decimals = 0;  // digits after the point of float/double fields

    // A whole number (long, int), one with a fraction (float, double), or
    // either: the rest (char) is text.
    bool Whole() const { return Type == QLatin1String("long") || Type == QLatin1String("int"); }
    bool Fraction() const { return Type == QLatin1String("float") || Type == QLatin1String("double"); }
    bool Numeric() const { return Whole() || Fraction(); }
};

struct TResBlock {
    QString Name;
    QString Desc;
    bool Input = false;
    bool Occurs = false;           // an array of records
    TResFields Fields;             // file order
    QVector<TResFieldSpec> Specs;  // parallel to Fields

    // Index of the field named `name` (exact), -1 when absent.
    int IndexOf(const QString& name) const;
    bool Has(const QString& name) const { return IndexOf(name) >= 0; }
};

struct TResLayout {
    QString Code;   // the transaction or feed code
    QString Desc;   // its title, without the "(code)" suffix
    bool Feed = false;
    QVector<TResBlock> Blocks;

    // The block named `name` (letter case ignored), nullptr when absent.
    const TResBlock* Block(const QString& name) const;
};

// Reads and checks a whole layout file. False, with `err` (when given) set
// to a message naming the file and line, when the file is missing, too
// large or not in the format above; `out` is then left empty.
bool LoadResLayout(const QString& path, TResLayout& out, QString* err = nullptr);
// The same for text already in memory; `origin` names it in messages.
bool ParseResLayout(const QString& text, const QString& origin, TResLayout& out, QString* err = nullptr);

namespace ResLayoutDetail {
// The two converters DecodeCp949 chooses from: glibc's iconv, else Qt's
// ICU-backed decoder. `ok` is false when the converter is not available.
QString DecodeCp949Iconv(const QByteArray& bytes, bool* ok = nullptr);
QString DecodeCp949Icu(const QByteArray& bytes, bool* ok = nullptr);
}
