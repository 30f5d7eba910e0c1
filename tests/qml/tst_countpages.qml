import QtQuick 2.10
import QtQuick.Dialogs 1.2
import QtTest 1.2

// The count-down page's presets inside the real main window: a click sends the preset, a long
// press edits it in the shared dialog.
Item {
    MainWindowTestCase {
        id: test
        name: "CountPages"

        // Presets come from a repeater, so they are found among the page's items.
        function presetButton(category) {
            var item = findItem(page("countDnScreen"), function (child) { return child.objectName === category; });
            verify(item, "no preset " + category);
            return item;
        }

        function pressAndHold(preset) {
            mousePress(preset);
            tryCompare(preset.dialog, "visible", true, 5000);
            mouseRelease(preset);
        }

        // Opens the preset's dialog, lets `edit` fill it and closes it with `button`.
        function editPreset(preset, button, edit) {
            pressAndHold(preset);
            edit(preset.dialog);
            preset.dialog.click(button);
            tryCompare(preset.dialog, "visible", false);
        }

        function test_presetClickSendsItsValues_data() {
            return [
                { tag: "countdown1", caption: "30 Sec", min: 0, sec: 30 },
                { tag: "countdown2", caption: "<i>Warm-up</i>", min: 7, sec: 45 } // stored
            ];
        }

        function test_presetClickSendsItsValues(data) {
            openFromDrawer("Count Down Controls");
            var reset = spyOn("submitCountDnReset");
            var preset = presetButton(data.tag);
            var caption = findItem(preset, function (child) { return child.text === data.caption; });
            verify(caption, "no caption " + data.caption);
            compare(caption.textFormat, Text.PlainText);
            mouseClick(preset);
            compare(reset.count, 1);
            compare(argumentsOf(reset, 0), [0, 0, 0, data.min, data.sec, 0, 0]);
        }

        function test_presetEditedAndStored() {
            openFromDrawer("Count Down Controls");
            var reset = spyOn("submitCountDnReset");
            var preset = presetButton("countdown3");
            editPreset(preset, StandardButton.Save, function (dialog) {
                compare([dialog.title, dialog.buttonMin], ["1 Min", 1]);
                dialog.buttonName = "1 Hour";
                dialog.buttonHour = 1;
                dialog.buttonMin = 0;
                dialog.buttonAlarmEnabled = true;
                dialog.buttonAlarmTime = 5;
                dialog.buttonMode = 1;
            });
            compare(reset.count, 0, "a long press is not a click");
            compare(preset.text, "1 Hour");
            mouseClick(preset);
            compare(argumentsOf(reset, 0), [1, 0, 1, 0, 0, 1, 5]);
            tryVerify(function () { return String(testSupport.storedValue("countdown3/buttonHour")) === "1"; }, 5000);
            compare(String(testSupport.storedValue("countdown3/buttonName")), "1 Hour");
            compare(String(testSupport.storedValue("countdown3/buttonMode")), "1");
        }

        // Captions are point size 12 but for the name and the two headings.
        function test_dialogCaptionSizes() {
            openFromDrawer("Count Down Controls");
            var preset = presetButton("countdown4");
            pressAndHold(preset);
            var expected = { "Name:": 16, "Initial Countdown Time:": 16, "Start Days:": 12,
                             "Start Hours:": 12, "Start Mins": 12, "Start Secs": 12,
                             "End of Countdown Alarm:": 16, "Alarm:": 12, "Secs": 12, "Mode:": 12,
                             "(HR):MIN:SEC.tSec": 16 };
            var sizes = {};
            for (var caption in expected) {
                var item = findItem(preset.dialog.contentItem, function (child) {
                    return child.text === caption && child.textFormat !== undefined;
                });
                sizes[caption] = item ? item.font.pointSize : "missing";
            }
            preset.dialog.click(StandardButton.Cancel);
            tryCompare(preset.dialog, "visible", false);
            compare(JSON.stringify(sizes), JSON.stringify(expected));
        }
    }
}
