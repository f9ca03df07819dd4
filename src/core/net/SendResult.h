#pragma once

#include <QString>

namespace velmora {

// What became of a datagram handed to the transport. Sending never throws.
struct SendResult {
    enum class Outcome {
        Sent,
        // Not handed to the network at all: too big, no socket, the sender not open. The
        // reason is the transport's own text, which the user is shown.
        Refused,
        // The network did not take it (no route, the interface down): the datagram is gone,
        // as any datagram may be. The reason is the system's, in the locale's words.
        Lost,
    };
    Outcome outcome = Outcome::Sent;
    QString reason;

    bool sent() const { return outcome == Outcome::Sent; }
    bool refused() const { return outcome == Outcome::Refused; }
};

} // namespace velmora
