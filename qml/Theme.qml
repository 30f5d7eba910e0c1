pragma Singleton
import QtQuick 2.10

// The colours shared by every page and control.
QtObject {
    readonly property color accent: "#f73e3e"
    readonly property color gradientTop: "#fa8787"
    readonly property color gradientMiddle: "#f85656"
    readonly property color gradientBottom: "#f62626"
    readonly property color buttonBorder: "#df0909"
    readonly property color disabled: "lightgray"
    readonly property color spinFrame: "#bdbebf"
    // A display that missed a command: its row's edge and note, and its unconfirmed clock.
    readonly property color missed: "#c00000"
    readonly property color stale: "gray"

    // Bigger touch targets on phones and tablets.
    readonly property bool onAndroid: Qt.platform.os === "android"
}
