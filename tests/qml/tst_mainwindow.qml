import QtQuick 2.10
import QtTest 1.2
import ProgEnums 1.0

// The main window: the drawer and the page stack, the display rows, the values restored from
// the store and the setup page, the count-down page's presets, the functions through which the
// controller sets the captions, and the program page's line editor.
MainWindowTestCase {
    name: "MainWindow"

    readonly property var lineEditor: window ? findChild(window, "progSetupDialog") : null

    function test_drawerEntries_data() {
        return [
            { tag: "Setup Parameters", page: "setupScreen", signal: "" },
            { tag: "Manual IP Add", page: "manualIP", signal: "" },
            { tag: "Count Up Controls", page: "countUpScreen", signal: "submitCountUpEntry" },
            { tag: "Count Down Controls", page: "countDnScreen", signal: "submitCountDnEntry" },
            { tag: "Timer Programs", page: "progScreen", signal: "submitProgEntry" },
            { tag: "Remove Selected", page: "", signal: "submitRemoveSelected" },
            { tag: " Get All Programs", page: "", signal: "submitGetAllPrograms" },
            { tag: " Save All Programs", page: "", signal: "submitSaveAllPrograms" },
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
    }

    // Space presses the shown page's Start button, as a click would.
    function test_spaceStartsTheShownPage_data() {
        return [
            { tag: "Count Up Controls", signal: "submitCountUpStart" },
            { tag: "Count Down Controls", signal: "submitCountDnStart" },
            { tag: "Timer Programs", signal: "submitProgStart" },
        ];
    }

    function test_spaceStartsTheShownPage(data) {
        openFromDrawer(data.tag);
        var start = spyOn(data.signal);
        keyClick(Qt.Key_Space);
        compare(start.count, 1);
    }

    // Reset sends what the page shows and only then keeps it as the page's new defaults.
    function test_resetKeepsThePageValues_data() {
        return [
            { tag: "Tabata Controls", page: "tabataScreen", signal: "submitTabataReset", values: [40, 15, 0, false],
              fields: ["workTime", "restTime", "repKount", "useRelay"],
              kept: ["tabWorkTime", "tabRestTime", "tabIntervalKount", "tabUseRelay"] },
            { tag: "Presentation Controls", page: "presentScreen", signal: "submitPresentReset", values: [600, 120, 2, true, true],
              fields: ["startTime", "changeTime", "presentFormat", "countupCB", "alarmCB"],
              kept: ["presStartTime", "presChangeTime", "presFormat", "presCountUp", "presAlarmCB"] },
        ];
    }

    function test_resetKeepsThePageValues(data) {
        var item = page(data.page);
        var keptBefore = data.kept.map(function (name) { return window[name]; });
        var shownBefore = data.fields.map(function (name) { return item[name]; });
        var keptAtSignal = [];
        var atSignal = function () { keptAtSignal = data.kept.map(function (name) { return window[name]; }); };
        window[data.signal].connect(atSignal);
        openFromDrawer(data.tag);
        data.fields.forEach(function (name, i) { item[name] = data.values[i]; });
        mouseClick(findByText(item, "Reset"));
        window[data.signal].disconnect(atSignal);
        compare(keptAtSignal, keptBefore);
        compare(data.kept.map(function (name) { return window[name]; }), data.values);
        // The other tests see the seeded values.
        data.kept.forEach(function (name, i) { window[name] = keptBefore[i]; });
        data.fields.forEach(function (name, i) { item[name] = shownBefore[i]; });
    }

    // The first visit to the program page opens program 1 and shows it, also after the
    // controller had shown another one (a Tabata Reset shows program 9); later visits open
    // nothing.
    function test_firstProgramPageVisitShowsProgramOne() {
        var selector = page("progScreen").progChoiceCombo;
        window.bLoadedFirstProgram = false;
        window.updateProgNameCombo(9, selector.textAt(9), true);
        var change = spyOn("submitProgChange");
        openFromDrawer("Timer Programs");
        compare(argumentsOf(change, 0), [0, "Program1"]);
        compare(selector.currentIndex, 0);
        window.updateProgNameCombo(9, selector.textAt(9), true);
        stackView.pop(null);
        waitForStack();
        openFromDrawer("Timer Programs");
        compare([change.count, selector.currentIndex], [1, 9]);
    }

    // Other loopback displays may answer the window's start-up query: rows are found by
    // address.
    function rowCard(address) {
        var list = findChild(page("homeScreen"), "timerList");
        var row = testSupport.rowOf(address);
        tryVerify(function () { return list.itemAtIndex(row) !== null; }, 5000, "row " + row + " is not shown");
        return findChild(list.itemAtIndex(row), "rowCard");
    }

    // A row shows the selection the model holds, shifted right with its time still in view, and
    // a tap sends the opposite.
    function test_rowTapSendsTheOppositeOfTheModel() {
        ["127.0.0.2", "127.0.0.3", "127.0.0.4"].forEach(function (address) { testSupport.addTimer("T", address); });
        var row = testSupport.rowOf("127.0.0.4");
        handlegui.handlecheckBoxChanged(row, true);
        var card = rowCard("127.0.0.4");
        verify(Qt.colorEqual(card.color, "#f73e3e"), card.color);
        tryCompare(card, "x", 20);
        var list = findChild(page("homeScreen"), "timerList");
        var time = findChild(card, "rowTime");
        var timeRight = time.mapToItem(list, time.width, 0).x;
        verify(timeRight <= list.width, timeRight + " > " + list.width);
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
                        ["12:00:00", Text.PlainText],
                        ["", Text.PlainText]]);
    }

    // A display that missed a command gets a red edge, a grey clock and when it last answered;
    // an answer takes the marks away.
    function test_aDisplayThatMissedACommandIsMarked() {
        testSupport.addTimer("Gym", "127.0.0.2");
        var card = rowCard("127.0.0.2");
        var health = findChild(card, "rowHealth");
        var time = findChild(card, "rowTime");
        verify(!health.visible);
        var missedAt = new Date(2026, 11, 8, 20, 14, 5);
        testSupport.noteMissed("127.0.0.2", missedAt.getTime());
        compare([health.visible, health.text], [true, "no answer since 20:14:05"]);
        verify(Qt.colorEqual(card.border.color, "#c00000"), card.border.color);
        verify(Qt.colorEqual(time.color, "gray"), time.color);
        testSupport.noteAnswer("127.0.0.2");
        verify(!health.visible);
        verify(Qt.colorEqual(card.border.color, "black"), card.border.color);
        verify(Qt.colorEqual(time.color, "black"), time.color);
    }

    // The stored values come back (a retry count above the spin box's range, from an older
    // store, shows as the limit); Escape leaves the setup page without saving, F5 queries from
    // the home page only, and Save sends the page's values.
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
        keyClick(Qt.Key_F5);
        compare(query.count, 1);
    }

    function test_startPauseCaptions() {
        window.updateDnStartPause(true);
        window.updateProgStartPause(true);
        compare([page("countUpScreen").upStartButtonText, page("countDnScreen").dnStartButtonText,
                 page("progScreen").progStartButtonText, page("tabataScreen").tabStartButtonText,
                 page("presentScreen").presentStartButtonText], ["Start", "Pause", "Pause", "Pause", "Pause"]);
    }

    // The mirror's time reaches a page's display, shown when the page is opened and as it
    // changes while shown.
    function test_timeShownOnItsPage() {
        var shows = function (text) {
            return findItem(page("countDnScreen"), function (child) {
                return child.text === text && child.font !== undefined;
            }) !== null;
        };
        window.updateDnTime("01:02:03.4");
        openFromDrawer("Count Down Controls");
        verify(shows("01:02:03.4"));
        window.updateDnTime("01:02:03.3");
        verify(shows("01:02:03.3"));
    }

    // Presets come from a repeater, so they are found among the page's items.
    function presetButton(category) {
        return findItem(page("countDnScreen"), function (child) { return child.objectName === category; });
    }

    // A stored preset (countdown2) comes back with its plain-text caption; an edited one is sent.
    function test_presetsSendAndEdit() {
        openFromDrawer("Count Down Controls");
        var reset = spyOn("submitCountDnReset");
        var stored = presetButton("countdown2");
        var caption = findItem(stored, function (child) { return child.text === "<i>Warm-up</i>"; });
        compare(caption ? caption.textFormat : "no caption", Text.PlainText);
        mouseClick(stored);
        compare(argumentsOf(reset, 0), [0, 0, 0, 7, 45, 0, 0]);

        var preset = presetButton("countdown3");
        var dialog = preset.dialog;
        mousePress(preset);
        tryCompare(dialog, "visible", true, 5000);
        mouseRelease(preset);
        compare([dialog.title, dialog.buttonMin], ["1 Min", 1]);
        dialog.buttonName = "1 Hour";
        dialog.buttonHour = 1;
        dialog.buttonMin = 0;
        dialog.buttonAlarmEnabled = true;
        dialog.buttonAlarmTime = 5;
        dialog.buttonMode = 1;
        clickDialogButton(dialog, "Save");
        compare([reset.count, preset.text], [1, "1 Hour"], "a long press is not a click");
        mouseClick(preset);
        compare(argumentsOf(reset, 1), [1, 0, 1, 0, 0, 1, 5]);
    }

    // Both dialogs over their page: Save writes the edit back; Cancel and Escape leave it as it
    // was, and Escape closes only the dialog, not the page under it.
    function test_dialogCloses_data() {
        var rows = [];
        ["Save", "Cancel", "Escape"].forEach(function (how) {
            rows.push({ tag: "preset " + how, how: how, kept: how === "Save", page: "Count Down Controls" });
            rows.push({ tag: "line " + how, how: how, kept: how === "Save", page: "Timer Programs" });
        });
        return rows;
    }

    function test_dialogCloses(data) {
        openFromDrawer(data.page);
        var dialog, edited;
        if (data.page === "Timer Programs") {
            handlegui.handleProgChange(0, "Tab 60/15");
            var repeatLine = programModel.index(4, 0);
            var count = programModel.data(repeatLine, ProgDataRoles.RepeatCountSetRole);
            dialog = lineEditor;
            page("progScreen").editLine(4);
            dialog.commandRepeatCountSet = count + 1;
            edited = function () {
                var changed = programModel.data(repeatLine, ProgDataRoles.RepeatCountSetRole) !== count;
                programModel.setData(repeatLine, count, ProgDataRoles.RepeatCountSetRole);
                return changed;
            };
        } else {
            var preset = presetButton("countdown5");
            dialog = preset.dialog;
            var before = preset.nameStrig;
            mousePress(preset);
            tryCompare(dialog, "visible", true, 5000);
            mouseRelease(preset);
            dialog.buttonName = "Edited";
            edited = function () {
                var changed = preset.nameStrig === "Edited";
                preset.nameStrig = before;
                return changed;
            };
        }
        tryCompare(dialog, "opened", true);
        if (data.how === "Escape") {
            keyClick(Qt.Key_Escape);
            tryCompare(dialog, "visible", false);
        } else {
            clickDialogButton(dialog, data.how);
        }
        compare([edited(), stackView.depth], [data.kept, 2]);
    }

    // Captions are point size 12 but for the name and the two headings.
    function test_dialogCaptionSizes() {
        var dialog = presetButton("countdown4").dialog;
        var expected = { "Name:": 16, "Initial Countdown Time:": 16, "Start Days:": 12,
                         "Start Hours:": 12, "Start Mins": 12, "Start Secs": 12,
                         "End of Countdown Alarm:": 16, "Alarm:": 12, "Secs": 12, "Mode:": 12,
                         "(HR):MIN:SEC.tSec": 16 };
        var sizes = {};
        for (var caption in expected) {
            var item = findItem(dialog.contentItem, function (child) {
                return child.text === caption && child.textFormat !== undefined;
            });
            sizes[caption] = item ? item.font.pointSize : "missing";
        }
        compare(JSON.stringify(sizes), JSON.stringify(expected));
    }

    // The line editor: the fields each command takes, and lines of the default program 1 copied
    // into the dialog and written back.
    function part(objectName) {
        return findChild(lineEditor.contentItem, objectName);
    }

    // The listed roles of line `row`.
    function fields(row, roles) {
        return roles.map(function (role) { return programModel.data(programModel.index(row, 0), role); });
    }

    // Picks a command the way the operator does.
    function pick(index) {
        part("commandBox").currentIndex = index;
        part("commandBox").activated(index);
    }

    function edit(row) {
        page("progScreen").editLine(row);
        tryCompare(lineEditor, "visible", true);
    }

    // Flags: increment interval, target line, repeat count, days, h/m/s, alarm, Stop/Reset.
    function test_enabledFields_data() {
        return [
            { tag: "1, 2 intervals", indices: [0, 1], on: [1, 0, 0, 0, 1, 1, 0] },
            { tag: "3, 4, 10 up; 5, 6, 11 down", indices: [2, 3, 9, 4, 5, 10], on: [0, 0, 0, 1, 1, 1, 0] },
            { tag: "7 repeat", indices: [6], on: [1, 1, 1, 0, 0, 0, 0] },
            { tag: "8 end", indices: [7], on: [0, 0, 0, 0, 0, 1, 1] },
            { tag: "9 colour keeps the end line's fields", indices: [8], on: [0, 0, 0, 0, 0, 1, 1] }
        ];
    }

    function test_enabledFields(data) {
        edit(0);
        var rows = ["incRow", "gotoRow", "repeatRow", "dayRow", "hourRow", "alarmRow", "endRow"];
        data.indices.forEach(function (index) {
            pick(7);
            pick(index);
            var on = rows.map(function (name) { return part(name).enabled ? 1 : 0; });
            compare(on, data.on, "index " + index);
            compare([part("minRow").enabled, part("secRow").enabled], [on[4] === 1, on[4] === 1]);
            compare([part("colourColumn").visible, part("timerColumn").visible], [index === 8, index !== 8]);
        });
        clickDialogButton(lineEditor, "Cancel");
    }

    function test_linesWrittenBack() {
        handlegui.handleProgChange(1, "Pres:300-60");
        // Row 1 counts down from 300 to 60 seconds; it becomes an interval of 3725 seconds, and
        // its stop time more than the line holds: the longest time instead.
        edit(1);
        compare([lineEditor.command, lineEditor.commandStartMin, lineEditor.commandStopMin], [4, 5, 1]);
        pick(0);
        lineEditor.commandStartMin = 2;
        lineEditor.commandStartHour = 1;
        lineEditor.commandStartSec = 5;
        lineEditor.commandStopDay = 1;
        lineEditor.commandAlarmTime = 4; // the alarm box stays unchecked
        clickDialogButton(lineEditor, "Save");
        compare(fields(1, [ProgDataRoles.CommandRole, ProgDataRoles.StartSecondsRole, ProgDataRoles.StopSecondsRole,
                           ProgDataRoles.RelayTimeSecRole]), [1, 3725, 65535, 0]);

        // The go-to box counts lines from 1; a repeat pointing at its own line goes to row 0.
        edit(3);
        pick(6);
        lineEditor.commandGotoLine = 2;
        clickDialogButton(lineEditor, "Save");
        compare(fields(3, [ProgDataRoles.CommandRole, ProgDataRoles.GotoLineRole]), [7, 1]);
        edit(3);
        lineEditor.commandGotoLine = 4;
        clickDialogButton(lineEditor, "Save");
        compare(fields(3, [ProgDataRoles.GotoLineRole]), [0]);

        // The end line keeps its command; Stop and Reset exclude each other.
        edit(6);
        verify(!lineEditor.commandFuncEnable);
        mouseClick(part("stopBox"));
        mouseClick(part("resetBox"));
        compare([lineEditor.commandEndStop, lineEditor.commandEndReset], [false, true]);
        mouseClick(part("stopBox"));
        compare([lineEditor.commandEndStop, lineEditor.commandEndReset], [true, false]);
        clickDialogButton(lineEditor, "Save");
        compare(fields(6, [ProgDataRoles.CommandRole, ProgDataRoles.GotoLineRole]), [8, 2]);
    }
}
