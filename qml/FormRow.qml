import QtQuick 2.10

// A caption on the left of a form page (half the width unless `captionShare` says otherwise)
// and its field on the right; the page sets the height.
Item {
    id: formRow

    property alias caption: label.text
    property alias captionPointSize: label.font.pointSize
    property real captionShare: 0.5
    // A caption too wide for its share breaks between words instead of only shrinking.
    property bool wrapCaption: false
    default property alias field: fieldArea.data

    width: parent.width

    FormLabel {
        id: label
        x: formRow.width * 0.02
        width: formRow.width * formRow.captionShare - x
        height: parent.height
        font.pointSize: 16
        wrapMode: formRow.wrapCaption ? Text.WordWrap : Text.NoWrap
        fontSizeMode: formRow.wrapCaption ? Text.Fit : Text.HorizontalFit
    }

    Item {
        id: fieldArea
        x: formRow.width * formRow.captionShare
        width: formRow.width * (1 - formRow.captionShare - 0.02)
        height: parent.height
    }
}
