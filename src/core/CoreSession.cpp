// The core's answers to what happens around the program rather than on the network: the end
// of the session, the computer's sleep and wake, the screen lock, and changes of the own status
// made at other copies.

#include "core/Core.h"

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "core/net/TimeStamp.h"

#include <QCoreApplication>
#include <QThread>

namespace velmora {

namespace {
// How long the last announcement of a log-off gets to leave the machine.
constexpr int kEndSessionPauseMs = 300;
} // namespace

bool Core::announceEndOfSession() {
    if (showsOutAtEnd()) {
        announceQuietly(StatusCode::Out, "Out <shut down>",
                        {.stamp = stampsAtStartAndEnd(), .renewStamp = options_.stampChanges});
        return true;
    }
    const bool stamp = options_.stampChanges;
    announceQuietly(StatusCode::Out, "Out (off-line)", {.stamp = stamp, .renewStamp = stamp});
    return false;
}

void Core::logOff() {
    if (sessionEnded_) return;
    stopTicking();
    if (!showsOutAtEnd()) {
        closing_ = true;
        QCoreApplication::processEvents();
    }
    const bool shownOut = announceEndOfSession();
    closing_ = true;
    QThread::msleep(kEndSessionPauseMs);
    if (shownOut) saveAllSettings();
    sessionEnded_ = true;
}

bool Core::goToSleep() {
    // Before the start is done there is nothing to take back at wake.
    if (asleep_ || sessionEnded_ || closing_ || !ticking_) return false;
    asleep_ = true;
    beforeSleep_ = own_;
    stopTicking();
    // The process lives on, so no pause: the datagram has left by the time sleep begins.
    announceEndOfSession();
    saveAllSettings();
    return true;
}

void Core::wakeUp() {
    if (!asleep_ || closing_) return;
    asleep_ = false;
    own_.code = beforeSleep_.code;
    own_.text = beforeSleep_.text;
    own_.stamp = beforeSleep_.stamp;
    // Another network, another lease: the announcement goes out from the address held now.
    updateOwnAddress();
    announceQuietly(own_.code, own_.text, presence_.reannouncing());
    sendDatagram(datagram::refreshRequest(own_.displayName));
    presence_.clearReannounceFlag();
    // Whatever was pressed before the sleep must not count as the user's return.
    input().inputSinceLastCheck();
    if (lockAtWake_) idle_.setScreenLocked(*std::exchange(lockAtWake_, std::nullopt));
    startTicking();
}

void Core::setScreenLocked(bool locked) {
    if (locked && !options_.idleOnLock) return;
    if (asleep_) {
        lockAtWake_ = locked;
        return;
    }
    if (closing_ || sessionEnded_ || !ticking_) return;
    changeBetweenTicks([&] { idle_.setScreenLocked(locked); });
}

void Core::takeOverOwnStatus(StatusCode code, const QByteArray& status, const QByteArray& changer) {
    const OwnStatus before = own_;
    own_.text = status;
    const qsizetype stampAt = timeStampStart(status);
    if (stampAt >= 0) {
        own_.stamp = status.mid(stampAt);
        own_.text = status.left(stampAt);
    } else {
        own_.stamp.clear();
    }
    if (!status.isEmpty()) own_.code = code;
    Q_EMIT ownStatusTakenOver(status);

    // The user's own change from this copy, or one that changes nothing (a duplicate of the
    // same change), is nothing to tell.
    const bool changed =
        own_.code != before.code || own_.text != before.text || own_.stamp != before.stamp;
    if (!changed || changer.isEmpty() || sameAddress(changer, own_.address)) return;
    takeover_ = StatusTakeover{before.code, before.text, before.stamp, own_.text,
                               StatusSetter{changer, clock_.now()}};
    Q_EMIT ownStatusSetByOther();
}

bool Core::undoTakeover() {
    if (!takeover_ || own_.text != takeover_->takenText) return false;
    const StatusTakeover undone = *std::exchange(takeover_, std::nullopt);
    own_.stamp = undone.stamp;
    announceQuietly(undone.code, undone.text, presence_.reannouncing());
    return true;
}

void Core::noteSetter(const QByteArray& target, const QByteArray& changer, const QByteArray& text) {
    const auto parsed = datagram::parseStatusAnnouncement(text);
    if (!parsed) return;
    // Records of rows long gone are harmless but must not pile up under a flood.
    if (setters_.size() >= Roster::kMaxEntries) setters_.clear();
    setters_.insert(target.toLower(), {StatusSetter{changer, clock_.now()}, parsed->status});
}

std::optional<StatusSetter> Core::statusSetBy(const QByteArray& address) const {
    const auto it = setters_.constFind(address.toLower());
    if (it == setters_.constEnd()) return std::nullopt;
    std::lock_guard guard(roster_.lock());
    const int position = roster_.findAddress(address);
    // The person's own copy has said something else since.
    if (position < 0 || Roster::split(roster_.entries()[position]).status != it->second)
        return std::nullopt;
    return it->first;
}

} // namespace velmora
