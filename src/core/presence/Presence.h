#pragma once
// How each copy makes its user's status known and keeps every roster current without a
// server: announcing the own status, answering refresh requests within a second, rebuilding
// the roster on a reset, and relaying the last status of colleagues whose copies went quiet.

#include "core/Clock.h"
#include "core/net/SendResult.h"
#include "core/presence/Roster.h"
#include "core/settings/Settings.h"

#include <QByteArray>
#include <QLocale>
#include <QObject>
#include <functional>

namespace velmora {

// Who this copy is and what it last said about its user.
struct OwnStatus {
    QByteArray address;   // own IPv4 address as dotted text
    QByteArray loginName; // upper case
    QByteArray displayName;
    StatusCode code = StatusCode::In;
    QByteArray text = "In"; // own status text, without time stamp
    QByteArray stamp;       // own time stamp with its leading blank, or empty
};

// How one announcement of the own status goes out.
struct AnnounceOptions {
    bool send = true;        // to every copy; false: only the own roster entry changes
    bool stamp = false;      // the text carries the own time stamp
    bool renewStamp = false; // with `stamp`: the time stamp is taken now rather than repeated
};

class Presence : public QObject {
    Q_OBJECT
public:
    // What presence needs from the rest of the program.
    struct Environment {
        Roster& roster;
        OwnStatus& own;
        const Options& options;
        const Clock& clock;
        QLocale locale;
        // Applies a datagram locally as if it had arrived from `source`.
        std::function<void(const QByteArray& text, const QByteArray& source)> dispatch;
        // Sends a datagram to every copy.
        std::function<SendResult(const QByteArray& text)> send;
        // Lets pending events run (the roster reset does so between its steps).
        std::function<void()> processEvents;
    };

    explicit Presence(Environment env, QObject* parent = nullptr);

    // The one way every status of this user goes out. The result is the send's (sent when
    // nothing was sent); a status that did not go out has changed the own row all the same.
    SendResult announceOwnStatus(StatusCode code, const QByteArray& text, AnnounceOptions how);

    // How the re-announce step and the idle switching announce: stamped when an own time stamp
    // exists or "Time stamp my changes" is on, never with a new one.
    AnnounceOptions reannouncing() const;

    void refreshRequestArrived();
    void reannounceStep();          // every second
    void relayStep();               // every ten seconds
    SendResult rosterReset();       // "Show On-line Names", "Hide Off-line Names", "7"
    SendResult refreshStatusList(); // "Refresh Status list", "&Refresh All Programs"
    SendResult resendMyStatus();    // "Re-send My Status"
    void broadcastProposalArrived(const QByteArray& text);
    void broadcastNoticeArrived(const QByteArray& text);

    // The hidden "Subnet-directed IP brdcst address" command: false for an improper address.
    bool sendBroadcastProposal(const QByteArray& address);
    static bool isProperBroadcastAddress(const QByteArray& address);
    // The name as a relay passes it on: after the receivers' clean-up it reads as `name`.
    static QByteArray relayedName(const QByteArray& name);

    bool reannounceFlag() const { return reannounce_; }
    void clearReannounceFlag() { reannounce_ = false; }
    int relayScanPosition() const { return relayPosition_; }
    int relayDelayCounter() const { return relayDelay_; }
    const QByteArray& broadcastAddress() const { return broadcastAddress_; }
    void setBroadcastAddress(const QByteArray& address) { broadcastAddress_ = address; }

Q_SIGNALS:
    // After every announcement, with `text` as announced (with its time stamp): the remark box
    // and the tray menu's status line follow it.
    void ownStatusAnnounced(StatusCode code, const QByteArray& text);

private:
    Environment env_;
    bool reannounce_ = false;
    int relayPosition_ = 0;
    int relayDelay_ = 0;
    QByteArray broadcastAddress_ = "255.255.255.255";
};

} // namespace velmora
