#pragma once
// The user's chart drawings per stock and chart kind, kept in memory as one
// JSON object and written to one file (draws.json beside the executable).
// Keys: code + "|N" (minute chart, every period), "|D", "|W", "|M" (day chart
// showing day, week or month bars).
#include "chart/DrawObj.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <nlohmann/json.hpp>

class TDrawStore {
public:
    explicit TDrawStore(const QString& path);

    // Reads the file; returns a line for the log, empty when all is well. A
    // missing file leaves an empty store silently. A file that is there but
    // cannot be used (not a regular file, which is never opened; over
    // kMaxFileBytes; unreadable; not JSON in UTF-8; nested deeper than
    // kMaxDepth; a top level that is not an object) is renamed aside to
    // "<file>.bad-yyyyMMdd-HHmmss-zzz" ("-2", "-3", ... added when that name
    // is taken; an earlier one is never replaced) and the store starts
    // empty; the returned line starts with "!! " and gives the reason and the
    // new name. When even the rename fails the file is left as it is and the
    // store refuses to save over it (Save reports that every time).
    QString Load();

    static constexpr qint64 kMaxFileBytes = 64LL * 1024 * 1024;
    static constexpr int kMaxDepth = 64;

    // Store key of a chart; empty when no stock is selected (empty code).
    // dayPer is clamped to 0..2 and only matters for the day chart.
    static QString DrawKey(const QString& code, bool minute, int dayPer);

    // The drawings under key, oldest first; none for an empty key or when the
    // key holds no array. Elements that are not objects are skipped; a
    // missing or empty "k" reads as 'H', missing anchors as empty / 0.
    QVector<TDrawObj> Draws(const QString& key) const;

    // Replaces the drawings under key (the key moves to the end; no drawings
    // removes it) and rewrites the file. Does nothing for an empty key.
    // Returns the log line "!! 그린 것 저장 실패: " + reason when the file
    // could not be written (the memory keeps the change), else empty.
    QString SaveDraws(const QString& key, const QVector<TDrawObj>& draws);

    // Writes the whole store, replacing the file atomically (a temporary
    // file renamed over it). Empty on success, else the log line as above;
    // also refused while Load left a damaged file in place.
    QString Save() const;

    // The file body: UTF-8 byte-order mark, then JSON in plain ASCII (every
    // character below 32 or above 127 as a \u escape).
    QByteArray Serialize() const;

    QString Path() const { return FPath; }
    bool IsEmpty() const { return FStore.empty(); }
    QStringList Keys() const;

private:
    QString FPath;
    nlohmann::ordered_json FStore = nlohmann::ordered_json::object();
    QString FNoSave; // why the file must not be written; empty when it may
};
