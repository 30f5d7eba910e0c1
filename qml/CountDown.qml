import QtQuick 2.10

// Starts and pauses a count-down; eight stored presets reset the selected displays to their
// duration, and a press and hold on a preset edits it.
Item {
    id: countDnPage

    property alias timeDisplay: display.text
    property alias startPauseButton: startButton
    property alias dnStartButtonText: startButton.nameStrig

    TimeDisplay {
        id: display
        text: "00:00.0"
    }

    CountDnStartPauseButton {
        id: startButton
        y: countDnPage.height * 0.1
        width: parent.width
        height: countDnPage.height * 0.2
    }

    Grid {
        id: presetGrid
        y: countDnPage.height * 0.32
        width: parent.width
        height: countDnPage.height * 0.35
        columns: 2

        Repeater {
            // Captions and durations of a first start; each preset's store keeps its edits.
            model: presetDefaults

            CountDownResetButton {
                objectName: category
                width: presetGrid.width / 2
                height: presetGrid.height / 4
                nameStrig: modelData.caption
                min: modelData.min
                sec: modelData.sec
                category: "countdown" + (index + 1)
                dialog: presetDialog
            }
        }
    }

    CommandButton {
        anchors.bottom: timeModeButton.top
        width: parent.width
        height: countDnPage.height * 0.1
        text: qsTr("Set CountDown Mode")
        onClicked: window.submitCountDnMode(0, 0, 0, 0, 0, 0, 0)
    }

    TimeModeButton {
        id: timeModeButton
        anchors.bottom: parent.bottom
        width: parent.width
        height: countDnPage.height * 0.08
    }

    CountDownSetupDialog {
        id: presetDialog
    }
}
