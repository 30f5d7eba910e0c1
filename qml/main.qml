import QtQuick 2.10
import QtQuick.Window 2.10
import QtQuick.Controls 2.3
import Qt.labs.settings 1.0

// The main window: tool bar, navigation drawer, the page stack, the 100 ms tick that drives the
// controller, the persisted window values, every signal sent to the controller and the
// functions through which the controller updates the pages.
ApplicationWindow {
    id: window

    property string broadcastIP: linkDefaults.broadcastIP
    property int iRetries: linkDefaults.retries
    property int iDelay: linkDefaults.delay
    property int iRefresh: linkDefaults.refresh
    property bool bLoadedFirstProgram: false
    property int tabWorkTime: 30
    property int tabRestTime: 10
    property int tabIntervalKount: 3
    property bool tabUseRelay: true
    property int presStartTime: 300
    property int presChangeTime: 60
    property int presFormat: 1
    property bool presCountUp: false
    property bool presAlarmCB: false
    property string datastore: ""

    signal submitRemoveSelected
    signal submitQuery(string broadcastIP)
    signal submitIPParameters(int retries, int delay, int refresh)
    signal submitCountUpEntry
    signal submitCountUpMode
    signal submitCountUpReset(int mode)
    signal submitCountUpStart
    signal submitCountDnEntry
    signal submitCountDnMode(int mode, int days, int hours, int mins, int secs, int bAlarmEnabled, int alarmDuration)
    signal submitCountDnReset(int mode, int days, int hours, int mins, int secs, int bAlarmEnabled, int alarmDuration)
    signal submitCountDnStart
    signal submitTimeMode
    signal timerTriggered
    signal checkBoxChanged(int index, bool bVal)
    signal submitProgEntry
    signal submitProgReset
    signal submitProgStart
    signal submitProgNameChange(int num, string name)
    signal submitProgChange(int num, string name)
    signal submitProgInsert(int row)
    signal submitProgDelete(int row)
    signal submitProgSaveProgram
    signal submitGetProgram
    signal submitSaveProgram
    signal submitTabataReset(int work, int rest, int kount, bool relay)
    signal submitPresentReset(int start, int change, int format, bool countup, bool relay)
    signal submitGetAllPrograms
    signal submitSaveAllPrograms

    function startPauseCaption(state) {
        return state ? "Pause" : "Start";
    }

    function updateUpTime(time) {
        countUpScreen.timeDisplay = time;
    }

    function updateDnTime(time) {
        countDnScreen.timeDisplay = time;
    }

    function updateIntTime(time) {
        progScreen.timeDisplay = time;
        tabataScreen.timeDisplay = time;
        presentScreen.timeDisplay = time;
    }

    function updateUpTimeFormat(format) {
        countUpScreen.timeMode = format;
    }

    function updateUpStartPause(state) {
        countUpScreen.upStartButtonText = startPauseCaption(state);
    }

    function updateDnStartPause(state) {
        countDnScreen.dnStartButtonText = startPauseCaption(state);
    }

    function updateProgStartPause(state) {
        const caption = startPauseCaption(state);
        progScreen.progStartButtonText = caption;
        tabataScreen.tabStartButtonText = caption;
        presentScreen.presentStartButtonText = caption;
    }

    function updatePortInUse(inUse) {
        homeScreen.portInUse = inUse;
    }

    function updateProgNameCombo(index, name, update) {
        if (index < 0 || index >= progScreen.progNameListModel.count)
            return;
        progScreen.progNameListModel.setProperty(index, "programNameValue", name);
        // Moving the selector from here emits nothing back to the controller.
        if (update)
            progScreen.progChoiceCombo.currentIndex = index;
        progScreen["progName" + (index + 1)] = name;
    }

    title: qsTr("Quillbrook Timer App")
    width: 300
    height: 700
    visible: true

    FontLoader {
        id: lcdFont
        source: "qrc:/DSEG7Classic-BoldItalic.ttf"
    }

    Settings {
        category: "main"
        property alias mainBroadcastIP: window.broadcastIP
        property alias mainRetries: window.iRetries
        property alias mainDelay: window.iDelay
        property alias mainRefresh: window.iRefresh
        property alias tabataWorkTime: window.tabWorkTime
        property alias tabataRestTime: window.tabRestTime
        property alias tabataIntervalKount: window.tabIntervalKount
        property alias tabataUseRelay: window.tabUseRelay
        property alias presentStartTime: window.presStartTime
        property alias presentChangeTime: window.presChangeTime
        property alias presentFormat: window.presFormat
        property alias presentCountUp: window.presCountUp
        property alias presentAlarmCB: window.presAlarmCB
        property alias datastore: window.datastore
    }

    header: ToolBar {
        contentHeight: toolButton.implicitHeight

        background: Rectangle {
            color: "black"
        }

        ToolButton {
            id: toolButton
            objectName: "toolButton"
            width: window.width * 0.15
            text: stackView.depth > 1 ? "\u25C0" : "\u22EE"
            font.family: "Helvetica"
            font.pixelSize: Qt.application.font.pixelSize * 2.5
            background: Rectangle {
                color: Theme.accent
            }
            onClicked: {
                if (stackView.depth > 1)
                    stackView.pop();
                else
                    drawer.open();
            }
        }

        Image {
            x: toolButton.width + 10
            width: parent.width * 0.8
            height: toolButton.height
            source: "qrc:/QBLogo.png"
            fillMode: Image.PreserveAspectFit
            horizontalAlignment: Image.AlignLeft
        }
    }

    Drawer {
        id: drawer
        objectName: "drawer"
        width: window.width * 0.75
        height: window.height
        // Pages are one level deep: on a pushed page the drawer would push a third.
        interactive: stackView.depth === 1

        Column {
            objectName: "drawerEntries"
            anchors.fill: parent

            TextMetrics {
                id: captionMetrics
                font.pointSize: 20
            }

            // All entries share one point size: 20, or less when the widest caption would not
            // fit the drawer.
            Component.onCompleted: {
                const entries = [];
                for (let i = 0; i < children.length; ++i) {
                    if (children[i].text !== undefined)
                        entries.push(children[i]);
                }
                let widestAt20 = 1;
                for (const entry of entries) {
                    captionMetrics.text = entry.text;
                    // A little room to spare, so rounding never elides the widest caption.
                    widestAt20 = Math.max(widestAt20, captionMetrics.advanceWidth * 1.05);
                }
                for (const entry of entries)
                    entry.font.pointSize = Qt.binding(() => Math.min(20, 20 * entry.availableWidth / widestAt20));
            }

            DrawerEntry {
                text: qsTr("Setup Parameters")
                onClicked: {
                    setupScreen.setupBroadcastIP = window.broadcastIP;
                    setupScreen.setupDelay = window.iDelay;
                    setupScreen.setupRetries = window.iRetries;
                    setupScreen.refreshDelay = window.iRefresh;
                    stackView.push(setupScreen);
                    drawer.close();
                }
            }
            DrawerEntry {
                text: qsTr("Manual IP Add")
                onClicked: {
                    stackView.push(manualIP);
                    drawer.close();
                }
            }
            DrawerEntry {
                text: qsTr("Remove Selected")
                onClicked: {
                    window.submitRemoveSelected();
                    drawer.close();
                }
            }

            DrawerSeparator {}

            DrawerEntry {
                text: qsTr("Count Up Controls")
                onClicked: {
                    stackView.push(countUpScreen);
                    window.submitCountUpEntry();
                    drawer.close();
                }
            }
            DrawerEntry {
                text: qsTr("Count Down Controls")
                onClicked: {
                    stackView.push(countDnScreen);
                    window.submitCountDnEntry();
                    drawer.close();
                }
            }
            DrawerEntry {
                text: qsTr("Tabata Controls")
                onClicked: {
                    stackView.push(tabataScreen);
                    drawer.close();
                }
            }
            DrawerEntry {
                text: qsTr("Presentation Controls")
                onClicked: {
                    stackView.push(presentScreen);
                    drawer.close();
                }
            }

            DrawerSeparator {}

            DrawerEntry {
                text: qsTr("Timer Programs")
                onClicked: {
                    // The first visit in a run opens program 1, and the selector shows it
                    // wherever a Tabata or presentation Reset had moved it.
                    if (!window.bLoadedFirstProgram) {
                        progScreen.progChoiceCombo.currentIndex = 0;
                        window.submitProgChange(0, "Program1");
                        window.bLoadedFirstProgram = true;
                    }
                    window.submitProgEntry();
                    stackView.push(progScreen);
                    drawer.close();
                }
            }
            DrawerEntry {
                text: qsTr(" Get All Programs")
                onClicked: {
                    window.submitGetAllPrograms();
                    drawer.close();
                }
            }
            DrawerEntry {
                text: qsTr(" Save All Programs")
                onClicked: {
                    window.submitSaveAllPrograms();
                    drawer.close();
                }
            }

            DrawerSeparator {}

            DrawerEntry {
                id: exitEntry
                text: qsTr("Exit Application")
                onClicked: Qt.quit()
            }
        }
    }

    StackView {
        id: stackView
        objectName: "stackView"
        anchors.fill: parent
        initialItem: homeScreen
    }

    // Every page is made once and pushed again on each visit, so it keeps its state. The focus
    // scope keeps the pages' text fields from taking the keys while their page is not shown.
    FocusScope {
        visible: false

        HomeScreen {
            id: homeScreen
            objectName: "homeScreen"
        }
        CountUp {
            id: countUpScreen
            objectName: "countUpScreen"
        }
        CountDown {
            id: countDnScreen
            objectName: "countDnScreen"
        }
        TabataTimer {
            id: tabataScreen
            objectName: "tabataScreen"
        }
        PresentTimer {
            id: presentScreen
            objectName: "presentScreen"
        }
        SetupDialog {
            id: setupScreen
            objectName: "setupScreen"
        }
        ManualAddIPDialog {
            id: manualIP
            objectName: "manualIP"
        }
        ProgScreen {
            id: progScreen
            objectName: "progScreen"
        }
    }

    // Keyboard. Each shortcut clicks the button it stands for, so the controller hears the same
    // signal as from the mouse. A page takes part in Space by exposing its Start/Pause button
    // as `startPauseButton`; dialogs close themselves on Escape.
    Shortcut {
        sequence: "Space"
        enabled: !drawer.visible && !!stackView.currentItem
                 && stackView.currentItem.startPauseButton !== undefined
        onActivated: stackView.currentItem.startPauseButton.clicked()
    }
    Shortcut {
        sequence: "F5"
        enabled: !drawer.visible && stackView.currentItem === homeScreen
        onActivated: homeScreen.queryButton.clicked()
    }
    Shortcut {
        sequence: "Escape"
        enabled: stackView.depth > 1
        onActivated: stackView.pop(null)
    }
    Shortcut {
        sequence: "Ctrl+Q"
        onActivated: exitEntry.clicked()
    }

    Timer {
        interval: 100
        running: true
        repeat: true
        onTriggered: window.timerTriggered()
    }

    Component.onCompleted: {
        // The signals are connected only once this document has loaded, so the link settings
        // and the first discovery query go to the controller directly.
        handlegui.handleSetIPParameters(iRetries, iDelay, iRefresh);
        handlegui.handleSubmitQuery(broadcastIP);
    }
}
