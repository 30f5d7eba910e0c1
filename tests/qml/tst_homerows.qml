import QtQuick 2.10
import QtTest 1.2

// The home page's display rows: a tap sends the new selection, every row (also one the list
// view creates anew) shows the selection the model holds, and a display's name is plain text.
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

        // Other loopback displays may answer the window's start-up query: rows are found by
        // address.
        function rowOf(number) {
            var row = testSupport.rowOf(address(number));
            verify(row >= 0, "display " + number + " is not listed");
            return row;
        }

        // A fresh list of unselected displays, with taps reaching the controller as in the
        // application.
        function fillList(names) {
            if (!wired) {
                window.checkBoxChanged.connect(handlegui.handlecheckBoxChanged);
                wired = true;
            }
            testSupport.clearTimers();
            for (var i = 0; i < names.length; ++i)
                testSupport.addTimer(names[i], address(i));
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
            tryCompare(card, "x", selected ? 20 : 0);
        }

        function cleanupTestCase() {
            testSupport.clearTimers();
            window.destroy();
        }

        function test_tapSendsTheOppositeOfTheModel() {
            fillList(["A", "B", "C"]);
            handlegui.handlecheckBoxChanged(rowOf(2), true);
            verifyLook(2, true);
            var taps = spyOn("checkBoxChanged");
            mouseClick(rowCard(2));
            compare(argumentsOf(taps, 0), [rowOf(2), false]);
            verifyLook(2, false);
        }

        function test_onlyTheAddressLineIsMarkup() {
            fillList(["<h1>X</h1> &lt;"]);
            var texts = [];
            findItem(rowCard(0), function (child) {
                if (child.textFormat !== undefined)
                    texts.push([child.text, child.textFormat]);
                return false;
            });
            compare(texts, [["Name: <h1>X</h1> &lt;", Text.PlainText],
                            ["<b>IP Addr:</b> 127.0.0.2", Text.RichText],
                            ["12:00:00", Text.PlainText]]);
        }
    }
}
