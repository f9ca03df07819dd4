// Messages between copies without a window: what a composed text becomes on the wire, which
// message datagrams are accepted and confirmed, receipts, walking and erasing the history, the
// reply target, and the built-in chime.

#include "core/messaging/MessageHistory.h"
#include "core/messaging/ChimeWave.h"
#include "core/messaging/MessageSearch.h"
#include "core/net/Datagram.h"
#include "support/CoreHarness.h"

#include <QSignalSpy>
#include <QtEndian>
#include <gtest/gtest.h>
#include <optional>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::Q;
using velmora::test::sep;

namespace {

const QByteArray kArrival = " at 9:05 AM on Mon ";

QByteArray fromAnn(const QByteArray& body) {
    return "M" + body + " - - - From Ann Lee (10.0.0.7)";
}

} // namespace

TEST(MessageHistory, ComposedLinesBecomeTheBodyAndTheTrailerFollows) {
    CoreHarness h("10.0.0.5");
    MessageHistory& history = h.started().history();

    // A line of one blank goes out empty; every line ends with CR LF; the box's last empty
    // line is not a line.
    EXPECT_EQ(history.composedDatagram("m10.0.0.7" + sep(), {"first", " ", "third"}),
              "m10.0.0.7" + sep() + "first\r\n\r\nthird\r\n - - - From OPERATOR (10.0.0.5)");
    EXPECT_EQ(history.composedDatagram("M", {}), "M - - - From OPERATOR (10.0.0.5)");

    // 400 characters: the first 360 and the trailer straight after them.
    const QByteArray text(400, 'x');
    EXPECT_EQ(history.composedDatagram("M", {text}),
              "M" + QByteArray(360, 'x') + " - - - From OPERATOR (10.0.0.5)");
    // The cut may split the last CR LF.
    EXPECT_EQ(messageBody({QByteArray(359, 'y')}), QByteArray(359, 'y') + '\r');
    EXPECT_EQ(messageBody({QByteArray(358, 'y')}), QByteArray(358, 'y') + "\r\n");
}

TEST(MessageHistory, AcceptedMessagesAreKeptNewestFirstAndConfirmedOnce) {
    CoreHarness h("10.0.0.5");
    Core& core = h.started();
    MessageHistory& history = core.history();
    QSignalSpy accepted(&history, &MessageHistory::messageAccepted);

    // Addressed to this copy from this copy: accepted like any other.
    const QByteArray toSelf = "m10.0.0.5" + sep() + "note\r\n - - - From OPERATOR (10.0.0.5)";
    core.dispatchDatagram(toSelf, "10.0.0.5");
    ASSERT_EQ(core.messages().size(), 1);
    EXPECT_EQ(core.messages()[0],
              "note\r\n - - - From OPERATOR (10.0.0.5)\r\n" + kArrival + "\r\n ");
    EXPECT_EQ(h.sent, (QList<QByteArray>{"vl10.0.0.5" + sep() + "OPERATOR"}));
    ASSERT_EQ(accepted.count(), 1);
    EXPECT_EQ(accepted[0][0].toByteArray(), "10.0.0.5");

    // The same datagram again in a row: shown once, confirmed once.
    const QByteArray hello = fromAnn("hello\r\n");
    core.dispatchDatagram(hello, "10.0.0.7");
    core.dispatchDatagram(hello, "10.0.0.7");
    EXPECT_EQ(core.messages().size(), 2);
    EXPECT_EQ(h.sent.size(), 2);
    EXPECT_EQ(h.sent[1], "vl10.0.0.7" + sep() + "OPERATOR");

    // After another message it counts again, and the newest is always at position 0.
    core.dispatchDatagram(fromAnn("other\r\n"), "10.0.0.7");
    history.next();
    core.dispatchDatagram(hello, "10.0.0.7");
    EXPECT_EQ(core.messages().size(), 4);
    EXPECT_EQ(h.sent.size(), 4);
    EXPECT_EQ(history.position(), 0);
    EXPECT_TRUE(history.shown().startsWith("hello\r\n"));
    EXPECT_EQ(accepted.count(), 4);

    // Addressed elsewhere (a longer address that starts with ours included): dropped.
    core.dispatchDatagram("m10.0.0.50" + sep() + "x - - - From A (10.0.0.7)", "10.0.0.7");
    EXPECT_EQ(core.messages().size(), 4);
    EXPECT_EQ(h.sent.size(), 4);
}

TEST(MessageHistory, NewMessageArrivalOffIgnoresMessagesWithoutReceipt) {
    CoreHarness h;
    Core& core = h.started();
    core.changeOptions([](Options& o) { o.showOnNewMessage = false; });
    core.dispatchDatagram(fromAnn("hello\r\n"), "10.0.0.7");
    EXPECT_TRUE(core.messages().isEmpty());
    EXPECT_TRUE(h.sent.isEmpty());

    // Being ignored does not make it "the last one": once switched on, it is accepted.
    core.changeOptions([](Options& o) { o.showOnNewMessage = true; });
    core.dispatchDatagram(fromAnn("hello\r\n"), "10.0.0.7");
    EXPECT_EQ(core.messages().size(), 1);
}

TEST(MessageHistory, ReceiptsCountAtTheSendersAddressWithinAnHourOfItsLastMessage) {
    const qint64 hour = MessageHistory::kReceiptWindowMs;
    const QByteArray toMe = "vl10.0.0.5" + sep();
    const struct {
        const char* what;
        std::optional<qint64> sentAgo; // none: this copy has sent no message
        QByteArray receipt;
        QByteArray name; // empty: ignored
    } cases[] = {
        {"nothing sent", std::nullopt, toMe + "BOB", {}},
        {"an hour ago", hour, toMe + "BOB", "BOB  "}, // with the two blanks of the parse
        {"over an hour ago", hour + 1, toMe + "BOB", {}},
        {"the clock set back", -hour, toMe + "BOB", "BOB  "},
        {"another address", 0, "vl10.0.0.50" + sep() + "CAY", {}},
        {"a long name", 0, toMe + QByteArray(60000, 'n'), QByteArray(datagram::kFieldLimit, 'n')},
    };
    for (const auto& c : cases) {
        CoreHarness h("10.0.0.5");
        MessageHistory& history = h.started().history();
        if (c.sentAgo) history.sendMessage("M", {"hi"});
        h.clock.advance(c.sentAgo.value_or(0));
        h.sent.clear();
        EXPECT_EQ(history.receiptArrived(c.receipt, "10.0.0.7").value_or(QByteArray()), c.name) << c.what;
        EXPECT_TRUE(h.sent.isEmpty()) << c.what; // a receipt is never confirmed
    }
}

TEST(MessageHistory, AnEntryKeepsTwoHundredLinesAndSaysWhatItLeftOut) {
    const QByteArray arrival = "\r\n" + kArrival + "\r\n ";
    const QByteArray stored = arrival + "\r\n"; // reading a file puts CR LF after the last line
    const auto lines = [](const char* text, int times) { return QByteArray(text).repeated(times); };
    const QByteArray shortened =
        lines("\r\n", 199) + "[message shortened: 31801 more lines (63602 characters) not kept]";
    const QByteArray longLine(70000, 'x');
    const qsizetype longKept = kKeptBytes + 256 - 2 - 100;
    const struct {
        const char* what;
        bool stored; // read from the file; else arriving as a message to all
        QByteArray text;
        QByteArray kept;
    } cases[] = {
        {"200 lines", false, lines("l\r\n", 199) + "end", lines("l\r\n", 199) + "end" + arrival},
        {"201 lines", false, lines("l\r\n", 200) + "end",
         lines("l\r\n", 199) + "[message shortened: 2 more lines (6 characters) not kept]" +
             arrival},
        {"64 KB of line breaks", false, lines("\r\n", 32000), shortened + arrival},
        {"lone LF and CR", false, lines("\n", 150) + lines("\r", 150),
         lines("\n", 150) + lines("\r", 48) +
             "\r\n[message shortened: 101 more lines (101 characters) not kept]" + arrival},
        {"stored shortened", true, shortened + stored, shortened + stored},
        {"stored too long", true, longLine + stored,
         longLine.left(longKept) + "\r\n[message shortened: 3 more lines (" +
             QByteArray::number(longLine.size() - longKept + stored.size()) +
             " characters) not kept]"},
    };
    for (const auto& c : cases) {
        CoreHarness h;
        Core& core = h.started();
        if (c.stored)
            core.history().load({c.text});
        else
            core.dispatchDatagram("M" + c.text, "10.0.0.7");
        EXPECT_EQ(core.messages().value(0), c.kept) << c.what;
    }
}

TEST(MessageHistory, TheHistoryHoldsAtMostEightMegabytesNewestFirst) {
    CoreHarness h;
    Core& core = h.started();
    for (int i = 100; i < 240; ++i)
        core.dispatchDatagram("M" + QByteArray::number(i) + QByteArray(64000, 'x'), "10.0.0.7");
    const qsizetype kept = MessageHistory::kByteLimit / core.messages()[0].size();
    ASSERT_EQ(core.messages().size(), kept);
    EXPECT_TRUE(core.messages().last().startsWith(QByteArray::number(240 - kept)));
}

TEST(MessageHistory, PreviousNextAndEraseWalkTheHistory) {
    CoreHarness h;
    Core& core = h.started();
    MessageHistory& history = core.history();
    for (const char* text : {"oldest (10.0.0.1)", "middle (10.0.0.2)", "newest (10.0.0.3)"})
        core.dispatchDatagram(QByteArray("M") + text, "10.0.0.7");
    ASSERT_EQ(history.position(), 0);

    QList<int> positions;
    for (int i = 0; i < 3; ++i) {
        history.next();
        positions.append(history.position());
    }
    history.previous();
    positions.append(history.position());
    EXPECT_EQ(positions, (QList<int>{1, 2, 2, 1}));
    EXPECT_TRUE(history.shown().startsWith("middle"));

    // Erasing any but the newest shows the next newer one; erasing the newest the next older.
    history.erase();
    EXPECT_EQ(history.position(), 0);
    EXPECT_TRUE(history.shown().startsWith("newest"));
    history.erase();
    EXPECT_TRUE(history.shown().startsWith("oldest"));
    EXPECT_TRUE(history.canReply());
    history.erase();
    EXPECT_TRUE(core.messages().isEmpty());
    EXPECT_EQ(history.shown(), QByteArray());
    EXPECT_EQ(history.replyMark(), -1);
    EXPECT_FALSE(history.canReply());
    history.erase(); // nothing left: nothing happens
    history.previous();
    history.next();
    EXPECT_EQ(history.position(), 0);
}

TEST(MessageHistory, ReplyTakesAddressAndNameFromTheTrailer) {
    CoreHarness h;
    Core& core = h.started();
    MessageHistory& history = core.history();

    // The last "(" counts, also when the body holds another one.
    core.dispatchDatagram("Mcall me (soon)\r\n - - - From Ann Lee (10.0.0.7)", "10.0.0.7");
    auto target = history.replyTarget();
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->address, "10.0.0.7" + sep());
    EXPECT_EQ(target->name, "Ann Lee");
    EXPECT_EQ(history.replyMark(), 1 + history.shown().lastIndexOf('('));

    // A body cut before its trailer: no "(" at all, or a "(" without a ")" after it.
    core.dispatchDatagram("Mno trailer at all", "10.0.0.7");
    EXPECT_EQ(history.replyMark(), -1);
    EXPECT_FALSE(history.canReply());
    core.dispatchDatagram("Mhalf a trailer (10.0.", "10.0.0.7");
    EXPECT_NE(history.replyMark(), -1);
    EXPECT_FALSE(history.canReply());

    // A trailer at the very start of the text, with an empty name.
    core.dispatchDatagram("M - - - From  (10.0.0.8)", "10.0.0.8");
    target = history.replyTarget();
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->address, "10.0.0.8" + sep());
    EXPECT_EQ(target->name, QByteArray());
}

// Finding messages: every word of the query in the text or the sender's name, letter case and
// accents aside on both sides; the trailer's and the arrival line's own words do not count.
TEST(MessageSearch, FindsEveryWordInTextOrSenderWithoutCaseOrAccents) {
    QList<QByteArray> entries = {
        "Caf\xE9 at noon?\r\n - - - From Zo\xEB (10.0.0.7)\r\n" + kArrival + "\r\n ",
        // as read back from the settings file
        "Gro\xDF order closed\r\n - - - From \xC9MILE (10.0.0.8)\r\n" + kArrival + "\r\n \r\n",
        "No trailer here",
        "the CAFE is shut, Lucja\r\n - - - From Ann (10.0.0.9)\r\n" + kArrival + "\r\n ",
    };
    const struct {
        const char* query;
        QList<qsizetype> hits;
    } rows[] = {
        {"café", {0, 3}},     // accents and case on both sides
        {"CAFE", {0, 3}},     // capitals typed
        {"zoe", {0}},         // the sender's name
        {"émile gross", {1}}, // every word; "ß" read as "ss"
        {"cafe ann", {3}},    // text and sender together
        {"noon ann", {}},     // but in the same message
        {"Łucja", {3}},       // reduced as a typed text is
        {"trailer", {2}},     // an entry without trailer or arrival line
        {"from", {}},         // the trailer's words
        {"9:05", {}},         // the arrival line
        {"", {}},             // nothing typed finds nothing
        {"   ", {}},          // nor do blanks alone
        {"tea", {}},          // in no message
    };
    MessageSearch search;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.query);
        EXPECT_EQ(search.find(entries, Q(row.query)), row.hits);
    }
    // A message that arrived since the last search comes first.
    entries.prepend("caf\xC9?\r\n" + kArrival + "\r\n ");
    EXPECT_EQ(search.find(entries, Q("cafe")), (QList<qsizetype>{0, 1, 4}));
}

TEST(ChimeWave, IsEightBitMonoPcmAtElevenKilohertzWith6482SampleBytes) {
    const QByteArray wave = chimeWave();
    ASSERT_EQ(wave.size(), 44 + 6482);
    auto u32 = [&wave](int at) { return qFromLittleEndian<quint32>(wave.constData() + at); };
    auto u16 = [&wave](int at) { return qFromLittleEndian<quint16>(wave.constData() + at); };
    EXPECT_EQ(wave.left(4), "RIFF");
    EXPECT_EQ(u32(4), quint32(wave.size() - 8));
    EXPECT_EQ(wave.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1);      // PCM
    EXPECT_EQ(u16(22), 1);      // one channel
    EXPECT_EQ(u32(24), 11025u); // samples per second
    EXPECT_EQ(u32(28), 11025u); // bytes per second
    EXPECT_EQ(u16(32), 1);      // block align
    EXPECT_EQ(u16(34), 8);      // bits per sample
    EXPECT_EQ(wave.mid(36, 4), "data");
    EXPECT_EQ(u32(40), 6482u);

    // Audible, not clipped, and silent (128) at both ends so that it does not click.
    const QByteArray samples = wave.mid(44);
    int lowest = 255, highest = 0;
    for (char c : samples) {
        lowest = std::min(lowest, int(quint8(c)));
        highest = std::max(highest, int(quint8(c)));
    }
    EXPECT_GT(highest - lowest, 100);
    EXPECT_GT(lowest, 0);
    EXPECT_LT(highest, 255);
    EXPECT_EQ(quint8(samples.front()), 128);
    EXPECT_NEAR(int(quint8(samples.back())), 128, 1);
}
