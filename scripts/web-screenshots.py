"""Drives the browser remote and the viewer into a few telling states and saves screenshots of
them; run by scripts/make-web-screenshots.sh inside tests/support/with-headless.sh."""

import json
import os
import sys
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "support"))
from browser import DESKTOP, PHONE, VIEWER_SIZES, chromium  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

API = os.environ["QB_API"]
OUT = sys.argv[1]


def send(name, params=None):
    request = urllib.request.Request(
        f"{API}/api/v1/commands/{name}", data=json.dumps(params or {}).encode(),
        headers={"Content-Type": "application/json"}, method="POST")
    with urllib.request.urlopen(request) as answer:
        assert json.load(answer)["ok"], name


def shot(size, phone, name, tab=None):
    driver = chromium(size, phone, scale=2.0 if phone else 1.0)
    try:
        driver.get(API + "/")
        WebDriverWait(driver, 10).until(
            lambda d: d.find_element(By.ID, "link").text == "Live")
        if tab:
            driver.find_element(By.CSS_SELECTOR, f'[data-tab="{tab}"]').click()
        time.sleep(1.5)  # a shown time or two
        driver.save_screenshot(os.path.join(OUT, f"remote-{name}.png"))
    finally:
        driver.quit()


def viewer_shot(size, ready):
    """The viewer at `size` once its caption says `ready`."""
    driver = chromium(size, False)
    try:
        driver.get(API + "/viewer")
        WebDriverWait(driver, 15).until(
            lambda d: ready in d.find_element(By.ID, "caption").text)
        time.sleep(0.5)
        driver.save_screenshot(os.path.join(OUT, f"viewer-{size[0]}x{size[1]}.png"))
    finally:
        driver.quit()


time.sleep(1.5)  # discovery over: its answers set the mirror
send("displays.selectOnly", {"displays": ["Main Hall", "Gym"]})
send("countdown.set", {"minutes": 10})
send("countdown.start")
time.sleep(2)
shot(PHONE, True, "phone")
shot(DESKTOP, False, "desktop")
viewer_shot(VIEWER_SIZES[0], "Count-down · running")
send("countdown.pause")
send("program.open", {"program": 2})
send("program.arm")
send("program.start")
time.sleep(2)
shot(PHONE, True, "phone-program", tab="program")
send("program.pause")
send("tabata", {"work": 20, "rest": 10, "rounds": 8})
send("program.start")
viewer_shot(VIEWER_SIZES[1], "Work · round")
send("program.pause")
send("presentation", {"total": 65, "warning": 62, "countUp": True})
send("program.start")
viewer_shot(VIEWER_SIZES[2], "Closing")
