import QtQuick 2.10

// The red push button behind every Start/Pause, Reset and query action. The gradient turns
// upside down while pressed; releasing outside the button restores the rest look and does
// nothing else.
Rectangle {
    id: button

    property string nameStrig
    property color grad1: Theme.gradientTop
    property color grad2: Theme.gradientMiddle
    property color grad3: Theme.gradientBottom
    property color bcolor: Theme.buttonBorder
    property real bwidth: 1
    readonly property alias text: caption.text
    // A button that takes press-and-hold gets `held` instead of `clicked` after a long press.
    property bool holdable: false

    signal clicked
    signal held

    function showPressed() {
        grad1 = Theme.gradientBottom;
        grad3 = Theme.gradientTop;
        bcolor = "black";
        bwidth = 2;
    }

    function showReleased() {
        grad1 = Theme.gradientTop;
        grad3 = Theme.gradientBottom;
        bcolor = Theme.buttonBorder;
        bwidth = 1;
    }

    implicitWidth: 145
    implicitHeight: 60
    radius: 9
    smooth: true
    border.color: bcolor
    border.width: bwidth
    gradient: Gradient {
        GradientStop { position: 0.0; color: button.grad1 }
        GradientStop { position: 0.57; color: button.grad2 }
        GradientStop { position: 0.9; color: button.grad3 }
    }

    Text {
        id: caption
        anchors.centerIn: parent
        text: button.nameStrig
        textFormat: Text.PlainText // preset captions come from the settings
        font.pointSize: 16
        color: "black"
    }

    MouseArea {
        anchors.fill: parent
        onPressed: button.showPressed()
        onReleased: button.showReleased()
        onCanceled: button.showReleased()
        onClicked: button.clicked()
        onPressAndHold: function (mouse) {
            // An unaccepted long press still ends in a click.
            mouse.accepted = button.holdable;
            if (button.holdable)
                button.held();
        }
    }
}
