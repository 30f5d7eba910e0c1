import QtQuick 2.10

// Builds a Tabata workout from work time, rest time and intervals; Reset arms it on the
// selected displays and keeps the values as the page's defaults, Start/Pause runs it.
Item {
    id: tabataPage

    property alias timeDisplay: display.text
    property alias startPauseButton: startButton
    property alias tabStartButtonText: startButton.nameStrig
    property alias workTime: workBox.value
    property alias restTime: restBox.value
    property alias repKount: kountBox.value
    property alias useRelay: relayBox.checked

    TimeDisplay {
        id: display
        text: "00:00.0"
    }

    TimerFields {
        display: display

        TimerFieldRow {
            caption: qsTr("Work Time:")

            MySpinBox {
                id: workBox
                width: tabataPage.width * 0.5
                height: parent.height
                to: 999
                value: window.tabWorkTime
            }
        }

        TimerFieldRow {
            caption: qsTr("Rest Time:")

            MySpinBox {
                id: restBox
                width: tabataPage.width * 0.5
                height: parent.height
                to: 999
                value: window.tabRestTime
            }
        }

        TimerFieldRow {
            caption: qsTr("Intervals:")

            MySpinBox {
                id: kountBox
                width: tabataPage.width * 0.5
                height: parent.height
                to: 999
                value: window.tabIntervalKount
            }
        }

        TimerFieldRow {
            caption: qsTr("Enable Alarms:")

            MyCheckbox {
                id: relayBox
                height: parent.height
                padding: 0
                checked: window.tabUseRelay
            }
        }
    }

    TabataStartPauseButton {
        id: startButton
        y: tabataPage.height * 0.5
        width: parent.width
        height: tabataPage.height * 0.15
    }

    TabataResetButton {
        y: tabataPage.height * 0.7
        width: parent.width
        height: tabataPage.height * 0.15
        workTime: tabataPage.workTime
        restTime: tabataPage.restTime
        repKount: tabataPage.repKount
        useRelay: tabataPage.useRelay
    }

    TimeModeButton {
        anchors.bottom: parent.bottom
        width: parent.width
        height: tabataPage.height * 0.08
    }
}
