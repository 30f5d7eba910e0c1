"""The controller's cost of screens and phones: 20 viewers and 5 phone pages follow a
presentation timer for 60 s while the controller's CPU time is read from /proc. One viewer is a
real page in headless Chromium, which meanwhile compares the time it shows with the state's ten
times a second; the other 24 pages are stood in for by clients that load the page's files and
read the event stream as the pages do (a browser opens at most six connections to one server,
so one browser cannot hold 25 streams). The connections the controller holds are counted from
/proc/net/tcp, so that every client counts.
Run inside tests/support/with-headless.sh:

  tests/isolated.sh tests/support/with-headless.sh build -- /usr/bin/python3 scripts/viewer-load.py
"""

import http.client
import json
import os
import sys
import threading
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "support"))
from browser import chromium  # noqa: E402

API = os.environ["QB_API"]
PID = int(os.environ["QB_APP_PID"])
VIEWERS, PHONES, SECONDS = 20, 5, 60


def send(name, params=None):
    request = urllib.request.Request(
        f"{API}/api/v1/commands/{name}", data=json.dumps(params or {}).encode(),
        headers={"Content-Type": "application/json"}, method="POST")
    with urllib.request.urlopen(request) as answer:
        assert json.load(answer)["ok"], name


def cpu_seconds():
    with open(f"/proc/{PID}/stat", encoding="utf-8") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def connections():
    """Established connections to the API's port: the pages' event streams, once idle
    keep-alive connections have closed."""
    port = f":{int(API.rsplit(':', 1)[1]):04X}"
    with open("/proc/net/tcp", encoding="utf-8") as table:
        rows = [line.split() for line in table.readlines()[1:]]
    return sum(row[1].endswith(port) and row[3] == "01" for row in rows)


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(p / 100 * len(ordered)))]


# How far the shown time is behind the state's, in ms, while it counts down: the state was taken
# half-way through its request, so by the time the answer is read it is half a round trip lower.
SAMPLE = """
const done = arguments[0];
const ms = (t) => t.split(/[:.]/).map(Number).reduce((a, n, i) => i < 3 ? a * 60 + n : a, 0) * 1000
    + Number(t.split(".")[1]) * 100;
const gaps = [];
const shown = () => document.getElementById("hours").textContent
    + document.getElementById("rest").textContent;
(async () => {
  const end = performance.now() + %d;
  while (performance.now() < end) {
    const t0 = performance.now();
    const state = await (await fetch("api/v1/state", { cache: "no-store" })).json();
    const t1 = performance.now();
    const text = state.mirror.text;
    if (/^\\d\\d:\\d\\d:\\d\\d\\.\\d$/.test(text) && /^\\d\\d:\\d\\d:\\d\\d\\.\\d$/.test(shown())) {
      gaps.push(ms(shown()) - ms(text) + (t1 - t0) / 2);
    }
    await new Promise((r) => setTimeout(r, 100));
  }
  done(gaps);
})();
"""

time.sleep(1.5)
send("displays.selectOnly", {"displays": ["Hall", "Gym"]})
send("presentation", {"total": 600, "warning": 60, "format": "mm:ss.t", "countUp": True})
send("program.start")

idle_start = cpu_seconds()
time.sleep(10)
idle = (cpu_seconds() - idle_start) / 10

def page_client(files, source):
    """Loads a page's files, then reads the event stream until the run ends, from a loopback
    address of its own, as each screen or phone is a host of its own."""
    host, port = API.split("//")[1].rsplit(":", 1)
    connection = http.client.HTTPConnection(host, int(port), source_address=(source, 0))
    for name in files:
        connection.request("GET", "/" + name)
        connection.getresponse().read()
    connection.request("GET", "/api/v1/events")
    stream = connection.getresponse()
    assert stream.status == 200, stream.status
    while stream.read1(65536):
        pass


viewer_files = ["viewer", "viewer.css", "viewer.js", "connection.js", "showntime.js",
                "view.js", "viewershows.js", "durations.js", "dseg7.ttf"]
phone_files = ["", "style.css", "app.js", "connection.js", "showntime.js", "view.js",
               "durations.js", "icon.svg"]
clients = [viewer_files] * (VIEWERS - 1) + [phone_files] * PHONES
for n, files in enumerate(clients):
    threading.Thread(target=page_client, args=(files, f"127.0.1.{n + 1}"), daemon=True).start()
driver = chromium((1280, 720), False)
driver.set_script_timeout(SECONDS * 3)
driver.get(API + "/viewer")
deadline = time.monotonic() + 60
while connections() < VIEWERS + PHONES and time.monotonic() < deadline:
    time.sleep(0.5)
time.sleep(6)  # idle keep-alive connections close after 5 s
held = connections()
start = cpu_seconds()
time.sleep(SECONDS)
busy = (cpu_seconds() - start) / SECONDS
# Then the lag, apart: the samples' own state requests cost the controller too.
gaps = driver.execute_async_script(SAMPLE % (SECONDS * 1000 // 2))
visible = driver.execute_script("return document.visibilityState")
driver.quit()

lag = [max(0, g) for g in gaps]
print(f"controller CPU, program running, no clients: {idle * 100:.2f} % of a core")
print(f"controller CPU, {VIEWERS} viewers + {PHONES} phone pages ({held} connections held), "
      f"{SECONDS} s: {busy * 100:.2f} % of a core")
print(f"measuring viewer {visible}; viewer behind the state ({len(lag)} samples, shown time vs state, 0.1 s digits): "
      f"p50 {percentile(lag, 50):.0f} ms, p99 {percentile(lag, 99):.0f} ms, "
      f"max {max(lag):.0f} ms; ahead by more than 0.1 s in {sum(g < -100 for g in gaps)}")
