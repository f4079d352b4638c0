#!/usr/bin/python3
"""End-to-end test of `vimo studio` in headless Chromium driven through Selenium.

Usage: studio_browser.py VIMO_BINARY ARTEFACT_DIR. Exits 77 (skipped) when Chromium,
chromedriver or Selenium is missing. A line gauge is added, its centre handle dragged onto a
synthetic edge and its end handle turned by a known number of display pixels; the expected
nominal geometry is computed here from the display mapping (sensor = (display + 0.5) / zoom -
0.5 - pan) and checked in the tool file the server saves, read back by a second studio.
"""
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

SKIP = 77
EDGE_Y = 199.5  # the synthetic image is dark above row 200 and bright from it on


def find(*names):
    for name in names:
        path = shutil.which(name)
        if path:
            return path
    return None


try:
    from selenium import webdriver
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.actions.action_builder import ActionBuilder
    from selenium.webdriver.common.by import By
    from selenium.webdriver.chrome.service import Service
except ImportError:
    print("selenium missing: skipped")
    sys.exit(SKIP)


def write_pgm(path, width, height):
    pixels = bytearray()
    for y in range(height):
        pixels += bytes([200 if y >= 200 else 40]) * width
    with open(path, "wb") as f:
        f.write(b"P5\n%d %d\n255\n" % (width, height) + bytes(pixels))


class Studio:
    """A studio process; its URL is the first line it prints."""

    def __init__(self, binary, image, tools):
        self.process = subprocess.Popen([binary, "studio", image, tools], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("http://127.0.0.1:"):
            self.stop()
            raise AssertionError("no URL printed: %r %s" % (line, self.process.stderr.read()))
        self.url = line.strip()
        self.base = self.url.split("/?")[0]
        self.token = self.url.split("token=")[1]

    def state(self):
        request = urllib.request.Request(self.base + "/api/state", data=b"{}",
                                         headers={"X-Vimo-Token": self.token}, method="POST")
        with urllib.request.urlopen(request, timeout=10) as answer:
            return json.load(answer)

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()


def main():
    binary, artefacts = sys.argv[1], sys.argv[2]
    chromium = find("chromium", "chromium-browser", "google-chrome")
    driver_path = find("chromedriver")
    if not chromium or not driver_path:
        print("chromium or chromedriver missing: skipped")
        return SKIP
    os.makedirs(artefacts, exist_ok=True)
    work = tempfile.mkdtemp(prefix="vimo-studio-test-")
    image, tools = os.path.join(work, "edge.pgm"), os.path.join(work, "tools.vshp")
    write_pgm(image, 480, 360)
    studio = Studio(binary, image, tools)
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1200,800",
                 "--disable-dev-shm-usage"):
        options.add_argument(flag)
    browser = webdriver.Chrome(service=Service(driver_path), options=options)
    failures = []

    def check(condition, message):
        if not condition:
            failures.append(message)
            print("FAIL:", message)

    def idle():
        deadline = time.time() + 20
        while time.time() < deadline:
            if browser.execute_script(
                    "return document.body.dataset.pending === '0' && !!window.vimoState"):
                return browser.execute_script("return window.vimoState")
            time.sleep(0.05)
        raise AssertionError("the page did not settle")

    def to_sensor(x, y, view):
        return ((x + 0.5) / view["zoom"] - 0.5 - view["panX"],
                (y + 0.5) / view["zoom"] - 0.5 - view["panY"])

    def to_display(sx, sy, view):
        return (math.floor((sx + view["panX"] + 0.5) * view["zoom"]),
                math.floor((sy + view["panY"] + 0.5) * view["zoom"]))

    def drag(start, end, steps=4):
        actions = ActionBuilder(browser)
        actions.pointer_action.move_to_location(*start)
        actions.pointer_action.pointer_down()
        for i in range(1, steps + 1):
            actions.pointer_action.move_to_location(
                round(start[0] + (end[0] - start[0]) * i / steps),
                round(start[1] + (end[1] - start[1]) * i / steps))
        actions.pointer_action.pointer_up()
        actions.perform()

    def rows():
        return browser.find_elements(By.CSS_SELECTOR, "#results tbody tr")

    try:
        browser.get(studio.url)
        state = idle()
        browser.find_element(By.ID, "fit").click()
        state = idle()
        view = state["view"]
        check(view["zoom"] > 1, "Fit enlarges the 480 x 360 image in the view")
        browser.find_element(By.ID, "add-line").click()
        state = idle()
        gauge = state["gauges"][0]
        check(gauge["type"] == "line" and gauge["name"] == "Line1", "a line gauge was added")
        nominal = gauge["nominal"]
        # Centre handle onto the edge, by a whole number of display pixels.
        start = to_display(nominal["x"], nominal["y"], view)
        end = (start[0], start[1] + round((EDGE_Y - nominal["y"]) * view["zoom"]))
        drag(start, end)
        state = idle()
        centre = to_sensor(end[0], end[1], view)
        # End handle turned 30 display pixels down: the line turns about its centre to it.
        tip = to_display(nominal["x"] + nominal["length"] / 2, centre[1], view)
        drag(tip, (tip[0], tip[1] + 30))
        state = idle()
        tip_sensor = to_sensor(tip[0], tip[1] + 30, view)
        dx, dy = tip_sensor[0] - centre[0], tip_sensor[1] - centre[1]
        expected = {"x": centre[0], "y": centre[1], "length": 2 * math.hypot(dx, dy),
                    "angle": math.degrees(math.atan2(dy, dx))}
        table = rows()
        check(len(table) == 1, "one result row")
        cells = [td.text for td in table[0].find_elements(By.TAG_NAME, "td")]
        check(cells[0] == "Line1" and cells[1] == "yes", "the line is found: %s" % cells)
        result = state["results"][0]
        check(result["found"], "the results say found")
        browser.save_screenshot(os.path.join(artefacts, "studio.png"))
        # Selecting a row highlights its gauge; add a circle and delete it again.
        browser.find_element(By.ID, "add-circle").click()
        state = idle()
        check(len(rows()) == 2 and state["gauges"][1]["type"] == "circle", "a circle was added")
        browser.find_element(By.ID, "delete").click()
        state = idle()
        check(len(rows()) == 1 and state["gauges"][0]["name"] == "Line1", "the circle was deleted")
        rows()[0].click()
        state = idle()
        check(state["selected"] == 0 and "selected" in rows()[0].get_attribute("class"),
              "the row selects its gauge")
        check("#ff8c00" in state["svg"], "the selected gauge is drawn in the highlight colour")
        # Rename and retune through the form; the profiles toggle draws the sampling paths.
        for field, value in (("name", "Edge"), ("tolerance", "6")):
            browser.find_element(By.ID, field).clear()
            browser.find_element(By.ID, field).send_keys(value)
        browser.find_element(By.ID, "apply").click()
        state = idle()
        gauge = state["gauges"][0]
        check(gauge["name"] == "Edge" and abs(gauge["parameters"]["tolerance"] - 6) < 1e-6,
              "renamed and retuned: %s" % gauge)
        check("#ffc800" not in state["svg"], "no profiles drawn by default")
        browser.find_element(By.ID, "mode-profiles").click()
        state = idle()
        check(state["modes"]["profiles"] and "#ffc800" in state["svg"], "profiles drawn")
        browser.find_element(By.ID, "save").click()
        state = idle()
        check(os.path.exists(tools) and not state["dirty"], "the tool file was saved")
        check(not [f for f in os.listdir(work) if ".tmp" in f], "no temporary file is left")
    finally:
        browser.quit()
        studio.stop()

    # Reload: a second studio reads the tool file the first one saved.
    again = Studio(binary, image, tools)
    try:
        saved = again.state()
    finally:
        again.stop()
    check(len(saved["gauges"]) == 1 and saved["gauges"][0]["name"] == "Edge",
          "the saved file holds the renamed gauge")
    got = saved["gauges"][0]["nominal"]
    for key, value in expected.items():
        check(abs(got[key] - value) < 1e-3 * max(1.0, abs(value)),
              "saved %s %.4f, expected %.4f" % (key, got[key], value))
    check(saved["results"][0]["found"], "the reloaded line measures the edge")
    shutil.rmtree(work, ignore_errors=True)
    print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
