import QtQuick 2.10

// The fields of the Tabata and presentation pages: one column from one and a half heights of
// the time display below the top, rows 0.4 of its height apart.
Column {
    property Item display

    y: display.height * 1.5
    width: parent.width
    spacing: display.height * 0.4
}
