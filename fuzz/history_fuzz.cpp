// Stored message lines: the input is one line (and one whole message) of the history.
// scrambleLine is its own inverse; encodeMessageLine gives a value the settings file holds
// exactly and decodeMessageLine gives the line back; any stored value, as a damaged or foreign
// file may hold it, decodes to a line that then survives a save; a message with any bytes
// comes back exactly, ending in CR LF, from a saved and reparsed file.

#include "FuzzSupport.h"

#include "core/settings/Profile.h"
#include "core/settings/Settings.h"

using namespace velmora;
using velmora::fuzz::shown;

namespace {

void checkLine(const QByteArray& line) {
    const QByteArray scrambled = scrambleLine(line);
    FUZZ_CHECK(scrambled.size() == line.size());
    FUZZ_CHECK(line.isEmpty() || scrambled.front() == line.front());
    FUZZ_CHECK(scrambleLine(scrambled) == line);

    const QByteArray stored = encodeMessageLine(line);
    // Loading stops at the first empty value and ends a message at "^".
    FUZZ_CHECK(!stored.isEmpty());
    FUZZ_CHECK(stored != "^");
    FUZZ_CHECK(Profile::holdsExactly(stored));
    const QByteArray decoded = decodeMessageLine(stored);
    if (decoded != line)
        std::fprintf(stderr, "line \"%s\" stored as \"%s\" reads back as \"%s\"\n",
                     shown(line).constData(), shown(stored).constData(), shown(decoded).constData());
    FUZZ_CHECK(decoded == line);

    // Through the file: the value comes back byte for byte.
    Profile profile;
    profile.writeSetting("VLXMsgs", "0", stored);
    Profile back;
    back.parse(profile.serialize());
    FUZZ_CHECK(back.readRaw("VLXMsgs", "0", {}) == stored);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = fuzz::bytes(data, size);
    checkLine(input);

    // The input as a value some file holds: whatever it decodes to is a line like any other.
    checkLine(decodeMessageLine(input));

    // The input as a whole message, through saveAllSettings and a reparsed file.
    SettingsSnapshot snapshot;
    snapshot.messages = {input, "after"};
    Profile profile;
    saveAllSettings(profile, snapshot);
    Profile back;
    back.parse(profile.serialize());
    const QList<QByteArray> history = readMessageHistory(back);
    const QByteArray expected =
        input.isEmpty() || input.endsWith("\r\n") ? input : input + "\r\n";
    FUZZ_CHECK(history.size() == 2);
    if (history[0] != expected)
        std::fprintf(stderr, "message \"%s\" reads back as \"%s\"\n", shown(expected).constData(),
                     shown(history[0]).constData());
    FUZZ_CHECK(history[0] == expected);
    FUZZ_CHECK(history[1] == "after\r\n");
    return 0;
}
