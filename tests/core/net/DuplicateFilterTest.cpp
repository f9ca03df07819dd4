// Datagrams that arrive twice through relays are acted on once; repeats people mean are not.

#include "core/net/DuplicateFilter.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velmora;
using velmora::test::sep;

namespace {

struct Arrival {
    QByteArray text;
    QByteArray source;
    qint64 atMs;
};

struct Case {
    const char* what;
    std::vector<Arrival> arrivals;
    const char* absorbed; // one letter per arrival: x dropped, - acted on
    qsizetype bound = DuplicateFilter::kMaxRemembered;
};

const QByteArray A = "10.77.1.1", B = "10.77.2.3";
const QByteArray line = "dANN > Lunch?", receipt = "vl10.77.1.1" + sep() + "BOB";
const QByteArray message = "m10.77.2.3" + sep() + "Lunch? - - - From ANN (10.77.1.1)";
const QByteArray in = "agBOB" + sep() + " In", busy = "afBOB" + sep() + " Busy";
const QByteArray bobBusy = "zf" + B + sep() + "BOB" + sep() + " Busy";

} // namespace

TEST(DuplicateFilter, AbsorbsWhatRelaysRepeatAndKeepsWhatPeopleRepeat) {
    const std::vector<Case> cases = {
        {"same bytes, same source, within the window", {{line, A, 0}, {line, A, 999}}, "-x"},
        {"same bytes after the window", {{line, A, 0}, {line, A, 1000}}, "--"},
        {"a minute later", {{line, A, 0}, {line, A, 60000}}, "--"},
        {"another source", {{line, A, 0}, {line, B, 1}}, "--"},
        {"other bytes", {{line, A, 0}, {line + "!", A, 1}}, "--"},
        {"interleaved", {{line, A, 0}, {receipt, A, 1}, {line, A, 2}, {receipt, A, 3}}, "--xx"},
        {"receipt around a refresh request",
         {{receipt, B, 0}, {"r X", A, 1}, {receipt, B, 2}},
         "--x"},
        {"receipts of two messages",
         {{message, A, 0}, {receipt, B, 1}, {message + "!", A, 2}, {receipt, B, 3}},
         "----"},
        {"receipt around a repeated message",
         {{message, A, 0}, {receipt, B, 1}, {message, A, 2}, {receipt, B, 3}},
         "--xx"},
        {"refresh requests always count", {{"r X", A, 0}, {"r X", A, 1}}, "--"},
        {"roster resets are absorbed", {{"7 X", A, 0}, {"7 X", A, 1}}, "-x"},
        {"announcement twice", {{in, B, 0}, {in, B, 1}}, "-x"},
        {"In, Busy, In", {{in, B, 0}, {busy, B, 1}, {in, B, 2}}, "---"},
        {"an answer after a refresh request", {{in, B, 0}, {"r X", A, 1}, {in, B, 2}}, "---"},
        {"after a roster reset", {{in, B, 0}, {"7 X", A, 1}, {in, B, 2}}, "---"},
        {"another copy set the row", {{in, B, 0}, {bobBusy, A, 1}, {in, B, 2}}, "---"},
        {"proxy twice", {{bobBusy, A, 0}, {bobBusy, A, 5}}, "-x"},
        {"proxy without separator", {{"zfx", A, 0}, {"zfx", A, 5}}, "-x"},
        {"clock stepped back", {{line, A, 5000}, {line, A, 4000}}, "--"},
        {"bound: the oldest is forgotten",
         {{"d1", A, 0}, {"d2", A, 0}, {"d3", A, 0}, {"d4", A, 0}, {"d1", A, 1}, {"d4", A, 1}},
         "-----x",
         3},
    };
    for (const Case& c : cases) {
        DuplicateFilter filter(DuplicateFilter::kWindowMs, c.bound);
        QByteArray got;
        for (const Arrival& a : c.arrivals)
            got += filter.absorbs(a.text, a.source, a.atMs) ? 'x' : '-';
        EXPECT_EQ(got, QByteArray(c.absorbed)) << c.what;
        EXPECT_LE(filter.remembered(), c.bound) << c.what;
    }
}
