"""Drives the browser remote into a few telling states and saves screenshots of them; run by
scripts/make-web-screenshots.sh inside tests/support/with-headless.sh."""

import json
import os
import sys
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "support"))
from browser import DESKTOP, PHONE, chromium  # noqa: E402
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


time.sleep(1.5)  # discovery over: its answers set the mirror
send("displays.selectOnly", {"displays": ["Main Hall", "Gym"]})
send("countdown.set", {"minutes": 10})
send("countdown.start")
time.sleep(2)
shot(PHONE, True, "phone")
shot(DESKTOP, False, "desktop")
send("countdown.pause")
send("program.open", {"program": 2})
send("program.arm")
send("program.start")
time.sleep(2)
shot(PHONE, True, "phone-program", tab="program")
