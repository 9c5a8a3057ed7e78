"""Fuzzing: random members of every class and every module function of `unit`
and `vktsim`, called with awkward arguments on objects in every state.

Calls run in child processes, a batch of calls per child, each batch
reproducible from its seed. The parent reports a child that died by a signal,
a sanitizer report, an exception that no careful program could expect, or a
hang (no exit within the batch's time limit), with the command that replays
that batch and the last call it made."""
import gc
import os
import random
import sys
import tempfile
import traceback

import unit
import vktsim

from . import children, surface, world

# What a program may meet when it passes wrong things: the translated
# library and binding errors (RuntimeError), pybind11's conversion and
# overload errors (TypeError), range and value refusals (ValueError,
# OverflowError, IndexError from vktsim.Register.value), allocations the
# machine cannot serve (MemoryError), texts that are no text
# (UnicodeError), read-only or deleted attributes (AttributeError).
EXPECTED = (RuntimeError, TypeError, ValueError, OverflowError, IndexError, MemoryError,
            UnicodeError, AttributeError, unit.Exception)

REBUILD_EVERY = 1500   # calls between fresh worlds (every object released)
DROP_EVERY = 97        # calls between releases of one object


class Unexpected(Exception):
    pass


class Fuzzer:
    def __init__(self, seed, directory, trace=None):
        self.rng = random.Random(seed)
        self.world = world.World(self.rng, directory)
        self.members = surface.all_members()
        self.trace = trace

    def call_one(self):
        member = self.rng.choice(self.members)
        target, action, args = self._plan(member)
        if self.trace is not None:
            self.trace.write(children.TRACE_MARK + "%s on %s with (%s)\n" % (
                member.label + ("=" if action == "set" else ""), self.world.describe(target),
                ", ".join(self.world.describe(a) for a in args)))
            self.trace.flush()
        try:
            result = self._perform(member, target, action, args)
        except EXPECTED:
            return
        except BaseException as error:
            raise Unexpected("%s on %s raised %s" % (member.label, self.world.describe(target),
                                                   "".join(traceback.format_exception_only(error))))
        self.world.adopt(result)

    def _plan(self, member):
        rng = self.rng
        bounded = member.name in world.BOUNDED_MEMBERS
        target = None
        if member.kind in ("method", "property"):
            target = self.world.instance_of(member.owner) if rng.random() < 0.9 \
                else self.world.awkward(bounded)
        elif member.kind == "class property":
            target = rng.choice(self.world.classes + [int, type])
        action = "call"
        overloads = member.overloads
        if member.kind == "property":
            action = "set" if member.settable and rng.random() < 0.4 else "get"
            if rng.random() < 0.03:
                action = "delete"
            overloads = member.setter_overloads if action == "set" else ((),)
        params = rng.choice(overloads) if overloads else ()
        args = [self.world.value(p.type, bounded) for p in params
                if bounded or not p.has_default or rng.random() < 0.5]
        if rng.random() < 0.05:   # a wrong number of arguments
            args = args[:-1] if args and rng.random() < 0.5 else args + [self.world.awkward()]
        return target, action, args

    def _perform(self, member, target, action, args):
        if member.kind == "class property":
            return vars(member.owner)[member.name].fget(target)
        if member.kind == "property":
            # Through the class's property, so that a target of another type
            # reaches the accessor (setattr would give it an attribute).
            prop = vars(member.owner)[member.name]
            if action == "get":
                return prop.fget(target)
            if action == "set":
                prop.fset(target, args[0] if args else None)
            else:
                prop.__delete__(target)
            return None
        if member.kind == "method":
            return getattr(member.owner, member.name)(target, *args)
        return getattr(member.owner, member.name)(*args)

    def run(self, calls):
        for count in range(1, calls + 1):
            self.call_one()
            if count % DROP_EVERY == 0:
                self.world.drop_one()
            if count % REBUILD_EVERY == 0 or count == calls:
                self._release_all(count)
                self.world.rebuild()
        self.world.release()

    def _release_all(self, count):
        left = self.world.release()
        if left:
            raise Unexpected("%d library objects outlived every Python object after call %d"
                             % (left, count))


def child_main(seed, calls, trace):
    """One batch, in this process: exit status 0 when every call ended in a
    result or an expected error, 3 on anything else."""
    with tempfile.TemporaryDirectory(prefix="vkt-fuzz-") as directory:
        os.chdir(directory)
        fuzzer = Fuzzer(seed, directory, sys.stderr if trace else None)
        try:
            fuzzer.run(calls)
        except Unexpected as error:
            sys.stderr.write("UNEXPECTED %s\n" % error)
            return 3
        finally:
            os.chdir("/")
            vktsim.reset()
    return 0


def run(calls, seed, batch, jobs, per_call_seconds=0.05, out=sys.stdout):
    """Fuzzes `calls` calls in batches of `batch`, `jobs` children at a time.
    Returns the failed batches (empty when clean)."""
    tasks = []
    remaining, index = calls, 0
    while remaining > 0:
        size = min(batch, remaining)
        tasks.append(children.Task(["fuzz-child", "--seed", str(seed + index), "--calls", str(size)],
                                   timeout=60 + size * per_call_seconds,
                                   label="seed %d, %d calls" % (seed + index, size)))
        remaining -= size
        index += 1
    failures = children.run_all(tasks, jobs, out=out)
    for failure in failures:
        trace_task = children.Task(failure.task.argv + ["--trace"], failure.task.timeout,
                                   failure.task.label)
        replay = children.run_one(trace_task)
        failure.last_call = children.last_call(replay.stderr)
        out.write("FAILED %s: %s\n  last call: %s\n  replay: %s\n%s\n" % (
            failure.task.label, failure.reason, failure.last_call,
            children.command_line(trace_task.argv), children.excerpt(failure.stderr)))
    out.write("fuzz: %d calls in %d batches, %d failed\n" % (calls, len(tasks), len(failures)))
    return failures
