// Typed text on its way to the program's Windows-1252 bytes.

#include "core/net/AnsiText.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(AnsiText, TypedTextIsReducedToWhatWindows1252Holds) {
    const struct {
        const char* typed; // UTF-8
        QByteArray bytes;  // Windows-1252
    } table[] = {
        // Letters Windows-1252 has stay as they are.
        {"Škoda Žofie Œuvre € café über Ÿ Ø", "\x8Akoda \x8E"
                                              "ofie \x8Cuvre \x80 caf\xE9 \xFC"
                                              "ber \x9F \xD8"},
        // Others lose their accents, strokes and ligatures.
        {"Łucja Żak", "Lucja Zak"},
        {"Őrs ő Đorđe Ħal ıi Ŧ", "Ors o Dorde Hal ii T"},
        {"ﬁle Ｘ", "file X"},
        // An accent typed after its letter joins it.
        {"e\xCC\x81 x\xCC\x81", "\xE9 x"},
        // What has no base letter in Windows-1252 is one "?" a character.
        {"東京 Жук 😀!", "?? ??? ?!"},
    };
    for (const auto& row : table)
        EXPECT_EQ(toAnsi(QString::fromUtf8(row.typed)), row.bytes) << row.typed;

    // Every byte comes back as itself.
    QByteArray everyByte(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        everyByte[b] = char(b);
    EXPECT_EQ(toAnsi(fromAnsi(everyByte)), everyByte);
}

// The rule of the remark box, which a script's --status text goes through as well.
TEST(AnsiText, OnlyWhatCanBeTypedIsKept) {
    const struct {
        QString given;
        QString kept;
    } table[] = {
        {QStringLiteral("In a meeting"), QStringLiteral("In a meeting")},
        {QStringLiteral("Back\r\nat\tthree"), QStringLiteral("Backatthree")},
        {QStringLiteral("a") + QChar(0) + QStringLiteral("b\u0007c\u007Fd\u0085e\u0081f"),
         QStringLiteral("abcdef")},
        {QStringLiteral("6 \u00F7 2 = 3"), QStringLiteral("6  2 = 3")},
        {QStringLiteral("caf\u00E9 \u20AC \u0141ucja \U0001F600"),
         QStringLiteral("caf\u00E9 \u20AC \u0141ucja \U0001F600")},
    };
    for (const auto& row : table)
        EXPECT_EQ(typeableText(row.given), row.kept) << row.given.toStdString();
}
