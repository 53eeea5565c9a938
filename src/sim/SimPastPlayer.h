#pragma once
// Plays past sessions (TSimHistory::Play) on worker threads and hands each
// day back on the thread that owns the player, so the window's thread never
// waits for a day to be played. Workers run at low priority; nearer days go
// first. Destroying the player stops the workers and waits for them (a day
// being played stops within a slice); days played but not yet handed back
// are dropped with it.
#include "sim/SimHistory.h"
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <functional>
#include <memory>

class TSimPastPlayer : public QObject {
    Q_OBJECT
public:
    explicit TSimPastPlayer(QObject* parent = nullptr);
    ~TSimPastPlayer() override;

    // Starts the jobs not already playing.
    void Start(const QVector<TSimPastJob>& jobs);
    bool Playing(const QString& key) const { return FPlaying.contains(key); }
    int Busy() const { return int(FPlaying.size()); }
    // Called on the owner's thread for each day played.
    std::function<void(const QString& key, const TSimPastDay& day)> OnPlayed;

private:
    void Played(const QString& key, const TSimPastDay& day);

    QThreadPool FPool;
    std::shared_ptr<std::atomic_bool> FStop = std::make_shared<std::atomic_bool>(false);
    QSet<QString> FPlaying;
};
