#include "core/presence/HeardCopies.h"

namespace velmora {

void HeardCopies::heard(const QByteArray& address, qint64 nowMs) {
    if (const auto known = lastHeard_.find(address); known != lastHeard_.end()) {
        *known = nowMs;
        return;
    }
    if (lastHeard_.size() >= kMaxRemembered && nowMs - lastCleanupMs_ >= 1000) {
        lastCleanupMs_ = nowMs;
        lastHeard_.removeIf(
            [this, nowMs](const auto& entry) { return !current(entry.value(), nowMs); });
    }
    if (lastHeard_.size() < kMaxRemembered) lastHeard_.insert(address, nowMs);
}

QList<QByteArray> HeardCopies::recent(qint64 nowMs) const {
    QList<QByteArray> addresses;
    for (auto it = lastHeard_.cbegin(); it != lastHeard_.cend(); ++it)
        if (current(it.value(), nowMs)) addresses.append(it.key());
    return addresses;
}

} // namespace velmora
