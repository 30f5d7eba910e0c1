import QtQuick 2.10
import QtQuick.Controls 2.3

// The count format choice; the index is the format number the controller expects.
ComboBox {
    id: formatBox

    model: ["(HR):MIN:SEC.tSec", "(DAY):HR:MIN:SEC", "DAY:HR:MIN"]
    font.pointSize: 16
    font.bold: true

    contentItem: FitText {
        leftPadding: 12
        rightPadding: 1
        text: formatBox.displayText
        font: formatBox.font
    }
}
