#include "core/settings/OptionsLock.h"

namespace velmora::options_lock {

namespace {

// Byte i of a scrambled text is the plain byte XOR (0x5A + 7 i), modulo 256.
template <std::size_t N> QByteArray unscramble(const char (&scrambled)[N]) {
    QByteArray plain(qsizetype(N - 1), '\0');
    for (std::size_t i = 0; i + 1 < N; ++i)
        plain[qsizetype(i)] = char(quint8(scrambled[i]) ^ quint8(0x5A + 7 * i));
    return plain;
}

constexpr char kCaption[] = "\x15\x11\x1c\x06\x19\x13\xf7\xab\xde\xf6\xc3\xcc\x8e\x98\x9c\x82\xa9"
                            "\xb2\xbd\xac\x95\xcd\xb7\x94\x66\x6c";
constexpr char kPrompt[] = "\x0a\x00\x1b\x1c\x01\x12\xf6\xef\xa8";
constexpr char kCode[] = "\x3e\x1b\x1e\x58\x3a\x16";

} // namespace

QByteArray dialogCaption() {
    return unscramble(kCaption);
}

QByteArray dialogPrompt() {
    return unscramble(kPrompt);
}

bool isAccessCode(const QByteArray& entered) {
    return entered == unscramble(kCode);
}

} // namespace velmora::options_lock
