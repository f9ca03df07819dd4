#pragma once
// logind on the system bus: the computer's sleep and wake, and the lock of this session's
// screen. A delay inhibitor, taken at start and again after each wake, holds the sleep back
// until the program has said its last word; it is released as soon as the receivers of
// `sleeping` return. Without logind (a container, another init) nothing happens, and that is
// said once, on the desktop's logging category.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace velmora {

class LogindWatch : public QObject {
    Q_OBJECT
public:
    explicit LogindWatch(const QDBusConnection& bus = QDBusConnection::systemBus(),
                         QObject* parent = nullptr);
    ~LogindWatch() override;

    // Whether a sleep inhibitor is held now.
    bool inhibiting() const { return inhibitor_ >= 0; }

Q_SIGNALS:
    // Sleep is about to begin. The inhibitor goes when the receivers return.
    void sleeping();
    void wokeUp();
    // This session's screen was locked or unlocked.
    void lockChanged(bool locked);

private Q_SLOTS:
    void onPrepareForSleep(bool start);
    void onLock() { Q_EMIT lockChanged(true); }
    void onUnlock() { Q_EMIT lockChanged(false); }
    void onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                    const QStringList& invalidated);

private:
    void takeInhibitor();
    void releaseInhibitor();
    // The session's object: by XDG_SESSION_ID, else by the process.
    void findSession();
    void watchSession(const QString& path);
    // Says once that logind cannot be used, and why.
    void unavailable(const QString& why);

    QDBusConnection bus_;
    int inhibitor_ = -1;
    bool asking_ = false; // an Inhibit call is on its way
    bool asleep_ = false; // between the sleep and the wake
    bool told_ = false;
};

} // namespace velmora
