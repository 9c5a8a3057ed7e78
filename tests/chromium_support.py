"""Debian's headless Chromium for the tests of the viewer and the site,
driven by Selenium through Debian's chromedriver. Nothing downloads a browser
or a driver of its own: the driver is named, and the stages that run these
tests keep Selenium's manager offline (SE_OFFLINE)."""
import shutil

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"


def missing():
    """What is missing to start the browser, or None."""
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "selenium is not installed (pip install the test extra)"
    for path in (CHROMIUM, CHROMEDRIVER):
        if not shutil.which(path):
            return "%s is missing (apt-get install chromium chromium-driver)" % path
    return None


def start(width, height, *arguments):
    """A headless Chromium window of `width` x `height` with extra
    command-line `arguments`; the caller quits it."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-dev-shm-usage", "--window-size=%d,%d" % (width, height),
                     *arguments):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(executable_path=CHROMEDRIVER), options=options)
    driver.set_page_load_timeout(30)
    return driver
