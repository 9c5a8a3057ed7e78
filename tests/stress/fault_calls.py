"""For every library operation, a Python call that reaches it: the data the
fault part walks. Each entry is (fixture, expression); the fixture names the
objects the expression finds (see faults.fixture), the expression makes the
one call. An operation that the simulated library lists and this table does
not is a failure of the fault part, so a new operation cannot go unchecked."""

# ---- pieces several classes share -------------------------------------------------------


def accessors(*names, value="1"):
    """GetX/SetX pairs bound as the property x (snake case)."""
    entries = {}
    for name in names:
        prop = "".join("_" + c.lower() if c.isupper() and i else c.lower()
                       for i, c in enumerate(name))
        entries["Get" + name] = "obj.%s" % prop
        entries["Set" + name] = "setattr(obj, %r, %s)" % (prop, value)
    return entries


EQUALITY = {"operator==": "obj == other", "operator!=": "obj != other"}

COMPANION = {"From": "Cls.from_(board)", "Controller": "obj.controller", "IsValid": "obj.is_valid",
             **EQUALITY}

DIO_BOARD = {"Dispose": "obj.dispose()", "IsValid": "obj.is_valid", "Open": "obj.open(0)",
             "Close": "obj.close()", "IsOpened": "obj.is_opened", "Read": "obj.read()",
             "Write": "obj.write(1)", "WriteStatus": "obj.write_status()",
             "Abort": "obj.abort()", "Wait": "obj.wait()", **EQUALITY}

DIO_PARAM = {**COMPANION, "GetParam": "obj.get_param('Timeout')",
             "SetParam": "obj.set_param('Timeout', 5)", "SetRegister": "obj.set_register(0, 1)",
             "GetRegister": "obj.get_register(0)", **accessors("Timeout", value="5")}

GRABBER_BOARD = {
    "FromFile": "Cls.from_file(camera)", "Dispose": "obj.dispose()", "IsValid": "obj.is_valid",
    "Open": "obj.open(1, 0)", "Close": "obj.close()", "IsOpened": "obj.is_opened",
    "Setup": "obj.setup(camera)", "Save": "obj.save('saved.txt')",
    "SaveW": "obj.save_w('saved.txt')", "Validate": "obj.validate(image)",
    "Lock": "obj.lock(image)", "Unlock": "obj.unlock()", "Start": "obj.start()",
    "Stop": "obj.stop()", "Abort": "obj.abort()", "Wait": "obj.wait()",
    "IsRunning": "obj.is_running", "Status": "obj.status()",
    "WaitStatus": "obj.wait_status()", "QueryStatus": "obj.query_status()",
    "ForceTrigger": "obj.force_trigger()", "SetNum": "setattr(obj, 'num', 1)",
    "GetNum": "obj.num", "SetLockId": "setattr(obj, 'lock_id', 0)", "GetLockId": "obj.lock_id",
    **EQUALITY}

GRABBER_PARAM = {**COMPANION, "GetParam": "obj.get_param('Width')",
                 "SetParam": "obj.set_param('Width', 16)",
                 "SetRegister": "obj.set_register(0, 1)", "GetRegister": "obj.get_register(0)",
                 **accessors("TriggerMode", "ExposureTime", value="0")}

ENCODER = {**COMPANION, "GetParam": "obj.get_param('ENCComp1')",
           "SetParam": "obj.set_param('ENCComp1', 1)", "MatchCounter": "obj.match_counter()",
           "RelCounter": "obj.rel_counter()",
           **accessors("EncoderMode", "Sampling", "Start", "Dir", "Comp1", "Comp2", "SwapAb",
                       value="0")}

SIO = {**COMPANION, "Open": "obj.open()", "Close": "obj.close()", "Purge": "obj.purge()",
       "IsOpened": "obj.is_opened", "Read": "obj.read(1)", "ReadByte": "obj.read_byte()",
       "Write": "obj.write('ID?')", "WriteByte": "obj.write_byte('x')",
       "SetCameraMode": "obj.set_camera_mode('A')", **accessors("Timeout", value="5")}

RECORD = {**EQUALITY}

# ---- the table -------------------------------------------------------------------------------

CLASSES = {
    "CxSNR11": ("SNR11", DIO_BOARD),
    "CxSN2200": ("SN2200", DIO_BOARD),
    "CxTK560": ("TK560", {**DIO_BOARD, "Load": "obj.load('saved.txt', 0)",
                          "LoadW": "obj.load_w('saved.txt', 0)", "Save": "obj.save('saved.txt', 0)",
                          "SaveW": "obj.save_w('saved.txt', 0)"}),
    "CxSNR11Param": ("SNR11Param", {**DIO_PARAM, **accessors("IntEdge")}),
    "CxSN2200Param": ("SN2200Param", {**DIO_PARAM,
                                      **accessors("DiEnable", "DiEdge", "DiWaitEnable")}),
    "CxTK560Param": ("TK560Param", {**DIO_PARAM, **accessors(
        "IntEnable", "IntEdge", "IntWaitEnable", "DiEnable", "DiEdge", "DiWaitEnable",
        "DiWaitMode", value="0")}),
    "TxSN2200WaitStatus": ("SN2200WaitStatus", RECORD),
    "TxTK560WaitStatus": ("TK560WaitStatus", RECORD),

    "CxKTX21": ("KTX21", GRABBER_BOARD),
    "CxKTX21Param": ("KTX21Param", {**GRABBER_PARAM, **accessors("TriggerCycleTime", value="1000")}),
    "CxKTX21Encoder": ("KTX21Encoder", {
        **ENCODER, "AbsCounter": "obj.abs_counter()", "ClearAbsCounter": "obj.clear_abs_counter()",
        "ClearAllCounter": "obj.clear_all_counter()", "ClearOverflow": "obj.clear_overflow()",
        "ClearRelCounter": "obj.clear_rel_counter()", "ClearUnderflow": "obj.clear_underflow()",
        "IsAbsOverflow": "obj.is_abs_overflow", "IsAbsUnderflow": "obj.is_abs_underflow",
        "StartAbs": "obj.start_abs(True)", "TotalCounter": "obj.total_counter()",
        **accessors("Init", value="0")}),
    "CxKTX21Sio": ("KTX21Sio", SIO),
    "TxKTX21CaptureStatus": ("TxKTX21CaptureStatus", RECORD),

    "CxKTX22": ("KTX22", {
        **GRABBER_BOARD, "WaitStatus": "obj.wait_status(record, 5)",
        "Wait": "obj.wait()", "WaitEvent": "obj.wait_event(0, 1, 0)",
        "CancelWaitEvent": "obj.cancel_wait_event(0)",
        "ClearTriggerMask": "obj.clear_trigger_mask(-1)", "StopPg": "obj.stop_pg(-1)",
        "ResetPg": "obj.reset_pg(-1)", "PllReconfig": "obj.pll_reconfig()"}),
    "CxKTX22Param": ("KTX22Param", {**GRABBER_PARAM, "SendCommand": "obj.send_command('ResetPG')",
                                    **accessors("TriggerCycleTime", value="1000")}),
    "CxKTX22Encoder": ("KTX22Encoder", {
        **ENCODER, "EncoderCounter": "obj.encoder_counter()",
        "EncoderStatus": "obj.encoder_status(encoder_record)",
        "ResetEncoder": "obj.reset_encoder()", "StartEncoder": "obj.start_encoder()",
        "StopEncoder": "obj.stop_encoder()",
        **accessors("EncoderActMode", "ResetSource", "SignalSource", value="0")}),
    "CxKTX22Sio": ("KTX22Sio", SIO),
    "TxKTX22CaptureStatus": ("TxKTX22CaptureStatus", RECORD),
    "TxKTX22EncoderStatus": ("TxKTX22EncoderStatus", RECORD),

    "CxMR250": ("MR250", {**GRABBER_BOARD, "Setup": "obj.setup(camera)"}),
    "CxMR250Param": ("MR250Param", {**GRABBER_PARAM,
                                    "SendCommand": "obj.send_command('SelfCalibration')",
                                    **accessors("VideoOffset", value="0")}),
    "TxMR250CaptureStatus": ("TxMR250CaptureStatus", RECORD),

    "CxVideo": ("Video", {
        "FromFile": "Cls.from_file(camera)", "Controller": "obj.controller",
        "DeviceType": "obj.device_type", "Dispose": "obj.dispose()", "IsValid": "obj.is_valid",
        "Close": "obj.close()", "Save": "obj.save('saved.txt')",
        "SaveW": "obj.save_w('saved.txt')", "Validate": "obj.validate(image)",
        "Grab": "obj.grab(image)", "Start": "obj.start(image)", "Wait": "obj.wait()",
        "Abort": "obj.abort()", "IsRunning": "obj.is_running", "Status": "obj.status()",
        "ForceTrigger": "obj.force_trigger()",
        "SendCommand": "obj.send_command('SelfCalibration')",
        **accessors("TriggerMode", "ExposureTime", value="0"),
        **accessors("TriggerCycleTime", value="1000"), **EQUALITY}),

    "Api": ("module", {
        "GetDeviceInfo": "unit.get_device_info(vktsim.ExDevice.KTX21, 'Name', None)",
        "GetXmlItem": "unit.get_xml_item(camera, '/Device', None)"}),
    "SimDIO": ("DIO", {"Read": "unit.read(obj, 0)", "Write": "unit.write(obj, 1)",
                       "WriteStatus": "unit.write_status(obj, 0)"}),
    "SimIndexedDIO": ("IndexedDIO", {"Read": "unit.read(obj, 0, False)",
                                     "Write": "unit.write(obj, 0, True)",
                                     "WriteStatus": "unit.write_status(obj, 0, False)"}),
    "SimRegister": ("Register", {"SetRegister": "unit.set_register(obj, 0, 1)",
                                 "GetRegister": "unit.get_register(obj, 0, 0)"}),
    "SimDeviceModule": ("DeviceModule", {"GetDeviceModule": "unit.get_device_module(obj)"}),
    "SimVideoControl": ("VideoControl", {
        "Start": "unit.start(obj)", "Stop": "unit.stop(obj)", "Abort": "unit.abort(obj)",
        "Wait": "unit.wait(obj)", "IsRunning": "unit.is_running(obj)"}),
}


def entry(operation):
    """(fixture, expression) for an operation, or None if the table has none."""
    owner, _, name = operation.partition("::")
    found = CLASSES.get(owner)
    if found is None or name not in found[1]:
        return None
    return found[0], found[1][name]
