#include "core/messaging/ReceiptTally.h"

#include "core/net/AnsiText.h"
#include "core/presence/Roster.h"

namespace velmora {

void ReceiptTally::count(const QByteArray& address, const QByteArray& name) {
    // An address listed twice is still one copy, which sends one receipt.
    if (byAddress_.contains(address)) return;
    byAddress_.insert(address, people_.size());
    people_.append({trimBlanks(name), false});
}

void ReceiptTally::startToAll(const QList<QByteArray>& rosterEntries,
                              const QByteArray& ownAddress) {
    *this = ReceiptTally();
    started_ = true;
    toAll_ = true;
    for (const QByteArray& entry : rosterEntries) {
        if (Roster::isOffLine(entry)) continue;
        const RosterFields fields = Roster::split(entry);
        if (!sameAddress(fields.address, ownAddress)) count(fields.address, fields.name);
    }
}

void ReceiptTally::startToOne(const QByteArray& address, const QByteArray& name) {
    *this = ReceiptTally();
    started_ = true;
    count(address, name);
}

bool ReceiptTally::confirm(const QByteArray& source) {
    const auto found = byAddress_.constFind(source);
    if (found == byAddress_.cend() || people_[*found].confirmed) return false;
    people_[*found].confirmed = true;
    ++confirmed_;
    return true;
}

QString ReceiptTally::summary() const {
    if (!started_) return {};
    if (!toAll_) return QLatin1String(confirmed_ > 0 ? "Received" : "Not confirmed yet");
    return QStringLiteral("Received by %1 of %2 on-line").arg(confirmed_).arg(counted());
}

QString ReceiptTally::unconfirmedNames() const {
    QStringList names;
    int more = 0;
    for (const Person& person : people_) {
        if (person.confirmed) continue;
        if (names.size() < kNamesListed)
            names.append(fromAnsi(person.name));
        else
            ++more;
    }
    if (more == 0 && names.size() > 1) {
        const QString last = names.takeLast();
        return names.join(QLatin1String(", ")) + QLatin1String(" and ") + last;
    }
    QString text = names.join(QLatin1String(", "));
    if (more > 0) text += QStringLiteral(" and %1 more").arg(more);
    return text;
}

} // namespace velmora
