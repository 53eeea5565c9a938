#include "core/Sound.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSet>
#include <QSoundEffect>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxToneMs = 5000;
constexpr int kMaxConcurrent = 8;       // further sounds are skipped while this many play
constexpr int kWaveLimitMs = 30000;     // a wave file is cut off after this
constexpr int kExitWaitMs = 2000;       // how long shutdown waits for a sound thread
constexpr double kToneLevel = 0.35;     // of full scale

// One sound on its own thread with its own event loop. The thread object lives
// on the main thread; the audio objects live on the sound thread only.
class TSoundThread : public QThread {
public:
    TSoundThread(const QAudioDevice& dev, int freq, int ms)
        : FDev(dev), FFreq(freq), FMs(ms), FLimitMs(ms + 1500) {}
    TSoundThread(const QAudioDevice& dev, const QString& wave)
        : FDev(dev), FWave(wave), FLimitMs(kWaveLimitMs) {}
    ~TSoundThread() override;

protected:
    void run() override
    {
        if (FWave.isEmpty())
            PlayTone();
        else
            PlayFile();
    }

private:
    // Runs the loop until finish() is called, the time limit passes or the
    // application asks every sound to stop.
    void RunLoop(QEventLoop& loop, const bool& finished)
    {
        if (finished)
            return;
        QElapsedTimer clock;
        clock.start();
        QTimer watch;
        watch.setInterval(50);
        QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
            if (isInterruptionRequested() || clock.elapsed() > FLimitMs)
                loop.quit();
        });
        watch.start();
        loop.exec();
    }

    void PlayTone()
    {
        const QAudioFormat pref = FDev.preferredFormat();
        int rate = pref.sampleRate() > 0 ? pref.sampleRate() : 44100;
        rate = std::clamp(rate, 8000, 192000);
        QAudioFormat fmt;
        fmt.setSampleRate(rate);
        fmt.setChannelCount(1);
        fmt.setSampleFormat(QAudioFormat::Int16);
        if (!FDev.isFormatSupported(fmt))
            fmt.setChannelCount(std::clamp(pref.channelCount(), 1, 8));
        const int channels = fmt.channelCount();

        const QVector<qint16> mono = MakeTone(FFreq, FMs, rate);
        QByteArray pcm;
        pcm.resize(qsizetype(mono.size()) * channels * qsizetype(sizeof(qint16)));
        auto* out = reinterpret_cast<qint16*>(pcm.data());
        for (qint16 s : mono)
            for (int c = 0; c < channels; ++c)
                *out++ = s;

        QBuffer buf(&pcm);
        buf.open(QIODevice::ReadOnly);
        QEventLoop loop;
        bool finished = false;
        QAudioSink sink(FDev, fmt);
        QObject::connect(&sink, &QAudioSink::stateChanged, &loop, [&](QAudio::State s) {
            if (s == QAudio::IdleState || s == QAudio::StoppedState) {
                finished = true;
                loop.quit();
            }
        });
        sink.start(&buf);
        if (sink.error() != QAudio::NoError)
            finished = true;
        RunLoop(loop, finished);
        sink.stop();
    }

    void PlayFile()
    {
        QEventLoop loop;
        bool finished = false;
        bool started = false;
        QSoundEffect fx(FDev);
        auto startOrFail = [&] {
            if (fx.status() == QSoundEffect::Error) {
                finished = true;
                loop.quit();
            } else if (fx.status() == QSoundEffect::Ready && !started) {
                started = true;
                fx.play();
            }
        };
        QObject::connect(&fx, &QSoundEffect::statusChanged, &loop, startOrFail);
        QObject::connect(&fx, &QSoundEffect::playingChanged, &loop, [&] {
            if (started && !fx.isPlaying()) {
                finished = true;
                loop.quit();
            }
        });
        fx.setSource(QUrl::fromLocalFile(FWave));
        startOrFail();
        RunLoop(loop, finished);
        fx.stop();
    }

    QAudioDevice FDev;
    int FFreq = 0;
    int FMs = 0;
    QString FWave;
    int FLimitMs = 0;
};

// Sound threads alive; touched on the main thread only.
QSet<TSoundThread*>& Live()
{
    static QSet<TSoundThread*> live;
    return live;
}

TSoundThread::~TSoundThread()
{
    Live().remove(this);
}

// At application exit every sound is asked to stop and given a moment, so no
// sound thread runs while the audio libraries are torn down.
void StopSoundsAtExit()
{
    const auto threads = Live();
    for (TSoundThread* t : threads)
        t->requestInterruption();
    for (TSoundThread* t : threads) {
        if (t->wait(kExitWaitMs))
            delete t;  // removes itself from Live()
        // A thread that did not end is left alone: deleting a running
        // QThread would abort the process.
    }
}

bool OnMainThread(QCoreApplication* app)
{
    return QThread::currentThread() == app->thread();
}

// Main thread only. Returns the output device, or a null device when sounds
// cannot or should not play now.
QAudioDevice OutputForNewSound()
{
    static bool exitHook = false;
    if (!exitHook) {
        exitHook = true;
        qAddPostRoutine(StopSoundsAtExit);
    }
    if (Live().size() >= kMaxConcurrent)
        return {};
    return QMediaDevices::defaultAudioOutput();
}

void Launch(TSoundThread* t)
{
    Live().insert(t);
    QObject::connect(t, &QThread::finished, t, &QObject::deleteLater);
    t->start();
}

}  // namespace

QVector<qint16> MakeTone(int freq, int ms, int sampleRate)
{
    QVector<qint16> out;
    if (freq <= 0 || ms <= 0 || sampleRate <= 0)
        return out;
    const qint64 n = qint64(sampleRate) * ms / 1000;
    out.resize(qsizetype(n));
    const qint64 fade = std::min<qint64>(qint64(sampleRate) * 5 / 1000, n / 4);
    const double step = 2.0 * M_PI * freq / sampleRate;
    for (qint64 i = 0; i < n; ++i) {
        double gain = kToneLevel;
        if (fade > 0) {
            if (i < fade)
                gain *= double(i) / fade;
            else if (i >= n - fade)
                gain *= double(n - 1 - i) / fade;
        }
        out[qsizetype(i)] = qint16(std::lround(32767.0 * gain * std::sin(step * double(i))));
    }
    return out;
}

void Ding(int freq, int ms)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QCoreApplication::closingDown() || freq <= 0 || ms <= 0)
        return;
    if (!OnMainThread(app)) {
        QMetaObject::invokeMethod(app, [freq, ms] { Ding(freq, ms); }, Qt::QueuedConnection);
        return;
    }
    const QAudioDevice dev = OutputForNewSound();
    if (dev.isNull())
        return;
    Launch(new TSoundThread(dev, std::clamp(freq, 20, 20000), std::min(ms, kMaxToneMs)));
}

void PlayWave(const QString& path)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QCoreApplication::closingDown() || path.isEmpty())
        return;
    if (!OnMainThread(app)) {
        QMetaObject::invokeMethod(app, [path] { PlayWave(path); }, Qt::QueuedConnection);
        return;
    }
    if (!QFileInfo(path).isFile())
        return;
    const QAudioDevice dev = OutputForNewSound();
    if (dev.isNull())
        return;
    Launch(new TSoundThread(dev, path));
}

int ActiveSounds()
{
    return int(Live().size());
}
