#pragma once
// The simulated exchange's cash account: cash, holdings and the orders of
// the market day (with their fills), kept in a small JSON state file so a
// paper-trading account survives a restart. Order numbers keep growing
// across days (NextOrdNo is saved too).
//
// The file is replaced atomically (written beside it, then renamed) and is
// readable by its owner only. A file that cannot be read as an account state
// is never overwritten or deleted: it is renamed aside ("<file>.bad-<stamp>")
// and the account starts afresh; LoadProblem() says what happened. With an
// empty path the account lives in memory only.
#include "sim/SimOrder.h"
#include <QDate>
#include <QString>
#include <QVector>
#include <QtGlobal>

struct TSimHolding {
    QString Code;        // 6-character short code
    qint64 Qty = 0;      // shares, > 0
    double AvgPrice = 0; // average buy price, won, > 0
};

// Everything the state file holds.
struct TSimAccountState {
    qint64 Cash = 0;
    QVector<TSimHolding> Holdings;
    QDate OrdersDate;            // market day of Orders; null when none
    QVector<TSimOrder> Orders;   // that day's orders, by number
    qint64 NextOrdNo = 1;

    // Empty when the state is consistent, else what is wrong.
    QString Check() const;
};

class TSimAccount {
public:
    static constexpr qint64 kDefaultCash = 100000000;

    explicit TSimAccount(const QString& statePath = {}, qint64 startCash = kDefaultCash);

    const QString& StatePath() const { return FPath; }
    qint64 Cash() const { return FState.Cash; }
    const QVector<TSimHolding>& Holdings() const { return FState.Holdings; }
    const TSimAccountState& State() const { return FState; }
    const QVector<TSimOrder>& Orders() const { return FState.Orders; }
    // nullptr when the code is not held.
    const TSimHolding* Holding(const QString& code) const;

    // Each change is saved at once; false (with SaveError()) when saving failed
    // or the value is not acceptable (negative cash, bad code, qty < 0,
    // avg <= 0 with qty > 0). A quantity of 0 removes the holding.
    bool SetCash(qint64 cash);
    bool SetHolding(const QString& code, qint64 qty, double avgPrice);
    // Replaces the whole state with one save. An inconsistent state is
    // refused (false, SaveError, nothing changed). When saving fails the
    // state is kept in memory only with `keepOnSaveError` (what happened in
    // the market cannot be undone), else left as it was; false either way.
    bool Commit(const TSimAccountState& next, bool keepOnSaveError);

    // Empty when the state file loaded cleanly or did not exist.
    const QString& LoadProblem() const { return FLoadProblem; }
    const QString& SaveError() const { return FSaveError; }
    // Where a damaged state file was moved; empty when none was.
    const QString& SetAsidePath() const { return FAside; }

    bool Save();

    // The state as JSON text, and back (false with `err` on bad input; the
    // account is unchanged then).
    QByteArray ToJson() const;
    bool FromJson(const QByteArray& text, QString* err);

private:
    void Load();

    QString FPath;
    qint64 FStartCash;
    TSimAccountState FState;
    QString FLoadProblem, FSaveError, FAside;
};
