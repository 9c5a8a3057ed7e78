"""Module-level functions over the library's interfaces, and the device
information and XML look-ups."""
import gc

import pytest

import unit
import vktsim
from conftest import calls, error_fields


def test_dio_word_functions_pass_the_address_of_a_copy():
    dio = vktsim.DIO()
    dio.inputs = 0xFFFFFFFF
    assert unit.read(dio, 5) is None          # what the library writes is discarded
    assert unit.write_status(dio, 0xFFFFFFFF) is None
    unit.write(dio, 0x80000000)
    ident = vktsim.ident(dio)
    assert vktsim.journal() == [("SimDIO::Read", (ident, 5)),
                                ("SimDIO::WriteStatus", (ident, 0xFFFFFFFF)),
                                ("SimDIO::Write", (ident, 0x80000000))]
    assert dio.outputs == 0x80000000


def test_line_functions_reach_the_second_overload():
    dio = vktsim.IndexedDIO()
    unit.read(dio, 1, True)
    unit.write(dio, 31, True)
    unit.write_status(dio, 2, False)
    ident = vktsim.ident(dio)
    assert vktsim.journal() == [("SimIndexedDIO::Read", (ident, 1, True)),
                                ("SimIndexedDIO::Write", (ident, 31, True)),
                                ("SimIndexedDIO::WriteStatus", (ident, 2, False))]
    assert dio.outputs == 0x80000000


@pytest.mark.parametrize("call", [
    lambda d, i: unit.read(i, 5), lambda d, i: unit.write(d, 1, True),
    lambda d, i: unit.write(d, -1), lambda d, i: unit.write(d, 2**32),
    lambda d, i: unit.write_status(i, 1.5, True), lambda d, i: unit.read(None, 1),
    lambda d, i: unit.read(unit.SNR11(), 1),
])
def test_arguments_that_fit_no_overload_call_nothing(call):
    dio, indexed = vktsim.DIO(), vktsim.IndexedDIO()
    vktsim.clear_journal()
    with pytest.raises(TypeError):
        call(dio, indexed)
    assert vktsim.journal() == []


def test_a_board_viewed_as_its_interfaces_is_reached_through_its_own_class():
    board = unit.SNR11()
    board.open(0)
    vktsim.clear_journal()
    unit.write(vktsim.as_interface(board, vktsim.IxDIO), 9)
    unit.write(vktsim.as_interface(board, vktsim.IxIndexedDIO), 4, True)
    ident = vktsim.ident(board)
    assert vktsim.journal() == [("CxSNR11::Write", (ident, 9)), ("CxSNR11::Write", (ident, 4, True))]
    assert board.write_status() == 9 | 16


def test_an_interface_view_keeps_its_board_alive():
    board = unit.SNR11()
    view = vktsim.as_interface(board, vktsim.IxDIO)
    ident = vktsim.ident(board)
    del board
    gc.collect()
    assert vktsim.ident(view) == ident


def test_registers():
    reg = vktsim.Register()
    unit.set_register(reg, 255, 0xFFFFFFFF)
    assert unit.get_register(reg, 255, 7) is None
    assert reg.value(255) == 0xFFFFFFFF
    ident = vktsim.ident(reg)
    assert vktsim.journal() == [("SimRegister::SetRegister", (ident, 255, 0xFFFFFFFF)),
                                ("SimRegister::GetRegister", (ident, 255, 7))]
    with pytest.raises(RuntimeError) as caught:
        unit.set_register(reg, 256, 0)
    assert error_fields(caught.value)[0] == int(vktsim.ExStatus.InvalidArgument)


def test_get_device_module_returns_the_existing_object():
    board = unit.SNR11()
    device = vktsim.DeviceModule(board)
    assert unit.get_device_module(device) is board
    assert calls("SimDeviceModule::GetDeviceModule") == [(vktsim.ident(device),)]


@pytest.mark.parametrize("make", [lambda: vktsim.DeviceModule(), lambda: vktsim.DeviceModule(None)],
                         ids=["default", "None"])
def test_get_device_module_presents_an_unwrapped_module_as_its_class(make):
    device = make()
    module = unit.get_device_module(device)
    assert type(module) is vktsim.Module
    gc.collect()
    before = vktsim.live_objects()
    del device
    gc.collect()
    # The module belongs to the device object, which the module keeps alive:
    # nothing is freed, nothing twice.
    assert vktsim.live_objects() == before
    del module
    gc.collect()
    assert vktsim.live_objects() == before - 2


def test_get_device_module_of_a_module_that_is_gone():
    board = unit.SNR11()
    device = vktsim.DeviceModule(board)
    del board
    gc.collect()
    assert unit.get_device_module(device) is None


def test_video_control_functions():
    control = vktsim.VideoControl()
    unit.start(control)
    assert unit.is_running(control) is True
    unit.wait(control)
    unit.stop(control)
    unit.abort(control)
    assert unit.is_running(control) is False
    ident = vktsim.ident(control)
    assert [op for op, args in vktsim.journal()] == [
        "SimVideoControl::Start", "SimVideoControl::IsRunning", "SimVideoControl::Wait",
        "SimVideoControl::Stop", "SimVideoControl::Abort", "SimVideoControl::IsRunning"]
    assert all(args == (ident,) for _, args in vktsim.journal())


@pytest.mark.parametrize("function", ["start", "stop", "abort", "wait", "is_running"])
@pytest.mark.parametrize("obj", [lambda: unit.SNR11(), lambda: vktsim.DIO(), lambda: None])
def test_video_control_functions_take_only_video_control_objects(function, obj):
    with pytest.raises(TypeError):
        getattr(unit, function)(obj())


# ---- device information and XML ------------------------------------------------------------

@pytest.mark.parametrize("device, name, text", [
    ("KTX21", "Name", b"KTX21"), ("KTX22", "Channels", b"2"), ("MR250", "Interface", b"Analog"),
    ("TK560", "Lines", b"32"),
])
def test_device_info_into_a_library_string(device, name, text):
    buffer = vktsim.String()
    status = unit.get_device_info(getattr(vktsim.ExDevice, device), name, buffer)
    assert status == vktsim.ExStatus.Success
    assert buffer.value == text
    assert calls("Api::GetDeviceInfo") == [
        (int(getattr(vktsim.ExDevice, device)), name.encode(), vktsim.ident(buffer))]


def test_device_info_failures_are_the_librarys():
    for device, name, status in [(vktsim.ExDevice.KTX21, "NoSuchItem", "NotFound"),
                                 (vktsim.ExDevice(3), "Name", "NoDevice")]:
        with pytest.raises(RuntimeError) as caught:
            unit.get_device_info(device, name, None)
        assert error_fields(caught.value)[0] == int(getattr(vktsim.ExStatus, status))


@pytest.fixture
def description(tmp_path):
    path = tmp_path / "device.xml"
    path.write_text('<?xml version="1.0"?>\n<Device id="7"><Name>KTX21</Name>'
                    '<Sensor width="2048" height="1"/><Empty/></Device>\n')
    return str(path)


@pytest.mark.parametrize("item, text", [
    ("/Device/Name", b"KTX21"), ("/Device/@id", b"7"), ("//Sensor/@width", b"2048"),
    ("/Device/Empty", b""),
])
def test_xml_items(description, item, text):
    buffer = vktsim.String(b"old")
    assert unit.get_xml_item(description, item, buffer) == vktsim.ExStatus.Success
    assert buffer.value == text
    # A str path takes the narrow overload: it is tried first.
    assert calls("Api::GetXmlItem") == [(description.encode(), item.encode(), vktsim.ident(buffer))]


def test_xml_item_with_a_null_buffer(description):
    assert unit.get_xml_item(description, "/Device/Name", None) == vktsim.ExStatus.Success
    assert calls("Api::GetXmlItem") == [(description.encode(), b"/Device/Name", None)]


@pytest.mark.parametrize("content, item, status", [
    (None, "/Device", "FileError"),
    ("<Device><Name>x</Device>", "/Device", "FormatError"),
    ("<Device/>", "/Device/Name", "NotFound"),
    ("<Device/>", "/Device[", "InvalidArgument"),
])
def test_xml_failures_are_the_librarys(tmp_path, content, item, status):
    path = tmp_path / "device.xml"
    if content is not None:
        path.write_text(content)
    buffer = vktsim.String(b"kept")
    with pytest.raises(RuntimeError) as caught:
        unit.get_xml_item(str(path), item, buffer)
    code, _, function, _ = error_fields(caught.value)
    assert code == int(getattr(vktsim.ExStatus, status))
    assert function.startswith("Api::GetXmlItem")
    assert buffer.value == b"kept"


def test_buffers_other_than_library_strings_are_not_written(description):
    image = vktsim.Image(4, 4)
    with pytest.raises(RuntimeError) as caught:
        unit.get_xml_item(description, "/Device/Name", image)
    assert error_fields(caught.value)[0] == int(vktsim.ExStatus.InvalidArgument)
    assert calls("Api::GetXmlItem") == [(description.encode(), b"/Device/Name", vktsim.ident(image))]


@pytest.mark.parametrize("buffer", [5, "text", b"bytes", 1.5])
def test_buffers_that_are_no_pointer_fit_no_overload(description, buffer):
    with pytest.raises(TypeError):
        unit.get_xml_item(description, "/Device/Name", buffer)
    assert vktsim.journal() == []


def test_a_scripted_status_comes_back_as_the_enumeration(description):
    vktsim.script("Api::GetXmlItem", value=int(vktsim.ExStatus.NotFound))
    assert unit.get_xml_item(description, "/x", None) == vktsim.ExStatus.NotFound
