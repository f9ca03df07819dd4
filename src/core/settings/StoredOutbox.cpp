#include "core/settings/StoredOutbox.h"

#include "core/messaging/MessageHistory.h"

#include <algorithm>

namespace velmora {

namespace {

constexpr char kOutbox[] = "VLXOutbox";

QByteArray storedTime(const QDateTime& moment) {
    return moment.toUTC().toString(Qt::ISODate).toLatin1();
}

} // namespace

QList<WaitingMessage> readOutbox(const Profile& profile, qsizetype countLimit,
                                 qsizetype byteLimit) {
    QList<WaitingMessage> messages;
    bool ok = false;
    const qint64 count = profile.readSetting(kOutbox, "cnt", "0").toLongLong(&ok);
    if (!ok) return messages;
    qsizetype bytes = 0;
    for (qint64 i = 0; i < std::min<qint64>(count, countLimit); ++i) {
        const QList<QByteArray> words =
            profile.readRaw(kOutbox, QByteArray::number(i), {}).split(' ');
        if (words.size() != 4) continue;
        WaitingMessage m{words[0], QByteArray::fromPercentEncoding(words[2]),
                         QDateTime::fromString(QString::fromLatin1(words[1]), Qt::ISODate),
                         QByteArray::fromPercentEncoding(words[3]).left(kMessageBodyLimit)};
        if (m.address.isEmpty() || !m.queuedAt.isValid() || m.body.isEmpty()) continue;
        bytes += m.body.size();
        if (bytes > byteLimit) break;
        messages.append(std::move(m));
    }
    return messages;
}

void writeOutbox(Profile& profile, const QList<WaitingMessage>& messages) {
    profile.eraseSection(kOutbox);
    // A file without a waiting message keeps no section at all.
    if (messages.isEmpty()) return;
    QList<std::pair<QByteArray, QByteArray>> values;
    values.reserve(messages.size() + 1);
    values.emplace_back("cnt", QByteArray::number(messages.size()));
    for (const WaitingMessage& m : messages)
        values.emplace_back(QByteArray::number(values.size() - 1),
                            m.address + ' ' + storedTime(m.queuedAt) + ' ' +
                                m.name.toPercentEncoding() + ' ' + m.body.toPercentEncoding());
    profile.appendSettings(kOutbox, values);
}

} // namespace velmora
