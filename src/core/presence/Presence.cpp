#include "core/presence/Presence.h"

#include "core/net/Datagram.h"
#include "core/net/OwnAddress.h"
#include "core/net/TimeStamp.h"

namespace velmora {

Presence::Presence(Environment env, QObject* parent) : QObject(parent), env_(std::move(env)) {}

SendResult Presence::announceOwnStatus(StatusCode code, const QByteArray& text,
                                       AnnounceOptions how) {
    reannounce_ = false;
    OwnStatus& own = env_.own;
    own.code = code;
    own.text = text;
    QByteArray shown = text;
    if (how.stamp) {
        if (how.renewStamp)
            own.stamp = formatTimeStamp(env_.clock.now(), env_.locale, env_.options.use24HourClock);
        shown += own.stamp;
    }
    const QByteArray d = datagram::statusAnnouncement(code, own.displayName, shown);
    env_.dispatch(d, own.address);
    Q_EMIT ownStatusAnnounced(code, shown);
    const SendResult result = how.send ? env_.send(d) : SendResult{};
    reannounce_ = false;
    return result;
}

AnnounceOptions Presence::reannouncing() const {
    return {.stamp = !env_.own.stamp.isEmpty() || env_.options.stampChanges};
}

void Presence::refreshRequestArrived() {
    reannounce_ = true;
    env_.roster.answered().reset();
    relayPosition_ = 0;
    relayDelay_ = 0;
}

void Presence::reannounceStep() {
    if (!reannounce_) return;
    const OwnStatus& own = env_.own;
    announceOwnStatus(own.code, own.text, reannouncing());
    reannounce_ = false;
}

QByteArray Presence::relayedName(const QByteArray& name) {
    // Every receiver cleans a name up once more; a name whose clean-up would change it again
    // goes out behind a prefix that this clean-up removes, so that it shows the same
    // everywhere.
    if (datagram::normaliseName(name) == name) return name;
    return QByteArrayLiteral("/~~\\~") + name;
}

void Presence::relayStep() {
    if (++relayDelay_ <= 2) return;
    relayDelay_ = 5;

    Roster& roster = env_.roster;
    const int p = relayPosition_;
    QByteArray relay;
    {
        std::lock_guard guard(roster.lock());
        if (p < Roster::kMarkedPositions && p < roster.count() && roster.seen().test(p) &&
            !roster.answered().test(p)) {
            const RosterFields f = Roster::split(roster.entries()[p]);
            QByteArray rest;
            rest.reserve(f.name.size() + f.status.size() + 8);
            rest.append(relayedName(f.name)).append(kSep).append(' ').append(f.status);
            relay = datagram::proxyAnnouncement(f.code, f.address, rest);
        }
        relayPosition_ = p + 1 > roster.count() ? 0 : p + 1;
    }
    // A relay that cannot go out now goes out on the next pass.
    if (!relay.isEmpty()) env_.send(relay);
}

SendResult Presence::rosterReset() {
    const OwnStatus& own = env_.own;
    env_.roster.reset(own.address, own.loginName);
    env_.processEvents();
    const bool stamp = env_.options.stampChanges;
    announceOwnStatus(own.code, QByteArray(own.text),
                      {.send = false, .stamp = stamp, .renewStamp = stamp});
    env_.processEvents();
    return env_.send(datagram::refreshRequest(own.displayName));
}

SendResult Presence::refreshStatusList() {
    return env_.send(datagram::rosterResetCommand(env_.own.displayName));
}

SendResult Presence::resendMyStatus() {
    const OwnStatus& own = env_.own;
    const bool stamp = env_.options.stampChanges;
    return announceOwnStatus(own.code, QByteArray(own.text), {.stamp = stamp, .renewStamp = stamp});
}

void Presence::broadcastProposalArrived(const QByteArray& text) {
    // Anything but a proper address is not passed on: a long or random proposal would make
    // every copy an amplifier of it.
    if (!isProperBroadcastAddress(datagram::broadcastAddressOf(text))) return;
    QByteArray notice = text;
    notice[0] = toWire(datagram::Kind::BroadcastNotice);
    env_.send(notice);
}

void Presence::broadcastNoticeArrived(const QByteArray& text) {
    const QByteArray address = datagram::broadcastAddressOf(text);
    if (isProperBroadcastAddress(address)) broadcastAddress_ = address;
}

bool Presence::isProperBroadcastAddress(const QByteArray& address) {
    return isDottedAddress(address) && address.split('.').last().toInt() == 255;
}

bool Presence::sendBroadcastProposal(const QByteArray& address) {
    if (!isProperBroadcastAddress(address)) return false;
    const QByteArray old = broadcastAddress_;
    broadcastAddress_ = address;
    env_.send(datagram::broadcastProposal(address));
    broadcastAddress_ = old;
    return true;
}

} // namespace velmora
