import QtQuick 2.10
import QtTest 1.2

// The home page's display rows: a tap sends the new selection, and every row, also one the
// list view creates anew, shows the selection the model holds.
Item {
    MainWindowTestCase {
        name: "HomeRows"

        property bool wired: false

        function timerList() {
            return findChild(page("homeScreen"), "timerList");
        }

        function address(number) {
            return "127.0.0." + (number + 2);
        }

        // The row of display `number` of fillList().
        function rowOf(number) {
            var row = testSupport.rowOf(address(number));
            verify(row >= 0, "display " + number + " is not listed");
            return row;
        }

        // A fresh list of `count` unselected displays on loopback addresses, with taps reaching
        // the controller as they do in the application.
        function fillList(count) {
            if (!wired) {
                window.checkBoxChanged.connect(handlegui.handlecheckBoxChanged);
                wired = true;
            }
            testSupport.clearTimers();
            for (var i = 0; i < count; ++i)
                testSupport.addTimer("Clock " + i, address(i));
            waitForItemPolished(timerList());
        }

        function rowCard(number) {
            var list = timerList();
            var row = rowOf(number);
            tryVerify(function () { return list.itemAtIndex(row) !== null; }, 5000, "row " + row + " is not shown");
            return findChild(list.itemAtIndex(row), "rowCard");
        }

        function verifyLook(number, selected) {
            var card = rowCard(number);
            compareColor(card.color, selected ? "#f73e3e" : "white");
            compare(card.state, selected ? "Current" : "");
            tryCompare(card, "x", selected ? 20 : 0);
        }

        function cleanupTestCase() {
            testSupport.clearTimers();
            window.destroy();
        }

        function test_selectionMadeElsewhereIsShown() {
            fillList(3);
            handlegui.handlecheckBoxChanged(rowOf(2), true);
            verifyLook(2, true);
            var taps = spyOn("checkBoxChanged");
            mouseClick(rowCard(2));
            compare(argumentsOf(taps, 0), [rowOf(2), false], "a tap sends the opposite of the model's state");
            verifyLook(2, false);
        }

        function test_recreatedRowShowsModelSelection() {
            fillList(30);
            var list = timerList();
            list.cacheBuffer = 0;
            mouseClick(rowCard(0));
            verifyLook(0, true);
            list.currentIndex = -1; // the view keeps its current row alive
            list.positionViewAtEnd();
            tryVerify(function () { return list.itemAtIndex(rowOf(0)) === null; }, 5000, "row still exists");
            list.positionViewAtBeginning();
            verifyLook(0, true);
            verifyLook(1, false);
        }

        function test_newRowStartsUnselected() {
            fillList(1);
            mouseClick(rowCard(0));
            testSupport.addTimer("Late", address(38));
            verifyLook(38, false);
            verifyLook(0, true);
        }
    }
}
