import QtQuick 2.10
import QtQuick.Controls 2.3
import QtQuick.Templates 2.15 as T
import Qt.labs.settings 1.0
import ProgEnums 1.0

// The ten timer programs: pick and rename one, start, pause and reset it, and edit, insert and
// delete its lines. The running line is highlighted.
Item {
    id: progPage

    property alias timeDisplay: display.text
    property alias startPauseButton: startButton
    property alias progStartButtonText: startButton.nameStrig
    property alias progNameListModel: programNameListModel
    property alias progChoiceCombo: programChoice
    property int iIndexOfEdit: 0

    property string progName1: "Tab 60/15"
    property string progName2: "Pres:300-60"
    property string progName3: "Program 3"
    property string progName4: "Program 4"
    property string progName5: "Program 5"
    property string progName6: "Program 6"
    property string progName7: "Program 7"
    property string progName8: "Program 8"
    property string progName9: "Program 9"
    property string progName10: "Program 10"

    Settings {
        category: "Programs"
        property alias saveProgName1: progPage.progName1
        property alias saveProgName2: progPage.progName2
        property alias saveProgName3: progPage.progName3
        property alias saveProgName4: progPage.progName4
        property alias saveProgName5: progPage.progName5
        property alias saveProgName6: progPage.progName6
        property alias saveProgName7: progPage.progName7
        property alias saveProgName8: progPage.progName8
        property alias saveProgName9: progPage.progName9
        property alias saveProgName10: progPage.progName10
    }

    ListModel {
        id: programNameListModel
    }

    function fillNameList() {
        programNameListModel.clear();
        for (let number = 1; number <= 10; ++number)
            programNameListModel.append({ "programNameValue": progPage["progName" + number] });
    }

    function renameProgram(index, name) {
        window.submitProgNameChange(index, name);
        progPage["progName" + (index + 1)] = name;
        fillNameList();
        // Refilling the list empties the selector; it goes on showing the renamed program.
        programChoice.currentIndex = index;
    }

    function lineField(row, role) {
        return programModel.data(programModel.index(row, 0), role);
    }

    // Days, hours, minutes and seconds of a step time.
    function splitSeconds(s) {
        const days = Math.floor(s / 86400);
        const rest = s - days * 86400;
        return [days, Math.floor(rest / 3600), Math.floor((rest % 3600) / 60), rest % 60];
    }

    function editLine(row) {
        const dialog = progSetupDialog;
        // The last line ends the program and stays an end line.
        dialog.commandFuncEnable = row + 1 !== programModel.rowCount();
        lineList.currentIndex = row;
        iIndexOfEdit = row;
        const code = lineField(row, ProgDataRoles.CommandRole);
        dialog.command = code - 1;
        if (code === 9) {
            dialog.commandHourColor = lineField(row, ProgDataRoles.ColorIndex1Role);
            dialog.commandMinSecColor = lineField(row, ProgDataRoles.ColorIndex2Role);
        } else {
            dialog.commandIncInterval = lineField(row, ProgDataRoles.IncrementIntervalRole) !== 0;
            dialog.commandRepeatCountSet = lineField(row, ProgDataRoles.RepeatCountSetRole);
            const start = splitSeconds(lineField(row, ProgDataRoles.StartSecondsRole));
            dialog.commandStartDay = start[0];
            dialog.commandStartHour = start[1];
            dialog.commandStartMin = start[2];
            dialog.commandStartSec = start[3];
            const stop = splitSeconds(lineField(row, ProgDataRoles.StopSecondsRole));
            dialog.commandStopDay = stop[0];
            dialog.commandStopHour = stop[1];
            dialog.commandStopMin = stop[2];
            dialog.commandStopSec = stop[3];
            const relay = lineField(row, ProgDataRoles.RelayTimeSecRole);
            dialog.commandAlarmEnabled = relay > 0;
            dialog.commandAlarmTime = relay;
            const gotoLine = lineField(row, ProgDataRoles.GotoLineRole);
            const isEnd = code === 8;
            dialog.commandEndReset = isEnd && (gotoLine & 1) !== 0;
            dialog.commandEndStop = isEnd && (gotoLine & 2) !== 0;
            dialog.commandGotoLine = isEnd ? 0 : gotoLine + 1;
        }
        dialog.setActiveElements();
        dialog.edit(storeEdit);
    }

    // A line holds at most 65535 seconds; a longer time is stored as that, not cut to 16 bits
    // into some shorter one.
    function seconds(days, hours, mins, secs) {
        return Math.min(days * 86400 + hours * 3600 + mins * 60 + secs, 65535);
    }

    // Writes the dialog back into the edited line: the command first, then the fields it uses;
    // the controller then stores the program.
    function storeEdit() {
        const dialog = progSetupDialog;
        const at = programModel.index(iIndexOfEdit, 0);
        const code = dialog.command + 1;
        programModel.setData(at, code, ProgDataRoles.CommandRole);
        if (code === 9) {
            programModel.setData(at, dialog.commandHourColor, ProgDataRoles.ColorIndex1Role);
            programModel.setData(at, dialog.commandMinSecColor, ProgDataRoles.ColorIndex2Role);
        } else {
            programModel.setData(at, dialog.commandIncInterval ? 1 : 0, ProgDataRoles.IncrementIntervalRole);
            // A repeat line that names itself would loop at once; it goes back to line 1.
            const target = dialog.commandGotoLine - 1;
            programModel.setData(at, code === 7 && target !== iIndexOfEdit ? target : 0, ProgDataRoles.GotoLineRole);
            if (code === 8)
                programModel.setData(at, (dialog.commandEndReset ? 1 : 0) + (dialog.commandEndStop ? 2 : 0),
                                     ProgDataRoles.GotoLineRole);
            programModel.setData(at, dialog.commandRepeatCountSet, ProgDataRoles.RepeatCountSetRole);
            programModel.setData(at, 0, ProgDataRoles.RepeatCountActRole);
            programModel.setData(at, seconds(dialog.commandStartDay, dialog.commandStartHour, dialog.commandStartMin,
                                             dialog.commandStartSec), ProgDataRoles.StartSecondsRole);
            programModel.setData(at, seconds(dialog.commandStopDay, dialog.commandStopHour, dialog.commandStopMin,
                                             dialog.commandStopSec), ProgDataRoles.StopSecondsRole);
            // An unchecked alarm box means no alarm, whatever the seconds box still shows.
            programModel.setData(at, dialog.commandAlarmEnabled ? dialog.commandAlarmTime : 0,
                                 ProgDataRoles.RelayTimeSecRole);
            programModel.setData(at, false, ProgDataRoles.SelectedRole);
        }
        window.submitProgSaveProgram();
    }

    // The last text row of a line: its times, alarm and end behaviour.
    function timingText(line) {
        const timed = (line.command >= 1 && line.command <= 6) || line.command === 10 || line.command === 11;
        let text = timed ? "StartSeconds: " + line.startseconds + " StopSeconds: " + line.stopseconds : "";
        if (line.relaytimesec > 0 && line.command !== 9)
            text += (timed ? "  " : "") + "RelayTime: " + line.relaytimesec;
        if (line.command === 8)
            text += ((line.gotoline & 1) ? " Reset" : "") + ((line.gotoline & 2) ? " Stop" : "");
        return text;
    }

    Component.onCompleted: {
        fillNameList();
        programChoice.currentIndex = 0;
    }

    TimeDisplay {
        id: display
        text: "00-00:00"
    }

    ComboBox {
        id: programChoice
        objectName: "programChoice"
        anchors.top: display.bottom
        x: parent.width * 0.125
        width: parent.width * 0.75
        height: progPage.height * 0.06
        font.pointSize: 16
        font.bold: true
        editable: true
        model: programNameListModel
        textRole: "programNameValue"
        onActivated: window.submitProgChange(index, textAt(index))

        // Enter renames the shown program. It is taken here, before the combo box would move to
        // an entry whose name matches the typed text and rename that one instead.
        contentItem: T.TextField {
            leftPadding: 12
            text: programChoice.editText
            font: programChoice.font
            verticalAlignment: Text.AlignVCenter
            selectByMouse: true
            // A long name shows its start until the operator edits it.
            autoScroll: activeFocus
            clip: true
            Keys.onReturnPressed: progPage.renameProgram(programChoice.currentIndex, text)
            Keys.onEnterPressed: progPage.renameProgram(programChoice.currentIndex, text)
        }

        // Names come from the settings and from displays: shown as plain text.
        delegate: ItemDelegate {
            width: programChoice.width
            highlighted: programChoice.highlightedIndex === index
            contentItem: Text {
                text: model.programNameValue
                textFormat: Text.PlainText
                font: programChoice.font
                elide: Text.ElideRight
                verticalAlignment: Text.AlignVCenter
            }
        }
    }

    ProgStartPauseButton {
        id: startButton
        anchors.top: programChoice.bottom
        width: parent.width * 0.475
        height: progPage.height * 0.1
    }

    ProgResetButton {
        anchors.top: programChoice.bottom
        anchors.right: parent.right
        width: parent.width * 0.475
        height: progPage.height * 0.1
    }

    Rectangle {
        id: lineArea
        anchors.top: startButton.bottom
        anchors.bottom: timeModeButton.top
        width: stackView.width
        color: "white"

        Image {
            anchors.centerIn: parent
            width: parent.width * 0.8
            height: parent.height
            source: "qrc:/QB-transparent.png"
            fillMode: Image.PreserveAspectFit
        }

        ListView {
            id: lineList
            objectName: "lineList"
            anchors.fill: parent
            clip: true
            model: programModel

            delegate: Rectangle {
                id: lineRow
                objectName: "lineRow"
                width: lineList.width
                height: lineArea.height / 8
                radius: 10
                border.color: "black"
                border.width: 2
                color: "white"

                states: State {
                    name: "active"
                    when: model.selected
                    PropertyChanges { target: lineRow; color: Theme.accent }
                }
                transitions: Transition {
                    to: "active"
                    ColorAnimation { duration: 100 }
                }

                // Shrunk as a whole when a line has more to say than its row holds.
                Column {
                    id: lineTexts
                    x: 10
                    width: lineRow.width * 0.85 - x
                    anchors.verticalCenter: parent.verticalCenter
                    scale: Math.min(1, (lineRow.height - 4) / implicitHeight)
                    transformOrigin: Item.Left

                    FitText {
                        width: parent.width
                        text: "Step " + (index + 1) + ": " + (model.commandname || "")
                        textFormat: Text.PlainText
                        font.pointSize: 16
                        font.bold: true
                    }
                    FitText {
                        width: parent.width
                        visible: model.incrementinterval === 1 && model.command !== 9
                        text: "Increment Interval Value  "
                        font.pointSize: 12
                        font.bold: true
                    }
                    FitText {
                        width: parent.width
                        visible: model.command === 7
                        text: "Goto Step: " + (model.gotoline + 1) + "  Repeats: " + model.repeatcountset
                        font.pointSize: 12
                        font.bold: true
                    }
                    FitText {
                        width: parent.width
                        visible: model.command === 9
                        text: "Hour: " + model.color1name + " Min/Sec: " + model.color2name
                        textFormat: Text.PlainText
                        font.pointSize: 12
                        font.bold: true
                    }
                    FitText {
                        width: parent.width
                        visible: text !== ""
                        text: progPage.timingText(model)
                        font.pointSize: 12
                        font.bold: true
                    }
                }

                Rectangle {
                    objectName: "lineMenuButton"
                    anchors.right: parent.right
                    anchors.rightMargin: parent.width * 0.015
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width * 0.12
                    height: parent.height * 0.85
                    radius: 6
                    color: lineRow.color
                    border.color: "black"

                    Text {
                        anchors.centerIn: parent
                        text: "..."
                        rotation: -90
                        font.pointSize: 20
                        font.bold: true
                    }

                    MouseArea {
                        anchors.fill: parent
                        onClicked: lineMenu.open()
                    }
                }

                Menu {
                    id: lineMenu
                    x: lineRow.width / 2
                    width: lineRow.width * 0.35

                    MenuItem {
                        text: qsTr("Edit")
                        onTriggered: progPage.editLine(index)
                    }
                    MenuItem {
                        text: qsTr("Insert")
                        onTriggered: {
                            window.submitProgInsert(index);
                            window.submitProgSaveProgram();
                        }
                    }
                    MenuItem {
                        text: qsTr("Delete")
                        onTriggered: {
                            window.submitProgDelete(index);
                            window.submitProgSaveProgram();
                        }
                    }
                    MenuItem {
                        text: qsTr("Cancel")
                    }
                }
            }
        }
    }

    TimeModeButton {
        id: timeModeButton
        anchors.bottom: parent.bottom
        width: parent.width * 0.6
        height: progPage.height * 0.08
        background: Rectangle {
            color: "lightgray"
            border.color: "black"
        }
    }

    CommandButton {
        id: getActiveButton
        anchors.bottom: parent.bottom
        anchors.right: parent.right
        width: parent.width * 0.4
        height: progPage.height * 0.08
        text: qsTr("Get\nActive")
        background: Rectangle {
            color: "lightgray"
            border.color: "black"
        }
        // Two lines, neither of them cut short.
        contentItem: Text {
            text: getActiveButton.text
            font: getActiveButton.font
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        onClicked: window.submitGetProgram()
    }

    ProgSetupDialog {
        id: progSetupDialog
        objectName: "progSetupDialog"
    }
}
