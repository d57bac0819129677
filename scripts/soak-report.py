#!/usr/bin/env python3
# Prints the soak's figures from its work folder: argv = WORK STARTED ENDED RSS0 FDS0 RSS1 FDS1 EXIT.
import json, os, re, sys, time
from collections import Counter

work = sys.argv[1]
started, ended = int(sys.argv[2]), int(sys.argv[3])
rss0, fds0, rss1, fds1, status = (int(x) for x in sys.argv[4:9])
minutes = (ended - started) / 60

log = open(os.path.join(work, "player.log"), encoding="utf-8", errors="replace").read().splitlines()
start_line = re.compile(r"^\w (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) \[DECK [AB]\] (.*) \((-?\d+):(\d\d)\)$")
starts = []
for line in log:
    m = start_line.match(line)
    if m:
        starts.append((time.mktime(time.strptime(m.group(1), "%Y-%m-%d %H:%M:%S")), m.group(2)))

print("soak: %.1f minutes, exit status %d" % (minutes, status))
audio_path = os.path.join(work, "audio.json")
if os.path.exists(audio_path):
    audio = json.load(open(audio_path))
    # Dead air counts from the first sound on: the start-up before it is not a gap.
    quiet = [q for q in audio["quiet"] if audio["start"] is not None]
    first_sound = audio["start"] + (quiet[0][1] if quiet and quiet[0][0] <= audio["start"] + 0.01 else 0)
    # Up to the end of the run: the shutdown's own silence is not dead air, nor is the quiet of
    # the script's own remote pauses (logged when the second of the pair was sent, 2 s after
    # the first).
    pauses = []
    commands_path = os.path.join(work, "commands")
    if os.path.exists(commands_path):
        for line in open(commands_path):
            when, _, what = line.strip().partition(" ")
            if what == "pause":
                pauses.append(int(when))
    paused = lambda q: any(t - 4 <= q[0] <= t + 2 for t in pauses)
    gaps = [q for q in quiet if first_sound < q[0] < ended and not paused(q)]
    held = [q for q in quiet if first_sound < q[0] < ended and paused(q)]
    if pauses:
        print("remote pauses: %d, their quiet: %s" % (len(pauses), ", ".join("%.2f s" % q[1] for q in held) or "none"))
    dead = [q for q in gaps if q[1] > 1.5]
    on_air = audio["seconds"] - (first_sound - audio["start"]) - sum(q[1] for q in dead) - sum(q[1] for q in held)
    print("minutes on air: %.1f of %.1f listened" % (on_air / 60, audio["seconds"] / 60))
    longest = max(gaps, key=lambda q: q[1]) if gaps else [0, 0]
    print("longest dead air: %.2f s (at %s); quiet stretches over 0.2 s: %d, over 1.5 s: %d"
          % (longest[1], time.strftime("%H:%M:%S", time.localtime(longest[0])) if longest[0] else "-",
             len(gaps), len(dead)))
    worst = sorted(gaps, key=lambda q: -q[1])[:8]
    print("longest quiet stretches: %s" % (", ".join("%.2f s at %s" % (q[1], time.strftime("%H:%M:%S", time.localtime(q[0])))
                                                     for q in worst) or "none"))

    def heard(t):  # sound between 1 and 6 s after the logged start (log times have 1 s steps)
        for q in quiet:
            if q[0] <= t + 1 and q[0] + q[1] >= t + 6:
                return False
        return True

    print("plays heard: %d of %d deck starts" % (sum(heard(t) for t, _ in starts), len(starts)))
else:
    print("minutes on air: n/a (silent output: no pulseaudio)")
    print("deck starts: %d" % len(starts))

history = []
for line in open(os.path.join(work, "history.txt"), errors="replace"):
    line = line.strip()
    if line.startswith("#"):
        artist, title, when = line[1:].rsplit("|", 2)
        history.append((int(when), artist.strip(), title.strip()))
print("history rows: %d" % len(history))
twice = 0
for i, (when, artist, title) in enumerate(history):
    for before, a, t in history[:i]:
        if (artist and a == artist and when - before < 120 * 60) or (title and t == title and when - before < 240 * 60):
            twice += 1
            break
print("songs played twice within the rules (artist 120 min, title 240 min): %d" % twice)
print("log lines per minute: %.1f (%d lines)" % (len(log) / max(minutes, 1e-9), len(log)))
kinds = Counter(line.split(" ", 1)[0] for line in log if re.match(r"^\w \d{4}-", line))
print("log lines by kind: %s" % ", ".join("%s %d" % k for k in sorted(kinds.items())))
repeated = Counter(re.sub(r"^\w \S+ \S+ ", "", line) for line in log).most_common(3)
print("most repeated lines: %s" % "; ".join("%dx %s" % (n, text[:100]) for text, n in repeated))
print("resident memory: %d kB at start, %d kB at end" % (rss0, rss1))
print("open descriptors: %d at start, %d at end" % (fds0, fds1))
