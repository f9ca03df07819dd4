#include "core/presence/Presence.h"

#include "core/net/UdpTransport.h"
#include "core/net/Datagram.h"

namespace velmora {

TPresence::TPresence(TEnvironment env, QObject* parent) : QObject(parent), env_(std::move(env)) {}

void TPresence::AnnounceOwnStatus(char code, const QByteArray& text, bool send, bool stamp,
                                  bool recompute) {
    reannounce_ = false;
    TOwnStatus& own = env_.own;
    own.code = code;
    own.text = text;
    QByteArray shown = text;
    if (stamp) {
        if (recompute) own.stamp = FormatTimeStamp(env_.clock.Now(), env_.locale, env_.options.clock24);
        shown += own.stamp;
    }
    const QByteArray d = datagram::StatusAnnouncement(code, own.displayName, shown);
    env_.dispatch(d, own.address);
    Q_EMIT ownStatusAnnounced(code, shown, remarkMirroring);
    if (send) env_.send(d);
    reannounce_ = false;
}

bool TPresence::ReannounceStamps() const {
    return !env_.own.stamp.isEmpty() || env_.options.ShwTime;
}

void TPresence::RefreshRequestArrived() {
    reannounce_ = true;
    env_.roster.Answered().reset();
    relayPosition_ = 0;
    relayDelay_ = 0;
}

void TPresence::ReannounceStep() {
    if (!reannounce_) return;
    const TOwnStatus& own = env_.own;
    AnnounceOwnStatus(own.code, own.text, true, ReannounceStamps(), false);
    reannounce_ = false;
}

void TPresence::RelayStep() {
    if (++relayDelay_ <= 2) return;
    relayDelay_ = 5;

    TRoster& roster = env_.roster;
    const int p = relayPosition_;
    QByteArray relay;
    {
        std::lock_guard guard(roster.Lock());
        if (p < TRoster::kMarkedPositions && p < roster.Count() && roster.Seen().test(p) &&
            !roster.Answered().test(p)) {
            const TRosterFields f = TRoster::Split(roster.Entries()[p]);
            QByteArray rest;
            rest.reserve(f.name.size() + f.status.size() + 2);
            rest.append(f.name).append(kSep).append(' ').append(f.status);
            relay = datagram::ProxyAnnouncement(f.code, f.address, rest);
        }
        relayPosition_ = p + 1 > roster.Count() ? 0 : p + 1;
    }
    if (relay.isEmpty()) return;
    try {
        env_.send(relay);
    } catch (...) {
        // A relay that cannot go out now goes out on the next pass.
    }
}

void TPresence::RosterReset() {
    const TOwnStatus& own = env_.own;
    env_.roster.Reset(own.address, own.loginName);
    env_.processEvents();
    AnnounceOwnStatus(own.code, QByteArray(own.text), false, env_.options.ShwTime,
                      env_.options.ShwTime);
    env_.processEvents();
    env_.send(datagram::RefreshRequest(own.displayName));
}

void TPresence::RefreshStatusList() {
    env_.send(datagram::RosterResetCommand(env_.own.displayName));
}

void TPresence::ResendMyStatus() {
    const TOwnStatus& own = env_.own;
    AnnounceOwnStatus(own.code, QByteArray(own.text), true, env_.options.ShwTime,
                      env_.options.ShwTime);
}

void TPresence::BroadcastProposalArrived(const QByteArray& text) {
    QByteArray notice = text;
    notice[0] = 'B';
    env_.send(notice);
}

void TPresence::BroadcastNoticeArrived(const QByteArray& text) {
    broadcastAddress_ = datagram::BroadcastAddressOf(text);
}

bool TPresence::IsProperBroadcastAddress(const QByteArray& address) {
    if (address.size() < 7 || address.count('.') != 3 || address.contains("..") ||
        !address.endsWith("255"))
        return false;
    for (char c : address)
        if (c != '.' && (c < '0' || c > '9')) return false;
    return true;
}

bool TPresence::SendBroadcastProposal(const QByteArray& address) {
    if (!IsProperBroadcastAddress(address)) return false;
    const QByteArray old = broadcastAddress_;
    broadcastAddress_ = address;
    try {
        env_.send(datagram::BroadcastProposal(address));
    } catch (...) {
        broadcastAddress_ = old;
        throw;
    }
    broadcastAddress_ = old;
    return true;
}

} // namespace velmora
