"""The built documentation site (tools/docs.sh builds it into docs/_build/html).

Every public name of ``unit`` and ``vktsim`` must be in the built reference,
no page may load anything from outside, and in Debian's headless Chromium the
index lists every guide, the guides show their samples, the settings page
shows every setting of every model, a reference page opens and the search
box finds ``wait_event``; the screenshots the pages show are taken on the
way, into docs/images/. The
tests of the built site run where VKT_REQUIRE_DOCS_SITE=1 (set by
tools/stage_docs.sh, right after it builds the site), and there a missing
site or browser fails them; elsewhere they are skipped, since the suite's
other runs carry sanitizer runtimes a browser must not inherit and a site
left from an earlier build may be stale. The test file the testing guide
shows runs in any case.
"""
import inspect
import os
import pathlib
import re
import subprocess
import zlib

import pytest

import unit
import vktsim

import chromium_support
from conftest import USER_PYTEST
from test_examples import example_env   # numpy's allocations at exit are not judged

REPO = pathlib.Path(__file__).resolve().parent.parent
SITE = REPO / "docs" / "_build" / "html"
# The screenshots the pages show (and the README points to) are taken here,
# so every run of the stage brings them up to date with the site.
SCREENSHOTS = REPO / "docs" / "images"
GUIDES = REPO / "docs" / "guides"


def _require(missing):
    if os.environ.get("VKT_REQUIRE_DOCS_SITE") != "1":
        pytest.skip("run by tools/stage_docs.sh (VKT_REQUIRE_DOCS_SITE=1)")
    if missing:
        pytest.fail(missing)


@pytest.fixture(scope="module")
def site():
    _require(None if (SITE / "index.html").is_file() else
             "the site is not built (bash tools/docs.sh)")
    return SITE


def documented_names(site):
    """The Python objects of the built reference, from its inventory."""
    data = (site / "objects.inv").read_bytes()
    compressed = data.split(b"\n", 4)[4]
    names = {}
    for line in zlib.decompress(compressed).decode().splitlines():
        found = re.match(r"(\S+) py:\w+ -?\d+ (\S+)", line)
        if found:
            uri = found.group(2)
            names[found.group(1)] = uri.replace("$", found.group(1))
    return names


def public_names(module):
    """(name, names it may be documented under) of every public name of a
    module, its classes and their members; a member may be documented on the
    class it is inherited from. Members that only Python's built-in classes
    define (``unit.Exception.args``) are Python's own documentation."""
    for name in sorted(dir(module)):
        if name.startswith("_"):
            continue
        full = "%s.%s" % (module.__name__, name)
        yield full, {full}
        value = getattr(module, name)
        if not inspect.isclass(value):
            continue
        for member in sorted(dir(value)):
            if member.startswith("_"):
                continue
            owners = [cls for cls in value.__mro__ if member in vars(cls)]
            if all(cls.__module__ == "builtins" for cls in owners):
                continue
            yield "%s.%s" % (full, member), {
                "%s.%s" % (full, member)} | {
                "%s.%s.%s" % (cls.__module__, cls.__qualname__, member) for cls in owners}


@pytest.mark.parametrize("module", [unit, vktsim], ids=lambda module: module.__name__)
def test_every_public_name_is_in_the_reference(site, module):
    names = documented_names(site)
    missing = [name for name, accepted in public_names(module) if not accepted & names.keys()]
    assert missing == []


def test_every_reference_entry_leads_to_its_anchor(site):
    names = documented_names(site)
    pages = {}
    absent = []
    for name, uri in names.items():
        page, _, anchor = uri.partition("#")
        text = pages.setdefault(page, (site / page).read_text(encoding="utf-8"))
        if anchor and 'id="%s"' % anchor not in text:
            absent.append(name)
    assert absent == []
    assert len(names) > 400


def test_nothing_is_loaded_from_outside(site):
    loads = []
    for path in sorted(site.rglob("*")):
        if path.suffix not in (".html", ".css", ".js"):
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        if path.suffix == ".html":
            found = re.findall(r"""(?:src|href|action|data)\s*=\s*["']?\s*((?:https?:)?//[^"'\s>]+)""",
                               text, re.IGNORECASE)
        elif path.suffix == ".css":
            found = re.findall(r"""(?:url\(\s*["']?|@import\s+["'])((?:https?:)?//[^"')\s]+)""",
                               text, re.IGNORECASE)
        else:
            found = re.findall(r"""(?:fetch|import|open|src\s*=)\s*\(?\s*["'`]((?:https?:)?//[^"'`]+)""",
                               text, re.IGNORECASE)
        loads += ["%s: %s" % (path.relative_to(site), url) for url in found]
    assert loads == []


def test_the_test_file_the_testing_guide_shows_passes(tmp_path):
    sample = REPO / "docs" / "samples" / "test_conveyor.py"
    result = subprocess.run(
        [*USER_PYTEST, "-q", "-p", "vktsim_pytest", "--rootdir", str(tmp_path), str(sample)],
        cwd=tmp_path, env=example_env(), capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stdout + result.stderr
    assert "3 passed" in result.stdout


# ---- in headless Chromium

@pytest.fixture(scope="module")
def browser(site):
    _require(chromium_support.missing())
    driver = chromium_support.start(1280, 900, "--allow-file-access-from-files")
    yield driver
    driver.quit()


def _open(browser, page):
    browser.get((SITE / page).as_uri())


def _screenshot(browser, name):
    SCREENSHOTS.mkdir(parents=True, exist_ok=True)
    browser.save_screenshot(str(SCREENSHOTS / name))


def _wait_for(browser, condition, seconds=30):
    from selenium.webdriver.support.ui import WebDriverWait
    return WebDriverWait(browser, seconds).until(condition)


def page_title(path):
    """The title of a page of the site's sources: its first line."""
    return path.read_text(encoding="utf-8").splitlines()[0].strip()


def test_the_index_opens_and_lists_every_guide(browser):
    _open(browser, "index.html")
    assert "unit" in browser.title
    links = {link.text.strip().replace("\u2019", "'")
             for link in browser.find_elements("css selector", "article a")}
    titles = {page_title(path) for path in GUIDES.glob("*.rst")} | {"API reference"}
    assert titles - links == set()
    _screenshot(browser, "index.png")


def test_a_guide_opens_with_its_samples(browser):
    _open(browser, "guides/capture-numpy.html")
    blocks = browser.find_elements("css selector", "div.highlight pre")
    assert any(">>> board.lock(ring)" in block.text for block in blocks)
    _screenshot(browser, "guide.png")


def _show(browser, element):
    # The theme scrolls smoothly; a screenshot must not catch it half-way.
    browser.execute_script("document.documentElement.style.scrollBehavior = 'auto';"
                           "arguments[0].scrollIntoView({block: 'start', behavior: 'instant'});"
                           "window.scrollBy({top: -60, behavior: 'instant'})", element)


def _block_with(browser, text):
    blocks = [block for block in browser.find_elements("css selector", "div.highlight pre")
              if text in block.text]
    assert blocks, "no code block shows %r" % text
    return blocks[0]


# (page, what it must show in a code block, screenshot)
PAGES_WITH_SAMPLES = [
    ("guides/command-line.html", "MODEL   ID  CH  STATE  IDENTITY", "command-line.png"),
    ("guides/camera-files.html", "# KTX22 camera file", "camera-files.png"),
    ("guides/ktx22-line-scan.html", "def image_of(n):", "ktx22-line-scan.png"),
]


@pytest.mark.parametrize("page, sample, screenshot", PAGES_WITH_SAMPLES,
                         ids=[page for page, _, _ in PAGES_WITH_SAMPLES])
def test_a_new_guide_shows_its_samples_run(browser, page, sample, screenshot):
    _open(browser, page)
    block = _block_with(browser, sample)
    _show(browser, block)
    _screenshot(browser, screenshot)


def test_the_settings_page_shows_every_setting_of_every_model(browser):
    from vkt import boards
    _open(browser, "guides/settings.html")
    for model in ("KTX21", "KTX22", "MR250", "SNR11", "SN2200", "TK560"):
        rows = browser.find_elements("css selector", "tr[id^='%s-']" % model.lower())
        assert [row.find_element("css selector", "td").text for row in rows] == \
            [setting.name for setting in boards.settings_table(model)]
    height = browser.find_element("id", "ktx22-height")
    assert "Lines per frame" in height.text and "1 to 16384" in height.text
    _show(browser, browser.find_element("css selector", "section[id^='ktx22']"))
    _screenshot(browser, "settings.png")


def test_a_reference_page_shows_its_members_and_statuses(browser):
    _open(browser, "reference/api/unit/KTX22.html")
    member = browser.find_element("id", "unit.KTX22.wait_event")
    assert "wait_event" in member.text
    description = member.find_element("xpath", "following-sibling::dd").text
    assert "RuntimeError" in description
    _show(browser, member)
    _screenshot(browser, "reference.png")


def test_the_search_box_finds_wait_event(browser):
    _open(browser, "index.html")
    box = browser.find_element("css selector", "input[name=q]")
    box.send_keys("wait_event")
    box.submit()
    _wait_for(browser, lambda driver: driver.find_elements(
        "css selector", "#search-results li a[href*='wait_event']"))
    found = [link.get_attribute("href") for link in browser.find_elements(
        "css selector", "#search-results li a[href*='wait_event']")]
    assert any(href.endswith("reference/api/unit/KTX22.html#unit.KTX22.wait_event")
               for href in found)


# ---- the settings page's tables (docs/_ext/settings_tables.py), without a build

@pytest.fixture
def settings_tables(monkeypatch):
    pytest.importorskip("docutils")
    pytest.importorskip("sphinx")
    monkeypatch.syspath_prepend(str(REPO / "docs" / "_ext"))
    import settings_tables
    return settings_tables


def test_a_note_on_a_setting_that_no_table_has_is_reported(settings_tables, monkeypatch):
    from vkt import boards
    names = {model: {setting.name for setting in boards.settings_table(model)}
             for model in settings_tables.DIO_MODELS + settings_tables.GRABBER_MODELS}
    assert settings_tables.check_notes(names) == []
    notes = settings_tables.setting_notes
    monkeypatch.setitem(notes.NOTES["KTX22"], "LinesPerFrame", "renamed long ago")
    monkeypatch.setitem(notes.DIO, "DIFilter", "a shared note nobody has")
    assert settings_tables.check_notes(names) == ["shared: DIFilter", "KTX22: LinesPerFrame"]


def test_the_probed_ranges_are_the_edges_the_board_keeps(settings_tables):
    rows = {setting.name: (value, accepted)
            for setting, value, accepted in settings_tables.probe("MR250")}
    assert rows["VideoOffset"] == (0, (-128, 127))
    assert rows["Width"] == (640, (1, 768))
    assert rows["DeviceID"] == (0, None)                 # read-only: not probed
    assert rows["CameraName"] == ("Simulated analog camera", None)
    assert vktsim.live_objects() == 0                    # every probe's board is gone


@pytest.mark.parametrize("accepted, kind, writable, shown", [
    ((1, 16384), "int", True, "1 to 16384"),
    ((0, 1), "int", True, "0 or 1"),
    ((-2 ** 31, 2 ** 31 - 1), "int", True, "any 32-bit signed number"),
    ((0, 2 ** 32 - 1), "int", True, "0 to 4294967295 (32 bits, unsigned)"),
    (None, "text", True, "any text"),
    (None, "int", False, ""),
])
def test_a_range_reads_as_a_person_says_it(settings_tables, accepted, kind, writable, shown):
    assert settings_tables.describe_range(accepted, kind, writable) == shown
