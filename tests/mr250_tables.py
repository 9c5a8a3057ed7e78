"""The MR250Param name table: 61 names, their kinds, the read-only ones."""

INT32, TEXT, COMMAND = 0x100000008, 0, 0x100000006

NAMES = """TriggerMode VideoOffset FieldDetection ExposureTime ShutterPrecision DeviceID DeviceType
Channel Width Height OffsetW OffsetH OffsetTrgW OffsetTrgH Timeout FpgaVersion Version
NormalModeWaitTime CameraTriggerSyncMode TriggerSharingMode TriggerSharingChannel SyncMode HCycle
VCycle VCycleTrg HDWidth VDWidth ClampStart ClampEnd VideoDelay SyncPhase SyncTerminate PllVDW
PllRDW PllOD TriggerSyncMode TriggerLogic TriggerIndexLogic TriggerInputPin TriggerReadyWait
TriggerVDDelay TriggerIndexTimeout TriggerDelay TriggerDelaySelect ExtTriggerEnabled ExpEnable
ExpLogic ExpStop SimTriggerIn SimTriggerEx ImageWidth ImageHeight FormatType ImageType ImagePack
ImageDepth DriverVersion CameraName CameraMaker CameraMode ImageSize""".split()
TEXTS = {"DriverVersion", "CameraName", "CameraMaker", "CameraMode", "ImageSize"}
READ_ONLY = {"DeviceID", "DeviceType", "Channel", "FpgaVersion", "ExtTriggerEnabled", "ImageWidth",
             "ImageHeight", "FormatType", "ImageType", "ImagePack", "ImageDepth", "DriverVersion",
             "ImageSize"}
WRITABLE = [n for n in NAMES if n not in READ_ONLY]


def kind_of(name):
    return TEXT if name in TEXTS else INT32
