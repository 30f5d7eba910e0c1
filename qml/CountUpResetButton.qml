import QtQuick 2.10

// Resets the selected displays to a count-up in the chosen format.
GradientButton {
    property int timeMode: 0

    nameStrig: "Reset"
    onClicked: window.submitCountUpReset(timeMode)
}
