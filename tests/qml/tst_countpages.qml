import QtQuick 2.10
import QtQuick.Dialogs 1.2
import QtTest 1.2

// The count-down page's presets inside the real main window: a click sends the preset, a long
// press edits it in the shared dialog.
MainWindowTestCase {
    name: "CountPages"

    // Presets come from a repeater, so they are found among the page's items.
    function presetButton(category) {
        return findItem(page("countDnScreen"), function (child) { return child.objectName === category; });
    }

    // A stored preset (countdown2) comes back with its plain-text caption; an edited one is sent.
    function test_presetsSendAndEdit() {
        openFromDrawer("Count Down Controls");
        var reset = spyOn("submitCountDnReset");
        var stored = presetButton("countdown2");
        var caption = findItem(stored, function (child) { return child.text === "<i>Warm-up</i>"; });
        compare(caption ? caption.textFormat : "no caption", Text.PlainText);
        mouseClick(stored);
        compare(argumentsOf(reset, 0), [0, 0, 0, 7, 45, 0, 0]);

        var preset = presetButton("countdown3");
        var dialog = preset.dialog;
        mousePress(preset);
        tryCompare(dialog, "visible", true, 5000);
        mouseRelease(preset);
        compare([dialog.title, dialog.buttonMin], ["1 Min", 1]);
        dialog.buttonName = "1 Hour";
        dialog.buttonHour = 1;
        dialog.buttonMin = 0;
        dialog.buttonAlarmEnabled = true;
        dialog.buttonAlarmTime = 5;
        dialog.buttonMode = 1;
        dialog.click(StandardButton.Save);
        tryCompare(dialog, "visible", false);
        compare([reset.count, preset.text], [1, "1 Hour"], "a long press is not a click");
        mouseClick(preset);
        compare(argumentsOf(reset, 1), [1, 0, 1, 0, 0, 1, 5]);
    }

    // Captions are point size 12 but for the name and the two headings.
    function test_dialogCaptionSizes() {
        var dialog = presetButton("countdown4").dialog;
        var expected = { "Name:": 16, "Initial Countdown Time:": 16, "Start Days:": 12,
                         "Start Hours:": 12, "Start Mins": 12, "Start Secs": 12,
                         "End of Countdown Alarm:": 16, "Alarm:": 12, "Secs": 12, "Mode:": 12,
                         "(HR):MIN:SEC.tSec": 16 };
        var sizes = {};
        for (var caption in expected) {
            var item = findItem(dialog.contentItem, function (child) {
                return child.text === caption && child.textFormat !== undefined;
            });
            sizes[caption] = item ? item.font.pointSize : "missing";
        }
        compare(JSON.stringify(sizes), JSON.stringify(expected));
    }
}
