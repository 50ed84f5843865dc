#!/usr/bin/env python3
"""Faults around the real program: a log that cannot be created, a disk that fills up while the
log is written, the program killed in the middle of a night, standard input ending at every
question that can be reached without a display, standard input closed, standard output closed,
an endless typed line, picks far outside the frame and a frame claiming too many pixels under a
memory limit, and bad files among the frames.

Every run has a time limit; the faulty runs are compared with runs of the same command without
the fault. Plain python3, no third-party modules. The memory limits need the plain build (the
sanitizers reserve more address space than the limits allow).

Usage: faults_test.py BUILD_DIR
"""
import csv
import fcntl
import io
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

from checks import Checks

BUILD = os.path.abspath(sys.argv[1])
ORVEL = os.path.join(BUILD, "orvel")
SIMULATE = os.path.join(BUILD, "orvel-simulate")
TIMEOUT = 60  # seconds for any one run of the program
LOG = "ORVEL_LOG.txt"
ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
BATCH = ["--lat", "35,0,0", "--lon", "-106,30,0", "--ra", "9,5,0", "--dec", "34,30,0",
         "--star", "176,108", "--background", "50,50"]
COORDINATES = ["35,0,0", "-106,30,0", "9,5,0", "34,30,0"]
RESULTS_FAILED = b"orvel: the results files could not be written in .\n"
LOG_FAILED = b"orvel: the log could not be written in full in .\n"
WEIGHTS_FAILED = b"orvel: ./ORVEL_weights.csv could not be written\n"

skipped = []

check = Checks()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def night(folder, frames=10):
    """A simulated night of 3 x frames frames of 320 x 240 pixels."""
    subprocess.run([SIMULATE, "--out", folder, "--frames", str(frames), "--size", "320x240",
                    "--no-noise"], check=True, stdout=subprocess.DEVNULL, timeout=TIMEOUT)
    os.remove(os.path.join(folder, "truth.csv"))


def fresh_copy(source, parent, name):
    target = os.path.join(parent, name)
    shutil.copytree(source, target)
    return target


def run(args, cwd, stdin=b"", preexec=None, stdout=subprocess.PIPE):
    return subprocess.run([ORVEL] + args, cwd=cwd, input=stdin, stdout=stdout,
                          stderr=subprocess.PIPE, env=ENV, timeout=TIMEOUT, preexec_fn=preexec)


def file_size_limit(limit):
    """Before exec: files may not grow beyond `limit` bytes; the write fails instead of the
    process being stopped by SIGXFSZ."""
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return apply


def memory_limit(limit):
    def apply():
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    return apply


def test_log_that_cannot_be_created(work, reference):
    """ORVEL_LOG.txt is a folder: the run goes on without a log, says so once, and writes the same
    results as a run with a log; the unattended run ends with status 1, as without any file."""
    folder = fresh_copy(reference["folder"], work, "log-is-folder")
    os.mkdir(os.path.join(folder, LOG))
    r = run(BATCH, folder)
    check(r.returncode == 1, "log is a folder: exit status %d" % r.returncode)
    check(r.stdout.count(b"cannot be created") == 1, "log is a folder: said once")
    check(os.path.isdir(os.path.join(folder, LOG)), "log is a folder: folder left as it was")
    check(read(os.path.join(folder, "ORVEL_results.csv")) == reference["results"],
          "log is a folder: results as without the fault")
    check(r.stdout.replace(b"The log file ORVEL_LOG.txt cannot be created here; the run goes on "
                           b"without a log.\n", b"") == reference["stdout"],
          "log is a folder: console as without the fault")

    empty = os.path.join(work, "log-is-folder-interactive")
    os.makedirs(os.path.join(empty, LOG))
    r = run([], empty, stdin=("y\n" + "\n".join(COORDINATES) + "\nX\n").encode())
    check(r.returncode == 0, "interactive, log is a folder: exit status %d" % r.returncode)
    check(r.stdout.count(b"cannot be created") == 1, "interactive, log is a folder: said once")
    check(b"Program is finished. Enter X to terminate. X\n\nTo repeat this run unattended"
          in r.stdout, "interactive, log is a folder: dialogue to the end")

    if os.geteuid() == 0:
        skipped.append("read-only folder (root writes anyway)")
        return
    folder = fresh_copy(reference["folder"], work, "read-only")
    os.chmod(folder, 0o555)
    try:
        r = run(BATCH, folder)
    finally:
        os.chmod(folder, 0o755)
    check(r.returncode == 1, "read-only folder: exit status %d" % r.returncode)
    check(not os.path.exists(os.path.join(folder, LOG)), "read-only folder: no log")
    check(b"Extinction Coefficients:" in r.stdout, "read-only folder: results on the console")


def test_disk_full(work, reference):
    """The log's file may grow only to a limit: the item that crosses it leaves nothing behind,
    the run goes on to its end, and the console shows what it shows without the fault."""
    full = reference["log"]
    header_at = full.index(b"ORIGINAL FILE HEADER:\r\n") + len(b"ORIGINAL FILE HEADER:\r\n")
    width_at = full.index(b"Width = ") + len(b"Width = ")
    section_at = full.index(b"\r\nCurrent file number =  5 ")
    cases = [
        ("inside the first header text", header_at + 1000, header_at),
        ("inside a number", width_at + 1, width_at),
        ("inside a later frame's section", section_at + 100, section_at),
        ("at an item boundary", section_at, section_at),
        ("inside the title line", 4, 0),
    ]
    for name, limit, kept in cases:
        folder = fresh_copy(reference["folder"], work, "disk-full-%d" % limit)
        r = run(BATCH, folder, preexec=file_size_limit(limit))
        check(r.returncode == 1, "disk full %s: exit status %d" % (name, r.returncode))
        check(r.stdout.replace(RESULTS_FAILED, b"").replace(LOG_FAILED, b"")
              .replace(WEIGHTS_FAILED, b"") == reference["stdout"],
              "disk full %s: console as without the fault" % name)
        log = read(os.path.join(folder, LOG))
        check(len(log) <= limit, "disk full %s: log within the limit" % name)
        check(log[:kept] == full[:kept], "disk full %s: whole items before the limit" % name)
        # Nothing of the item that crossed the limit is in the file (smaller items after it
        # may still have found room).
        room = min(limit - kept, 20)
        check(room == 0 or not log[kept:].startswith(full[kept:kept + room]),
              "disk full %s: no part of the crossing item" % name)


def block_stdout_after(room):
    """A pipe with only `room` bytes free: the program blocks in its console output there."""
    read_end, write_end = os.pipe()
    size = fcntl.fcntl(write_end, fcntl.F_GETPIPE_SZ)
    os.write(write_end, b"#" * (size - room))
    return read_end, write_end, size - room


def test_killed_in_the_loop(work, reference):
    """SIGKILL while the night is processed: the log holds every item written before the kill
    (each frame announced on the console has its whole section), and it is a prefix of the log of
    the same command run to its end."""
    full = reference["big_log"]
    for lines in (1, 3, 20, 70):
        folder = fresh_copy(reference["big_folder"], work, "killed-%d" % lines)
        read_end, write_end, filler = block_stdout_after(29 * lines + 10)
        p = subprocess.Popen([ORVEL] + BATCH, cwd=folder, stdin=subprocess.DEVNULL,
                             stdout=write_end, stderr=subprocess.DEVNULL, env=ENV)
        os.close(write_end)
        # Wait until the program is blocked in its console output: the log stops growing.
        path = os.path.join(folder, LOG)
        last, still, start = -1, 0, time.time()
        while still < 10 and time.time() - start < TIMEOUT and p.poll() is None:
            time.sleep(0.1)
            size = os.path.getsize(path) if os.path.exists(path) else 0
            still = still + 1 if size == last else 0
            last = size
        check(p.poll() is None, "kill after %d lines: still running when killed" % lines)
        p.kill()
        p.wait(timeout=TIMEOUT)
        check(p.returncode == -signal.SIGKILL, "kill after %d lines: killed" % lines)
        shown = b""
        fcntl.fcntl(read_end, fcntl.F_SETFL, os.O_NONBLOCK)
        try:
            while True:
                chunk = os.read(read_end, 65536)
                if not chunk:
                    break
                shown += chunk
        except BlockingIOError:
            pass
        os.close(read_end)
        shown = shown[filler:]
        log = read(path)
        check(full.startswith(log), "kill after %d lines: log is a prefix of the full log" % lines)
        check(log.endswith(b"\r\n"), "kill after %d lines: log ends with a whole line" % lines)
        announced = shown.count(b"PROCESSING FILE ")
        check(announced >= 1 and len(log) < len(full),
              "kill after %d lines: killed inside the loop (%d announced)" % (lines, announced))
        check(b"\r\nCurrent file number =  1 " in log, "kill after %d lines: frame 1 begun" % lines)
        for k in range(2, announced + 1):
            # A later frame's section is written whole before its console line: the log reaches
            # at least to where the next frame's section begins in the full log.
            next_section = full.find(b"\r\nCurrent file number =  %d " % (k + 1))
            check(len(log) >= (next_section if next_section >= 0 else len(full)),
                  "kill after %d lines: frame %d whole in the log" % (lines, k))

    # Killed at whatever moment comes: still a prefix.
    for delay in (0.002, 0.01, 0.03):
        folder = fresh_copy(reference["big_folder"], work, "killed-at-%g" % delay)
        p = subprocess.Popen([ORVEL] + BATCH, cwd=folder, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=ENV)
        time.sleep(delay)
        p.kill()
        p.wait(timeout=TIMEOUT)
        path = os.path.join(folder, LOG)
        log = read(path) if os.path.exists(path) else b""
        check(full.startswith(log), "kill after %g s: log is a prefix of the full log" % delay)


def test_input_ends_at_each_question(work, reference):
    """Standard input ends (or is closed) at each question that a run without a display reaches:
    the confirmation, the four coordinates, the closing question."""
    folder = os.path.join(work, "empty")
    os.mkdir(folder)
    answers = ["y"] + COORDINATES + ["q", "X"]
    r = run([], folder, stdin=("\n".join(answers) + "\n").encode())
    check(r.returncode == 0, "interactive full run: exit status %d" % r.returncode)
    full = read(os.path.join(folder, LOG))
    check(full.endswith(b"No files input-- execution stops\r\n"), "interactive full run: log")
    questions = ["confirmation", "latitude", "longitude", "right ascension", "declination",
                 "closing question", "closing question again"]
    for n, question in enumerate(questions):
        path = os.path.join(folder, LOG)
        if os.path.exists(path):
            os.remove(path)
        r = run([], folder, stdin="".join(a + "\n" for a in answers[:n]).encode())
        if n == 0:
            check(r.returncode == 0, "input ends at the confirmation: exit status 0")
            check(not os.path.exists(path), "input ends at the confirmation: no log")
            continue
        check(r.returncode == 1, "input ends at the %s: exit status %d" % (question, r.returncode))
        check(r.stdout.endswith(b"Console input ended. The run ends; the log keeps everything "
                                b"measured.\n"), "input ends at the %s: said why" % question)
        check(full.startswith(read(path)), "input ends at the %s: log is a prefix" % question)

    # Standard input closed outright, or a terminal-less /dev/null.
    for name, preexec, stdin in (("closed", lambda: os.close(0), None),
                                 ("/dev/null", None, subprocess.DEVNULL)):
        p = subprocess.run([ORVEL], cwd=folder, stdin=stdin, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, env=ENV, timeout=TIMEOUT, preexec_fn=preexec)
        check(p.returncode == 0, "standard input %s: exit status %d" % (name, p.returncode))
        check(p.stdout.endswith(b"Do you want to continue (Enter Y or N)? "),
              "standard input %s: ends at the first question" % name)

    # With frames but no display the run ends where the star would be picked.
    frames = fresh_copy(reference["folder"], work, "no-display")
    r = run([], frames, stdin=("y\n" + "\n".join(COORDINATES) + "\nY\nY\n").encode())
    check(r.returncode == 1, "no display: exit status %d" % r.returncode)
    check(b"No window can be opened to pick the star" in r.stdout, "no display: said why")
    check(read(os.path.join(frames, LOG)).endswith(b"Screen Factor =  0 \r\n"),
          "no display: log up to the first frame's statistics")


def test_output_closed(work, reference):
    """Nobody reads the console any more (a pipe closed by its reader): the run goes on to its
    end and writes the whole log and the results."""
    folder = fresh_copy(reference["folder"], work, "stdout-closed")
    read_end, write_end = os.pipe()
    os.close(read_end)
    p = subprocess.run([ORVEL] + BATCH, cwd=folder, stdin=subprocess.DEVNULL, stdout=write_end,
                       stderr=subprocess.DEVNULL, env=ENV, timeout=TIMEOUT)
    os.close(write_end)
    check(p.returncode == 0, "standard output closed: exit status %d" % p.returncode)
    check(read(os.path.join(folder, LOG)) == reference["log"],
          "standard output closed: the whole log")
    results = os.path.join(folder, "ORVEL_results.csv")
    check(os.path.exists(results) and read(results) == reference["results"],
          "standard output closed: the results")


def test_endless_line(work, reference):
    """A typed line of 200 MB without a line end, under a memory limit of 256 MB: the line keeps
    its first 10000 characters, the memory stays bounded, and the answer is read in time."""
    folder = os.path.join(work, "endless-line")
    os.mkdir(folder)
    p = subprocess.Popen([ORVEL], cwd=folder, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, env=ENV, preexec_fn=memory_limit(256 << 20))

    def feed():
        try:
            chunk = b"y" * (1 << 20)
            for _ in range(200):
                p.stdin.write(chunk)
            p.stdin.write(b"\n")
            p.stdin.close()
        except (BrokenPipeError, ValueError):
            pass

    collected = []
    reader = threading.Thread(target=lambda: collected.append(p.stdout.read()), daemon=True)
    feeder = threading.Thread(target=feed, daemon=True)
    start = time.time()
    reader.start()
    feeder.start()
    try:
        p.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()
    reader.join(timeout=5)
    feeder.join(timeout=5)
    out = collected[0] if collected else b""
    check(p.returncode == 0, "endless line: exit status %s" % p.returncode)
    check(time.time() - start < TIMEOUT, "endless line: read in time")
    check(b"Do you want to continue (Enter Y or N)? " + b"y" * 10000 + b"\n" in out,
          "endless line: the first 10000 characters echoed as the answer")
    check(not os.path.exists(os.path.join(folder, LOG)), "endless line: not a Y, no log")


def test_picks_far_outside(work, reference):
    """Picks a million or three billion pixels outside the frame, under a memory limit of 1 GB:
    refused with status 2 and one line naming the option, once the first frame shows its size;
    nothing tries to hold billions of pixels."""
    folder = fresh_copy(reference["folder"], work, "far-background")
    args = BATCH[:-1] + ["-1000000,-1000000"]
    r = run(args, folder, preexec=memory_limit(1 << 30))
    check(r.returncode == 2, "background far outside: exit status %d" % r.returncode)
    check(r.stderr.startswith(b"orvel: option --background") and b"outside the first frame"
          in r.stderr and r.stderr.count(b"\n") == 1,
          "background far outside: one line naming the option: %r" % r.stderr)
    args = BATCH[:-3] + ["-3000000000,3000000000", "--background", "50,50"]
    r = run(args, folder, preexec=memory_limit(1 << 30))
    check(r.returncode == 2, "star far outside: exit status %d" % r.returncode)
    check(r.stderr.startswith(b"orvel: option --star"), "star far outside: named: %r" % r.stderr)


def test_outputs_that_are_not_files(work, reference):
    """Output names that exist and are not ordinary files (a FIFO without a reader, one with a
    reader, a folder): refused at once with a console line, the run goes on and ends with
    status 1 as for a file that cannot be written; the FIFO gets no byte."""
    for kind in ("fifo", "fifo-read", "folder"):
        for name in (LOG, "ORVEL_results.csv", "graph.png"):
            folder = fresh_copy(reference["folder"], work, "not-a-file-%s-%s" % (kind, name))
            path = os.path.join(folder, name)
            reader = None
            if kind == "folder":
                os.mkdir(path)
            else:
                os.mkfifo(path)
                if kind == "fifo-read":
                    reader = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
            try:
                r = run(BATCH + ["--graph", "graph.png"], folder)
                what = "%s named %s" % (kind, name)
                check(r.returncode == 1, what + ": exit status %d" % r.returncode)
                check(b"could not be" in r.stdout or b"cannot be created" in r.stdout,
                      what + ": said on the console: %r" % r.stdout[-300:])
                if reader is not None:
                    try:
                        got = os.read(reader, 100)
                    except BlockingIOError:
                        got = b""
                    check(got == b"", what + ": nothing written into the FIFO")
                if name != LOG:
                    check(os.path.getsize(os.path.join(folder, LOG)) > 0, what + ": log kept")
            finally:
                if reader is not None:
                    os.close(reader)


def card(text):
    return text.ljust(80)[:80].encode("latin-1")


def fits_header(cards, end=True):
    text = b"".join(card(c) for c in cards) + (card("END") if end else b"")
    return text + b" " * ((-len(text)) % 2880)


def frame_header(columns=320, rows=240, bitpix="16", date="'2026-03-16T05:00:00'"):
    cards = ["SIMPLE  =                    T", "BITPIX  = %20s" % bitpix,
             "NAXIS   =                    2", "NAXIS1  = %20s" % columns,
             "NAXIS2  = %20s" % rows, "BZERO   =              32768.0"]
    if date is not None:
        cards.append("DATE-OBS= %s" % date)
    return fits_header(cards)


def test_bad_files(work, reference):
    """A night with bad files among the frames: each bad file is reported once and left out,
    things that are not files are not listed, and every good frame is measured as in a night
    without them."""
    folder = fresh_copy(reference["folder"], work, "bad-files")
    good = frame_header()
    bad = {
        "A_empty_R.fit": b"",
        "A_one_byte_G.fit": b"S",
        "B_no_end_B.fit": fits_header(["SIMPLE  =                    T"] * 40, end=False),
        "Z_bitpix_R.fit": frame_header(bitpix="12"),
        "Z_no_bitpix_G.fit": frame_header(bitpix="'abc'"),
        "Z_zero_size_B.fit": frame_header(columns=0),
        "Z_negative_size_R.fit": frame_header(rows=-240),
        "Z_too_large_G.fit": frame_header(columns=100000, rows=100000),
        "Z_other_size_B.fit": frame_header(columns=100, rows=48) + b"\0" * 9600,
        "Z_no_date_R.fit": frame_header(date=None) + b"\0" * 153600,
        "Z_month_13_G.fit": frame_header(date="'2026-13-16T05:00:00'") + b"\0" * 153600,
        "Z_short_data_B.fit": good + b"\0" * 1000,
    }
    for name, data in bad.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    not_files = ["Z_folder_R.fit", "Z_fifo_G.fit", "Z_dangling_B.fit", "Z_device_R.fit",
                 ".hidden_G.fit"]
    os.mkdir(os.path.join(folder, "Z_folder_R.fit"))
    os.mkfifo(os.path.join(folder, "Z_fifo_G.fit"))
    os.symlink(os.path.join(folder, "nowhere"), os.path.join(folder, "Z_dangling_B.fit"))
    os.symlink("/dev/zero", os.path.join(folder, "Z_device_R.fit"))
    with open(os.path.join(folder, ".hidden_G.fit"), "wb") as f:
        f.write(good)
    r = run(BATCH, folder)
    check(r.returncode == 0, "bad files: exit status %d" % r.returncode)
    log = read(os.path.join(folder, LOG))
    for name in bad:
        if name == "Z_short_data_B.fit":
            continue  # a short file is measured with its missing samples zero
        said = b"File %s is not used: " % name.encode()
        check(r.stdout.count(said) == 1, "bad files: %s reported once" % name)
        check(log.count(b"\r\n" + said) == 1, "bad files: %s in the log once" % name)
    for name in not_files:
        check(name.encode() not in log, "bad files: %s not listed" % name)
    rows = {}
    for line in read(os.path.join(folder, "ORVEL_results.csv")).splitlines():
        rows[line.split(b",")[0]] = line
    for line in reference["results"].splitlines()[1:]:
        name = line.split(b",")[0]
        check(rows.get(name) == line, "bad files: %s measured as without them" % name.decode())


def test_odd_names(work, reference):
    """Frame names with commas, quotes, line ends, control characters and bytes that are not
    UTF-8: listed and measured, written to the log with each control character as \\xNN (other
    bytes as they are), quoted in the results file so that a CSV reader gets them back exactly,
    and removable by name."""
    folder = fresh_copy(reference["folder"], work, "odd-names")
    odd = {b'we,ird"\n\r\x01name_R.fit': "NIGHT_0004_R.fit", b"\xff\xfe_G.fit": "NIGHT_0005_G.fit"}
    for name, source in odd.items():
        os.rename(os.path.join(folder, source), os.path.join(os.fsencode(folder), name))
    removed = b'we,ird"\n\r\x01name_R.fit'
    r = run(BATCH + ["--remove", os.fsdecode(removed)], folder)
    check(r.returncode == 0, "odd names: exit status %d" % r.returncode)
    log = read(os.path.join(folder, LOG))
    logged = {b'we,ird"\n\r\x01name_R.fit': b'we,ird"\\x0a\\x0d\\x01name_R.fit',
              b"\xff\xfe_G.fit": b"\xff\xfe_G.fit"}
    for name in odd:
        check(b"\r\n" + logged[name] + b"\r\n" in log, "odd names: %r listed escaped" % name)
    check(b"\x01" not in log, "odd names: no raw control character in the log")
    rows = list(csv.reader(io.StringIO(read(os.path.join(folder, "ORVEL_results.csv"))
                                       .decode("latin-1"), newline="")))
    names = {row[0].encode("latin-1"): row for row in rows[1:]}
    check(len(rows) == len(reference["results"].splitlines()), "odd names: one row per frame")
    for name in odd:
        check(name in names, "odd names: %r read back exactly from the results" % name)
    check(names.get(removed, [""] * 13)[12] == "removed", "odd names: removed by its name")


def test_memory_runs_out(work, reference):
    """The first frame claims 23000 x 23000 pixels in a file of a few bytes, under a memory limit
    of 1 GB: the run ends cleanly with status 1 and a reason, the log kept."""
    folder = fresh_copy(reference["folder"], work, "memory")
    with open(os.path.join(folder, "A_huge_R.fit"), "wb") as f:
        f.write(frame_header(columns=23000, rows=23000) + b"\0" * 100)
    r = run(BATCH, folder, preexec=memory_limit(1 << 30))
    check(r.returncode == 1, "memory runs out: exit status %d" % r.returncode)
    check(r.stdout.endswith(b"orvel: there is not enough memory to go on; the log keeps "
                            b"everything measured\n"), "memory runs out: said why")
    log = read(os.path.join(folder, LOG))
    check(log.endswith(b"Hour, minutes, seconds =  5  0  0 \r\n"),
          "memory runs out: log up to the frame's header")


def make_reference(work):
    """The runs without a fault that the faulty runs are compared with."""
    ref = {}
    ref["folder"] = os.path.join(work, "reference-night")
    night(ref["folder"])
    scratch = fresh_copy(ref["folder"], work, "reference-run")
    r = run(BATCH, scratch)
    if r.returncode != 0:
        print("FAIL: the reference run failed:\n" + r.stdout.decode() + r.stderr.decode())
        sys.exit(1)
    ref["stdout"] = r.stdout
    ref["log"] = read(os.path.join(scratch, LOG))
    ref["results"] = read(os.path.join(scratch, "ORVEL_results.csv"))
    ref["big_folder"] = os.path.join(work, "reference-big-night")
    night(ref["big_folder"], frames=40)
    scratch = fresh_copy(ref["big_folder"], work, "reference-big-run")
    r = run(BATCH, scratch)
    ref["big_log"] = read(os.path.join(scratch, LOG))
    return ref


def main():
    work = tempfile.mkdtemp(prefix="orvel-faults-")
    try:
        reference = make_reference(work)
        for test in (test_log_that_cannot_be_created, test_disk_full, test_killed_in_the_loop,
                     test_input_ends_at_each_question, test_output_closed, test_endless_line,
                     test_picks_far_outside, test_outputs_that_are_not_files, test_bad_files,
                     test_odd_names,
                     test_memory_runs_out):
            print("-- " + test.__name__, flush=True)
            test(work, reference)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for s in skipped:
        print("skipped: " + s)
    check.finish()


if __name__ == "__main__":
    main()
