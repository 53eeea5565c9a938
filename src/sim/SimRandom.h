#pragma once
// Deterministic randomness for the simulated market.
//
// Every random figure of the market comes from a TSimRng seeded by SeedMix
// over fixed inputs (the market's master seed, a stock code, a date, a
// purpose salt). The generator (SplitMix64) and the distributions are our
// own, not the standard library's, so a seed gives the same numbers with any
// compiler or library version. Nothing here reads a clock.
#include <QString>
#include <QtGlobal>
#include <cmath>
#include <initializer_list>

// One SplitMix64 finaliser step: a well-spread 64-bit hash of x.
inline quint64 SeedHash(quint64 x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Adds one more value to a seed made by SeedMix: SeedMixOn(SeedMix({a, b}), c)
// is SeedMix({a, b, c}).
inline quint64 SeedMixOn(quint64 mixed, quint64 part)
{
    return SeedHash(mixed ^ SeedHash(part));
}

// Combines several values into one seed; the order of the values matters.
inline quint64 SeedMix(std::initializer_list<quint64> parts)
{
    quint64 h = 0x6A09E667F3BCC908ull;
    for (quint64 p : parts)
        h = SeedMixOn(h, p);
    return h;
}

// FNV-1a over the UTF-16 code units of a text (stock codes, salts).
inline quint64 SeedOfText(const QString& s)
{
    quint64 h = 0xCBF29CE484222325ull;
    for (QChar c : s) {
        h ^= c.unicode();
        h *= 0x100000001B3ull;
    }
    return SeedHash(h);
}

class TSimRng {
public:
    explicit TSimRng(quint64 seed = 0) : FState(seed) {}

    quint64 Next()
    {
        FState += 0x9E3779B97F4A7C15ull;
        quint64 z = FState;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [lo, hi).
    double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    // Uniform integer in [0, n); 0 when n <= 0.
    int Below(int n) { return n <= 0 ? 0 : int((Next() >> 33) % quint64(n)); }
    bool Chance(double p) { return Uniform() < p; }
    // Standard normal (Box-Muller, one value per call).
    double Normal()
    {
        double u1 = Uniform();
        double u2 = Uniform();
        if (u1 < 1e-300)
            u1 = 1e-300;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }
    // Exponential with the given mean.
    double Exponential(double mean) { return -mean * std::log(1.0 - Uniform()); }

private:
    quint64 FState;
};
