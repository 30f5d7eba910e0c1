import QtQuick 2.10
import QtQuick.Controls 2.3

// Edits the discovery address and the link's retries, retry delay and refresh interval.
Item {
    id: setupPage

    property alias setupBroadcastIP: broadcastField.text
    property alias setupRetries: retriesBox.value
    property alias setupDelay: delayBox.value
    property alias refreshDelay: refreshBox.value

    StackView.onActivated: broadcastField.forceActiveFocus()

    Column {
        width: parent.width

        FormRow {
            height: setupPage.height * 0.08
            caption: qsTr("Broadcast IP:")

            TextField {
                id: broadcastField
                anchors.fill: parent
                focus: true
            }
        }

        FormRow {
            height: setupPage.height * 0.08
            caption: qsTr("UDP Retries:")

            MySpinBox {
                id: retriesBox
                anchors.fill: parent
                to: 10
            }
        }

        FormRow {
            height: setupPage.height * 0.08
            caption: qsTr("Retry Delay (ms):")

            MySpinBox {
                id: delayBox
                anchors.fill: parent
                to: 1000
            }
        }

        FormRow {
            height: setupPage.height * 0.08
            caption: qsTr("Update Interval (sec):")

            MySpinBox {
                id: refreshBox
                anchors.fill: parent
                to: 900
            }
        }
    }

    SaveCancelButtons {
        onCancel: stackView.pop()
        onSave: {
            window.broadcastIP = setupBroadcastIP;
            window.iDelay = setupDelay;
            window.iRetries = setupRetries;
            window.iRefresh = refreshDelay;
            window.submitIPParameters(window.iRetries, window.iDelay, window.iRefresh);
            stackView.pop();
        }
    }
}
