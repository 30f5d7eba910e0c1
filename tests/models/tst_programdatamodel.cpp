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

} // namespace

class TestProgramDataModel : public QObject
{
    Q_OBJECT
private slots:
    void rowsChangeAtTheTenLineLimit();
    void setData();
    void validateLines();
};

// Rows change one at a time, each announced for its own row, and never beyond ten lines.
void TestProgramDataModel::rowsChangeAtTheTenLineLimit()
{
    ProgramDataModel model;
    QAbstractItemModelTester tester(&model);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    fill(model, {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 3});
    model.insertEndLine(0);
    QCOMPARE(inserted.count(), 10);
    QCOMPARE(inserted.last().mid(1), QVariantList({9, 9}));

    model.removeLine(3);
    model.removeLine(9); // now past the end
    model.removeLine(-1);
    model.insertEndLine(2);
    model.insertEndLine(11);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.last().mid(1), QVariantList({3, 3}));
    QCOMPARE(inserted.count(), 11);
    QCOMPARE(inserted.last().mid(1), QVariantList({2, 2}));
    QCOMPARE(codesOf(model), Codes({1, 2, 8, 3, 5, 6, 7, 9, 10, 11}));

    model.clearLines();
    QCOMPARE(removed.count(), 11);
    QCOMPARE(model.getCommand(0), 0u);
    QVERIFY(!model.data(model.index(0), ProgramDataModel::CommandRole).isValid());
    QVERIFY(!model.setSelected(0, true));
    QCOMPARE(model.setRepeatCountAct(0, 1), -1);
}

// Fields keep their widths, names exist for known codes and colours only, the name is read-only
// and a row past the end takes nothing.
void TestProgramDataModel::setData()
{
    using M = ProgramDataModel;
    M model;
    QAbstractItemModelTester tester(&model);
    fill(model, {3, 8});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const auto set = [&](int row, int role, int value) {
        return model.setData(model.index(row), value, role);
    };
    const auto get = [&](int row, int role) { return model.data(model.index(row), role); };

    QVERIFY(set(0, M::StartSecondsRole, 90000) && set(0, M::StopSecondsRole, 65537));
    QVERIFY(set(0, M::RelayTimeSecRole, 258) && set(1, M::CommandNameRole, 9));
    QVERIFY(set(1, M::ColorIndex2Role, 10) && !set(2, M::CommandRole, 4));
    QCOMPARE(changed.count(), 5);
    QCOMPARE(get(0, M::StartSecondsRole), QVariant(24464));
    QCOMPARE(get(0, M::StopSecondsRole), QVariant(1));
    QCOMPARE(get(0, M::RelayTimeSecRole), QVariant(2));
    QCOMPARE(get(1, M::CommandNameRole), QVariant(QStringLiteral("End Program")));
    QCOMPARE(get(1, M::Color2NameRole), QVariant());
    QVERIFY(set(0, M::CommandRole, 12));
    QCOMPARE(get(0, M::CommandNameRole), QVariant());
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
