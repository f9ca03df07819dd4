#pragma once
// The program's state and logic, without a widget: the transport, dispatch of received
// datagrams, presence, the roster, the own status and the settings file. The main window
// owns one of these and turns its signals into what the user sees.

#include "core/presence/Roster.h"
#include "core/messaging/MessageHistory.h"
#include "core/net/UdpTransport.h"
#include "core/presence/Presence.h"
#include "core/net/TimeStamp.h"
#include "core/idle/IdleDetector.h"
#include "core/settings/Profile.h"
#include "core/settings/Settings.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QTimer>

namespace velmora {

struct TCoreConfig {
    QString settingsPath;
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
    // reported to the core's own TReportedInput counts. Not owned; it must outlive the core.
    TInputSource* input = nullptr;
};

class TVelmoraCore : public QObject {
    Q_OBJECT
public:
    TVelmoraCore(TCoreConfig config, const TClock& clock, QObject* parent = nullptr);
    ~TVelmoraCore() override;

    // First start-up phase: reads the settings, seeds the roster and starts receiving.
    // Throws EUDPError when the port cannot be bound (another copy holds it).
    void FormCreate();
    // Second phase, once the event loop turns: history and remarks, the "In" announcement,
    // the refresh request and the timers.
    void DeferredStartup();
    // The end of the program: the off-line announcement (unless a log-off already sent the
    // last word) and a save.
    void FormDestroy();
    // Log-off, shutdown or a termination signal: the last announcement, a pause so that it
    // leaves the machine, and a save. The caller ends the program afterwards.
    void WMQueryEndSession();

    void SaveAllSettings();
    int SendDatagram(const QByteArray& text);
    void wSocketListenUDPData(TUDPReceiver* sender, const char* bytes, int count,
                              const QByteArray& address, quint16 port);
    void DispatchDatagram(const QByteArray& text, const QByteArray& source);
    // A message to all, or one addressed to this copy, goes to the history.
    void MessageArrived(const QByteArray& text, const QByteArray& source);
    // Takes over a status that another user gave this copy's user.
    void OwnStatusTakeover(char code, const QByteArray& status);
    // Rebuilds the display order after the roster changed: the colour sort when its option is
    // on, else the name sort.
    void ResortStatusList();
    void NameSort();
    void ColourSort(); // the name sort when the option is off
    // A key typed on the Status page. A letter other than the on-top one puts the names
    // starting with it on top (true: the list should scroll to its first row); anything
    // else returns to the plain order.
    bool TypedLetter(char key);
    char OnTopLetter() const { return onTopLetter_; }

    void Timer1Timer(); // every ten seconds
    void Timer2Timer(); // every second

    void SetClosing() { closing_ = true; }
    bool Closing() const { return closing_; }

    TRoster& Roster() { return roster_; }
    TPresence& Presence() { return presence_; }
    TOwnStatus& Own() { return own_; }
    TOptions& Options() { return options_; }
    const TCoreConfig& Config() const { return config_; }
    QList<QByteArray>& Messages() { return history_.Entries(); }
    TMessageHistory& History() { return history_; }
    TIdleDetector& Idle() { return idle_; }
    // Input the program's own windows saw, used when the configuration names no source.
    TReportedInput& ReportedInput() { return reportedInput_; }
    QList<QByteArray>& Remarks() { return remarks_; }
    const QByteArray& TitleNote() const { return titleNote_; }
    TUDPSender& WSocket1() { return WSocket1_; }
    TUDPReceiver& wSocketListen() { return wSocketListen_; }
    // The window's current height, kept by the main window; a save stores it as the large
    // height while "Large" is chosen.
    int currentHeight = 0;

    static QList<QByteArray> DefaultRemarks();
    QDateTime Now() const { return clock_.Now(); }
    // " ( " + the current time + " on " + weekday + ")" in the chosen clock format.
    QByteArray TimeStampNow() const;

Q_SIGNALS:
    void bringIntoViewRequested();
    void rosterChanged();
    void titleNoteChanged(const QByteArray& note);
    void windowTitleChanged(const QByteArray& title);
    void ownStatusTakenOver(const QByteArray& status);
    // A message the history accepted and a receipt datagram as it came (the message pages
    // follow the history's own signals); a discussion entry for the discussion page.
    void messageDatagramArrived(const QByteArray& text, const QByteArray& source);
    void receiptDatagramArrived(const QByteArray& text);
    void discussionDatagramArrived(const QByteArray& text);
    // Every datagram sent and every one dispatched, for tracing.
    void datagramSent(const QByteArray& text);
    void datagramDispatched(const QByteArray& text, const QByteArray& source);

private:
    bool StampsAtStartAndEnd() const { return options_.TimeStrEnd || options_.ShwTime; }
    void AnnounceQuietly(char code, const QByteArray& text, bool stamp, bool recompute);

    TCoreConfig config_;
    const TClock& clock_;
    TProfile profile_;
    TOptions options_;
    TOwnStatus own_;
    TRoster roster_;
    TPresence presence_;
    TUDPSender WSocket1_;
    TUDPReceiver wSocketListen_;
    QTimer Timer1_;
    QTimer Timer2_;
    TMessageHistory history_;
    TReportedInput reportedInput_;
    TIdleDetector idle_;
    QList<QByteArray> remarks_;
    QByteArray titleNote_;
    char onTopLetter_ = ' ';
    bool closing_ = false;
    bool sessionEnded_ = false;
};

} // namespace velmora
