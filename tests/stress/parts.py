"""The parts of the stress suite besides fuzzing: faults, leaks, threads and
lifetimes. Each runs in a child process (see children.py); the child prints
what it measured and exits with 0 when clean."""
import gc
import os
import re
import sys
import tempfile
import threading

import unit
import vktsim

from . import children, fault_calls, world

CHILD_PARTS = ("faults-child", "leaks-child", "threads-child", "lifetimes-child", "exit-child")

# Frame time-out of the cameras whose waits must succeed: frames come every
# millisecond, but a busy machine may hold the capture thread back.
PATIENT_MS = 5000


def run(part, args, out=sys.stdout):
    """Runs one part in a child; returns the failed outcomes (empty when clean)."""
    tasks = [children.Task(["%s-child" % part, "--calls", str(args.calls), "--threads",
                            str(args.threads)], timeout=120 + args.calls * args.per_call,
                           label=part)]
    if part == "lifetimes":
        tasks += [children.Task(["exit-child", "--seed", str(variant)], timeout=60,
                                label="exit while %s" % text, leaks_judged=not daemon)
                  for variant, (text, daemon) in enumerate(EXIT_VARIANTS)]
    failures = []
    for task in tasks:
        outcome = children.run_one(task)
        out.write(outcome.stdout)
        out.write("  %s: %s (%.1f s)\n" % (task.label, outcome.reason or "ok", outcome.seconds))
        if outcome.reason is not None:
            out.write(children.excerpt(outcome.stderr, 40) + "\n")
            failures.append(outcome)
    out.flush()
    return failures


def child_main(part, args):
    with tempfile.TemporaryDirectory(prefix="vkt-stress-") as directory:
        os.chdir(directory)
        try:
            if part == "exit-child":
                return exit_while(args.seed, directory)
            return {"faults-child": faults, "leaks-child": leaks, "threads-child": threads,
                    "lifetimes-child": lifetimes}[part](args, directory)
        finally:
            os.chdir("/")


class Failures(list):
    def check(self, condition, text):
        if not condition:
            self.append(text)
            print("  FAIL " + text, flush=True)

    def status(self):
        return 1 if self else 0


# ---- faults ------------------------------------------------------------------------------------


def fixture(name, cameras):
    """The objects a fault expression uses, for the class `name`."""
    cls = getattr(unit, name, None) or getattr(vktsim, name, None)
    found = dict(unit=unit, vktsim=vktsim, Cls=cls, setattr=setattr,
                 camera=cameras["KTX21"], image=vktsim.Image(16, 8),
                 record=None, encoder_record=unit.TxKTX22EncoderStatus())
    if name in ("SNR11", "SN2200", "TK560"):
        found["obj"] = board = cls()
        board.open(0)
        found["other"] = cls()
    elif name.endswith(("Param", "Encoder", "Sio")):
        board_cls = getattr(unit, re.sub("(Param|Encoder|Sio)$", "", name))
        found["board"] = board = _opened(board_cls, cameras)
        found["obj"], found["other"] = cls.from_(board), cls.from_(board)
    elif name in ("KTX21", "KTX22", "MR250", "Video"):
        model = name if name != "Video" else "KTX21"
        found["camera"] = cameras[model]
        found["obj"], found["other"] = cls.from_file(cameras[model]), cls()
        if name != "Video":
            found["record"] = getattr(unit, "Tx%sCaptureStatus" % name)()
    elif name == "DeviceModule":
        found["obj"] = cls(None)
    elif name != "module":
        found["obj"], found["other"] = cls(), cls()
    return found


def _opened(board_cls, cameras):
    if board_cls.__name__ in cameras:
        return board_cls.from_file(cameras[board_cls.__name__])
    board = board_cls()
    board.open(0)
    return board


def fault_one(operation, status, cameras):
    """Scripts a failure of `operation`, reaches it, and returns what was wrong."""
    found = fault_calls.entry(operation)
    if found is None:
        return ["%s: no call in the fault table (tests/stress/fault_calls.py)" % operation]
    fixture_name, expression = found
    vktsim.reset()
    names = fixture(fixture_name, cameras)
    gc.collect()
    before = vktsim.live_objects()
    vktsim.clear_journal()
    vktsim.script(operation, raises=status)
    problems = []
    expected = re.compile(r"Code:%d Line:-?\d+ Function:%s File:\S.*" % (status, re.escape(operation)))
    try:
        eval(expression, names)
        problems.append("%s: `%s` raised nothing" % (operation, expression))
    except RuntimeError as error:
        if not expected.fullmatch(str(error)):
            problems.append("%s: `%s` raised %r" % (operation, expression, str(error)))
    except Exception as error:
        problems.append("%s: `%s` raised %s: %s" % (operation, expression, type(error).__name__,
                                                    error))
    gc.collect()
    after = vktsim.live_objects()
    if after != before:
        problems.append("%s: live objects %d before, %d after" % (operation, before, after))
    names.clear()
    return problems


def faults(args, directory):
    cameras = world.write_camera_files(directory)
    operations = vktsim.operations()
    failures = Failures()
    for index, operation in enumerate(operations):
        status = 3 + index % 13   # every status the library itself uses, in turn
        for problem in fault_one(operation, status, cameras):
            failures.check(False, problem)
    vktsim.reset()
    print("  faults: %d operations, %d problems" % (len(operations), len(failures)), flush=True)
    return failures.status()


# ---- leaks -------------------------------------------------------------------------------------


def rss_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def under_sanitizer():
    return "libasan" in os.environ.get("LD_PRELOAD", "")


# RSS may grow by at most this much over the measured part of the run. The
# measured part starts after a warm-up of a tenth of the calls, when the
# interpreter's and the allocator's pools have reached their working size;
# what moves RSS after that is the allocator keeping or returning whole
# pages and arenas (glibc trims its heap in 128 KiB steps, pymalloc holds
# 256 KiB arenas), a few of them at a time. 4 MiB is about sixteen such
# arenas, and less than 5 bytes per call over 10^6 calls: a leak of the
# smallest block the allocators hand out (16 bytes) on every fourth call
# exceeds it.
RSS_NOISE = 4 * 1024 * 1024
# Python's allocated blocks (sys.getallocatedblocks) may differ by this many
# between samples taken at the same point of the workload: caches of the
# interpreter (method cache, free lists, interned texts) fill and drain.
BLOCK_NOISE = 2000


def leak_workload(cameras):
    """A mixed workload: a list of steps, each one call into the module (some
    failing), over objects made once and objects made and dropped by the
    step."""
    snr11 = unit.SNR11()
    snr11.open(1)
    snr11_param = unit.SNR11Param.from_(snr11)
    ktx21 = unit.KTX21.from_file(cameras["KTX21"], 1, 0)
    ktx21_param = unit.KTX21Param.from_(ktx21)
    ktx22 = unit.KTX22.from_file(cameras["KTX22"], 1, 0)
    ktx22_encoder = unit.KTX22Encoder.from_(ktx22)
    sio = unit.KTX21Sio.from_(ktx21)
    sio.open()
    video = unit.Video.from_file(cameras["MR250"], 2, 0)
    images = [vktsim.Image(16, 8) for _ in range(3)]
    dio = vktsim.DIO()
    record = unit.TxKTX22EncoderStatus()

    def expect_error(call, *errors):
        def step():
            try:
                call()
            except errors or (RuntimeError,):
                return
            raise AssertionError("no error from a call that must fail")
        return step

    return [
        lambda: snr11.write(0x5a),
        lambda: snr11.read(),
        lambda: snr11_param.get_param("Timeout"),
        lambda: snr11_param.set_param("Timeout", 7),
        expect_error(lambda: snr11_param.get_param("NoSuchName")),
        expect_error(lambda: snr11_param.set_param("Timeout", 1.5), TypeError, RuntimeError),
        lambda: ktx21_param.get_param("CameraName"),
        lambda: ktx21_param.set_param("ExposureTime", 100),
        expect_error(lambda: ktx21_param.set_param("Width", "wide"), TypeError, RuntimeError),
        lambda: ktx21.validate(images),
        lambda: ktx21.validate(images[0]),
        expect_error(lambda: ktx21.lock([images[0], 5])),
        lambda: ktx21.query_status(),
        lambda: ktx22_encoder.encoder_status(record),
        lambda: ktx22_encoder.get_param("ENCComp1"),
        lambda: sio.write("ID?\r"),
        lambda: sio.read(4),
        lambda: sio.purge(),
        lambda: video.get_param("Width"),
        expect_error(lambda: video.send_command("NoSuchCommand")),
        lambda: unit.KTX21Param.from_(ktx21),
        lambda: unit.KTX22Encoder.from_(ktx22).is_valid,
        lambda: unit.SNR11Param.from_(snr11).timeout,
        lambda: unit.TxKTX21CaptureStatus(1, 2, 3, 4, 5, 6),
        expect_error(lambda: unit.TxKTX21CaptureStatus(1.5, 2, 3, 4, 5, 6), TypeError),
        lambda: unit.write(dio, 3),
        expect_error(lambda: unit.write(dio, -1), TypeError),
        lambda: vktsim.Image(8, 4),
        expect_error(lambda: unit.get_xml_item("/nonexistent.xml", "/Device", None)),
        expect_error(lambda: vktsim.raise_library_error(5, "leak", "check", 1)),
        expect_error(lambda: unit.KTX21.from_file("/nonexistent/camera.txt")),
        lambda: ktx21 == ktx21,
        lambda: unit.KTX21.__new__(unit.KTX21),
        lambda: vktsim.clear_journal(),
    ]


def leaks(args, directory):
    cameras = world.write_camera_files(directory)
    vktsim.reset()
    steps = leak_workload(cameras)
    calls, samples = args.calls, 20
    failures = Failures()
    baseline = None
    done = 0
    print("  %10s %12s %10s %8s" % ("calls", "rss KiB", "blocks", "objects"), flush=True)
    for sample in range(samples + 1):
        target = calls * sample // samples
        while done < target:
            steps[done % len(steps)]()
            done += 1
        vktsim.clear_journal()
        gc.collect()
        point = (rss_bytes(), sys.getallocatedblocks(), vktsim.live_objects())
        print("  %10d %12d %10d %8d" % (done, point[0] // 1024, point[1], point[2]), flush=True)
        if sample == samples // 10 + 1:
            baseline = point
    rss, blocks, objects = point
    failures.check(objects == baseline[2], "library objects grew from %d to %d"
                   % (baseline[2], objects))
    failures.check(blocks - baseline[1] <= BLOCK_NOISE, "Python blocks grew from %d to %d"
                   % (baseline[1], blocks))
    growth = rss - baseline[0]
    if under_sanitizer():
        # The sanitizer keeps freed memory in quarantine (256 MiB), so RSS says
        # nothing here; LeakSanitizer checks the heap at exit instead.
        print("  rss growth %d KiB (not judged under the sanitizer)" % (growth // 1024))
    else:
        failures.check(growth <= RSS_NOISE, "RSS grew by %d KiB over %d calls (noise: %d KiB)"
                       % (growth // 1024, calls - calls * (samples // 10 + 1) // samples,
                          RSS_NOISE // 1024))
    del steps
    gc.collect()
    vktsim.reset()
    failures.check(vktsim.live_objects() == 0, "%d library objects left after the workload"
                   % vktsim.live_objects())
    print("  leaks: %d calls, RSS %+d KiB, blocks %+d, library objects %+d after warm-up"
          % (done, growth // 1024, blocks - baseline[1], objects - baseline[2]), flush=True)
    return failures.status()


# ---- threads -----------------------------------------------------------------------------------


def threads(args, directory):
    """Threads over shared and own boards; every thread checks that each
    error it gets carries its own text."""
    cameras = world.write_camera_files(directory, PATIENT_MS)
    vktsim.reset()
    shared = unit.KTX21.from_file(cameras["KTX21"], 3, 1)
    shared_param = unit.KTX21Param.from_(shared)
    models = (unit.SNR11, unit.SN2200, unit.TK560)
    count = args.threads
    rounds = max(1, args.calls // count // 8)
    failures = Failures()
    start = threading.Barrier(count)

    def worker(index):
        own = models[index % 3]()
        own.open(index // 3 % 4)
        own_param = getattr(unit, type(own).__name__ + "Param").from_(own)
        own_param.timeout = 1
        image = vktsim.Image(16, 8)
        start.wait()
        for step in range(rounds):
            own.write(index * 1000 + step)
            failures.check(own.write_status() == index * 1000 + step,
                           "thread %d: its board's outputs changed under it" % index)
            shared_param.get_param("Width")
            shared.validate(image)
            try:
                vktsim.raise_library_error(index, "thread%d" % index, "step%d" % step, step)
            except RuntimeError as error:
                failures.check(str(error) == "Code:%d Line:%d Function:thread%d File:step%d"
                               % (index, step, index, step),
                               "thread %d got another's error: %s" % (index, error))
            try:
                own_param.get_param("Thread%d" % index)
            except RuntimeError as error:
                failures.check(str(error).startswith("Code:1 Line:"),
                               "thread %d: %s" % (index, error))
            unit.KTX21Param.from_(shared).is_valid
        own.dispose()

    workers = [threading.Thread(target=worker, args=(i,)) for i in range(count)]
    for thread in workers:
        thread.start()
    for thread in workers:
        thread.join()
    del shared_param, shared
    gc.collect()
    failures.check(vktsim.live_objects() == 0, "%d library objects left" % vktsim.live_objects())
    print("  threads: %d threads x %d rounds, %d problems" % (count, rounds, len(failures)),
          flush=True)
    return failures.status()


# ---- lifetimes ---------------------------------------------------------------------------------


def _capture(cameras, model="KTX21", num=0):
    board = getattr(unit, model).from_file(cameras[model], 2, 0)
    images = [vktsim.Image(16, 8) for _ in range(3)]
    board.lock(images)
    board.num = num
    board.start()
    return board, images


def _expect_runtime_error(call, failures, what):
    try:
        call()
    except RuntimeError:
        return
    except Exception as error:
        failures.check(False, "%s raised %s: %s" % (what, type(error).__name__, error))
        return
    failures.check(False, "%s raised nothing" % what)


def board_dies_under_companions(cameras, failures):
    # A use of each companion that reaches the library's board.
    uses = {"Param": lambda c: c.get_param("Width"), "Encoder": lambda c: c.get_param("ENCComp1"),
            "Sio": lambda c: c.open()}
    for model, kinds in (("KTX21", ("Param", "Encoder", "Sio")),
                         ("KTX22", ("Param", "Encoder", "Sio")), ("MR250", ("Param",))):
        board = getattr(unit, model).from_file(cameras[model])
        made = [(kind, getattr(unit, model + kind).from_(board)) for kind in kinds]
        del board
        gc.collect()
        for kind, companion in made:
            companion.is_valid
            companion.controller
            _expect_runtime_error(lambda: uses[kind](companion), failures,
                                  "%s%s of a destroyed board" % (model, kind))
    for model in ("SNR11", "SN2200", "TK560"):
        board = getattr(unit, model)()
        board.open(0)
        param = getattr(unit, model + "Param").from_(board)
        board.dispose()
        _expect_runtime_error(lambda: param.get_param("Timeout"), failures,
                              "%sParam of a disposed board" % model)


def board_dies_during_capture(cameras, failures):
    for model in ("KTX21", "KTX22", "MR250"):
        board, images = _capture(cameras, model)
        board.wait()
        del board
        gc.collect()
        del images


def images_die_during_capture(cameras, failures):
    board, images = _capture(cameras)
    board.wait()
    del images
    gc.collect()
    _expect_runtime_error(board.wait, failures, "a wait after the locked images died")
    failures.check(board.query_status().capture_event & 16,
                   "capture_event lacks the lost-image bit")


def wrapper_outlives_its_video(cameras, failures):
    for let_go in (unit.Video.dispose, lambda video: setattr(video, "controller", None)):
        video = unit.Video.from_file(cameras["KTX21"])
        board = video.controller
        let_go(video)
        _expect_runtime_error(lambda: board.is_opened, failures,
                              "a Video's board after the Video let it go")
    # The wrapper keeps its Video alive, and with it the board.
    video = unit.Video.from_file(cameras["KTX22"])
    board = video.controller
    del video
    gc.collect()
    failures.check(board.is_opened, "a Video's board closed when the Python Video was released")


def board_dies_while_thread_waits(cameras, failures):
    board, images = _capture(cameras, "KTX21", num=0)
    ended = []

    def waiter():
        try:
            board.wait()
        except RuntimeError:
            pass
        ended.append(True)

    thread = threading.Thread(target=waiter)
    thread.start()
    board.dispose()
    thread.join(10)
    failures.check(ended, "a wait on a disposed board did not end")
    del images


def dio_board_dies_after_wait(cameras, failures):
    board = unit.SNR11()
    board.open(2)
    unit.SNR11Param.from_(board).timeout = 5
    vktsim.schedule_inputs("SNR11", 2, [(1, 1, -1), (3, 0, -1)])
    board.wait()
    vktsim.schedule_inputs("SNR11", 2, [(50, 1, -1)])
    del board
    gc.collect()


LIFETIME_SCENARIOS = (board_dies_under_companions, board_dies_during_capture,
                      images_die_during_capture, wrapper_outlives_its_video,
                      board_dies_while_thread_waits, dio_board_dies_after_wait)


def lifetimes(args, directory):
    cameras = world.write_camera_files(directory, PATIENT_MS)
    failures = Failures()
    rounds = max(1, args.calls // 2000)
    for _ in range(rounds):
        for scenario in LIFETIME_SCENARIOS:
            vktsim.reset()
            scenario(cameras, failures)
            gc.collect()
            vktsim.reset()
            failures.check(vktsim.live_objects() == 0, "%s left %d library objects"
                           % (scenario.__name__, vktsim.live_objects()))
    print("  lifetimes: %d scenarios x %d rounds, %d problems"
          % (len(LIFETIME_SCENARIOS), rounds, len(failures)), flush=True)
    return failures.status()


# The interpreter exits (code 0 expected) while...
# (what runs, whether a daemon thread is still running then). The interpreter
# never frees a daemon thread that still runs at exit (its thread state,
# frames and locks), and what the thread holds is then leaked with it, so
# LeakSanitizer does not judge those exits; memory errors still count.
EXIT_VARIANTS = (("a capture runs", False),
                 ("a capture runs on a board held by a module global", False),
                 ("a KTX22 event and DIO inputs are scheduled", False),
                 ("a daemon thread waits", True))


def exit_while(variant, directory):
    cameras = world.write_camera_files(directory, PATIENT_MS)
    global _HELD
    if variant in (0, 1):
        board, images = _capture(cameras, "KTX22" if variant else "KTX21")
        if variant == 1:
            _HELD = (board, images)
    elif variant == 2:
        board = unit.KTX22.from_file(cameras["KTX22"])
        vktsim.raise_event(board, 3, 60000)
        vktsim.schedule_inputs("TK560", 1, [(60000, 1, 1)])
        _HELD = board
    else:
        board, images = _capture(cameras, "MR250")
        _HELD = (board, images)
        threading.Thread(target=lambda: [board.wait() for _ in range(10**6)], daemon=True).start()
    print("  exiting while %s" % EXIT_VARIANTS[variant][0], flush=True)
    os.chdir("/")
    sys.exit(0)


_HELD = None
