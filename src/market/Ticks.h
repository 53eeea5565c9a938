#pragma once
// Today's trades of the current stock, newest first: paged in from the tick
// query, extended by each real-time trade, each classified as buyer- or
// seller-initiated. The ladder's tick sums are the volumes per price and side
// of the classified ticks since the sums were last restarted.
#include <QString>
#include <QVector>
#include <functional>

struct TTickRow {
    QString T;       // hh:nn:ss
    int P = 0;
    qint64 V = 0;
    quint8 Sd = 0;   // 0 unknown, 1 buyer-initiated, 2 seller-initiated
    qint64 Ms = 0, Md = 0;
    bool HasCum = false;
};

// One record of a t1301 page as read from the answer.
struct TTickRec {
    QString Chetime;
    int Price = 0;
    qint64 CVolume = 0;
    int Ask = 0, Bid = 0;
    qint64 Ms = 0, Md = 0;
};

inline constexpr int kMaxTicks = 20000;

// Receives the tick sums: (side, price, volume); a negative volume takes a tick out.
using TTickSink = std::function<void(int sd, int price, qint64 vol)>;

class TTickList {
public:
    // A page of the tick query; `first` empties the list before appending.
    void ApplyPage(const QVector<TTickRec>& recs, bool first);
    // A real-time trade: inserted at the top. Returns the row.
    const TTickRow& AddReal(const QString& chetime, int price, qint64 vol, const QString& cgubun,
                            const TTickSink& sums);
    void Clear();
    // Drops the oldest row, taking it out of the sums (a full list makes room).
    void DropOldest(const TTickSink& sums);
    // Replays every classified tick into the sums (after the caller cleared them).
    void RebuildSums(const TTickSink& sums);
    QString SumsLabel() const;

    const QVector<TTickRow>& Rows() const { return FTicks; }
    int Count() const { return FTicks.size(); }
    int Inserted() const { return FIns; }
    int SumCount() const { return FTkCnt; }
    const QString& SumFrom() const { return FTkFrom; }

    static QString TimeText(const QString& hhmmss);

private:
    QVector<TTickRow> FTicks;  // newest first
    int FIns = 0;
    int FTkCnt = 0;
    QString FTkFrom;
};
