import QtQuick 2.10

// Sends the Tabata values to the controller, then keeps them as the page's new defaults.
GradientButton {
    property int workTime: 0
    property int restTime: 0
    property int repKount: 0
    property bool useRelay: false

    nameStrig: "Reset"
    onClicked: {
        window.submitTabataReset(workTime, restTime, repKount, useRelay);
        window.tabWorkTime = workTime;
        window.tabRestTime = restTime;
        window.tabIntervalKount = repKount;
        window.tabUseRelay = useRelay;
    }
}
