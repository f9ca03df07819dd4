#include "core/net/AnsiText.h"

#include <QList>

#include <array>
#include <utility>

namespace velmora {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five undefined positions map to
// the C1 control of the same value, which keeps every byte round-trippable.
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Windows-1252 byte of a character, or 0 where Windows-1252 has none (a NUL stays NUL
// through the caller, which checks for it first).
char encodeChar(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighTable.size(); ++i)
        if (kHighTable[i] == c) return static_cast<char>(0x80 + i);
    return 0;
}

// Letters whose stroke, bar or missing dot is part of the letter for Unicode, so that
// decomposition leaves them whole, with the plain letter they are read as.
constexpr std::array<std::pair<char16_t, char>, 22> kStrokeLetters = {{
    {0x0110, 'D'}, {0x0111, 'd'}, // D with stroke
    {0x0126, 'H'}, {0x0127, 'h'}, // H with stroke
    {0x0131, 'i'}, {0x0237, 'j'}, // dotless i and j
    {0x0141, 'L'}, {0x0142, 'l'}, // L with stroke
    {0x0166, 'T'}, {0x0167, 't'}, // T with stroke
    {0x0180, 'b'}, {0x0243, 'B'}, // B with stroke
    {0x0197, 'I'}, {0x0268, 'i'}, // I with stroke
    {0x01B5, 'Z'}, {0x01B6, 'z'}, // Z with stroke
    {0x01E4, 'G'}, {0x01E5, 'g'}, // G with stroke
    {0x0246, 'E'}, {0x0247, 'e'}, // E with stroke
    {0x024C, 'R'}, {0x024D, 'r'}, // R with stroke
}};

// A character Windows-1252 lacks, reduced to what it holds: the compatibility decomposition
// without its combining marks (Ż -> Z, ő -> o, the ligature ﬁ -> fi), or the plain letter of a
// stroked one (Ł -> L). Where some part still has no byte, the whole character is one "?"; a
// combining mark left over on its own goes with the letter before it.
void appendReduced(QByteArray& out, char32_t c) {
    for (const auto& [letter, plain] : kStrokeLetters) {
        if (letter == c) {
            out.append(plain);
            return;
        }
    }
    const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KD);
    QByteArray reduced;
    for (char32_t part : decomposed.toUcs4()) {
        const QChar::Category category = QChar::category(part);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
            category == QChar::Mark_Enclosing)
            continue;
        const char byte = encodeChar(part);
        if (byte == 0) {
            out.append('?');
            return;
        }
        reduced.append(byte);
    }
    out.append(reduced);
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

QString typeableText(const QString& text) {
    QString kept = text;
    kept.removeIf([](QChar c) { return c.category() == QChar::Other_Control || c == u'\u00F7'; });
    return kept;
}

QByteArray toAnsi(const QString& typed) {
    // A letter typed as base letter and combining accent becomes the one character first, which
    // Windows-1252 may well hold (e + U+0301 -> é).
    const QString text = typed.normalized(QString::NormalizationForm_C);
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        // A pair of surrogates is one character and becomes one "?" at most.
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        const char byte = encodeChar(c);
        if (byte != 0 || c == 0)
            out.append(byte);
        else
            appendReduced(out, c);
    }
    return out;
}

} // namespace velmora
