"""The browser remote and the viewer end to end: Debian's headless Chromium (the phone page at
phone size, the viewer in a second window at TV sizes) against `qb-timer --headless` and three
simulated displays (Hall, Gym and one named like markup), run by tests/support/with-headless.sh in
a network namespace of its own. Each step asserts what the pages show and what the displays
received; the steps build on each other as an operator's session would."""

import json
import os
import signal
import subprocess
import sys
import time
import unittest
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from browser import PHONE, VIEWER_SIZES, chromium, set_viewport  # noqa: E402
from selenium.common.exceptions import StaleElementReferenceException  # noqa: E402
from selenium.common.exceptions import TimeoutException  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

API = os.environ["QB_API"]
SIM_LOG = os.environ["QB_SIM_LOG"]
APP = os.path.join(os.environ["QB_BUILD"], "app", "qb-timer")
MARKUP_NAME = "<img src=x>"
# The viewer's colours (viewer.css) of the colour lines' indices 0 to 6 as the displays get them.
COLOURS = ["red", "green", "blue", "cyan", "magenta", "yellow", "white"]


def token_of(option):
    return subprocess.run([APP, option], capture_output=True, text=True,
                          check=True).stdout.strip()


def call(name, token, params=None):
    """A command through the API: (status, answer)."""
    request = urllib.request.Request(
        f"{API}/api/v1/commands/{name}", data=json.dumps(params or {}).encode(), method="POST",
        headers={"Content-Type": "application/json", "Authorization": f"Bearer {token}"})
    try:
        with urllib.request.urlopen(request) as answer:
            return answer.status, json.load(answer)
    except urllib.error.HTTPError as error:
        return error.code, json.load(error)


def armed_colours(display, since):
    """The (hours, rest) colours of each colour line of the program last armed on a display:
    AC D7 n, a 12-byte name, then 20-byte steps; a colour step is 9, its colours at 10 and 11.
    None while no program was armed."""
    armed = [h for h in received(display, since) if h.startswith("AC D7")]
    if not armed:
        return None
    arm = bytes.fromhex(armed[-1])
    steps = [arm[15 + i:35 + i] for i in range(0, 200, 20)]
    return [(COLOURS[step[10]], COLOURS[step[11]]) for step in steps if step[0] == 9]


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
        """Waits until `condition` holds; an element redrawn under it is looked up again."""
        try:
            return WebDriverWait(self.driver, seconds, 0.05,
                                 ignored_exceptions=[StaleElementReferenceException]).until(
                lambda _: condition())
        except TimeoutException as error:
            raise AssertionError(f"timed out: {what() if callable(what) else what}") from error

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def find_all(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def text(self, css):
        return self.find(css).text

    def link(self):
        return self.text("#link")

    def press(self, css):
        self.wait_for(lambda: self.find(css).is_displayed() and self.find(css).is_enabled(),
                      f"{css} shown and enabled")
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

    def test_0_shown_times_advance(self):
        # [text, interval, direction, ms since it turned] -> the text shown then.
        rows = [
            [["00:04:59.3", False, 1, 250], "00:04:59.5"],
            [["00:04:59.3", False, -1, 250], "00:04:59.1"],
            [["00:00:00.2", False, -1, 900], "00:00:00.0"],
            [["25:00:00.0", False, 1, 100], "25:00:00.1"],
            [["1-23:59:59", False, 1, 1000], "2-00:00:00"],
            [["23:59:59", False, 1, 1000], "00:00:00"],
            [["3-00:20", True, -1, 1000], "3-00:19"],
            [["3-00:20", False, -1, 1000], "3-00:20"],
            [["00:00:10", False, 1, 2999], "00:00:12"],
            [["00:00:10", False, 1, 9000], "00:00:12"],
            [["00:01:00.0", False, 0, 5000], "00:01:00.0"],
            [["--:--", False, 1, 5000], "--:--"],
        ]
        got = self.driver.execute_async_script("""
            const [rows, done] = arguments;
            import("./showntime.js").then(({ LiveTime }) => done(rows.map(([args]) => {
                const time = new LiveTime();
                time.tell(args[0], args[2], 1000, args[1]);
                return time.textAt(1000 + args[3]);
            })));""", rows)
        self.assertEqual(got, [expected for _, expected in rows])

    def test_0_viewer_shows(self):
        def colour(step, hours, rest):
            return {"step": step, "command": "colour", "hours-colour": hours,
                    "min-sec-colour": rest}

        def interval(step, counts):
            return {"step": step, "command": "interval-down", "increment-interval": counts}

        tabata = {"open": 10, "name": "Tab 3/2", "runningStep": 4, "lines": [
            colour(1, "Blue", "Green"), interval(2, True), colour(3, "Blue", "Red"),
            interval(4, False), {"step": 5, "command": "repeat", "goto": 1, "repeats": 2},
            {"step": 6, "command": "end"}]}
        presentation = {"open": 9, "name": "Pres:3-1", "runningStep": 6, "lines": [
            colour(1, "Green", "Green"), {"step": 2, "command": "count-down"},
            colour(3, "Yellow", "Yellow"), {"step": 4, "command": "count-down"},
            colour(5, "Red", "Red"), {"step": 6, "command": "count-up"}]}
        counting = {"mode": "countdown", "counting": "down", "text": "00:01:00.0", "format": 0}
        running = {"countDown": "Pause", "program": "Pause"}
        gym = {"address": "127.0.0.3", "name": "Gym", "selected": True, "time": "00:00:59",
               "mode": "countdown", "running": True, "missed": None}
        missed = {**gym, "lastAnswer": "2026-12-08T20:14:05",
                  "missed": {"command": "count-down start", "at": "2026-12-08T20:14:09"}}

        def state(mirror, program=None, displays=()):
            return {"mirror": mirror, "captions": running, "program": program or {},
                    "displays": list(displays)}

        in_program = {**counting, "mode": "program", "text": "2-00:02", "format": 3}
        # [state, ?display=] -> [text, direction, caption, hours colour, rest colour, lost]
        rows = [
            [[state(counting), None],
             ["00:01:00.0", -1, "Count-down · running", "red", "red", ""]],
            [[state(in_program, tabata), None],
             ["2-00:02", -1, "Tab 3/2 · Rest · round 2 of 3", "blue", "red", ""]],
            [[state(in_program, {**tabata, "runningStep": 2}), None],
             ["2-00:02", -1, "Tab 3/2 · Work · round 2 of 3", "blue", "green", ""]],
            [[state({**in_program, "counting": "up"}, presentation), None],
             ["2-00:02", 1, "Pres:3-1 · Overtime", "red", "red", ""]],
            [[state({**in_program, "counting": "up"}, {**presentation, "runningStep": 4}), None],
             ["2-00:02", 1, "Pres:3-1 · Closing", "yellow", "yellow", ""]],
            [[state(counting, None, [gym]), "Gym"],
             ["00:00:59", -1, "Gym · Count-down · running", "red", "red", ""]],
            [[state(counting, None, [{**gym, "selected": False, "running": False}]),
              "127.0.0.3"],
             ["00:00:59", 0, "Gym · Count-down · paused", "red", "red", ""]],
            [[state(counting, None, [missed]), "Gym"],
             ["", 0, "", "red", "red", "Gym: no answer since 20:14:05"]],
            [[state(counting, None, [gym]), "127.0.0.4"],
             ["", 0, "", "red", "red", 'No display "127.0.0.4" is listed']],
            [[state(counting, None, [gym]), "gym"],
             ["", 0, "", "red", "red", 'No display "gym" is listed']],
        ]
        got = self.driver.execute_async_script("""
            const [rows, done] = arguments;
            import("./viewershows.js").then(({ viewerShows }) => done(rows.map(([args]) => {
                const s = viewerShows(...args);
                return [s.text, s.direction, s.caption, s.colours.hours, s.colours.rest, s.lost];
            })));""", rows)
        self.assertEqual(got, [expected for _, expected in rows])

    def test_0_display_rows_marked(self):
        # The events in order: the list, one row changed (missed), a row added, the row answering.
        hall = {"address": "127.0.0.2", "name": "Hall", "selected": False, "time": "12:00:01"}
        gym = {**hall, "address": "127.0.0.3", "name": "Gym"}
        missed = {**gym, "lastAnswer": "2026-12-08T20:14:05",
                  "missed": {"command": "clock", "at": "2026-12-08T20:14:09"}}
        pool = {**hall, "address": "127.0.0.4", "name": "Pool"}
        got = self.driver.execute_async_script("""
            const [events, done] = arguments;
            import("./view.js").then((view) => {
                const list = document.createElement("ul");
                let displays = events[0];
                const seen = [];
                for (const changed of events.slice(1)) {
                    displays = view.withDisplay(displays, changed);
                    view.showDisplays(list, displays);
                    seen.push([...list.querySelectorAll(".display")].map((row) => [
                        row.querySelector(".name").textContent, row.classList.contains("missed"),
                        row.querySelector(".health").textContent]));
                }
                done(seen);
            });""", [[hall, gym], missed, pool, gym])
        answering = [["Hall", False, ""], ["Gym", False, ""]]
        lost = [["Hall", False, ""], ["Gym", True, "no answer since 20:14:05"]]
        self.assertEqual(got, [lost, lost + [["Pool", False, ""]],
                               answering + [["Pool", False, ""]]])

    def test_1_served_files(self):
        types = {"/": "text/html; charset=utf-8", "/app.js": "text/javascript; charset=utf-8",
                 "/style.css": "text/css; charset=utf-8", "/icon.svg": "image/svg+xml",
                 "/viewer": "text/html; charset=utf-8", "/dseg7.ttf": "font/ttf"}
        for path, expected in types.items():
            with self.subTest(path=path), urllib.request.urlopen(API + path) as answer:
                self.assertEqual(answer.headers["Content-Type"], expected)
        for path in ("/", "/viewer"):
            with urllib.request.urlopen(API + path) as page:
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

        # One row marked, the state's running step; both are read again while the rows redraw.
        def running_steps():
            return [row.find_element(By.CSS_SELECTOR, ".step").text
                    for row in page.find_all("#program-lines li.running")]

        def state_step():
            with urllib.request.urlopen(API + "/api/v1/state") as answer:
                return str(json.load(answer)["program"]["runningStep"])

        page.wait_for(lambda: running_steps() == [state_step()], "the running row marked")
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
        # A check box is tapped anywhere on its line, at least 44 px high.
        checks = page.find_all("#presentation-form .check")
        self.assertGreaterEqual(min(c.size["height"] for c in checks), 44)
        page.find('#presentation-form .check').click()
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
        token = token_of("--api-token")
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

    def test_9_viewer(self):
        driver, page = self.driver, self.page
        token, viewer_token = token_of("--api-token"), token_of("--viewer-token")
        driver.get_log("performance")  # what the phone page sent so far
        type(self).phone_window = driver.current_window_handle
        driver.switch_to.new_window("window")
        type(self).viewer_window = driver.current_window_handle
        driver.get(f"{API}/viewer#token={viewer_token}")
        page.wait_for(lambda: page.find("body").get_attribute("data-link") == "live",
                      "the viewer live")
        # The fragment's token goes in a header, never in a request's address.
        sent = [json.loads(e["message"])["message"]["params"]
                for e in driver.get_log("performance")]
        sent = [p["request"] for p in sent if "request" in p]
        self.assertIn(f"{API}/api/v1/events", [r["url"] for r in sent])
        self.assertEqual([r["url"] for r in sent if viewer_token in r["url"]], [])
        self.assertIn(f"Bearer {viewer_token}",
                      [r["headers"].get("Authorization") for r in sent])

        # A Tabata of three rounds on Gym: the viewer in the colours Gym was told.
        self.assertEqual(call("displays.selectOnly", token, {"displays": ["Gym"]})[0], 200)
        since = len(sim_log())
        self.assertEqual(call("tabata", token, {"work": 3, "rest": 2, "rounds": 3})[0], 200)
        self.assertEqual(call("program.start", token)[0], 200)
        work, rest = page.wait_for(lambda: armed_colours(2, since), "the Tabata armed on Gym")
        for what, colours in (("Work", work), ("Rest", rest)):
            page.wait_for(lambda: f"· {what} · round" in page.text("#caption"), what)
            self.assertEqual(self.digit_colours(), self.css_colours(*colours))

        # The digits fill the width in each size, without overflowing.
        for size in VIEWER_SIZES:
            set_viewport(driver, size)
            page.wait_for(lambda: driver.execute_script("return innerWidth") == size[0], "resized")
            page.wait_for(lambda: self.digits_fill(size), f"the digits filling {size}", 5)

    def digits_fill(self, size):
        left, right = self.driver.execute_script(
            "const r = document.getElementById('lit').getBoundingClientRect();"
            "return [r.left, r.right];")
        return left >= 0 and right <= size[0] and right - left >= 0.8 * size[0]

    def digit_colours(self):
        return self.driver.execute_script(
            "return ['hours', 'rest'].map((id) =>"
            " getComputedStyle(document.getElementById(id)).color);")

    def css_colours(self, *names):
        return self.driver.execute_script(
            "const probe = document.body.appendChild(document.createElement('i'));"
            "const out = arguments[0].map((name) => {"
            " probe.dataset.colour = name; return getComputedStyle(probe).color; });"
            "probe.remove(); return out;", list(names))

    def test_9z_a_stalled_controller(self):
        """SIGSTOP: the viewer says the link is lost, the phone page goes offline within 5 s, and
        a tap during the stall is reported as not sent and never carried out afterwards."""
        driver, page = self.driver, self.page
        driver.switch_to.window(self.phone_window)
        page.press('[data-tab="clock"]')
        page.wait_for(lambda: page.link() == "Live", "the phone page live")
        driver.execute_script("""
            window.notices = [];
            const notice = document.getElementById("notice");
            new MutationObserver(() => window.notices.push(notice.textContent))
                .observe(notice, { childList: true, characterData: true, subtree: true });""")
        # The notices read a second after the tap's deadline: "Not sent" is what the operator
        # sees, not an "Offline" written over it at once.
        since = len(sim_log())
        os.kill(self.server.pid, signal.SIGSTOP)
        try:
            stopped = time.monotonic()
            page.press('#clock [data-command="clock"]')
            page.wait_for(lambda: page.link() == "Offline", "offline", 6)
            self.assertLess(time.monotonic() - stopped, 5.5)
            notices = lambda: driver.execute_script("return window.notices")  # noqa: E731
            page.wait_for(lambda: any(n.startswith("Not sent") for n in notices()),
                          lambda: f"the tap reported as not sent: {notices()}", 6)
            time.sleep(1)
            self.assertTrue(page.text("#notice").startswith("Not sent"), page.text("#notice"))
            driver.switch_to.window(self.viewer_window)
            page.wait_for(lambda: page.find("#overlay").is_displayed(), "the viewer's overlay")
            self.assertEqual(page.text("#overlay-title"), "Connection lost")
        finally:
            os.kill(self.server.pid, signal.SIGCONT)
        page.wait_for(lambda: not page.find("#overlay").is_displayed(), "the viewer back")
        driver.switch_to.window(self.phone_window)
        page.wait_for(lambda: page.link() == "Live", "live again", 10)
        time.sleep(0.5)
        self.assertEqual([received(d, since) for d in (1, 2, 3)], [[], [], []])

    def test_9z_lost_display(self):
        """?display= of a display that stopped answering says so instead of showing a time."""
        token = token_of("--api-token")
        driver, page = self.driver, self.page
        driver.switch_to.window(self.viewer_window)
        driver.get(f"{API}/viewer?display=Gym#token={token_of('--viewer-token')}")
        page.wait_for(lambda: page.text("#caption").startswith("Gym · "), "Gym shown")
        sim = int(os.environ["QB_SIM_PID"])
        os.kill(sim, signal.SIGSTOP)
        try:
            self.assertEqual(call("clock", token, {"to": "Gym"})[0], 200)
            page.wait_for(lambda: page.text("#caption").startswith("Gym: no answer since"),
                          "Gym lost", 15)
            self.assertFalse(page.find("#lit").is_displayed())
            driver.switch_to.window(self.phone_window)
            page.wait_for(lambda: "missed" in page.display_row("Gym").get_attribute("class"),
                          "Gym's row marked on the phone page")
        finally:
            os.kill(sim, signal.SIGCONT)


if __name__ == "__main__":
    unittest.main(verbosity=2, failfast=True)
