import QtQuick 2.10
import QtQuick.Controls 2.3

// The spin box of every form: red + and - boxes, a typed number takes effect on each keystroke.
SpinBox {
    id: control

    property int boxsize: Theme.onAndroid ? 120 : 40
    property int boxwidth: Theme.onAndroid ? 140 : 50

    value: 50
    editable: true

    contentItem: TextInput {
        z: 2
        text: control.textFromValue(control.value, control.locale)
        font: control.font
        color: control.enabled ? "black" : Theme.disabled
        selectionColor: Theme.disabled
        selectedTextColor: "white"
        horizontalAlignment: Qt.AlignHCenter
        verticalAlignment: Qt.AlignVCenter
        readOnly: !control.editable
        validator: control.validator
        inputMethodHints: Qt.ImhDigitsOnly
        onTextEdited: {
            if (acceptableInput)
                control.value = control.valueFromText(text, control.locale);
        }
    }

    up.indicator: SpinStepBox {
        x: control.mirrored ? 0 : control.width - width
        height: control.height
        implicitWidth: control.boxsize
        implicitHeight: control.boxsize
        sign: "+"
        pressed: control.up.pressed
        active: control.enabled
        signPixelSize: control.font.pixelSize * 2
    }

    down.indicator: SpinStepBox {
        x: control.mirrored ? control.width - width : 0
        height: control.height
        implicitWidth: control.boxsize
        implicitHeight: control.boxsize
        sign: "-"
        pressed: control.down.pressed
        active: control.enabled
        signPixelSize: control.font.pixelSize * 2
    }

    background: Rectangle {
        implicitWidth: control.boxwidth
        border.color: Theme.spinFrame
    }
}
