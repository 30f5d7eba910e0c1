import QtQuick 2.10
import QtQuick.Controls 2.3

// A form over the window with Save and Cancel; Escape cancels. Whoever opens it with
// edit(saved) is called back on Save only. Each opening names its own callback, so a Save can
// never reach an earlier opener whose edit ended some other way.
Dialog {
    id: dialog

    property var saved

    function edit(onSave) {
        saved = onSave;
        open();
    }

    parent: Overlay.overlay
    x: (parent.width - width) / 2
    y: (parent.height - height) / 2
    width: stackView.width
    modal: true
    closePolicy: Popup.CloseOnEscape

    // Two buttons in a row of their own: a standard button box lays its buttons out in a list
    // view that scrolls them into place after opening.
    footer: Row {
        id: buttons

        readonly property real buttonWidth: (width - leftPadding - rightPadding - spacing) / 2

        padding: 12
        spacing: 1

        Button {
            text: qsTr("Save")
            width: buttons.buttonWidth
            onClicked: dialog.accept()
        }
        Button {
            text: qsTr("Cancel")
            width: buttons.buttonWidth
            onClicked: dialog.reject()
        }
    }

    onAccepted: saved()
}
