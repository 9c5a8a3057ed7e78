"""The objects and argument values the fuzzer works with: library objects in
every state a program can bring them to (opened, closed, disposed, never
initialised, companions of released boards, wrappers whose owner let the
board go), and the awkward values a careless program passes."""
import decimal
import fractions
import gc
import os
import re

import numpy

import unit
import vktsim

from . import surface

# Settings that bound how long a blocking call may take are left out of the
# names the fuzzer sets (see BOUNDED_MEMBERS).
SETTING_NAMES = (
    "Width", "Height", "BitWidth", "TapCount", "TriggerMode", "ExposureTime", "TriggerCycleTime",
    "CameraName", "CameraMaker", "CameraMode", "DIEnable", "DIEdge", "DIWaitEnable", "INTEnable",
    "INTEdge", "DIWaitMode", "DeviceId", "Version", "FpgaVersion", "ENCDir", "ENCComp1",
    "ENCComp2", "ENCSampling", "ENCInit", "ENCSwapAB", "PGStatus", "PLLReconfig", "CameraClock",
    "PLLReconfigStatus", "TriggerMaskMode", "HCycle", "VCycle", "VideoOffset", "FieldDetection",
    "SIORxBufSize", "ImageSize", "SelfCalibration", "ClearTriggerMask", "ResetPG", "StopPG",
    "ResetPLLReconfig", "ExecutePLLReconfig", "Outputs", "NoSuchName",
)

# Members whose integer arguments are durations, counts of frames to wait
# for or bytes to allocate: any value there is legitimate, but a large one
# makes the call (or a later wait) take that long or that much memory. They
# get small values, values out of the type's range, and every non-integer;
# their defaulted parameters are always given, so that no default time-out
# of seconds applies.
BOUNDED_MEMBERS = frozenset({
    "wait", "wait_status", "wait_event", "read", "read_byte", "timeout", "num", "abort", "grab",
    "raise_event", "cancel_event", "advance", "schedule_inputs", "__init__",
})

# Settings written into every camera file the fuzzer uses: small, fast frames
# and a short time-out, so that a wait without frames ends within 30 ms.
FAST_CAMERA = {
    "KTX21": dict(Width=16, Height=8, BitWidth=8, TriggerCycleTime=1000, ExposureTime=100,
                  Timeout=30, SIOTimeout=5),
    "KTX22": dict(Width=16, Height=8, BitWidth=8, TriggerCycleTime=1000, ExposureTime=100,
                  Timeout=30, SIOTimeout=5),
    "MR250": dict(Width=16, Height=8, HCycle=1000, VCycle=100, Timeout=30),
}
DIO_TIMEOUT_MS = 5


class IndexLike:
    """An integer the way CPython accepts one: through __index__."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class IntOnly:
    """A number with __int__ but no __index__: must not pass as an integer."""

    def __init__(self, value):
        self.value = value

    def __int__(self):
        return self.value


class RaisingIndex:
    def __index__(self):
        raise ValueError("no index today")


class ListSubclass(list):
    pass


def write_camera_files(directory, timeout_ms=None):
    """One fast camera file per grabber model; returns their paths by model.
    `timeout_ms` replaces the short frame time-out where a wait must not fail
    when a busy machine delays a frame."""
    paths = {}
    for model, settings in FAST_CAMERA.items():
        settings = dict(settings, **({"Timeout": timeout_ms} if timeout_ms else {}))
        lines = ["[%s]" % model] + ["%s = %s" % item for item in settings.items()]
        path = os.path.join(directory, "%s.txt" % model.lower())
        with open(path, "w") as out:
            out.write("\n".join(lines) + "\n")
        paths[model] = path
    return paths


INTS = (0, 1, -1, 2, 3, 7, 255, 256, 65535, 65536, 2**31 - 1, 2**31, -2**31, -2**31 - 1,
        2**32 - 1, 2**32, 2**63 - 1, 2**63, -2**63, -2**63 - 1, 2**64, 10**30, -10**30)
BOUNDED_INTS = (0, 1, -1, 2, 3, 5, 10, 20, 255, 256, 2**32, 2**64, -2**31 - 1, 2**63, -10**30)
INT_LIKES = (True, False, numpy.int8(-5), numpy.uint32(7), numpy.int64(-1), numpy.uint64(2**64 - 1),
             IndexLike(5), IndexLike(2**70), RaisingIndex(), numpy.bool_(True))
FLOAT_LIKES = (3.7, -0.0, float("nan"), float("inf"), numpy.float32(3.7), numpy.float64(5.5),
               decimal.Decimal("5.9"), fractions.Fraction(11, 2), IntOnly(4), complex(1, 2))
TEXTS = ("", "x", "a\0b", "\udcff", "\u00e9t\u00e9", "\U0001f600", "x" * 5000, "Code:1",
         b"", b"\xff\xfe", b"abc\0def", bytearray(b"x"), "ID?\r", "EXP=100\r")
ODD_PATHS = ("", "/", "/tmp", ".", "/nonexistent/camera.txt", "a\0b.txt", b"\xff.txt",
             "\udcff.txt", "\u00fc.txt", "saved.txt", "x" * 5000, b"saved.txt")
OTHERS = (None, object(), Ellipsis, len, int, (), {}, set(), 1j, [], numpy.zeros(3))


class World:
    """Library objects in every state, refreshed now and then so that boards
    die under their companions and captures in the middle of the run."""

    def __init__(self, rng, directory):
        self.rng = rng
        self.directory = directory
        self.cameras = write_camera_files(directory)
        self.paths = tuple(self.cameras.values()) + ODD_PATHS
        self.classes = surface.all_classes()
        self.objects = {}
        self.states = {}   # id of an object in a special state -> that state
        self.rebuild()

    # ---- building -----------------------------------------------------------------

    def release(self):
        """Drops every object, in random order so that boards often die
        before their companions, captures and images; returns how many
        library objects outlived them all (none should)."""
        items = [obj for objs in self.objects.values() for obj in objs]
        self.objects = {}
        self.states = {}
        self.rng.shuffle(items)
        while items:
            items.pop()
        gc.collect()
        return vktsim.live_objects()

    def rebuild(self):
        """Resets the simulator and makes a new set of objects. The camera
        files are written afresh: fuzzed saves may have written over them."""
        self.release()
        vktsim.reset()
        write_camera_files(self.directory)
        # Views and modules last: they are made of the other objects.
        views = [c for c in self.classes if c.__name__.startswith("Ix") or c is vktsim.Module]
        for cls in [c for c in self.classes if c not in views] + views:
            self.objects[cls] = [make() for make in self._makers(cls)]
            self.objects[cls].append(self._mark(cls.__new__(cls), "never initialised"))
        self._add_released_owner_wrappers()

    # Board ids and channels each kind of object opens, apart so that none
    # finds its board in use: the ready board, the disposed one, the one a
    # companion outlives, and the one a Video lets go.
    READY, DISPOSED, ORPHANED, RELEASED_BY_VIDEO, VIDEO = (0, 0), (0, 1), (1, 0), (2, 0), (3, 0)

    def _makers(self, cls):
        name = cls.__name__
        if name in ("SNR11", "SN2200", "TK560"):
            return [lambda: self._dio_board(cls, self.READY[0]), cls,
                    lambda: self._disposed(self._dio_board(cls, self.DISPOSED[0] + 1))]
        if name in ("KTX21", "KTX22", "MR250"):
            path = self.cameras[name]
            return [lambda: cls.from_file(path, *self.READY), cls,
                    lambda: self._disposed(cls.from_file(path, *self.DISPOSED))]
        if cls is unit.Video:
            path = self.cameras[self.rng.choice(sorted(FAST_CAMERA))]
            return [lambda: cls.from_file(path, *self.VIDEO), cls,
                    lambda: self._disposed(cls.from_file(path, self.VIDEO[0], 1))]
        if name.endswith(("Param", "Encoder", "Sio")):
            board_cls = getattr(unit, re.sub("(Param|Encoder|Sio)$", "", name))
            return [lambda: cls.from_(self._ready(board_cls)[0]), cls,
                    lambda: self._orphan(cls, board_cls)]
        if cls is vktsim.Image:
            return [lambda: cls(16, 8), lambda: cls(16, 8, 1, 16), lambda: cls(3, 2, 3)]
        if cls is vktsim.String:
            return [lambda: cls(b"abc"), cls]
        if name.startswith("Ix"):
            return [lambda: self._view(cls)] * 2
        if cls is vktsim.Module:
            return [lambda: unit.get_device_module(vktsim.DeviceModule(self._view(vktsim.IxModule)))]
        if cls is vktsim.DeviceModule:
            return [lambda: cls(None)]
        if hasattr(cls, "__members__"):
            return [lambda member=m: member for m in cls.__members__.values()]
        try:
            cls()
        except TypeError:   # a class Python cannot make (no constructor)
            return []
        return [cls]

    def _view(self, interface):
        """One of the ready objects viewed as `interface`."""
        candidates = [o for c in self.objects for o in self._ready(c)]
        self.rng.shuffle(candidates)
        for candidate in candidates:
            try:
                return vktsim.as_interface(candidate, interface)
            except (TypeError, ValueError):
                continue
        raise LookupError("no object implements %s" % interface.__name__)

    def _dio_board(self, cls, board_id):
        board = cls()
        board.open(board_id)
        param = getattr(unit, cls.__name__ + "Param").from_(board)
        param.timeout = DIO_TIMEOUT_MS
        return board

    def _ready(self, cls):
        """The objects of a class in no special state."""
        return [o for o in self.objects.get(cls, ()) if id(o) not in self.states]

    def _mark(self, obj, state):
        self.states[id(obj)] = state
        return obj

    def describe(self, obj):
        try:
            text = repr(obj)
        except Exception as error:   # an object in a special state may refuse
            text = "<%s whose repr raised %s>" % (type(obj).__name__, type(error).__name__)
        text = text if len(text) <= 60 else text[:57] + "..."
        state = self.states.get(id(obj))
        return "%s (%s)" % (text, state) if state else text

    def _disposed(self, board):
        board.dispose()
        return self._mark(board, "disposed")

    def _orphan(self, cls, board_cls):
        """A companion whose board's Python object (and library board) is gone."""
        board = self._fresh_board(board_cls)
        companion = cls.from_(board)
        del board
        gc.collect()
        return self._mark(companion, "its board destroyed")

    def _fresh_board(self, board_cls):
        if board_cls.__name__ in FAST_CAMERA:
            return board_cls.from_file(self.cameras[board_cls.__name__], *self.ORPHANED)
        return self._dio_board(board_cls, self.ORPHANED[0] + 1)

    def _add_released_owner_wrappers(self):
        """Board wrappers that do not own their board, whose owner let it go:
        a Video's controller after the Video is disposed or released, and a
        companion's controller after the board's own wrapper is gone."""
        for model in sorted(FAST_CAMERA):
            video = unit.Video.from_file(self.cameras[model], *self.RELEASED_BY_VIDEO)
            board = video.controller
            if self.rng.random() < 0.5:
                video.dispose()
            else:
                video.controller = None
            del video
            self.objects.setdefault(type(board), []).append(
                self._mark(board, "a Video's board, the Video released it"))

    # ---- picking ---------------------------------------------------------------------

    def instance_of(self, cls):
        pool = self.objects.get(cls)
        return self.rng.choice(pool) if pool else None

    def any_object(self):
        pool = [o for objs in self.objects.values() for o in objs]
        return self.rng.choice(pool) if pool else None

    def adopt(self, result):
        """Keeps a library object a call returned, so later calls use it."""
        pool = self.objects.get(type(result))
        if pool is not None and len(pool) < 12 and id(result) not in self.states:
            pool.append(result)

    def drop_one(self):
        """Releases one object, often a board under live companions or a capture."""
        pools = [objs for objs in self.objects.values() if len(objs) > 1]
        if pools:
            pool = self.rng.choice(pools)
            self.states.pop(id(pool.pop(self.rng.randrange(len(pool)))), None)

    # ---- values ----------------------------------------------------------------------

    def value(self, type_name, bounded):
        """A value for a parameter of `type_name`: often one of that type,
        often something awkward."""
        rng = self.rng
        if rng.random() < 0.35:
            return self.awkward(bounded)
        base = type_name.split("[")[0]
        if base == "int":
            return rng.choice(BOUNDED_INTS if bounded else INTS) if rng.random() < 0.7 \
                else rng.randrange(-3, 40)
        if base == "bool":
            return rng.choice((True, False, 0, 1, numpy.bool_(False)))
        if base in ("str", "bytes"):
            if rng.random() < 0.5:
                return rng.choice(SETTING_NAMES)
            return rng.choice(self.paths + TEXTS + tuple(vktsim.operations()[:5]))
        if base in ("list", "List", "Sequence"):
            return self.image_list()
        if base == "tuple":
            return rng.choice(((), (1, 2, 3), (b"x",), (None,)))
        cls = surface.python_class(type_name)
        if cls is not None:
            return self.instance_of(cls)
        return self.awkward(bounded)

    def awkward(self, bounded=False):
        rng = self.rng
        kind = rng.randrange(8)
        if kind == 0:
            return rng.choice(BOUNDED_INTS if bounded else INTS)
        if kind == 1:
            return rng.choice(INT_LIKES)
        if kind == 2:
            return rng.choice(FLOAT_LIKES)
        if kind == 3:
            return rng.choice(TEXTS + self.paths)
        if kind == 4:
            return self.image_list()
        if kind == 5:
            return rng.choice(OTHERS)
        return self.any_object()

    def image_list(self):
        rng = self.rng
        images = self.objects.get(vktsim.Image) or [None]
        shape = rng.randrange(7)
        if shape == 0:
            return []
        if shape == 1:
            return [rng.choice(images) for _ in range(rng.randrange(1, 4))]
        if shape == 2:
            return [rng.choice(images) for _ in range(17)]   # beyond the stack array
        if shape == 3:
            return [rng.choice(images), None, 5, "x"]
        if shape == 4:
            return ListSubclass([rng.choice(images)])
        if shape == 5:
            return (rng.choice(images),)
        return [vktsim.Image.__new__(vktsim.Image)]
