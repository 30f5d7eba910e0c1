import QtQuick 2.10
import QtQuick.Controls 2.3

// Queries one typed address, for a display the broadcast does not reach.
Item {
    id: manualPage

    property alias addManualBroadcastIP: addressField.text

    StackView.onActivated: addressField.forceActiveFocus()

    FormRow {
        height: manualPage.height * 0.08
        caption: qsTr("Manual IP:")

        TextField {
            id: addressField
            anchors.fill: parent
            focus: true
        }
    }

    SaveCancelButtons {
        onCancel: stackView.pop()
        onSave: {
            window.submitQuery(addManualBroadcastIP);
            stackView.pop();
        }
    }
}
