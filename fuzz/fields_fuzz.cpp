// Time stamps and address texts. The first bytes of the input pick a moment, a locale and the
// clock format; the rest is a status text, and its 0xF7-separated parts serve as the fields
// (name, text, address) of datagrams built and taken apart again.

#include "FuzzSupport.h"

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "core/net/OwnAddress.h"
#include "core/net/TimeStamp.h"
#include "core/presence/Presence.h"

#include <QLocale>

#include <arpa/inet.h>

using namespace velmora;
using velmora::fuzz::shown;

namespace {

const QList<QLocale>& locales() {
    static const QList<QLocale>* list = new QList<QLocale>{
        QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::English, QLocale::UnitedKingdom),
        QLocale(QLocale::German, QLocale::Germany),       QLocale(QLocale::French, QLocale::France),
        QLocale(QLocale::Japanese, QLocale::Japan),       QLocale(QLocale::Arabic, QLocale::Egypt),
        QLocale(QLocale::Korean, QLocale::SouthKorea),    QLocale::c()};
    return *list;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "H:nn" or "h:nn " + designator, for the moment's hour and minute.
void checkClockTime(const QByteArray& clock, const QTime& t, bool clock24) {
    const qsizetype colon = clock.indexOf(':');
    FUZZ_CHECK(colon == 1 || colon == 2);
    for (qsizetype i = 0; i < colon; ++i)
        FUZZ_CHECK(isDigit(clock[i]));
    FUZZ_CHECK(clock.size() >= colon + 3);
    FUZZ_CHECK(isDigit(clock[colon + 1]) && isDigit(clock[colon + 2]));
    FUZZ_CHECK(clock.mid(colon + 1, 2).toInt() == t.minute());
    const int hour = clock.left(colon).toInt();
    if (clock24) {
        FUZZ_CHECK(clock.size() == colon + 3);
        FUZZ_CHECK(hour == t.hour());
    } else {
        FUZZ_CHECK(hour >= 1 && hour <= 12);
        FUZZ_CHECK(hour % 12 == t.hour() % 12);
        FUZZ_CHECK(clock.size() >= colon + 4 && clock[colon + 3] == ' ');
    }
}

void checkTimeStamps(const QDateTime& moment, const QLocale& locale, bool clock24,
                     const QByteArray& status) {
    const QByteArray clock = formatClockTime(moment, locale, clock24);
    checkClockTime(clock, moment.time(), clock24);

    const QByteArray stamp = formatTimeStamp(moment, locale, clock24);
    FUZZ_CHECK(stamp.startsWith(" ( " + clock + " on "));
    FUZZ_CHECK(stamp.endsWith(')'));
    FUZZ_CHECK(timeStampStart(stamp) == 0);
    const QByteArray shortStamp = formatShortTimeStamp(moment, locale, clock24);
    FUZZ_CHECK(shortStamp == " ( " + clock + ")");
    FUZZ_CHECK(timeStampStart(shortStamp) == 0);

    // The status text alone: a stamp starts inside it, or there is none.
    const qsizetype own = timeStampStart(status);
    FUZZ_CHECK(own >= -1 && own < status.size());
    if (own >= 0) FUZZ_CHECK(status.endsWith(')') && status.mid(own).startsWith(" ( "));
    if (!status.endsWith(')') || !status.contains(" ( ")) FUZZ_CHECK(own == -1);

    // A stamped status: the stamp is found, at the latest where it was appended; exactly there
    // when the text holds no "(" that could start an earlier one.
    const QByteArray stamped = status + stamp;
    const qsizetype at = timeStampStart(stamped);
    FUZZ_CHECK(at >= 0 && at <= status.size());
    if (!status.contains('(')) {
        if (at != status.size())
            std::fprintf(stderr, "stamp of \"%s\" found at %d\n", shown(stamped).constData(),
                         int(at));
        FUZZ_CHECK(at == status.size());
        FUZZ_CHECK(stamped.mid(at) == stamp);
    }
}

// A dotted address as the C library reads one, where the two may be compared: the library
// refuses a number with a leading zero (an octal number to some readers), the program takes it.
void checkDottedAddress(const QByteArray& text) {
    const bool dotted = isDottedAddress(text);
    if (dotted) FUZZ_CHECK(text.count('.') == 3);
    bool leadingZero = false;
    for (const QByteArray& part : text.split('.'))
        leadingZero = leadingZero || (part.size() > 1 && part.startsWith('0'));
    if (leadingZero || text.contains('\0')) return;
    in_addr parsed{};
    const bool byLibrary = inet_pton(AF_INET, text.constData(), &parsed) == 1;
    if (dotted != byLibrary)
        std::fprintf(stderr, "\"%s\": isDottedAddress %d, inet_pton %d\n", shown(text).constData(),
                     int(dotted), int(byLibrary));
    FUZZ_CHECK(dotted == byLibrary);
}

void checkAddressTexts(const QByteArray& text) {
    checkDottedAddress(text);
    // The broadcast-address command takes dotted addresses that end in 255 and nothing else.
    if (Presence::isProperBroadcastAddress(text)) {
        FUZZ_CHECK(text.size() >= 7 && text.endsWith("255") && text.count('.') == 3);
        for (char c : text)
            FUZZ_CHECK(c == '.' || isDigit(c));
    }
    // A proposal and the notice answering it carry the address unchanged.
    const QByteArray proposal = datagram::broadcastProposal(text);
    FUZZ_CHECK(datagram::broadcastAddressOf(proposal) == text);
    QByteArray notice = proposal;
    notice[0] = 'B';
    FUZZ_CHECK(datagram::broadcastAddressOf(notice) == text);

    if (!text.isEmpty()) FUZZ_CHECK(determineOwnAddress(text) == text);
    FUZZ_CHECK(sameAddress(text, text));
}

void checkRawParsers(const QByteArray& text) {
    if (const auto a = datagram::parseStatusAnnouncement(text)) {
        FUZZ_CHECK(toWire(a->code) == text[1]);
        FUZZ_CHECK(!a->name.contains(kSep));
        FUZZ_CHECK(a->name.size() <= datagram::kFieldLimit);
        FUZZ_CHECK(a->status.size() <= datagram::kFieldLimit);
        FUZZ_CHECK(a->status == trimBlanks(a->status));
    }
    if (const auto p = datagram::rewriteProxy(text)) {
        FUZZ_CHECK(p->announcement.startsWith("a" + text.mid(1, 1)));
        FUZZ_CHECK(text.mid(text.indexOf(kSep) + 1).startsWith(p->announcement.mid(2)));
        FUZZ_CHECK(!p->target.contains(kSep));
        FUZZ_CHECK(p->target.size() <= datagram::kFieldLimit);
    }
    if (text.startsWith('m')) {
        if (const auto t = datagram::addressedMessageTarget(text)) FUZZ_CHECK(!t->contains(kSep));
    }
    if (const auto r = datagram::parseReceipt(text)) {
        // The two blanks end the name unless the cut took them.
        FUZZ_CHECK(r->name.size() <= datagram::kFieldLimit);
        FUZZ_CHECK(r->name.endsWith("  ") || r->name.size() == datagram::kFieldLimit);
    }
    datagram::messageShownText(text);
    datagram::discussionLine(text);
    FUZZ_CHECK(text.endsWith(datagram::normaliseName(text)));
    const QByteArray trimmed = trimBlanks(text);
    FUZZ_CHECK(text.contains(trimmed));
    FUZZ_CHECK(trimmed.isEmpty() || (static_cast<unsigned char>(trimmed.front()) > 0x20 &&
                                     static_cast<unsigned char>(trimmed.back()) > 0x20));
    FUZZ_CHECK(toAnsi(fromAnsi(text)) == text);
}

// Builders and parsers agree: what a copy sends, the others take apart into the same fields.
void checkBuiltDatagrams(char code, const QByteArray& name, const QByteArray& text,
                         const QByteArray& address) {
    // `name` and `address` hold no separator; `text` may.
    if (!name.isEmpty()) {
        const auto a = datagram::parseStatusAnnouncement(
            datagram::statusAnnouncement(fromWire(code), name, text));
        FUZZ_CHECK(a);
        FUZZ_CHECK(toWire(a->code) == code);
        FUZZ_CHECK(a->name == datagram::normaliseName(name).left(datagram::kFieldLimit));
        const QByteArray status = trimBlanks((" " + text).left(datagram::kFieldLimit));
        FUZZ_CHECK(a->status == status);

        // The relay of that person by another copy, as Presence::relayStep builds it.
        QByteArray rest = a->name + kSep + ' ' + a->status;
        const auto proxy =
            datagram::rewriteProxy(datagram::proxyAnnouncement(fromWire(code), address, rest));
        FUZZ_CHECK(proxy);
        FUZZ_CHECK(proxy->target == address.left(datagram::kFieldLimit));
        // "a", the code, and the relayed name and status (or as much of them as a receiver
        // copies).
        const QByteArray announcement = "a" + QByteArray(1, code) + rest;
        if (!announcement.startsWith(proxy->announcement) ||
            proxy->announcement.size() < std::min(announcement.size(), 2 + datagram::kFieldLimit))
            std::fprintf(stderr, "relay of \"%s\" rewritten to \"%s\"\n",
                         shown(announcement).constData(), shown(proxy->announcement).constData());
        FUZZ_CHECK(announcement.startsWith(proxy->announcement));
        FUZZ_CHECK(proxy->announcement.size() >= std::min(announcement.size(), 2 + datagram::kFieldLimit));
        if (rest.size() <= datagram::kFieldLimit && !a->name.isEmpty()) {
            const auto relayed = datagram::parseStatusAnnouncement(proxy->announcement);
            FUZZ_CHECK(relayed);
            FUZZ_CHECK(toWire(relayed->code) == code);
            if (relayed->status != a->status)
                std::fprintf(stderr, "status \"%s\" relayed as \"%s\"\n",
                             shown(a->status).constData(), shown(relayed->status).constData());
            FUZZ_CHECK(relayed->status == a->status);
        }
    }

    const QByteArray trailer = datagram::messageTrailer(name, address);
    const QByteArray addressed = datagram::addressedMessage(address, text, trailer);
    FUZZ_CHECK(datagram::addressedMessageTarget(addressed) == address);
    FUZZ_CHECK(datagram::messageShownText(addressed) == text + trailer);
    FUZZ_CHECK(datagram::messageShownText(datagram::messageToAll(text, trailer)) == text + trailer);

    const auto receipt = datagram::parseReceipt(datagram::receipt(address, name));
    FUZZ_CHECK(receipt);
    FUZZ_CHECK(receipt->address == address);
    FUZZ_CHECK(receipt->name == (name + "  ").left(datagram::kFieldLimit));

    FUZZ_CHECK(datagram::discussionLine(datagram::discussionEntry(name, text, " ( 9:05 AM)")) ==
               name + " > " + text + " ( 9:05 AM)");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray input = fuzz::bytes(data, size);
    QByteArray head = input.left(5);
    head.append(QByteArray(5 - head.size(), '\0'));
    const QByteArray text = input.mid(5);

    const auto b = [&](int i) { return static_cast<unsigned char>(head[i]); };
    const bool clock24 = b(0) & 1;
    const QLocale& locale = locales()[(b(0) >> 1) % locales().size()];
    // Any minute of the years 2000 to 2099, in local time as the program's clock gives it.
    const quint32 minutes = (quint32(b(1)) << 24 | quint32(b(2)) << 16 | quint32(b(3)) << 8 | b(4)) %
                            (100u * 366u * 24u * 60u);
    const QDateTime moment = QDateTime(QDate(2000, 1, 1), QTime(0, 0)).addSecs(qint64(minutes) * 60);
    if (moment.isValid()) checkTimeStamps(moment, locale, clock24, text);

    checkAddressTexts(text);
    checkRawParsers(text);

    const QList<QByteArray> parts = text.split(kSep);
    const QByteArray name = parts.value(0);
    const QByteArray message = parts.size() > 1 ? text.mid(name.size() + 1) : QByteArray();
    const QByteArray address = parts.value(parts.size() - 1);
    // A colour code is a letter; the separator itself would end the name before it began.
    const char code = head[0] == kSep ? 'g' : head[0];
    checkBuiltDatagrams(code, name, message, parts.size() > 2 ? address : QByteArray("10.0.0.7"));
    return 0;
}
