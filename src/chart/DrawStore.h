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

    // Reads the file. A missing or unreadable file, a parse error or a top
    // level that is not an object leave an empty store, silently.
    void Load();

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
    // file renamed over it). Empty on success, else the log line as above.
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
};
