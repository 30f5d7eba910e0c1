import QtQuick 2.10
import QtTest 1.2

// The main window: restored values, the drawer and the page stack, the setup page and the
// functions through which the controller sets the captions.
Item {
    MainWindowTestCase {
        id: test
        name: "MainWindow"
        snapshotProperties: ["broadcastIP", "iRetries", "iRefresh"]

        function test_valuesRestored() {
            compare([loadedValues.broadcastIP, loadedValues.iRetries, loadedValues.iRefresh],
                    ["127.255.255.255", 7, 12]);
        }

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

        function test_drawerEntries(data) {
            var spy = data.signal ? spyOn(data.signal) : null;
            openFromDrawer(data.tag);
            if (spy)
                compare(spy.count, 1);
            compare(stackView.depth, data.page ? 2 : 1);
            if (!data.page)
                return;
            compare(stackView.currentItem, page(data.page));
            mouseClick(findChild(window, "toolButton"));
            waitForStack();
            compare(stackView.currentItem, page("homeScreen"));
        }

        // The drawer takes edge drags on the home page only: a pushed page would push a third.
        function test_drawerOnHomePageOnly() {
            var drawer = findChild(window, "drawer");
            verify(drawer.interactive);
            openFromDrawer("Count Up Controls");
            verify(!drawer.interactive);
            compare(stackView.depth, 2);
        }

        function test_setupPageClampsCancelsAndSaves() {
            var saved = spyOn("submitIPParameters");
            window.iRetries = 12; // from an older store, above the spin box's range
            openFromDrawer("Setup Parameters");
            var setup = page("setupScreen");
            compare(setup.setupRetries, 10);
            setup.setupDelay = 900;
            setup.setupBroadcastIP = "127.0.0.5";
            mouseClick(findByText(setup, "Cancel"));
            waitForStack();
            compare(saved.count, 0);
            compare([window.iRetries, window.iDelay, window.broadcastIP], [12, 350, "127.255.255.255"]);
            openFromDrawer("Setup Parameters");
            mouseClick(findByText(setup, "Save"));
            waitForStack();
            compare(argumentsOf(saved, 0), [10, 350, 12]);
            compare(window.iRetries, 10);
            window.iRetries = 7;
        }

        function test_startPauseCaptions() {
            var captions = function () {
                return [page("countUpScreen").upStartButtonText, page("countDnScreen").dnStartButtonText,
                        page("progScreen").progStartButtonText, page("tabataScreen").tabStartButtonText,
                        page("presentScreen").presentStartButtonText];
            };
            compare(captions(), ["Start", "Start", "Start", "Start", "Start"]);
            window.updateUpStartPause(true);
            compare(captions(), ["Pause", "Start", "Start", "Start", "Start"]);
            window.updateDnStartPause(true);
            window.updateProgStartPause(true);
            compare(captions(), ["Pause", "Pause", "Pause", "Pause", "Pause"]);
            window.updateUpStartPause(false);
            window.updateDnStartPause(false);
            window.updateProgStartPause(false);
            compare(captions(), ["Start", "Start", "Start", "Start", "Start"]);
        }
    }
}
