"""The pass and fail counter of the end-to-end scripts."""
import sys


class Checks:
    """check(ok, what) counts a check; a failed one is printed at once and kept for the end."""

    def __init__(self):
        self.passed = 0
        self.failures = []

    def __call__(self, ok, what):
        if ok:
            self.passed += 1
        else:
            self.failures.append(what)
            print("FAIL: " + what, flush=True)

    def finish(self, title=""):
        """Prints the counts (after the title) and ends the script: status 1 on any failure."""
        prefix = title + ": " if title else ""
        print("%s%d passed, %d failed" % (prefix, self.passed, len(self.failures)))
        sys.exit(1 if self.failures else 0)
