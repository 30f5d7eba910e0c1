import QtQuick 2.10

// The known displays, one row each; a tap selects or deselects a display for every command.
Item {
    id: homePage

    property alias queryButton: queryButton
    // Another program holds the port the displays answer to (HandleGui::portInUse).
    property bool portInUse: false

    Rectangle {
        id: portWarning
        visible: homePage.portInUse
        width: stackView.width
        height: visible ? warningText.implicitHeight + 12 : 0
        color: "#f73e3e"

        Text {
            id: warningText
            anchors.fill: parent
            anchors.margins: 6
            text: "Port 7372 is in use: displays cannot answer"
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            font.pointSize: 12
            font.bold: true
            color: "white"
        }
    }

    Rectangle {
        id: listArea
        anchors.top: portWarning.bottom
        width: stackView.width
        height: stackView.height - queryButton.height - portWarning.height
        color: "white"

        Image {
            anchors.centerIn: parent
            width: parent.width * 0.8
            height: parent.height
            source: "qrc:/QB-transparent.png"
            fillMode: Image.PreserveAspectFit
        }

        ListView {
            id: timerList
            objectName: "timerList"
            anchors.fill: parent
            clip: true
            model: timerModel
            // No rows kept ready beyond the visible ones: each would lay out its changing time
            // on the tick as well.
            cacheBuffer: 0

            delegate: Item {
                id: row

                // Taken from the model, so a row the view creates anew still shows whether
                // commands go to its display.
                readonly property bool bSelected: model.selected

                width: stackView.width
                height: listArea.height / 8

                Rectangle {
                    id: card
                    objectName: "rowCard"
                    // Shifted right while selected, and narrower by as much, so the time at
                    // its right edge stays in view.
                    width: parent.width - x
                    height: parent.height
                    radius: 10
                    // A display that missed a command is marked to be seen across the room.
                    border.color: model.stale ? Theme.missed : "black"
                    border.width: model.stale ? 8 : 3
                    color: row.bSelected ? Theme.accent : "white"

                    states: State {
                        name: "Current"
                        when: row.bSelected
                        PropertyChanges { target: card; x: 20 }
                    }
                    transitions: Transition {
                        NumberAnimation { property: "x"; duration: 200 }
                    }

                    Column {
                        x: 10
                        width: timeText.x - x - 10
                        anchors.verticalCenter: parent.verticalCenter

                        FitText {
                            width: parent.width
                            text: "Name: " + model.name
                            font.pointSize: 16
                            font.bold: true
                        }
                        Text {
                            text: "<b>IP Addr:</b> " + model.ipaddr
                            textFormat: Text.RichText
                            font.pointSize: 12
                            font.bold: true
                        }
                    }

                    Text {
                        id: timeText
                        objectName: "rowTime"
                        anchors.right: parent.right
                        anchors.rightMargin: 10
                        anchors.verticalCenter: parent.verticalCenter
                        text: model.timestring
                        textFormat: Text.PlainText
                        font.pointSize: 12
                        font.bold: true
                        // Its clock stands where the display last vouched for it.
                        color: model.stale ? Theme.stale : "black"
                    }

                    Text {
                        objectName: "rowHealth"
                        anchors.right: timeText.right
                        anchors.top: timeText.bottom
                        visible: model.stale
                        text: model.healthtext
                        textFormat: Text.PlainText
                        font.pointSize: 10
                        font.bold: true
                        color: Theme.missed
                    }

                    MouseArea {
                        anchors.fill: parent
                        onClicked: {
                            timerList.currentIndex = index;
                            window.checkBoxChanged(index, !row.bSelected);
                        }
                    }
                }
            }
        }
    }

    QueryButton {
        id: queryButton
        anchors.bottom: parent.bottom
        width: parent.width
        height: stackView.height * 0.1
    }
}
