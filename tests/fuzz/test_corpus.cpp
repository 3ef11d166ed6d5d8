// Every stored input of every fuzz target, seeds and the crashes found
// once, fed to its target in every build: a fixed crash stays fixed.
#include "FuzzTargets.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

TEST(FuzzCorpus, EveryStoredInputRunsThroughItsTarget)
{
    const QString corpus = QStringLiteral(ZK_SOURCE_DIR "/tests/corpus/");
    for (size_t i = 0; i < zk::fuzz::TargetCount; ++i) {
        const auto &target = zk::fuzz::Targets[i];
        const QDir folder(corpus + QString::fromLatin1(target.name));
        const QStringList inputs = folder.entryList(QDir::Files, QDir::Name);
        EXPECT_FALSE(inputs.isEmpty()) << target.name << " has no corpus";
        for (const QString &name : inputs) {
            QFile f(folder.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(f.fileName());
            const QByteArray data = f.readAll();
            SCOPED_TRACE(qPrintable(f.fileName()));
            EXPECT_EQ(target.run(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size())), 0);
        }
    }
}

} // namespace
