#include "models/programdatamodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using Codes = QVector<int>;

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
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("readRole");
    QTest::addColumn<QVariant>("readBack");

    using M = ProgramDataModel;
    QTest::newRow("seconds keep 16 bits")
        << 0 << int(M::StartSecondsRole) << 90000 << int(M::StartSecondsRole) << QVariant(24464);
    QTest::newRow("bytes keep 8 bits")
        << 0 << int(M::RelayTimeSecRole) << 258 << int(M::RelayTimeSecRole) << QVariant(2);
    QTest::newRow("command name is read-only")
        << 1 << int(M::CommandNameRole) << 9 << int(M::CommandNameRole)
        << QVariant(QStringLiteral("CountUp HH:MM:SS"));
    QTest::newRow("code 12 has no name")
        << 1 << int(M::CommandRole) << 12 << int(M::CommandNameRole) << QVariant();
    QTest::newRow("colour 10 has no name")
        << 1 << int(M::ColorIndex2Role) << 10 << int(M::Color2NameRole) << QVariant();
    QTest::newRow("row past the end")
        << 5 << int(M::CommandRole) << 4 << int(M::CommandRole) << QVariant();
}

void TestProgramDataModel::setData()
{
    QFETCH(int, row);
    QFETCH(int, role);
    QFETCH(int, value);
    QFETCH(int, readRole);
    QFETCH(QVariant, readBack);

    ProgramDataModel model;
    QAbstractItemModelTester tester(&model);
    fill(model, {3, 3, 8});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QVector<ProgramLine> before = model.lines();

    const bool accepted = row < model.rowCount();
    QCOMPARE(model.setData(model.index(row), value, role), accepted);
    QCOMPARE(model.data(model.index(row), readRole), readBack);
    QCOMPARE(changed.count(), accepted ? 1 : 0);
    if (!accepted || role == ProgramDataModel::CommandNameRole)
        QCOMPARE(model.lines(), before);
}

// Lines of unknown codes become end lines at the end, also where two follow each other.
void TestProgramDataModel::validateLines()
{
    const auto validated = [](const Codes &codes) {
        ProgramDataModel model;
        QAbstractItemModelTester tester(&model);
        fill(model, codes);
        model.validateLines();
        return codesOf(model);
    };
    QCOMPARE(validated({}), Codes{8});
    QCOMPARE(validated({3, 0, 8}), Codes({3, 8, 8}));
    QCOMPARE(validated({10, 11, 8}), Codes({10, 11, 8}));
    QCOMPARE(validated({0, 12, 255, 8}), Codes({8, 8, 8, 8}));
}

QTEST_GUILESS_MAIN(TestProgramDataModel)
#include "tst_programdatamodel.moc"
