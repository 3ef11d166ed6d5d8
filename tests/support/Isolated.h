#pragma once

#include "FileRegistry.h"
#include "QtPrinters.h"
#include "TestDoubles.h"

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace zk::testing {

// The whole file, or "<missing>" when it cannot be read, so that comparing
// it with the expected bytes fails with a readable message.
QByteArray readFile(const QString &path);

// Every test gets its own folders and settings files, and the platform
// services answered by doubles: scripted prompts, a recording shell and
// help viewer, and a real file registry in the test's own config folders.
// A test fails when it leaves a window open or a scripted answer unused
// (an answer nobody asked for means the question it stood for never came).
class Isolated : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A folder inside the test's temporary root, created, with trailing "/".
    QString folder(const QString &relative) const;
    QString path(const QString &relative) const { return m_root.path() + u'/' + relative; }
    void writeFile(const QString &path, const QByteArray &content = "x") const;
    // A program folder ("program/") holding the badge, as an installed copy does.
    QString programFolderWithBadge() const;

    QTemporaryDir m_root;
    std::unique_ptr<FileRegistry> registry;
    ScriptedPrompts prompts;
    RecordingShell shell;
    RecordingHelpViewer help;
    RecordingMediaPlayer media;
    QString accountName; // what the passwd entry "holds" in this test
};

} // namespace zk::testing
