import QtQuick 2.10
import QtQuick.Controls 2.3

// A fixed choice of texts whose shown text shrinks to fit a narrow box.
ComboBox {
    id: box

    font.bold: true

    contentItem: FitText {
        leftPadding: 12
        rightPadding: 1
        text: box.displayText
        font: box.font
    }
}
