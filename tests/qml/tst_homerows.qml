import QtQuick 2.10
import QtTest 1.2

// The home page's display rows: a row shows the selection the model holds, a tap sends the
// opposite, and a display's name is plain text.
MainWindowTestCase {
    name: "HomeRows"

    // Other loopback displays may answer the window's start-up query: rows are found by
    // address.
    function rowCard(address) {
        var list = findChild(page("homeScreen"), "timerList");
        var row = testSupport.rowOf(address);
        verify(row >= 0, address + " is not listed");
        tryVerify(function () { return list.itemAtIndex(row) !== null; }, 5000, "row " + row + " is not shown");
        return findChild(list.itemAtIndex(row), "rowCard");
    }

    function cleanupTestCase() {
        testSupport.clearTimers();
        window.destroy();
    }

    function test_tapSendsTheOppositeOfTheModel() {
        testSupport.clearTimers();
        ["127.0.0.2", "127.0.0.3", "127.0.0.4"].forEach(function (address) { testSupport.addTimer("T", address); });
        var row = testSupport.rowOf("127.0.0.4");
        handlegui.handlecheckBoxChanged(row, true);
        var card = rowCard("127.0.0.4");
        compareColor(card.color, "#f73e3e");
        tryCompare(card, "x", 20);
        var taps = spyOn("checkBoxChanged");
        mouseClick(card);
        compare(argumentsOf(taps, 0), [row, false]);
        handlegui.handlecheckBoxChanged(row, false);
        compareColor(card.color, "white");
        tryCompare(card, "x", 0);
    }

    function test_onlyTheAddressLineIsMarkup() {
        testSupport.clearTimers();
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
}
