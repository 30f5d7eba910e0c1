import QtQuick 2.10
import QtQuick.Dialogs 1.2
import QtTest 1.2

// The count-up and count-down pages inside the real main window.
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

        // Each test edits presets of its own, so that none depends on another having run.
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

        // Start, Reset with its format and Set Time Mode are worked end to end in tst_e2e_plaintimers.
        function test_countPageButtons() {
            var upPage = page("countUpScreen");
            openFromDrawer("Count Up Controls");
            var reset = spyOn("submitCountUpReset");
            var upMode = spyOn("submitCountUpMode");
            mouseClick(findByText(upPage, "Start"));
            compare(upPage.upStartButtonText, "Start", "the caption follows the controller only");
            window.updateUpTimeFormat(2);
            mouseClick(findByText(upPage, "Reset"));
            compare(argumentsOf(reset, 0), [2]);
            mouseClick(findByText(upPage, "Set CountUp Mode"));
            compare(upMode.count, 1);
            stackView.pop();
            waitForStack();
            openFromDrawer("Count Down Controls");
            var dnMode = spyOn("submitCountDnMode");
            mouseClick(findByText(page("countDnScreen"), "Set CountDown Mode"));
            compare(argumentsOf(dnMode, 0), [0, 0, 0, 0, 0, 0, 0]);
        }

        function test_presetClickSendsItsValues_data() {
            return [
                { tag: "countdown1", caption: "30 Sec", min: 0, sec: 30 },
                { tag: "countdown2", caption: "Warm-up", min: 7, sec: 45 }, // stored caption and minutes
                { tag: "countdown8", caption: "20 Min", min: 20, sec: 0 }
            ];
        }

        function test_presetClickSendsItsValues(data) {
            openFromDrawer("Count Down Controls");
            var reset = spyOn("submitCountDnReset");
            var preset = presetButton(data.tag);
            compare(preset.text, data.caption);
            mouseClick(preset);
            compare(reset.count, 1);
            compare(argumentsOf(reset, 0), [0, 0, 0, data.min, data.sec, 0, 0]);
        }

        function test_presetEditedToOneHourInFormatOne() {
            openFromDrawer("Count Down Controls");
            var reset = spyOn("submitCountDnReset");
            var preset = presetButton("countdown3");
            pressAndHold(preset);
            var dialog = preset.dialog;
            compare(dialog.title, "1 Min");
            compare(dialog.buttonMin, 1);
            compare(reset.count, 0, "a long press is not a click");
            dialog.buttonName = "1 Hour";
            dialog.buttonHour = 1;
            dialog.buttonMin = 0;
            dialog.buttonMode = 1;
            dialog.click(StandardButton.Save);
            tryCompare(dialog, "visible", false);
            compare(preset.text, "1 Hour");
            mouseClick(preset);
            compare(reset.count, 1);
            compare(argumentsOf(reset, 0), [1, 0, 1, 0, 0, 0, 0]);
            tryVerify(function () { return String(testSupport.storedValue("countdown3/buttonHour")) === "1"; }, 5000);
            compare(String(testSupport.storedValue("countdown3/buttonName")), "1 Hour");
            compare(String(testSupport.storedValue("countdown3/buttonMode")), "1");
        }

        function test_presetAlarmIsSentAsOne() {
            openFromDrawer("Count Down Controls");
            var reset = spyOn("submitCountDnReset");
            var preset = presetButton("countdown7");
            editPreset(preset, StandardButton.Save, function (dialog) {
                compare(dialog.buttonAlarmEnabled, false);
                dialog.buttonAlarmEnabled = true;
                dialog.buttonAlarmTime = 5;
            });
            mouseClick(preset);
            compare(argumentsOf(reset, 0), [0, 0, 0, 10, 0, 1, 5]);
        }

        function test_presetCancelChangesNothing() {
            openFromDrawer("Count Down Controls");
            var reset = spyOn("submitCountDnReset");
            var preset = presetButton("countdown4");
            editPreset(preset, StandardButton.Cancel, function (dialog) {
                dialog.buttonName = "Never";
                dialog.buttonMin = 9;
                dialog.buttonMode = 2;
            });
            compare(preset.text, "2 Min");
            compare(preset.min, 2);
            compare(preset.mode, 0);
            mouseClick(preset);
            compare(argumentsOf(reset, 0), [0, 0, 0, 2, 0, 0, 0]);
            wait(1000); // longer than the store's write delay
            verify(String(testSupport.storedValue("countdown4/buttonName")) !== "Never");
            verify(String(testSupport.storedValue("countdown4/buttonMin")) !== "9");
        }

        function test_saveAfterAnotherPresetsCancelLeavesThatPreset() {
            openFromDrawer("Count Down Controls");
            var cancelled = presetButton("countdown5");
            var saved = presetButton("countdown6");
            editPreset(cancelled, StandardButton.Cancel, function (dialog) {});
            editPreset(saved, StandardButton.Save, function (dialog) {
                dialog.buttonName = "7 Min";
                dialog.buttonMin = 7;
            });
            compare(saved.text, "7 Min");
            compare(saved.min, 7);
            compare(cancelled.text, "2:30 Min");
            compare([cancelled.min, cancelled.sec], [2, 30]);
        }
    }
}
