#pragma once
// A query object of the simulated exchange. The transaction code is the name
// of the layout file (t1101.res is t1101); the file must exist and be a valid
// layout, else Request refuses with a negative number. The answer of the last
// data event stays readable until the next one arrives.
//
// A compressed output block (SimReply.h) shows no records - GetBlockCount 0,
// empty fields - until Decompress is called for it, as with the broker's
// own API; Decompress then gives its record count.
#include "broker/XingApi.h"
#include "sim/SimExchange.h"
#include "sim/SimReply.h"
#include <QPointer>
#include <QSet>

class TSimQuery final : public TXAQuery {
    Q_OBJECT
public:
    TSimQuery(TSimExchange* exchange, QObject* parent = nullptr);

    void SetResFileName(const QString& path) override;
    QString ResFileName() const override { return FRes; }
    void SetFieldData(const QString& block, const QString& field, int idx, const QString& value) override;
    QString GetFieldData(const QString& block, const QString& field, int idx) const override;
    int GetBlockCount(const QString& block) const override;
    int Decompress(const QString& block) override;
    QString GetBlockData(const QString& block) const override;
    int Request(bool next) override;
    int AnswerId() const override { return FAnswerId; }
    int GetTRCountBaseSec(const QString& tr) const override;
    int GetTRCountPerSec(const QString& tr) const override;
    int GetTRCountLimit(const QString& tr) const override;

    // Why the last Request was refused (layout problems); empty otherwise.
    const QString& LastError() const { return FError; }

    // Sends one answer's events (called by the exchange).
    void Deliver(const QString& tr, const TSimReply& reply, int id);

private:
    QPointer<TSimExchange> FEx;
    QString FRes;
    TSimInputs FIn;
    TSimReply FData;
    QSet<QString> FUnpacked;   // compressed blocks decompressed (lower case)
    int FAnswerId = 0;         // request of the events being delivered

    const TSimBlockData* Readable(const QString& block) const;
    QString FError;
};
