// Counting the receipts of the last message sent: who was counted, who confirmed, and what a
// receipt from somebody who was not counted does.

#include "core/messaging/ReceiptTally.h"
#include "core/presence/Roster.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(ReceiptTally, CountsThePeopleOnLineWhenSentAndEachOfThemOnce) {
    const auto in = [](const QByteArray& address, const QByteArray& name) {
        return Roster::makeEntry(address, name, StatusCode::In, "In");
    };
    const QList<QByteArray> office = {
        in("10.0.0.5", "OPERATOR"), // this copy's own row
        in("10.0.0.7", "Ann "),
        Roster::makeEntry("10.0.0.8", "Bob", StatusCode::Out, "Out  (off-line)"),
        in("10.0.0.9", "<b>Cay</b>"),
        in("10.0.0.7", "Ann"), // the same copy listed twice
    };
    QList<QByteArray> crowd;
    for (int i = 0; i < 23; ++i)
        crowd.append(in("10.0.1." + QByteArray::number(i), "P" + QByteArray::number(i)));
    const struct {
        QList<QByteArray> toAll; // the roster when a message to all went out; empty: to Ann
        QList<QByteArray> receiptsFrom;
        const char* summary;
        const char* notConfirmed;
    } cases[] = {
        {office, {}, "Received by 0 of 2 on-line", "Ann and <b>Cay</b>"},
        {office, {"10.0.0.5", "10.0.0.7"}, "Received by 1 of 2 on-line", "<b>Cay</b>"},
        {office, {"10.0.0.8", "10.0.0.99"}, "Received by 0 of 2 on-line", "Ann and <b>Cay</b>"},
        {office, {"10.0.0.9", "10.0.0.9", "10.0.0.7"}, "Received by 2 of 2 on-line", ""},
        {crowd,
         {"10.0.1.0"},
         "Received by 1 of 23 on-line",
         "P1, P2, P3, P4, P5, P6, P7, P8, P9, P10, P11, P12, P13, P14, P15, P16, P17, P18, P19, "
         "P20 and 2 more"},
        {{}, {"10.0.0.9"}, "Not confirmed yet", "Ann"},
        {{}, {"10.0.0.7", "10.0.0.7"}, "Received", ""},
    };
    ReceiptTally tally; // one for all: every message sent starts its count afresh
    EXPECT_EQ(tally.summary(), QString());
    for (const auto& c : cases) {
        c.toAll.isEmpty() ? tally.startToOne("10.0.0.7", "Ann")
                          : tally.startToAll(c.toAll, "10.0.0.5");
        for (const QByteArray& source : c.receiptsFrom)
            tally.confirm(source);
        EXPECT_EQ(tally.summary(), QString::fromUtf8(c.summary)) << c.notConfirmed;
        EXPECT_EQ(tally.unconfirmedNames(), QString::fromUtf8(c.notConfirmed)) << c.summary;
    }
}
