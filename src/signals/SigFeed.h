#pragma once
// The signal service's list of today's signals ("/lumen/latest"): one row per
// signal, how the answer is read and in which order the rows are listed.
#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <functional>

struct TSigRow {
    QString T;        // signal minute, hhmm
    QString Code;     // six-character stock code
    quint8 Kind = 0;  // 1 buy capture, 2 sell capture, 3 buy streak, 4 sell streak, 5 DT
    QString Val;      // kinds 1-2 entry price, 3-4 streak minutes, 5 volume multiple
    double Ep = 0;    // entry price, 0 when absent
    QString Key;      // Kind:Code:T (kind 5: "DT|" + Code)
};

// "매수 포착", "매도 포착", "매수 스트릭", "매도 스트릭", "데트집중"; empty for
// any other kind.
QString SigKindLabel(int kind);

// The short code of the service's alternative code form, trimmed: a 12-char
// ISIN beginning with KR (any case) gives its characters 4..9, an A or Q
// (any case) followed by six characters gives those six; anything else is
// returned as it is.
QString NormSigCode(const QString& code);

// The validated hhmm ("0931") of a time as the service writes it, or empty
// when it is not a time: "9:31:05", "09:31", "093105", "0931", "931" (also
// as a JSON number), a leading date ("20261210 09:31:05", "20261210093105")
// is passed over. Hours 0..23, minutes and seconds 0..59.
QString SigTimeHhmm(const QString& time);

struct TSigAnswer {
    bool Ok = false;
    QString Error;        // why not Ok, for the status line ("응답 형식 오류", ...)
    QString Date;         // the data's day as sent (trimmed, capped); empty reads as today
    QString Updated;      // the server's last update as sent (trimmed, capped)
    QVector<TSigRow> Rows;  // kinds 1-4, one per Key, in SortSigRows order
    int Skipped = 0;      // elements dropped: not an object, bad code or time,
                          // unknown code, duplicate, beyond the per-array cap
};

// Reads one answer. `knownCode` says whether the stock master knows a
// six-character code; without it any code of digits and capital letters is
// taken. A body over 4 MiB, not JSON or not a JSON object is not Ok and
// carries no rows.
TSigAnswer ParseSigJson(const QByteArray& body, const std::function<bool(const QString&)>& knownCode);

// Listing order: T descending, then Kind ascending, then Code ascending.
void SortSigRows(QVector<TSigRow>& rows);

// The server's update stamp for the status line: "hh:mm" of its first four
// characters when it is longer than three characters and those are a valid
// hhmm, else the text as it is.
QString SigUpdatedText(const QString& updated);
