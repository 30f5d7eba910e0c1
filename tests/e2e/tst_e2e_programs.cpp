#include "appundertest.h"
#include "windowoperator.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

// A program line edited through the program page and its editor dialog is stored at once: a
// restarted application with the same settings folder shows the edit.
namespace {

// Default program 1, "Tab 60/15": six lines, the fifth repeats from the first three times.
const QString kRepeatLine = QStringLiteral("Goto Step: 1  Repeats: %1");
constexpr int kRepeatRow = 4;

// The editor dialog opens in a window of its own.
QQuickWindow *shownDialog(const QQuickWindow *mainWindow)
{
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        auto *quickWindow = qobject_cast<QQuickWindow *>(window);
        if (quickWindow && quickWindow != mainWindow && quickWindow->isVisible())
            return quickWindow;
    }
    return nullptr;
}

} // namespace

class TestE2ePrograms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { AppUnderTest::forgetStoredSettings(); }
    void editedLineSurvivesARestart();
};

void TestE2ePrograms::editedLineSurvivesARestart()
{
    {
        AppUnderTest app;
        QVERIFY(app.isRunning());
        WindowOperator page(app.window());
        QVERIFY(page.chooseFromDrawer(QStringLiteral("Timer Programs")));
        QTRY_VERIFY(page.find(kRepeatLine.arg(3)));
        QVERIFY(page.tap(page.allNamed(QStringLiteral("lineMenuButton")).value(kRepeatRow)));
        QTRY_VERIFY(page.find(QStringLiteral("Edit")));
        QVERIFY(page.tap(QStringLiteral("Edit")));

        QQuickWindow *dialog = nullptr;
        QTRY_VERIFY((dialog = shownDialog(app.window())));
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        WindowOperator editor(dialog);
        QVERIFY(editor.typeInto(editor.fieldBeside(QStringLiteral("Repeat Count:")),
                                QStringLiteral("12")));
        QVERIFY(editor.tap(QStringLiteral("Save")));
        QTRY_VERIFY(!dialog->isVisible());
        QTRY_VERIFY(page.find(kRepeatLine.arg(12)));
    }

    AppUnderTest restarted;
    QVERIFY(restarted.isRunning());
    WindowOperator page(restarted.window());
    QVERIFY(page.chooseFromDrawer(QStringLiteral("Timer Programs")));
    QTRY_VERIFY(page.find(kRepeatLine.arg(12)));
}

QTEST_MAIN(TestE2ePrograms)

#include "tst_e2e_programs.moc"
