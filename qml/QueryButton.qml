import QtQuick 2.10

GradientButton {
    nameStrig: "Query Timers"
    onClicked: window.submitQuery(window.broadcastIP)
}
