#pragma once
// What every fuzz target shares: a check that aborts (libFuzzer then keeps the input as a
// crash-* file), the input as bytes, and the one QCoreApplication that timers and queued
// hand-offs of the core need.

#include <QByteArray>
#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken promise of the code under test. It aborts in every build type, so that a difference
// is a crash that libFuzzer keeps, not a line in a log that nobody reads.
#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                       \
        }                                                                                       \
    } while (false)

namespace velmora::fuzz {

inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Created once and kept for the life of the process, as a program keeps its application object.
inline void ensureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "velmora_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
}

// Shows a byte text with every byte outside printable ASCII as \xNN, for failure reports.
inline QByteArray shown(const QByteArray& text) {
    QByteArray out;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\')
            out += c;
        else
            out += "\\x" + QByteArray::number(b, 16).rightJustified(2, '0');
    }
    return out;
}

} // namespace velmora::fuzz
