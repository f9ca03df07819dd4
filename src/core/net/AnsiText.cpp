#include "core/net/AnsiText.h"

#include <array>

namespace velmora {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five undefined positions map to
// the C1 control of the same value, which keeps every byte round-trippable.
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char encodeChar(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighTable.size(); ++i)
        if (kHighTable[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

// Built once at compile time: folding runs over every name on every received announcement.
constexpr std::array<char, 256> makeFoldTable() {
    std::array<char, 256> table{};
    for (int b = 0; b < 256; ++b) {
        int lower = b;
        if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7))
            lower = b + 32;
        else if (b == 0x8A || b == 0x8C || b == 0x8E)
            lower = b + 16; // Š Œ Ž
        else if (b == 0x9F)
            lower = 0xFF; // Ÿ
        table[std::size_t(b)] = static_cast<char>(lower);
    }
    return table;
}
constexpr std::array<char, 256> kFoldTable = makeFoldTable();

} // namespace

char foldAnsiLetter(char c) {
    return kFoldTable[static_cast<unsigned char>(c)];
}

QByteArray foldAnsiCase(const QByteArray& text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    char* to = out.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        to[i] = foldAnsiLetter(text[i]);
    return out;
}

QByteArray trimBlanks(const QByteArray& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

QByteArray copyFrom(const QByteArray& text, qsizetype from, qsizetype maxLen) {
    if (from < 1) from = 1;
    if (from > text.size()) return {};
    return text.mid(from - 1, maxLen < 0 ? -1 : maxLen);
}

QString fromAnsi(const QByteArray& ansi) {
    QString out;
    out.reserve(ansi.size());
    for (char ch : ansi) {
        const auto b = static_cast<unsigned char>(ch);
        out.append(QChar(b >= 0x80 && b < 0xA0 ? kHighTable[b - 0x80] : char16_t(b)));
    }
    return out;
}

QByteArray toAnsi(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text)
        out.append(encodeChar(c.unicode()));
    return out;
}

} // namespace velmora
