#pragma once
// A real-time feed object of the simulated exchange. The feed code is the
// name of the layout file (S3_.res is S3_). The key of the next
// AdviseRealData is the last value set with SetFieldData (block "InBlock").
// Records of the subscribed stocks arrive one ReceiveRealData each; the
// fields of block "OutBlock" are readable during the emission only.
#include "broker/XingApi.h"
#include "sim/SimExchange.h"
#include <QPointer>
#include <QSet>

class TSimReal final : public TXAReal {
    Q_OBJECT
public:
    TSimReal(TSimExchange* exchange, QObject* parent = nullptr);
    ~TSimReal() override;

    void SetResFileName(const QString& path) override;
    QString ResFileName() const override { return FRes; }
    void SetFieldData(const QString& block, const QString& field, const QString& value) override;
    void AdviseRealData() override;
    void UnadviseRealData() override;
    void UnadviseRealDataWithKey(const QString& key) override;
    QString GetFieldData(const QString& block, const QString& field) const override;

    // The feed code of the layout file; empty when it is missing or not a feed.
    const QString& FeedCode() const { return FTr; }
    QStringList Keys() const { return FKeys.values(); }

    // Sends one record (called by the exchange).
    void Deliver(const QString& tr, const TSimRealRecord* rec);

private:
    QPointer<TSimExchange> FEx;
    QString FRes, FTr, FKey;
    QSet<QString> FKeys;
    const TSimRealRecord* FCur = nullptr;
};
