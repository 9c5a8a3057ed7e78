"""The KTX22 name tables as the board documents them."""

INT32, UINT32, TEXT, COMMAND = 0x100000008, 0x100000004, 0, 0x100000006

_CC = " ".join("CC%d%s" % (i, k) for i in range(1, 5) for k in ("Enable", "Mode", "Positive"))

# Readable names, in the board's matching order.
GET_INT32 = ("""DeviceID DeviceType CameraConnect PGStatus Channel Width Height OffsetW OffsetH
OffsetMode OffsetTrgW OffsetTrgH Timeout Version SendCommandEnable SendCommandWaitTime
Configuration BitWidth RBReverse TapCount Force8 LineSensorEnable ScanMode DvalEnable PackingMode
Alignment16 TapSwap FormatType XReverse YReverse YStep Arrangement BlankingTime """ + _CC + """
EXPEnable EXPMode EXPPositive ExternalTrigger IntTriggerChSel ExtTriggerChSel ExtTriggerSrc
ExtInControlMode Assert Negate EncoderMode ExposureTime TriggerBetaTime TriggerDelayTime
TriggerCycleTime TriggerRetry TriggerMaskTime TriggerRetryMode TriggerMaskMode TriggerMode
BayerMode CameraClock PLLReconfig ENCSampling ENCStart ENCComp1 ENCResetSource ENCDir ENCSwapAB
ENCSignalSource SIOBaudRate SIOOption SIOSendMode SIOOpenFlag SIOTimeout PoCLControl
ENCIn0Termination ENCIn1Termination EncoderActMode ClearTriggerMaskMode GrabEnableSelector
PLLReconfigStatus ImageWidth ImageHeight ImageChannels ImageDepth ImageType ImagePack""").split()
GET_TEXT = "DriverVersion FpgaVersion CameraName CameraMaker CameraMode SIOSTX SIOETX SIORETX".split()
GET_NAMES = GET_INT32 + ["ENCComp2"] + GET_TEXT

READ_ONLY = set("""DeviceID DeviceType CameraConnect PGStatus Channel TapSwap BlankingTime BayerMode
CameraClock SIOOpenFlag PLLReconfigStatus ImageWidth ImageHeight ImageChannels ImageDepth ImageType
ImagePack DriverVersion FpgaVersion""".split())

# Writable names, in their own matching order.
_SET_INT32 = [n for n in GET_INT32 if n not in READ_ONLY and n != "PLLReconfig"]
_SET_INT32.remove("OffsetMode")
_SET_INT32.insert(_SET_INT32.index("OffsetW"), "OffsetMode")
_SET_INT32.insert(_SET_INT32.index("EncoderActMode") + 1, "PLLReconfig")
SET_NAMES = _SET_INT32 + ["ENCComp2"] + [n for n in GET_TEXT if n not in READ_ONLY]

COMMANDS = ["ClearTriggerMask", "ResetPG", "StopPG", "ResetPLLReconfig", "ExecutePLLReconfig",
            "PLLReconfig"]

ENCODER_NAMES = ["EncoderMode", "ENCSampling", "ENCStart", "ENCComp1", "ENCResetSource", "ENCDir",
                 "ENCSwapAB", "ENCSignalSource", "EncoderActMode", "ENCComp2"]


def kind_of(name):
    return UINT32 if name == "ENCComp2" else TEXT if name in GET_TEXT else INT32

