#pragma once
// The program's built-in new-message sound: a short two-tone chime as a complete WAVE file,
// 8-bit PCM, one channel, 11,025 samples per second. The build turns it into the resource
// ":/sounds/A.wav"; tests read its header here.

#include <QByteArray>

namespace velmora {

inline constexpr int kChimeSampleRate = 11025;
inline constexpr int kChimeSampleBytes = 6482; // about 0.6 s

// The WAVE file: a 44-byte RIFF header followed by the samples.
QByteArray chimeWave();

} // namespace velmora
