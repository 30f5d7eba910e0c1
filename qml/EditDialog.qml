import QtQuick 2.10
import QtQuick.Controls 2.3

// A form over the window with Save and Cancel; Escape cancels. Whoever opens it with
// edit(saved) is called back on Save only. Each opening names its own callback, so a Save can
// never reach an earlier opener whose edit ended some other way.
Dialog {
    property var saved: null

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
    standardButtons: Dialog.Save | Dialog.Cancel

    onAccepted: {
        const callback = saved;
        saved = null;
        if (callback)
            callback();
    }
    onRejected: saved = null
}
