#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus: one valid datagram of each kind a display sends,
the edge forms the reply rules single out, and runs of answers to the queued commands. An input
is a run of datagrams, each after a byte choosing its sender (0 and 1: displays with commands
queued, 2: one with none, 3: not IPv4) and a byte giving its length."""
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


def step_image(*steps):
    image = bytearray(200)
    for k, step in enumerate(steps):
        image[20 * k:20 * k + len(step)] = step
    return bytes(image)


def frame(datagram, sender=0):
    return bytes([sender, len(datagram)]) + datagram


def step(command, goto=0, repeats=0, start=0, stop=0):
    """One 20-byte timer step."""
    return (bytes([command, 0, 0, 0, 0, goto, repeats, 0]) + start.to_bytes(4, "little")
            + stop.to_bytes(4, "little"))


NAME = b"Hall".ljust(12, b"\0")
PROGRAM = step_image(step(9), step(5, start=300, stop=60), step(1, start=60), step(7, repeats=3),
                     step(8, goto=1))
ZERO_TIME_LOOP = step_image(step(9), step(7, repeats=255), step(8))

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
# Whole inputs: runs of datagrams, and the bytes the fuzz target also reads as a program.
runs = {
    # Stored program texts, as written and as a user may have edited them.
    "program-text-tabata": (
        b"09000000000000020100000000010100000000003c000000000209000000000000020000000000"
        b"010000000000000f00000000020700000300000000000000000008000000000000000000000002"),
    # Non-hex digits, command 0, command 255, eleven lines and a cut-off twelfth.
    "program-text-hand-edited": b"0A00zz00000100000000000002" + b"00" * 13 + b"ff" * 13
                                + b"08000000000000000000000000" * 9 + b"0800",
    # Step images: a repeat that has been taken, 32-bit seconds, a colour step, the end.
    "program-steps": step_image(bytes.fromhex("0700000000020305"),
                                bytes.fromhex("050000000000000000000100030001000200"),
                                bytes.fromhex("0900000001020304050607089999"),
                                bytes.fromhex("08")),
    "run-answers-in-order": frame(b"A") + frame(bytes([0xB2, 0, 3]) + bytes(212)) + frame(status()),
    "run-program-0-ends-one-byte": frame(bytes([0xB2, 0, 0]) + bytes(212), 1) + frame(b"A", 1),
    "run-strangers": frame(status(), 2) + frame(b"A", 2) + frame(status(), 3),
}
for name, data in seeds.items():
    (out / name).write_bytes(frame(data))
for name, data in runs.items():
    (out / name).write_bytes(data)
