"""What the end-to-end scripts' checks of a report share: each check prints "ok:" or "FAIL:"
with what it checked, and the script ends with exit code 1 when one failed."""
import sys

failures = []


def check(what, actual, wanted):
    print(("ok:   " if actual == wanted else "FAIL: ") + what)
    if actual != wanted:
        failures.append(what)
        print(f"      {actual!r}\n      expected {wanted!r}")


def report_lines(path):
    """The lines of a report file as the program wrote them (CR LF between lines)."""
    return open(path, encoding="utf-8", newline="").read().split("\r\n")


def finish():
    sys.exit(1 if failures else 0)
