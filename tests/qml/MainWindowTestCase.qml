import QtQuick 2.10
import QtTest 1.2

// Loads the real main window from the resources for a test file, brings it back to the home
// page, active and with an empty display list, before every test and holds the helpers the
// tests share.
TestCase {
    id: testCase
    when: windowShown

    property var window: null
    property var stackView: null

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
        return findItem(parent, function (child) { return child.text === text && child.clicked !== undefined; });
    }

    // Clicks a dialog's button by its caption and waits for the dialog to close.
    function clickDialogButton(dialog, caption) {
        // The buttons are placed when the dialog is first drawn.
        waitForItemPolished(dialog.footer);
        mouseClick(findByText(dialog.footer, caption));
        tryCompare(dialog, "visible", false);
    }

    function page(name) {
        return findChild(window, name);
    }

    // A spy on a window signal for the running test only.
    function spyOn(signalName) {
        return createTemporaryObject(spyComponent, testCase, { target: window, signalName: signalName });
    }

    // The arguments of the spy's call `index` as a plain array.
    function argumentsOf(spy, index) {
        return Array.prototype.slice.call(spy.signalArguments[index]);
    }

    function waitForStack() {
        tryCompare(stackView, "busy", false);
    }

    function openFromDrawer(caption) {
        var drawer = findChild(window, "drawer");
        drawer.open();
        tryCompare(drawer, "position", 1.0);
        mouseClick(findByText(findChild(window, "drawerEntries"), caption));
        tryCompare(drawer, "position", 0.0);
        waitForStack();
    }

    function initTestCase() {
        var component = Qt.createComponent("qrc:/main.qml");
        compare(component.status, Component.Ready, component.errorString());
        window = component.createObject(null);
        stackView = findChild(window, "stackView");
    }

    function cleanupTestCase() {
        window.destroy();
    }

    function init() {
        // Key presses go to the active window, which a dialog's window may have taken.
        window.requestActivate();
        tryVerify(function () { return window.active; });
        testSupport.clearTimers();
        stackView.pop(null);
        waitForStack();
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }
}
