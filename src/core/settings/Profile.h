#pragma once
// The INI profile layer under the settings file: sections and keys compared without regard
// to case, values read back cut to 255 characters, an absent key giving the caller's default
// and a present empty value giving the empty text, bytes (0xF7 included) kept as they are.
// The whole file is held in memory; SettingsFile reads and writes it on disk.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <utility>

namespace velmora {

class Profile {
public:
    // The cut applied to every value read back through readSetting.
    static constexpr qsizetype kReadLimit = 255;

    // Replaces the content with the file at `path`. A missing, unreadable or non-regular file
    // gives an empty profile and false.
    bool load(const QString& path);
    // Writes the whole profile to `path` (see SettingsFile::write); false when anything fails
    // (the old file is then left as it was).
    bool save(const QString& path) const;

    void parse(const QByteArray& content);
    QByteArray serialize() const;

    QByteArray readSetting(const QByteArray& section, const QByteArray& key,
                           const QByteArray& defaultValue) const;
    // As readSetting but without the 255-character cut (stored message lines).
    QByteArray readRaw(const QByteArray& section, const QByteArray& key,
                       const QByteArray& defaultValue) const;
    bool hasKey(const QByteArray& section, const QByteArray& key) const;
    // Stores one value; CR, LF and NUL, which a line of the file cannot hold, become blanks.
    // Reads hand values back without surrounding blanks and tabs, as they come from the file.
    void writeSetting(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    // Stores many values at once, as writeSetting does, for keys that the section does not
    // hold yet (a section just erased and written anew); nothing is looked up on the way.
    void appendSettings(const QByteArray& section,
                        const QList<std::pair<QByteArray, QByteArray>>& keys);
    void eraseSection(const QByteArray& section);
    // Removes one key; the section stays, empty or not.
    void removeKey(const QByteArray& section, const QByteArray& key);

    QList<QByteArray> sectionNames() const;
    QList<QByteArray> keyNames(const QByteArray& section) const;

    // True when `value`, once written, saved and loaded again, reads back byte for byte
    // (no CR, LF or NUL, no surrounding blank or tab).
    static bool holdsExactly(const QByteArray& value);

private:
    struct Key {
        QByteArray name;
        QByteArray value;
    };
    // A section's keys are looked up through an index that is built when first needed: a
    // save reads the whole file again and then replaces its largest sections unread, so most
    // keys parsed are never looked up. Until the index is built, keys that a parsed file
    // repeats are still in the list; building it drops them (the first of them counts).
    struct Section {
        QByteArray name;
        QByteArray folded;
        mutable QList<Key> keys;
        mutable QHash<QByteArray, qsizetype> index; // folded key name -> position in keys
        mutable qsizetype indexed = 0;              // keys[0, indexed) are in the index
        mutable bool mayRepeat = false;             // parsed keys not yet checked for repeats
    };
    static void indexKeys(const Section& section);
    const Section* findSection(const QByteArray& section) const;
    Section& sectionFor(const QByteArray& section);
    const QByteArray* findValue(const QByteArray& section, const QByteArray& key) const;
    void clear();

    QList<Section> sections_;
    QHash<QByteArray, qsizetype> sectionIndex_; // folded section name -> position in sections_
};

} // namespace velmora
