import QtQuick 2.10
import QtTest 1.2

// TestCase with the look and search helpers the QML tests share.
TestCase {
    when: windowShown

    function compareColor(actual, expected) {
        verify(Qt.colorEqual(actual, expected), actual + " is not " + expected);
    }

    // The first item below `parent` (depth first) for which `accept` is true.
    function findItem(parent, accept) {
        for (var i = 0; i < parent.children.length; ++i) {
            var child = parent.children[i];
            if (accept(child))
                return child;
            var found = findItem(child, accept);
            if (found)
                return found;
        }
        return null;
    }

    function findByText(parent, text) {
        var item = findItem(parent, function (child) { return child.text === text && child.clicked !== undefined; });
        verify(item, "no control reads " + text);
        return item;
    }
}
