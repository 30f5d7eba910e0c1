#include "models/programdatamodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using Codes = QVector<int>;
Q_DECLARE_METATYPE(Codes)

namespace {

void fill(ProgramDataModel &model, const Codes &codes)
{
    for (int code : codes)
        model.appendLine(ProgramLine::timerLine(quint8(code), 0, 0, 0, 0, 0, 0, 0));
}

Codes codesOf(const ProgramDataModel &model)
{
    Codes codes;
    for (int row = 0; row < model.rowCount(); ++row)
        codes << int(model.getCommand(row));
    return codes;
}

using Spans = QVector<QPair<int, int>>;

// First and last row of each insert or remove notification.
Spans spans(const QSignalSpy &spy)
{
    Spans rows;
    for (const QList<QVariant> &args : spy)
        rows.append({args.at(1).toInt(), args.at(2).toInt()});
    return rows;
}

} // namespace

class TestProgramDataModel : public QObject
{
    Q_OBJECT
private slots:
    void rowsChangeAtTheTenLineLimit();
    void setData_data();
    void setData();
    void validateLines_data();
    void validateLines();
};

void TestProgramDataModel::rowsChangeAtTheTenLineLimit()
{
    ProgramDataModel model;
    QAbstractItemModelTester tester(&model);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    fill(model, {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 3});
    QCOMPARE(model.rowCount(), 10);
    QCOMPARE(inserted.count(), 10);
    QCOMPARE(spans(inserted).last(), qMakePair(9, 9));
    inserted.clear();
    model.insertEndLine(0);
    QCOMPARE(inserted.count(), 0);

    model.removeLine(3);
    model.removeLine(9); // now past the end
    model.removeLine(-1);
    QCOMPARE(spans(removed), Spans({{3, 3}}));
    model.insertEndLine(2);
    model.insertEndLine(11);
    QCOMPARE(spans(inserted), Spans({{2, 2}}));
    QCOMPARE(codesOf(model), Codes({1, 2, 8, 3, 5, 6, 7, 9, 10, 11}));

    removed.clear();
    model.clearLines();
    QCOMPARE(removed.count(), 10);
    QCOMPARE(model.getCommand(0), 0u);
    QVERIFY(!model.data(model.index(0), ProgramDataModel::CommandRole).isValid());
    QVERIFY(!model.setSelected(0, true));
    QCOMPARE(model.setRepeatCountAct(0, 1), -1);
}

void TestProgramDataModel::setData_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("readRole");
    QTest::addColumn<QVariant>("readBack");

    using M = ProgramDataModel;
    QTest::newRow("seconds keep 16 bits") << 0 << int(M::StartSecondsRole) << QVariant(90000)
                                          << true << int(M::StartSecondsRole) << QVariant(24464);
    QTest::newRow("stop seconds at the top") << 0 << int(M::StopSecondsRole) << QVariant(65535)
                                             << true << int(M::StopSecondsRole) << QVariant(65535);
    QTest::newRow("byte field keeps 8 bits") << 0 << int(M::RelayTimeSecRole) << QVariant(258)
                                             << true << int(M::RelayTimeSecRole) << QVariant(2);
    QTest::newRow("selected") << 2 << int(M::SelectedRole) << QVariant(1) << true
                              << int(M::SelectedRole) << QVariant(true);
    QTest::newRow("command name is read-only")
        << 1 << int(M::CommandNameRole) << QVariant(9) << true << int(M::CommandNameRole)
        << QVariant(QStringLiteral("CountUp HH:MM:SS"));
    QTest::newRow("unknown code has no name") << 1 << int(M::CommandRole) << QVariant(12) << true
                                              << int(M::CommandNameRole) << QVariant();
    QTest::newRow("colour name") << 1 << int(M::ColorIndex1Role) << QVariant(6) << true
                                 << int(M::Color1NameRole) << QVariant(QStringLiteral("White"));
    QTest::newRow("colour index without a name") << 1 << int(M::ColorIndex2Role) << QVariant(10)
                                                 << true << int(M::Color2NameRole) << QVariant();
    QTest::newRow("row past the end")
        << 5 << int(M::CommandRole) << QVariant(4) << false << int(M::CommandRole) << QVariant();
}

void TestProgramDataModel::setData()
{
    QFETCH(int, row);
    QFETCH(int, role);
    QFETCH(QVariant, value);
    QFETCH(bool, accepted);
    QFETCH(int, readRole);
    QFETCH(QVariant, readBack);

    ProgramDataModel model;
    QAbstractItemModelTester tester(&model);
    fill(model, {3, 3, 8});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QVector<ProgramLine> before = model.lines();

    QCOMPARE(model.setData(model.index(row), value, role), accepted);
    QCOMPARE(model.data(model.index(row), readRole), readBack);
    QCOMPARE(changed.count(), accepted ? 1 : 0);
    if (!accepted || role == ProgramDataModel::CommandNameRole)
        QCOMPARE(model.lines(), before);
}

void TestProgramDataModel::validateLines_data()
{
    QTest::addColumn<Codes>("codes");
    QTest::addColumn<Codes>("validated");

    QTest::newRow("empty") << Codes{} << Codes{8};
    QTest::newRow("0 in the middle") << Codes{3, 0, 8} << Codes{3, 8, 8};
    QTest::newRow("all codes known") << Codes{10, 11, 8} << Codes{10, 11, 8};
    QTest::newRow("unknown codes in a row") << Codes{0, 12, 255, 8} << Codes{8, 8, 8, 8};
    QTest::newRow("ten lines") << Codes{1, 2, 3, 4, 5, 6, 7, 9, 0, 8}
                               << Codes{1, 2, 3, 4, 5, 6, 7, 9, 8, 8};
}

void TestProgramDataModel::validateLines()
{
    QFETCH(Codes, codes);
    QFETCH(Codes, validated);

    ProgramDataModel model;
    QAbstractItemModelTester tester(&model);
    fill(model, codes);
    model.validateLines();
    QCOMPARE(codesOf(model), validated);
}

QTEST_GUILESS_MAIN(TestProgramDataModel)
#include "tst_programdatamodel.moc"
