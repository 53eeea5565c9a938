// The simulated account's state file: the input is the file's bytes.
//
// Checks:
//  - a state that loads is consistent, saves, and loads again unchanged
//    (every field, and the same JSON text);
//  - a file that does not load is set aside byte for byte under the name the
//    account reports, nothing is left at the old name or beside it, and the
//    account starts afresh;
//  - the in-memory reader agrees with the file reader and leaves the account
//    as it was when it refuses.
#include "FuzzUtil.h"
#include "sim/SimAccount.h"

#include <cstdint>

namespace {

constexpr qint64 kStartCash = 5000000;

bool SameOrder(const TSimOrder& a, const TSimOrder& b)
{
    return a.OrdNo == b.OrdNo && a.OrgOrdNo == b.OrgOrdNo && a.Kind == b.Kind && a.Code == b.Code && a.Side == b.Side
           && a.Price == b.Price && a.Qty == b.Qty && a.Filled == b.Filled && a.FillAmt == b.FillAmt
           && a.Moved == b.Moved && a.TimeMs == b.TimeMs && a.Fee == b.Fee && a.Tax == b.Tax
           && a.Realized == b.Realized && a.SeenVol == b.SeenVol;
}

bool SameState(const TSimAccountState& a, const TSimAccountState& b)
{
    if (a.Cash != b.Cash || a.NextOrdNo != b.NextOrdNo || a.OrdersDate != b.OrdersDate
        || a.Holdings.size() != b.Holdings.size() || a.Orders.size() != b.Orders.size())
        return false;
    for (int i = 0; i < a.Holdings.size(); ++i)
        if (a.Holdings[i].Code != b.Holdings[i].Code || a.Holdings[i].Qty != b.Holdings[i].Qty
            || a.Holdings[i].AvgPrice != b.Holdings[i].AvgPrice)
            return false;
    for (int i = 0; i < a.Orders.size(); ++i)
        if (!SameOrder(a.Orders[i], b.Orders[i]))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = InputBytes(data, size);
    const QString name = QStringLiteral("sim_account.json");

    // In memory: an account with a known state either takes the text whole
    // or stays as it was.
    TSimAccount mem(QString(), 777);
    FUZZ_CHECK(mem.SetHolding(QStringLiteral("005930"), 3, 71000.5), QStringLiteral("SetHolding in memory"));
    const QByteArray before = mem.ToJson();
    QString memErr;
    const bool memOk = mem.FromJson(bytes, &memErr);
    if (!memOk) {
        FUZZ_CHECK(!memErr.isEmpty(), QStringLiteral("refused without a reason"));
        FUZZ_CHECK(mem.ToJson() == before, QStringLiteral("a refused text changed the account"));
    } else {
        FUZZ_CHECK(mem.State().Check().isEmpty(), QStringLiteral("accepted an inconsistent state: ") + mem.State().Check());
    }

    ClearFuzzDir();
    const QString path = WriteFuzzFile(name, bytes);
    TSimAccount acct(path, kStartCash);

    if (acct.LoadProblem().isEmpty()) {
        FUZZ_CHECK(memOk, QStringLiteral("the file loads, the same text in memory does not: ") + memErr);
        FUZZ_CHECK(SameState(acct.State(), mem.State()), QStringLiteral("file and memory read different states"));
        FUZZ_CHECK(acct.State().Check().isEmpty(), QStringLiteral("loaded an inconsistent state: ") + acct.State().Check());
        FUZZ_CHECK(acct.Save(), QStringLiteral("saving a loaded state failed: ") + acct.SaveError());
        FUZZ_CHECK(FuzzDirEntries() == QStringList{name},
                   QStringLiteral("files beside the state: ") + FuzzDirEntries().join(QLatin1Char(' ')));
        TSimAccount again(path, kStartCash);
        FUZZ_CHECK(again.LoadProblem().isEmpty(),
                   QStringLiteral("the saved state does not load: %1\n%2")
                       .arg(again.LoadProblem(), Shown(acct.ToJson())));
        FUZZ_CHECK(SameState(again.State(), acct.State()),
                   QStringLiteral("state changed by save and reload:\n%1\n%2").arg(Shown(acct.ToJson()), Shown(again.ToJson())));
        FUZZ_CHECK(again.ToJson() == acct.ToJson(), QStringLiteral("JSON changed by save and reload"));
        return 0;
    }

    FUZZ_CHECK(!memOk, QStringLiteral("the text loads in memory, the file is refused: ") + acct.LoadProblem());
    const QString aside = acct.SetAsidePath();
    FUZZ_CHECK(!aside.isEmpty(), QStringLiteral("a damaged file was not set aside: ") + acct.LoadProblem());
    FUZZ_CHECK(aside.startsWith(path + QStringLiteral(".bad-")), QStringLiteral("set aside as ") + aside);
    bool ok = false;
    const QByteArray kept = ReadWholeFile(aside, &ok);
    FUZZ_CHECK(ok && kept == bytes, QStringLiteral("the set-aside file does not hold the damaged bytes"));
    FUZZ_CHECK(FuzzDirEntries() == QStringList{aside.mid(FuzzDir().size() + 1)},
               QStringLiteral("files after setting aside: ") + FuzzDirEntries().join(QLatin1Char(' ')));
    FUZZ_CHECK(acct.Cash() == kStartCash && acct.Holdings().isEmpty() && acct.Orders().isEmpty(),
               QStringLiteral("the account did not start afresh"));
    return 0;
}
