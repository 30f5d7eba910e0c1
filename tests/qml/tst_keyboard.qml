import QtQuick 2.10
import QtTest 1.2

// The shortcuts through the real window: each emits what a click on its button emits, and only
// where that button is shown.
Item {
    MainWindowTestCase {
        name: "Keyboard"

        function test_keyClicksItsButton_data() {
            return [
                { tag: "Space, count-up", entry: "Count Up Controls", button: "Start", key: Qt.Key_Space, signal: "submitCountUpStart" },
                { tag: "Space, count-down", entry: "Count Down Controls", button: "Start", key: Qt.Key_Space, signal: "submitCountDnStart" },
                { tag: "Space, Tabata", entry: "Tabata Controls", button: "Start", key: Qt.Key_Space, signal: "submitProgStart" },
                { tag: "Space, presentation", entry: "Presentation Controls", button: "Start", key: Qt.Key_Space, signal: "submitProgStart" },
                { tag: "Space, programs", entry: "Timer Programs", button: "Start", key: Qt.Key_Space, signal: "submitProgStart" },
                { tag: "F5, home", entry: "", button: "Query Timers", key: Qt.Key_F5, signal: "submitQuery" }
            ];
        }

        function test_keyClicksItsButton(data) {
            var spy = spyOn(data.signal);
            if (data.entry)
                openFromDrawer(data.entry);
            mouseClick(findByText(stackView.currentItem, data.button));
            keyClick(data.key);
            compare(spy.count, 2);
            compare(argumentsOf(spy, 1), argumentsOf(spy, 0));
        }

        function test_escapeLeavesWithoutSaving() {
            var saved = spyOn("submitIPParameters");
            var query = spyOn("submitQuery");
            openFromDrawer("Setup Parameters");
            page("setupScreen").setupDelay = window.iDelay + 1;
            keyClick(Qt.Key_F5);
            keyClick(Qt.Key_Escape);
            waitForStack();
            compare([stackView.depth, saved.count, query.count], [1, 0, 0]);

            // The preset editor of the count-down page cancels, and the page stays.
            openFromDrawer("Count Down Controls");
            var preset = findChild(page("countDnScreen"), "countdown3");
            var caption = preset.nameStrig;
            preset.held();
            preset.dialog.buttonName = "Edited";
            verify(testSupport.activateWindowOf(preset.dialog.contentItem));
            keyClick(Qt.Key_Escape);
            tryVerify(function () { return !preset.dialog.visible; });
            compare([preset.nameStrig, stackView.depth], [caption, 2]);
            verify(testSupport.activateWindowOf(window.contentItem));
        }

        function test_ctrlQQuitsAsExitApplication() {
            var quits = testSupport.quitRequests();
            keySequence("Ctrl+Q");
            compare(testSupport.quitRequests(), quits + 1);
        }
    }
}
