#!/usr/bin/python3
"""The browser page in headless Chromium: the worked example and a failing
input give the desktop's step size, list lines and picture (its pixel hash
from the desktop's kavrin_plot_hash), and the study tab shows a table and a
chart. Usage: browser_test.py SITE_DIR PLOT_HASH_PROGRAM [SCREENSHOT.png]"""
import functools
import http.server
import subprocess
import sys
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

# FNV-1a over the canvas as 0xAARRGGBB bytes, low byte first, as the desktop tool hashes.
CANVAS_HASH = """
const g = document.getElementById('plot').getContext('2d');
const d = g.getImageData(0, 0, 317, 245).data;
let h = 2166136261 >>> 0;
for (let i = 0; i < d.length; i += 4) {
  for (const b of [d[i + 2], d[i + 1], d[i], d[i + 3]]) { h ^= b; h = Math.imul(h, 16777619) >>> 0; }
}
return h.toString(16).padStart(8, '0');
"""

checks = 0
failures = 0


def check(condition, what):
    global checks, failures
    checks += 1
    if not condition:
        failures += 1
        print('FAILED:', what)


def main():
    site, plot_hash = sys.argv[1], sys.argv[2]
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    handler = functools.partial(Quiet, directory=site)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for flag in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                 '--disable-background-networking', '--disable-component-update', '--disable-sync',
                 '--window-size=1280,1000', '--user-data-dir=' + tempfile.mkdtemp()):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    try:
        driver.set_page_load_timeout(30)
        driver.get('http://127.0.0.1:%d/index.html' % server.server_port)
        WebDriverWait(driver, 30).until(lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))

        def press(x1, n, method):
            driver.find_elements(By.CSS_SELECTOR, 'input[name="method"]')[method].click()
            for field, value in (('x1', x1), ('N', n)):
                box = driver.find_element(By.ID, field)
                box.clear()
                box.send_keys(value)
            driver.find_element(By.ID, 'N').send_keys(Keys.ENTER)  # Enter presses CALCULATE

        def lines():
            return [li.get_attribute('textContent') for li in driver.find_elements(By.CSS_SELECTOR, '#list li')]

        def desktop_hash(x1, n, method):
            return subprocess.run([plot_hash, x1, n, str(method)], check=True, capture_output=True,
                                  text=True).stdout.strip()

        # The worked example.
        press('0.1', '1', 0)
        check(driver.find_element(By.ID, 'h').text == '0.1', 'step size of the worked example')
        check(lines() == ['0.1000    0.90000000       -0.90000000   Euler Method', ' '], 'lines: %r' % lines())
        check(driver.execute_script(CANVAS_HASH) == desktop_hash('0.1', '1', 0), 'picture of the worked example')
        # A failing input: a report beside the inputs, the list and picture kept.
        press('0.5', 'abc', 3)
        failure = driver.find_element(By.ID, 'failure').text
        check(failure.startswith('Division by zero') and '"abc"' in failure, 'report: ' + failure)
        check(len(lines()) == 2, 'the list kept after a failure')
        check(driver.execute_script(CANVAS_HASH) == desktop_hash('0.1', '1', 0), 'picture kept after a failure')
        # A longer run, lenient texts, another method.
        press('2', '2 00', 3)
        check(driver.find_element(By.ID, 'failure').text == '', 'no report after a good press')
        check(lines()[2] == '2.0000    2.70648291       1.22995147   Runge-Kutta-4 Method', 'line: %r' % lines())
        check(driver.execute_script(CANVAS_HASH) == desktop_hash('2', '200', 3), 'picture of 200 RK4 steps')
        if len(sys.argv) > 3:
            driver.save_screenshot(sys.argv[3])

        # The study tab: a table and a chart.
        driver.find_element(By.ID, 'tab-study').click()
        driver.find_element(By.ID, 'run-study').click()
        rows = driver.find_elements(By.CSS_SELECTOR, '#study-table tr')
        check(len(rows) == 1 + 7 * 11, 'study table rows: %d' % len(rows))
        inked = driver.execute_script("""
            const d = document.getElementById('study-chart').getContext('2d').getImageData(0, 0, 900, 600).data;
            let n = 0; for (let i = 0; i < d.length; i += 4) if (d[i] < 128 && d[i + 2] > 128) ++n; return n;""")
        check(inked > 200, 'the chart has blue ink: %d pixels' % inked)
        check('round-off' in driver.find_element(By.ID, 'study-table').text, 'round-off marked in the table')
    finally:
        driver.quit()
        server.shutdown()
    print('%d passed, %d failed' % (checks - failures, failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
