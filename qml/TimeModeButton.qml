import QtQuick 2.10

// Returns the selected displays to the time of day.
CommandButton {
    text: qsTr("Set Time Mode")
    onClicked: window.submitTimeMode()
}
