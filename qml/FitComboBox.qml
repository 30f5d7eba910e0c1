import QtQuick 2.10
import QtQuick.Controls 2.3

// A fixed choice of texts, shown and listed in a font that shrinks to fit a narrow box.
ComboBox {
    id: box

    font.bold: true

    contentItem: FitText {
        leftPadding: 12
        rightPadding: 1
        text: box.displayText
        font: box.font
        color: box.enabled ? "black" : Theme.disabled
    }

    delegate: ItemDelegate {
        width: box.width
        highlighted: box.highlightedIndex === index
        contentItem: FitText {
            text: box.textAt(index)
            font.pointSize: box.font.pointSize
        }
    }
}
