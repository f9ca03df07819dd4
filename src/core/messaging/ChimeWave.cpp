#include "core/messaging/ChimeWave.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

void appendLE32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendLE16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

// One struck bell tone: a quick rise, then an exponential fade, with a touch of the octave
// above for colour.
double bell(double t, double frequency) {
    if (t < 0) return 0;
    constexpr double kPi = 3.14159265358979323846;
    constexpr double kAttack = 0.004;
    constexpr double kDecay = 0.16;
    const double envelope = std::min(1.0, t / kAttack) * std::exp(-t / kDecay);
    return envelope * (std::sin(2 * kPi * frequency * t) +
                       0.25 * std::sin(4 * kPi * frequency * t) * std::exp(-t / 0.05));
}

} // namespace

QByteArray chimeWave() {
    // A falling major third, G5 then E5 ("ding-dong"), the second tone struck while the first
    // still sounds.
    constexpr double kHigh = 783.99;
    constexpr double kLow = 659.25;
    constexpr double kSecondAt = 0.19;
    constexpr double kPeak = 92.0; // of the 127 steps either side of silence (128)
    constexpr double kFadeOut = 0.03;
    const double length = double(kChimeSampleBytes) / kChimeSampleRate;

    QByteArray wave;
    wave.reserve(44 + kChimeSampleBytes);
    wave.append("RIFF", 4);
    appendLE32(wave, 36 + kChimeSampleBytes);
    wave.append("WAVE", 4);
    wave.append("fmt ", 4);
    appendLE32(wave, 16);               // size of the format block
    appendLE16(wave, 1);                // PCM
    appendLE16(wave, 1);                // one channel
    appendLE32(wave, kChimeSampleRate); // samples per second
    appendLE32(wave, kChimeSampleRate); // bytes per second
    appendLE16(wave, 1);                // bytes per sample frame
    appendLE16(wave, 8);                // bits per sample
    wave.append("data", 4);
    appendLE32(wave, kChimeSampleBytes);

    for (int i = 0; i < kChimeSampleBytes; ++i) {
        const double t = double(i) / kChimeSampleRate;
        double x = 0.6 * bell(t, kHigh) + 0.6 * bell(t - kSecondAt, kLow);
        // The last few milliseconds fade to silence so that the end does not click.
        x *= std::clamp((length - t) / kFadeOut, 0.0, 1.0);
        const long sample = std::lround(128 + kPeak * x);
        wave.append(char(std::clamp(sample, 1L, 255L)));
    }
    return wave;
}

} // namespace velmora
