import QtQuick 2.10

GradientButton {
    nameStrig: "Reset"
    onClicked: window.submitProgReset()
}
