#!/usr/bin/python3
"""Writes the OSC fuzz target's seed corpus (fuzz/corpus-osc): runs of messages as surfaces send
them, written by liblo itself (each message is sent to a socket of this script on loopback and
taken as it arrives). An input is a run of datagrams, each after a byte choosing its sender (0:
loopback, 1: an allowed network, 2: loopback over IPv6, 3: a stranger) and a byte giving its
length. Needs Debian's python3-liblo."""
import pathlib
import socket

import liblo

out = pathlib.Path(__file__).resolve().parent.parent / "fuzz" / "corpus-osc"
out.mkdir(parents=True, exist_ok=True)

capture = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
capture.bind(("127.0.0.1", 0))
target = liblo.Address("127.0.0.1", capture.getsockname()[1])


def wire(path, *args):
    """One message as liblo writes it; a liblo.Bundle as it is."""
    liblo.send(target, path if isinstance(path, liblo.Bundle) else liblo.Message(path, *args))
    return capture.recv(65536)


def seed(name, *datagrams):
    """datagrams: (sender, path, args...) each."""
    data = b""
    for sender, *message in datagrams:
        datagram = wire(*message)
        data += bytes([sender, len(datagram)]) + datagram
    (out / name).write_bytes(data)


seed("count-down",
     (0, "/qb/displays/selectOnly", "Hall", "Gym"), (0, "/qb/countdown/set", 0, 0, 5, 0),
     (0, "/qb/countdown/start"), (1, "/qb/countdown/adjust", ("f", 60.0)),
     (2, "/qb/countdown/pause"), (0, "/qb/countdown/adjust", "-30", "Hall"))
seed("programs",
     (0, "/qb/tabata", 20, 10, 8, True, "Hall"), (0, "/qb/program/arm", "10"),
     (0, "/qb/program/start"), (0, "/qb/program/toggle"), (0, "/qb/program/pause"),
     (0, "/qb/presentation", 300, 60, "hh:mm:ss", False, ("i", 1), "Gym"))
seed("program-slots",
     (0, "/qb/program/open", 2), (0, "/qb/program/save", 2, "Hall"), (0, "/qb/program/saveAll"),
     (0, "/qb/program/get", 1), (0, "/qb/program/getAll"), (0, "/qb/program/getActive"))
seed("count-up",
     (0, "/qb/countup/reset", "hh:mm:ss", "Gym"), (0, "/qb/countup/start", "Gym"),
     (0, "/qb/countup/toggle"), (0, "/qb/countup/mode", "Hall"), (0, "/qb/clock"))
seed("presets",
     (0, "/qb/displays/select", "Hall"), (0, "/qb/countdown/preset", 3),
     (0, "/qb/countdown/reset"), (0, "/qb/countdown/mode"), (0, "/qb/displays/deselect", "Hall"))
seed("display-list",
     (0, "/qb/displays/add", "127.0.0.9"), (0, "/qb/displays/remove", "Gym"),
     (0, "/qb/displays/discover"))
seed("reading",
     (0, "/qb/state"), (0, "/qb/displays/list"), (0, "/qb/program/list"),
     (2, "/qb/program/show", 3))
seed("subscriptions",
     (0, "/qb/subscribe", 9000), (1, "/qb/subscribe", 0), (2, "/qb/subscribe"),
     (0, "/qb/unsubscribe", ("f", 9000.0)))
seed("argument-types",
     (0, "/qb/countdown/set", ("h", 1), ("d", 2.0), "3", ("S", "4"), ("c", "x")),
     (0, "/qb/tabata", 20, 10, 8, ("N",)), (0, "/qb/countdown/adjust", ("b", [1, 2, 3])),
     (0, "/qb/countdown/adjust", ("I",)), (0, "/qb/countdown/set", ("t", 1.5)))
seed("refused",
     (0, "/qb/countdown/set", 0, 0, 75), (0, "/qb/countdown/adjust", ("f", 1.5)),
     (0, "/qb/countdown/go"), (0, "/qb/state", 1), (0, "/qb/countdown/start", "Stage"),
     (3, "/qb/countdown/start", "Hall"))
bundle = liblo.Bundle(liblo.Message("/qb/countdown/start"), liblo.Message("/qb/clock"))
seed("bundle", (0, bundle))
print(f"wrote {len(list(out.iterdir()))} seeds to {out}")
