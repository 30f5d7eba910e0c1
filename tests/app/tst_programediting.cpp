#include "app/programediting.h"
#include "app/programslots.h"
#include "models/programdatamodel.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kEnd = QStringLiteral("08000000000000000000000000");

QVector<int> codes(const ProgramDataModel &model)
{
    QVector<int> codes;
    for (int row = 0; row < model.rowCount(); ++row)
        codes << int(model.getCommand(row));
    return codes;
}

} // namespace

class TestProgramEditing : public QObject
{
    Q_OBJECT
private slots:
    void editingSession();
};

// One operator session on a store that a user has edited by hand: what the model shows and
// what reaches the store after each step of the program page.
void TestProgramEditing::editingSession()
{
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("QB-Timer.conf")), QSettings::IniFormat);
    const QString handEdited =
        "030000000000000a0000000000" + QString(26, '0') + "05000000000000050000000000" + kEnd;
    store.setValue(QStringLiteral("Program4"), handEdited);
    store.setValue(QStringLiteral("Program6"), QString());

    ProgramDataModel model;
    ProgramSlots programSlots(store);
    ProgramEditing editing(model, programSlots);
    programSlots.loadProgramSettings();
    QCOMPARE(programSlots.programNames(),
             QStringList({"Tab 60/15", "Pres:300-60", "Program3", "Program4", "Program5",
                          "Program6", "Program7", "Program8", "Program9", "Program10"}));
    QCOMPARE(programSlots.programTexts().at(0), ProgramSlots::defaultText(0));
    QCOMPARE(programSlots.programTexts().at(9), kEnd);

    // Program 2 edited, left for 5 and taken up again: the edit is kept in memory only.
    editing.changeProgram(0, QStringLiteral("Tab 60/15"));
    QCOMPARE(model.rowCount(), 6);
    editing.changeProgram(2, QStringLiteral("Program3"));
    editing.insertLine(0);
    model.setData(model.index(0), TC_UP_HMS, ProgramDataModel::CommandRole);
    editing.changeProgram(5, QStringLiteral("Program6"));
    QCOMPARE(codes(model), QVector<int>({TC_DONE}));
    editing.changeProgram(2, QStringLiteral("Program3"));
    QCOMPARE(codes(model), QVector<int>({TC_UP_HMS, TC_DONE}));
    QVERIFY(!store.contains(QStringLiteral("Program2")));

    // The end line stays; the line before it goes.
    editing.deleteLine(1);
    editing.deleteLine(2);
    QCOMPARE(model.rowCount(), 2);
    editing.deleteLine(0);
    editing.deleteLine(0);
    QCOMPARE(codes(model), QVector<int>({TC_DONE}));

    // A rename reaches the store with the next save of that program, not with a switch.
    editing.renameProgram(3, QStringLiteral("Warm-up"));
    editing.changeProgram(3, QStringLiteral("Warm-up"));
    QVERIFY(!store.contains(QStringLiteral("ProgramName3")));
    for (int k = 0; k < 10; ++k)
        editing.insertLine(0);
    QCOMPARE(model.rowCount(), ProgramDataModel::kMaxLines);
    editing.saveProgram();
    QCOMPARE(store.value(QStringLiteral("ProgramName3")).toString(), QStringLiteral("Warm-up"));
    QCOMPARE(store.value(QStringLiteral("Program3")).toString(), kEnd.repeated(10));
    QVERIFY(!store.contains(QStringLiteral("Program2")));

    // Hand-edited texts are shown repaired; the store keeps them until the next save.
    editing.changeProgram(4, QStringLiteral("Program5"));
    QCOMPARE(codes(model), QVector<int>({TC_UP_HMS, TC_DOWN_HMS, TC_DONE, TC_DONE}));
    QCOMPARE(store.value(QStringLiteral("Program4")).toString(), handEdited);
    editing.changeProgram(6, QStringLiteral("Program7"));
    QCOMPARE(codes(model), QVector<int>({TC_DONE}));

    // Numbers outside the ten programs change nothing.
    editing.changeProgram(10, QStringLiteral("Program11"));
    editing.renameProgram(-1, QStringLiteral("None"));
    QCOMPARE(programSlots.currentProgram(), 6);
    QCOMPARE(codes(model), QVector<int>({TC_DONE}));
}

QTEST_GUILESS_MAIN(TestProgramEditing)
#include "tst_programediting.moc"
