#pragma once
// A query answer or real-time record whose fields come from the fuzz input.
//
// Record text, one field a line:
//   <field>=<value>        the field in every row
//   <field>@<row>=<value>  the field in one row (takes precedence)
//   #count=<n>             GetBlockCount of every block (default: one more
//                          than the highest row named, at least 1)
// Blocks are not told apart: the field names a reader takes from its blocks
// do not clash.
// A field the record does not name reads as "".
#include "broker/XingApi.h"

#include <QByteArray>
#include <QHash>
#include <QString>

class TFuzzFields {
public:
    explicit TFuzzFields(const QByteArray& text)
    {
        for (const QByteArray& line : text.split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq <= 0)
                continue;
            const QString name = QString::fromUtf8(line.left(eq));
            const QString value = QString::fromUtf8(line.mid(eq + 1));
            if (name == QLatin1String("#count")) {
                FCount = qBound(-3, value.trimmed().toInt(), 64);
                FCountSet = true;
                continue;
            }
            const qsizetype at = name.indexOf(QLatin1Char('@'));
            if (at > 0) {
                bool ok = false;
                const int row = name.mid(at + 1).toInt(&ok);
                if (ok && row >= 0 && row < 64) {
                    FRows.insert(name.left(at) + QLatin1Char('@') + QString::number(row), value);
                    FMaxRow = qMax(FMaxRow, row);
                    continue;
                }
            }
            FAll.insert(name, value);
        }
    }
    QString Get(const QString& field, int row) const
    {
        const auto it = FRows.constFind(field + QLatin1Char('@') + QString::number(row));
        return it != FRows.constEnd() ? *it : FAll.value(field);
    }
    int Count() const { return FCountSet ? FCount : FMaxRow + 1; }

private:
    QHash<QString, QString> FAll, FRows;
    int FMaxRow = 0;
    int FCount = 0;
    bool FCountSet = false;
};

class TFuzzQuery final : public TXAQuery {
public:
    explicit TFuzzQuery(const QByteArray& text) : FFields(text) {}
    void SetResFileName(const QString& path) override { FRes = path; }
    QString ResFileName() const override { return FRes; }
    void SetFieldData(const QString&, const QString&, int, const QString&) override {}
    QString GetFieldData(const QString&, const QString& field, int idx) const override { return FFields.Get(field, idx); }
    int GetBlockCount(const QString&) const override { return FFields.Count(); }
    int Decompress(const QString&) override { return -1; }
    QString GetBlockData(const QString&) const override { return {}; }
    int Request(bool) override { return -1; }
    int GetTRCountBaseSec(const QString&) const override { return 1; }
    int GetTRCountPerSec(const QString&) const override { return 1; }
    int GetTRCountLimit(const QString&) const override { return 0; }

private:
    TFuzzFields FFields;
    QString FRes;
};

class TFuzzReal final : public TXAReal {
public:
    explicit TFuzzReal(const QByteArray& text) : FFields(text) {}
    void SetResFileName(const QString& path) override { FRes = path; }
    QString ResFileName() const override { return FRes; }
    void SetFieldData(const QString&, const QString&, const QString&) override {}
    void AdviseRealData() override {}
    void UnadviseRealData() override {}
    void UnadviseRealDataWithKey(const QString&) override {}
    QString GetFieldData(const QString&, const QString& field) const override { return FFields.Get(field, 0); }

private:
    TFuzzFields FFields;
    QString FRes;
};
