#!/usr/bin/python3
"""The browser page in headless Chromium, as a user meets it: the worked example
and a failing input give the desktop's step size, list lines and picture (its
pixel hash from the desktop's kavrin_plot_hash); step counts that broke the
page before and a text of two million characters leave it working; the same
large press twice, and the step count an out-of-memory report suggests,
succeed; a long study leaves the page responsive and Cancel restores what was
shown; a link to a comparison opens it with the command line's rows; a
tableau in a link is added, with the command line's analysis and stability
report; the press time against the desktop's is printed; the page fits a phone's
width; an axe-core audit finds nothing; the browser log stays clean.
Usage: browser_test.py SITE PLOT_HASH KAVRIN AXE_JS [SCREENSHOT.png [PHONE.png [COMPARE.png]]]"""
import functools
import http.server
import re
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

# FNV-1a over the canvas as 0xAARRGGBB bytes, low byte first, as the desktop tool hashes.
CANVAS_HASH = """
const c = document.getElementById(arguments[0]);
const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
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
    site, plot_hash, kavrin, axe = sys.argv[1:5]
    screenshots = sys.argv[5:]

    class Quiet(http.server.SimpleHTTPRequestHandler):
        extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, '.wasm': 'application/wasm',
                          '.js': 'text/javascript'}

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Quiet, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for flag in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                 '--disable-background-networking', '--disable-component-update', '--disable-sync',
                 '--window-size=1280,1000', '--user-data-dir=' + tempfile.mkdtemp()):
        options.add_argument(flag)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    url = 'http://127.0.0.1:%d/index.html' % server.server_port
    try:
        driver.set_page_load_timeout(30)
        driver.set_script_timeout(120)

        def load():
            driver.get(url)
            WebDriverWait(driver, 30).until(
                lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))

        def idle():
            WebDriverWait(driver, 300, poll_frequency=0.02).until(
                lambda d: not d.execute_script("return document.getElementById('calculate').disabled"))

        def press(x1, n, method):
            driver.find_elements(By.CSS_SELECTOR, 'input[name="method"]')[method].click()
            # Long texts go in as a user pasting them would, not key by key.
            driver.execute_script("document.getElementById('x1').value = arguments[0];"
                                  "document.getElementById('N').value = arguments[1];", x1, n)
            driver.find_element(By.ID, 'N').send_keys(Keys.END, Keys.ENTER)  # Enter presses CALCULATE
            time.sleep(0.05)
            idle()

        def lines():
            return [li.get_attribute('textContent') for li in driver.find_elements(By.CSS_SELECTOR, '#list li')]

        def failure():
            return driver.find_element(By.ID, 'failure').text

        def desktop_hash(x1, n, method):
            return subprocess.run([plot_hash, x1, n, str(method)], check=True, capture_output=True,
                                  text=True).stdout.strip()

        load()
        # The methods come from the WebAssembly build: the desktop's captions.
        captions = subprocess.run([plot_hash, '--captions'], check=True, capture_output=True, text=True).stdout
        shown = [label.text.strip() for label in driver.find_elements(By.CSS_SELECTOR, '#methods label')]
        check(shown == captions.strip().split('\n'), 'method captions: %r' % shown)

        # The worked example.
        press('0.1', '1', 0)
        check(driver.find_element(By.ID, 'h').text == '0.1', 'step size of the worked example')
        check(lines() == ['0.1000    0.90000000       -0.90000000   Euler Method', ' '], 'lines: %r' % lines())
        check(driver.execute_script(CANVAS_HASH, 'plot') == desktop_hash('0.1', '1', 0), 'worked example picture')
        # A failing input: a report beside the inputs, the list and picture kept.
        press('0.5', 'abc', 3)
        check(failure().startswith('Division by zero') and '"abc"' in failure(), 'report: ' + failure())
        check(len(lines()) == 2, 'the list kept after a failure')
        check(driver.execute_script(CANVAS_HASH, 'plot') == desktop_hash('0.1', '1', 0), 'picture kept')
        # A longer run, lenient texts, another method.
        press('2', '2 00', 3)
        check(failure() == '', 'no report after a good press')
        good = '2.0000    2.70648291       1.22995147   Runge-Kutta-4 Method'
        check(lines()[2] == good, 'line: %r' % lines())
        check(driver.execute_script(CANVAS_HASH, 'plot') == desktop_hash('2', '200', 3), 'picture of 200 RK4 steps')
        if screenshots:
            driver.save_screenshot(screenshots[0])

        # Step counts whose tables cannot fit, and a very long text: a report
        # each, and the page goes on as before.
        for n in ('2147483646', '1073741822', '536870910', '2e8', '9' * 2_000_000):
            count = len(lines())
            press('1', n, 3)
            shown = failure()
            check(shown.startswith('Out of memory') or shown.startswith('Overflow'), 'N %s...: %s' % (n[:12], shown))
            check(len(shown) < 400, 'the report quotes a cut text: %d characters' % len(shown))
            check(len(lines()) == count, 'no line for N %s...' % n[:12])
            press('2', '200', 3)
            check(lines()[-2] == good and failure() == '', 'a press after N %s...: %r' % (n[:12], lines()[-2:]))
            check(driver.execute_script(CANVAS_HASH, 'plot') == desktop_hash('2', '200', 3), 'picture after it')

        # A long result line scrolls inside the list, which stays beside the picture.
        press('3', '10', 4)
        beside = driver.execute_script("""
            const p = document.getElementById('plot').getBoundingClientRect();
            const l = document.getElementById('list').getBoundingClientRect();
            return l.left >= p.right && l.top < p.bottom && document.documentElement.scrollWidth <= innerWidth;""")
        check(beside, 'the list beside the picture after a long line')

        # The step count the report suggests succeeds.

        press('1', '2147483646', 3)
        suggested = re.search(r'Enter at most (\d+) steps', failure())
        check(suggested is not None, 'a suggestion: ' + failure())
        if suggested:
            count = len(lines())
            press('1', suggested.group(1), 3)
            check(failure() == '' and len(lines()) == count + 2, 'the suggested N: ' + failure())

        # The same large press twice; the second is timed against the
        # desktop's command line on one core.
        press('1', '1e7', 3)
        check(failure() == '', 'N = 10^7: ' + failure())
        press('1', '1e7', 3)
        page = float(driver.execute_script('return document.body.dataset.pressSeconds'))
        check(failure() == '', 'N = 10^7 again: ' + failure())
        desktop = min(timed([*(['taskset', '-c', '0'] if has_taskset() else []), kavrin, '--x1', '1', '--steps', '1e7',
                             '--method', 'rk4']) for _ in range(3))
        print('press of N = 10^7 (RK4), from the click to the picture: page %.3f s, desktop command line on one '
              'core %.3f s, ratio %.2f' % (page, desktop, page / desktop))

        # The study: a table and a chart; then a long one stays cancellable.
        driver.find_element(By.ID, 'tab-study').click()
        driver.find_element(By.ID, 'run-study').click()
        idle()
        rows = driver.find_elements(By.CSS_SELECTOR, '#study-table tr')
        check(len(rows) == 1 + 7 * 11, 'study table rows: %d' % len(rows))
        inked = driver.execute_script("""
            const c = document.getElementById('study-chart');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            let n = 0; for (let i = 0; i < d.length; i += 4) if (d[i] < 128 && d[i + 2] > 128) ++n; return n;""")
        check(inked > 200, 'the chart has blue ink: %d pixels' % inked)
        check('round-off' in driver.find_element(By.ID, 'study-table').text, 'round-off marked in the table')
        print('the default study on the page: %.2f s'
              % float(driver.execute_script('return document.body.dataset.studySeconds')))
        chart = driver.execute_script(CANVAS_HASH, 'study-chart')
        # The same study against the work done: another chart, the same table.
        table = driver.find_element(By.ID, 'study-table').text
        driver.find_element(By.CSS_SELECTOR, '#study-against option[value="evaluations"]').click()
        driver.find_element(By.ID, 'run-study').click()
        idle()
        check(driver.execute_script(CANVAS_HASH, 'study-chart') != chart, 'a chart against evaluations')
        check(driver.find_element(By.ID, 'study-table').text == table, 'the same table against evaluations')
        chart = driver.execute_script(CANVAS_HASH, 'study-chart')

        table = driver.find_element(By.ID, 'study-table').text
        driver.execute_script("document.getElementById('study-steps').value = '10..16777216'")
        driver.find_element(By.ID, 'run-study').click()
        start = time.time()
        title = driver.execute_script('return document.title')
        answered = time.time() - start
        check(title.startswith('Kavrin') and answered < 1, 'a script call during the study: %.2f s' % answered)
        WebDriverWait(driver, 10).until(lambda d: d.find_element(By.ID, 'study-cancel').is_displayed())
        running = driver.execute_script("return document.getElementById('run-study').disabled")
        driver.find_element(By.ID, 'study-cancel').click()
        idle()
        check(running and driver.execute_script(CANVAS_HASH, 'study-chart') == chart, 'the chart kept after Cancel')
        check(driver.find_element(By.ID, 'study-table').text == table, 'the table kept after Cancel')
        check(driver.find_element(By.ID, 'study-failure').text == '', 'no report after Cancel')
        driver.execute_script("document.getElementById('study-steps').value = '20,40'")
        driver.find_element(By.ID, 'run-study').click()
        idle()
        check(len(driver.find_elements(By.CSS_SELECTOR, '#study-table tr')) == 1 + 7 * 2, 'a study after Cancel')
        # The tolerance sweep beside the fixed runs: its rows are the command line's.
        driver.find_element(By.ID, 'study-sweep').click()
        driver.execute_script("document.getElementById('study-steps').value = '10..2560'")
        driver.find_element(By.ID, 'run-study').click()
        idle()
        check(driver.find_element(By.ID, 'study-failure').text == '',
              'the sweep: ' + driver.find_element(By.ID, 'study-failure').text)
        swept = [' '.join(r.text.split()) for r in driver.find_elements(By.CSS_SELECTOR, '#study-sweep-table tr')]
        cli = subprocess.run([kavrin, '--compare', '--tolerances', '1e-3..1e-12', '--against', 'evaluations'],
                             check=True, capture_output=True, text=True).stdout
        cli_rows = [' '.join(line.split()) for line in cli.split('Steps chosen under a tolerance')[1].split('\n')[2:33]]
        # The wide type differs between builds: the rounding is compared apart, to its size.
        same = [a.split()[:7] == b.split()[:7] and a.split()[7][-3:] == b.split()[7][-3:]
                for a, b in zip(swept[1:], cli_rows[1:])]
        check(len(swept) == 31 and swept[0] == cli_rows[0] and all(same),
              'the sweep\'s rows against the command line\'s: %r' % [(a, b) for a, b in zip(swept, cli_rows) if a != b][:2])
        check('dopri54' in driver.find_element(By.ID, 'study-notes').text, 'the sweep\'s notes name its pairs')
        if len(screenshots) > 3:
            driver.execute_script("document.getElementById('study-chart').scrollIntoView()")
            driver.save_screenshot(screenshots[3])

        # An own system from the page's address: the command line's line for it.
        driver.get('about:blank')
        driver.get(url + '#f1=y2&f2=-y1&x0=0&y10=1&y20=0')

        WebDriverWait(driver, 30).until(lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))
        check([driver.find_element(By.ID, i).text for i in ('x0', 'y10', 'y20')] == ['0', '1', '0'],
              'the start of the system in the address')
        press('1', '10', 3)
        own = subprocess.run([kavrin, '--f1', 'y2', '--f2', '-y1', '--x0', '0', '--y10', '1', '--y20', '0', '--x1', '1',
                              '--steps', '10', '--method', 'rk4'], check=True, capture_output=True, text=True).stdout
        check(lines()[-2] == own.split('\n')[1], 'an own system: %r against %r' % (lines()[-2:], own))
        driver.find_element(By.ID, 'system-box').click()
        driver.execute_script("document.getElementById('system-f1').value = 'y2 + z'")
        driver.find_element(By.ID, 'system-use').click()
        WebDriverWait(driver, 10).until(lambda d: d.find_element(By.ID, 'system-failure').text != '')
        check(driver.find_element(By.ID, 'system-failure').text == "f1: unknown name 'z' at column 6",
              'a wrong equation: ' + driver.find_element(By.ID, 'system-failure').text)
        driver.find_element(By.ID, 'system-builtin').click()
        WebDriverWait(driver, 10).until(lambda d: d.find_element(By.ID, 'y20').text == '-1')
        press('2', '200', 3)
        check(lines()[-2] == good and '#' not in driver.current_url, 'back to the built-in system')

        # A NUL in the address's equation is refused at its column; the built-in system stays.
        driver.get('about:blank')
        driver.get(url + '#f1=y2%00%2B1000*y1&f2=-y1&y10=1&y20=0')
        WebDriverWait(driver, 30).until(lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))
        refused = driver.find_element(By.ID, 'system-failure').text
        check(refused == 'f1: a control character (U+0000) at column 3', 'a NUL in the address: ' + refused)
        shown = driver.find_element(By.ID, 'system-title').get_attribute('textContent')
        check(shown.startswith('the built-in '), 'the system after a refused address: ' + shown)

        # A link to a comparison opens it, and its rows are the command line's.
        driver.get('about:blank')
        driver.get(url + '#f1=y2&f2=-y1&x0=0&y10=1&y20=0&cx1=6.28&cn=40&cm=euler%2Crk4&cinv=y1%5E2%2By2%5E2')
        WebDriverWait(driver, 60).until(lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))
        check(driver.find_element(By.ID, 'compare').is_displayed(), 'the link opens the Compare tab')
        check(driver.find_element(By.ID, 'compare-failure').text == '',
              'comparison: ' + driver.find_element(By.ID, 'compare-failure').text)
        rows = driver.execute_async_script(
            "const done = arguments[arguments.length - 1]; engine.ask('compare-csv').then((a) => done(a.csv));")
        cli = subprocess.run([kavrin, '--f1', 'y2', '--f2', '-y1', '--x0', '0', '--y10', '1', '--y20', '0', '--x1', '6.28',
                              '--steps', '40', '--method', 'euler,rk4', '--invariant', 'y1^2+y2^2', '--along', '-'],
                             check=True, capture_output=True, text=True).stdout
        check(rows == cli, 'the page\'s rows against the command line\'s: %d and %d characters' % (len(rows or ''), len(cli)))
        notes = driver.find_element(By.ID, 'compare-notes').text
        check('rk4' in notes and 'drift' in notes, 'the comparison\'s notes: %r' % notes)
        for canvas in ('compare-phase', 'compare-error', 'compare-drift'):
            inked = driver.execute_script("""
                const c = document.getElementById(arguments[0]);
                const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
                let n = 0; for (let i = 0; i < d.length; i += 4) if (d[i] < 100 && d[i + 1] > 100) ++n; return n;""",
                                           canvas)
            check(inked > 100, '%s has green ink (RK4): %d pixels' % (canvas, inked))
        check('No step sizes along x' in notes, 'no pair chosen, no steps along x: %r' % notes)
        driver.find_element(By.CSS_SELECTOR, 'input[name="compare-method"][value="rkf"]').click()
        driver.find_element(By.ID, 'run-compare').click()
        idle()
        notes = driver.find_element(By.ID, 'compare-notes').text
        check('at tolerance 1e-6: ' in notes, 'the steps Fehlberg chose in the notes: %r' % notes)
        inked = driver.execute_script("""
            const c = document.getElementById('compare-step-size');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            let n = 0; for (let i = 0; i < d.length; i += 4) if (d[i] < 60 && d[i + 2] > 120) ++n; return n;""")
        check(inked > 100, 'the step size along x has blue ink (Fehlberg): %d pixels' % inked)
        if len(screenshots) > 2:
            driver.save_screenshot(screenshots[2])

        # A tableau in the link is added as a method: its analysis and its
        # stability report are the command line's for the same file.
        tableau = '# Mine\n0|\n2/3|2/3\n---\n|1/4 3/4\n'
        driver.get('about:blank')
        driver.get(url + '#' + urllib.parse.urlencode({'tid': 'mine', 'tb': tableau}))
        WebDriverWait(driver, 60).until(lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))
        driver.find_element(By.ID, 'tab-methods').click()
        with tempfile.TemporaryDirectory() as folder:
            path = folder + '/mine.tableau'
            with open(path, 'w') as f:
                f.write(tableau)
            cli = subprocess.run([kavrin, '--check-tableau', path], check=True, capture_output=True, text=True).stdout
            analysis = driver.find_element(By.ID, 'tableau-analysis').get_attribute('textContent')
            check(analysis + '\n' == cli, 'the page\'s analysis: %r against %r' % (analysis, cli))
            driver.execute_script(
                "document.querySelectorAll('input[name=\"stability-method\"]')"
                ".forEach((c) => { c.checked = c.value === 'rk4' || c.value === 'mine'; });"
                "document.getElementById('stability-x1').value = '2.7';"
                "document.getElementById('stability-steps').value = '10';")
            driver.find_element(By.ID, 'run-stability').click()
            time.sleep(0.05)
            idle()
            report = driver.find_element(By.ID, 'stability-report').get_attribute('textContent')
            cli = subprocess.run([kavrin, '--stability', '--tableau', path, '--x1', '2.7', '--steps', '10',
                                  '--method', 'rk4,mine'], check=True, capture_output=True, text=True).stdout
            check(report == cli, 'the page\'s stability report against the command line\'s: %r' % report[:200])
        inked = driver.execute_script("""
            const c = document.getElementById('stability-chart');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            let n = 0; for (let i = 0; i < d.length; i += 4) if (d[i] < 100 && d[i + 1] > 100) ++n; return n;""")
        check(inked > 100, 'the stability chart has green ink (RK4): %d pixels' % inked)
        check('tid=mine' in driver.current_url, 'the address keeps the tableau: ' + driver.current_url)
        # A tableau with second weights joins the study's pairs; one without does not.
        pairs = driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            addTableau('heun12', '# Heun-Euler\\n0|\\n1|1\\n---\\n|1/2 1/2\\n|1 0\\n').then(() => done(
                [...document.querySelectorAll('input[name="study-pair"]')].map((c) => c.value)));""")
        check('heun12' in pairs and 'mine' not in pairs, 'the study\'s pairs after two tableaux: %r' % pairs)
        driver.get('about:blank')
        load()

        # The warning past the pole, decided from x1 at any N, as the command line gives it.
        for x1, n, method in (('3', '10', 6), ('2.730593733', '100', 3), ('2.730593732514523', '100', 3)):
            press(x1, n, method)
            cli = subprocess.run([kavrin, '--x1', x1, '--steps', n, '--method', 'rk4g' if method == 6 else 'rk4'],
                                 capture_output=True, text=True)
            warning = cli.stderr.replace('kavrin: warning: ', 'Note: ').strip()
            check(failure() == warning, 'x1 = %s, N = %s: %r against %r' % (x1, n, failure(), warning))

        check_the_problem_shown(driver, url, press, lines, failure, kavrin)

        # No accessibility violation, on either tab.

        driver.execute_script(open(axe).read())
        for tab in ('tab-study', 'tab-compare', 'tab-methods', 'tab-calculation'):
            driver.find_element(By.ID, tab).click()
            violations = driver.execute_async_script(
                "const done = arguments[arguments.length - 1];"
                "axe.run(document).then((r) => done(r.violations.map((v) => v.id + ': ' + v.help)));")
            check(violations == [], 'axe-core on %s: %r' % (tab, violations))

        # The browser log: no errors, no content refused by the page's policy.
        errors = [entry['message'] for entry in driver.get_log('browser')
                  if entry['level'] == 'SEVERE' or 'Content Security Policy' in entry['message']]
        check(errors == [], 'browser log: %r' % errors[:5])

        # A phone's width: nothing makes the page wider than the window.
        driver.set_window_size(360, 800)
        load()
        press('2', '200', 3)
        for tab in ('tab-calculation', 'tab-study', 'tab-compare', 'tab-methods'):
            driver.find_element(By.ID, tab).click()
            if tab != 'tab-calculation':
                driver.find_element(By.ID, 'run-' + {'tab-methods': 'stability'}.get(tab, tab[4:])).click()
                idle()
            wide = driver.execute_script('return [document.documentElement.scrollWidth, window.innerWidth]')
            check(wide[0] <= wide[1], 'at 360 px, %s is %d px wide in a %d px window' % (tab, wide[0], wide[1]))
        if len(screenshots) > 1:
            driver.find_element(By.ID, 'tab-calculation').click()
            driver.execute_script('window.scrollTo(0, 0)')
            driver.save_screenshot(screenshots[1])
    finally:
        driver.quit()
        server.shutdown()
    print('%d passed, %d failed' % (checks - failures, failures))
    return 1 if failures else 0


def check_the_problem_shown(driver, url, press, lines, failure, kavrin):
    """The page computes the system it shows: after a refused system, a
    cancelled press, a system sent during a press that is then cancelled, and
    a replaced worker, each press gives the command line's line for the
    system in the title."""
    def cli_line(f1, f2, y10, y20):
        out = subprocess.run([kavrin, '--f1', f1, '--f2', f2, '--x0', '0', '--y10', y10, '--y20', y20, '--x1', '1',
                              '--steps', '10', '--method', 'rk4'], check=True, capture_output=True, text=True).stdout
        return out.split('\n')[1]

    def use(f1, f2='-y1', y10='1', y20='0'):
        driver.execute_script("""for (const [k, v] of Object.entries(arguments[0]))
                                   document.getElementById('system-' + k).value = v;""",
                              {'f1': f1, 'f2': f2, 'y10': y10, 'y20': y20, 'x0': '0'})
        driver.find_element(By.ID, 'system-use').click()

    def title():
        return driver.find_element(By.ID, 'system-title').get_attribute('textContent')

    def cancelled_press():
        driver.execute_script("document.getElementById('x1').value = '1';"
                              "document.getElementById('N').value = '40000000';")
        driver.find_element(By.ID, 'calculate').click()
        WebDriverWait(driver, 30).until(lambda d: d.find_element(By.ID, 'press-cancel').is_displayed())

    oscillator = cli_line('y2', '-y1', '1', '0')
    driver.get(url + '#f1=y2&f2=-y1&x0=0&y10=1&y20=0')
    WebDriverWait(driver, 30).until(lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))
    driver.find_element(By.ID, 'system-box').click()
    use('y2+')
    WebDriverWait(driver, 10).until(lambda d: d.find_element(By.ID, 'system-failure').text != '')
    check(title() == "y1' = y2, y2' = -y1", 'the title after a refused system: ' + title())
    cancelled_press()
    driver.find_element(By.ID, 'press-cancel').click()
    press('1', '10', 3)
    check(lines()[-2] == oscillator, 'after a refused system and a Cancel: %r against %r' % (lines()[-2], oscillator))

    # A system sent during a press, which is then cancelled, is used all the same.
    cancelled_press()
    use('y2', '-4*y1')
    driver.find_element(By.ID, 'press-cancel').click()
    WebDriverWait(driver, 10).until(lambda d: 'y2\' = -4*y1' in title())
    press('1', '10', 3)
    check(lines()[-2] == cli_line('y2', '-4*y1', '1', '0'), 'a system sent during a cancelled press: %r' % lines()[-2:])

    # A worker replaced as after a failure: the fresh one gets the system on show.
    driver.execute_script("engine.restart('replaced')")
    press('1', '10', 3)
    check(lines()[-2] == cli_line('y2', '-4*y1', '1', '0'), 'after a replaced worker: %r' % lines()[-2:])
    check(failure() == '', 'no report after a replaced worker: ' + failure())


def has_taskset():
    return subprocess.run(['sh', '-c', 'command -v taskset'], capture_output=True).returncode == 0


def timed(command):
    start = time.time()
    subprocess.run(command, check=True, capture_output=True)
    return time.time() - start


if __name__ == '__main__':
    sys.exit(main())
