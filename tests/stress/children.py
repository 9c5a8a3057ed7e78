"""Child processes. Every part of the stress suite runs its work in children,
so that a crash, a sanitizer report or a hang is seen and reported instead of
taking the run down with it."""
import dataclasses
import os
import resource
import shlex
import signal
import subprocess
import sys
import tempfile
import time

# Texts by which the sanitizers announce a finding on standard error; a
# child whose error output holds one failed even if it exited with 0.
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                   "UndefinedBehaviorSanitizer", "ThreadSanitizer")


def _package_root():
    """The directory from which this package is imported (its top package's
    parent), so that children import the very same code."""
    here = os.path.dirname(os.path.abspath(__file__))
    for _ in __package__.split("."):
        here = os.path.dirname(here)
    return here


def child_env(leaks_judged=True):
    env = dict(os.environ)
    if not leaks_judged:
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    root = _package_root()
    env["PYTHONPATH"] = os.pathsep.join(p for p in (root, env.get("PYTHONPATH")) if p)
    return env


def command(argv):
    return [sys.executable, "-m", __package__] + list(argv)


def command_line(argv):
    """How to run a child by hand, from the repository root."""
    return "python -m tests.stress " + " ".join(shlex.quote(a) for a in argv)


@dataclasses.dataclass
class Task:
    argv: list
    timeout: float
    label: str
    command: list = None   # instead of running the suite's own entry point with argv
    leaks_judged: bool = True   # False: LeakSanitizer stays off in this child


@dataclasses.dataclass
class Outcome:
    task: Task
    returncode: int
    stdout: str
    stderr: str
    seconds: float
    timed_out: bool = False
    last_call: str = ""

    @property
    def reason(self):
        """Why the child failed, or None if it did not."""
        if self.timed_out:
            return "hang: no exit within %.0f s" % self.task.timeout
        if self.returncode < 0:
            return "killed by %s" % signal.Signals(-self.returncode).name
        found = [mark for mark in SANITIZER_MARKS if mark in self.stderr]
        if found:
            return "sanitizer report (%s), exit status %d" % (found[0], self.returncode)
        if self.returncode != 0:
            return "exit status %d" % self.returncode
        return None


def _no_core_dumps():
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


class _Running:
    def __init__(self, task):
        self.task = task
        self.output = tempfile.TemporaryFile(mode="w+b")
        self.errors = tempfile.TemporaryFile(mode="w+b")
        self.started = time.monotonic()
        self.process = subprocess.Popen(task.command or command(task.argv),
                                        env=child_env(task.leaks_judged),
                                        stdin=subprocess.DEVNULL, stdout=self.output,
                                        stderr=self.errors, start_new_session=True,
                                        preexec_fn=_no_core_dumps)
        self.timed_out = False

    def poll(self):
        if self.process.poll() is None and time.monotonic() - self.started > self.task.timeout:
            self.timed_out = True
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
        return self.process.poll()

    def outcome(self):
        stdout, stderr = (_read_and_close(f) for f in (self.output, self.errors))
        return Outcome(self.task, self.process.returncode, stdout, stderr,
                       time.monotonic() - self.started, self.timed_out)


def _read_and_close(stream):
    stream.seek(0)
    text = stream.read().decode("utf-8", "replace")
    stream.close()
    return text


def run_all(tasks, jobs, out=sys.stdout):
    """Runs the tasks, `jobs` at a time; returns the outcomes that failed."""
    pending = list(tasks)
    running, failures = [], []
    done = 0
    while pending or running:
        while pending and len(running) < jobs:
            running.append(_Running(pending.pop(0)))
        time.sleep(0.02)
        for child in list(running):
            if child.poll() is None:
                continue
            running.remove(child)
            outcome = child.outcome()
            done += 1
            if outcome.reason is not None:
                failures.append(outcome)
            out.write("  [%d/%d] %s: %s (%.1f s)\n" % (done, len(tasks), outcome.task.label,
                                                      outcome.reason or "ok", outcome.seconds))
            out.flush()
    return failures


def run_one(task):
    child = _Running(task)
    while child.poll() is None:
        time.sleep(0.02)
    return child.outcome()


TRACE_MARK = "CALL "
REPORT_MARKS = SANITIZER_MARKS + ("UNEXPECTED", "Fatal Python error", "Traceback")


def last_call(trace):
    """The last call a traced child announced before it failed."""
    calls = [line for line in trace.splitlines() if line.startswith(TRACE_MARK)]
    return calls[-1][len(TRACE_MARK):] if calls else "(none)"


def excerpt(text, count=12):
    """The start of the first report in a child's error output, or its end."""
    lines = [line for line in text.splitlines() if not line.startswith(TRACE_MARK)]
    for index, line in enumerate(lines):
        if any(mark in line for mark in REPORT_MARKS):
            return indent(lines[index:index + count])
    return indent(lines[-count:])


def tail(text, count=25):
    return indent(text.splitlines()[-count:])


def indent(lines):
    return "\n".join("    " + line for line in lines)
