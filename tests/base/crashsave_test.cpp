#include "basefile.h"
#include "failure.h"
#include "pointtable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace kelvora {
namespace {

// Large enough that the save takes a while, so that kills land inside it.
constexpr int childRecords = 300000;
constexpr int oldRecords = 10;

class CrashSave : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        PointTable old(QStringLiteral("Old"));
        old.open();
        for (int i = 0; i < oldRecords; ++i) {
            old.append();
            old.fieldByName(u"X").setAsInteger(i);
            old.post();
        }
        saveToFile(old, target, BaseFileFormat());
        oldBytes = contents(target);
        ASSERT_FALSE(oldBytes.isEmpty());
    }

    static QByteArray contents(const QString& file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    static int recordsIn(const QString& file)
    {
        PointTable loaded(QStringLiteral("L"));
        loadFromFile(loaded, file, BaseFileFormat());
        return loaded.recordCount();
    }

    QStringList strays() const
    {
        return QDir(dir.path())
            .entryList({QStringLiteral(".lorvet-*")}, QDir::Files | QDir::Hidden);
    }

    // Starts the child saving over `file` and waits until it has built its base.
    void start(QProcess& child, const QString& file, const QStringList& extra = {})
    {
        child.start(QStringLiteral(KELVORA_SAVE_CHILD),
                    QStringList{file, QString::number(childRecords)} + extra);
        ASSERT_TRUE(child.waitForStarted(30000));
        while (!child.canReadLine())
            ASSERT_TRUE(child.waitForReadyRead(120000)) << "the child never got ready";
        ASSERT_EQ(child.readLine(), QByteArray("ready\n"));
    }

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("points.Lorvet"));
    QByteArray oldBytes;
};

TEST_F(CrashSave, AKillDuringTheSaveLeavesTheOldFileOrTheWholeNewOne)
{
    // How long one whole save takes here.
    const QString scratch = dir.filePath(QStringLiteral("scratch.Lorvet"));
    QProcess timing;
    start(timing, scratch);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(timing.waitForFinished(120000));
    const qint64 saveMs = std::max<qint64>(clock.elapsed(), 8);
    ASSERT_EQ(timing.exitCode(), 0);
    ASSERT_EQ(recordsIn(scratch), childRecords);
    QFile::remove(scratch);

    constexpr int runs = 8;
    int killedMidWrite = 0;
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE(run);
        QProcess child;
        start(child, target);
        // Kills spread over the save's whole length.
        std::this_thread::sleep_for(std::chrono::milliseconds(saveMs * (2 * run + 1) / (2 * runs)));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(30000));

        const QByteArray now = contents(target);
        if (now == oldBytes) {
            EXPECT_EQ(recordsIn(target), oldRecords);
        } else {
            // Only a save that got to its end replaces the file.
            EXPECT_EQ(recordsIn(target), childRecords);
            QFile out(target);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ASSERT_EQ(out.write(oldBytes), oldBytes.size());
        }
        // A killed save leaves its half-written temporary file behind, never
        // the target; the next normal save is unaffected by it.
        const QStringList left = strays();
        if (!left.isEmpty())
            ++killedMidWrite;
        for (const QString& name : left)
            QFile::remove(dir.filePath(name));
    }
    EXPECT_GE(killedMidWrite, 1) << "no kill landed inside a save of " << saveMs << " ms";
}

TEST_F(CrashSave, AWriteFailureLeavesTheOldFileAndNoTemporaryFile)
{
    QProcess child;
    // Room for a little of the new file only, as on a full disk.
    start(child, target, {QStringLiteral("100000")});
    ASSERT_TRUE(child.waitForFinished(120000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 1);
    EXPECT_EQ(child.readAllStandardError().trimmed(), QByteArray("Stream write error"));
    EXPECT_EQ(contents(target), oldBytes);
    EXPECT_EQ(recordsIn(target), oldRecords);
    EXPECT_TRUE(strays().isEmpty()) << strays().join(u' ').toStdString();
}

} // namespace
} // namespace kelvora
