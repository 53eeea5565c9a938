#pragma once
// Short sounds that never hold up the caller: tones for order confirmations
// and signals, wave files for alerts. Each sound plays on its own short-lived
// thread; with no audio output (a server, CI, a muted session) nothing plays
// and nothing fails.
#include <QString>
#include <QVector>

// A sine tone of `freq` Hz lasting `ms` milliseconds, started on a new
// background thread. Returns at once. Frequencies are clamped to 20..20000 Hz
// and durations to 5000 ms; a non-positive frequency or duration plays nothing.
// Call from any thread; the sound is arranged on the application's main thread.
void Ding(int freq, int ms);

// Plays a wave file asynchronously; silent when the file is missing or there is
// no audio output.
void PlayWave(const QString& path);

// Sound threads that are still alive (playing, or finished and not yet reaped).
int ActiveSounds();

// The samples of a tone: mono 16-bit PCM at `sampleRate`, `freq` Hz for `ms`
// milliseconds, with short fades at both ends so it starts and stops without
// a click. Empty for non-positive arguments.
QVector<qint16> MakeTone(int freq, int ms, int sampleRate);
