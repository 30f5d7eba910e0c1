import QtQuick 2.10

// Starts, pauses and resets a count-up on the selected displays.
Item {
    id: countUpPage

    property alias timeDisplay: display.text
    property alias startPauseButton: startButton
    property alias timeMode: formatBox.currentIndex
    property alias upStartButtonText: startButton.nameStrig

    TimeDisplay {
        id: display
        text: "00:00.0"
    }

    CountUpStartPauseButton {
        id: startButton
        y: countUpPage.height * 0.15
        width: parent.width
        height: countUpPage.height * 0.2
    }

    CountUpResetButton {
        y: countUpPage.height * 0.4
        width: parent.width
        height: countUpPage.height * 0.2
        timeMode: countUpPage.timeMode
    }

    FormatComboBox {
        id: formatBox
        y: countUpPage.height * 0.65
        width: parent.width
        height: countUpPage.height * 0.1
    }

    CommandButton {
        anchors.bottom: timeModeButton.top
        width: parent.width
        height: countUpPage.height * 0.1
        text: qsTr("Set CountUp Mode")
        onClicked: window.submitCountUpMode()
    }

    TimeModeButton {
        id: timeModeButton
        anchors.bottom: parent.bottom
        width: parent.width
        height: countUpPage.height * 0.1
    }
}
