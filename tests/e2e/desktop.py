"""The program on a pseudo-terminal and on a real X display (Xvfb, clicks by xdotool), for the
end-to-end scripts. Plain python3."""
import os
import pty
import select
import signal
import subprocess
import time

WAIT = 30.0  # seconds for any one thing the program should show or do


class Stuck(Exception):
    """The program or the display did not do what was waited for."""


class Terminal:
    """The program on a pseudo-terminal, read as it writes."""

    def __init__(self, argv, cwd, env):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(cwd)
            os.execve(argv[0], argv, env)
        self.text = ""
        self.seen = 0
        self.ended = False

    def _read(self, timeout):
        ready, _, _ = select.select([self.fd], [], [], timeout)
        if not ready:
            return False
        try:
            data = os.read(self.fd, 65536)
        except OSError:
            return False
        if not data:
            return False
        self.text += data.decode("latin-1")
        return True

    def wait_for(self, needle):
        """Waits until the needle appears after what was already consumed."""
        end = time.time() + WAIT
        while True:
            at = self.text.find(needle, self.seen)
            if at >= 0:
                self.seen = at + len(needle)
                return
            if time.time() > end:
                raise Stuck("timed out waiting for %r; console so far:\n%s"
                            % (needle, self.text[-2000:]))
            self._read(0.2)

    def type(self, line):
        time.sleep(0.2)
        os.write(self.fd, (line + "\r").encode())

    def finish(self):
        """The exit status once the program ends."""
        end = time.time() + WAIT
        while time.time() < end:
            self._read(0.2)
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.ended = True
                while self._read(0.1):
                    pass
                return os.waitstatus_to_exitcode(status)
        raise Stuck("the program did not end")

    def stop(self):
        """Ends the program when it is still running (only this child of ours)."""
        if not self.ended:
            try:
                os.kill(self.pid, signal.SIGKILL)
                os.waitpid(self.pid, 0)
            except OSError:
                pass
            self.ended = True
        os.close(self.fd)


def start_xvfb():
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1920x1080x24",
                             "-nolisten", "tcp"], pass_fds=[write_end],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    end = time.time() + WAIT
    while not number.endswith(b"\n") and time.time() < end:
        ready, _, _ = select.select([read_end], [], [], 1.0)
        if ready:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
    os.close(read_end)
    if not number.strip():
        proc.kill()
        proc.wait()
        raise Stuck("Xvfb did not start")
    return proc, ":" + number.decode().strip()


def click(display, x, y):
    time.sleep(0.3)
    env = dict(os.environ, DISPLAY=display)
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], env=env, check=True,
                   timeout=WAIT)


def plain_dialogue(term, display, typed, star, sky, before_outliers=None):
    """The whole interactive run as a user answers it: continue, the four coordinates, the star
    and the sky clicked and confirmed, no outliers removed, no graph file, X. Calls
    before_outliers() (if given) while the graph is shown; returns the exit status."""
    term.wait_for("Do you want to continue (Enter Y or N)? ")
    term.type("y")
    prompts = ["Input the Latitude of site (D,M,S, South is negative)- ",
               "Input the Longitude of site (D,M,S, West is negative)- ",
               "Input the RA of target star (H,M,S)- ",
               "Input the Dec of target star (D,M,S)- "]
    for prompt, value in zip(prompts, typed):
        term.wait_for(prompt)
        term.type(value)
    term.wait_for("put the cursor on the target star and left-click.")
    click(display, *star)
    term.wait_for("Is the target star within the red circle (Enter Y or N)? ")
    term.type("y")
    term.wait_for("that is mostly background and left-click.")
    click(display, *sky)
    term.wait_for("Does the red rectangle contain mostly background (Enter Y or N)? ")
    term.type("y")
    term.wait_for("Do you want to remove outliers from the data (Enter Y or N)? ")
    if before_outliers:
        before_outliers()
    term.type("N")
    term.wait_for("Do you want to save the graph to a BMP file (Enter Y or N)? ")
    term.type("N")
    term.wait_for("Program is finished. Enter X to terminate. ")
    term.type("X")
    return term.finish()
