#pragma once
// Settings files for tests: written, read back, parsed, and the snapshot a save takes.

#include "core/settings/Profile.h"
#include "core/settings/Settings.h"

#include <QFile>
#include <gtest/gtest.h>

namespace velmora::test {

inline void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(content), content.size());
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline Profile loadProfile(const QString& path) {
    Profile profile;
    profile.load(path);
    return profile;
}

inline Profile parsed(const QByteArray& content) {
    Profile profile;
    profile.parse(content);
    return profile;
}

inline SettingsSnapshot makeSnapshot(const QByteArray& login = "OPERATOR") {
    SettingsSnapshot s;
    s.loginName = login;
    s.displayName = "Opal Operator";
    s.ownAddress = "10.77.0.1";
    s.versionLabel = kVersionLabel;
    s.programPath = "/usr/bin/velmora";
    return s;
}

} // namespace velmora::test
