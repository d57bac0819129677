#!/usr/bin/env python3
# Listens to the soak's null sink (8000 Hz mono 16-bit from standard input) and writes, when the
# stream ends, how long it listened, how long there was sound and every quiet stretch of 0.2 s or
# more with its wall-clock start (JSON in argv[1]).
import array, json, signal, sys, time

RATE, BLOCK, QUIET = 8000, 80, 33  # 10 ms blocks; below about -60 dBFS is quiet
out = sys.argv[1]
state = {"start": None, "blocks": 0, "sound": 0, "quiet_from": None, "quiet": []}


def close_quiet(end_block):
    q = state["quiet_from"]
    if q is not None and end_block - q >= 20:
        state["quiet"].append([state["start"] + q * BLOCK / RATE, (end_block - q) * BLOCK / RATE])
    state["quiet_from"] = None


def finish(*_):
    close_quiet(state["blocks"])
    with open(out, "w") as f:
        json.dump({"start": state["start"], "seconds": state["blocks"] * BLOCK / RATE,
                   "sound_seconds": state["sound"] * BLOCK / RATE, "quiet": state["quiet"]}, f)
    sys.exit(0)


signal.signal(signal.SIGTERM, finish)
stream = sys.stdin.buffer
while True:
    data = stream.read(BLOCK * 2)
    if len(data) < BLOCK * 2:
        break
    if state["start"] is None:
        state["start"] = time.time()
    samples = array.array("h", data)
    loud = max(max(samples), -min(samples)) >= QUIET
    if loud:
        state["sound"] += 1
        close_quiet(state["blocks"])
    elif state["quiet_from"] is None:
        state["quiet_from"] = state["blocks"]
    state["blocks"] += 1
finish()
