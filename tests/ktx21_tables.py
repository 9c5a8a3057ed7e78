"""The KTX21Param name table: 103 names, their kinds, the read-only ones."""

INT32, UINT32, TEXT = 0x100000008, 0x100000004, 0

READ_ONLY = {
    "DeviceID", "DeviceType", "BoardType", "CameraConnect", "DetectTrigger", "Channel",
    "FpgaVersion", "MaskedTrigger", "ExTriggerRef", "TriggerMaskLineNum", "SIOOpenFlag",
    "BayerMode", "ImageWidth", "ImageHeight", "ImageChannels", "ImageDepth", "ImageType",
    "ImagePack", "DriverVersion",
}
TEXTS = ["DriverVersion", "CameraName", "CameraMaker", "CameraMode", "SIOSTX", "SIOETX", "SIORETX"]
NAMES = """DeviceID DeviceType BoardType CameraConnect DetectTrigger Channel Width Height OffsetW
OffsetH OffsetMode OffsetTrgW OffsetTrgH Timeout FpgaVersion Version SendCommandEnable
SendCommandWaitTime Configuration BitWidth RBReverse TapCount Force8 LineSensorEnable EncoderMode
ScanMode DvalEnable PackingMode Alignment16 FormatType XReverse YReverse YStep Arrangement HighSpeed
BlankingTime CC1Enable CC1Mode CC1Positive CC2Enable CC2Mode CC2Positive CC3Enable CC3Mode
CC3Positive CC4Enable CC4Mode CC4Positive EXPEnable EXPMode EXPPositive AutoTrigger ExternalTrigger
InTriggerOrEnable ExTriggerOrEnable ExposureTime TriggerBetaTime TriggerDelayTime TriggerCycleTime
TriggerRetry TriggerMaskTime ExtTriggerSrc MaskedTrigger ExTriggerRef Assert Negate
TriggerMaskTimeMode TriggerMaskLineNum TriggerMode SimTrigger ENCSampling ENCStart ENCComp1 ENCInit
ENCDir ENCSwapAB SIORxMode SIOTxMode SIOBaudRate SIORxBufSize SIOTxBufSize SIOOption SIOSendMode
SIOOpenFlag SIOTimeout BayerMode ImageWidth ImageHeight ImageChannels ImageDepth ImageType ImagePack
ENCInputCH PGRunMode PGStart ENCComp2 DriverVersion CameraName CameraMaker CameraMode SIOSTX SIOETX
SIORETX""".split()


def kind_of(name):
    return UINT32 if name == "ENCComp2" else TEXT if name in TEXTS else INT32


WRITABLE = [n for n in NAMES if n not in READ_ONLY]
