"""Turns the raw figures scripts/bench gathered into docs/benchmarks.md and a frame-time chart."""
import datetime
import os
import platform
import re
import statistics
import sys

work, frames, own_binary = sys.argv[1], int(sys.argv[2]), sys.argv[3]
WARM_UP = 100  # frames left out of each timed run


def timed(name):
    times, cpu, first, peak, renderer = [], [], [], [], "unknown"
    for run in (1, 2, 3):
        frames, values = [], {}
        with open(os.path.join(work, f"{name}.{run}")) as report:
            for line in report:
                key, _, value = line.rstrip("\n").partition(" ")
                if key == "frame_ms":
                    frames.append(tuple(float(v) for v in value.split()))
                else:
                    values[key] = value
        times += [wall for wall, _ in frames[WARM_UP:]]
        cpu += [used for _, used in frames[WARM_UP:]]
        first.append(float(values["first_frame_ms"]))
        peak.append(int(values["peak_rss_kib"]))
        renderer = values["renderer"]
    cpu_per_frame = sorted(cpu)
    return {
        "fps": 1000.0 / statistics.mean(times),
        "cpu": statistics.mean(cpu),
        "cpu_median": statistics.median(cpu_per_frame),
        "cpu_p99": cpu_per_frame[int(len(cpu_per_frame) * 0.99)],
        "share": sum(cpu) / sum(times),
        "first": statistics.median(first),
        "peak": statistics.median(peak),
        "renderer": renderer,
    }


def self_cost_by_object(path):
    """Instructions executed in each object file's own code (callgrind's self cost)."""
    names, costs, current, skip = {}, {}, None, False
    with open(path) as data:
        for line in data:
            if line.startswith(("ob=", "cob=")):
                key, _, value = line.strip().partition("=")
                m = re.match(r"\((\d+)\)(?: (.*))?", value)
                if m:  # compressed: "(id) name" the first time, "(id)" after
                    if m.group(2):
                        names[m.group(1)] = m.group(2)
                    value = names[m.group(1)]
                if key == "ob":
                    current = value
            elif line.startswith("calls="):
                skip = True  # the next cost line is the call's inclusive cost
            elif line[:1].isdigit() or line[:1] in "+-*":
                if skip:
                    skip = False
                    continue
                parts = line.split()
                if len(parts) >= 2:
                    costs[current] = costs.get(current, 0) + int(parts[1])
    return costs


def per_frame(name):
    """Instructions per frame, by object file: frames 101 to 400, inside the display callback."""
    costs = self_cost_by_object(os.path.join(work, f"{name}.cg"))
    return {ob: cost / 300 for ob, cost in costs.items()}


floor, wander, pressed = timed("floor"), timed("wanderlink"), timed("pressed")
wandering = {}
with open(os.path.join(work, "wandering")) as runs:
    for line in runs:
        chains, share = line.split()
        wandering.setdefault(int(chains), []).append(float(share))
curve = "\n".join(f"| {chains:,} | {statistics.median(shares):.2%} | "
                  f"{statistics.median(shares) * 1000:.1f} ms |"
                  for chains, shares in sorted(wandering.items()))
wakes = {}
with open(os.path.join(work, "wakes")) as runs:
    for line in runs:
        state, per_second, core = line.split()
        wakes.setdefault(state, []).append((float(per_second), float(core)))
states = {"rest": "at rest", "30": "after 30 presses", "10000": "after 10,000 presses more",
          "unmapped": "then with the window unmapped, as when minimised"}
woken = "\n".join(f"| {states[state]} | {statistics.median(w for w, _ in runs):.0f} | "
                   f"{statistics.median(c for _, c in runs):.2%} |"
                   for state, runs in wakes.items())
floor_ir = sum(per_frame("floor").values())
by_object = per_frame("wanderlink")
wander_ir, own_ir = sum(by_object.values()), by_object.get(own_binary, 0)
where = "\n".join(
    f"| `{os.path.basename(ob) if ob != '???' else 'code generated at run time (Mesa JIT)'}` "
    f"| {cost:,.0f} | {cost / wander_ir:.1%} |"
    for ob, cost in sorted(by_object.items(), key=lambda item: -item[1])[:6])
share = own_ir / wander_ir

cpu = "unknown"
with open("/proc/cpuinfo") as info:
    for line in info:
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break


def bar_chart(path):
    rows = [("floor, median", floor["cpu_median"]), ("floor, 99th percentile", floor["cpu_p99"]),
            ("wanderlink, median", wander["cpu_median"]),
            ("wanderlink, 99th percentile", wander["cpu_p99"])]
    top = max(v for _, v in rows) * 1.15
    width, left, height = 560, 190, 30
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height * len(rows) + 40}" '
           'font-family="sans-serif" font-size="12">',
           f'<text x="{left}" y="16">CPU time per frame, ms (Xvfb, {wander["renderer"]})</text>']
    for i, (label, value) in enumerate(rows):
        y = 26 + i * height
        w = (width - left - 60) * value / top
        colour = "#8888cc" if label.startswith("floor") else "#44aa44"
        out.append(f'<text x="{left - 8}" y="{y + 15}" text-anchor="end">{label}</text>')
        out.append(f'<rect x="{left}" y="{y}" width="{w:.1f}" height="20" fill="{colour}"/>')
        out.append(f'<text x="{left + w + 6:.1f}" y="{y + 15}">{value:.3f}</text>')
    out.append("</svg>")
    with open(path, "w") as chart:
        chart.write("\n".join(out) + "\n")


os.makedirs("docs", exist_ok=True)
bar_chart("docs/cpu-per-frame.svg")
today = datetime.date.today().isoformat()
with open("docs/benchmarks.md", "w") as doc:
    doc.write(f"""# Benchmarks

Measured by `scripts/bench` on {today}, on {platform.system()} {platform.release()}
({platform.machine()}), {cpu}, {os.cpu_count()} cores, under Xvfb with the `{wander["renderer"]}`
renderer. Reproduce with `scripts/bench` (frames per timed run: `WANDERLINK_BENCH_FRAMES`,
here {frames}). The sphere rests, and a stand-in `xdg-open` that does nothing takes the
launches every 801 frames. Timed runs: three of each program, the first {WARM_UP} frames of each
left out; the floor program has wanderlink's window and display mode, only clears and swaps,
and is paced to the display the same way.

Frames keep to the display's refresh: 60 a second here, since Xvfb reports no rate and its swap
does not wait. So the frame rate is the display's, not a measure of speed, and how many frames
a second the machine could draw unpaced is no longer what the program does. What a frame costs
shows in its CPU time, and what the user feels is the share of a core the program keeps busy.

| Figure | floor | wanderlink | after 10,000 presses |
|---|---|---|---|
| frames per second | {floor["fps"]:.1f} | {wander["fps"]:.1f} | {pressed["fps"]:.1f} |
| CPU time per frame, mean (all of the process's threads) | {floor["cpu"]:.3f} ms | {wander["cpu"]:.3f} ms | {pressed["cpu"]:.3f} ms |
| CPU time per frame, median | {floor["cpu_median"]:.3f} ms | {wander["cpu_median"]:.3f} ms | {pressed["cpu_median"]:.3f} ms |
| CPU time per frame, 99th percentile | {floor["cpu_p99"]:.3f} ms | {wander["cpu_p99"]:.3f} ms | {pressed["cpu_p99"]:.3f} ms |
| share of one core | {floor["share"]:.1%} | {wander["share"]:.1%} | {pressed["share"]:.1%} |
| CPU instructions per frame (callgrind, inside the display callback) | {floor_ir:,.0f} | {wander_ir:,.0f} | |
| of which wanderlink's own code | | {own_ir:,.0f} ({share:.3%}) | |
| start to first frame | {floor["first"]:.0f} ms | {wander["first"]:.0f} ms | |
| peak resident memory | {floor["peak"] / 1024:.1f} MiB | {wander["peak"] / 1024:.1f} MiB | {pressed["peak"] / 1024:.1f} MiB |

The aim is at most 10% of one core for wanderlink at rest on llvmpipe at 60 frames a second;
here it is {wander["share"]:.1%}, of which the floor's clearing and swapping alone is
{floor["share"]:.1%}.

![CPU time per frame, median and 99th percentile, floor and wanderlink](cpu-per-frame.svg)

After 10,000 left presses (an autoclicker's twelve seconds, here sent at once while the first
{WARM_UP} frames are drawn), 10,000 chains tick every 20 ms, each from its own press, through
every frame measured: 500,000 ticks a second, and a move ends every half millisecond. The chains
are counts, and their ticks are taken as each frame begins, a position worked out once a frame
whatever their number: the frames then cost {pressed["share"] - wander["share"]:+.1%} of a core against
rest, that work and this machine's noise.

How often the program wakes (its main thread's voluntary context switches) and the share of a
core it takes, over 4 s each, the median of three runs; the 30 presses come 7 ms apart, so that
their chains fall due on many milliseconds of a tick:

| state | wakes a second | share of one core |
|---|---|---|
{woken}

Nothing wakes the program between frames: no timer serves the chains, so presses cost no
wakes. While no frame is drawn (the window unmapped, minimised or wholly covered) GLUT's loop
waits for the window system alone, and the next frame, when the window shows again, takes the
ticks that came due meanwhile.

The wandering alone (`wanderlink_wandering`: GLUT's own loop, a window that draws nothing, a
frame's look at the sphere 60 times a second, the chains started over one tick so that they fall
due on each of its milliseconds), the processor time one second of it costs, the median of
three runs:

| chains | share of one core | per second |
|---|---|---|
{curve}

The cost grows only with the ticks' own work, a target drawn for each move that ends: a million
chains take 50 million ticks a second, and end 200,000 moves.

Where wanderlink's instructions go, per frame:

| Object | Instructions | Share |
|---|---|---|
{where}

The floor's frame is little more than the swap, a copy of the window to the X server. Each of
wanderlink's frames also draws, through Mesa's software pipeline with two lights, a wire cube, a
sphere of 25 by 16 facets, a line and 23 stroke-font characters in immediate mode: nearly all
of the difference is that work inside Mesa, and almost none is the program's own. The X
server's own work for each frame (taking in the picture) is not counted here.

CPU time is the process's own (user and system, every thread), read at each swap; the share of
a core is that time over the wall-clock time of the same frames. Instructions per frame are
counted by callgrind inside the display callback only, over frames 101 to 400 of a run, so
neither start-up nor Mesa's compiling of its shaders in the first frames is counted; llvmpipe
draws on the calling thread there (`LP_NUM_THREADS=0`), so all of a frame's drawing is inside
the callback. "Own code" is the self cost of the `wanderlink` executable (everything compiled
from this repository); the rest is Mesa, GLU, freeglut, Xlib and the C library.
""")
