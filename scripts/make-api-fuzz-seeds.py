#!/usr/bin/env python3
"""Writes the HTTP fuzz target's seed corpus: requests a client sends the door, well formed
and not, joined into runs by the byte 0x1E."""
import pathlib

out = pathlib.Path(__file__).resolve().parent.parent / "fuzz" / "corpus-api"
out.mkdir(parents=True, exist_ok=True)


def post(name, body, extra=b"", ctype=b"application/json"):
    return (b"POST /api/v1/commands/" + name + b" HTTP/1.1\r\nHost: 127.0.0.1\r\n"
            + b"Content-Type: " + ctype + b"\r\n" + extra
            + b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)


def get(path, extra=b""):
    return b"GET " + path + b" HTTP/1.1\r\nHost: localhost:7380\r\n" + extra + b"\r\n"


seeds = {
    "state": get(b"/api/v1/state"),
    "table": get(b"/api/v1/commands"),
    "events": get(b"/api/v1/events"),
    "select-set-start": b"\x1e".join([
        post(b"displays.selectOnly", b'{"displays": ["Hall", "127.0.0.4"]}'),
        post(b"countdown.set", b'{"days": 1, "hours": 2, "minutes": 3, "seconds": 4, "alarm": 5}'),
        post(b"countdown.start", b"{}"),
        post(b"countdown.adjust", b'{"seconds": -3600}'),
        post(b"countdown.pause", b""),
    ]),
    "program-run": b"\x1e".join([
        post(b"program.arm", b'{"program": 1, "to": "Gym"}'),
        post(b"program.toggle", b"{}"),
        post(b"program.show", b'{"program": 10}'),
        post(b"tabata", b'{"work": 20, "rest": 10, "rounds": 8, "alarm": true}'),
        post(b"presentation", b'{"total": 600, "warning": 60, "format": "hh:mm:ss", "countUp": true}'),
    ]),
    "bad-values": b"\x1e".join([
        post(b"countdown.set", b'{"minutes": 1e309}'),
        post(b"countdown.set", b'{"minutes": -0.0, "seconds": 59.0000001}'),
        post(b"countup.reset", b'{"format": "dd:hh:mm", "to": []}'),
        post(b"displays.add", b'{"address": "127.0.0.1.1"}'),
        post(b"displays.remove", b'{"displays": [null, 1, "\\u0000"]}'),
    ]),
    "bad-json": post(b"clock", b'{"to": "Hall",'),
    "form": post(b"clock", b"to=Hall", ctype=b"application/x-www-form-urlencoded"),
    "chunked": (b"POST /api/v1/commands/clock HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                b"Content-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n"
                b"2\r\n{}\r\n0\r\n\r\n"),
    "no-length": (b"POST /api/v1/commands/countup.start HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                  b"Content-Type: application/json; charset=utf-8\r\n\r\n"),
    "host": get(b"/api/v1/state", b"Host: evil.example\r\n"),
    "framing": b"\x1e".join([
        post(b"clock", b"{}", b"Content-Length: 3\r\n"),
        post(b"clock", b"{}", b"Transfer-Encoding: chunked\r\n"),
        post(b"clock", b"", b"Expect: 100-continue\r\n").replace(b"Length: 0", b"Length: 65537"),
        b"GET /api/v1/state HTTP/1.1\r\nConnection: close\r\n\r\n",
        b"GET /api/v1/state HTTP/1.0\r\n\r\n",
    ]),
    "unknown": post(b"%2e%2e/state", b"{}") + b"\x1e" + get(b"/../../etc/passwd"),
}
for name, data in seeds.items():
    (out / name).write_bytes(data)
