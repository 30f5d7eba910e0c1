import QtQuick 2.10

GradientButton {
    nameStrig: "Start"
    onClicked: window.submitCountUpStart()
}
