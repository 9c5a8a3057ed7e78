"""The live viewer in a real browser: Debian's headless Chromium driven by
Selenium through Debian's chromedriver (nothing downloads a browser). The
page is checked against what the simulated library received (the journal)
and against numpy's figures for the frames the test supplied.

They run where VKT_REQUIRE_BROWSER=1 (tools/stage_browser.sh sets it), and
there a missing Chromium, driver or Selenium fails them. Elsewhere they are
skipped: the other runs of the suite load sanitizer runtimes or coverage
counters that a browser started from the test must not inherit, and a browser
per run would only repeat this stage.
"""
import os
import pathlib
import time

import numpy as np
import pytest

import vktsim
import chromium_support
from viewer_support import Viewer, camera_file

ARTIFACTS = pathlib.Path(os.environ.get(
    "VKT_ARTIFACTS", pathlib.Path(__file__).resolve().parent.parent / "build-artifacts"))


@pytest.fixture(scope="module")
def browser():
    if os.environ.get("VKT_REQUIRE_BROWSER") != "1":
        pytest.skip("run by tools/stage_browser.sh (VKT_REQUIRE_BROWSER=1)")
    missing = chromium_support.missing()
    if missing:
        pytest.fail(missing)
    driver = chromium_support.start(1400, 900)
    yield driver
    driver.quit()


@pytest.fixture
def viewer(tmp_path):
    running = Viewer(tmp_path)
    yield running
    running.close()


@pytest.fixture
def page(browser, viewer):
    browser.get(viewer.url)
    until(browser, lambda: browser.find_element("id", "board-name").text == "no board open")
    return browser


def until(browser, condition, seconds=10.0):
    """Waits until ``condition()`` is true (the page works asynchronously)."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        assert time.monotonic() < deadline, "the page did not get there in %s s" % seconds
        time.sleep(0.05)


def element(browser, selector):
    return browser.find_element("css selector", selector)


def replace_text(field, text):
    """Types ``text`` over a field's value and commits it with Enter (a
    clear() would commit the empty field first)."""
    from selenium.webdriver.common.keys import Keys
    field.send_keys(Keys.CONTROL + "a")
    field.send_keys(text + Keys.ENTER)


def open_board(browser, model, path="", board_id=0):
    from selenium.webdriver.support.select import Select
    Select(element(browser, "#model")).select_by_visible_text(model)
    field = element(browser, "#camera-file")
    field.clear()
    if path:
        field.send_keys(path)
    number = element(browser, "#board-id")
    number.clear()
    number.send_keys(str(board_id))
    element(browser, "#open").click()
    until(browser, lambda: element(browser, "#board-name").text.startswith(model))
    until(browser, lambda: browser.find_elements("css selector", "#settings tbody tr"))


def start_and_wait_for_frames(browser):
    element(browser, "#start").click()
    until(browser, lambda: element(browser, "#frame-number").text not in ("", "-"))


def test_the_page_needs_its_token(browser, viewer):
    browser.get(viewer.url.split("?")[0])
    assert "refused: the token" in browser.find_element("tag name", "body").text
    browser.get(viewer.url)
    assert browser.title == "vkt live viewer"


def test_frames_pixel_values_and_statistics_match_the_frames(page, viewer, tmp_path):
    rng = np.random.default_rng(3)
    frame = rng.integers(0, 256, (48, 64), dtype=np.uint8)
    open_board(page, "KTX21", camera_file(tmp_path))
    vktsim.set_frames(viewer.session.board.device, [frame])
    start_and_wait_for_frames(page)
    element(page, "#zoom-one").click()
    from selenium.webdriver.common.action_chains import ActionChains
    canvas = element(page, "#image")
    for x, y in [(10, 5), (40, 30), (60, 44)]:
        offset_x = x + 0.5 - canvas.size["width"] / 2
        offset_y = y + 0.5 - canvas.size["height"] / 2
        ActionChains(page).move_to_element_with_offset(canvas, int(offset_x),
                                                       int(offset_y)).perform()
        pixel = until(page, lambda: element(page, "#pixel").get_attribute("data-value") and
                      element(page, "#pixel"))
        seen_x, seen_y = int(pixel.get_attribute("data-x")), int(pixel.get_attribute("data-y"))
        assert abs(seen_x - x) <= 1 and abs(seen_y - y) <= 1
        assert int(pixel.get_attribute("data-value")) == frame[seen_y, seen_x]
    shown = {name: float(element(page, "#stat-" + name).text)
             for name in ("min", "max", "mean", "std")}
    assert shown["min"] == frame.min() and shown["max"] == frame.max()
    assert shown["mean"] == pytest.approx(frame.mean(), abs=0.0015)
    assert shown["std"] == pytest.approx(frame.std(), abs=0.0015)
    until(page, lambda: float(element(page, "#fps").text) > 0)
    element(page, "#stop").click()
    until(page, lambda: not viewer.session.capturing)


def test_editing_a_setting_reaches_the_library_and_a_refusal_shows(page, viewer, tmp_path):
    open_board(page, "KTX21", camera_file(tmp_path))
    vktsim.clear_journal()
    field = element(page, '#settings tr[data-name="ExposureTime"] input')
    replace_text(field, "777")
    param = vktsim.ident(viewer.session.board.param)
    until(page, lambda: ("CxKTX21Param::SetParam", (param, b"ExposureTime", 777, 0x100000008))
          in vktsim.journal())
    field = element(page, '#settings tr[data-name="TriggerMode"] input')
    replace_text(field, "9")
    error = until(page, lambda: element(
        page, '#settings tr[data-name="TriggerMode"] td.error').text)
    assert error.startswith("InvalidArgument (3): Code:3 Line:")
    assert error.endswith(" Function:CxKTX21Param::SetParam: TriggerMode 9 is out of range "
                          "0..2 File:sim/core/state.cpp")
    until(page, lambda: field.get_attribute("value") == "0")
    assert element(page, '#settings tr[data-name="DeviceID"] input').get_attribute("readonly")


def test_clicking_an_output_switches_the_line_and_inputs_show(page, viewer):
    vktsim.set_inputs("SN2200", 2, 0x1)
    open_board(page, "SN2200", board_id=2)
    until(page, lambda: element(page, "#in-0").get_attribute("data-level") == "1")
    element(page, "#out-3").click()
    until(page, lambda: vktsim.outputs("SN2200", 2) == 0x8)
    until(page, lambda: element(page, "#out-3").get_attribute("data-level") == "1")
    vktsim.set_inputs("SN2200", 2, 0x4)
    until(page, lambda: element(page, "#in-2").get_attribute("data-level") == "1")
    assert element(page, "#in-0").get_attribute("data-level") == "0"


def test_a_lost_signal_shows_in_the_page(page, viewer, tmp_path):
    open_board(page, "KTX21", camera_file(tmp_path, Timeout=200))
    start_and_wait_for_frames(page)
    vktsim.set_signal(viewer.session.board.device, False)
    text = until(page, lambda: element(page, "#errors").text)
    assert "Code:7 time-out: no frame for 200 ms" in text
    vktsim.set_signal(viewer.session.board.device, True)
    number = int(element(page, "#frame-number").text)
    until(page, lambda: int(element(page, "#frame-number").text) > number)


def test_a_screenshot_for_a_person(page, viewer, tmp_path):
    open_board(page, "KTX21", camera_file(tmp_path, Width=640, Height=480))
    y, x = np.mgrid[0:480, 0:640]
    scene = (96 + 80 * np.sin(x / 37.0) * np.cos(y / 23.0) + (x + y) / 20).astype(np.uint8)
    vktsim.set_frames(viewer.session.board.device, [scene])
    start_and_wait_for_frames(page)
    until(page, lambda: float(element(page, "#fps").text) > 40)
    from selenium.webdriver.common.action_chains import ActionChains
    ActionChains(page).move_to_element_with_offset(element(page, "#image"), 40, -30).perform()
    until(page, lambda: element(page, "#pixel").get_attribute("data-value"))
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    target = ARTIFACTS / "viewer.png"
    assert page.save_screenshot(str(target))
    print("screenshot of the viewer:", target)
    assert target.stat().st_size > 10000


def test_the_page_shows_large_frames_at_video_rate(page, viewer, tmp_path):
    """1024 x 1024 8-bit frames at 50 frames/s: the page draws at least 25 of
    them a second (frames/s counted by the page itself)."""
    open_board(page, "KTX21", camera_file(tmp_path, Width=1024, Height=1024))
    start_and_wait_for_frames(page)
    time.sleep(3)
    rates = []
    for _ in range(5):
        rates.append(int(element(page, "#shown-fps").text))
        time.sleep(0.5)
    print("frames/s drawn by the page:", rates)
    assert max(rates) >= 25, rates


def test_a_snapshot_is_the_frame_as_png(page, viewer, tmp_path):
    from PIL import Image
    downloads = tmp_path / "downloads"
    downloads.mkdir()
    page.execute_cdp_cmd("Browser.setDownloadBehavior",
                         {"behavior": "allow", "downloadPath": str(downloads)})
    frame = np.random.default_rng(5).integers(0, 256, (48, 64), dtype=np.uint8)
    open_board(page, "KTX21", camera_file(tmp_path))
    vktsim.set_frames(viewer.session.board.device, [frame])
    start_and_wait_for_frames(page)
    element(page, "#snapshot").click()
    saved = until(page, lambda: list(downloads.glob("snapshot-frame-*.png")))
    with Image.open(saved[0]) as image:
        np.testing.assert_array_equal(np.asarray(image.convert("L")), frame)


def canvas_pixel(browser, selector_script, x, y):
    """The RGB colour at ``x``, ``y`` of a canvas the script names."""
    return browser.execute_script(
        "const c = %s; return Array.from(c.getContext('2d').getImageData(%s, %s, 1, 1).data)"
        ".slice(0, 3);" % (selector_script, x, y))


def save_screenshot(browser, name):
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    target = ARTIFACTS / name
    assert browser.save_screenshot(str(target))
    print("screenshot of the viewer:", target)
    assert target.stat().st_size > 10000


@pytest.mark.parametrize("how", ["reloaded", "opened before"])
def test_the_first_frame_is_fitted_once_the_image_area_has_a_size(browser, viewer, tmp_path,
                                                                   how):
    """The first frame comes before the board's state shows the image area:
    it is fitted when the area gets its size, not to the hidden area."""
    y, x = np.mgrid[0:480, 0:640]
    scene = (60 + 150 * ((x // 80 + y // 80) % 2)).astype(np.uint8)
    if how == "reloaded":
        browser.get(viewer.url)
        open_board(browser, "KTX21", camera_file(tmp_path, Width=640, Height=480))
        vktsim.set_frames(viewer.session.board.device, [scene])
        start_and_wait_for_frames(browser)
        browser.refresh()
    else:
        viewer.open(model="KTX21", camera_file=camera_file(tmp_path, Width=640, Height=480))
        vktsim.set_frames(viewer.session.board.device, [scene])
        viewer.capture(True)
        viewer.frame()
        browser.get(viewer.url)
    until(browser, lambda: element(browser, "#frame-number").text not in ("", "-"))
    zoom = until(browser, lambda: element(browser, "#zoom-level").text)
    assert zoom != "0 %" and int(zoom.split()[0]) > 10
    width, height = browser.execute_script(
        "const c = document.getElementById('image'); return [c.width, c.height];")
    assert width > 100 and height > 100
    centre = until(browser, lambda: max(canvas_pixel(
        browser, "document.getElementById('image')", width // 2, height // 2)) and
        canvas_pixel(browser, "document.getElementById('image')", width // 2, height // 2))
    assert centre[0] in (60, 210)
    if how == "reloaded":
        save_screenshot(browser, "viewer-reload.png")
    viewer.capture(False)


TWELVE_BIT = (np.arange(48 * 64, dtype=np.uint16).reshape(48, 64) % 1001 + 1000)
TWELVE_BIT[40:, 56:] = 4095


def test_a_twelve_bit_camera_has_a_display_window_and_shows_saturation(page, viewer,
                                                                       tmp_path):
    open_board(page, "KTX22", camera_file(tmp_path, "KTX22", BitWidth=12))
    vktsim.set_frames(viewer.session.board.device, [TWELVE_BIT])
    start_and_wait_for_frames(page)
    assert element(page, "#frame-size").text == "64 x 48, 12 bit"
    until(page, lambda: element(page, "#display").is_displayed())
    low, high = element(page, "#window-low"), element(page, "#window-high")
    until(page, lambda: (low.get_attribute("value"), high.get_attribute("value"))
          == ("1000", "4095"))
    grey = "view.grey"
    until(page, lambda: canvas_pixel(page, grey, 60, 44) == [255, 0, 0])
    replace_text(low, "1000")
    replace_text(high, "2000")
    assert not element(page, "#window-auto").is_selected()
    at_1500 = 500   # row 7, column 52: (7 * 64 + 52) % 1001 + 1000 == 1500
    assert TWELVE_BIT[7, 52] == 1000 + at_1500
    until(page, lambda: canvas_pixel(page, grey, 52, 7) == [128, 128, 128])
    assert canvas_pixel(page, grey, 0, 0) == [0, 0, 0]
    element(page, "#saturation").click()
    until(page, lambda: canvas_pixel(page, grey, 60, 44) == [255, 255, 255])
    element(page, "#saturation").click()
    element(page, "#window-auto").click()
    until(page, lambda: high.get_attribute("value") == "4095")
    element(page, "#stop").click()


def test_a_screenshot_of_a_twelve_bit_camera_for_a_person(page, viewer, tmp_path):
    """A dim 12-bit scene stretched by the automatic display window, with a
    saturated spot drawn red."""
    open_board(page, "KTX22", camera_file(tmp_path, "KTX22", BitWidth=12, Width=640,
                                          Height=480))
    y, x = np.mgrid[0:480, 0:640]
    scene = 300 + 500 * (1 + np.sin(x / 41.0) * np.cos(y / 29.0)) + x
    spot = (x - 470) ** 2 + (y - 150) ** 2
    scene = np.where(spot < 40 ** 2, 4095, scene + 2400 * np.exp(-spot / 3000.0))
    vktsim.set_frames(viewer.session.board.device, [np.minimum(scene, 4095).astype(np.uint16)])
    start_and_wait_for_frames(page)
    until(page, lambda: element(page, "#display").is_displayed())
    until(page, lambda: float(element(page, "#fps").text) > 0)
    save_screenshot(page, "viewer-12bit.png")
    element(page, "#stop").click()


def test_an_eight_bit_camera_has_no_display_window(page, viewer, tmp_path):
    open_board(page, "KTX21", camera_file(tmp_path))
    start_and_wait_for_frames(page)
    assert not element(page, "#display").is_displayed()


def png_chunks(data):
    chunks, at = {}, 8
    while at < len(data):
        length = int.from_bytes(data[at:at + 4], "big")
        chunks.setdefault(data[at + 4:at + 8].decode(), data[at + 8:at + 8 + length])
        at += 12 + length
    return chunks


def test_a_twelve_bit_snapshot_keeps_its_twelve_bits(page, viewer, tmp_path):
    from PIL import Image
    downloads = tmp_path / "downloads"
    downloads.mkdir()
    page.execute_cdp_cmd("Browser.setDownloadBehavior",
                         {"behavior": "allow", "downloadPath": str(downloads)})
    open_board(page, "KTX22", camera_file(tmp_path, "KTX22", BitWidth=12))
    vktsim.set_frames(viewer.session.board.device, [TWELVE_BIT])
    start_and_wait_for_frames(page)
    element(page, "#snapshot").click()
    saved = until(page, lambda: list(downloads.glob("snapshot-frame-*.png")))
    data = saved[0].read_bytes()
    assert png_chunks(data)["IHDR"][8:10] == bytes([16, 0])   # 16-bit grey
    assert png_chunks(data)["sBIT"] == bytes([12])
    with Image.open(saved[0]) as image:
        np.testing.assert_array_equal(np.asarray(image).astype(np.uint16), TWELVE_BIT)


def test_a_long_refusal_is_readable_in_the_settings_at_1280_px(page, viewer, tmp_path):
    page.set_window_size(1280, 900)
    try:
        open_board(page, "KTX21", camera_file(tmp_path))
        replace_text(element(page, '#settings tr[data-name="TriggerMode"] input'), "9")
        cell = until(page, lambda: element(
            page, '#settings tr[data-name="TriggerMode"] td.error').text and element(
            page, '#settings tr[data-name="TriggerMode"] td.error'))
        fits = page.execute_script("""
            const cell = arguments[0], panel = document.getElementById('settings-panel');
            const inner = cell.getBoundingClientRect(), outer = panel.getBoundingClientRect();
            return [inner.left >= outer.left, inner.right <= outer.right,
                    cell.scrollWidth <= cell.clientWidth,
                    panel.scrollWidth <= panel.clientWidth];""", cell)
        assert fits == [True, True, True, True]
        assert cell.text.endswith("TriggerMode 9 is out of range 0..2 File:sim/core/state.cpp")
    finally:
        page.set_window_size(1400, 900)
