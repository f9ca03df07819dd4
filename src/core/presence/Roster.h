#pragma once
// The program's picture of the office: one entry per person, keyed by the address their
// announcements come from, as the text address + "=" + name + 0xF7 + colour code + status.
// Entries are appended or replaced in place, never removed one by one; a reset clears all.

#include "core/net/Datagram.h"
#include "core/settings/Settings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <bitset>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace velmora {

// What StatusSort keeps per entry between sorts; defined there.
struct StatusSortCache;

// The four parts of a roster entry.
struct RosterFields {
    QByteArray address;
    QByteArray name;                    // as stored; the status list shows it trimmed
    StatusCode code = StatusCode::None; // None when nothing follows the separator
    QByteArray status;
};

// One row of the status list: the roster position it shows. The keys rows sort by live with
// StatusSort, one per entry, so that moving a row moves four bytes.
struct SortKey {
    int position = 0;
};

class Roster {
public:
    Roster();
    ~Roster();
    // Presence marks cover the first 208 positions; later entries are never marked.
    static constexpr int kMarkedPositions = 208;
    using PositionSet = std::bitset<kMarkedPositions>;
    // No more people than this: a flood of made-up senders must not grow the roster, and so
    // every sort and paint, without end. Known people still update.
    static constexpr int kMaxEntries = 4096;

    // What applying one status announcement did.
    struct ApplyResult {
        bool ignored = true; // malformed, or a newcomer to a full roster: nothing changed
        bool appended = false;
        bool changed = false;       // a replacement whose text differs from the old one
        bool statusChanged = false; // a replacement with another colour code or status text
        int position = -1;          // the replaced or appended position
    };

    // Who gave an entry the status it shows: the person's own copy, another copy that passed
    // on the status the entry already showed (or that brought the entry), or another copy
    // that set a new one.
    enum class Source { OwnCopy, PassedOn, SetByOther };
    // Where an entry's status came from.
    struct Origin {
        QDateTime heard;       // the own copy's last announcement; null: none since the entry came
        bool passedOn = false; // passed on by other copies since the own copy last announced
    };

    // Runs before the roster update when a proxy announcement names this copy: colour code and
    // trimmed status text of the change.
    using OwnTakeover = std::function<void(StatusCode code, const QByteArray& status)>;

    // The lock every reader and writer of the roster, the name index and the display order
    // takes. Re-entrant, so painting during a sort on the same thread proceeds.
    std::recursive_mutex& lock() const { return lock_; }

    const QList<QByteArray>& entries() const { return entries_; }
    const QList<QByteArray>& nameIndex() const { return nameIndex_; }
    QList<SortKey>& displayOrder() { return displayOrder_; }
    const QList<SortKey>& displayOrder() const { return displayOrder_; }
    int count() const { return int(entries_.size()); }
    // Rows of the status list: at least the roster's entries once sorted, one after a reset,
    // two at start. Rows beyond the display order stay blank.
    int listRows() const { return listRows_; }
    void setListRows(int rows) { listRows_ = rows; }

    PositionSet& seen() { return seen_; }
    PositionSet& answered() { return answered_; }
    const PositionSet& seen() const { return seen_; }
    const PositionSet& answered() const { return answered_; }

    // Applies a status announcement ("a" + code + name + sep + status) under `key`.
    ApplyResult applyStatusAnnouncement(const QByteArray& text, const QByteArray& key,
                                        bool addressedToMe = false,
                                        const OwnTakeover& takeover = {});

    // How many archived people come back at start, besides the own entry.
    static constexpr int kArchiveKept = 300;

    // The own entry, then the archived entries that are not known yet, at most kArchiveKept.
    // Gives true when an entry received the archived mark, which asks for the title note.
    bool seed(const QByteArray& ownAddress, const QByteArray& displayName,
              const QList<ArchivedEntry>& archive);

    // Clears the roster to the own placeholder under the login name. The marks stay.
    void reset(const QByteArray& ownAddress, const QByteArray& loginName);

    // Notes who gave the entry at `position` its status, at `at`.
    void noteSource(int position, Source source, const QDateTime& at);
    // Where the status of the entry at `position` came from; nothing known beyond the roster.
    Origin origin(int position) const;

    // Position of the first entry keyed by `address` (ASCII letter case ignored), or -1.
    int findAddress(const QByteArray& address) const;
    // Position of the first name index entry whose name part is `name` (letter case of all
    // Windows-1252 letters ignored), or -1.
    int findName(const QByteArray& name) const;

    // Roster position and entry text for a status-list row; nothing outside the roster.
    std::optional<std::pair<int, QByteArray>> entryForRow(int row) const;

    static RosterFields split(const QByteArray& entry);
    static bool isOffLine(const QByteArray& entry);
    static QByteArray makeEntry(const QByteArray& address, const QByteArray& name, StatusCode code,
                                const QByteArray& status);

    // For StatusSort: the positions whose text was replaced since the last call (appended
    // positions are the ones beyond what was sorted), or `everything` when the sort must start
    // afresh (after a reset, or when too many changes piled up unsorted).
    struct Changes {
        QList<int> positions;
        bool everything = false;
    };
    Changes takeChanges();
    std::shared_ptr<StatusSortCache>& sortCache() { return sortCache_; }

private:
    // Roster positions found by the field before the first "=" of their text, letter case
    // folded by `fold`: an open-addressing table that holds no copy of any text (a candidate is
    // confirmed against the text itself), so it costs eight bytes a slot.
    class FieldIndex {
    public:
        using Fold = char (*)(char);
        explicit FieldIndex(Fold fold) : fold_(fold) {}
        void clear();
        void add(QByteArrayView field, int position);
        void remove(QByteArrayView field, int position);
        // The lowest position whose text in `texts` has `field` as its field, or -1: the one a
        // scan from the top would find.
        int first(QByteArrayView field, const QList<QByteArray>& texts) const;

    private:
        struct Slot {
            int position = -1; // -1: empty
            quint32 hash = 0;
        };
        quint32 hashOf(QByteArrayView field) const;
        bool matches(QByteArrayView field, const QByteArray& text) const;

        Fold fold_;
        std::vector<Slot> slots_; // a power of two, at most half full
        std::size_t used_ = 0;
    };

    void append(const QByteArray& entry, const QByteArray& address, const QByteArray& name);
    void noteChanged(int position);

    mutable std::recursive_mutex lock_;
    QList<QByteArray> entries_;
    QList<QByteArray> nameIndex_;
    QList<SortKey> displayOrder_;
    std::vector<Origin> origins_; // by position, as many as entries_
    FieldIndex addressIndex_;     // entries_ by address, ASCII letter case folded
    FieldIndex nameLookup_;       // nameIndex_ by name, Windows-1252 letter case folded
    Changes changes_;
    std::shared_ptr<StatusSortCache> sortCache_;
    PositionSet seen_;
    PositionSet answered_;
    int listRows_ = 2;
};

// The archived mark that restored entries carry, and the note the window title then shows.
inline constexpr char kArchivedMark[] = " **";
inline constexpr char kArchivedTitleNote[] = " ** denotes archived status";

// Background colour (0x00BBGGRR) of a colour code. StatusCode::None looks idle, as every code
// the program does not know.
quint32 colourForCode(StatusCode code, const ClassColours& colours);

} // namespace velmora
