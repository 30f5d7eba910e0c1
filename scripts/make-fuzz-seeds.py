#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus: one valid datagram of each kind a display sends,
and the edge forms the reply rules single out."""
import pathlib

out = pathlib.Path(__file__).resolve().parent.parent / "fuzz" / "corpus"
out.mkdir(parents=True, exist_ok=True)


def status(type_code=1, word=0x0000, days=0, sub=0, name=b"Wall", time=(8, 30, 15, 42)):
    b = bytearray(40)
    b[0] = type_code
    b[1:5] = bytes([127, 0, 0, 2])
    b[15:19] = bytes(time)
    b[19] = word & 0xFF
    b[20] = word >> 8
    b[21] = days & 0xFF
    b[22] = ((days >> 8) << 5) | sub
    b[24:24 + len(name)] = name
    return bytes(b)


def steps(*lines):
    """A 200-byte step image from (command, gotoline, repeatcountset, start, stop) lines."""
    b = bytearray(200)
    for k, (command, goto, repeats, start, stop) in enumerate(lines):
        b[20 * k] = command
        b[20 * k + 5] = goto
        b[20 * k + 6] = repeats
        b[20 * k + 8:20 * k + 12] = start.to_bytes(4, "little")
        b[20 * k + 12:20 * k + 16] = stop.to_bytes(4, "little")
    return bytes(b)


NAME = b"Hall".ljust(12, b"\0")
PROGRAM = steps((9, 0, 0, 0, 0), (5, 0, 0, 300, 60), (1, 0, 0, 60, 0), (7, 0, 3, 0, 0),
                (8, 1, 0, 0, 0))
ZERO_TIME_LOOP = steps((9, 0, 0, 0, 0), (7, 0, 255, 0, 0), (8, 0, 0, 0, 0))

seeds = {
    "status-time-of-day": status(),
    "status-count-up-running": status(word=0xC1, days=3),
    "status-count-down-running": status(type_code=2, word=0xC2, time=(0, 0, 0, 5)),
    "status-interval": status(word=0x0243),
    "status-max-days-no-nul": status(word=0xE1, days=2047, sub=31, name=b"X" * 15),
    "status-bad-time": status(time=(24, 60, 60, 100)),
    "status-type-3": status(type_code=3),
    "status-80-bytes": status() + bytes(40),
    "active-program": bytes([0xAF]) + bytes(214),
    "program-3": bytes([0xB2, 0, 3]) + bytes(212),
    "program-short": bytes([0xB2]),
    "run-status": bytes([0xB1]) + bytes(222),
    "active-program-running": bytes([0xAF, 0, 7]) + NAME + PROGRAM,
    "program-zero-time-loop": bytes([0xB2, 0, 7]) + NAME + ZERO_TIME_LOOP,
    "program-number-out-of-range": bytes([0xB2, 0, 0xFF]) + NAME + PROGRAM,
    "run-status-running": bytes([0xB1, 0, 1, 1, 2, 1, 0, 0, 45, 0, 3]) + NAME + PROGRAM,
    "run-status-row-past-end": bytes([0xB1, 0, 1, 200, 0, 1, 0, 0, 5, 0, 3]) + NAME + PROGRAM,
    "ack": b"A",
    "ack-trailing": b"A\x00\x01",
    "own-query": bytes([0xA1, 0x04, 0xB2]),
    "empty": b"",
}
for name, data in seeds.items():
    (out / name).write_bytes(data)
