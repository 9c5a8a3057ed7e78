"""The module's whole Python surface: names, their order, members and overloads."""
import re

import pytest

import unit

# Every module attribute in registration order.
MODULE = [
    "EventStatus", "INT", "DI", "TIMEOUT", "ABORT",
    "SNR11", "SNR11Param", "SN2200", "SN2200Param", "TK560", "TK560Param",
    "read", "write", "write_status",
    "SN2200WaitStatus", "TK560WaitStatus",
    "get_device_module", "set_register", "get_register", "get_device_info", "get_xml_item",
    "KTX21", "KTX21Encoder", "KTX21Param", "KTX21Sio",
    "KTX22", "KTX22Encoder", "KTX22Param", "KTX22Sio",
    "MR250", "MR250Param",
    "Video",
    "start", "stop", "abort", "wait", "is_running",
    "TxKTX21CaptureStatus", "TxKTX22CaptureStatus", "TxKTX22EncoderStatus", "TxMR250CaptureStatus",
    "Exception",
]

# Module functions and their overload counts.
FUNCTIONS = {
    "read": 2, "write": 2, "write_status": 2, "get_device_module": 1, "set_register": 1,
    "get_register": 1, "get_device_info": 1, "get_xml_item": 2, "start": 1, "stop": 1,
    "abort": 1, "wait": 1, "is_running": 1,
}

_DIO_BOARD = [("__eq__", 1), ("__ne__", 1), ("dispose", 1), ("is_valid", None), ("open", 1),
              ("close", 1), ("is_opened", None), ("read", 2), ("write", 2), ("write_status", 2)]
_WAIT_RECORD = [("event_status", None), ("di_event_status", None), ("di", None),
                ("__eq__", 1), ("__ne__", 1)]


def _dio_param(*properties):
    return ([("from_", 1), ("__eq__", 1), ("__ne__", 1), ("is_valid", None), ("controller", None)]
            + [(p, None) for p in properties]
            + [("get_param", 1), ("set_param", 1), ("send_command", 1), ("set_register", 1),
               ("get_register", 1)])


_VIDEO_COMPANION = [("from_", 1), ("__eq__", 1), ("__ne__", 1), ("is_valid", None),
                    ("controller", None)]

# Each class's members in registration order (None: a property or field),
# and how many constructors it has.
CLASSES = {
    "SNR11": (_DIO_BOARD + [("wait", 1), ("abort", 1)], 1),
    "SNR11Param": (_dio_param("timeout", "int_edge"), 1),
    "SN2200": (_DIO_BOARD + [("wait", 1), ("abort", 1)], 1),
    "SN2200Param": (_dio_param("timeout", "di_enable", "di_edge", "di_wait_enable"), 1),
    "TK560": (_DIO_BOARD + [("load", 1), ("load_w", 1), ("save", 1), ("save_w", 1),
                            ("wait", 1), ("abort", 1)], 1),
    "TK560Param": (_dio_param("timeout", "int_enable", "int_edge", "int_wait_enable",
                              "di_enable", "di_edge", "di_wait_enable", "di_wait_mode"), 1),
    "SN2200WaitStatus": (_WAIT_RECORD, 2),
    "TK560WaitStatus": (_WAIT_RECORD, 2),
    "KTX21": ([("from_file", 4), ("__eq__", 1), ("__ne__", 1), ("dispose", 1), ("is_valid", None),
               ("open", 1), ("close", 1), ("setup", 2), ("save", 1), ("save_w", 1),
               ("is_opened", None), ("validate", 2), ("lock", 2), ("unlock", 1), ("start", 1),
               ("stop", 1), ("abort", 2), ("wait", 1), ("is_running", None), ("status", 1),
               ("wait_status", 2), ("query_status", 2), ("force_trigger", 1), ("num", None),
               ("lock_id", None)], 2),
    "KTX21Param": (_VIDEO_COMPANION + [
        ("trigger_mode", None), ("exposure_time", None), ("trigger_cycle_time", None),
        ("get_param", 1), ("set_param", 1), ("send_command", 1), ("set_register", 1),
        ("get_register", 1)], 2),
    "KTX21Encoder": (_VIDEO_COMPANION + [
        ("encoder_mode", None), ("sampling", None), ("start", None), ("dir", None),
        ("comp1", None), ("comp2", None), ("init", None), ("swap_ab", None),
        ("total_counter", 1), ("match_counter", 1), ("rel_counter", 1), ("clear_rel_counter", 1),
        ("start_abs", 1), ("abs_counter", 1), ("is_abs_overflow", None),
        ("is_abs_underflow", None), ("clear_abs_counter", 1), ("clear_overflow", 1),
        ("clear_underflow", 1), ("clear_all_counter", 1), ("get_param", 1), ("set_param", 1),
        ("send_command", 1)], 2),
    "KTX21Sio": (_VIDEO_COMPANION + [
        ("open", 1), ("close", 1), ("purge", 1), ("is_opened", None), ("timeout", None),
        ("write_byte", 1), ("read_byte", 1), ("write", 1), ("read", 1),
        ("set_camera_mode", 1)], 2),
    "TxKTX21CaptureStatus": ([
        ("total_frame_count", None), ("amount_in_frame", None), ("last_frame_no", None),
        ("line_count", None), ("dma_schedule_peak", None), ("capture_event", None),
        ("__eq__", 1), ("__ne__", 1)], 2),
    "KTX22": ([("from_file", 4), ("__eq__", 1), ("__ne__", 1), ("dispose", 1), ("is_valid", None),
               ("open", 1), ("close", 1), ("setup", 2), ("save", 1), ("save_w", 1),
               ("is_opened", None), ("validate", 3), ("lock", 3), ("unlock", 1), ("start", 1),
               ("stop", 1), ("abort", 1), ("wait", 2), ("is_running", None), ("query_status", 2),
               ("wait_status", 2), ("status", 1), ("wait_event", 1), ("cancel_wait_event", 1),
               ("force_trigger", 1), ("stop_pg", 1), ("reset_pg", 1), ("clear_trigger_mask", 1),
               ("pll_reconfig", 1), ("num", None), ("lock_id", None)], 2),
    "KTX22Param": (_VIDEO_COMPANION + [
        ("trigger_mode", None), ("exposure_time", None), ("trigger_cycle_time", None),
        ("get_param", 1), ("set_param", 1), ("send_command", 1), ("set_register", 1),
        ("get_register", 1)], 2),
    "KTX22Encoder": (_VIDEO_COMPANION + [
        ("encoder_mode", None), ("sampling", None), ("start", None), ("dir", None),
        ("comp1", None), ("comp2", None), ("reset_source", None), ("swap_ab", None),
        ("signal_source", None), ("start_encoder", 1), ("stop_encoder", 1), ("reset_encoder", 1),
        ("encoder_status", 1), ("encoder_counter", 1), ("match_counter", 1), ("rel_counter", 1),
        ("encoder_act_mode", None), ("get_param", 1), ("set_param", 1), ("send_command", 1)], 2),
    "KTX22Sio": (_VIDEO_COMPANION + [
        ("open", 1), ("close", 1), ("purge", 1), ("is_opened", None), ("timeout", None),
        ("write_byte", 1), ("read_byte", 1), ("write", 1), ("read", 1),
        ("set_camera_mode", 1)], 2),
    "TxKTX22CaptureStatus": ([
        ("total_frame_count", None), ("amount_in_frame", None), ("last_frame_no", None),
        ("line_count", None), ("capture_state", None), ("__eq__", 1), ("__ne__", 1)], 2),
    "TxKTX22EncoderStatus": ([
        ("is_abs_overflow", None), ("is_abs_underflow", None), ("a_state", None),
        ("b_state", None), ("z_state", None), ("encoder_state", None), ("encoder_counter", None),
        ("rel_counter", None), ("match_counter", None), ("__eq__", 1), ("__ne__", 1)], 2),
    "MR250": ([("from_file", 4), ("__eq__", 1), ("__ne__", 1), ("dispose", 1), ("is_valid", None),
               ("open", 1), ("close", 1), ("setup", 2), ("save", 1), ("save_w", 1),
               ("is_opened", None), ("validate", 2), ("lock", 2), ("unlock", 1), ("start", 1),
               ("stop", 1), ("abort", 2), ("wait", 1), ("is_running", None), ("status", 1),
               ("query_status", 2), ("wait_status", 2), ("force_trigger", 1), ("num", None),
               ("lock_id", None)], 2),
    "MR250Param": (_VIDEO_COMPANION + [
        ("trigger_mode", None), ("exposure_time", None), ("video_offset", None),
        ("get_param", 1), ("set_param", 1), ("send_command", 1), ("set_register", 1),
        ("get_register", 1)], 2),
    "TxMR250CaptureStatus": ([
        ("total_frame_count", None), ("amount_in_frame", None), ("last_frame_no", None),
        ("line_count", None), ("dma_schedule_peak", None), ("capture_event", None),
        ("__eq__", 1), ("__ne__", 1)], 2),
    "Video": ([("from_file", 4), ("__eq__", 1), ("__ne__", 1), ("controller", None),
               ("device_type", None), ("dispose", 1), ("is_valid", None), ("close", 1),
               ("save", 1), ("save_w", 1), ("validate", 2), ("grab", 2), ("start", 2),
               ("wait", 1), ("abort", 1), ("is_running", None), ("status", 1),
               ("force_trigger", 1), ("trigger_mode", None), ("exposure_time", None),
               ("trigger_cycle_time", None), ("get_param", 1), ("set_param", 1),
               ("send_command", 1)], 2),
}


def public(namespace):
    return [name for name in namespace if not name.startswith("_") or name in ("__eq__", "__ne__")]


def overloads(function):
    doc = function.__doc__ or ""
    if "Overloaded function." in doc:
        return len(re.findall(r"^\d+\. ", doc, re.MULTILINE))
    return 1


def test_module_names_in_registration_order():
    assert public(vars(unit)) == MODULE


def test_every_class_is_described():
    assert sorted(CLASSES) == sorted(name for name in MODULE if isinstance(getattr(unit, name), type)
                                     and name not in ("EventStatus", "Exception"))


@pytest.mark.parametrize("name", sorted(FUNCTIONS))
def test_function_overloads(name):
    assert overloads(getattr(unit, name)) == FUNCTIONS[name]


@pytest.mark.parametrize("name", sorted(CLASSES))
def test_class_members_in_registration_order(name):
    cls = getattr(unit, name)
    members, constructors = CLASSES[name]
    found = [member for member in public(vars(cls)) if member != "__hash__"]
    assert found == [member for member, _ in members]
    for member, count in members:
        attribute = vars(cls)[member]
        if count is None:
            assert isinstance(attribute, property), member
        else:
            assert overloads(getattr(cls, member)) == count, member
    assert overloads(cls.__init__) == constructors
    assert cls.__hash__ is None
    # No declared bases: only pybind11's own object type.
    assert [base.__name__ for base in cls.__bases__] == ["pybind11_object"]


@pytest.mark.parametrize("name", sorted(CLASSES))
def test_instances_take_no_new_attributes(name):
    cls = getattr(unit, name)
    with pytest.raises(AttributeError):
        cls().something_else = 1


def test_no_function_has_a_docstring_beyond_its_signature():
    for name in FUNCTIONS:
        doc = getattr(unit, name).__doc__
        lines = [line for line in doc.splitlines() if line.strip()]
        assert all(line.startswith((name + "(", "Overloaded function.")) or re.match(r"\d+\. ", line)
                   for line in lines), doc
