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
    times, first, peak, renderer = [], [], [], "unknown"
    for run in (1, 2, 3):
        values = {"frame_ms": []}
        with open(os.path.join(work, f"{name}.{run}")) as report:
            for line in report:
                key, _, value = line.rstrip("\n").partition(" ")
                if key == "frame_ms":
                    values["frame_ms"].append(float(value))
                else:
                    values[key] = value
        times += values["frame_ms"][WARM_UP:]
        first.append(float(values["first_frame_ms"]))
        peak.append(int(values["peak_rss_kib"]))
        renderer = values["renderer"]
    times.sort()
    return {
        "median": statistics.median(times),
        "p99": times[int(len(times) * 0.99)],
        "fps": 1000.0 / statistics.mean(times),
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
    """Instructions per frame, by object file."""
    low = self_cost_by_object(os.path.join(work, f"{name}.cg.200"))
    high = self_cost_by_object(os.path.join(work, f"{name}.cg.400"))
    return {ob: (high[ob] - low.get(ob, 0)) / 200 for ob in high}


floor, wander = timed("floor"), timed("wanderlink")
floor_ir = sum(per_frame("floor").values())
by_object = per_frame("wanderlink")
wander_ir, own_ir = sum(by_object.values()), by_object.get(own_binary, 0)
where = "\n".join(
    f"| `{os.path.basename(ob) if ob != '???' else 'code generated at run time (Mesa JIT)'}` "
    f"| {cost:,.0f} | {cost / wander_ir:.1%} |"
    for ob, cost in sorted(by_object.items(), key=lambda item: -item[1])[:6])
ratio = wander["fps"] / floor["fps"]
share = own_ir / wander_ir

cpu = "unknown"
with open("/proc/cpuinfo") as info:
    for line in info:
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break


def bar_chart(path):
    rows = [("floor, median", floor["median"]), ("floor, 99th percentile", floor["p99"]),
            ("wanderlink, median", wander["median"]), ("wanderlink, 99th percentile", wander["p99"])]
    top = max(v for _, v in rows) * 1.15
    width, left, height = 560, 190, 30
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height * len(rows) + 40}" '
           'font-family="sans-serif" font-size="12">',
           f'<text x="{left}" y="16">frame time, ms (Xvfb, {wander["renderer"]})</text>']
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
bar_chart("docs/frame-times.svg")
today = datetime.date.today().isoformat()
with open("docs/benchmarks.md", "w") as doc:
    doc.write(f"""# Benchmarks

Measured by `scripts/bench` on {today}, on {platform.system()} {platform.release()}
({platform.machine()}), {cpu}, {os.cpu_count()} cores, under Xvfb with the `{wander["renderer"]}`
renderer. Reproduce with `scripts/bench` (frames per timed run: `WANDERLINK_BENCH_FRAMES`,
here {frames}). The sphere rests, and a stand-in `xdg-open` that does nothing takes the
launches every 801 frames. Timed runs: three of each program, the first {WARM_UP} frames of each
left out; the floor program has wanderlink's window and display mode and only clears and swaps.

| Figure | floor | wanderlink |
|---|---|---|
| frames per second | {floor["fps"]:.0f} | {wander["fps"]:.0f} ({ratio:.0%} of the floor) |
| frame time, median | {floor["median"]:.3f} ms | {wander["median"]:.3f} ms |
| frame time, 99th percentile | {floor["p99"]:.3f} ms | {wander["p99"]:.3f} ms |
| CPU instructions per frame (callgrind, all threads) | {floor_ir:,.0f} | {wander_ir:,.0f} |
| of which wanderlink's own code | | {own_ir:,.0f} ({share:.3%}) |
| start to first frame | {floor["first"]:.0f} ms | {wander["first"]:.0f} ms |
| peak resident memory | {floor["peak"] / 1024:.1f} MiB | {wander["peak"] / 1024:.1f} MiB |

![frame time, median and 99th percentile, floor and wanderlink](frame-times.svg)

Where wanderlink's instructions go, per frame:

| Object | Instructions | Share |
|---|---|---|
{where}

The floor's frame is little more than the swap, a copy of the window to the X server. Each of
wanderlink's frames also draws, through Mesa's software pipeline with two lights, a wire cube, a
sphere of 25 by 16 facets, a line and 23 stroke-font characters in immediate mode: nearly all
of the difference is that work inside Mesa, and almost none is the program's own.

Instructions per frame are the difference between callgrind runs of 400 and 200 frames, divided
by 200, so start-up is left out. "Own code" is the self cost of the `wanderlink` executable
(everything compiled from this repository); the rest is Mesa, GLU, freeglut, Xlib and the C
library.
""")
