"""Debian's Chromium, headless, driven by its chromedriver, for the browser remote's test and
screenshots. Nothing is fetched from anywhere: no updates, no sync, no background traffic."""

import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

PHONE = (390, 844)
DESKTOP = (1280, 800)


def chromium(size, phone, scale=1.0):
    """A fresh browser with a profile of its own and a viewport of `size` CSS pixels; `phone`
    also gives it touch input and a mobile viewport, `scale` its device pixel ratio."""
    profile = tempfile.TemporaryDirectory(prefix="qb-chromium-", ignore_cleanup_errors=True)
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--disable-dev-shm-usage",
                 f"--user-data-dir={profile.name}", f"--window-size={size[0]},{size[1]}"):
        options.add_argument(flag)
    width, height = size
    options.add_experimental_option("mobileEmulation", {
        "deviceMetrics": {"width": width, "height": height, "pixelRatio": scale,
                          "mobile": phone, "touch": phone}})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.profile = profile  # removed with the driver object
    return driver
