"""Python control of frame grabbers and digital-I/O boards through the maker's
device library libvkt_unit.

Frame grabbers: KTX21 and KTX22 (Camera Link), MR250 (analog video) and the
board-independent Video. Digital I/O: SNR11, SN2200 and TK560. Each board
class has companions (Param, Encoder, Sio) that attach to a board object by
``from_(board)`` or by assigning ``controller``; a companion does not keep its
board alive.

Errors. Every failure of the library, and every request this module itself
refuses, raises ``RuntimeError`` with the text
``"Code:<status> Line:<line> Function:<function> File:<file>"``. The status
says what went wrong:

====  ===============  ==================================================
  1   NotSupported     a name or request the board (or this module) does
                       not support: unknown parameter or command names
  2   MissingObject    an object this module needs is missing: None (or an
                       object whose ``__init__`` never ran) as ``self``, or a
                       status record to fill; raised by this module only
  3   InvalidArgument  an argument out of range or malformed; also the
                       library's answer to None where it takes a path, text,
                       image or image list element
  4   NotOpened        the board is not open (or was disposed)
  5   DeviceBusy       the board is open elsewhere, or a capture is running
  6   NoDevice         no board with that id
  7   Timeout          a wait ran out of time
  8   Aborted          a wait or capture was aborted
  9   FileError        a file could not be read or written
 10   FormatError      a file or text is malformed
 11   WrongKind        a value of the wrong kind for a setting
 12   ReadOnly         the setting cannot be written
 13   NotFound         a named item does not exist
 14   OutOfResources   memory or another resource is exhausted
 15   NotRunning       the operation needs a running capture
====  ===============  ==================================================

Arguments that fit no signature raise ``TypeError``; a ``set_param`` value
of the wrong kind raises ``RuntimeError`` "Unable to cast Python instance of
type ..." (no status) before the library is called.

Settings under a running capture: the grabbers (KTX21, KTX22, MR250, and a
Video through them) keep the settings a capture started with. While it runs,
every change of a setting, by name, as a property, by a camera file or by a
command that changes settings ("PLLReconfig", "ExecutePLLReconfig",
"SelfCalibration"), raises RuntimeError status 5 (DeviceBusy) and changes
nothing. What may go on meanwhile: reading anything, registers, the channel
commands ("StopPG", "ResetPG", "ClearTriggerMask", "ResetPLLReconfig"), the
encoder counters and the serial line.

Waits of the grabbers report how the capture stands: one never started
raises status 15 (NotRunning), an aborted one 8 (Aborted), a disposed or
closed board 4 (NotOpened); a capture that finished or was stopped lets every
wait return at once.

The image class and the library interfaces (``vktsim.Image``,
``vktsim.IxModule``, ...) are registered by the companion module
``vktsim``; this module registers none of them. No call releases the
interpreter lock: a blocking wait holds every other Python thread.
"""

import builtins
import enum
from typing import ClassVar, Literal, SupportsIndex, TypeAlias, overload

from typing_extensions import Self  # typing has it from 3.11 on

import vktsim

# The metaclass pybind11 gives every class it registers
# (pybind11_builtins.pybind11_type).
class _pybind11_type(type): ...

# Integer arguments take any object with __index__ (int, bool, numpy
# integers), never a float. What __index__ raises reaches the caller
# unchanged, as with Python's own int parameters, except a TypeError, which
# means the object is no integer (the call then raises its own TypeError).
_Int: TypeAlias = SupportsIndex
# Texts handed to the library as UTF-8 (bytes as they are); None passes a
# null pointer, which the library refuses where it needs the text.
_Text: TypeAlias = str | bytes | None
# Names of settings and commands: compared exactly, case-sensitively.
_Name: TypeAlias = str | bytes
# What a grabber's set_param takes: an integer for numeric settings, a text
# for text ones (the digital-I/O boards and encoders have numeric ones only).
_Value: TypeAlias = SupportsIndex | str | bytes
# A ring of images for lock and validate: a list (no other sequence); a None
# element reaches the library as a missing image.
_ImageList: TypeAlias = list[vktsim.Image] | list[vktsim.Image | None]
# The buffer of the module-level lookups: None, a capsule, or any object of a
# class registered with pybind11 (its library object's address is passed).
_Buffer: TypeAlias = object

# Names of the settings each grabber's table accepts, by the kind get_param returns.
_KTX21IntName: TypeAlias = Literal[
    "DeviceID", "DeviceType", "BoardType", "CameraConnect", "DetectTrigger", "Channel", "Width",
    "Height", "OffsetW", "OffsetH", "OffsetMode", "OffsetTrgW", "OffsetTrgH", "Timeout",
    "FpgaVersion", "Version", "SendCommandEnable", "SendCommandWaitTime", "Configuration",
    "BitWidth", "RBReverse", "TapCount", "Force8", "LineSensorEnable", "EncoderMode",
    "ScanMode", "DvalEnable", "PackingMode", "Alignment16", "FormatType", "XReverse",
    "YReverse", "YStep", "Arrangement", "HighSpeed", "BlankingTime", "CC1Enable", "CC1Mode",
    "CC1Positive", "CC2Enable", "CC2Mode", "CC2Positive", "CC3Enable", "CC3Mode", "CC3Positive",
    "CC4Enable", "CC4Mode", "CC4Positive", "EXPEnable", "EXPMode", "EXPPositive", "AutoTrigger",
    "ExternalTrigger", "InTriggerOrEnable", "ExTriggerOrEnable", "ExposureTime",
    "TriggerBetaTime", "TriggerDelayTime", "TriggerCycleTime", "TriggerRetry",
    "TriggerMaskTime", "ExtTriggerSrc", "MaskedTrigger", "ExTriggerRef", "Assert", "Negate",
    "TriggerMaskTimeMode", "TriggerMaskLineNum", "TriggerMode", "SimTrigger", "ENCSampling",
    "ENCStart", "ENCComp1", "ENCInit", "ENCDir", "ENCSwapAB", "SIORxMode", "SIOTxMode",
    "SIOBaudRate", "SIORxBufSize", "SIOTxBufSize", "SIOOption", "SIOSendMode", "SIOOpenFlag",
    "SIOTimeout", "BayerMode", "ImageWidth", "ImageHeight", "ImageChannels", "ImageDepth",
    "ImageType", "ImagePack", "ENCInputCH", "PGRunMode", "PGStart", "ENCComp2"
]

_KTX21TextName: TypeAlias = Literal[
    "DriverVersion", "CameraName", "CameraMaker", "CameraMode", "SIOSTX", "SIOETX", "SIORETX"
]

_KTX22IntName: TypeAlias = Literal[
    "DeviceID", "DeviceType", "CameraConnect", "PGStatus", "Channel", "Width", "Height",
    "OffsetW", "OffsetH", "OffsetMode", "OffsetTrgW", "OffsetTrgH", "Timeout", "Version",
    "SendCommandEnable", "SendCommandWaitTime", "Configuration", "BitWidth", "RBReverse",
    "TapCount", "Force8", "LineSensorEnable", "ScanMode", "DvalEnable", "PackingMode",
    "Alignment16", "TapSwap", "FormatType", "XReverse", "YReverse", "YStep", "Arrangement",
    "BlankingTime", "CC1Enable", "CC1Mode", "CC1Positive", "CC2Enable", "CC2Mode",
    "CC2Positive", "CC3Enable", "CC3Mode", "CC3Positive", "CC4Enable", "CC4Mode", "CC4Positive",
    "EXPEnable", "EXPMode", "EXPPositive", "ExternalTrigger", "IntTriggerChSel",
    "ExtTriggerChSel", "ExtTriggerSrc", "ExtInControlMode", "Assert", "Negate", "EncoderMode",
    "ExposureTime", "TriggerBetaTime", "TriggerDelayTime", "TriggerCycleTime", "TriggerRetry",
    "TriggerMaskTime", "TriggerRetryMode", "TriggerMaskMode", "TriggerMode", "BayerMode",
    "CameraClock", "PLLReconfig", "ENCSampling", "ENCStart", "ENCComp1", "ENCResetSource",
    "ENCDir", "ENCSwapAB", "ENCSignalSource", "SIOBaudRate", "SIOOption", "SIOSendMode",
    "SIOOpenFlag", "SIOTimeout", "PoCLControl", "ENCIn0Termination", "ENCIn1Termination",
    "EncoderActMode", "ClearTriggerMaskMode", "GrabEnableSelector", "PLLReconfigStatus",
    "ImageWidth", "ImageHeight", "ImageChannels", "ImageDepth", "ImageType", "ImagePack",
    "ENCComp2"
]

_KTX22TextName: TypeAlias = Literal[
    "DriverVersion", "FpgaVersion", "CameraName", "CameraMaker", "CameraMode", "SIOSTX",
    "SIOETX", "SIORETX"
]

_MR250IntName: TypeAlias = Literal[
    "TriggerMode", "VideoOffset", "FieldDetection", "ExposureTime", "ShutterPrecision",
    "DeviceID", "DeviceType", "Channel", "Width", "Height", "OffsetW", "OffsetH", "OffsetTrgW",
    "OffsetTrgH", "Timeout", "FpgaVersion", "Version", "NormalModeWaitTime",
    "CameraTriggerSyncMode", "TriggerSharingMode", "TriggerSharingChannel", "SyncMode",
    "HCycle", "VCycle", "VCycleTrg", "HDWidth", "VDWidth", "ClampStart", "ClampEnd",
    "VideoDelay", "SyncPhase", "SyncTerminate", "PllVDW", "PllRDW", "PllOD", "TriggerSyncMode",
    "TriggerLogic", "TriggerIndexLogic", "TriggerInputPin", "TriggerReadyWait",
    "TriggerVDDelay", "TriggerIndexTimeout", "TriggerDelay", "TriggerDelaySelect",
    "ExtTriggerEnabled", "ExpEnable", "ExpLogic", "ExpStop", "SimTriggerIn", "SimTriggerEx",
    "ImageWidth", "ImageHeight", "FormatType", "ImageType", "ImagePack", "ImageDepth"
]

_MR250TextName: TypeAlias = Literal[
    "DriverVersion", "CameraName", "CameraMaker", "CameraMode", "ImageSize"
]

_SN2200TextName: TypeAlias = Literal[
    "DriverVersionName", "FpgaVersionName"
]

_VideoIntName: TypeAlias = Literal[
    "DeviceID", "DeviceType", "Channel", "Width", "Height", "OffsetW", "OffsetH", "OffsetTrgW",
    "OffsetTrgH", "Timeout", "Version", "FormatType", "ExposureTime", "TriggerMode",
    "ImageWidth", "ImageHeight", "ImageDepth", "ImageType", "ImagePack"
]

_VideoTextName: TypeAlias = Literal[
    "DriverVersion", "CameraName", "CameraMaker", "CameraMode"
]


# Names each grabber's set_param writes; the other names of its table are
# read-only, refused by set_param with status 1 (NotSupported).
_KTX21SetName: TypeAlias = Literal[
    "Width", "Height", "OffsetW", "OffsetH", "OffsetMode", "OffsetTrgW", "OffsetTrgH",
    "Timeout", "Version", "SendCommandEnable", "SendCommandWaitTime", "Configuration",
    "BitWidth", "RBReverse", "TapCount", "Force8", "LineSensorEnable", "EncoderMode",
    "ScanMode", "DvalEnable", "PackingMode", "Alignment16", "FormatType", "XReverse",
    "YReverse", "YStep", "Arrangement", "HighSpeed", "BlankingTime", "CC1Enable", "CC1Mode",
    "CC1Positive", "CC2Enable", "CC2Mode", "CC2Positive", "CC3Enable", "CC3Mode", "CC3Positive",
    "CC4Enable", "CC4Mode", "CC4Positive", "EXPEnable", "EXPMode", "EXPPositive", "AutoTrigger",
    "ExternalTrigger", "InTriggerOrEnable", "ExTriggerOrEnable", "ExposureTime",
    "TriggerBetaTime", "TriggerDelayTime", "TriggerCycleTime", "TriggerRetry",
    "TriggerMaskTime", "ExtTriggerSrc", "Assert", "Negate", "TriggerMaskTimeMode",
    "TriggerMode", "SimTrigger", "ENCSampling", "ENCStart", "ENCComp1", "ENCInit", "ENCDir",
    "ENCSwapAB", "SIORxMode", "SIOTxMode", "SIOBaudRate", "SIORxBufSize", "SIOTxBufSize",
    "SIOOption", "SIOSendMode", "SIOTimeout", "ENCInputCH", "PGRunMode", "PGStart", "ENCComp2",
    "CameraName", "CameraMaker", "CameraMode", "SIOSTX", "SIOETX", "SIORETX"
]

_KTX22SetName: TypeAlias = Literal[
    "Width", "Height", "OffsetMode", "OffsetW", "OffsetH", "OffsetTrgW", "OffsetTrgH",
    "Timeout", "Version", "SendCommandEnable", "SendCommandWaitTime", "Configuration",
    "BitWidth", "RBReverse", "TapCount", "Force8", "LineSensorEnable", "ScanMode", "DvalEnable",
    "PackingMode", "Alignment16", "FormatType", "XReverse", "YReverse", "YStep", "Arrangement",
    "CC1Enable", "CC1Mode", "CC1Positive", "CC2Enable", "CC2Mode", "CC2Positive", "CC3Enable",
    "CC3Mode", "CC3Positive", "CC4Enable", "CC4Mode", "CC4Positive", "EXPEnable", "EXPMode",
    "EXPPositive", "ExternalTrigger", "IntTriggerChSel", "ExtTriggerChSel", "ExtTriggerSrc",
    "ExtInControlMode", "Assert", "Negate", "EncoderMode", "ExposureTime", "TriggerBetaTime",
    "TriggerDelayTime", "TriggerCycleTime", "TriggerRetry", "TriggerMaskTime",
    "TriggerRetryMode", "TriggerMaskMode", "TriggerMode", "ENCSampling", "ENCStart", "ENCComp1",
    "ENCResetSource", "ENCDir", "ENCSwapAB", "ENCSignalSource", "SIOBaudRate", "SIOOption",
    "SIOSendMode", "SIOTimeout", "PoCLControl", "ENCIn0Termination", "ENCIn1Termination",
    "EncoderActMode", "PLLReconfig", "ClearTriggerMaskMode", "GrabEnableSelector", "ENCComp2",
    "CameraName", "CameraMaker", "CameraMode", "SIOSTX", "SIOETX", "SIORETX"
]

_MR250SetName: TypeAlias = Literal[
    "TriggerMode", "VideoOffset", "FieldDetection", "ExposureTime", "ShutterPrecision", "Width",
    "Height", "OffsetW", "OffsetH", "OffsetTrgW", "OffsetTrgH", "Timeout", "Version",
    "NormalModeWaitTime", "CameraTriggerSyncMode", "TriggerSharingMode",
    "TriggerSharingChannel", "SyncMode", "HCycle", "VCycle", "VCycleTrg", "HDWidth", "VDWidth",
    "ClampStart", "ClampEnd", "VideoDelay", "SyncPhase", "SyncTerminate", "PllVDW", "PllRDW",
    "PllOD", "TriggerSyncMode", "TriggerLogic", "TriggerIndexLogic", "TriggerInputPin",
    "TriggerReadyWait", "TriggerVDDelay", "TriggerIndexTimeout", "TriggerDelay",
    "TriggerDelaySelect", "ExpEnable", "ExpLogic", "ExpStop", "SimTriggerIn", "SimTriggerEx",
    "CameraName", "CameraMaker", "CameraMode"
]

# The digital-I/O boards' tables: names get_param reads (numbers, but the
# SN2200's text ones) and names set_param writes.
_SNR11GetName: TypeAlias = Literal[
    "INTEnable", "INTEdge", "INTStatus", "DeviceID", "DeviceType", "DriverVersion", "Timeout",
    "Version", "DIEnable", "DIEdge", "DIWaitEnable"
]

_SNR11SetName: TypeAlias = Literal[
    "INTEnable", "INTEdge", "Timeout", "DIWaitMode", "INTWaitEnable", "Version", "DIEnable",
    "DIEdge", "DIWaitEnable"
]

_SN2200IntName: TypeAlias = Literal[
    "DINoiseFilterTime", "DeviceID", "DeviceType", "DriverVersion", "FpgaVersion", "Timeout",
    "DIEnable", "DIEdge", "DIWaitEnable"
]

_SN2200SetName: TypeAlias = Literal[
    "DINoiseFilterTime", "Timeout", "Version", "DIEnable", "DIEdge", "DIWaitEnable"
]

_TK560GetName: TypeAlias = Literal[
    "INTEnable", "INTEdge", "DINoiseFilterWidth", "DINoiseFilterScale", "INTNoiseFilterWidth",
    "INTNoiseFilterScale", "INTStatus", "DeviceID", "DeviceType", "DriverVersion",
    "FpgaVersion", "Timeout", "DIWaitMode", "INTWaitEnable", "Version", "DIEnable", "DIEdge",
    "DIWaitEnable"
]

_TK560SetName: TypeAlias = Literal[
    "INTEnable", "INTEdge", "DINoiseFilterWidth", "DINoiseFilterScale", "INTNoiseFilterWidth",
    "INTNoiseFilterScale", "Timeout", "DIWaitMode", "INTWaitEnable", "Version", "DIEnable",
    "DIEdge", "DIWaitEnable"
]

# Integer settings the library takes unsigned (0 to 4294967295) on every board
# that has them; every other integer setting is signed 32-bit.
_UIntName: TypeAlias = Literal["DIEnable", "DIEdge", "DIWaitEnable", "ENCComp2"]

# ---- event codes --------------------------------------------------------------------

class EventStatus(enum.Enum):
    """Why a digital-I/O wait ended.

    A plain enumeration: members compare equal only to members, so compare the
    int that ``SNR11.wait()`` returns (or a record's ``event_status``) with
    ``int(EventStatus.DI)``, or convert it first: ``EventStatus(board.wait())``.
    At run time it is a pybind11 enumeration: ``EventStatus.__members__`` lists
    the members, while iterating over the class or ``EventStatus["DI"]`` does
    not work.
    """

    INT = 1
    """An edge of the interrupt line."""
    DI = 2
    """An edge of an enabled digital input."""
    TIMEOUT = 3
    """The board's time-out passed first."""
    ABORT = 4
    """The wait was aborted."""
    __members__: ClassVar[dict[str, Self]]
    @property
    def name(self) -> str:
        """The member's name, as it is written above."""
    @property
    def value(self) -> int:
        """The member's value."""
    def __int__(self) -> int:
        """The member's value."""
    def __index__(self) -> int:
        """The member's value, where an integer is needed."""

# The members, exported as module attributes: unit.DI is unit.EventStatus.DI.
INT: EventStatus
DI: EventStatus
TIMEOUT: EventStatus
ABORT: EventStatus

# ---- digital-I/O boards ---------------------------------------------------------------

class SNR11(metaclass=_pybind11_type):
    """One SNR11 digital-I/O board: 32 input and 32 output lines and an
    interrupt line. Made empty; ``open(id)`` binds it to a board."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __init__(self) -> None:
        """An empty board object; nothing is opened."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    def dispose(self) -> None:
        """Releases the library's resources; the object stays, ``is_valid``
        then tells whether it is still usable."""
    @property
    def is_valid(self) -> bool:
        """Whether the library handle is usable."""
    def open(self, id: _Int, /) -> None:
        """Opens board ``id``. Raises RuntimeError status 6 (NoDevice) for an id
        without a board, 5 (DeviceBusy) if it is open in another object, 4
        (NotOpened) after ``dispose``."""
    def close(self) -> None:
        """Releases the board for other objects."""
    @property
    def is_opened(self) -> bool:
        """Whether a board is open in this object."""
    @overload
    def read(self) -> int:
        """The 32 input lines as one word (0 to 4294967295). Raises
        RuntimeError status 4 (NotOpened) if no board is open."""
    @overload
    def read(self, index: _Int, /) -> bool:
        """Input line ``index`` (0 to 31). Raises RuntimeError status 3
        (InvalidArgument) for another index, 4 (NotOpened) if no board is open."""
    @overload
    def write(self, value: _Int, /) -> None:
        """Drives the 32 output lines from one word (0 to 4294967295; anything
        else is TypeError). Raises RuntimeError status 4 (NotOpened)."""
    @overload
    def write(self, index: _Int, value: bool, /) -> None:
        """Drives output line ``index`` (0 to 31). Raises RuntimeError status 3
        (InvalidArgument) for another index, 4 (NotOpened)."""
    @overload
    def write_status(self) -> int:
        """What the 32 output lines are driven to, as one word. Raises
        RuntimeError status 4 (NotOpened)."""
    @overload
    def write_status(self, index: _Int, /) -> bool:
        """What output line ``index`` is driven to. Raises RuntimeError status 3
        (InvalidArgument), 4 (NotOpened)."""
    def wait(self) -> int:
        """Blocks until an enabled input or interrupt edge, ``abort()`` or the
        "Timeout" setting (ms); returns the event code as a plain int
        (``EventStatus(code)`` names it). Holds the interpreter lock while it
        waits. Raises RuntimeError status 4 (NotOpened)."""
    def abort(self) -> None:
        """Makes the pending wait, or else the next one, end with
        ``EventStatus.ABORT`` (a wait holds the interpreter lock, so another
        Python thread's abort runs only after it). Raises RuntimeError status 4
        (NotOpened)."""

class SNR11Param(metaclass=_pybind11_type):
    """The settings of an SNR11 board: two properties, named parameters and
    registers. Attach it with ``SNR11Param.from_(board)`` or ``controller``."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @staticmethod
    def from_(board: SNR11 | None, /) -> SNR11Param:
        """A Param working on ``board`` (not kept alive by it). Anything but an
        SNR11 or None raises RuntimeError "Unable to cast ..."."""
    def __init__(self) -> None:
        """A Param attached to no board."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    @property
    def is_valid(self) -> bool:
        """Whether the Param is attached to a usable board."""
    @property
    def controller(self) -> SNR11 | None:
        """The board this Param works on (the same Python object), or None.
        Setting it re-attaches the Param; only an SNR11 or None is accepted
        (anything else: RuntimeError "Unable to cast ...")."""
    @controller.setter
    def controller(self, board: SNR11 | None, /) -> None: ...
    @property
    def timeout(self) -> int:
        """Milliseconds a ``wait`` lasts at most (the "Timeout" setting, 0 to
        3600000). Raises RuntimeError status 3 (InvalidArgument) outside that,
        4 (NotOpened) without an open board."""
    @timeout.setter
    def timeout(self, value: _Int, /) -> None: ...
    @property
    def int_edge(self) -> int:
        """The interrupt edge that ends a wait: 1 rising, 0 falling ("INTEdge")."""
    @int_edge.setter
    def int_edge(self, value: _Int, /) -> None: ...
    def get_param(self, name: _Name, /) -> int:
        """Reads a setting by name: "INTEnable", "INTEdge", "INTStatus",
        "DeviceID", "DeviceType", "DriverVersion", "Timeout", "Version" (signed)
        or "DIEnable", "DIEdge", "DIWaitEnable" (unsigned bit masks). Any other
        name raises RuntimeError status 1 (NotSupported) without calling the
        library; 4 (NotOpened) without an open board."""
    def set_param(self, name: _Name, value: _Int, /) -> None:
        """Writes a setting by name: "INTEnable", "INTEdge", "Timeout",
        "DIWaitMode", "INTWaitEnable", "Version" (signed 32-bit) or "DIEnable",
        "DIEdge", "DIWaitEnable" (0 to 4294967295). Another name raises
        RuntimeError status 1 (NotSupported); a value that does not fit raises
        RuntimeError "Unable to cast ..."; neither reaches the library."""
    def send_command(self, name: _Name, /) -> None:
        """The SNR11 has no commands: always raises RuntimeError status 1
        (NotSupported)."""
    def set_register(self, address: _Int, value: _Int, /) -> None:
        """Writes a 32-bit register. Raises RuntimeError status 3
        (InvalidArgument) for an address without a register."""
    def get_register(self, address: _Int, /) -> int:
        """Reads a 32-bit register (0 to 4294967295). Raises RuntimeError status
        3 (InvalidArgument) for an address without a register."""

class SN2200(metaclass=_pybind11_type):
    """One SN2200 digital-I/O board: the lines of the SNR11 without an
    interrupt; ``wait`` returns a record."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __init__(self) -> None:
        """An empty board object; nothing is opened."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    def dispose(self) -> None:
        """Releases the library's resources; the object stays."""
    @property
    def is_valid(self) -> bool:
        """Whether the library handle is usable."""
    def open(self, id: _Int = 0) -> None:
        """Opens board ``id``. Raises RuntimeError status 6 (NoDevice), 5
        (DeviceBusy) if it is open in another object, 4 (NotOpened) after
        ``dispose``."""
    def close(self) -> None:
        """Releases the board for other objects."""
    @property
    def is_opened(self) -> bool:
        """Whether a board is open in this object."""
    @overload
    def read(self) -> int:
        """The 32 input lines as one word. Raises RuntimeError status 4
        (NotOpened)."""
    @overload
    def read(self, index: _Int, /) -> bool:
        """Input line ``index`` (0 to 31). Raises RuntimeError status 3
        (InvalidArgument), 4 (NotOpened)."""
    @overload
    def write(self, value: _Int, /) -> None:
        """Drives the 32 output lines from one word. Raises RuntimeError status 4
        (NotOpened)."""
    @overload
    def write(self, index: _Int, value: bool, /) -> None:
        """Drives output line ``index``. Raises RuntimeError status 3
        (InvalidArgument), 4 (NotOpened)."""
    @overload
    def write_status(self) -> int:
        """What the output lines are driven to, as one word."""
    @overload
    def write_status(self, index: _Int, /) -> bool:
        """What output line ``index`` is driven to."""
    def wait(self) -> SN2200WaitStatus:
        """Blocks until an enabled input edge, ``abort()`` or the time-out; the
        record tells which (``event_status``) and the lines. Raises RuntimeError
        status 4 (NotOpened)."""
    def abort(self) -> None:
        """Makes the pending wait, or else the next one, end with
        ``EventStatus.ABORT`` (a wait holds the interpreter lock, so another
        Python thread's abort runs only after it). Raises RuntimeError status 4
        (NotOpened)."""

class SN2200Param(metaclass=_pybind11_type):
    """The settings of an SN2200 board: time-out and input properties, named
    parameters (two of them texts) and registers."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @staticmethod
    def from_(board: SN2200 | None, /) -> SN2200Param:
        """A Param working on ``board``. Anything but an SN2200 or None raises
        RuntimeError "Unable to cast ..."."""
    def __init__(self) -> None:
        """A Param attached to no board."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    @property
    def is_valid(self) -> bool:
        """Whether the Param is attached to a usable board."""
    @property
    def controller(self) -> SN2200 | None:
        """The board this Param works on, or None; set to re-attach (an SN2200
        or None)."""
    @controller.setter
    def controller(self, board: SN2200 | None, /) -> None: ...
    @property
    def timeout(self) -> int:
        """Milliseconds a ``wait`` lasts at most (0 to 3600000)."""
    @timeout.setter
    def timeout(self, value: _Int, /) -> None: ...
    @property
    def di_enable(self) -> int:
        """Bit mask of the input lines in use (0 to 4294967295)."""
    @di_enable.setter
    def di_enable(self, value: _Int, /) -> None: ...
    @property
    def di_edge(self) -> int:
        """Bit mask of the edge per line that counts: bit set rising, clear
        falling."""
    @di_edge.setter
    def di_edge(self, value: _Int, /) -> None: ...
    @property
    def di_wait_enable(self) -> int:
        """Bit mask of the lines whose edge ends a ``wait``."""
    @di_wait_enable.setter
    def di_wait_enable(self, value: _Int, /) -> None: ...
    @overload
    def get_param(self, name: Literal["DriverVersionName", "FpgaVersionName"], /) -> str:
        """The driver's or FPGA's version as text."""
    @overload
    def get_param(self, name: _Name, /) -> int | str:
        """Reads a setting by name: "DINoiseFilterTime", "DeviceID",
        "DeviceType", "DriverVersion", "FpgaVersion", "Timeout" (signed),
        "DIEnable", "DIEdge", "DIWaitEnable" (unsigned), "DriverVersionName",
        "FpgaVersionName" (text). Any other name raises RuntimeError status 1
        (NotSupported) without calling the library."""
    def set_param(self, name: _Name, value: _Int, /) -> None:
        """Writes a setting by name: "DINoiseFilterTime", "Timeout", "Version"
        (signed), "DIEnable", "DIEdge", "DIWaitEnable" (unsigned). Another name
        raises RuntimeError status 1 (NotSupported); a value that does not fit
        raises RuntimeError "Unable to cast ..."."""
    def send_command(self, name: _Name, /) -> None:
        """The SN2200 has no commands: always raises RuntimeError status 1
        (NotSupported)."""
    def set_register(self, address: _Int, value: _Int, /) -> None:
        """Writes a 32-bit register. Raises RuntimeError status 3
        (InvalidArgument) for an address without a register."""
    def get_register(self, address: _Int, /) -> int:
        """Reads a 32-bit register (0 to 4294967295)."""

class TK560(metaclass=_pybind11_type):
    """One TK560 digital-I/O board: the lines and interrupt of the SNR11, a
    ``wait`` that returns a record, and settings saved to and loaded from
    files."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __init__(self) -> None:
        """An empty board object; nothing is opened."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    def dispose(self) -> None:
        """Releases the library's resources; the object stays."""
    @property
    def is_valid(self) -> bool:
        """Whether the library handle is usable."""
    def open(self, id: _Int, /) -> None:
        """Opens board ``id``. Raises RuntimeError status 6 (NoDevice), 5
        (DeviceBusy), 4 (NotOpened) after ``dispose``."""
    def close(self) -> None:
        """Releases the board for other objects."""
    @property
    def is_opened(self) -> bool:
        """Whether a board is open in this object."""
    @overload
    def read(self) -> int:
        """The 32 input lines as one word. Raises RuntimeError status 4
        (NotOpened)."""
    @overload
    def read(self, index: _Int, /) -> bool:
        """Input line ``index`` (0 to 31). Raises RuntimeError status 3
        (InvalidArgument), 4 (NotOpened)."""
    @overload
    def write(self, value: _Int, /) -> None:
        """Drives the 32 output lines from one word."""
    @overload
    def write(self, index: _Int, value: bool, /) -> None:
        """Drives output line ``index``."""
    @overload
    def write_status(self) -> int:
        """What the output lines are driven to, as one word."""
    @overload
    def write_status(self, index: _Int, /) -> bool:
        """What output line ``index`` is driven to."""
    def load(self, path: _Text, scope: _Int, /) -> None:
        """Loads the settings ``save`` wrote (all or nothing). Raises
        RuntimeError status 9 (FileError) for a file it cannot read, 10
        (FormatError) for a malformed one, 3 (InvalidArgument) for a scope
        other than 0 or 1."""
    def load_w(self, path: str | None, scope: _Int, /) -> None:
        """``load`` with the path handed over as a wide string."""
    def save(self, path: _Text, scope: _Int, /) -> None:
        """Writes the writable settings as "Name = value" lines; scope 1 adds
        the outputs. Raises RuntimeError status 9 (FileError), 3
        (InvalidArgument) for a scope other than 0 or 1."""
    def save_w(self, path: str | None, scope: _Int, /) -> None:
        """``save`` with the path handed over as a wide string."""
    def wait(self) -> TK560WaitStatus:
        """Blocks until an enabled input or interrupt edge, ``abort()`` or the
        time-out; in wait mode 1 until every enabled line had its edge. Raises
        RuntimeError status 4 (NotOpened)."""
    def abort(self) -> None:
        """Makes the pending wait, or else the next one, end with
        ``EventStatus.ABORT`` (a wait holds the interpreter lock, so another
        Python thread's abort runs only after it). Raises RuntimeError status 4
        (NotOpened)."""

class TK560Param(metaclass=_pybind11_type):
    """The settings of a TK560 board: interrupt and input properties, named
    parameters and registers."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @staticmethod
    def from_(board: TK560 | None, /) -> TK560Param:
        """A Param working on ``board``. Anything but a TK560 or None raises
        RuntimeError "Unable to cast ..."."""
    def __init__(self) -> None:
        """A Param attached to no board."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    @property
    def is_valid(self) -> bool:
        """Whether the Param is attached to a usable board."""
    @property
    def controller(self) -> TK560 | None:
        """The board this Param works on, or None; set to re-attach (a TK560 or
        None)."""
    @controller.setter
    def controller(self, board: TK560 | None, /) -> None: ...
    @property
    def timeout(self) -> int:
        """Milliseconds a ``wait`` lasts at most (0 to 3600000)."""
    @timeout.setter
    def timeout(self, value: _Int, /) -> None: ...
    @property
    def int_enable(self) -> int:
        """Whether the interrupt line is in use (1) or not (0)."""
    @int_enable.setter
    def int_enable(self, value: _Int, /) -> None: ...
    @property
    def int_edge(self) -> int:
        """The interrupt edge that counts: 1 rising, 0 falling."""
    @int_edge.setter
    def int_edge(self, value: _Int, /) -> None: ...
    @property
    def int_wait_enable(self) -> int:
        """Whether an interrupt edge ends a ``wait``."""
    @int_wait_enable.setter
    def int_wait_enable(self, value: _Int, /) -> None: ...
    @property
    def di_enable(self) -> int:
        """Bit mask of the input lines in use."""
    @di_enable.setter
    def di_enable(self, value: _Int, /) -> None: ...
    @property
    def di_edge(self) -> int:
        """Bit mask of the edge per line that counts: bit set rising."""
    @di_edge.setter
    def di_edge(self, value: _Int, /) -> None: ...
    @property
    def di_wait_enable(self) -> int:
        """Bit mask of the lines whose edge ends a ``wait``."""
    @di_wait_enable.setter
    def di_wait_enable(self, value: _Int, /) -> None: ...
    @property
    def di_wait_mode(self) -> int:
        """0: a wait ends at the first enabled edge; 1: once every enabled line
        had its edge."""
    @di_wait_mode.setter
    def di_wait_mode(self, value: _Int, /) -> None: ...
    def get_param(self, name: _Name, /) -> int:
        """Reads a setting by name: "INTEnable", "INTEdge",
        "DINoiseFilterWidth", "DINoiseFilterScale", "INTNoiseFilterWidth",
        "INTNoiseFilterScale", "INTStatus", "DeviceID", "DeviceType",
        "DriverVersion", "FpgaVersion", "Timeout", "DIWaitMode", "INTWaitEnable",
        "Version" (signed), "DIEnable", "DIEdge", "DIWaitEnable" (unsigned). Any
        other name raises RuntimeError status 1 (NotSupported)."""
    def set_param(self, name: _Name, value: _Int, /) -> None:
        """Writes a setting by name: every name of ``get_param`` but
        "INTStatus", "DeviceID", "DeviceType", "DriverVersion" and
        "FpgaVersion". Another name raises RuntimeError status 1
        (NotSupported); a value that does not fit raises RuntimeError "Unable
        to cast ..."."""
    def send_command(self, name: _Name, /) -> None:
        """The TK560 has no commands: always raises RuntimeError status 1
        (NotSupported)."""
    def set_register(self, address: _Int, value: _Int, /) -> None:
        """Writes a 32-bit register. Raises RuntimeError status 3
        (InvalidArgument) for an address without a register."""
    def get_register(self, address: _Int, /) -> int:
        """Reads a 32-bit register (0 to 4294967295)."""

# ---- module-level functions over the library's interfaces ------------------------------

@overload
def read(dio: vktsim.IxDIO, value: _Int, /) -> None:
    """``IxDIO::Read`` given the address of a copy of ``value``; what the
    library writes there is discarded (the board classes' ``read`` returns
    it)."""
@overload
def read(dio: vktsim.IxIndexedDIO, index: _Int, value: bool, /) -> None:
    """``IxIndexedDIO::Read(index, ...)``; the line's state is discarded."""
@overload
def write(dio: vktsim.IxDIO, value: _Int, /) -> None:
    """Drives the 32 output lines of an ``IxDIO`` from one word."""
@overload
def write(dio: vktsim.IxIndexedDIO, index: _Int, value: bool, /) -> None:
    """Drives output line ``index`` of an ``IxIndexedDIO``."""
@overload
def write_status(dio: vktsim.IxDIO, value: _Int, /) -> None:
    """``IxDIO::WriteStatus`` given the address of a copy of ``value``; the
    result is discarded."""
@overload
def write_status(dio: vktsim.IxIndexedDIO, index: _Int, value: bool, /) -> None:
    """``IxIndexedDIO::WriteStatus(index, ...)``; the result is discarded."""

class SN2200WaitStatus(metaclass=_pybind11_type):
    """How an SN2200 wait ended: a copy of the library's record."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def event_status(self) -> int:
        """The event code as a plain int (``EventStatus(code)`` names it)."""
    @property
    def di_event_status(self) -> int:
        """Bit mask of the input lines whose edge ended the wait."""
    @property
    def di(self) -> int:
        """The input lines when the wait ended."""
    @overload
    def __init__(self) -> None:
        """The library's default record."""
    @overload
    def __init__(self, event_status: _Int, di_event_status: _Int, di: _Int, /) -> None:
        """A record of the three values (each 0 to 4294967295)."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""

class TK560WaitStatus(metaclass=_pybind11_type):
    """How a TK560 wait ended: a copy of the library's record."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def event_status(self) -> int:
        """The event code as a plain int (``EventStatus(code)`` names it)."""
    @property
    def di_event_status(self) -> int:
        """Bit mask of the input lines whose edge ended the wait."""
    @property
    def di(self) -> int:
        """The input lines when the wait ended."""
    @overload
    def __init__(self) -> None:
        """The library's default record."""
    @overload
    def __init__(self, event_status: _Int, di_event_status: _Int, di: _Int, /) -> None:
        """A record of the three values (each 0 to 4294967295)."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""

def get_device_module(
    device: vktsim.IxDeviceModule, /,
) -> SNR11 | SN2200 | TK560 | KTX21 | KTX22 | MR250 | Video | vktsim.IxModule | None:
    """The module behind a device module: the Python object that already wraps
    it (a board, say), else a new one of its most derived registered class;
    None for none. Raises TypeError when that class has no Python
    registration."""
def set_register(reg: vktsim.IxRegister, address: _Int, value: _Int, /) -> None:
    """Writes a register through an ``IxRegister``."""
def get_register(reg: vktsim.IxRegister, address: _Int, value: _Int, /) -> None:
    """``IxRegister::GetRegister`` given the address of a copy of ``value``;
    what the library writes there is discarded (use a Param's
    ``get_register`` to read)."""
def get_device_info(device: vktsim.ExDevice, name: _Text, buffer: _Buffer, /) -> vktsim.ExStatus:
    """Looks up the device information item ``name`` of a model into
    ``buffer`` (a ``vktsim.String`` for texts). Raises RuntimeError status 6
    (NoDevice) for a model without information, 13 (NotFound) for an unknown
    item, 3 (InvalidArgument) for a buffer of the wrong kind."""
def get_xml_item(path: _Text, name: _Text, buffer: _Buffer, /) -> vktsim.ExStatus:
    """Reads the item ``name`` of the XML device description at ``path`` into
    ``buffer``. Raises RuntimeError status 9 (FileError) for a file it cannot
    read, 10 (FormatError) for malformed XML, 13 (NotFound) for a missing item,
    3 (InvalidArgument) for a null path or name or a bad item path. (A second,
    wide-path form exists; a str always takes this narrow one first.)"""

# ---- KTX21 ------------------------------------------------------------------------------

class KTX21(metaclass=_pybind11_type):
    """One channel of a KTX21 Camera Link frame grabber.

    Made from a camera file by ``from_file``, or empty and opened by ``open``.
    Copies (``KTX21(other)``) refer to the same board. Captures go into
    images locked on the board (``lock``), ``num`` frames at a time (0: until
    ``stop``/``abort``).
    """

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @overload
    @staticmethod
    def from_file(camerafile: _Text, option: _Int = -1) -> KTX21:
        """Opens board 0 channel 0 and applies the camera file. Raises
        RuntimeError status 9 (FileError) for a file it cannot read, 10
        (FormatError) for a malformed one (naming the line), 5 (DeviceBusy) if
        the channel is open elsewhere, 3 (InvalidArgument) for None. (Wide-path
        forms exist too; a str always takes this one.)"""
    @overload
    @staticmethod
    def from_file(camerafile: _Text, id: _Int, ch: _Int, option: _Int = -1) -> KTX21:
        """Opens board ``id`` channel ``ch`` and applies the camera file. Raises
        RuntimeError status 6 (NoDevice) for a board that does not exist, 3
        (InvalidArgument) for a channel the board does not have, and those of
        the first form."""
    @overload
    def __init__(self) -> None:
        """An empty board object; nothing is opened."""
    @overload
    def __init__(self, other: KTX21, /) -> None:
        """A copy that refers to the same board."""
    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same board; False for another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    def dispose(self) -> None:
        """Releases the board through the library; the object stays."""
    @property
    def is_valid(self) -> bool:
        """Whether the library handle is usable."""
    def open(self, id: _Int, ch: _Int, /) -> None:
        """Opens board ``id`` channel ``ch``. Raises RuntimeError status 6
        (NoDevice), 5 (DeviceBusy) if it is open elsewhere or in this object."""
    def close(self) -> None:
        """Ends any capture and releases the channel."""
    def setup(self, camerafile: _Text, option: _Int = -1) -> None:
        """Applies a camera file to the open channel; settings it does not list
        keep their values, and a bad file changes nothing. Raises RuntimeError
        status 9 (FileError), 10 (FormatError), 3 (InvalidArgument) for None, 4
        (NotOpened), 5 (DeviceBusy) while a capture runs. (A wide-path form
        exists; a str takes this one.)"""
    def save(self, path: _Text, /) -> None:
        """Writes every writable setting as a camera file that ``setup`` loads
        back. Raises RuntimeError status 9 (FileError), 3 (InvalidArgument) for
        None, 4 (NotOpened)."""
    def save_w(self, path: str | None, /) -> None:
        """``save`` with the path handed over as a wide string."""
    @property
    def is_opened(self) -> bool:
        """Whether a channel is open in this object."""
    @overload
    def validate(self, image: vktsim.Image, /) -> None:
        """Checks that the image fits the camera's frames (size, one channel, 8
        or 16 bits as "BitWidth" asks). Raises RuntimeError status 3
        (InvalidArgument) naming the mismatch."""
    @overload
    def validate(self, images: _ImageList, /) -> None:
        """Checks a list of images (a list only, not a tuple) in one call. A
        None element raises RuntimeError status 3 (InvalidArgument); another
        object raises RuntimeError "Unable to cast ..." before the library is
        called."""
    @overload
    def lock(self, image: vktsim.Image, option: _Int = 0) -> None:
        """Locks one image as the ring captures go into. Raises RuntimeError
        status 3 (InvalidArgument) for an image that does not fit, 5
        (DeviceBusy) while a capture runs."""
    @overload
    def lock(self, images: _ImageList, option: _Int = 0) -> None:
        """Locks a ring of images, in list order. Raises RuntimeError status 3
        (InvalidArgument) for an empty list or an image that does not fit, 2
        (InvalidArgument) for a None element, 5 (DeviceBusy) while a capture
        runs."""
    def unlock(self) -> None:
        """Releases the locked images. Raises RuntimeError status 5
        (DeviceBusy) while a capture runs."""
    def start(self) -> None:
        """Starts a capture of ``num`` frames into the locked ring, from image
        ``lock_id``. Raises RuntimeError status 3 (InvalidArgument) when no
        images are locked, 5 (DeviceBusy) when one is running, 4 (NotOpened)."""
    def stop(self) -> None:
        """Ends the capture at once; waiters return without error."""
    @overload
    def abort(self) -> None:
        """Ends the capture at once; waiters fail with status 8 (Aborted)."""
    @overload
    def abort(self, frames: _Int, /) -> None:
        """Ends the capture after ``frames`` more frames (0 to 4294967295)."""
    def wait(self) -> None:
        """Blocks until the capture has taken its frames (a continuous one: the
        next frame); returns at once when it finished or was stopped. Raises
        RuntimeError status 7 (Timeout) when no frame comes within "Timeout"
        ms, 8 (Aborted) when it was aborted, 15 (NotRunning) when nothing was
        started, 4 (NotOpened)."""
    @property
    def is_running(self) -> bool:
        """Whether a capture is running."""
    def status(self) -> int:
        """The capture state: 0 idle, 1 running, 2 finished, 3 stopped, 4
        aborted."""
    @overload
    def wait_status(self) -> TxKTX21CaptureStatus:
        """``wait``, then the capture status. Raises as ``wait``."""
    @overload
    def wait_status(self, frame: _Int, /) -> TxKTX21CaptureStatus:
        """Blocks until frame ``frame`` is in, then returns the capture status.
        Raises as ``wait``, and 15 (NotRunning) when no running capture will
        bring that frame."""
    @overload
    def query_status(self) -> TxKTX21CaptureStatus:
        """Frames and lines counted since the start, without waiting."""
    @overload
    def query_status(self, index: _Int, /) -> TxKTX21CaptureStatus:
        """The status with ``last_frame_no`` telling which frame locked image
        ``index`` holds. Raises RuntimeError status 3 (InvalidArgument) for an
        index beyond the ring."""
    def force_trigger(self) -> None:
        """Fires a software (or simulated external) trigger: one frame in
        trigger modes 1 and 2."""
    @property
    def num(self) -> int:
        """Frames a capture takes; 0 until ``stop``/``abort``. Raises
        RuntimeError status 3 (InvalidArgument) for a negative count."""
    @num.setter
    def num(self, value: _Int, /) -> None: ...
    @property
    def lock_id(self) -> int:
        """Index of the locked image the first frame goes to."""
    @lock_id.setter
    def lock_id(self, value: _Int, /) -> None: ...

class KTX21Encoder(metaclass=_pybind11_type):
    """The encoder input of a KTX21 board: settings, counters and the
    absolute counter's overflow and underflow flags."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @staticmethod
    def from_(board: KTX21 | None, /) -> KTX21Encoder:
        """An encoder working on ``board`` (not kept alive by it). Anything but
        a KTX21 or None raises RuntimeError "Unable to cast ..."."""
    @overload
    def __init__(self) -> None:
        """An encoder attached to no board."""
    @overload
    def __init__(self, other: KTX21Encoder, /) -> None:
        """A copy attached to the same board."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    @property
    def is_valid(self) -> bool:
        """Whether the encoder is attached to a usable board."""
    @property
    def controller(self) -> KTX21 | None:
        """The board this encoder works on, or None; set to re-attach (a KTX21
        or None)."""
    @controller.setter
    def controller(self, board: KTX21 | None, /) -> None: ...
    @property
    def encoder_mode(self) -> int:
        """The encoder mode ("EncoderMode")."""
    @encoder_mode.setter
    def encoder_mode(self, value: _Int, /) -> None: ...
    @property
    def sampling(self) -> int:
        """Every how many pulses count once ("ENCSampling")."""
    @sampling.setter
    def sampling(self, value: _Int, /) -> None: ...
    @property
    def start(self) -> int:
        """The start setting ("ENCStart"); ``start_abs`` starts the absolute
        counter."""
    @start.setter
    def start(self, value: _Int, /) -> None: ...
    @property
    def dir(self) -> int:
        """Counting direction: 1 reverses it ("ENCDir")."""
    @dir.setter
    def dir(self, value: _Int, /) -> None: ...
    @property
    def comp1(self) -> int:
        """The match interval: the match counter counts the multiples of it the
        relative counter passes ("ENCComp1")."""
    @comp1.setter
    def comp1(self, value: _Int, /) -> None: ...
    @property
    def comp2(self) -> int:
        """The absolute counter wraps within 0..comp2 (0: the 32-bit range);
        0 to 4294967295 ("ENCComp2")."""
    @comp2.setter
    def comp2(self, value: _Int, /) -> None: ...
    @property
    def init(self) -> int:
        """Where ``start_abs(True)`` puts the absolute counter ("ENCInit")."""
    @init.setter
    def init(self, value: _Int, /) -> None: ...
    @property
    def swap_ab(self) -> int:
        """1 swaps the A and B inputs, reversing the count ("ENCSwapAB")."""
    @swap_ab.setter
    def swap_ab(self, value: _Int, /) -> None: ...
    def total_counter(self) -> int:
        """Signed count of pulses since the counters were cleared."""
    def match_counter(self) -> int:
        """How many multiples of ``comp1`` the relative counter passed."""
    def rel_counter(self) -> int:
        """Pulses counted in either direction since it was cleared."""
    def clear_rel_counter(self) -> None:
        """Sets the relative counter to 0."""
    def start_abs(self, start: bool, /) -> None:
        """True starts the absolute counter at ``init``; False stops it."""
    def abs_counter(self) -> int:
        """The absolute counter, within 0..``comp2``."""
    @property
    def is_abs_overflow(self) -> bool:
        """Whether the absolute counter wrapped upwards since the flag was
        cleared."""
    @property
    def is_abs_underflow(self) -> bool:
        """Whether the absolute counter wrapped downwards since the flag was
        cleared."""
    def clear_abs_counter(self) -> None:
        """Sets the absolute counter to 0."""
    def clear_overflow(self) -> None:
        """Clears the overflow flag."""
    def clear_underflow(self) -> None:
        """Clears the underflow flag."""
    def clear_all_counter(self) -> None:
        """Clears every counter and flag."""
    def get_param(self, name: _Name, /) -> int:
        """Reads an encoder setting by name: "EncoderMode", "ENCSampling",
        "ENCStart", "ENCComp1", "ENCInit", "ENCDir", "ENCSwapAB", "ENCInputCH"
        (signed), "ENCComp2" (unsigned). Another name raises RuntimeError
        status 1 (NotSupported) without calling the library."""
    def set_param(self, name: _Name, value: _Int, /) -> None:
        """Writes an encoder setting by name (the names of ``get_param``).
        Another name raises RuntimeError status 1 (NotSupported); a value that
        does not fit raises RuntimeError "Unable to cast ...". The library
        refuses a change while a capture runs with 5 (DeviceBusy)."""
    def send_command(self, name: _Name, /) -> None:
        """The encoder has no commands: always raises RuntimeError status 1
        (NotSupported)."""

class KTX21Param(metaclass=_pybind11_type):
    """The settings of a KTX21 board: three properties, 103 named settings
    and registers."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @staticmethod
    def from_(board: KTX21 | None, /) -> KTX21Param:
        """A Param working on ``board`` (not kept alive by it). Anything but a
        KTX21 or None raises RuntimeError "Unable to cast ..."."""
    @overload
    def __init__(self) -> None:
        """A Param attached to no board."""
    @overload
    def __init__(self, other: KTX21Param, /) -> None:
        """A copy attached to the same board."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    @property
    def is_valid(self) -> bool:
        """Whether the Param is attached to a usable board."""
    @property
    def controller(self) -> KTX21 | None:
        """The board this Param works on, or None; set to re-attach (a KTX21 or
        None)."""
    @controller.setter
    def controller(self, board: KTX21 | None, /) -> None: ...
    @property
    def trigger_mode(self) -> int:
        """0 free-running, 1 software trigger, 2 external trigger
        ("TriggerMode")."""
    @trigger_mode.setter
    def trigger_mode(self, value: _Int, /) -> None: ...
    @property
    def exposure_time(self) -> int:
        """Exposure time in µs ("ExposureTime")."""
    @exposure_time.setter
    def exposure_time(self, value: _Int, /) -> None: ...
    @property
    def trigger_cycle_time(self) -> int:
        """Frame period of a free-running camera in µs ("TriggerCycleTime")."""
    @trigger_cycle_time.setter
    def trigger_cycle_time(self, value: _Int, /) -> None: ...
    @overload
    def get_param(self, name: _KTX21TextName, /) -> str:
        """Reads a text setting."""
    @overload
    def get_param(self, name: _KTX21IntName, /) -> int:
        """Reads a numeric setting ("ENCComp2" unsigned, the others signed)."""
    @overload
    def get_param(self, name: _Name, /) -> int | str:
        """Reads a setting by name. A name outside the KTX21 table (exact,
        case-sensitive) raises RuntimeError status 1 (NotSupported), function
        "ktx21_get_param", without calling the library; 4 (NotOpened) without
        an open board."""
    def set_param(self, name: _Name, value: _Value, /) -> None:
        """Writes a setting by name: an int for numeric settings, a str or bytes
        for texts (up to the first NUL). A name outside the table or a
        read-only one raises RuntimeError status 1 (NotSupported), function
        "ktx21_set_param"; a value that does not fit raises RuntimeError
        "Unable to cast ..."; neither reaches the library. The library refuses
        an unusable value with status 3 (InvalidArgument) and a change while a
        capture runs with 5 (DeviceBusy)."""
    def send_command(self, name: _Name, /) -> None:
        """The KTX21 has no commands: always raises RuntimeError status 1
        (NotSupported)."""
    def set_register(self, address: _Int, value: _Int, /) -> None:
        """Writes a 32-bit register. Raises RuntimeError status 3
        (InvalidArgument) for an address without a register."""
    def get_register(self, address: _Int, /) -> int:
        """Reads a 32-bit register (0 to 4294967295)."""

class KTX21Sio(metaclass=_pybind11_type):
    """The camera's serial line on a KTX21 board. Its baud rate, buffers and
    framing are KTX21Param settings ("SIOBaudRate", ...)."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @staticmethod
    def from_(board: KTX21 | None, /) -> KTX21Sio:
        """A serial line of ``board`` (not kept alive by it). Anything but a
        KTX21 or None raises RuntimeError "Unable to cast ..."."""
    @overload
    def __init__(self) -> None:
        """A serial line attached to no board."""
    @overload
    def __init__(self, other: KTX21Sio, /) -> None:
        """A copy attached to the same board."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    @property
    def is_valid(self) -> bool:
        """Whether the line is attached to a usable board."""
    @property
    def controller(self) -> KTX21 | None:
        """The board of this line, or None; set to re-attach (a KTX21 or
        None)."""
    @controller.setter
    def controller(self, board: KTX21 | None, /) -> None: ...
    def open(self) -> None:
        """Opens the line. Raises RuntimeError status 4 (NotOpened) without an
        open board."""
    def close(self) -> None:
        """Closes the line."""
    def purge(self) -> None:
        """Drops what was received and not yet read."""
    @property
    def is_opened(self) -> bool:
        """Whether the line is open."""
    @property
    def timeout(self) -> int:
        """Milliseconds a read waits for its bytes ("SIOTimeout")."""
    @timeout.setter
    def timeout(self, value: _Int, /) -> None: ...
    def write_byte(self, byte: str, /) -> None:
        """Sends one byte, given as a one-character str below U+0100 (anything
        else raises ValueError). Raises RuntimeError status 4 (NotOpened) when
        the line is not open."""
    def read_byte(self) -> str:
        """Receives one byte as a one-character str (U+0000 to U+00FF). Raises
        RuntimeError status 7 (Timeout) when none comes within ``timeout``."""
    def write(self, text: _Text, /) -> None:
        """Sends a text (UTF-8, up to the first NUL). Raises RuntimeError status
        3 (InvalidArgument) for None, 4 (NotOpened)."""
    def read(self, count: _Int, /) -> str:
        """Receives up to ``count`` bytes, waiting up to ``timeout``; the str
        has exactly ``count`` characters: those received, then NULs (a space
        first if nothing came). A count below 1 raises RuntimeError status 1;
        a byte above 127 raises UnicodeDecodeError."""
    def set_camera_mode(self, mode: _Text, /) -> None:
        """Sends the camera its mode command for ``mode``. Raises RuntimeError
        status 3 (InvalidArgument) for None, 4 (NotOpened)."""

# ---- KTX22 ------------------------------------------------------------------------------

class KTX22(metaclass=_pybind11_type):
    """One channel of a KTX22 Camera Link frame grabber: the captures of the
    KTX21 plus board events, per-channel triggers, the PG unit, trigger masks,
    the PLL and status records filled in place."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @overload
    @staticmethod
    def from_file(camerafile: _Text, option: _Int = -1) -> KTX22:
        """Opens board 0 channel 0 and applies the camera file. Raises
        RuntimeError status 9 (FileError), 10 (FormatError), 5 (DeviceBusy), 3
        (InvalidArgument) for None. (Wide-path forms exist too; a str always takes
        this one.)"""
    @overload
    @staticmethod
    def from_file(camerafile: _Text, id: _Int, ch: _Int, option: _Int = -1) -> KTX22:
        """Opens board ``id`` channel ``ch`` and applies the camera file. Raises
        RuntimeError status 6 (NoDevice) for a board that does not exist, 3
        (InvalidArgument) for a channel the board does not have, and those of
        the first form."""
    @overload
    def __init__(self) -> None:
        """An empty board object; nothing is opened."""
    @overload
    def __init__(self, other: KTX22, /) -> None:
        """A copy that refers to the same board."""
    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same board; False for another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    def dispose(self) -> None:
        """Releases the board through the library; the object stays."""
    @property
    def is_valid(self) -> bool:
        """Whether the library handle is usable."""
    def open(self, id: _Int, ch: _Int, /) -> None:
        """Opens board ``id`` channel ``ch``. Raises RuntimeError status 6
        (NoDevice), 5 (DeviceBusy)."""
    def close(self) -> None:
        """Ends any capture and releases the channel."""
    def setup(self, camerafile: _Text, option: _Int = -1) -> None:
        """Applies a camera file to the open channel; a bad file changes
        nothing. Raises RuntimeError status 9 (FileError), 10 (FormatError), 3
        (InvalidArgument) for None, 4 (NotOpened), 5 (DeviceBusy) while a
        capture runs."""
    def save(self, path: _Text, /) -> None:
        """Writes every writable setting as a camera file. Raises RuntimeError
        status 9 (FileError), 3 (InvalidArgument) for None, 4 (NotOpened)."""
    def save_w(self, path: str | None, /) -> None:
        """``save`` with the path handed over as a wide string."""
    @property
    def is_opened(self) -> bool:
        """Whether a channel is open in this object."""
    @overload
    def validate(self, image: vktsim.Image, /) -> None:
        """Checks that the image fits the camera's frames. Raises RuntimeError
        status 3 (InvalidArgument) naming the mismatch."""
    @overload
    def validate(self, images: _ImageList, /) -> None:
        """Checks a list of images in one call (a None element: status 3)."""
    @overload
    def validate(self, image: vktsim.IxModule | None, /) -> None:
        """Checks an image given as a library module. Raises RuntimeError status
        1 (NotSupported) for a module that is not an image, 3 (InvalidArgument)
        for None."""
    @overload
    def lock(self, image: vktsim.Image, option: _Int = 0) -> None:
        """Locks one image as the ring captures go into. Raises RuntimeError
        status 3 (InvalidArgument), 5 (DeviceBusy) while a capture runs."""
    @overload
    def lock(self, images: _ImageList, option: _Int = 0) -> None:
        """Locks a ring of images, in list order. Raises RuntimeError status 3
        (InvalidArgument) for an empty list, an image that does not fit or a
        None element, 5 (DeviceBusy)."""
    @overload
    def lock(self, image: vktsim.IxModule | None, option: _Int = 0) -> None:
        """Locks an image given as a library module. Raises RuntimeError status
        1 (NotSupported) for a module that is not an image, 3 (InvalidArgument)
        for None."""
    def unlock(self) -> None:
        """Releases the locked images. Raises RuntimeError status 5
        (DeviceBusy) while a capture runs."""
    def start(self) -> None:
        """Starts a capture of ``num`` frames into the locked ring. Raises
        RuntimeError status 3 (InvalidArgument) when no images are locked, 5
        (DeviceBusy), 4 (NotOpened)."""
    def stop(self) -> None:
        """Ends the capture at once; waiters return without error."""
    def abort(self) -> None:
        """Ends the capture at once; waiters fail with status 8 (Aborted)."""
    @overload
    def wait(self) -> None:
        """Blocks until the capture has taken its frames (a continuous one: the
        next frame); returns at once when it finished or was stopped. Raises
        RuntimeError status 7 (Timeout) when no frame comes within "Timeout"
        ms, 8 (Aborted) when it was aborted, 15 (NotRunning) when nothing was
        started, 4 (NotOpened)."""
    @overload
    def wait(self, timeout: _Int, /) -> bool:
        """Waits up to ``timeout`` ms; False if the capture has not ended by
        then, True at once when it finished or was stopped. Raises
        RuntimeError status 3 (InvalidArgument) for a negative time, 8
        (Aborted) when it was aborted, 15 (NotRunning) when nothing was
        started, 4 (NotOpened)."""
    @property
    def is_running(self) -> bool:
        """Whether a capture is running."""
    @overload
    def query_status(self) -> TxKTX22CaptureStatus:
        """The capture status now, as a new record."""
    @overload
    def query_status(self, result: TxKTX22CaptureStatus) -> None:
        """Writes the capture status now into ``result``. None raises
        RuntimeError status 2 (MissingObject)."""
    @overload
    def wait_status(self) -> TxKTX22CaptureStatus:
        """``wait``, then the capture status as a new record. Raises as
        ``wait``."""
    @overload
    def wait_status(self, result: TxKTX22CaptureStatus, timeout: _Int = 5000) -> bool:
        """Waits up to ``timeout`` ms for the capture to end and writes its
        status into ``result``; False if it has not ended. Raises as
        ``wait(timeout)`` (``result`` then keeps its values); None raises
        RuntimeError status 2 (MissingObject)."""
    def status(self) -> int:
        """The capture state: 0 idle, 1 running, 2 finished, 3 stopped, 4
        aborted."""
    def wait_event(self, event: _Int, timeout: _Int, flags: _Int, /) -> bool:
        """Waits up to ``timeout`` ms (0 to 60000) for board event ``event``
        after the call: 0 a frame completed, 1 a capture ended, 2 a trigger was
        accepted, 3 the external event input. False on time-out or
        ``cancel_wait_event``, whatever the capture's state (an event that no
        capture brings simply times out). Raises RuntimeError status 3
        (InvalidArgument) for another event or time, 4 (NotOpened). The third
        value is only passed in."""
    def cancel_wait_event(self, event: _Int, /) -> None:
        """Ends a pending ``wait_event`` for ``event`` (it returns False)."""
    def force_trigger(self, ch: _Int = -1) -> None:
        """Fires a software trigger on channel ``ch`` (-1: this object's
        channel). Raises RuntimeError status 3 (InvalidArgument) for the
        board's other channel."""
    def stop_pg(self, ch: _Int = -1) -> None:
        """Stops the PG unit pacing a free-running camera: no frames come until
        ``reset_pg``."""
    def reset_pg(self, ch: _Int = -1) -> None:
        """Restarts the PG unit."""
    def clear_trigger_mask(self, ch: _Int = -1) -> None:
        """Lets the next trigger through when "TriggerMaskMode" 1 masks the
        triggers after each accepted one."""
    def pll_reconfig(self) -> None:
        """Locks the camera clock to "PLLReconfig" MHz (20 to 85). Raises
        RuntimeError status 3 (InvalidArgument) for an impossible clock
        ("PLLReconfigStatus" then reads 2), 5 (DeviceBusy) while a capture
        runs."""
    @property
    def num(self) -> int:
        """Frames a capture takes; 0 until ``stop``/``abort``."""
    @num.setter
    def num(self, value: _Int, /) -> None: ...
    @property
    def lock_id(self) -> int:
        """Index of the locked image the first frame goes to."""
    @lock_id.setter
    def lock_id(self, value: _Int, /) -> None: ...

class KTX22Encoder(metaclass=_pybind11_type):
    """The encoder input of a KTX22 board: settings, start/stop/reset,
    counters and a status record. It counts only between ``start_encoder``
    and ``stop_encoder``."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @staticmethod
    def from_(board: KTX22 | None, /) -> KTX22Encoder:
        """An encoder working on ``board`` (not kept alive by it). Anything but
        a KTX22 or None raises RuntimeError "Unable to cast ..."."""
    @overload
    def __init__(self) -> None:
        """An encoder attached to no board."""
    @overload
    def __init__(self, other: KTX22Encoder, /) -> None:
        """A copy attached to the same board."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    @property
    def is_valid(self) -> bool:
        """Whether the encoder is attached to a usable board."""
    @property
    def controller(self) -> KTX22 | None:
        """The board this encoder works on, or None; set to re-attach (a KTX22
        or None)."""
    @controller.setter
    def controller(self, board: KTX22 | None, /) -> None: ...
    @property
    def encoder_mode(self) -> int:
        """The encoder mode ("EncoderMode")."""
    @encoder_mode.setter
    def encoder_mode(self, value: _Int, /) -> None: ...
    @property
    def sampling(self) -> int:
        """Every how many pulses count once ("ENCSampling")."""
    @sampling.setter
    def sampling(self, value: _Int, /) -> None: ...
    @property
    def start(self) -> int:
        """The start setting ("ENCStart"); ``start_encoder`` starts counting."""
    @start.setter
    def start(self, value: _Int, /) -> None: ...
    @property
    def dir(self) -> int:
        """Counting direction: 1 reverses it ("ENCDir")."""
    @dir.setter
    def dir(self, value: _Int, /) -> None: ...
    @property
    def comp1(self) -> int:
        """The match interval ("ENCComp1")."""
    @comp1.setter
    def comp1(self, value: _Int, /) -> None: ...
    @property
    def comp2(self) -> int:
        """The encoder counter wraps within 0..comp2 (0: the 32-bit range); 0
        to 4294967295 ("ENCComp2")."""
    @comp2.setter
    def comp2(self, value: _Int, /) -> None: ...
    @property
    def reset_source(self) -> int:
        """What resets the counters ("ENCResetSource")."""
    @reset_source.setter
    def reset_source(self, value: _Int, /) -> None: ...
    @property
    def swap_ab(self) -> int:
        """1 swaps the A and B inputs ("ENCSwapAB")."""
    @swap_ab.setter
    def swap_ab(self, value: _Int, /) -> None: ...
    @property
    def signal_source(self) -> int:
        """Where the encoder signals come from ("ENCSignalSource")."""
    @signal_source.setter
    def signal_source(self, value: _Int, /) -> None: ...
    def start_encoder(self) -> None:
        """Starts counting."""
    def stop_encoder(self) -> None:
        """Stops counting; the counters keep their values."""
    def reset_encoder(self) -> None:
        """Clears the counters and flags."""
    def encoder_status(self, status: TxKTX22EncoderStatus, /) -> None:
        """Writes the encoder's status into ``status`` in place. None raises
        RuntimeError status 2 (MissingObject)."""
    def encoder_counter(self) -> int:
        """The encoder counter, within 0..``comp2``."""
    def match_counter(self) -> int:
        """How many multiples of ``comp1`` the relative counter passed."""
    def rel_counter(self) -> int:
        """Pulses counted since the last reset."""
    @property
    def encoder_act_mode(self) -> int:
        """The encoder's action mode ("EncoderActMode")."""
    @encoder_act_mode.setter
    def encoder_act_mode(self, value: _Int, /) -> None: ...
    def get_param(self, name: _Name, /) -> int:
        """Reads an encoder setting by name: "EncoderMode", "ENCSampling",
        "ENCStart", "ENCComp1", "ENCResetSource", "ENCDir", "ENCSwapAB",
        "ENCSignalSource", "EncoderActMode" (signed), "ENCComp2" (unsigned).
        Another name raises RuntimeError status 1 (NotSupported) without
        calling the library."""
    def set_param(self, name: _Name, value: _Int, /) -> None:
        """Writes an encoder setting by name (the names of ``get_param``).
        Another name raises RuntimeError status 1 (NotSupported); a value that
        does not fit raises RuntimeError "Unable to cast ...". The library
        refuses a change while a capture runs with 5 (DeviceBusy)."""
    def send_command(self, name: _Name, /) -> None:
        """The encoder has no commands: always raises RuntimeError status 1
        (NotSupported)."""

class KTX22Param(metaclass=_pybind11_type):
    """The settings of a KTX22 board: three properties, 102 named settings,
    named board commands and registers."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @staticmethod
    def from_(board: KTX22 | None, /) -> KTX22Param:
        """A Param working on ``board`` (not kept alive by it). Anything but a
        KTX22 or None raises RuntimeError "Unable to cast ..."."""
    @overload
    def __init__(self) -> None:
        """A Param attached to no board."""
    @overload
    def __init__(self, other: KTX22Param, /) -> None:
        """A copy attached to the same board."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    @property
    def is_valid(self) -> bool:
        """Whether the Param is attached to a usable board."""
    @property
    def controller(self) -> KTX22 | None:
        """The board this Param works on, or None; set to re-attach (a KTX22 or
        None)."""
    @controller.setter
    def controller(self, board: KTX22 | None, /) -> None: ...
    @property
    def trigger_mode(self) -> int:
        """0 free-running, 1 software trigger, 2 external trigger."""
    @trigger_mode.setter
    def trigger_mode(self, value: _Int, /) -> None: ...
    @property
    def exposure_time(self) -> int:
        """Exposure time in µs."""
    @exposure_time.setter
    def exposure_time(self, value: _Int, /) -> None: ...
    @property
    def trigger_cycle_time(self) -> int:
        """Frame period of a free-running camera in µs."""
    @trigger_cycle_time.setter
    def trigger_cycle_time(self, value: _Int, /) -> None: ...
    @overload
    def get_param(self, name: _KTX22TextName, /) -> str:
        """Reads a text setting."""
    @overload
    def get_param(self, name: _KTX22IntName, /) -> int:
        """Reads a numeric setting ("ENCComp2" unsigned, the others signed)."""
    @overload
    def get_param(self, name: _Name, /) -> int | str:
        """Reads a setting by name. A name outside the KTX22 table raises
        RuntimeError status 1 (NotSupported), function "ktx22_get_param",
        without calling the library; 4 (NotOpened) without an open board."""
    def set_param(self, name: _Name, value: _Value, /) -> None:
        """Writes a setting by name: an int for numeric settings, a str or bytes
        for texts. A name outside the table or a read-only one raises
        RuntimeError status 1 (NotSupported), function "ktx22_set_param"; a
        value that does not fit raises RuntimeError "Unable to cast ...". The
        library refuses an unusable value with status 3 (InvalidArgument) and
        a change while a capture runs with 5 (DeviceBusy)."""
    def send_command(
        self,
        name: Literal["ClearTriggerMask", "ResetPG", "StopPG", "ResetPLLReconfig",
                      "ExecutePLLReconfig", "PLLReconfig"] | _Name,
        /,
    ) -> None:
        """Runs a board command: "ClearTriggerMask", "ResetPG", "StopPG" (on
        this object's channel), "ResetPLLReconfig", "ExecutePLLReconfig" or
        "PLLReconfig" (as ``KTX22.pll_reconfig``). The two that reconfigure
        the PLL raise RuntimeError status 5 (DeviceBusy) while a capture runs;
        the others act on a running capture. Another name raises RuntimeError
        status 1 (NotSupported) without calling the library."""
    def set_register(self, address: _Int, value: _Int, /) -> None:
        """Writes a 32-bit register. Raises RuntimeError status 3
        (InvalidArgument) for an address without a register."""
    def get_register(self, address: _Int, /) -> int:
        """Reads a 32-bit register (0 to 4294967295)."""

class KTX22Sio(metaclass=_pybind11_type):
    """The camera's serial line on a KTX22 board."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @staticmethod
    def from_(board: KTX22 | None, /) -> KTX22Sio:
        """A serial line of ``board`` (not kept alive by it). Anything but a
        KTX22 or None raises RuntimeError "Unable to cast ..."."""
    @overload
    def __init__(self) -> None:
        """A serial line attached to no board."""
    @overload
    def __init__(self, other: KTX22Sio, /) -> None:
        """A copy attached to the same board."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    @property
    def is_valid(self) -> bool:
        """Whether the line is attached to a usable board."""
    @property
    def controller(self) -> KTX22 | None:
        """The board of this line, or None; set to re-attach (a KTX22 or
        None)."""
    @controller.setter
    def controller(self, board: KTX22 | None, /) -> None: ...
    def open(self) -> None:
        """Opens the line. Raises RuntimeError status 4 (NotOpened) without an
        open board."""
    def close(self) -> None:
        """Closes the line."""
    def purge(self) -> None:
        """Drops what was received and not yet read."""
    @property
    def is_opened(self) -> bool:
        """Whether the line is open."""
    @property
    def timeout(self) -> int:
        """Milliseconds a read waits for its bytes ("SIOTimeout")."""
    @timeout.setter
    def timeout(self, value: _Int, /) -> None: ...
    def write_byte(self, byte: str, /) -> None:
        """Sends one byte, given as a one-character str below U+0100 (anything
        else raises ValueError). Raises RuntimeError status 4 (NotOpened)."""
    def read_byte(self) -> str:
        """Receives one byte as a one-character str. Raises RuntimeError status
        7 (Timeout) when none comes within ``timeout``."""
    def write(self, text: _Text, /) -> None:
        """Sends a text (UTF-8, up to the first NUL). Raises RuntimeError status
        3 (InvalidArgument) for None, 4 (NotOpened)."""
    def read(self, count: _Int, /) -> str:
        """Receives up to ``count`` bytes, waiting up to ``timeout``; the str
        has exactly ``count`` characters, NULs after what came. A count below
        1 raises RuntimeError status 1; a byte above 127 raises
        UnicodeDecodeError."""
    def set_camera_mode(self, mode: _Text, /) -> None:
        """Sends the camera its mode command for ``mode``. Raises RuntimeError
        status 3 (InvalidArgument) for None, 4 (NotOpened)."""

# ---- MR250 ------------------------------------------------------------------------------

class MR250(metaclass=_pybind11_type):
    """One input of an MR250 analog video frame grabber: the captures of the
    KTX21, with factories and ``setup`` that take the camera file only."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @overload
    @staticmethod
    def from_file(camerafile: _Text) -> MR250:
        """Opens board 0 channel 0 and applies the camera file. Raises
        RuntimeError status 9 (FileError), 10 (FormatError), 5 (DeviceBusy), 3
        (InvalidArgument) for None. (Wide-path forms exist too; a str always takes
        this one.)"""
    @overload
    @staticmethod
    def from_file(camerafile: _Text, id: _Int, ch: _Int) -> MR250:
        """Opens board ``id`` channel ``ch`` (0 to 3) and applies the camera
        file. Raises RuntimeError status 6 (NoDevice) for a board that does not
        exist, 3 (InvalidArgument) for a channel the board does not have, and
        those of the first form."""
    @overload
    def __init__(self) -> None:
        """An empty board object; nothing is opened."""
    @overload
    def __init__(self, other: MR250, /) -> None:
        """A copy that refers to the same board."""
    def __eq__(self, other: object, /) -> bool:
        """Whether both refer to the same board; False for another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    def dispose(self) -> None:
        """Releases the board through the library; the object stays."""
    @property
    def is_valid(self) -> bool:
        """Whether the library handle is usable."""
    def open(self, id: _Int, ch: _Int, /) -> None:
        """Opens board ``id`` channel ``ch``. Raises RuntimeError status 6
        (NoDevice), 5 (DeviceBusy)."""
    def close(self) -> None:
        """Ends any capture and releases the channel."""
    def setup(self, camerafile: _Text, /) -> None:
        """Applies a camera file to the open channel; a bad file changes
        nothing. Raises RuntimeError status 9 (FileError), 10 (FormatError), 3
        (InvalidArgument) for None, 4 (NotOpened), 5 (DeviceBusy) while a
        capture runs."""
    def save(self, path: _Text, /) -> None:
        """Writes every writable setting as a camera file. Raises RuntimeError
        status 9 (FileError), 3 (InvalidArgument) for None, 4 (NotOpened)."""
    def save_w(self, path: str | None, /) -> None:
        """``save`` with the path handed over as a wide string."""
    @property
    def is_opened(self) -> bool:
        """Whether a channel is open in this object."""
    @overload
    def validate(self, image: vktsim.Image, /) -> None:
        """Checks that the image fits the frames (8 bits, one channel,
        ``Width`` x ``Height``). Raises RuntimeError status 3 (InvalidArgument)."""
    @overload
    def validate(self, images: _ImageList, /) -> None:
        """Checks a list of images in one call (a None element: status 3)."""
    @overload
    def lock(self, image: vktsim.Image, option: _Int = 0) -> None:
        """Locks one image as the ring captures go into. Raises RuntimeError
        status 3 (InvalidArgument), 5 (DeviceBusy)."""
    @overload
    def lock(self, images: _ImageList, option: _Int = 0) -> None:
        """Locks a ring of images, in list order. Raises RuntimeError status 3
        (InvalidArgument), also for a None element, 5 (DeviceBusy)."""
    def unlock(self) -> None:
        """Releases the locked images. Raises RuntimeError status 5
        (DeviceBusy) while a capture runs."""
    def start(self) -> None:
        """Starts a capture of ``num`` frames into the locked ring. Raises
        RuntimeError status 3 (InvalidArgument) when no images are locked, 5
        (DeviceBusy), 4 (NotOpened)."""
    def stop(self) -> None:
        """Ends the capture at once; waiters return without error."""
    @overload
    def abort(self) -> None:
        """Ends the capture at once; waiters fail with status 8 (Aborted)."""
    @overload
    def abort(self, frames: _Int, /) -> None:
        """Ends the capture after ``frames`` more frames."""
    def wait(self) -> None:
        """Blocks until the capture has taken its frames (a continuous one: the
        next frame); returns at once when it finished or was stopped. Raises
        RuntimeError status 7 (Timeout) when no frame comes within "Timeout"
        ms (also while the camera's signal is lost), 8 (Aborted) when it was
        aborted, 15 (NotRunning) when nothing was started, 4 (NotOpened)."""
    @property
    def is_running(self) -> bool:
        """Whether a capture is running."""
    def status(self) -> int:
        """The capture state: 0 idle, 1 running, 2 finished, 3 stopped, 4
        aborted."""
    @overload
    def query_status(self) -> TxMR250CaptureStatus:
        """Frames and lines counted since the start, without waiting."""
    @overload
    def query_status(self, index: _Int, /) -> TxMR250CaptureStatus:
        """The status with ``last_frame_no`` telling which frame locked image
        ``index`` holds. Raises RuntimeError status 3 (InvalidArgument)."""
    @overload
    def wait_status(self) -> TxMR250CaptureStatus:
        """``wait``, then the capture status. Raises as ``wait``."""
    @overload
    def wait_status(self, frame: _Int, /) -> TxMR250CaptureStatus:
        """Blocks until frame ``frame`` is in, then returns the status. Raises
        as ``wait``, and 15 (NotRunning) when no running capture will bring
        that frame."""
    def force_trigger(self) -> None:
        """Takes one frame in trigger modes 1 and 2, ``ExposureTime`` µs later."""
    @property
    def num(self) -> int:
        """Frames a capture takes; 0 until ``stop``/``abort``."""
    @num.setter
    def num(self, value: _Int, /) -> None: ...
    @property
    def lock_id(self) -> int:
        """Index of the locked image the first frame goes to."""
    @lock_id.setter
    def lock_id(self, value: _Int, /) -> None: ...

class MR250Param(metaclass=_pybind11_type):
    """The settings of an MR250 board: three properties, 61 named settings,
    the "SelfCalibration" command and registers."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @staticmethod
    def from_(board: MR250 | None, /) -> MR250Param:
        """A Param working on ``board`` (not kept alive by it). Anything but an
        MR250 or None raises RuntimeError "Unable to cast ..."."""
    @overload
    def __init__(self) -> None:
        """A Param attached to no board."""
    @overload
    def __init__(self, other: MR250Param, /) -> None:
        """A copy attached to the same board."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    @property
    def is_valid(self) -> bool:
        """Whether the Param is attached to a usable board."""
    @property
    def controller(self) -> MR250 | None:
        """The board this Param works on, or None; set to re-attach (an MR250 or
        None)."""
    @controller.setter
    def controller(self, board: MR250 | None, /) -> None: ...
    @property
    def trigger_mode(self) -> int:
        """0 free-running, 1 or 2: one frame per ``force_trigger``."""
    @trigger_mode.setter
    def trigger_mode(self, value: _Int, /) -> None: ...
    @property
    def exposure_time(self) -> int:
        """Exposure time in µs."""
    @exposure_time.setter
    def exposure_time(self, value: _Int, /) -> None: ...
    @property
    def video_offset(self) -> int:
        """Added to every sample, -128 to 127 ("VideoOffset")."""
    @video_offset.setter
    def video_offset(self, value: _Int, /) -> None: ...
    @overload
    def get_param(self, name: _MR250TextName, /) -> str:
        """Reads a text setting ("ImageSize" reads e.g. "640x480")."""
    @overload
    def get_param(self, name: _MR250IntName, /) -> int:
        """Reads a numeric setting."""
    @overload
    def get_param(self, name: _Name, /) -> int | str:
        """Reads a setting by name. A name outside the MR250 table raises
        RuntimeError status 1 (NotSupported), function "mr250_get_param",
        without calling the library; 4 (NotOpened) without an open board."""
    def set_param(self, name: _Name, value: _Value, /) -> None:
        """Writes a setting by name. A name outside the table or a read-only one
        raises RuntimeError status 1 (NotSupported), function
        "mr250_set_param"; a value that does not fit raises RuntimeError
        "Unable to cast ...". The library refuses an unusable value with status
        3 (InvalidArgument) and a change while a capture runs with 5
        (DeviceBusy)."""
    def send_command(self, name: Literal["SelfCalibration"] | _Name, /) -> None:
        """"SelfCalibration" measures the input's offset error and stores the
        correction in register 0x100; it raises RuntimeError status 5
        (DeviceBusy) while a capture runs. Any other name raises RuntimeError
        status 1 (NotSupported) without calling the library."""
    def set_register(self, address: _Int, value: _Int, /) -> None:
        """Writes a 32-bit register (0x100: the offset correction). Raises
        RuntimeError status 3 (InvalidArgument) for an address without a
        register."""
    def get_register(self, address: _Int, /) -> int:
        """Reads a 32-bit register (0 to 4294967295)."""

# ---- the board-independent grabber ---------------------------------------------------------

class Video(metaclass=_pybind11_type):
    """Any of the grabbers, opened from a camera file whose header names the
    model. Parameters by name go to the table of ``device_type``."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @overload
    @staticmethod
    def from_file(camerafile: _Text, option: _Int = -1) -> Video:
        """Opens board 0 channel 0 of the model the camera file names ([KTX21],
        [KTX22] or [MR250]) and applies the file. Raises RuntimeError status 9
        (FileError), 10 (FormatError), 5 (DeviceBusy). (Wide-path forms exist
        too; a str always takes this one.)"""
    @overload
    @staticmethod
    def from_file(camerafile: _Text, id: _Int, ch: _Int, option: _Int = -1) -> Video:
        """Opens board ``id`` channel ``ch`` of that model. Raises RuntimeError
        status 6 (NoDevice) for a board that does not exist, 3
        (InvalidArgument) for a channel the board does not have, and those of
        the first form."""
    @overload
    def __init__(self) -> None:
        """A Video driving no board."""
    @overload
    def __init__(self, other: Video, /) -> None:
        """A copy driving the same board."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""
    @property
    def controller(self) -> KTX21 | KTX22 | MR250 | vktsim.IxModule | None:
        """The board driven, as its own class (the existing Python object when
        there is one), or None. Set it to a board viewed as a module
        (``vktsim.as_interface(board, vktsim.IxModule)``) or None."""
    @controller.setter
    def controller(self, module: vktsim.IxModule | None, /) -> None: ...
    @property
    def device_type(self) -> vktsim.ExDevice:
        """The model whose parameter table ``get_param``/``set_param`` use;
        setting it switches tables for later calls."""
    @device_type.setter
    def device_type(self, device: vktsim.ExDevice, /) -> None: ...
    def dispose(self) -> None:
        """Releases the board through the library; the object stays."""
    @property
    def is_valid(self) -> bool:
        """Whether the library handle is usable."""
    def close(self) -> None:
        """Ends any capture and releases the board."""
    def save(self, path: _Text, /) -> None:
        """Writes the board's settings as a camera file. Raises RuntimeError
        status 9 (FileError), 4 (NotOpened)."""
    def save_w(self, path: str | None, /) -> None:
        """``save`` with the path handed over as a wide string."""
    @overload
    def validate(self, image: vktsim.Image, /) -> None:
        """Checks that the image fits the frames. Raises RuntimeError status 3
        (InvalidArgument)."""
    @overload
    def validate(self, image: vktsim.IxModule | None, /) -> None:
        """Checks an image given as a library module."""
    @overload
    def grab(self, image: vktsim.Image, /) -> None:
        """Captures one frame into ``image``. Raises RuntimeError status 3
        (InvalidArgument) for an image that does not fit, 7 (Timeout), 4
        (NotOpened)."""
    @overload
    def grab(self, image: vktsim.IxModule | None, /) -> None:
        """Captures one frame into an image given as a library module."""
    @overload
    def start(self, image: vktsim.Image, /) -> None:
        """Captures into ``image`` until ``abort``. Raises RuntimeError status 3
        (InvalidArgument), 5 (DeviceBusy)."""
    @overload
    def start(self, image: vktsim.IxModule | None, /) -> None:
        """``start`` with an image given as a library module."""
    def wait(self) -> None:
        """Blocks until the next frame of a running capture; returns at once
        after a ``grab`` or a stopped capture. Raises RuntimeError status 7
        (Timeout), 8 (Aborted) after ``abort``, 15 (NotRunning) when nothing
        was started, 4 (NotOpened) after ``dispose``."""
    def abort(self) -> None:
        """Ends the capture; waiters fail with status 8 (Aborted)."""
    @property
    def is_running(self) -> bool:
        """Whether a capture is running."""
    def status(self) -> int:
        """The capture state: 0 idle, 1 running, 2 finished, 3 stopped, 4
        aborted."""
    def force_trigger(self) -> None:
        """Fires a software trigger."""
    @property
    def trigger_mode(self) -> int:
        """0 free-running, 1 software trigger, 2 external trigger."""
    @trigger_mode.setter
    def trigger_mode(self, value: _Int, /) -> None: ...
    @property
    def exposure_time(self) -> int:
        """Exposure time in µs."""
    @exposure_time.setter
    def exposure_time(self, value: _Int, /) -> None: ...
    @property
    def trigger_cycle_time(self) -> int:
        """Frame period of a free-running camera in µs."""
    @trigger_cycle_time.setter
    def trigger_cycle_time(self, value: _Int, /) -> None: ...
    @overload
    def get_param(self, name: _VideoTextName, /) -> str:
        """Reads a text setting every model has."""
    @overload
    def get_param(self, name: _VideoIntName, /) -> int:
        """Reads a numeric setting every model has."""
    @overload
    def get_param(self, name: _Name, /) -> int | str:
        """Reads a setting by name from the table of ``device_type`` (KTX21,
        KTX22 or MR250), with that table's errors (status 1, function
        "ktx21_get_param", ...). Another device type raises RuntimeError status
        1; a Video called with None in place of itself, status 2."""
    def set_param(self, name: _Name, value: _Value, /) -> None:
        """Writes a setting by name through the table of ``device_type``, with
        that table's errors (5 (DeviceBusy) while a capture runs); another
        device type raises RuntimeError status 1."""
    def send_command(
        self,
        name: Literal["SelfCalibration", "ClearTriggerMask", "ResetPG", "StopPG",
                      "ResetPLLReconfig", "ExecutePLLReconfig", "PLLReconfig"] | _Name,
        /,
    ) -> None:
        """Runs a board command (the KTX22 and MR250 commands). Another name
        raises RuntimeError status 1 (NotSupported) without calling the
        library; the board refuses a command it does not know with status 1
        too."""

# ---- module-level functions over IxVideoControl ----------------------------------------

def start(control: vktsim.IxVideoControl, /) -> None:
    """Starts the capture of a video control."""
def stop(control: vktsim.IxVideoControl, /) -> None:
    """Stops the capture of a video control."""
def abort(control: vktsim.IxVideoControl, /) -> None:
    """Aborts the capture of a video control."""
def wait(control: vktsim.IxVideoControl, /) -> None:
    """Waits for the capture of a video control (holding the interpreter
    lock). A grabber board's control raises as that board's ``wait``."""
def is_running(control: vktsim.IxVideoControl, /) -> bool:
    """Whether the capture of a video control runs."""

# ---- status records --------------------------------------------------------------------

class TxKTX21CaptureStatus(metaclass=_pybind11_type):
    """A KTX21 capture status: a copy of the library's record, read-only."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def total_frame_count(self) -> int:
        """Frames captured since the start."""
    @property
    def amount_in_frame(self) -> int:
        """Lines of the frame in progress."""
    @property
    def last_frame_no(self) -> int:
        """Number of the newest frame (or, from ``query_status(i)``, of the frame
        image ``i`` holds)."""
    @property
    def line_count(self) -> int:
        """Lines captured since the start."""
    @property
    def dma_schedule_peak(self) -> int:
        """Peak of the transfer schedule."""
    @property
    def capture_event(self) -> int:
        """Event bits: 1 a frame arrived, 2 all frames are in, 4 stopped, 8
        aborted, 16 a locked image was destroyed during the capture."""
    @overload
    def __init__(self) -> None:
        """The library's default record."""
    @overload
    def __init__(
        self, total_frame_count: _Int, amount_in_frame: _Int, last_frame_no: _Int,
        line_count: _Int, dma_schedule_peak: _Int, capture_event: _Int, /,
    ) -> None:
        """A record of the six values in field order (the first three and the
        last unsigned)."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""

class TxKTX22CaptureStatus(metaclass=_pybind11_type):
    """A KTX22 capture status: a copy of the library's record, read-only from
    Python; ``KTX22.query_status(record)`` and ``wait_status(record)`` fill it
    in place."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def total_frame_count(self) -> int:
        """Frames captured since the start."""
    @property
    def amount_in_frame(self) -> int:
        """Lines of the frame in progress."""
    @property
    def last_frame_no(self) -> int:
        """Number of the newest frame."""
    @property
    def line_count(self) -> int:
        """Lines captured since the start."""
    @property
    def capture_state(self) -> int:
        """The ``KTX22.status()`` code: 0 idle, 1 running, 2 finished, 3
        stopped, 4 aborted."""
    @overload
    def __init__(self) -> None:
        """The library's default record."""
    @overload
    def __init__(
        self, total_frame_count: _Int, amount_in_frame: _Int, last_frame_no: _Int,
        line_count: _Int, capture_state: _Int, /,
    ) -> None:
        """A record of the five values in field order."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""

class TxKTX22EncoderStatus(metaclass=_pybind11_type):
    """A KTX22 encoder status: a copy of the library's record, filled in place
    by ``KTX22Encoder.encoder_status``."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def is_abs_overflow(self) -> bool:
        """Whether the encoder counter wrapped upwards."""
    @property
    def is_abs_underflow(self) -> bool:
        """Whether the encoder counter wrapped downwards."""
    @property
    def a_state(self) -> int:
        """Level of the A input."""
    @property
    def b_state(self) -> int:
        """Level of the B input."""
    @property
    def z_state(self) -> int:
        """Level of the Z (index) input."""
    @property
    def encoder_state(self) -> int:
        """1 while the encoder counts."""
    @property
    def encoder_counter(self) -> int:
        """The encoder counter."""
    @property
    def rel_counter(self) -> int:
        """The relative counter."""
    @property
    def match_counter(self) -> int:
        """The match counter."""
    @overload
    def __init__(self) -> None:
        """The library's default record."""
    @overload
    def __init__(
        self, is_abs_overflow: bool, is_abs_underflow: bool, a_state: _Int, b_state: _Int,
        z_state: _Int, encoder_state: _Int, encoder_counter: _Int, rel_counter: _Int,
        match_counter: _Int, /,
    ) -> None:
        """A record of the nine values in field order (``rel_counter`` before
        ``match_counter``)."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""

class TxMR250CaptureStatus(metaclass=_pybind11_type):
    """An MR250 capture status: a copy of the library's record, read-only."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def total_frame_count(self) -> int:
        """Frames captured since the start."""
    @property
    def amount_in_frame(self) -> int:
        """Lines of the frame in progress."""
    @property
    def last_frame_no(self) -> int:
        """Number of the newest frame (or of the frame a locked image holds)."""
    @property
    def line_count(self) -> int:
        """Lines captured since the start."""
    @property
    def dma_schedule_peak(self) -> int:
        """Peak of the transfer schedule."""
    @property
    def capture_event(self) -> int:
        """Event bits, as for the KTX21."""
    @overload
    def __init__(self) -> None:
        """The library's default record."""
    @overload
    def __init__(
        self, total_frame_count: _Int, amount_in_frame: _Int, last_frame_no: _Int,
        line_count: _Int, dma_schedule_peak: _Int, capture_event: _Int, /,
    ) -> None:
        """A record of the six values in field order."""
    def __eq__(self, other: object, /) -> bool:
        """The library's comparison; False for an object of another class."""
    def __ne__(self, other: object, /) -> bool:
        """The library's inequality; True for an object of another class."""

class Exception(builtins.Exception):
    """An exception type for Python code to use; the module itself never
    raises it (its errors are RuntimeError)."""
