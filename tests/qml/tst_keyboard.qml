import QtQuick 2.10
import QtQuick.Dialogs 1.2
import QtTest 1.2

// The shortcuts through the real window: each emits what a click on its button emits.
Item {
    MainWindowTestCase {
        name: "Keyboard"

        function test_spacePressesStartPause_data() {
            return [
                { tag: "Count Up Controls", signal: "submitCountUpStart" },
                { tag: "Count Down Controls", signal: "submitCountDnStart" },
                { tag: "Tabata Controls", signal: "submitProgStart" },
                { tag: "Presentation Controls", signal: "submitProgStart" },
                { tag: "Timer Programs", signal: "submitProgStart" }
            ];
        }

        function test_spacePressesStartPause(data) {
            var start = spyOn(data.signal);
            keyClick(Qt.Key_Space);
            compare(start.count, 0, "the home page has no Start");
            openFromDrawer(data.tag);
            mouseClick(findByText(stackView.currentItem, "Start"));
            compare(start.count, 1);
            keyClick(Qt.Key_Space);
            compare(start.count, 2);
        }

        function test_f5QueriesFromHomeOnly() {
            var query = spyOn("submitQuery");
            mouseClick(findByText(page("homeScreen"), "Query Timers"));
            keyClick(Qt.Key_F5);
            compare(query.count, 2);
            compare(argumentsOf(query, 1), argumentsOf(query, 0));
            openFromDrawer("Count Up Controls");
            keyClick(Qt.Key_F5);
            compare(query.count, 2);
        }

        function test_escapeLeavesWithoutSaving() {
            var saved = spyOn("submitIPParameters");
            var delay = window.iDelay;
            openFromDrawer("Setup Parameters");
            page("setupScreen").setupDelay = delay + 1;
            keyClick(Qt.Key_Escape);
            waitForStack();
            compare(stackView.depth, 1);
            compare(saved.count, 0);
            compare(window.iDelay, delay);

            // A preset's editor closes without taking the edit, also after an earlier Save.
            openFromDrawer("Count Down Controls");
            var preset = findChild(page("countDnScreen"), "countdown3");
            var caption = preset.nameStrig;
            var dialog = preset.dialog;
            preset.held();
            tryVerify(function () { return dialog.visible; });
            dialog.click(StandardButton.Save);
            tryVerify(function () { return !dialog.visible; });
            preset.held();
            tryVerify(function () { return dialog.visible; });
            dialog.buttonName = "Edited";
            verify(testSupport.activateWindowOf(dialog.contentItem));
            keyClick(Qt.Key_Escape);
            tryVerify(function () { return !dialog.visible; });
            compare(preset.nameStrig, caption);
            compare(stackView.depth, 2, "the page stays while its dialog closes");
            verify(testSupport.activateWindowOf(window.contentItem));
        }

        function test_ctrlQQuitsAsExitApplication() {
            var exit = findByText(findChild(window, "drawerEntries"), "Exit Application");
            var clicked = signalSpy.createObject(null, { target: exit, signalName: "clicked" });
            var quits = testSupport.quitRequests();
            keySequence("Ctrl+Q");
            compare(clicked.count, 1);
            compare(testSupport.quitRequests(), quits + 1);
        }
    }

    Component {
        id: signalSpy
        SignalSpy {}
    }
}
