import QtQuick 2.10
import QtQuick.Controls 2.3

// A plain full-width command button below the gradient buttons of a timer page.
Button {
    font.pointSize: 14
    font.bold: true
}
