#include "sim/SimAccount.h"
#include "sim/SimStock.h"
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cmath>
#include <nlohmann/json.hpp>

namespace {
constexpr int kStateVersion = 1;
constexpr qint64 kMaxStateBytes = 16 * 1024 * 1024;
}

TSimAccount::TSimAccount(const QString& statePath, qint64 startCash)
    : FPath(statePath), FStartCash(qMax<qint64>(0, startCash)), FCash(FStartCash)
{
    if (!FPath.isEmpty())
        Load();
}

const TSimHolding* TSimAccount::Holding(const QString& code) const
{
    for (const TSimHolding& h : FHoldings)
        if (h.Code == code)
            return &h;
    return nullptr;
}

bool TSimAccount::SetCash(qint64 cash)
{
    if (cash < 0) {
        FSaveError = QStringLiteral("예수금은 0 이상이어야 합니다: %1").arg(cash);
        return false;
    }
    FCash = cash;
    return Save();
}

bool TSimAccount::SetHolding(const QString& code, qint64 qty, double avgPrice)
{
    if (!IsValidStockCode(code) || qty < 0 || (qty > 0 && !(avgPrice > 0 && std::isfinite(avgPrice)))) {
        FSaveError = QStringLiteral("잔고 값이 올바르지 않습니다: %1 %2주 @ %3").arg(code).arg(qty).arg(avgPrice);
        return false;
    }
    for (int i = 0; i < FHoldings.size(); ++i) {
        if (FHoldings[i].Code != code)
            continue;
        if (qty == 0)
            FHoldings.removeAt(i);
        else
            FHoldings[i] = {code, qty, avgPrice};
        return Save();
    }
    if (qty > 0)
        FHoldings.append({code, qty, avgPrice});
    return Save();
}

QByteArray TSimAccount::ToJson() const
{
    nlohmann::ordered_json j;
    j["version"] = kStateVersion;
    j["cash"] = FCash;
    auto hs = nlohmann::ordered_json::array();
    for (const TSimHolding& h : FHoldings)
        hs.push_back({{"code", h.Code.toStdString()}, {"qty", h.Qty}, {"avg", h.AvgPrice}});
    j["holdings"] = hs;
    j["orders"] = nlohmann::ordered_json::array();
    return QByteArray::fromStdString(j.dump(2)) + '\n';
}

bool TSimAccount::FromJson(const QByteArray& text, QString* err)
{
    auto fail = [&](const QString& why) {
        if (err)
            *err = why;
        return false;
    };
    nlohmann::json j = nlohmann::json::parse(text.constData(), text.constData() + text.size(), nullptr, false);
    if (j.is_discarded() || !j.is_object())
        return fail(QStringLiteral("JSON 형식이 아닙니다"));
    if (!j.contains("version") || !j["version"].is_number_integer() || j["version"].get<int>() != kStateVersion)
        return fail(QStringLiteral("알 수 없는 버전"));
    if (!j.contains("cash") || !j["cash"].is_number_integer() || j["cash"].get<qint64>() < 0)
        return fail(QStringLiteral("예수금(cash) 값이 올바르지 않습니다"));
    QVector<TSimHolding> holdings;
    if (j.contains("holdings")) {
        if (!j["holdings"].is_array())
            return fail(QStringLiteral("holdings 가 배열이 아닙니다"));
        for (const auto& h : j["holdings"]) {
            if (!h.is_object() || !h.contains("code") || !h["code"].is_string() || !h.contains("qty")
                || !h["qty"].is_number_integer() || !h.contains("avg") || !h["avg"].is_number())
                return fail(QStringLiteral("잔고 항목 형식이 올바르지 않습니다"));
            TSimHolding x{QString::fromStdString(h["code"].get<std::string>()), h["qty"].get<qint64>(),
                          h["avg"].get<double>()};
            if (!IsValidStockCode(x.Code) || x.Qty <= 0 || !(x.AvgPrice > 0) || !std::isfinite(x.AvgPrice))
                return fail(QStringLiteral("잔고 항목 값이 올바르지 않습니다: %1").arg(x.Code));
            for (const TSimHolding& y : holdings)
                if (y.Code == x.Code)
                    return fail(QStringLiteral("잔고 종목이 두 번 있습니다: %1").arg(x.Code));
            holdings.append(x);
        }
    }
    if (j.contains("orders") && !j["orders"].is_array())
        return fail(QStringLiteral("orders 가 배열이 아닙니다"));
    FCash = j["cash"].get<qint64>();
    FHoldings = holdings;
    return true;
}

void TSimAccount::Load()
{
    QFile f(FPath);
    if (!f.exists())
        return;
    QString why;
    QByteArray bytes;
    if (!f.open(QIODevice::ReadOnly)) {
        // Unreadable (permissions): leave it where it is, run in memory.
        FLoadProblem = QStringLiteral("모의 계좌 파일을 읽지 못했습니다 (%1): %2").arg(FPath, f.errorString());
        FPath.clear();
        return;
    }
    if (f.size() > kMaxStateBytes)
        why = QStringLiteral("파일이 너무 큽니다");
    else
        bytes = f.readAll();
    f.close();
    if (why.isEmpty() && FromJson(bytes, &why))
        return;

    FCash = FStartCash;
    FHoldings.clear();
    const QString aside = FPath + QStringLiteral(".bad-")
                          + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (QFile::rename(FPath, aside)) {
        FAside = aside;
        FLoadProblem = QStringLiteral("모의 계좌 파일이 손상되어 새로 시작합니다 (%1). 원래 파일: %2").arg(why, aside);
    } else {
        // Cannot move it aside: keep it untouched and do not save over it.
        FLoadProblem = QStringLiteral("모의 계좌 파일이 손상되었고 옮기지도 못해 저장하지 않습니다 (%1): %2").arg(why, FPath);
        FPath.clear();
    }
}

bool TSimAccount::Save()
{
    FSaveError.clear();
    if (FPath.isEmpty())
        return true;
    QSaveFile f(FPath);
    if (!f.open(QIODevice::WriteOnly)) {
        FSaveError = QStringLiteral("모의 계좌 파일을 저장하지 못했습니다 (%1): %2").arg(FPath, f.errorString());
        return false;
    }
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray text = ToJson();
    if (f.write(text) != text.size() || !f.commit()) {
        FSaveError = QStringLiteral("모의 계좌 파일을 저장하지 못했습니다 (%1): %2").arg(FPath, f.errorString());
        return false;
    }
    QFile::setPermissions(FPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}
