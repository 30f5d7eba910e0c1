import QtQuick 2.10

// Runs a presentation (talk) timer program on the selected displays.
Item {
    id: presentPage

    property alias timeDisplay: display.text
    property alias startPauseButton: startButton
    property alias presentStartButtonText: startButton.nameStrig

    TimeDisplay {
        id: display
        text: "00:00.0"
    }

    PresentStartPauseButton {
        id: startButton
        y: presentPage.height * 0.6
        width: parent.width
        height: presentPage.height * 0.12
    }

    TimeModeButton {
        anchors.bottom: parent.bottom
        width: parent.width
        height: presentPage.height * 0.08
    }
}
