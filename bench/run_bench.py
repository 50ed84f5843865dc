#!/usr/bin/env python3
"""ORVEL benchmarks, each against a baseline measured in the same run.

(a) first-frame statistics of a 6000x4000 16-bit frame, against one read-and-decode of it;
(b) an unattended run over 300 frames of 4144x2822 16-bit, against `cat` of the same files to
    /dev/null with the page cache warm, with the cost per frame;
(c) the peak memory of (b), against the size of one frame.

Usage: run_bench.py BUILD_DIR [WORK_DIR] [--frames-per-band N]
"""
import os
import subprocess
import sys
import time

BUILD = os.path.abspath(sys.argv[1])
WORK = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 and not sys.argv[2].startswith("--")
                       else os.path.join(BUILD, "bench-data"))
PER_BAND = 100
if "--frames-per-band" in sys.argv:
    PER_BAND = int(sys.argv[sys.argv.index("--frames-per-band") + 1])


def simulate(folder, size, frames):
    marker = os.path.join(folder, "what-to-type.txt")
    if os.path.exists(marker):
        return open(marker).read()
    os.makedirs(folder, exist_ok=True)
    out = subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", folder, "--size", size,
                          "--frames", str(frames)], check=True, capture_output=True, text=True)
    open(marker, "w").write(out.stdout)
    return out.stdout


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


def best_of(runs, argv, **kwargs):
    results = [timed(argv, **kwargs) for _ in range(runs)]
    return min(r[0] for r in results), max(r[1] for r in results)


def main():
    cores = os.cpu_count()
    print("ORVEL benchmarks on %d cores" % cores)
    print()

    # (a) first-frame statistics against one read-and-decode.
    big = os.path.join(WORK, "frame-6000x4000")
    simulate(big, "6000x4000", 1)
    frame = os.path.join(big, "NIGHT_0001_R.fit")
    out = subprocess.run([os.path.join(BUILD, "first_frame_bench"), frame, "7"], check=True,
                         capture_output=True, text=True).stdout.split()
    read, stats = float(out[2]), float(out[3])
    print("(a) first-frame statistics, 6000x4000 16-bit")
    print("    read and decode          %8.1f ms" % (read * 1e3))
    print("    statistics               %8.1f ms   ratio %.2f" % (stats * 1e3, stats / read))
    print()

    # (b) a whole unattended night against cat of the same files.
    night = os.path.join(WORK, "night-4144x2822")
    typed = simulate(night, "4144x2822", PER_BAND)
    values = [line.split()[-1] for line in typed.splitlines() if "(D,M,S)" in line or "(H,M,S)" in line]
    star = typed.split("row from the first row in the file):")[1].split()[0:2]
    column, row = star[0].rstrip(","), star[1]
    frames = sorted(os.path.join(night, f) for f in os.listdir(night) if f.endswith(".fit"))
    size = os.path.getsize(frames[0])
    argv = [os.path.join(BUILD, "orvel"), "--lat", values[0], "--lon", values[1], "--ra",
            values[2], "--dec", values[3], "--star", "%d,%d" % (round(float(column)), round(float(row))),
            "--background", "100,100", "--dir", night]
    cat = ["cat"] + frames
    timed(cat, stdout=subprocess.DEVNULL)  # warm the page cache
    cat_time, _ = best_of(3, cat, stdout=subprocess.DEVNULL)
    run_time, peak = best_of(3, argv, stdout=subprocess.DEVNULL)
    print("(b) unattended run, %d frames of 4144x2822 16-bit (%.1f MB each), page cache warm"
          % (len(frames), size / 1e6))
    print("    cat to /dev/null         %8.2f s   %6.2f ms per frame" % (cat_time, cat_time / len(frames) * 1e3))
    print("    orvel                    %8.2f s   %6.2f ms per frame   ratio %.2f"
          % (run_time, run_time / len(frames) * 1e3, run_time / cat_time))
    print()
    print("(c) peak memory of (b)")
    print("    one frame (file)         %8.1f MB" % (size / 1e6))
    print("    one frame (decoded)      %8.1f MB" % (4144 * 2822 * 4 / 1e6))
    print("    orvel peak resident      %8.1f MB   ratio to the file %.2f"
          % (peak / 1e6, peak / size))


if __name__ == "__main__":
    main()
