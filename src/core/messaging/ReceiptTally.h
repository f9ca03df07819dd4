#pragma once
// Who has confirmed the last message this copy sent. A message to all counts the people the
// status list showed on-line when it went out, the own row left out; a message to one person
// counts that person. A receipt counts once per address and only from a counted person:
// anybody else still gets a receipt line, but never raises the count above the people counted.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace velmora {

class ReceiptTally {
public:
    // The list of those who have not confirmed names this many, then "and K more".
    static constexpr int kNamesListed = 20;

    // A message to all: every roster entry not off-line, except the one at `ownAddress`.
    void startToAll(const QList<QByteArray>& rosterEntries, const QByteArray& ownAddress);
    // A message to the person at `address`.
    void startToOne(const QByteArray& address, const QByteArray& name);
    // A receipt from `source`; true when it raised the count.
    bool confirm(const QByteArray& source);

    bool started() const { return started_; }
    int confirmed() const { return confirmed_; }
    int counted() const { return int(people_.size()); }
    // "Received by N of M on-line" after a message to all; "Received" or "Not confirmed yet"
    // after a message to one person; empty before the first message.
    QString summary() const;
    // "Ann, Bob and 3 more": those counted who have not confirmed; empty when none is left.
    QString unconfirmedNames() const;

private:
    void count(const QByteArray& address, const QByteArray& name);

    struct Person {
        QByteArray name;
        bool confirmed = false;
    };
    QList<Person> people_;                   // in the order of the status list's entries
    QHash<QByteArray, qsizetype> byAddress_; // into people_
    int confirmed_ = 0;
    bool toAll_ = false;
    bool started_ = false;
};

} // namespace velmora
