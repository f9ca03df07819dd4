// Speed of the settings file with a full message history: the whole save (read again, update,
// write through a temporary file, fsync, rename) that now follows every burst of messages, its
// parts, and the reading that a start does. An office of 300 people; 1,000 and 5,000 stored
// messages (5,000 is the most the history keeps).

#include "Office.h"
#include "core/Core.h"
#include "core/net/Datagram.h"
#include "core/settings/Profile.h"
#include "core/settings/Settings.h"
#include "core/settings/SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

using namespace velmora;
using namespace velmora::bench;

namespace {

// A received message as the history holds it: a few lines of text, the sender's trailer and
// the arrival line, about 250 bytes.
QByteArray message(int i) {
    return "Message " + QByteArray::number(i) +
           ": the meeting moves to room 4 at half past two\r\nplease bring the figures for "
           "the third quarter and the travel plans\r\n - - - From Person 7 (10.7.0.7)\r\n at "
           "2:30 PM on Tue\r\n ";
}

// A core that has seen 300 people and received `messages` messages, saving to a file of its own.
struct FullCore {
    QTemporaryDir dir;
    SystemClock clock;
    std::unique_ptr<Core> core;

    explicit FullCore(int messages) {
        CoreConfig config = quietConfig(dir);
        config.loginName = "BENCH";
        core = std::make_unique<Core>(config, clock);
        core->startUp();
        for (int i = 1; i < kPeople; ++i)
            core->dispatchDatagram(
                datagram::statusAnnouncement(StatusCode::Remark, name(i), "On vacation"),
                address(i));
        QList<QByteArray> history;
        for (int i = 0; i < messages; ++i)
            history.append(message(i));
        core->history().load(history);
        core->saveAllSettings(); // the file exists, as it does after the first save
    }
    QString path() const { return dir.filePath(QStringLiteral("vlx.ini")); }
    QByteArray content() const {
        QFile file(path());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }
};

void SaveAllSettingsFullHistory(benchmark::State& state) {
    FullCore full(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(full.core->saveAllSettings());
    state.counters["file_bytes"] = double(QFile(full.path()).size());
}
BENCHMARK(SaveAllSettingsFullHistory)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// The parts of one save, without the disk: parse the file read again, put every section in,
// serialize.
void SaveInMemoryParts(benchmark::State& state) {
    FullCore full(int(state.range(0)));
    const QByteArray content = full.content();
    SettingsSnapshot snapshot;
    snapshot.loginName = "BENCH";
    snapshot.displayName = "BENCH";
    snapshot.messages = full.core->messages();
    snapshot.remarks = Core::defaultRemarks();
    for (int i = 1; i < kPeople; ++i)
        snapshot.rosterEntries.append(address(i) + '=' + name(i) + kSep + "yOn vacation");
    Profile profile;
    for (auto _ : state) {
        profile.parse(content);
        saveAllSettings(profile, snapshot);
        benchmark::DoNotOptimize(profile.serialize());
    }
}
BENCHMARK(SaveInMemoryParts)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// Of those parts, the parse alone: every save reads the file again under the lock (another
// user's copy may have saved meanwhile) before it writes.
void ParseOnly(benchmark::State& state) {
    FullCore full(int(state.range(0)));
    const QByteArray content = full.content();
    Profile profile;
    for (auto _ : state) {
        profile.parse(content);
        benchmark::DoNotOptimize(profile.sectionNames());
    }
}
BENCHMARK(ParseOnly)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// Writing the finished bytes only: temporary file, fsync, rename (and the folder's fsync).
void WriteFileOnly(benchmark::State& state) {
    FullCore full(int(state.range(0)));
    const QByteArray content = full.content();
    for (auto _ : state)
        benchmark::DoNotOptimize(SettingsFile::write(full.path(), content).ok());
}
BENCHMARK(WriteFileOnly)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// What a start does with the file: read and parse it, then decode the history.
void LoadWithHistory(benchmark::State& state) {
    FullCore full(int(state.range(0)));
    Profile profile;
    for (auto _ : state) {
        SettingsFile::load(full.path(), profile);
        benchmark::DoNotOptimize(readMessageHistory(profile));
    }
}
BENCHMARK(LoadWithHistory)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// A hostile or damaged file: one section of 100,000 keys and one line of a megabyte. Parsing it
// and looking every key up must stay linear; a quadratic lookup would take minutes.
void HugeSectionLookups(benchmark::State& state) {
    QByteArray content = "[ipList]\r\n";
    for (int i = 0; i < 100000; ++i)
        content += QByteArray::number(i) + "=10.0." + QByteArray::number(i) + "\r\n";
    content += "[big]\r\nline=" + QByteArray(1 << 20, 'm') + "\r\n";
    Profile profile;
    for (auto _ : state) {
        profile.parse(content);
        for (int i = 0; i < 100000; ++i)
            benchmark::DoNotOptimize(profile.readSetting("IPLIST", QByteArray::number(i), {}));
    }
}
BENCHMARK(HugeSectionLookups)->Unit(benchmark::kMillisecond);

} // namespace
