"""Debian's Chromium, headless, driven by its chromedriver, for the browser remote's test and
screenshots. Nothing is fetched from anywhere: no updates, no sync, no background traffic."""

import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

PHONE = (390, 844)
DESKTOP = (1280, 800)
# The viewer's screens: a TV, a small monitor, a monitor turned upright.
VIEWER_SIZES = ((1920, 1080), (1280, 720), (1080, 1920))


def set_viewport(driver, size):
    """Gives the current window a desktop viewport of `size` CSS pixels."""
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": size[0], "height": size[1], "deviceScaleFactor": 1, "mobile": False})


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
    # The network log shows what every request carried (the viewer's token must never be in a URL).
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    options.add_experimental_option("perfLoggingPrefs", {"enableNetwork": True,
                                                         "enablePage": False})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.profile = profile  # removed with the driver object
    return driver
