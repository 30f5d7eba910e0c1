import QtQuick 2.10
import QtTest 1.2

// The main window: persisted values, drawer, tool button, stack, the setup and manual address
// pages, and the functions the controller calls.
Item {
    MainWindowTestCase {
        id: test
        name: "MainWindow"
        snapshotProperties: ["broadcastIP", "iRetries", "iRefresh"]

        function test_valuesRestored_data() {
            return [
                { tag: "stored address", property: "broadcastIP", value: "127.255.255.255" },
                { tag: "stored retries", property: "iRetries", value: 7 },
                { tag: "stored refresh", property: "iRefresh", value: 12 }
            ];
        }

        function test_valuesRestored(data) {
            compare(loadedValues[data.property], data.value);
        }

        function test_valuesWrittenToStore_data() {
            return [
                { tag: "delay", property: "iDelay", key: "mainDelay", value: 123 },
                { tag: "address", property: "broadcastIP", key: "mainBroadcastIP", value: "127.0.0.1" },
                { tag: "tabata relay", property: "tabUseRelay", key: "tabataUseRelay", value: false }
            ];
        }

        function test_valuesWrittenToStore(data) {
            var old = window[data.property];
            window[data.property] = data.value;
            tryVerify(function () {
                return String(testSupport.storedValue("main/" + data.key)) === String(data.value);
            }, 5000, data.key + " not stored");
            window[data.property] = old;
            tryVerify(function () {
                return String(testSupport.storedValue("main/" + data.key)) === String(old);
            }, 5000, data.key + " not restored");
        }

        function test_drawerEntries() {
            var column = findChild(window, "drawerEntries");
            var seen = [];
            var pointSize = column.children[0].font.pointSize;
            verify(pointSize > 0 && pointSize <= 20, "point size " + pointSize);
            for (var i = 0; i < column.children.length; ++i) {
                var child = column.children[i];
                seen.push(child.text !== undefined ? child.text : "--");
                if (child.text === undefined)
                    continue;
                compare(child.font.pointSize, pointSize, child.text);
                verify(child.contentItem.implicitWidth <= child.contentItem.width, child.text + " does not fit");
            }
            compare(seen, ["Setup Parameters", "Manual IP Add", "Remove Selected", "--",
                           "Count Up Controls", "Count Down Controls", "Tabata Controls",
                           "Presentation Controls", "--", "Timer Programs", " Get All Programs",
                           " Save All Programs", "--", "Exit Application"]);
        }

        function test_drawerPushesPages_data() {
            return [
                { tag: "Setup Parameters", page: "setupScreen", signal: "" },
                { tag: "Manual IP Add", page: "manualIP", signal: "" },
                { tag: "Count Up Controls", page: "countUpScreen", signal: "submitCountUpEntry" },
                { tag: "Count Down Controls", page: "countDnScreen", signal: "submitCountDnEntry" },
                { tag: "Tabata Controls", page: "tabataScreen", signal: "" },
                { tag: "Presentation Controls", page: "presentScreen", signal: "" },
                { tag: "Timer Programs", page: "progScreen", signal: "submitProgEntry" }
            ];
        }

        function test_drawerPushesPages(data) {
            var spy = data.signal ? spyOn(data.signal) : null;
            var toolButton = findChild(window, "toolButton");
            openFromDrawer(data.tag);
            compare(stackView.depth, 2);
            compare(stackView.currentItem, page(data.page));
            compare(toolButton.text, "\u25C0");
            if (spy)
                compare(spy.count, 1);
            mouseClick(toolButton);
            waitForStack();
            compare(stackView.depth, 1);
            compare(stackView.currentItem, page("homeScreen"));
            compare(toolButton.text, "\u22EE");
        }

        function test_drawerSignals_data() {
            return [
                { tag: "Remove Selected", signal: "submitRemoveSelected" },
                { tag: " Get All Programs", signal: "submitGetAllPrograms" },
                { tag: " Save All Programs", signal: "submitSaveAllPrograms" }
            ];
        }

        function test_drawerSignals(data) {
            var spy = spyOn(data.signal);
            openFromDrawer(data.tag);
            compare(spy.count, 1);
            compare(stackView.depth, 1);
        }

        function test_firstProgramVisitSelectsProgramOne() {
            window.bLoadedFirstProgram = false;
            var change = spyOn("submitProgChange");
            var entry = spyOn("submitProgEntry");
            openFromDrawer("Timer Programs");
            compare(change.count, 1);
            compare(change.signalArguments[0][0], 0);
            compare(change.signalArguments[0][1], "Program1");
            verify(window.bLoadedFirstProgram);
            stackView.pop();
            waitForStack();
            openFromDrawer("Timer Programs");
            compare(change.count, 1, "only the first visit selects program 1");
            compare(entry.count, 2);
        }

        function test_setupPageClampsCancelsAndSaves() {
            var saved = spyOn("submitIPParameters");
            window.iRetries = 12; // from an older store, above the spin box's range
            openFromDrawer("Setup Parameters");
            var setup = page("setupScreen");
            compare(setup.setupBroadcastIP, "127.255.255.255");
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

        function test_manualAddQueriesTypedAddress() {
            var query = spyOn("submitQuery");
            openFromDrawer("Manual IP Add");
            var manual = page("manualIP");
            manual.addManualBroadcastIP = "not an address";
            mouseClick(findByText(manual, "Save"));
            waitForStack();
            compare(query.count, 1);
            compare(query.signalArguments[0][0], "not an address");
            openFromDrawer("Manual IP Add");
            compare(manual.addManualBroadcastIP, "not an address", "the field keeps the last text");
            mouseClick(findByText(manual, "Cancel"));
            waitForStack();
            compare(query.count, 1);
        }

        // The count-up and count-down texts are followed end to end in tst_e2e_plaintimers.
        function test_intervalTextReachesEveryProgramPage() {
            window.updateIntTime("1-02:03");
            compare(page("progScreen").timeDisplay, "1-02:03");
            compare(page("tabataScreen").timeDisplay, "1-02:03");
            compare(page("presentScreen").timeDisplay, "1-02:03");
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

        function test_programNames() {
            var prog = page("progScreen");
            var change = spyOn("submitProgChange");
            var names = prog.progNameListModel;
            compare(names.count, 10);
            compare(names.get(2).programNameValue, "Laps"); // stored
            compare(names.get(9).programNameValue, "Program 10");

            window.updateProgNameCombo(3, "Sprint", false);
            compare(names.get(3).programNameValue, "Sprint");
            compare(prog.progName4, "Sprint");
            compare(prog.progChoiceCombo.currentIndex, 0);
            tryVerify(function () { return String(testSupport.storedValue("Programs/saveProgName4")) === "Sprint"; }, 5000);

            window.updateProgNameCombo(5, "Relay", true);
            compare(prog.progChoiceCombo.currentIndex, 5);
            compare(prog.progChoiceCombo.currentText, "Relay");
            compare(prog.progName6, "Relay");

            window.updateProgNameCombo(12, "Nowhere", true);
            window.updateProgNameCombo(-1, "Nowhere", true);
            compare(prog.progChoiceCombo.currentIndex, 5);
            compare(names.count, 10);
            compare(change.count, 0, "a move by the controller is not sent back");
        }
    }
}
