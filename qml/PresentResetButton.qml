import QtQuick 2.10

// Sends the presentation values to the controller, then keeps them as the page's new defaults.
GradientButton {
    property int startTime: 0
    property int changeTime: 0
    property int presentFormat: 0
    property bool countupCB: false
    property bool alarmCB: false

    nameStrig: "Reset"
    onClicked: {
        window.submitPresentReset(startTime, changeTime, presentFormat, countupCB, alarmCB);
        window.presStartTime = startTime;
        window.presChangeTime = changeTime;
        window.presFormat = presentFormat;
        window.presCountUp = countupCB;
        window.presAlarmCB = alarmCB;
    }
}
