#pragma once
// A query answer of the simulated exchange: the broker messages it sends and
// the output blocks, shaped by the transaction's result layout.
#include "broker/ResLayout.h"
#include <QHash>
#include <QStringList>
#include <QVector>

struct TSimBlockData {
    QString Name;
    QStringList Fields;          // layout order
    QVector<QStringList> Rows;   // one text per field

    int IndexOf(const QString& field) const { return Fields.indexOf(field); }
};

struct TSimMessage {
    bool SystemError = false;
    QString Code, Text;
};

struct TSimReply {
    QVector<TSimMessage> Before;   // messages sent before the data
    bool HasData = false;
    QVector<TSimBlockData> Blocks; // output blocks (HasData)
    // Blocks sent compressed (comp_yn "Y"): readable after Decompress.
    QStringList Compressed;
    QVector<TSimMessage> After;    // messages sent after the data

    // The block named `name` (letter case ignored), nullptr when absent.
    const TSimBlockData* Block(const QString& name) const;
};

// Builders shared by every answer.
inline TSimMessage SimMsgOf(const QString& code, const QString& text) { return {false, code, text}; }
// A broker message and no data.
TSimReply MessageOnly(const QString& code, const QString& text);
// The output block named `name`; nullptr when the layout lacks it (or it is an input block).
const TResBlock* OutBlock(const TResLayout& layout, const QString& name);
// The refusal for a layout that lacks the blocks an answer needs.
TSimReply LayoutLacks(const QString& blocks);

// Fills one output block of a layout row by row. Fields the layout does not
// declare are ignored, fields never set read "0" for numbers and "" for text.
class TSimBlockFill {
public:
    explicit TSimBlockFill(const TResBlock& block);

    void NewRow();
    void Set(const QString& field, const QString& value) { Put(FData.Fields.indexOf(field), value); }
    void Set(const QString& field, qint64 value) { Set(field, QString::number(value)); }
    void Set(const QString& field, int value) { Set(field, QString::number(value)); }
    // A number with `decimals` digits after the point.
    void SetReal(const QString& field, double value, int decimals) { Put(FData.Fields.indexOf(field), Real(value, decimals)); }
    // The same for a field named by a literal (no text is made to find it).
    void Set(const char* field, const QString& value) { Put(IndexOf(field), value); }
    void Set(const char* field, qint64 value) { Set(field, QString::number(value)); }
    void Set(const char* field, int value) { Set(field, QString::number(value)); }
    void SetReal(const char* field, double value, int decimals) { Put(IndexOf(field), Real(value, decimals)); }
    int RowCount() const { return FData.Rows.size(); }
    TSimBlockData Take() { return std::move(FData); }

private:
    int IndexOf(const char* field) const;
    void Put(int index, const QString& value);
    static QString Real(double value, int decimals);

    TSimBlockData FData;
    QStringList FBlank;
};
