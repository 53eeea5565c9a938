#include "core/Sound.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Sign changes of a sampled sine: two per period.
int ZeroCrossings(const QVector<qint16>& s)
{
    int n = 0;
    for (qsizetype i = 1; i < s.size(); ++i)
        if ((s[i - 1] < 0) != (s[i] < 0))
            ++n;
    return n;
}

TEST(Sound, ToneHasItsFrequencyLengthAndSoftEdges)
{
    struct Row {
        int Freq, Ms, Rate;
    };
    // The order, modify and cancel beeps and the signal tone.
    const Row rows[] = {{1400, 90, 44100}, {1000, 90, 48000}, {700, 90, 22050}, {1500, 120, 44100}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Freq);
        const QVector<qint16> s = MakeTone(r.Freq, r.Ms, r.Rate);
        ASSERT_EQ(s.size(), qsizetype(r.Rate) * r.Ms / 1000);
        const int periods = r.Freq * r.Ms / 1000;
        EXPECT_NEAR(ZeroCrossings(s), 2 * periods, 3);
        // Loud in the middle, silent at both ends (no click).
        const qint16 peak = *std::max_element(s.begin(), s.end());
        EXPECT_GT(peak, 8000);
        EXPECT_LT(std::abs(s.front()), 200);
        EXPECT_LT(std::abs(s.back()), 200);
    }
    EXPECT_TRUE(MakeTone(0, 90, 44100).isEmpty());
    EXPECT_TRUE(MakeTone(1400, -5, 44100).isEmpty());
}

// Bursts of tones, nonsense arguments, calls from a worker thread and wave
// files present or missing: the caller is never held up, nothing crashes and
// every sound thread ends by itself (on a machine without audio nothing plays).
TEST(Sound, BurstsNeverBlockAndAllSoundsEnd)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString wav = dir.filePath("dt.wav");
    {
        // 50 ms of silence as a minimal PCM wave file.
        const quint32 rate = 8000, bytes = rate / 20 * 2;
        QByteArray h;
        auto u32 = [&](quint32 v) { for (int i = 0; i < 4; ++i) h.append(char((v >> (8 * i)) & 0xff)); };
        auto u16 = [&](quint16 v) { h.append(char(v & 0xff)); h.append(char(v >> 8)); };
        h += "RIFF"; u32(36 + bytes); h += "WAVEfmt "; u32(16); u16(1); u16(1); u32(rate);
        u32(rate * 2); u16(2); u16(16); h += "data"; u32(bytes);
        h.append(QByteArray(int(bytes), '\0'));
        QFile f(wav);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(h);
    }

    for (int i = 0; i < 40; ++i)
        Ding(1400, 90);
    Ding(0, 90);
    Ding(1000, 0);
    Ding(-5, -5);
    Ding(1 << 30, 1 << 30);
    PlayWave(wav);
    PlayWave(dir.filePath("gongsi.wav"));  // missing
    PlayWave(QString());
    QThread* other = QThread::create([] { Ding(700, 90); PlayWave(QStringLiteral("/nonexistent/x.wav")); });
    other->start();
    ASSERT_TRUE(other->wait(5000));
    delete other;

    QDeadlineTimer deadline(15000);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    } while (ActiveSounds() > 0 && !deadline.hasExpired());
    EXPECT_EQ(ActiveSounds(), 0);
}

}  // namespace
