#include "app/singleinstance.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

// The lock that keeps a second controller from starting, against the lock files of a running
// copy and of a copy that died, and where no lock can be made.
class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void lock_data();
    void lock();
};

namespace {

// A process id that no process has any more.
qint64 deadPid()
{
    QProcess process;
    process.start(QStringLiteral("true"), QStringList());
    process.waitForStarted();
    const qint64 pid = process.processId();
    process.waitForFinished();
    return pid;
}

// The lock file a process would leave that held the lock when it died: one of ours, with its
// process id in the first line.
void writeLockOf(const QString &path, qint64 pid)
{
    const QString sample = path + QStringLiteral(".sample");
    QLockFile ours(sample);
    ours.tryLock(0);
    QFile read(sample);
    read.open(QIODevice::ReadOnly);
    QList<QByteArray> lines = read.readAll().split('\n');
    lines[0] = QByteArray::number(pid);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(lines.join('\n'));
}

} // namespace

void TestSingleInstance::lock_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("refused");
    QTest::newRow("no lock") << "none" << false;
    QTest::newRow("held by a running copy") << "held" << true;
    QTest::newRow("left by a copy that died") << "dead" << false;
    QTest::newRow("no folder for the lock") << "no folder" << false;
}

void TestSingleInstance::lock()
{
    QFETCH(QString, before);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    const QString path =
        dir.filePath(before == QLatin1String("no folder") ? "gone/qb-timer.lock" : "qb-timer.lock");
    std::unique_ptr<SingleInstance> first;
    if (before == QLatin1String("held")) {
        first = std::make_unique<SingleInstance>(path);
        QVERIFY(!first->otherCopy());
    }
    if (before == QLatin1String("dead"))
        writeLockOf(path, deadPid());

    if (before == QLatin1String("no folder"))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot lock .*gone/qb-timer.lock"));
    const SingleInstance second(path);
    QCOMPARE(second.otherCopy().has_value(), refused);
    if (refused)
        QCOMPARE(*second.otherCopy(), QCoreApplication::applicationPid());
    if (before == QLatin1String("no folder"))
        return; // nothing to hold, and no reason to turn the operator away
    qint64 holder = 0;
    QString host, application;
    QVERIFY(QLockFile(path).getLockInfo(&holder, &host, &application));
    QCOMPARE(holder, QCoreApplication::applicationPid());
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
