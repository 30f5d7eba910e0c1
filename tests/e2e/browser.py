"""The browser remote end to end: Debian's headless Chromium at phone size against
`qb-timer --headless` and three simulated displays (Hall, Gym and one named like markup), run by
tests/support/with-headless.sh in a network namespace of its own. Each step asserts what the
page shows and what the displays received; the steps build on each other as an operator's
session would."""

import json
import os
import subprocess
import sys
import time
import unittest
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from browser import PHONE, chromium  # noqa: E402
from selenium.common.exceptions import TimeoutException  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

API = os.environ["QB_API"]
SIM_LOG = os.environ["QB_SIM_LOG"]
APP = os.path.join(os.environ["QB_BUILD"], "app", "qb-timer")
MARKUP_NAME = "<img src=x>"


def sim_log():
    with open(SIM_LOG, encoding="utf-8") as log:
        return [json.loads(line) for line in log]


def received(display, since):
    """The commands a display received after log line `since`, as hex."""
    return [e["hex"] for e in sim_log()[since:]
            if e.get("display") == display and e.get("dir") == "rx"
            and e.get("event") != "status-query"]


def await_exit(pid):
    """Waits until a process has ended (a child not yet reaped counts as ended)."""
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            with open(f"/proc/{pid}/stat", encoding="utf-8") as stat:
                if stat.read().rsplit(")", 1)[1].split()[0] == "Z":
                    return
        except FileNotFoundError:
            return
        time.sleep(0.05)
    raise AssertionError(f"process {pid} did not end")


class Page:
    """The remote as the operator sees it in the browser."""

    def __init__(self, driver):
        self.driver = driver

    def wait_for(self, condition, what, seconds=10):
        try:
            return WebDriverWait(self.driver, seconds, 0.05).until(lambda _: condition())
        except TimeoutException as error:
            raise AssertionError(f"timed out: {what}") from error

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def find_all(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def text(self, css):
        return self.find(css).text

    def link(self):
        return self.text("#link")

    def press(self, css):
        self.wait_for(lambda: self.find(css).is_enabled(), f"{css} enabled")
        self.find(css).click()

    def display_row(self, name):
        for row in self.find_all("#display-list .display"):
            if row.find_element(By.CSS_SELECTOR, ".name").text == name:
                return row
        raise AssertionError(f"no display row {name}")

    def command_controls(self):
        return self.find_all("fieldset.commands button, fieldset.commands input, "
                             "fieldset.commands select")


class BrowserRemote(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = None
        cls.driver = chromium(PHONE, phone=True)
        cls.page = Page(cls.driver)
        cls.driver.get(API + "/")
        cls.page.wait_for(lambda: cls.page.link() == "Live", "the page goes live")

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        if cls.server:
            cls.server.terminate()
            cls.server.wait(10)

    def restart_server(self, *args):
        """Stops the running controller, checks the page goes offline, starts a new one."""
        page = self.page
        pid = self.server.pid if self.server else int(os.environ["QB_APP_PID"])
        os.kill(pid, 15)
        if self.server:
            self.server.wait(10)
        else:
            await_exit(pid)
        page.wait_for(lambda: page.link() == "Offline", "the page shows it is offline")
        self.assertIn("Offline", page.text("#notice"))
        self.assertTrue(page.command_controls())
        self.assertFalse(any(c.is_enabled() for c in page.command_controls()))
        type(self).server = subprocess.Popen(
            [APP, "--headless", *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    # ---- the session ----

    def test_0_durations_as_typed(self):
        parsed = {"5": 300, "90": 5400, "5:30": 330, "0:45": 45, "1:05:00": 3900,
                  "5:60": None, "1:2:3:4": None, "": None, "-5": None, "1.5": None}
        count_downs = {"3599": {"hours": 0, "minutes": 59, "seconds": 59, "format": "mm:ss.t"},
                       "5430": {"hours": 1, "minutes": 30, "seconds": 30, "format": "hh:mm:ss"}}
        got = self.driver.execute_async_script("""
            const [parsed, countDowns, done] = arguments;
            import("./durations.js").then((d) => done([
                Object.fromEntries(Object.keys(parsed).map((t) => [t, d.parseDuration(t)])),
                Object.fromEntries(Object.keys(countDowns).map((s) => [s, d.countDownOf(+s)])),
            ]));""", parsed, count_downs)
        self.assertEqual(got, [parsed, count_downs])

    def test_1_served_files(self):
        types = {"/": "text/html; charset=utf-8", "/app.js": "text/javascript; charset=utf-8",
                 "/style.css": "text/css; charset=utf-8", "/icon.svg": "image/svg+xml"}
        for path, expected in types.items():
            with self.subTest(path=path), urllib.request.urlopen(API + path) as answer:
                self.assertEqual(answer.headers["Content-Type"], expected)
        with urllib.request.urlopen(API + "/") as page:
            self.assertEqual(page.headers["Content-Security-Policy"].split(";")[0],
                             "default-src 'self'")

    def test_2_display_names_are_text(self):
        page = self.page
        names = [row.text for row in page.find_all("#display-list .name")]
        self.assertEqual(names, ["Hall", "Gym", MARKUP_NAME])
        self.assertEqual(page.find_all("#display-list img"), [])

    def test_3_count_down_on_two_displays(self):
        page = self.page
        since = len(sim_log())
        page.display_row("Hall").click()
        page.display_row("Gym").click()
        page.wait_for(lambda: [r.get_attribute("aria-pressed")
                               for r in page.find_all("#display-list .display")]
                      == ["true", "true", "false"], "Hall and Gym selected")
        page.find("#duration").send_keys("2:30")
        page.press("#duration-form button")
        page.wait_for(lambda: page.text("#mirror-text") == "00:02:30.0", "the mirror at 2:30")
        start = '#countdown [data-run="countdown"]'
        page.press(start)
        page.wait_for(lambda: page.text(start) == "Pause", "the count-down running")
        time.sleep(1.2)
        page.press("#countdown [data-params='{\"seconds\":60}']")
        page.wait_for(lambda: page.text("#mirror-text") >= "00:03:2", "a minute added")
        page.press(start)
        page.wait_for(lambda: page.text(start) == "Start", "the count-down paused")
        page.wait_for(lambda: page.text("#mirror-mode") == "Count-down · paused", "paused")
        # 2:30 less the seconds it ran (at least 1.2, at most 20 on a busy machine), plus 60 s.
        self.assertRegex(page.text("#mirror-text"), r"^00:03:[0-2]\d")
        # Set and started; the minute added is the command table's, seen in the mirror above.
        for display in (1, 2):
            self.assertEqual(received(display, since)[:2],
                             ["A7 00 00 02 1E 00 00 00 00 00", "A6 01 00"])
        self.assertEqual(received(3, since), [])

    def test_4_program_armed_and_running(self):
        page = self.page
        since = len(sim_log())
        page.press('[data-tab="program"]')
        page.find("#program-choice").find_element(By.CSS_SELECTOR, 'option[value="2"]').click()
        page.wait_for(lambda: len(page.find_all("#program-lines li")) > 1, "program 2's lines")
        page.press('#program [data-command="program.arm"]')
        page.wait_for(lambda: page.text("#program-status") == "Armed, paused", "armed")
        page.press('#program [data-run="program"]')
        page.wait_for(lambda: page.find_all("#program-lines li.running"), "a running row")
        running = page.find_all("#program-lines li.running")
        self.assertEqual(len(running), 1)
        with urllib.request.urlopen(API + "/api/v1/state") as answer:
            step = json.load(answer)["program"]["runningStep"]
        self.assertEqual(running[0].find_element(By.CSS_SELECTOR, ".step").text, str(step))
        for display in (1, 2):
            sent = received(display, since)
            self.assertEqual([sent[0][:8], sent[1]], ["AC D7 01", "AE 01 00"])
        page.press('#program [data-run="program"]')
        page.wait_for(lambda: page.text("#program-status") == "Armed, paused", "paused")

    def test_5_tabata_and_presentation_from_their_numbers(self):
        page = self.page
        since = len(sim_log())
        page.press('[data-tab="tabata"]')
        for field, value in (("work", "3"), ("rest", "2"), ("rounds", "3")):
            page.find(f'#tabata-form [name="{field}"]').clear()
            page.find(f'#tabata-form [name="{field}"]').send_keys(value)
        page.press("#tabata-form button")
        page.press('[data-tab="program"]')
        chosen = "#program-choice option:checked"
        page.wait_for(lambda: page.text(chosen) == "10 · Tab 3/2", "the Tabata program open")
        details = [d.text for d in page.find_all("#program-lines .details")]
        self.assertIn("back to step 1, 2 times", details)
        self.assertEqual(received(1, since)[0][:8], "AC D7 09")

        page.press('[data-tab="presentation"]')
        for field, value in (("total", "2:30"), ("warning", "0:30")):
            page.find(f'#presentation-form [name="{field}"]').clear()
            page.find(f'#presentation-form [name="{field}"]').send_keys(value)
        page.find('#presentation-form [name="countUp"]').click()
        page.press("#presentation-form button")
        page.press('[data-tab="program"]')
        page.wait_for(lambda: page.text(chosen) == "9 · Pres:150-30", "the presentation open")
        commands = [c.text for c in page.find_all("#program-lines .command")]
        self.assertIn("count-up", commands)

    def test_5z_no_errors_logged(self):
        # Failed loads, refused commands, script errors and blocked content all log as severe.
        self.assertEqual([e["message"] for e in self.driver.get_log("browser")
                          if e["level"] == "SEVERE"], [])

    def test_6_reconnects_after_a_restart(self):
        page = self.page
        self.restart_server()
        page.wait_for(lambda: page.link() == "Live", "live again", seconds=20)
        self.assertIn("Back online after", page.text("#notice"))
        self.assertTrue(all(c.is_enabled() for c in page.command_controls()))
        page.wait_for(lambda: len(page.find_all("#display-list .display")) == 3, "displays again")

    def test_7_token_beyond_loopback(self):
        page = self.page
        self.restart_server("--api-listen", "0.0.0.0:7380")
        page.wait_for(lambda: page.find("#token-form").is_displayed(), "the token asked for")
        self.assertFalse(page.find("#token-problem").is_displayed())
        page.find("#token").send_keys("not-the-token")
        page.find("#token-form button").click()
        page.wait_for(lambda: "not accepted" in page.text("#token-problem"), "a wrong token told")
        token = subprocess.run([APP, "--api-token"], capture_output=True, text=True,
                               check=True).stdout.strip()
        page.find("#token").send_keys(token)
        page.find("#token-form button").click()
        page.wait_for(lambda: page.link() == "Live", "live with the token", seconds=20)
        self.assertFalse(page.find("#token-form").is_displayed())
        # Commands carry the kept token too.
        page.wait_for(lambda: len(page.find_all("#display-list .display")) == 3, "displays")
        page.display_row("Gym").click()
        page.wait_for(lambda: page.display_row("Gym").get_attribute("aria-pressed") == "true",
                      "Gym selected with the token")
        self.assertEqual(self.driver.execute_script(
            "return localStorage.getItem('qb-timer.token')"), token)


if __name__ == "__main__":
    unittest.main(verbosity=2, failfast=True)
