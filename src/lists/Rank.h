#pragma once
// The broker's market rankings: the request of each kind and market, the
// reading of an answer, and the marks (NEW, ranks moved) that compare two
// answers of the same kind and market.
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

struct TRankRow {
    QString Code, Name;
    double Price = 0, Chg = 0, Vol = 0, X1 = 0, X2 = 0;
    bool IsNew = false;
    int Move = 0;   // previous rank - current rank; positive = moved up
};

// Kinds: 0 volume surge against the same time yesterday, 1 gainers, 2 losers,
// 3 traded amount. Markets: 0 all, 1 KOSPI, 2 KOSDAQ.
inline constexpr int KRankKinds = 4;
inline constexpr int KRankMarkets = 3;
// The surge ranking leaves out stocks that traded fewer shares than this
// yesterday up to the same time; the request asks the broker for it (type1).
inline constexpr double KSurgeFloor = 10000;

struct TRankReq {
    QString Tr;     // t1466, t1441 or t1463
    QString Block;  // its input block
    QVector<QPair<QString, QString>> Fields;   // in the layout's order
};
// The request of a kind and market, every field of the input block set;
// numeric fields as numbers, the exchange code K (KRX).
TRankReq RankRequest(int kind, int market);
// The TR of a kind.
QString RankTr(int kind);

// Reads the answer's records of `tr` (field(name, i) gives record i's text):
// rows with a code, in the broker's order; a repeated code keeps its first
// row; surge rows below KSurgeFloor are left out. An empty name is nameOf(code).
QVector<TRankRow> ReadRankRows(const QString& tr, int count,
                               const std::function<QString(const QString& field, int i)>& field,
                               const std::function<QString(const QString& code)>& nameOf);

// Compares consecutive answers of the same key ("kind/market").
class TRankMarks {
public:
    // Marks `rows` against the previous answer when it had the same key and
    // keeps them as the new previous answer. Returns the number of new rows;
    // `names` gets the names of the first four.
    int Apply(QVector<TRankRow>& rows, const QString& key, QStringList* names = nullptr);
    void Reset();

private:
    QHash<QString, int> FPrev;   // code -> rank from 1
    QString FPrevKey;
};

// "hh:mm:ss 기준 · N종목" + the new rows + "  ·  1분마다".
QString RankTimeText(const QString& at, int count, int fresh, const QStringList& names);
// Volume: "#,##0.0만" from 10,000, else "#,##0".
QString RankMan(double x);
// Amount in millions of won as "#,##0억".
QString RankEok(double x);
// The column captions of a kind.
QStringList RankCaptions(int kind);
