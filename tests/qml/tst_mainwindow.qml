import QtQuick 2.10
import QtTest 1.2

// The main window: the drawer and the page stack, the display rows, the values restored from
// the store and the setup page, the functions through which the controller sets the captions,
// and the shortcuts: each emits what a click on its button emits, and only where that button is
// shown (Space reaches any page's `startPauseButton` the same way).
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

    // Other loopback displays may answer the window's start-up query: rows are found by
    // address.
    function rowCard(address) {
        var list = findChild(page("homeScreen"), "timerList");
        var row = testSupport.rowOf(address);
        tryVerify(function () { return list.itemAtIndex(row) !== null; }, 5000, "row " + row + " is not shown");
        return findChild(list.itemAtIndex(row), "rowCard");
    }

    // A row shows the selection the model holds and a tap sends the opposite.
    function test_rowTapSendsTheOppositeOfTheModel() {
        ["127.0.0.2", "127.0.0.3", "127.0.0.4"].forEach(function (address) { testSupport.addTimer("T", address); });
        var row = testSupport.rowOf("127.0.0.4");
        handlegui.handlecheckBoxChanged(row, true);
        var card = rowCard("127.0.0.4");
        verify(Qt.colorEqual(card.color, "#f73e3e"), card.color);
        tryCompare(card, "x", 20);
        var taps = spyOn("checkBoxChanged");
        mouseClick(card);
        compare(argumentsOf(taps, 0), [row, false]);
        handlegui.handlecheckBoxChanged(row, false);
        verify(Qt.colorEqual(card.color, "white"), card.color);
        tryCompare(card, "x", 0);
    }

    // A display's name is plain text.
    function test_onlyTheRowsAddressLineIsMarkup() {
        testSupport.addTimer("<h1>X</h1> &lt;", "127.0.0.2");
        var texts = [];
        findItem(rowCard("127.0.0.2"), function (child) {
            if (child.textFormat !== undefined)
                texts.push([child.text, child.textFormat]);
            return false;
        });
        compare(texts, [["Name: <h1>X</h1> &lt;", Text.PlainText],
                        ["<b>IP Addr:</b> 127.0.0.2", Text.RichText],
                        ["12:00:00", Text.PlainText]]);
    }

    // The stored values come back (a retry count above the spin box's range, from an older
    // store, shows as the limit); Escape leaves the setup page without saving or querying, and
    // Save sends the page's values.
    function test_setupPage() {
        var format = findItem(page("presentScreen"), function (child) { return child.currentText !== undefined; });
        compare([window.broadcastIP, window.iRetries, window.iRefresh, page("tabataScreen").workTime, format.displayText],
                ["127.255.255.255", 7, 12, 45, "(HR):MIN:SEC.tSec"]);
        var saved = spyOn("submitIPParameters");
        var query = spyOn("submitQuery");
        window.iRetries = 12;
        var setup = page("setupScreen");
        openFromDrawer("Setup Parameters");
        compare(setup.setupRetries, 10);
        setup.setupDelay = 900;
        setup.setupBroadcastIP = "127.0.0.5";
        keyClick(Qt.Key_F5);
        keyClick(Qt.Key_Escape);
        waitForStack();
        compare([stackView.depth, saved.count, query.count, window.iRetries, window.iDelay, window.broadcastIP],
                [1, 0, 0, 12, 350, "127.255.255.255"]);
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
        window.updateDnStartPause(true);
        compare(captions(), ["Start", "Pause", "Start", "Start", "Start"]);
        window.updateDnStartPause(false);
        window.updateUpStartPause(true);
        window.updateProgStartPause(true);
        compare(captions(), ["Pause", "Start", "Pause", "Pause", "Pause"]);
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
}
