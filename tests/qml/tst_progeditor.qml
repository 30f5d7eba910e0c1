import QtQuick 2.10
import QtQuick.Dialogs 1.2
import QtTest 1.2
import ProgEnums 1.0

// The program page's line editor: the fields each command takes, and lines of the default
// program 1 copied into the dialog and written back.
MainWindowTestCase {
    name: "ProgEditor"

    function dialog() {
        return findChild(page("progScreen"), "progSetupDialog");
    }

    function part(objectName) {
        return findChild(dialog().contentItem, objectName);
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
        tryCompare(dialog(), "visible", true);
        waitForRendering(dialog().contentItem); // the dialog's own window takes clicks once shown
    }

    function close(button) {
        dialog().click(button);
        tryCompare(dialog(), "visible", false);
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
        var rows = ["incRow", "gotoRow", "repeatRow", "dayRow", "hourRow", "alarmRow", "endRow"];
        data.indices.forEach(function (index) {
            pick(7);
            pick(index);
            var on = rows.map(function (name) { return part(name).enabled ? 1 : 0; });
            compare(on, data.on, "index " + index);
            compare([part("minRow").enabled, part("secRow").enabled], [on[4] === 1, on[4] === 1]);
            compare([part("colourColumn").visible, part("timerColumn").visible], [index === 8, index !== 8]);
        });
    }

    function test_linesWrittenBack() {
        var saved = spyOn("submitProgSaveProgram");
        handlegui.handleProgChange(1, "Pres:300-60");
        // Row 1 counts down from 300 to 60 seconds; it becomes an interval of 3725 seconds, and
        // its stop time more than the line holds: the longest time instead.
        edit(1);
        compare([dialog().command, dialog().commandStartMin, dialog().commandStopMin], [4, 5, 1]);
        pick(0);
        dialog().commandStartMin = 2;
        dialog().commandStartHour = 1;
        dialog().commandStartSec = 5;
        dialog().commandStopDay = 1;
        dialog().commandAlarmTime = 4; // the alarm box stays unchecked
        close(StandardButton.Save);
        compare(fields(1, [ProgDataRoles.CommandRole, ProgDataRoles.StartSecondsRole, ProgDataRoles.StopSecondsRole,
                           ProgDataRoles.RelayTimeSecRole]), [1, 3725, 65535, 0]);

        // The go-to box counts lines from 1; a repeat pointing at its own line goes to row 0.
        edit(3);
        pick(6);
        dialog().commandGotoLine = 2;
        close(StandardButton.Save);
        compare(fields(3, [ProgDataRoles.CommandRole, ProgDataRoles.GotoLineRole]), [7, 1]);
        edit(3);
        dialog().commandGotoLine = 4;
        close(StandardButton.Save);
        compare(fields(3, [ProgDataRoles.GotoLineRole]), [0]);
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
        compare(fields(6, [ProgDataRoles.CommandRole, ProgDataRoles.GotoLineRole]), [8, 2]);
    }
}
