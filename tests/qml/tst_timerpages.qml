import QtQuick 2.10
import QtTest 1.2

// The Tabata and presentation pages inside the real main window.
Item {
    MainWindowTestCase {
        id: test
        name: "TimerPages"

        // name: [property names, first-start values, values sent with Reset]
        readonly property var pages: ({
            tabataScreen: [["workTime", "restTime", "repKount", "useRelay"],
                           [30, 10, 3, true], [45, 15, 0, false]],
            presentScreen: [["startTime", "changeTime", "presentFormat", "countupCB", "alarmCB"],
                            [300, 60, 1, false, false], [600, 120, 0, true, true]]
        })

        function formatShown() {
            return findItem(page("presentScreen"), function (child) { return child.currentText !== undefined; }).displayText;
        }

        function valuesOf(item, names) {
            return names.map(function (name) { return item[name]; });
        }

        // Reset sends what the page shows and only then stores it; a new window shows it again.
        function test_resetValuesSurviveRestart() {
            var signals = { tabataScreen: "submitTabataReset", presentScreen: "submitPresentReset" };
            var storedAtSignal = {};
            window.submitTabataReset.connect(function () { storedAtSignal.tabataScreen = window.tabWorkTime; });
            window.submitPresentReset.connect(function () { storedAtSignal.presentScreen = window.presStartTime; });
            compare(formatShown(), "(DAY):HR:MIN:SEC");
            for (var name in pages) {
                var item = page(name);
                var names = pages[name][0];
                compare(valuesOf(item, names), pages[name][1], name + " first start");
                var spy = spyOn(signals[name]);
                for (var i = 0; i < names.length; ++i)
                    item[names[i]] = pages[name][2][i];
                stackView.push(item);
                waitForStack();
                mouseClick(findByText(item, "Reset"));
                compare(argumentsOf(spy, 0), pages[name][2], name + " sent");
                compare(storedAtSignal[name], pages[name][1][0], name + " stored before sending");
                stackView.pop();
                waitForStack();
            }
            window.destroy(); // the settings are written when the window goes
            wait(0);
            window = Qt.createComponent("qrc:/main.qml").createObject(null);
            stackView = findChild(window, "stackView");
            for (name in pages)
                compare(valuesOf(page(name), pages[name][0]), pages[name][2], name + " after restart");
            compare(formatShown(), "(HR):MIN:SEC.tSec");
        }
    }
}
