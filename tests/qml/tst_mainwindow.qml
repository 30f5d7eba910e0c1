import QtQuick 2.10
import QtTest 1.2

// The main window: the drawer and the page stack, the setup page with the restored values, the
// functions through which the controller sets the captions, and the shortcuts: each emits what a
// click on its button emits, and only where that button is shown (Space reaches any page's
// `startPauseButton` the same way).
MainWindowTestCase {
    name: "MainWindow"

    function test_drawerEntries_data() {
        return [
            { tag: "Setup Parameters", page: "setupScreen", signal: "" },
            { tag: "Manual IP Add", page: "manualIP", signal: "" },
            { tag: "Count Up Controls", page: "countUpScreen", signal: "submitCountUpEntry" },
            { tag: "Count Down Controls", page: "countDnScreen", signal: "submitCountDnEntry" },
            { tag: "Timer Programs", page: "progScreen", signal: "submitProgEntry" },
            { tag: "Remove Selected", page: "", signal: "submitRemoveSelected" },
            { tag: " Get All Programs", page: "", signal: "submitGetAllPrograms" },
        ];
    }

    // The drawer takes edge drags on the home page only: on a pushed page it would push a
    // third level.
    function test_drawerEntries(data) {
        var drawer = findChild(window, "drawer");
        var spy = data.signal ? spyOn(data.signal) : null;
        openFromDrawer(data.tag);
        compare([spy ? spy.count : 1, stackView.depth, drawer.interactive], [1, data.page ? 2 : 1, !data.page]);
        if (!data.page)
            return;
        compare(stackView.currentItem, page(data.page));
        mouseClick(findChild(window, "toolButton"));
        waitForStack();
        compare(stackView.currentItem, page("homeScreen"));
        verify(drawer.interactive);
    }

    // The stored values come back; a retry count above the spin box's range (from an older
    // store) shows as the limit; Cancel keeps the window's values and Save sends the page's.
    function test_setupPage() {
        compare([window.broadcastIP, window.iRetries, window.iRefresh], ["127.255.255.255", 7, 12]);
        var saved = spyOn("submitIPParameters");
        window.iRetries = 12;
        openFromDrawer("Setup Parameters");
        var setup = page("setupScreen");
        compare(setup.setupRetries, 10);
        setup.setupDelay = 900;
        setup.setupBroadcastIP = "127.0.0.5";
        mouseClick(findByText(setup, "Cancel"));
        waitForStack();
        compare([saved.count, window.iRetries, window.iDelay, window.broadcastIP], [0, 12, 350, "127.255.255.255"]);
        openFromDrawer("Setup Parameters");
        mouseClick(findByText(setup, "Save"));
        waitForStack();
        compare(argumentsOf(saved, 0), [10, 350, 12]);
        compare(window.iRetries, 10);
    }

    function test_startPauseCaptions() {
        var captions = function () {
            return [page("countUpScreen").upStartButtonText, page("countDnScreen").dnStartButtonText,
                    page("progScreen").progStartButtonText, page("tabataScreen").tabStartButtonText,
                    page("presentScreen").presentStartButtonText];
        };
        window.updateUpStartPause(true);
        compare(captions(), ["Pause", "Start", "Start", "Start", "Start"]);
        window.updateDnStartPause(true);
        compare(captions(), ["Pause", "Pause", "Start", "Start", "Start"]);
        window.updateUpStartPause(false);
        window.updateProgStartPause(true);
        compare(captions(), ["Start", "Pause", "Pause", "Pause", "Pause"]);
    }

    function test_keyClicksItsButton_data() {
        return [
            { tag: "Space, count-up", entry: "Count Up Controls", button: "Start", key: Qt.Key_Space, signal: "submitCountUpStart" },
            { tag: "Space, count-down", entry: "Count Down Controls", button: "Start", key: Qt.Key_Space, signal: "submitCountDnStart" },
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
    }

    function test_ctrlQQuitsAsExitApplication() {
        var quits = testSupport.quitRequests();
        keySequence("Ctrl+Q");
        compare(testSupport.quitRequests(), quits + 1);
    }
}
