import QtQuick 2.10
import QtQuick.Controls 2.3
import Qt.labs.settings 1.0

// Picks, starts, pauses and resets the ten timer programs.
Item {
    id: progPage

    property alias timeDisplay: display.text
    property alias startPauseButton: startButton
    property alias progStartButtonText: startButton.nameStrig
    property alias progNameListModel: programNameListModel
    property alias progChoiceCombo: programChoice

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

    Component.onCompleted: {
        for (let number = 1; number <= 10; ++number)
            programNameListModel.append({ "programNameValue": progPage["progName" + number] });
        programChoice.currentIndex = 0;
    }

    TimeDisplay {
        id: display
        text: "00-00:00"
    }

    ComboBox {
        id: programChoice
        anchors.top: display.bottom
        x: parent.width * 0.125
        width: parent.width * 0.75
        height: progPage.height * 0.06
        font.pointSize: 16
        font.bold: true
        model: programNameListModel
        textRole: "programNameValue"
        onActivated: window.submitProgChange(currentIndex, currentText)
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
}
