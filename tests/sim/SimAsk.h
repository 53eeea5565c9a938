// Asking the simulated exchange directly, without a query object: the answer
// to a transaction with the input fields of its InBlock, and an answer
// block's rows as field -> value maps.
#pragma once
#include "broker/ResLayout.h"
#include "sim/SimExchange.h"
#include "sim/SimReply.h"
#include <QMap>
#include <QString>
#include <QVector>
#include <gtest/gtest.h>

using TIn = QMap<QString, QString>;
using TRow = QMap<QString, QString>;

inline QString ResPathOf(const QString& tr) { return QStringLiteral(KESTREL_RES_DIR) + tr + QStringLiteral(".res"); }

inline TSimReply AskExchange(TSimExchange& ex, const QString& tr, const TIn& in, bool next = false)
{
    TResLayout layout;
    EXPECT_TRUE(LoadResLayout(ResPathOf(tr), layout));
    TSimInputs inputs;
    for (auto it = in.cbegin(); it != in.cend(); ++it)
        inputs.insert(TSimExchange::InputKey(tr + QStringLiteral("InBlock"), it.key(), 0), it.value());
    return ex.Answer(tr, layout, inputs, next);
}

inline QVector<TRow> ReplyRows(const TSimReply& r, const QString& block)
{
    QVector<TRow> out;
    const TSimBlockData* b = r.Block(block);
    if (!b)
        return out;
    for (const QStringList& row : b->Rows) {
        TRow m;
        for (int i = 0; i < b->Fields.size() && i < row.size(); ++i)
            m.insert(b->Fields[i], row[i]);
        out.append(m);
    }
    return out;
}
