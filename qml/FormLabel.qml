import QtQuick 2.10

// A field caption of a form, grey while its row is disabled; headings set point size 16.
FitText {
    font.pointSize: 12
    font.bold: true
    color: enabled ? "black" : Theme.disabled
}
