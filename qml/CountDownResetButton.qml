import QtQuick 2.10
import Qt.labs.settings 1.0

// One count-down preset: a click resets the selected displays to its duration, format and
// alarm; a press and hold edits it in `dialog`. Each preset persists in its own category.
GradientButton {
    id: preset

    property int mode: 0
    property int day: 0
    property int hour: 0
    property int min: 0
    property int sec: 0
    property bool bAlarm: false
    property int alarmTime: 0
    property string category
    property CountDownSetupDialog dialog

    nameStrig: "Reset"
    holdable: true

    onClicked: window.submitCountDnReset(mode, day, hour, min, sec, bAlarm ? 1 : 0, alarmTime)

    onHeld: {
        dialog.buttonName = nameStrig;
        dialog.buttonDay = day;
        dialog.buttonHour = hour;
        dialog.buttonMin = min;
        dialog.buttonSec = sec;
        dialog.buttonAlarmEnabled = bAlarm;
        dialog.buttonAlarmTime = alarmTime;
        dialog.buttonMode = mode;
        dialog.title = nameStrig;
        dialog.edit(takeDialogValues);
        showReleased();
    }

    function takeDialogValues() {
        dialog.title = dialog.buttonName;
        nameStrig = dialog.buttonName;
        day = dialog.buttonDay;
        hour = dialog.buttonHour;
        min = dialog.buttonMin;
        sec = dialog.buttonSec;
        bAlarm = dialog.buttonAlarmEnabled;
        alarmTime = dialog.buttonAlarmTime;
        mode = dialog.buttonMode;
    }

    Settings {
        category: preset.category
        property alias buttonName: preset.nameStrig
        property alias buttonMode: preset.mode
        property alias buttonDay: preset.day
        property alias buttonHour: preset.hour
        property alias buttonMin: preset.min
        property alias buttonSec: preset.sec
        property alias buttonAlarm: preset.bAlarm
        property alias buttonAlarmTime: preset.alarmTime
    }
}
