#pragma once
// A query object holding a canned answer, for the parsers' tests.
#include "broker/XingApi.h"

#include <QHash>
#include <QVector>

class TFakeQuery : public TXAQuery {
public:
    using TRow = QHash<QString, QString>;
    QHash<QString, QVector<TRow>> Blocks;

    void SetResFileName(const QString&) override {}
    QString ResFileName() const override { return {}; }
    void SetFieldData(const QString&, const QString&, int, const QString&) override {}
    QString GetFieldData(const QString& b, const QString& f, int i) const override
    {
        const auto rows = Blocks.value(b);
        return i >= 0 && i < rows.size() ? rows[i].value(f) : QString();
    }
    int GetBlockCount(const QString& b) const override { return Blocks.value(b).size(); }
    int Decompress(const QString& b) override { return GetBlockCount(b); }
    QString GetBlockData(const QString&) const override { return {}; }
    int Request(bool) override { return -1; }
    int GetTRCountBaseSec(const QString&) const override { return 1; }
    int GetTRCountPerSec(const QString&) const override { return 1; }
    int GetTRCountLimit(const QString&) const override { return 0; }
};
