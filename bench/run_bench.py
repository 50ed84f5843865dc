#!/usr/bin/env python3
"""ORVEL benchmarks, each against a baseline measured in the same run.

(a) first-frame statistics of a 6000x4000 16-bit frame, against one read-and-decode of it;
(b) unattended runs over 100 and 300 frames of 4144x2822 16-bit, against `cat` of the same
    files to /dev/null with the page cache warm, with the cost per frame;
(c) the peak memory of (b), in frames;
(d) an unattended run over one such frame, against one read-and-decode of it;
(e) numpy's median and percentiles of the frame of (d), against ORVEL's statistics of it;
(f) nights of 10 to 1000 small frames (640x480): the cost per frame and the peak memory;
(g) unattended runs over 100 frames of 4144x2822 tile-compressed (.fz, fpack's defaults: RICE,
    one row per tile) and gzip-compressed (.fits.gz), against `funpack -S` and `zcat` of the
    same files to /dev/null, measured side by side;
(h) the peak memory of the gzip night of (g) with a 1 GiB gzip bomb and a .fz claiming
    16000 x 16000 pixels among its frames, in decoded frames.
Every figure is the median of several runs, with the spread (lowest to highest) beside it. A
read-and-decode is ORVEL's own reading of the whole frame into a fresh buffer in a process
already started (bench/first_frame_bench.cpp), as a run reads its first frame.

Usage: run_bench.py BUILD_DIR [WORK_DIR] [--runs N]
"""
import os
import statistics
import subprocess
import sys
import time

BUILD = os.path.abspath(sys.argv[1])
WORK = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 and not sys.argv[2].startswith("--")
                       else os.path.join(BUILD, "bench-data"))
RUNS = 5
if "--runs" in sys.argv:
    RUNS = int(sys.argv[sys.argv.index("--runs") + 1])


def simulate(folder, size, frames):
    """Simulates a night of `frames` frames once (the simulator numbers its frames R, G, B, R,
    ... from 1; those beyond the count are left out); returns what the simulator printed."""
    marker = os.path.join(folder, "what-to-type.txt")
    if os.path.exists(marker):
        return open(marker).read()
    os.makedirs(folder, exist_ok=True)
    per_band = -(-frames // 3)
    out = subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", folder, "--size", size,
                          "--frames", str(per_band)], check=True, capture_output=True, text=True)
    for name in os.listdir(folder):
        if name.endswith(".fit") and int(name.split("_")[1]) > frames:
            os.remove(os.path.join(folder, name))
    open(marker, "w").write(out.stdout)
    return out.stdout


def night_frames(night):
    return sorted(os.path.join(night, f) for f in os.listdir(night) if f.endswith(".fit"))


def timed(argv, **kwargs):
    """Wall time and peak resident memory (bytes) of one run of a command."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, **kwargs)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit("%s failed with status %d" % (argv[0], proc.returncode))
    return elapsed, usage.ru_maxrss * 1024


def median_of(runs, argv, **kwargs):
    """Median wall time, (lowest, highest), and the largest peak memory of several runs."""
    results = [timed(argv, **kwargs) for _ in range(runs)]
    times = [r[0] for r in results]
    return statistics.median(times), (min(times), max(times)), max(r[1] for r in results)


def spread(low_high, scale=1.0, digits=2):
    return "(%.*f to %.*f)" % (digits, low_high[0] * scale, digits, low_high[1] * scale)


def first_frame_figures(frame, repeats):
    """Read-and-decode and statistics seconds of the first frame, one fresh process each run:
    the first read into a fresh buffer and the first statistics, as a run has them."""
    reads, stats = [], []
    for _ in range(repeats):
        out = subprocess.run([os.path.join(BUILD, "first_frame_bench"), frame, "1"], check=True,
                             capture_output=True, text=True).stdout.split()
        reads.append(float(out[2]))
        stats.append(float(out[3]))
    return reads, stats


def numpy_statistics(frame, repeats):
    """Seconds numpy takes for the median and percentiles of the frame (read excluded)."""
    code = """
import sys, time, numpy
raw = open(sys.argv[1], 'rb').read()
start = raw.find(b'END' + b' ' * 77)
data = start - start % 2880 + 2880
rows, cols = int(sys.argv[2]), int(sys.argv[3])
image = (numpy.frombuffer(raw, '>i2', rows * cols, data).astype(numpy.float32) + 32768.0)
times = []
for _ in range(int(sys.argv[4])):
    t = time.perf_counter()
    numpy.median(image); numpy.percentile(image, [1, 5, 25, 75, 95, 99])
    times.append(time.perf_counter() - t)
print(' '.join(map(str, times)))
"""
    out = subprocess.run(["/usr/bin/python3", "-c", code, frame, "2822", "4144", str(repeats)],
                         check=True, capture_output=True, text=True).stdout.split()
    return [float(t) for t in out]


def night_argv(night, typed):
    values = [line.split()[-1] for line in typed.splitlines()
              if "(D,M,S)" in line or "(H,M,S)" in line]
    star = typed.split("row from the first row in the file):")[1].split()[0:2]
    column, row = star[0].rstrip(","), star[1]
    return [os.path.join(BUILD, "orvel"), "--lat", values[0], "--lon", values[1], "--ra",
            values[2], "--dec", values[3], "--star",
            "%d,%d" % (round(float(column)), round(float(row))), "--background", "100,100",
            "--dir", night]


def night_against_cat(frames):
    """(b) for one night: frames, file size, cat and orvel medians, spreads and peak memory."""
    night = os.path.join(WORK, "night-4144x2822-%d-frames" % frames)
    argv = night_argv(night, simulate(night, "4144x2822", frames))
    files = night_frames(night)
    cat = ["cat"] + files
    timed(cat, stdout=subprocess.DEVNULL)  # warm the page cache
    cat_time, cat_spread, _ = median_of(RUNS, cat, stdout=subprocess.DEVNULL)
    run_time, run_spread, peak = median_of(RUNS, argv, stdout=subprocess.DEVNULL)
    n = len(files)
    print("    %d frames: cat %.3f s %s, orvel %.3f s %s, %.2f ms per frame, ratio %.2f x cat"
          % (n, cat_time, spread(cat_spread, digits=3), run_time, spread(run_spread, digits=3),
             run_time / n * 1e3, run_time / cat_time))
    return os.path.getsize(files[0]), peak


def small_nights(counts):
    """(f) nights of 640x480 frames: each count a folder of links to the first frames (in the
    order R, G, B of each exposure) of one simulated night of the largest count."""
    source = os.path.join(WORK, "night-640x480-%d" % max(counts))
    typed = simulate(source, "640x480", max(counts))
    in_order = night_frames(source)  # by frame number: R, G, B of each exposure in turn
    print("(f) unattended nights of 640x480 16-bit frames (%.2f MB each), medians of %d"
          % (os.path.getsize(in_order[0]) / 1e6, RUNS))
    base = None
    for n in counts:
        night = os.path.join(WORK, "night-640x480-first-%d" % n)
        if not os.path.isdir(night):
            os.makedirs(night)
            for f in in_order[:n]:
                os.link(f, os.path.join(night, os.path.basename(f)))
        argv = night_argv(night, typed)
        run_time, run_spread, peak = median_of(RUNS, argv, stdout=subprocess.DEVNULL)
        if base is None:
            base = (n, run_time)
        later = (run_time - base[1]) / (n - base[0]) * 1e3 if n > base[0] else float("nan")
        print("    %4d frames: %7.3f s %s, %.3f ms per frame, %.3f ms per frame beyond %d, "
              "peak %.1f MB" % (n, run_time, spread(run_spread, digits=3), run_time / n * 1e3,
                                later, base[0], peak / 1e6))


def compressed_night(kind):
    """100 frames of 4144x2822 written compressed (`kind` gz or fz), light names, found with
    --frames; returns the folder, the files and the run's argv."""
    night = os.path.join(WORK, "night-4144x2822-100-%s" % kind)
    marker = os.path.join(night, "what-to-type.txt")
    if not os.path.exists(marker):
        os.makedirs(night, exist_ok=True)
        out = subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", night, "--size",
                              "4144x2822", "--frames", "34", "--names", "light", "--compress",
                              kind], check=True, capture_output=True, text=True)
        for name in os.listdir(night):
            if name.startswith("Light_") and int(name.split("_")[3].split(".")[0]) > 100:
                os.remove(os.path.join(night, name))
        open(marker, "w").write(out.stdout)
    files = sorted(os.path.join(night, f) for f in os.listdir(night) if f.startswith("Light_"))
    argv = night_argv(night, open(marker).read()) + ["--frames", "Light_*"]
    return night, files, argv


def compressed_against_baseline(kind, baseline):
    """(g) for one kind: the run against the baseline decompressing every file to /dev/null."""
    night, files, argv = compressed_night(kind)
    timed(baseline + files, stdout=subprocess.DEVNULL)  # warm the page cache
    base_time, base_spread, _ = median_of(RUNS, baseline + files, stdout=subprocess.DEVNULL)
    run_time, run_spread, peak = median_of(RUNS, argv, stdout=subprocess.DEVNULL)
    print("    %s: %s %.3f s %s, orvel %.3f s %s, ratio %.3f x; peak %.1f MB"
          % (kind, " ".join(os.path.basename(b) for b in baseline[-2:]), base_time,
             spread(base_spread, digits=3), run_time, spread(run_spread, digits=3),
             run_time / base_time, peak / 1e6))
    return night, argv


def bomb_night(gz_night, argv):
    """(h) the gzip night with a 1 GiB bomb and a .fz claiming 16000 x 16000 among its frames."""
    night = gz_night + "-bombs"
    if not os.path.isdir(night):
        os.makedirs(night)
        for f in os.listdir(gz_night):
            if f.startswith("Light_"):
                os.link(os.path.join(gz_night, f), os.path.join(night, f))
        subprocess.run([sys.executable, os.path.join(os.path.dirname(__file__), "bombs.py"),
                        night], check=True)
    argv = [a if a != gz_night else night for a in argv]
    run_time, _, peak = median_of(RUNS, argv, stdout=subprocess.DEVNULL)
    decoded = 4144 * 2822 * 4
    print("(h) the gzip night with a 1 GiB bomb and a .fz claiming 16000 x 16000: %.3f s, "
          "peak %.1f MB = %.2f decoded frames" % (run_time, peak / 1e6, peak / decoded))


def main():
    cores = os.cpu_count()
    print("ORVEL benchmarks on %d cores" % cores)
    print()

    # (a) first-frame statistics against one read-and-decode.
    big = os.path.join(WORK, "frame-6000x4000")
    simulate(big, "6000x4000", 1)
    frame = os.path.join(big, "NIGHT_0001_R.fit")
    reads, stats = first_frame_figures(frame, RUNS)
    read, stat = statistics.median(reads), statistics.median(stats)
    print("(a) first-frame statistics, 6000x4000 16-bit, medians of %d" % RUNS)
    print("    read and decode          %8.1f ms %s" % (read * 1e3,
                                                       spread((min(reads), max(reads)), 1e3)))
    print("    statistics               %8.1f ms %s   ratio %.2f"
          % (stat * 1e3, spread((min(stats), max(stats)), 1e3), stat / read))
    print()

    # (b) whole unattended nights against cat of the same files, and (c) their peak memory.
    print("(b) unattended runs over 4144x2822 16-bit frames, page cache warm, medians of %d"
          % RUNS)
    peaks = []
    for frames in (100, 300):
        size, peak = night_against_cat(frames)
        peaks.append(peak)
    decoded = 4144 * 2822 * 4
    print()
    print("(c) peak resident memory of (b): %s MB; %s decoded frames (%.1f MB each, 32-bit); "
          "%s frame files (%.1f MB each)"
          % (", ".join("%.1f" % (p / 1e6) for p in peaks),
             ", ".join("%.2f" % (p / decoded) for p in peaks), decoded / 1e6,
             ", ".join("%.2f" % (p / size) for p in peaks), size / 1e6))
    print()

    # (d) one frame: the whole run against one read-and-decode of the same file.
    one = os.path.join(WORK, "night-4144x2822-one")
    argv = night_argv(one, simulate(one, "4144x2822", 1))
    for name in os.listdir(one):
        if name.endswith(".fit") and not name.endswith("_R.fit"):
            os.remove(os.path.join(one, name))
    frame = os.path.join(one, "NIGHT_0001_R.fit")
    reads, stats = first_frame_figures(frame, RUNS)
    run_time, run_spread, _ = median_of(RUNS, argv, stdout=subprocess.DEVNULL)
    read = statistics.median(reads)
    print("(d) one-frame run %.1f ms %s against one read-and-decode %.1f ms %s: ratio %.2f"
          % (run_time * 1e3, spread(run_spread, 1e3), read * 1e3,
             spread((min(reads), max(reads)), 1e3), run_time / read))
    print()

    # (e) numpy's order statistics of the same frame against ORVEL's statistics pass.
    numpy_times = numpy_statistics(frame, RUNS)
    ours, theirs = statistics.median(stats), statistics.median(numpy_times)
    print("(e) statistics of one frame: ORVEL %.1f ms %s, numpy median and percentiles "
          "%.1f ms %s: ORVEL %.1f x faster"
          % (ours * 1e3, spread((min(stats), max(stats)), 1e3), theirs * 1e3,
             spread((min(numpy_times), max(numpy_times)), 1e3), theirs / ours))
    print()

    # (f) the cost per frame and the memory from 10 to 1000 frames.
    small_nights([10, 30, 100, 300, 1000])
    print()

    # (g) compressed nights against the tools that decompress the same files, and (h) bombs.
    print("(g) unattended runs over 100 compressed 4144x2822 16-bit frames, medians of %d" % RUNS)
    compressed_against_baseline("fz", ["sh", "-c", 'for f; do funpack -S "$f"; done', "funpack -S"])
    gz_night, gz_argv = compressed_against_baseline("gz", ["zcat"])
    print()
    bomb_night(gz_night, gz_argv)


if __name__ == "__main__":
    main()
