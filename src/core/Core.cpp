#include "core/Core.h"

#include "core/net/Datagram.h"
#include "core/net/TimeStamp.h"
#include "core/presence/StatusSort.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace velmora {

QList<QByteArray> Core::defaultRemarks() {
    return {"On the phone",      "In a meeting", "At lunch",      "Do not disturb",
            "Out of the office", "Back shortly", "Back tomorrow", "Gone for the day",
            "Day off",           "On vacation"};
}

QByteArray Core::timeStampNow() const {
    return formatTimeStamp(clock_.now(), config_.locale, options_.use24HourClock);
}

Core::Core(CoreConfig config, const Clock& clock, QObject* parent)
    : QObject(parent), config_(std::move(config)), clock_(clock),
      presence_(Presence::Environment{roster_, own_, options_, clock_, config_.locale,
                                      [this](const QByteArray& text, const QByteArray& source) {
                                          dispatchDatagram(text, source);
                                      },
                                      [this](const QByteArray& text) { return sendDatagram(text); },
                                      [] { QCoreApplication::processEvents(); }}),
      history_(MessageHistory::Environment{
          options_, own_, clock_, config_.locale,
          [this](const QByteArray& text) { return sendDatagram(text); }}),
      outbox_(Outbox::Environment{
          clock_,
          [this](const QByteArray& address, const QByteArray& body) {
              return history_.sendBody(toWire(datagram::Kind::AddressedMessage) + address + kSep,
                                       body);
          },
          [this](const QByteArray& address) {
              std::lock_guard guard(roster_.lock());
              const int at = roster_.findAddress(address);
              return at >= 0 && !Roster::isOffLine(roster_.entries().at(at));
          }}),
      idle_(presence_, own_, config_.input ? *config_.input : reportedInput_) {
    own_.address = config_.ownAddress;
    sender_.setSourceAddress(own_.address);
    if (config_.lookUpLocalAddresses) localAddresses_ = config_.lookUpLocalAddresses();
    own_.loginName = config_.loginName;
    own_.displayName = config_.loginName;
    options_.rememberedWidth = config_.designedWidth;
    remarks_ = defaultRemarks();

    // The sender's destination never changes while the program runs.
    sender_.setRemoteIP(config_.remoteIP);
    sender_.setRemotePort(config_.remotePort);

    // Precise: a coarse timer may come up to a twentieth of its interval early or late, which
    // would move the input checks by seconds on the long waits.
    ticks_.setSingleShot(true);
    ticks_.setTimerType(Qt::PreciseTimer);
    connect(&ticks_, &QTimer::timeout, this, &Core::onTickDue);

    // A confirmed message is a promise to its sender: it reaches the disk within moments, not
    // only at the next exit.
    historySave_.setSingleShot(true);
    historySave_.setInterval(config_.historySaveDelayMs);
    connect(&historySave_, &QTimer::timeout, this, [this] { saveAllSettings(); });
    const auto saveSoon = [this] {
        if (historyLoaded_ && !historySave_.isActive()) historySave_.start();
    };
    connect(&history_, &MessageHistory::messageAccepted, this, saveSoon);
    // A message put in the outbox is kept across a crash as well.
    connect(&outbox_, &Outbox::changed, this, saveSoon);
}

Core::~Core() {
    historySave_.stop();
    stopTicking();
    receiver_.setActive(false);
}

void Core::startUp() {
    roster_.seen().reset();
    roster_.answered().reset();
    own_.stamp.clear();

    settingsPath_ = config_.settingsPath;
    SettingsFile::removeStaleTemporaries(settingsPath_);
    FileResult problem;
    bool readable =
        SettingsFile::load(settingsPath_, profile_, &problem) != SettingsFile::State::Unreadable;
    // Nothing of an unusable file is merged: the own file starts from what it holds itself.
    if (!readable && useOwnSettingsFile(problem))
        readable = SettingsFile::load(settingsPath_, profile_, &problem) !=
                   SettingsFile::State::Unreadable;
    if (!readable) {
        settingsUnusable_ = true;
        reportSettingsProblem(
            QStringLiteral("The settings file %1 cannot be read (%2). The program runs with "
                           "default settings and does not save over it.")
                .arg(settingsPath_, problem.reason()));
    }
    own_.displayName = readDisplayName(profile_, own_.loginName);
    options_ = config_.systemDefaults.readOptions(
        profile_, config_.designedWidth, config_.designedHeight, config_.screenLargeHeight);
    presence_.setBroadcastAddress(options_.broadcastAddress);
    options_.idleTimeoutText = idle_.applyIdleBox(options_.idleTimeoutText);

    if (roster_.seed(own_.address, own_.displayName, readRosterArchive(profile_))) {
        titleNote_ = kArchivedTitleNote;
        Q_EMIT titleNoteChanged(titleNote_);
    }
    resortStatusList();
    own_.text.clear();

    // Applied in the order the receiver's properties are laid down: it comes up on an ephemeral
    // port, moves to the program's port, and keeps the 65000-byte buffer it was first activated
    // with; the 2048 only matters for an activation that never comes.
    if (config_.listenPort != 0) {
        receiver_.setDatagramHandler(
            [this](UdpReceiver* r, const char* bytes, int count, const QByteArray& address,
                   quint16 port) { onDatagramReceived(r, bytes, count, address, port); });
        receiver_.setActive(true);
        receiver_.setPort(config_.listenPort);
        receiver_.setBufferSize(2048);
    }
}

void Core::finishStartUp() {
    const bool acceptedBefore = !history_.entries().isEmpty();
    history_.load(readMessageHistory(profile_));
    outbox_.load(readOutbox(profile_, Outbox::kLimit, Outbox::kByteLimit));
    historyLoaded_ = true;
    if (acceptedBefore || !outbox_.waiting().isEmpty()) historySave_.start();
    if (auto stored = readRemarkList(profile_)) remarks_ = *stored;

    const bool stamp = stampsAtStartAndEnd();
    own_.code = StatusCode::In;
    own_.text = "In";
    own_.stamp = stamp ? formatTimeStamp(clock_.now(), config_.locale, options_.use24HourClock)
                       : QByteArray();
    announceQuietly(StatusCode::In, "In", {.stamp = stamp, .renewStamp = stamp});
    // When this does not go out, nobody hears us yet; the next refresh request from another
    // copy fixes that.
    sendDatagram(datagram::refreshRequest(own_.displayName));
    presence_.clearReannounceFlag();
    // Input from before the program came up must not count as the user's first. Asked after
    // the announcements, which a question to the X server would only hold up.
    input().inputSinceLastCheck();
    startTicking();
}

void Core::announceQuietly(StatusCode code, const QByteArray& text, AnnounceOptions how) {
    // Announcements at start and end are not reported when the network refuses them.
    presence_.announceOwnStatus(code, text, how);
}

void Core::shutDown() {
    stopTicking();
    // Asleep, the others have heard the last word already.
    if (!sessionEnded_ && !asleep_) {
        closing_ = true;
        if (options_.exitAsOut && isInOrBusy()) {
            own_.code = StatusCode::Out;
            own_.text = "Out ";
        }
        const bool stamp = stampsAtStartAndEnd();
        announceQuietly(own_.code, own_.text + " (off-line)",
                        {.stamp = stamp, .renewStamp = stamp});
    }
    saveAllSettings();
    receiver_.setActive(false);
}

bool Core::saveAllSettings() {
    if (settingsUnusable_) return false;
    historySave_.stop();
    Q_EMIT savingSettings();
    SettingsSnapshot s;
    s.loginName = own_.loginName;
    s.displayName = own_.displayName;
    s.ownAddress = own_.address;
    s.versionLabel = kVersionLabel;
    s.programPath = config_.programPath;
    s.options = options_;
    s.options.broadcastAddress = presence_.broadcastAddress();
    {
        std::lock_guard guard(roster_.lock());
        s.rosterEntries = roster_.entries();
    }
    s.messages = history_.entries();
    s.remarks = remarks_;
    s.outbox = outbox_.waiting();

    bool unusable = false;
    FileResult result = saveUnderLock(s, &unusable);
    // Another user may have put a link, a FIFO or a file of theirs in the shared folder since
    // the start: what the user was promised goes to the own file instead.
    if (unusable && useOwnSettingsFile(result)) result = saveUnderLock(s, &unusable);
    lastSave_ = result;
    if (!result.ok()) {
        reportSettingsProblem(QStringLiteral("The settings could not be saved to %1: %2. They "
                                             "are kept and saved again at the next occasion.")
                                  .arg(settingsPath_, result.reason()));
        return false;
    }
    problemReported_ = false;
    Q_EMIT settingsSaved();
    return true;
}

void Core::changeOptions(const std::function<void(Options&)>& change) {
    change(options_);
    Q_EMIT optionsChanged();
}

FileResult Core::saveUnderLock(const SettingsSnapshot& snapshot, bool* unusable) {
    // Read the file again first, under the lock: another user of this computer may have saved
    // meanwhile, and their own section must survive our save.
    const SettingsFileLock lock(settingsPath_);
    FileResult problem;
    *unusable =
        SettingsFile::load(settingsPath_, profile_, &problem) == SettingsFile::State::Unreadable;
    if (*unusable) return problem; // never replaced
    config_.systemDefaults.saveAllSettings(profile_, snapshot);
    return SettingsFile::write(settingsPath_, profile_.serialize());
}

bool Core::useOwnSettingsFile(const FileResult& problem) {
    const QString own = config_.ownSettingsPath;
    if (own.isEmpty() ||
        QFileInfo(own).absoluteFilePath() == QFileInfo(settingsPath_).absoluteFilePath())
        return false;
    const QString message = QStringLiteral("The settings file %1 cannot be used safely (%2). "
                                           "Your settings are saved to %3 instead.")
                                .arg(settingsPath_, problem.reason(), own);
    QDir().mkpath(QFileInfo(own).absolutePath());
    settingsPath_ = own;
    problemReported_ = false; // a new place to save is always told
    reportSettingsProblem(message);
    return true;
}

void Core::reportSettingsProblem(const QString& message) {
    if (problemReported_) return;
    problemReported_ = true;
    std::fprintf(stderr, "velmora: %s\n", message.toLocal8Bit().constData());
    Q_EMIT settingsProblem(message);
}

SendResult Core::sendDatagram(const QByteArray& text) {
    SendResult result = sender_.setActive(true);
    if (result.sent()) result = sender_.send(text.constData(), int(text.size()));
    if (result.outcome == SendResult::Outcome::Lost) {
        // The datagram is simply lost, as on any network, but the user must learn that nothing
        // leaves.
        Q_EMIT datagramSendFailed(text, result.reason);
        if (!sendFailing_) {
            sendFailing_ = true;
            Q_EMIT connectionLost(result.reason);
        }
    } else if (result.sent()) {
        if (sendFailing_) {
            sendFailing_ = false;
            Q_EMIT connectionRestored();
        }
        Q_EMIT datagramSent(text);
    }
    return result;
}

bool Core::updateOwnAddress() {
    if (config_.lookUpLocalAddresses) localAddresses_ = config_.lookUpLocalAddresses();
    if (!config_.lookUpOwnAddress) return false;
    const QByteArray address = config_.lookUpOwnAddress();
    if (address.isEmpty() || address == own_.address) return false;
    own_.address = address;
    sender_.setSourceAddress(address);
    return true;
}

void Core::followOwnAddress() {
    // Everybody learns the new address from one announcement; its row here is re-keyed to it.
    if (updateOwnAddress()) announceQuietly(own_.code, own_.text, {.stamp = !own_.stamp.isEmpty()});
}

void Core::onDatagramReceived(UdpReceiver*, const char* bytes, int count, const QByteArray& address,
                              quint16) {
    const QByteArray text(bytes, count);
    if (closing_) return;
    // The own datagrams come back from another interface where the subnet broadcasts went out
    // on several: they are still this copy's, and must not re-key its own row.
    const QByteArray source =
        address != own_.address && localAddresses_.contains(address) ? own_.address : address;
    const qint64 nowMs = clock_.now().toMSecsSinceEpoch();
    if (source != own_.address) heard_.heard(source, nowMs);
    if (duplicates_.absorbs(text, source, nowMs)) return;
    try {
        dispatchDatagram(text, source);
    } catch (...) {
        // A datagram whose handling fails is lost; receiving goes on.
    }
}

void Core::dispatchDatagram(const QByteArray& datagramText, const QByteArray& source) {
    using datagram::Kind;
    Q_EMIT datagramDispatched(datagramText, source);
    if (datagramText.isEmpty()) return;
    QByteArray text = datagramText;
    QByteArray key = source;
    bool addressedToMe = false;
    bool proxied = false;
    if (datagram::kindOf(text) == Kind::ProxyAnnouncement) {
        const auto proxy = datagram::rewriteProxy(text);
        if (!proxy) return;
        proxied = true;
        key = proxy->target;
        addressedToMe = sameAddress(key, own_.address);
        text = proxy->announcement;
    }

    switch (datagram::kindOf(text)) {
    case Kind::StatusAnnouncement: {
        const auto result = roster_.applyStatusAnnouncement(
            text, key, addressedToMe, [&](StatusCode code, const QByteArray& status) {
                takeOverOwnStatus(code, status, source);
            });
        if (result.ignored) return;
        using Source = Roster::Source;
        const QDateTime now = clock_.now();
        if (!proxied || sameAddress(key, source)) {
            roster_.noteSource(result.position, Source::OwnCopy, now);
        } else if (result.appended || !result.statusChanged) {
            // What the row already showed, or a row not known yet: a relay of a silent
            // colleague's last status. This copy is never silent to itself.
            if (!addressedToMe) roster_.noteSource(result.position, Source::PassedOn, now);
        } else {
            roster_.noteSource(result.position, Source::SetByOther, now);
            noteSetter(key, source, text);
        }
        // Only the person's own copy says that they are back; a relay of their last status
        // does not.
        if (!proxied)
            if (const auto parsed = datagram::parseStatusAnnouncement(text))
                outbox_.statusAnnounced(key, parsed->name, parsed->status);
        if (options_.showOnStatusChange && (result.appended || result.changed))
            Q_EMIT bringIntoViewRequested();
        resortStatusList();
        break;
    }
    case Kind::MessageToAll:
    case Kind::AddressedMessage:
        messageArrived(text, key);
        break;
    case Kind::Receipt:
        if (history_.receiptArrived(text, key)) outbox_.receiptArrived(key);
        Q_EMIT receiptDatagramArrived(text);
        break;
    case Kind::DiscussionEntry:
        Q_EMIT discussionDatagramArrived(text);
        break;
    case Kind::RefreshRequest:
        // Answered on the next tick, within the second.
        changeBetweenTicks([this] { presence_.refreshRequestArrived(); });
        break;
    case Kind::RosterReset:
        presence_.rosterReset();
        break;
    case Kind::BroadcastProposal:
        presence_.broadcastProposalArrived(text);
        break;
    case Kind::BroadcastNotice:
        presence_.broadcastNoticeArrived(text);
        break;
    case Kind::BringToFront:
        if (sameAddress(key, own_.address)) Q_EMIT bringIntoViewRequested();
        break;
    default:
        break;
    }
}

void Core::messageArrived(const QByteArray& text, const QByteArray& source) {
    if (history_.messageArrived(text, source)) Q_EMIT messageDatagramArrived(text, source);
}

void Core::resortStatusList() {
    colourSort();
}

void Core::nameSort() {
    Q_EMIT windowTitleChanged(sortTitle(false, onTopLetter_, titleNote_));
    sortDisplayOrder(roster_, false, onTopLetter_, config_.locale);
    Q_EMIT rosterChanged();
}

void Core::colourSort() {
    if (!options_.sortByColour) {
        nameSort();
        return;
    }
    onTopLetter_ = ' ';
    Q_EMIT windowTitleChanged(sortTitle(true, onTopLetter_, titleNote_));
    sortDisplayOrder(roster_, true, onTopLetter_, config_.locale);
    Q_EMIT rosterChanged();
}

bool Core::typedLetter(char key) {
    const bool letter = (key >= 'A' && key <= 'Z') || (key >= 'a' && key <= 'z');
    const char upper = letter ? char(key & ~0x20) : key;
    if (letter && upper != onTopLetter_) {
        onTopLetter_ = upper;
        nameSort();
        return true;
    }
    onTopLetter_ = '!';
    colourSort();
    return false;
}

} // namespace velmora
