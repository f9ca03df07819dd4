#pragma once
// The program's state and logic, without a widget: the transport, dispatch of received
// datagrams, presence, the roster, the own status and the settings file. The main window
// owns one of these and turns its signals into what the user sees.

#include "core/Clock.h"
#include "core/idle/IdleDetector.h"
#include "core/messaging/MessageHistory.h"
#include "core/messaging/Outbox.h"
#include "core/net/DuplicateFilter.h"
#include "core/net/UdpReceiver.h"
#include "core/net/UdpSender.h"
#include "core/presence/HeardCopies.h"
#include "core/presence/Presence.h"
#include "core/presence/Roster.h"
#include "core/settings/Profile.h"
#include "core/settings/Settings.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SystemDefaults.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace velmora {

// Who set a person's status from another copy, and when.
struct StatusSetter {
    QByteArray address; // of the copy that sent the change
    QDateTime at;
};

// A change of the own status by another copy: the status it replaced, and what it gave.
struct StatusTakeover {
    StatusCode code = StatusCode::In; // the own status before the change
    QByteArray text;
    QByteArray stamp;
    QByteArray takenText; // the own status text the change gave
    StatusSetter by;
};

struct CoreConfig {
    QString settingsPath;
    // The user's own file, used instead of `settingsPath` when that cannot be used safely
    // (another user's link, FIFO or unreadable file in a shared folder). Empty: none.
    QString ownSettingsPath;
    // The computer's defaults for every user and the settings its administrator locked.
    SystemDefaults systemDefaults;
    QByteArray ownAddress = "127.0.0.1";
    QByteArray loginName = "UNKNOWN";
    QByteArray programPath;
    // Where the receiver listens (0: do not listen, for tests that drive dispatch directly)
    // and where every datagram goes.
    quint16 listenPort = 55555;
    QByteArray remoteIP = "255.255.255.255";
    quint16 remotePort = 55555;
    // The main window's outer size as laid out, and the large height the screen allows.
    int designedWidth = 440;
    int designedHeight = 261;
    int screenLargeHeight = 737;
    QLocale locale = QLocale::system();
    // Where the user's keyboard and mouse input is read from; without one, only what is
    // reported to the core's own ReportedInput counts. Not owned; it must outlive the core.
    InputSource* input = nullptr;
    // How long after an accepted message the history is saved; a burst of messages within
    // that time is saved once.
    int historySaveDelayMs = 2000;
    // Works out the computer's address again, on the ten-second tick, so that a copy follows
    // a new lease or network. None when the address was given and is fixed.
    std::function<QByteArray()> lookUpOwnAddress;
    // The computer's own addresses on all its interfaces; its datagrams that come back from
    // one of these are its own. None: only the own address counts.
    std::function<QList<QByteArray>()> lookUpLocalAddresses;
    // False: no timer runs; the ticks come only from everySecond() and everyTenSeconds(), for
    // tests and tools that drive the time themselves.
    bool tickTimer = true;
};

class Core : public QObject {
    Q_OBJECT
public:
    Core(CoreConfig config, const Clock& clock, QObject* parent = nullptr);
    ~Core() override;

    // First start-up phase: reads the settings, seeds the roster and starts receiving.
    // Throws UdpError when the port cannot be bound (another copy holds it).
    void startUp();
    // Second phase, once the event loop turns: history and remarks, the "In" announcement,
    // the refresh request and the timers.
    void finishStartUp();
    // The end of the program: the off-line announcement (unless a log-off already sent the
    // last word) and a save.
    void shutDown();
    // Log-off, shutdown or a termination signal: the last announcement, a pause so that it
    // leaves the machine, and a save. The caller ends the program afterwards.
    void logOff();

    // The computer goes to sleep: the log-off's last announcement (the same text and rules)
    // and a save; the timers rest. The own status held until then comes back at wake. Does
    // nothing (false) before the start is done, at the end, or when already asleep.
    bool goToSleep();
    // The computer woke: as after start-up, the own address is checked, the own status as it
    // was before sleep is announced again (stamped as a re-announcement) and the refresh
    // request asks everybody to answer.
    void wakeUp();
    bool asleep() const { return asleep_; }
    // The screen was locked or unlocked. With "Idle when the screen locks" the lock makes the
    // idle announcement at once and the unlock counts as the user's input; a lock or unlock
    // while asleep takes effect at wake.
    void setScreenLocked(bool locked);

    // The last change of the own status by another copy, while it can be undone.
    const std::optional<StatusTakeover>& takeover() const { return takeover_; }
    // Announces the own status as it was before that change; false when the own status has
    // changed since, or there is nothing to undo.
    bool undoTakeover();
    // Who set the status that `address`'s row shows from another copy, and when; nothing when
    // the row shows what the person's own copy said.
    std::optional<StatusSetter> statusSetBy(const QByteArray& address) const;

    // Reads the file again (another user may have saved meanwhile), writes every setting into
    // it and saves it. False when nothing was saved: the file cannot be read (it is never
    // replaced then) or the save failed (reported once, until a save works again).
    bool saveAllSettings();
    // Sends a datagram to every copy. A lost one is told through datagramSendFailed and
    // connectionLost; one the transport refused only through the result.
    SendResult sendDatagram(const QByteArray& text);
    void onDatagramReceived(UdpReceiver* sender, const char* bytes, int count,
                            const QByteArray& address, quint16 port);
    void dispatchDatagram(const QByteArray& text, const QByteArray& source);
    // A message to all, or one addressed to this copy, goes to the history.
    void messageArrived(const QByteArray& text, const QByteArray& source);
    // Takes over a status that another user (at `changer`) gave this copy's user.
    void takeOverOwnStatus(StatusCode code, const QByteArray& status,
                           const QByteArray& changer = {});
    // Rebuilds the display order after the roster changed: the colour sort when its option is
    // on, else the name sort.
    void resortStatusList();
    void nameSort();
    void colourSort(); // the name sort when the option is off
    // A key typed on the Status page. A letter other than the on-top one puts the names
    // starting with it on top (true: the list should scroll to its first row); anything
    // else returns to the plain order.
    bool typedLetter(char key);
    char onTopLetter() const { return onTopLetter_; }

    void everyTenSeconds(); // every ten seconds
    void everySecond();     // every second
    // The paced timer: one wake-up runs the tick that does more than count (the ticks before it
    // are only counted), with the ten-second work when it is due. While the user is active and
    // nothing is pending that is every tenth second; while idle, every second.
    void onTickDue();
    // When that wake-up comes, in the clock's steady milliseconds; none while the timer rests.
    std::optional<qint64> nextTickDueMs() const;
    // Applies the Idle Timeout box's text; gives what the box shows afterwards.
    QByteArray applyIdleBox(const QByteArray& text);

    void setClosing() { closing_ = true; }
    bool closing() const { return closing_; }

    Roster& roster() { return roster_; }
    Presence& presence() { return presence_; }
    const OwnStatus& own() const { return own_; }
    // The display name as committed on the Options page; announcing it is the caller's part.
    void setDisplayName(const QByteArray& name) { own_.displayName = name; }
    const Options& options() const { return options_; }
    // Every change of an option goes through here: `change` edits them in place, then
    // optionsChanged tells. Saving stays with the callers that save.
    void changeOptions(const std::function<void(Options&)>& change);
    const CoreConfig& config() const { return config_; }
    const QList<QByteArray>& messages() const { return history_.entries(); }
    MessageHistory& history() { return history_; }
    Outbox& outbox() { return outbox_; }
    const IdleDetector& idle() const { return idle_; }
    // Input the program's own windows saw, used when the configuration names no source.
    ReportedInput& reportedInput() { return reportedInput_; }
    const QList<QByteArray>& remarks() const { return remarks_; }
    void setRemarks(const QList<QByteArray>& remarks) { remarks_ = remarks; }
    const QByteArray& titleNote() const { return titleNote_; }
    UdpSender& sender() { return sender_; }
    UdpReceiver& receiver() { return receiver_; }
    const UdpSender& sender() const { return sender_; }
    const UdpReceiver& receiver() const { return receiver_; }
    // The other copies' addresses that datagrams came from lately.
    const HeardCopies& heard() const { return heard_; }

    // The settings file in use, and what became of its last save (none before the first); a
    // file that cannot be read is never saved over.
    const QString& settingsPath() const { return settingsPath_; }
    const std::optional<FileResult>& lastSave() const { return lastSave_; }
    bool settingsUnreadable() const { return settingsUnusable_; }

    static QList<QByteArray> defaultRemarks();
    QDateTime now() const { return clock_.now(); }
    // " ( " + the current time + " on " + weekday + ")" in the chosen clock format.
    QByteArray timeStampNow() const;

Q_SIGNALS:
    void bringIntoViewRequested();
    void rosterChanged();
    void titleNoteChanged(const QByteArray& note);
    void optionsChanged();
    void windowTitleChanged(const QByteArray& title);
    void ownStatusTakenOver(const QByteArray& status);
    // A copy other than this one changed the own status; takeover() tells what and who.
    void ownStatusSetByOther();
    // A message the history accepted and a receipt datagram as it came (the message pages
    // follow the history's own signals); a discussion entry for the discussion page.
    void messageDatagramArrived(const QByteArray& text, const QByteArray& source);
    void receiptDatagramArrived(const QByteArray& text);
    void discussionDatagramArrived(const QByteArray& text);
    // Every datagram sent and every one dispatched, for tracing; a datagram the network did not
    // take, with the system's reason.
    void datagramSent(const QByteArray& text);
    void datagramSendFailed(const QByteArray& text, const QString& reason);
    // Sending failed after it worked (said once, with the reason), and works again.
    void connectionLost(const QString& reason);
    void connectionRestored();
    void datagramDispatched(const QByteArray& text, const QByteArray& source);
    // Just before a save collects the settings: the window puts what only its controls know
    // into the options.
    void savingSettings();
    // A save that worked.
    void settingsSaved();
    // The settings file cannot be read, or a save failed: a text for the user, said once
    // (again only after a save has worked in between).
    void settingsProblem(const QString& message);

private:
    bool stampsAtStartAndEnd() const { return options_.stampStartAndEnd || options_.stampChanges; }
    // Announces and sends; a send error is not reported.
    void announceQuietly(StatusCode code, const QByteArray& text, AnnounceOptions how);
    bool isInOrBusy() const { return own_.code == StatusCode::In || own_.code == StatusCode::Busy; }
    void reportSettingsProblem(const QString& message);
    // Moves to the user's own settings file after `problem` made the current one unusable;
    // false when there is no other file to move to.
    bool useOwnSettingsFile(const FileResult& problem);
    // Reads the settings file again under its lock, puts `snapshot` into it and saves it;
    // `unusable` tells a file that must not be saved over from a save that failed.
    FileResult saveUnderLock(const SettingsSnapshot& snapshot, bool* unusable);
    // The own address as the network has it now; a change is announced from the new one.
    void followOwnAddress();
    // Takes the address the network gives now; true when it changed.
    bool updateOwnAddress();
    // The last announcement of a log-off; true when it showed the user "Out <shut down>".
    bool announceEndOfSession();
    bool showsOutAtEnd() const {
        return options_.outOnPowerDown || (options_.exitAsOut && isInOrBusy());
    }
    InputSource& input() { return config_.input ? *config_.input : reportedInput_; }
    void noteSetter(const QByteArray& target, const QByteArray& changer, const QByteArray& text);
    // The timer runs and no wake-up is running (whose end plans the next one).
    bool paced() const { return ticking_ && config_.tickTimer && !inTick_; }
    // The paced timer starts counting ticks from one, and rests.
    void startTicking();
    void stopTicking();
    // Counts the quiet ticks whose time has come since the last wake-up.
    void catchUpTicks();
    // Sets the timer for the next tick that does more than count.
    void planNextTick();
    // A change made between ticks that can make a coming tick do more than count: the ticks
    // already due are counted as they were, and the next wake-up follows the change.
    template <typename Change> void changeBetweenTicks(Change&& change) {
        catchUpTicks();
        change();
        planNextTick();
    }

    CoreConfig config_;
    const Clock& clock_;
    Profile profile_;
    Options options_;
    OwnStatus own_;
    Roster roster_;
    Presence presence_;
    UdpSender sender_;
    UdpReceiver receiver_;
    DuplicateFilter duplicates_; // what relays and loops deliver twice
    HeardCopies heard_;
    QTimer ticks_;             // the paced timer, single-shot
    bool ticking_ = false;     // started, and neither asleep nor at the end
    bool inTick_ = false;      // a wake-up is running (input checks may let events in)
    qint64 ticksStartMs_ = 0;  // when tick 0 was, in steady milliseconds
    qint64 ticksDone_ = 0;     // ticks run or counted since
    qint64 plannedTick_ = 0;   // the tick the timer wakes for
    qint64 tenSecondsDue_ = 0; // the tick the ten-second work is due at
    QTimer historySave_;
    MessageHistory history_;
    Outbox outbox_;
    ReportedInput reportedInput_;
    IdleDetector idle_;
    QList<QByteArray> remarks_;
    QByteArray titleNote_;
    char onTopLetter_ = ' ';
    bool closing_ = false;
    bool sessionEnded_ = false;
    bool asleep_ = false;
    OwnStatus beforeSleep_;          // the own status to announce again at wake
    std::optional<bool> lockAtWake_; // a lock or unlock that came while asleep
    std::optional<StatusTakeover> takeover_;
    // Changes from other copies by the target's address (lower case), with the status they
    // gave; a row still showing that status was set by them.
    QHash<QByteArray, std::pair<StatusSetter, QByteArray>> setters_;
    bool historyLoaded_ = false;    // stored messages are in: a save now keeps them
    QString settingsPath_;          // the file in use
    bool settingsUnusable_ = false; // the file exists but cannot be read: never save over it
    std::optional<FileResult> lastSave_;
    bool problemReported_ = false; // told the user; again only after a save worked
    bool sendFailing_ = false;     // the last datagram could not leave
    QList<QByteArray> localAddresses_;
};

} // namespace velmora
