#include "core/messaging/MessageSearch.h"

#include "core/net/AnsiText.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace velmora {

namespace {

constexpr char kTrailerLeadIn[] = " - - - From ";
constexpr qsizetype kLeadInLength = sizeof(kTrailerLeadIn) - 1;

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

// The words of `text`: the runs between bytes up to 0x20.
QList<QByteArray> words(const QByteArray& text) {
    QList<QByteArray> found;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool blank = i == text.size() || isBlank(text[i]);
        if (!blank && start < 0) start = i;
        if (blank && start >= 0) {
            found.append(text.mid(start, i - start));
            start = -1;
        }
    }
    return found;
}

// What one character is compared as: its decomposition without the accents, case-folded.
// Case folding keeps "ß" as it is; German writes it "ss" as well.
QByteArray foldedCharacter(const QString& character) {
    QString plain;
    for (const QChar c : character.normalized(QString::NormalizationForm_D)) {
        const QChar::Category category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
            category != QChar::Mark_Enclosing)
            plain.append(c);
    }
    return plain.toCaseFolded().replace(QChar(0x00DF), QStringLiteral("ss")).toUtf8();
}

} // namespace

namespace {

// Where the parts of an entry lie in its bytes; finding them copies nothing.
struct PartSpans {
    QByteArrayView text;
    QByteArrayView sender;
    QByteArrayView arrival;
};

PartSpans partSpans(QByteArrayView text) {
    PartSpans parts;
    // The entry ends with CR LF, the arrival line, CR LF and a line of one blank; read back
    // from the settings file, with one more CR LF.
    if (text.endsWith("\r\n")) text.chop(2);
    if (text.endsWith("\r\n ")) text.chop(3);
    const qsizetype lastLine = text.lastIndexOf("\r\n");
    if (lastLine >= 0 && text.sliced(lastLine + 2).startsWith(" at ")) {
        parts.arrival = text.sliced(lastLine + 2);
        text.truncate(lastLine);
    }
    // The trailer follows the body directly when the body was cut inside its last line.
    const qsizetype trailer = text.lastIndexOf(kTrailerLeadIn);
    if (trailer >= 0 && text.indexOf('\n', trailer) < 0) {
        const QByteArrayView from = text.sliced(trailer + kLeadInLength);
        const qsizetype address = from.lastIndexOf(" (");
        parts.sender = address < 0 ? from : from.first(address);
        text.truncate(trailer);
    }
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    parts.text = text;
    return parts;
}

} // namespace

EntryParts entryParts(const QByteArray& entry) {
    const PartSpans spans = partSpans(entry);
    return {spans.text.toByteArray(), spans.sender.toByteArray(), spans.arrival.toByteArray()};
}

QByteArray firstTextLine(const EntryParts& parts) {
    const QByteArray& text = parts.text;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const QByteArray line = trimBlanks(text.mid(start, end - start));
        if (!line.isEmpty()) return line;
        start = end + 1;
    }
    return {};
}

QByteArray arrivalShown(const QByteArray& arrival) {
    const QByteArray line = trimBlanks(arrival);
    const qsizetype on = line.lastIndexOf(" on ");
    if (!line.startsWith("at ") || on < 3) return line;
    return line.mid(on + 4) + ' ' + line.mid(3, on - 3);
}

MessageSearch::MessageSearch() {
    for (int b = 0; b < 256; ++b)
        foldTable_[b] = foldedCharacter(fromAnsi(QByteArray(1, static_cast<char>(b))));
}

QByteArray MessageSearch::folded(const QByteArray& ansi) const {
    QByteArray out;
    foldInto(out, ansi);
    return out;
}

void MessageSearch::foldInto(QByteArray& out, QByteArrayView ansi) const {
    // Measured first, then written in place: a history of 5,000 long messages is folded in one
    // go at the first search, where appending byte by byte cost most of the time.
    qsizetype length = 0;
    for (const char c : ansi) {
        const auto b = static_cast<unsigned char>(c);
        length += b < 0x80 ? 1 : foldTable_[b].size();
    }
    const qsizetype start = out.size();
    out.resize(start + length);
    char* to = out.data() + start;
    for (const char c : ansi) {
        const auto b = static_cast<unsigned char>(c);
        // ASCII has neither accents nor case folding beyond A-Z.
        if (b < 0x80) {
            *to++ = b >= 'A' && b <= 'Z' ? static_cast<char>(b + 32) : c;
        } else {
            const QByteArray& into = foldTable_[b];
            to = std::copy(into.cbegin(), into.cend(), to);
        }
    }
}

void MessageSearch::prepare(const QList<QByteArray>& entries) {
    QHash<const char*, Folded> next;
    next.reserve(entries.size());
    for (const QByteArray& entry : entries)
        foldedEntry(entry, next);
    cache_ = std::move(next);
}

QList<qsizetype> MessageSearch::find(const QList<QByteArray>& entries, const QString& query) {
    QList<QByteArray> wanted = words(toAnsi(query));
    if (wanted.isEmpty()) return {};
    for (QByteArray& word : wanted)
        word = folded(word);
    QList<qsizetype> hits;
    QHash<const char*, Folded> next;
    next.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QByteArray& text = foldedEntry(entries[i], next);
        bool all = true;
        for (const QByteArray& word : std::as_const(wanted))
            // The C library's search is several times faster than Qt's over long texts.
            if (!memmem(text.constData(), size_t(text.size()), word.constData(),
                        size_t(word.size()))) {
                all = false;
                break;
            }
        if (all) hits.append(i);
    }
    cache_ = std::move(next);
    return hits;
}

const QByteArray& MessageSearch::foldedEntry(const QByteArray& entry,
                                             QHash<const char*, Folded>& next) {
    const char* key = entry.constData();
    if (auto known = next.constFind(key); known != next.cend()) return known->text;
    if (auto kept = cache_.find(key); kept != cache_.end())
        return next.insert(key, std::move(*kept))->text;
    const PartSpans parts = partSpans(entry);
    QByteArray text;
    text.reserve(parts.text.size() + 1 + parts.sender.size());
    foldInto(text, parts.text);
    text.append('\n');
    foldInto(text, parts.sender);
    return next.insert(key, {entry, std::move(text)})->text;
}

} // namespace velmora
