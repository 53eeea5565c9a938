#include "sim/SimAccount.h"
#include "core/SafeFile.h"
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
    : FPath(statePath), FStartCash(qMax<qint64>(0, startCash))
{
    FState.Cash = FStartCash;
    if (!FPath.isEmpty())
        Load();
}

const TSimHolding* TSimAccount::Holding(const QString& code) const
{
    for (const TSimHolding& h : FState.Holdings)
        if (h.Code == code)
            return &h;
    return nullptr;
}

QString TSimAccountState::Check() const
{
    if (Cash < 0)
        return QStringLiteral("예수금(cash) 값이 올바르지 않습니다");
    for (int i = 0; i < Holdings.size(); ++i) {
        const TSimHolding& x = Holdings[i];
        if (!IsValidStockCode(x.Code) || x.Qty <= 0 || !(x.AvgPrice > 0) || !std::isfinite(x.AvgPrice))
            return QStringLiteral("잔고 항목 값이 올바르지 않습니다: %1").arg(x.Code);
        for (int k = 0; k < i; ++k)
            if (Holdings[k].Code == x.Code)
                return QStringLiteral("잔고 종목이 두 번 있습니다: %1").arg(x.Code);
    }
    qint64 prev = 0;
    for (const TSimOrder& o : Orders) {
        const bool ok = o.OrdNo > prev && o.OrdNo < NextOrdNo && IsValidStockCode(o.Code)
                        && (o.Side == '1' || o.Side == '2') && o.Price > 0 && o.Qty > 0 && o.Qty <= kSimMaxOrderQty && o.Filled >= 0
                        && o.Moved >= 0 && o.Filled <= o.Qty && o.Moved <= o.Qty - o.Filled && o.FillAmt >= 0 && o.Fee >= 0
                        && o.Tax >= 0 && o.TimeMs >= 0 && o.TimeMs < 86400000
                        && (o.Kind == TSimOrdKind::New) == (o.OrgOrdNo == 0) && o.OrgOrdNo < o.OrdNo
                        && (o.Kind != TSimOrdKind::Cancel || (o.Filled == 0 && o.Moved == 0));
        if (!ok)
            return QStringLiteral("주문 항목 값이 올바르지 않습니다: #%1").arg(o.OrdNo);
        prev = o.OrdNo;
    }
    if (!Orders.isEmpty() && !OrdersDate.isValid())
        return QStringLiteral("주문 날짜가 없습니다");
    if (NextOrdNo < 1)
        return QStringLiteral("다음 주문번호가 올바르지 않습니다");
    return {};
}

bool TSimAccount::Commit(const TSimAccountState& next, bool keepOnSaveError)
{
    const QString why = next.Check();
    if (!why.isEmpty()) {
        FSaveError = why;
        return false;
    }
    const TSimAccountState before = FState;
    FState = next;
    if (Save())
        return true;
    if (!keepOnSaveError)
        FState = before;
    return false;
}

bool TSimAccount::SetCash(qint64 cash)
{
    if (cash < 0) {
        FSaveError = QStringLiteral("예수금은 0 이상이어야 합니다: %1").arg(cash);
        return false;
    }
    FState.Cash = cash;
    return Save();
}

bool TSimAccount::SetHolding(const QString& code, qint64 qty, double avgPrice)
{
    if (!IsValidStockCode(code) || qty < 0 || (qty > 0 && !(avgPrice > 0 && std::isfinite(avgPrice)))) {
        FSaveError = QStringLiteral("잔고 값이 올바르지 않습니다: %1 %2주 @ %3").arg(code).arg(qty).arg(avgPrice);
        return false;
    }
    auto& hs = FState.Holdings;
    for (int i = 0; i < hs.size(); ++i) {
        if (hs[i].Code != code)
            continue;
        if (qty == 0)
            hs.removeAt(i);
        else
            hs[i] = {code, qty, avgPrice};
        return Save();
    }
    if (qty > 0)
        hs.append({code, qty, avgPrice});
    return Save();
}

namespace {

const char* KindName(TSimOrdKind k)
{
    switch (k) {
    case TSimOrdKind::Modify: return "modify";
    case TSimOrdKind::Cancel: return "cancel";
    default: return "new";
    }
}

bool KindOf(const std::string& s, TSimOrdKind* k)
{
    if (s == "new")
        *k = TSimOrdKind::New;
    else if (s == "modify")
        *k = TSimOrdKind::Modify;
    else if (s == "cancel")
        *k = TSimOrdKind::Cancel;
    else
        return false;
    return true;
}

} // namespace

QByteArray TSimAccount::ToJson() const
{
    nlohmann::ordered_json j;
    j["version"] = kStateVersion;
    j["cash"] = FState.Cash;
    auto hs = nlohmann::ordered_json::array();
    for (const TSimHolding& h : FState.Holdings)
        hs.push_back({{"code", h.Code.toStdString()}, {"qty", h.Qty}, {"avg", h.AvgPrice}});
    j["holdings"] = hs;
    j["nextOrdNo"] = FState.NextOrdNo;
    j["ordersDate"] = FState.OrdersDate.isValid() ? FState.OrdersDate.toString(Qt::ISODate).toStdString() : std::string();
    auto os = nlohmann::ordered_json::array();
    for (const TSimOrder& o : FState.Orders)
        os.push_back({{"no", o.OrdNo}, {"org", o.OrgOrdNo}, {"kind", KindName(o.Kind)},
                      {"code", o.Code.toStdString()}, {"side", std::string(1, o.Side)}, {"price", o.Price},
                      {"qty", o.Qty}, {"filled", o.Filled}, {"fillAmt", o.FillAmt}, {"moved", o.Moved},
                      {"timeMs", o.TimeMs}, {"fee", o.Fee}, {"tax", o.Tax}, {"pnl", o.Realized},
                      {"seenVol", o.SeenVol}});
    j["orders"] = os;
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
    TSimAccountState st;
    st.Cash = j["cash"].get<qint64>();
    if (j.contains("holdings")) {
        if (!j["holdings"].is_array())
            return fail(QStringLiteral("holdings 가 배열이 아닙니다"));
        for (const auto& h : j["holdings"]) {
            if (!h.is_object() || !h.contains("code") || !h["code"].is_string() || !h.contains("qty")
                || !h["qty"].is_number_integer() || !h.contains("avg") || !h["avg"].is_number())
                return fail(QStringLiteral("잔고 항목 형식이 올바르지 않습니다"));
            st.Holdings.append({QString::fromStdString(h["code"].get<std::string>()), h["qty"].get<qint64>(),
                                h["avg"].get<double>()});
        }
    }
    if (j.contains("orders") && !j["orders"].is_array())
        return fail(QStringLiteral("orders 가 배열이 아닙니다"));
    qint64 maxNo = 0;
    if (j.contains("orders")) {
        for (const auto& o : j["orders"]) {
            auto num = [&o](const char* k) { return o.contains(k) && o[k].is_number_integer(); };
            auto str = [&o](const char* k) { return o.contains(k) && o[k].is_string(); };
            if (!o.is_object() || !num("no") || !num("org") || !str("kind") || !str("code") || !str("side")
                || !num("price") || !num("qty") || !num("filled") || !num("fillAmt") || !num("moved")
                || !num("timeMs") || !num("fee") || !num("tax"))
                return fail(QStringLiteral("주문 항목 형식이 올바르지 않습니다"));
            TSimOrder x;
            const std::string side = o["side"].get<std::string>();
            if (!KindOf(o["kind"].get<std::string>(), &x.Kind) || side.size() != 1)
                return fail(QStringLiteral("주문 항목 형식이 올바르지 않습니다"));
            const qint64 price = o["price"].get<qint64>(), timeMs = o["timeMs"].get<qint64>();
            if (price < 1 || price > kSimMaxOrderPrice || timeMs < 0 || timeMs >= 86400000)
                return fail(QStringLiteral("주문 항목 값이 올바르지 않습니다"));
            x.OrdNo = o["no"].get<qint64>();
            x.OrgOrdNo = o["org"].get<qint64>();
            x.Code = QString::fromStdString(o["code"].get<std::string>());
            x.Side = side[0];
            x.Price = int(price);
            x.Qty = o["qty"].get<qint64>();
            x.Filled = o["filled"].get<qint64>();
            x.FillAmt = o["fillAmt"].get<qint64>();
            x.Moved = o["moved"].get<qint64>();
            x.TimeMs = int(timeMs);
            x.Fee = o["fee"].get<qint64>();
            x.Tax = o["tax"].get<qint64>();
            if (o.contains("pnl")) {
                if (!o["pnl"].is_number_integer())
                    return fail(QStringLiteral("주문 항목 형식이 올바르지 않습니다"));
                x.Realized = o["pnl"].get<qint64>();
            }
            if (o.contains("seenVol")) {
                if (!o["seenVol"].is_number_integer() || o["seenVol"].get<qint64>() < 0)
                    return fail(QStringLiteral("주문 항목 형식이 올바르지 않습니다"));
                x.SeenVol = o["seenVol"].get<qint64>();
            }
            maxNo = qMax(maxNo, x.OrdNo);
            st.Orders.append(x);
        }
    }
    if (j.contains("ordersDate")) {
        if (!j["ordersDate"].is_string())
            return fail(QStringLiteral("ordersDate 형식이 올바르지 않습니다"));
        const std::string d = j["ordersDate"].get<std::string>();
        if (!d.empty()) {
            st.OrdersDate = QDate::fromString(QString::fromStdString(d), Qt::ISODate);
            if (!st.OrdersDate.isValid())
                return fail(QStringLiteral("ordersDate 형식이 올바르지 않습니다"));
        }
    }
    st.NextOrdNo = maxNo + 1;
    if (j.contains("nextOrdNo")) {
        if (!j["nextOrdNo"].is_number_integer())
            return fail(QStringLiteral("nextOrdNo 형식이 올바르지 않습니다"));
        st.NextOrdNo = j["nextOrdNo"].get<qint64>();
    }
    const QString why = st.Check();
    if (!why.isEmpty())
        return fail(why);
    FState = st;
    return true;
}

void TSimAccount::Load()
{
    const TFileRead file = ReadRegularFile(FPath, kMaxStateBytes);
    if (file.State == TFileRead::Missing)
        return;
    QString why;
    if (file.State == TFileRead::Refused && file.NotRegular) {
        // A folder or a pipe is no damaged state: leave it where it is, run in memory.
        FLoadProblem = QStringLiteral("모의 계좌 파일을 읽지 않았습니다 (%1): %2 — 저장하지 않습니다").arg(file.Why, FPath);
        FPath.clear();
        return;
    }
    if (file.State == TFileRead::Refused && !file.TooBig) {
        // Unreadable (permissions): leave it where it is, run in memory.
        FLoadProblem = QStringLiteral("모의 계좌 파일을 읽지 못했습니다 (%1): %2").arg(FPath, file.Why);
        FPath.clear();
        return;
    }
    if (file.State == TFileRead::Refused)
        why = QStringLiteral("파일이 너무 큽니다");
    const QByteArray& bytes = file.Bytes;
    if (why.isEmpty() && FromJson(bytes, &why))
        return;

    FState = TSimAccountState();
    FState.Cash = FStartCash;
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
