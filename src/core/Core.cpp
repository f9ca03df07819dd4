#include "core/Core.h"

#include "core/presence/StatusSort.h"
#include "core/net/Datagram.h"

#include <QCoreApplication>
#include <QThread>

namespace velmora {

namespace {
constexpr int kRelayIntervalMs = 10000;
constexpr int kReannounceIntervalMs = 1000;
// How long the last announcement of a log-off gets to leave the machine.
constexpr int kEndSessionPauseMs = 300;
} // namespace

QList<QByteArray> TVelmoraCore::DefaultRemarks() {
    return {"On the phone",      "In a meeting", "At lunch",      "Do not disturb",
            "Out of the office", "Back shortly", "Back tomorrow", "Gone for the day",
            "Day off",           "On vacation"};
}

QByteArray TVelmoraCore::TimeStampNow() const {
    return FormatTimeStamp(clock_.Now(), config_.locale, options_.clock24);
}

TVelmoraCore::TVelmoraCore(TCoreConfig config, const TClock& clock, QObject* parent)
    : QObject(parent), config_(std::move(config)), clock_(clock),
      presence_(TPresence::TEnvironment{roster_, own_, options_, clock_, config_.locale,
                                        [this](const QByteArray& text, const QByteArray& source) {
                                            DispatchDatagram(text, source);
                                        },
                                        [this](const QByteArray& text) { SendDatagram(text); },
                                        [] { QCoreApplication::processEvents(); }}),
      history_(
          TMessageHistory::TEnvironment{options_, own_, clock_, config_.locale,
                                        [this](const QByteArray& text) { SendDatagram(text); }}),
      idle_(presence_, own_, options_, config_.input ? *config_.input : reportedInput_) {
    own_.address = config_.ownAddress;
    own_.loginName = config_.loginName;
    own_.displayName = config_.loginName;
    currentHeight = config_.designedHeight;
    options_.w = config_.designedWidth;
    remarks_ = DefaultRemarks();

    // The sender's destination never changes while the program runs.
    WSocket1_.SetRemoteIP(config_.remoteIP);
    WSocket1_.SetRemotePort(config_.remotePort);

    Timer1_.setInterval(kRelayIntervalMs);
    Timer2_.setInterval(kReannounceIntervalMs);
    connect(&Timer1_, &QTimer::timeout, this, &TVelmoraCore::Timer1Timer);
    connect(&Timer2_, &QTimer::timeout, this, &TVelmoraCore::Timer2Timer);
}

TVelmoraCore::~TVelmoraCore() {
    Timer1_.stop();
    Timer2_.stop();
    wSocketListen_.SetActive(false);
}

void TVelmoraCore::FormCreate() {
    roster_.Seen().reset();
    roster_.Answered().reset();
    own_.stamp.clear();

    profile_.Load(config_.settingsPath);
    own_.displayName = ReadDisplayName(profile_, own_.loginName);
    options_ = ReadOptions(profile_, config_.designedWidth, config_.designedHeight,
                           config_.screenLargeHeight);
    presence_.SetBroadcastAddress(options_.IPAdr);
    idle_.ApplyIdleBox();

    if (roster_.Seed(own_.address, own_.displayName, ReadRosterArchive(profile_))) {
        titleNote_ = kArchivedTitleNote;
        Q_EMIT titleNoteChanged(titleNote_);
    }
    ResortStatusList();
    own_.text.clear();

    // Applied in the order the form stores them: the receiver comes up on an ephemeral port,
    // moves to the program's port, and keeps the 65000-byte buffer it was first activated
    // with; the 2048 only matters for an activation that never comes.
    if (config_.listenPort != 0) {
        wSocketListen_.SetOnUDPData(
            [this](TUDPReceiver* r, const char* bytes, int count, const QByteArray& address,
                   quint16 port) { wSocketListenUDPData(r, bytes, count, address, port); });
        wSocketListen_.SetActive(true);
        wSocketListen_.SetPort(config_.listenPort);
        wSocketListen_.SetBufferSize(2048);
    }
}

void TVelmoraCore::DeferredStartup() {
    history_.Load(ReadMessageHistory(profile_));
    if (auto stored = ReadRemarkList(profile_)) remarks_ = *stored;

    const bool stamp = StampsAtStartAndEnd();
    own_.code = 'g';
    own_.text = "In";
    own_.stamp =
        stamp ? FormatTimeStamp(clock_.Now(), config_.locale, options_.clock24) : QByteArray();
    AnnounceQuietly('g', "In", stamp, stamp);
    try {
        SendDatagram(datagram::RefreshRequest(own_.displayName));
    } catch (const EUDPError&) {
        // Nobody hears us yet; the next refresh request from another copy fixes that.
    }
    presence_.ClearReannounceFlag();
    // Input from before the program came up must not count as the user's first. Asked after
    // the announcements, which a question to the X server would only hold up.
    (config_.input ? *config_.input : reportedInput_).InputSinceLastCheck();
    Timer1_.start();
    Timer2_.start();
}

void TVelmoraCore::AnnounceQuietly(char code, const QByteArray& text, bool stamp, bool recompute) {
    try {
        presence_.AnnounceOwnStatus(code, text, true, stamp, recompute);
    } catch (const EUDPError&) {
        // Announcements at start and end are not reported when the network refuses them.
    }
}

void TVelmoraCore::FormDestroy() {
    Timer1_.stop();
    Timer2_.stop();
    if (!sessionEnded_) {
        closing_ = true;
        if (options_.DelbsyIn && (own_.code == 'f' || own_.code == 'g')) {
            own_.code = 'r';
            own_.text = "Out ";
        }
        const bool stamp = StampsAtStartAndEnd();
        AnnounceQuietly(own_.code, own_.text + " (off-line)", stamp, stamp);
    }
    SaveAllSettings();
    wSocketListen_.SetActive(false);
}

void TVelmoraCore::WMQueryEndSession() {
    if (sessionEnded_) return;
    Timer1_.stop();
    Timer2_.stop();
    const bool showOut =
        options_.shtdwnOut || (options_.DelbsyIn && (own_.code == 'g' || own_.code == 'f'));
    if (showOut) {
        AnnounceQuietly('r', "Out <shut down>", StampsAtStartAndEnd(), options_.ShwTime);
        closing_ = true;
        QThread::msleep(kEndSessionPauseMs);
        SaveAllSettings();
    } else {
        closing_ = true;
        QCoreApplication::processEvents();
        AnnounceQuietly('r', "Out (off-line)", options_.ShwTime, options_.ShwTime);
        QThread::msleep(kEndSessionPauseMs);
    }
    sessionEnded_ = true;
}

void TVelmoraCore::SaveAllSettings() {
    TSettingsSnapshot s;
    s.loginName = own_.loginName;
    s.displayName = own_.displayName;
    s.ownAddress = own_.address;
    s.versionLabel = kVersionLabel;
    s.programPath = config_.programPath;
    s.options = options_;
    s.options.IPAdr = presence_.BroadcastAddress();
    s.bigHToSave = options_.h.contains("Large") ? currentHeight : config_.designedHeight;
    {
        std::lock_guard guard(roster_.Lock());
        s.rosterEntries = roster_.Entries();
    }
    s.messages = history_.Entries();
    s.remarks = remarks_;
    // Read the file again first: another user of this computer may have saved meanwhile,
    // and their own section must survive our save.
    profile_.Load(config_.settingsPath);
    velmora::SaveAllSettings(profile_, s);
    profile_.Save(config_.settingsPath);
}

int TVelmoraCore::SendDatagram(const QByteArray& text) {
    if (!WSocket1_.Active()) WSocket1_.SetActive(true);
    WSocket1_.Send(text.constData(), int(text.size()));
    Q_EMIT datagramSent(text);
    return int(text.size());
}

void TVelmoraCore::wSocketListenUDPData(TUDPReceiver*, const char* bytes, int count,
                                        const QByteArray& address, quint16) {
    const QByteArray text(bytes, count);
    if (closing_) return;
    try {
        DispatchDatagram(text, address);
    } catch (...) {
        // A datagram whose handling fails is lost; receiving goes on.
    }
}

void TVelmoraCore::DispatchDatagram(const QByteArray& datagramText, const QByteArray& source) {
    Q_EMIT datagramDispatched(datagramText, source);
    if (datagramText.isEmpty()) return;
    QByteArray text = datagramText;
    QByteArray key = source;
    bool addressedToMe = false;
    if (text[0] == 'z') {
        const auto proxy = datagram::RewriteProxy(text);
        if (!proxy) return;
        key = proxy->target;
        addressedToMe = SameAddress(key, own_.address);
        text = proxy->announcement;
    }

    switch (text[0]) {
    case 'a': {
        const auto result = roster_.ApplyStatusAnnouncement(
            text, key, addressedToMe,
            [this](char code, const QByteArray& status) { OwnStatusTakeover(code, status); });
        if (result.ignored) return;
        if (options_.stChg && (result.appended || result.changed)) Q_EMIT bringIntoViewRequested();
        ResortStatusList();
        break;
    }
    case 'M':
    case 'm':
        MessageArrived(text, key);
        break;
    case 'v':
        history_.ReceiptArrived(text);
        Q_EMIT receiptDatagramArrived(text);
        break;
    case 'd':
        Q_EMIT discussionDatagramArrived(text);
        break;
    case 'r':
        presence_.RefreshRequestArrived();
        break;
    case '7':
        presence_.RosterReset();
        break;
    case 'b':
        presence_.BroadcastProposalArrived(text);
        break;
    case 'B':
        presence_.BroadcastNoticeArrived(text);
        break;
    case 'x':
        if (SameAddress(key, own_.address)) Q_EMIT bringIntoViewRequested();
        break;
    default:
        break;
    }
}

void TVelmoraCore::MessageArrived(const QByteArray& text, const QByteArray& source) {
    if (history_.MessageArrived(text, source)) Q_EMIT messageDatagramArrived(text, source);
}

void TVelmoraCore::OwnStatusTakeover(char code, const QByteArray& status) {
    own_.text = status;
    const qsizetype stampAt = TimeStampStart(status);
    if (stampAt >= 0) {
        own_.stamp = status.mid(stampAt);
        own_.text = status.left(stampAt);
    } else {
        own_.stamp.clear();
    }
    if (!status.isEmpty()) own_.code = code;
    Q_EMIT ownStatusTakenOver(status);
}

void TVelmoraCore::ResortStatusList() {
    ColourSort();
}

void TVelmoraCore::NameSort() {
    Q_EMIT windowTitleChanged(SortTitle(false, onTopLetter_, titleNote_));
    SortDisplayOrder(roster_, false, onTopLetter_);
    Q_EMIT rosterChanged();
}

void TVelmoraCore::ColourSort() {
    if (!options_.colorSort) {
        NameSort();
        return;
    }
    onTopLetter_ = ' ';
    Q_EMIT windowTitleChanged(SortTitle(true, onTopLetter_, titleNote_));
    SortDisplayOrder(roster_, true, onTopLetter_);
    Q_EMIT rosterChanged();
}

bool TVelmoraCore::TypedLetter(char key) {
    const bool letter = (key >= 'A' && key <= 'Z') || (key >= 'a' && key <= 'z');
    const char upper = letter ? char(key & ~0x20) : key;
    if (letter && upper != onTopLetter_) {
        onTopLetter_ = upper;
        NameSort();
        return true;
    }
    onTopLetter_ = '!';
    ColourSort();
    return false;
}

void TVelmoraCore::Timer1Timer() {
    presence_.RelayStep();
}

void TVelmoraCore::Timer2Timer() {
    idle_.Tick();
}

} // namespace velmora
