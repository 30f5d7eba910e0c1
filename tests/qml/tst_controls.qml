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

    QbTestCase {
        name: "GradientButton"

        function init() {
            clickSpy.clear();
        }

        function verifyRestLook() {
            compareColor(button.grad1, "#fa8787");
            compareColor(button.grad2, "#f85656");
            compareColor(button.grad3, "#f62626");
            compareColor(button.bcolor, "#df0909");
            compare(button.bwidth, 1);
        }

        function test_pressTurnsGradientUpsideDown() {
            mousePress(button);
            compareColor(button.grad1, "#f62626");
            compareColor(button.grad3, "#fa8787");
            compareColor(button.bcolor, "black");
            compare(button.bwidth, 2);
            mouseRelease(button);
            verifyRestLook();
            compare(clickSpy.count, 1);
        }

        function test_slideOffRestoresWithoutClick() {
            mousePress(button, 10, 10);
            mouseMove(button, button.width + 40, button.height + 40);
            mouseRelease(button, button.width + 40, button.height + 40);
            verifyRestLook();
            compare(clickSpy.count, 0);
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
