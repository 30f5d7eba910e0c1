import QtQuick 2.10
import QtQuick.Dialogs 1.2
import QtTest 1.2
import ProgEnums 1.0

// The program page's line editor: the fields each command takes, and lines of the default
// program 1 copied into the dialog and written back.
Item {
    MainWindowTestCase {
        name: "ProgEditor"

        function dialog() {
            return findChild(page("progScreen"), "progSetupDialog");
        }

        function part(objectName) {
            var item = findChild(dialog().contentItem, objectName);
            verify(item, "no " + objectName);
            return item;
        }

        function field(row, role) {
            return programModel.data(programModel.index(row, 0), role);
        }

        // Picks a command the way the operator does.
        function pick(index) {
            var box = part("commandBox");
            box.currentIndex = index;
            box.activated(index);
        }

        function edit(row) {
            page("progScreen").editLine(row);
            tryCompare(dialog(), "visible", true);
            waitForRendering(dialog().contentItem); // the dialog's own window takes clicks once shown
        }

        function close(button) {
            dialog().click(button);
            tryCompare(dialog(), "visible", false);
        }

        // Typing the name of another program renames the shown one and stays on it.
        function test_renameKeepsTheShownProgram() {
            openFromDrawer("Timer Programs");
            var prog = page("progScreen");
            var combo = prog.progChoiceCombo;
            var rename = spyOn("submitProgNameChange");
            var change = spyOn("submitProgChange");
            var other = combo.textAt(1);
            window.requestActivate(); // keys go to the focus window
            tryCompare(window, "active", true);
            combo.currentIndex = 3;
            combo.contentItem.forceActiveFocus();
            combo.contentItem.selectAll();
            other.toUpperCase().split("").forEach(function (c) { keyClick(c); });
            keyClick(Qt.Key_Return);
            compare(rename.count, 1);
            compare(rename.signalArguments[0][0], 3);
            compare([combo.currentIndex, combo.editText, prog.progName4, prog.progName2], [3, rename.signalArguments[0][1], rename.signalArguments[0][1], other]);
            compare(change.count, 0);
            tryVerify(function () { return String(testSupport.storedValue("Programs/saveProgName4")) === prog.progName4; }, 5000);
        }

        // Flags: increment interval, target line, repeat count, days, h/m/s, alarm, Stop/Reset.
        function test_enabledFields_data() {
            var timed = [0, 0, 0, 1, 1, 1, 0];
            return [
                { tag: "1 interval down", index: 0, on: [1, 0, 0, 0, 1, 1, 0] },
                { tag: "2 interval up", index: 1, on: [1, 0, 0, 0, 1, 1, 0] },
                { tag: "3 up h:m:s", index: 2, on: timed },
                { tag: "4 up m:s.t", index: 3, on: timed },
                { tag: "5 down h:m:s", index: 4, on: timed },
                { tag: "6 down m:s.t", index: 5, on: timed },
                { tag: "7 repeat", index: 6, on: [1, 1, 1, 0, 0, 0, 0] },
                { tag: "8 end", index: 7, on: [0, 0, 0, 0, 0, 1, 1] },
                { tag: "9 colour keeps the end line's fields", index: 8, on: [0, 0, 0, 0, 0, 1, 1] },
                { tag: "10 up d:h:m", index: 9, on: timed },
                { tag: "11 down d:h:m", index: 10, on: timed }
            ];
        }

        function test_enabledFields(data) {
            pick(7);
            pick(data.index);
            var rows = ["incRow", "gotoRow", "repeatRow", "dayRow", "hourRow", "alarmRow", "endRow"];
            var on = rows.map(function (name) { return part(name).enabled ? 1 : 0; });
            compare(on, data.on);
            compare([part("minRow").enabled, part("secRow").enabled], [on[4] === 1, on[4] === 1]);
            compare(part("colourColumn").visible, data.index === 8);
            compare(part("timerColumn").visible, data.index !== 8);
        }

        function test_linesWrittenBack() {
            var saved = spyOn("submitProgSaveProgram");
            handlegui.handleProgChange(1, "Pres:300-60");
            // Row 1 counts down from 300 to 60 seconds; it becomes an interval of 3725 seconds.
            edit(1);
            compare([dialog().command, dialog().commandStartMin, dialog().commandStopMin], [4, 5, 1]);
            verify(dialog().commandFuncEnable);
            pick(0);
            dialog().commandStartMin = 2;
            dialog().commandStartHour = 1;
            dialog().commandStartSec = 5;
            dialog().commandAlarmTime = 4; // the alarm box stays unchecked
            close(StandardButton.Save);
            compare([field(1, ProgDataRoles.CommandRole), field(1, ProgDataRoles.StartSecondsRole),
                     field(1, ProgDataRoles.StopSecondsRole), field(1, ProgDataRoles.RelayTimeSecRole)],
                    [1, 3725, 60, 0]);
            edit(1);
            compare([dialog().commandStartDay, dialog().commandStartHour, dialog().commandStartMin,
                     dialog().commandStartSec], [0, 1, 2, 5]);
            dialog().commandStopDay = 1; // more than the line holds: the longest time instead
            close(StandardButton.Save);
            compare([field(1, ProgDataRoles.StartSecondsRole), field(1, ProgDataRoles.StopSecondsRole)], [3725, 65535]);

            // A repeat pointing at its own row would loop at once and goes to row 0 instead.
            edit(3);
            pick(6);
            dialog().commandGotoLine = 4;
            close(StandardButton.Save);
            compare([field(3, ProgDataRoles.CommandRole), field(3, ProgDataRoles.GotoLineRole)], [7, 0]);
            edit(3);
            dialog().commandGotoLine = 3;
            close(StandardButton.Cancel);
            compare(field(3, ProgDataRoles.GotoLineRole), 0);
            compare(saved.count, 3);

            // The end line keeps its command; Stop and Reset exclude each other.
            edit(6);
            verify(!dialog().commandFuncEnable);
            mouseClick(part("stopBox"));
            mouseClick(part("resetBox"));
            compare([dialog().commandEndStop, dialog().commandEndReset], [false, true]);
            mouseClick(part("stopBox"));
            compare([dialog().commandEndStop, dialog().commandEndReset], [true, false]);
            close(StandardButton.Save);
            compare([field(6, ProgDataRoles.CommandRole), field(6, ProgDataRoles.GotoLineRole)], [8, 2]);
        }
    }
}
