import QtQuick 2.10

// Runs a Tabata workout program on the selected displays.
Item {
    id: tabataPage

    property alias timeDisplay: display.text
    property alias startPauseButton: startButton
    property alias tabStartButtonText: startButton.nameStrig

    TimeDisplay {
        id: display
        text: "00:00.0"
    }

    TabataStartPauseButton {
        id: startButton
        y: tabataPage.height * 0.5
        width: parent.width
        height: tabataPage.height * 0.15
    }

    TimeModeButton {
        anchors.bottom: parent.bottom
        width: parent.width
        height: tabataPage.height * 0.08
    }
}
