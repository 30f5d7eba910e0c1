import QtQuick 2.10
import QtTest 1.2

// Loads the real main window from the resources for a test file and brings it back to the
// home page before every test.
QbTestCase {
    id: testCase

    property var window: null
    property var stackView: null
    // One spy per window signal for the whole file, cleared before every test.
    property var spies: ({})

    function page(name) {
        var item = findChild(window, name);
        verify(item, "no page " + name);
        return item;
    }

    function spyOn(signalName) {
        if (!spies[signalName])
            spies[signalName] = spyComponent.createObject(testCase, { target: window, signalName: signalName });
        return spies[signalName];
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
        verify(window);
        stackView = findChild(window, "stackView");
        tryVerify(function () { return window.visible && window.width > 0; });
        // Key presses go to the active window.
        verify(testSupport.activateWindowOf(window.contentItem));
    }

    function cleanupTestCase() {
        window.destroy();
    }

    function init() {
        stackView.pop(null);
        waitForStack();
        for (var name in spies)
            spies[name].clear();
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }
}
