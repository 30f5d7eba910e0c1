import QtQuick 2.10
import QtTest 1.2
import "qrc:/"

// The shared controls on their own: gradient button feedback, spin box range and look, check box.
Item {
    id: root
    width: 400
    height: 400

    GradientButton {
        id: button
        nameStrig: "Go"
    }

    GradientButton {
        id: holdButton
        y: 100
        holdable: true
    }

    MySpinBox {
        id: spinBox
        y: 200
        width: 200
        height: 50
        to: 10
    }

    MyCheckbox {
        id: checkBox
        y: 300
    }

    SignalSpy { id: clickSpy; target: button; signalName: "clicked" }
    SignalSpy { id: holdClickSpy; target: holdButton; signalName: "clicked" }
    SignalSpy { id: heldSpy; target: holdButton; signalName: "held" }

    QbTestCase {
        name: "GradientButton"

        function init() {
            clickSpy.clear();
            holdClickSpy.clear();
            heldSpy.clear();
        }

        function verifyRestLook(target) {
            compareColor(target.grad1, "#fa8787");
            compareColor(target.grad2, "#f85656");
            compareColor(target.grad3, "#f62626");
            compareColor(target.bcolor, "#df0909");
            compare(target.bwidth, 1);
        }

        function test_pressTurnsGradientUpsideDown() {
            mousePress(button);
            compareColor(button.grad1, "#f62626");
            compareColor(button.grad3, "#fa8787");
            compareColor(button.bcolor, "black");
            compare(button.bwidth, 2);
            mouseRelease(button);
            verifyRestLook(button);
            compare(clickSpy.count, 1);
        }

        function test_slideOffRestoresWithoutClick() {
            mousePress(button, 10, 10);
            mouseMove(button, button.width + 40, button.height + 40);
            mouseRelease(button, button.width + 40, button.height + 40);
            verifyRestLook(button);
            compare(clickSpy.count, 0);
        }

        function test_longPressOnHoldableButtonHoldsWithoutClick() {
            mousePress(holdButton);
            tryCompare(heldSpy, "count", 1, 3000);
            mouseRelease(holdButton);
            compare(holdClickSpy.count, 0);
            mouseClick(holdButton);
            compare(holdClickSpy.count, 1);
            compare(heldSpy.count, 1);
        }
    }

    QbTestCase {
        name: "MySpinBox"

        function init() {
            spinBox.enabled = true;
            spinBox.value = 5;
        }

        function test_defaultAboveRangeShowsLimit() {
            var fresh = createTemporaryObject(Qt.createComponent("qrc:/MySpinBox.qml"), root, { to: 10 });
            compare(fresh.value, 10);
            compare(fresh.contentItem.text, "10");
            compare(fresh.editable, true);
        }

        function test_typingSetsValueOnEachKeystroke() {
            spinBox.contentItem.forceActiveFocus();
            spinBox.contentItem.selectAll();
            keyClick(Qt.Key_7);
            compare(spinBox.value, 7);
            keyClick(Qt.Key_Backspace);
            compare(spinBox.value, 7, "an empty field leaves the value alone");
            keyClick(Qt.Key_9);
            compare(spinBox.value, 9);
        }

        function test_stepBoxes() {
            mouseClick(spinBox.up.indicator);
            compare(spinBox.value, 6);
            mouseClick(spinBox.down.indicator);
            mouseClick(spinBox.down.indicator);
            compare(spinBox.value, 4);
            mousePress(spinBox.up.indicator);
            compareColor(spinBox.up.indicator.color, "black");
            mouseRelease(spinBox.up.indicator);
            compareColor(spinBox.up.indicator.color, "#fa8787");
            spinBox.value = 10;
            mouseClick(spinBox.up.indicator);
            compare(spinBox.value, 10);
            compareColor(spinBox.up.indicator.color, "#fa8787"); // no grey at the limit
        }

        function test_disabledLookIsGreyAndInert() {
            spinBox.enabled = false;
            compareColor(spinBox.up.indicator.color, "lightgray");
            compareColor(spinBox.down.indicator.color, "lightgray");
            compareColor(spinBox.contentItem.color, "lightgray");
            mouseClick(spinBox.up.indicator);
            compare(spinBox.value, 5);
            spinBox.enabled = true;
            compareColor(spinBox.contentItem.color, "black");
        }
    }

    QbTestCase {
        name: "MyCheckbox"

        function test_clickToggles() {
            var mark = checkBox.indicator.children[0];
            compare(checkBox.checked, false);
            verify(!mark.visible);
            mouseClick(checkBox);
            compare(checkBox.checked, true);
            verify(mark.visible);
            compareColor(mark.color, "#f73e3e");
            mouseClick(checkBox);
            compare(checkBox.checked, false);
        }

        function test_disabledLook() {
            checkBox.checked = true;
            checkBox.enabled = false;
            compareColor(checkBox.indicator.border.color, "lightgray");
            compareColor(checkBox.indicator.children[0].color, "lightgray");
            mouseClick(checkBox);
            compare(checkBox.checked, true);
            checkBox.enabled = true;
            compareColor(checkBox.indicator.border.color, "#f73e3e");
            checkBox.checked = false;
        }
    }
}
