#!/usr/bin/python3
"""The page in a real browser (headless Chromium through chromedriver): opened from disk,
two pictures loaded through its file inputs, a slider moved with the keyboard, every
format saved, and the downloads compared with `lumiveil synth`'s files byte for byte; no
request may leave the page after it has loaded. Also measures a slider step on a
12-megapixel pair and the page's start (reported, not asserted).

  page_test.py PAGE.html LUMIVEIL SAMPLES_DIR [--screenshots DIR]
"""
import argparse
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

ARGS = None
FORMATS = [  # download name (the button's data-file), synth's output name and options
    ('lumiveil.png', 'out.png', []),
    ('lumiveil-palette.png', 'out.png', ['--indexed']),
    ('lumiveil.gif', 'out.gif', []),
    ('lumiveil.bmp', 'out.bmp', []),
]


def chromium(downloads, profile, width=1280, height=900):
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    # The network is closed here: without these flags the browser keeps trying to reach
    # its services (and as root it needs --no-sandbox).
    for flag in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic',
                 '--no-first-run', '--disable-background-networking',
                 '--disable-component-update', '--disable-sync',
                 '--disable-dev-shm-usage', f'--user-data-dir={profile}',
                 f'--window-size={width},{height}'):
        options.add_argument(flag)
    options.add_experimental_option('prefs', {
        'download.default_directory': downloads, 'download.prompt_for_download': False})
    options.set_capability('goog:loggingPrefs', {'performance': 'ALL'})
    driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    driver.execute_cdp_cmd('Browser.setDownloadBehavior',
                           {'behavior': 'allow', 'downloadPath': downloads})
    return driver


def tool(*args):
    subprocess.run([ARGS.tool, *args], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix='lumiveil-page-')
        cls.downloads = os.path.join(cls.work, 'downloads')
        os.mkdir(cls.downloads)
        cls.driver = chromium(cls.downloads, os.path.join(cls.work, 'profile'))
        cls.page = 'file://' + os.path.abspath(ARGS.page)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.work, ignore_errors=True)

    def open_page(self):
        self.driver.get_log('performance')  # drop what came before
        self.driver.get(self.page)
        started = time.monotonic()
        while not self.driver.execute_script('return window.lumiveil && window.lumiveil.ready'):
            self.assertLess(time.monotonic() - started, 30, 'the page did not start')
            time.sleep(0.02)
        self.driver.get_log('performance')  # the page's own load is allowed

    def requests(self):
        """The URLs the page asked for since the last call (data: and blob: are the page's
        own memory, not the network)."""
        urls = []
        for entry in self.driver.get_log('performance'):
            message = json.loads(entry['message'])['message']
            if message['method'] == 'Network.requestWillBeSent':
                url = message['params']['request']['url']
                if not url.startswith(('data:', 'blob:')):
                    urls.append(url)
        return urls

    def load(self, which, path):
        """Loads a file through a picker and waits until the page says it has it (the
        status line names the file with its size; the box may still show the last one)."""
        field = self.driver.find_element(By.ID, f'file-{which}')
        field.send_keys(os.path.abspath(path))
        loaded = re.compile(re.escape(os.path.basename(path)) + r': \d+ x \d+$')
        started = time.monotonic()
        while True:
            status = self.driver.find_element(By.ID, 'status')
            if loaded.match(status.text):
                break
            self.assertNotIn('error', status.get_attribute('class'), status.text)
            self.assertLess(time.monotonic() - started, 60, f'{path} did not load')
            time.sleep(0.05)

    def press(self, element_id, key, times):
        element = self.driver.find_element(By.ID, element_id)
        # send_keys focuses the slider without a click (a click would move it).
        for _ in range(times):
            element.send_keys(key)

    def saved(self, name):
        path = os.path.join(self.downloads, name)
        started = time.monotonic()
        while not os.path.exists(path) or any(
                f.endswith('.crdownload') for f in os.listdir(self.downloads)):
            self.assertLess(time.monotonic() - started, 30, f'{name} was not downloaded')
            time.sleep(0.05)
        with open(path, 'rb') as f:
            data = f.read()
        os.remove(path)
        return data

    def same_bytes(self, visible, hidden, average, contrast):
        """Saves every format and compares each download with synth's file."""
        buttons = self.driver.find_elements(By.CSS_SELECTOR, '.saves button')
        self.assertEqual(sorted(b.get_attribute('data-file') for b in buttons),
                         sorted(f[0] for f in FORMATS))
        for download, out, flags in FORMATS:
            with self.subTest(format=download, visible=os.path.basename(visible)):
                self.driver.find_element(
                    By.CSS_SELECTOR, f'.saves button[data-file="{download}"]').click()
                got = self.saved(download)
                expected_path = os.path.join(self.work, out)
                tool('synth', visible, hidden, '-o', expected_path, '--average', str(average),
                     '--contrast', str(contrast), *flags)
                with open(expected_path, 'rb') as f:
                    expected = f.read()
                self.assertEqual(len(got), len(expected))
                self.assertTrue(got == expected, f'{download} differs from synth\'s file')

    def sliders(self):
        value = lambda i: int(self.driver.find_element(By.ID, i).get_attribute('value'))
        return value('average'), value('contrast'), int(
            self.driver.find_element(By.ID, 'contrast').get_attribute('max'))

    def test_saves_what_the_tool_saves_and_asks_the_network_nothing(self):
        self.open_page()
        self.assertEqual(self.sliders(), (128, 127, 128))
        samples = ARGS.samples
        # BMP files through the core's own reader.
        self.load('visible', os.path.join(samples, 'coffee.bmp'))
        self.load('hidden', os.path.join(samples, 'chelsea.bmp'))
        # The average down to 100 with the keyboard, each step a slider step; the contrast
        # limit follows (L(100) = 100), the contrast is pulled down to it.
        self.press('average', Keys.ARROW_LEFT, 28)
        self.assertEqual(self.sliders(), (100, 100, 100))
        self.press('contrast', Keys.ARROW_LEFT, 35)
        self.assertEqual(self.sliders(), (100, 65, 100))
        self.same_bytes(os.path.join(samples, 'coffee.bmp'), os.path.join(samples, 'chelsea.bmp'),
                        100, 65)
        # PNG files decoded by the browser: one the tool wrote (no colour-management
        # chunk), and the bundled photo, which carries an ICC profile that the page ignores
        # as the tool's reader does.
        plain = os.path.join(self.work, 'chelsea-odd.png')
        tool('resize', os.path.join(samples, 'chelsea.bmp'), plain, '333', '501')
        self.load('visible', os.path.join(samples, 'astronaut.png'))
        self.load('hidden', plain)
        self.press('average', Keys.ARROW_RIGHT, 100)
        self.assertEqual(self.sliders(), (200, 55, 55))
        self.same_bytes(os.path.join(samples, 'astronaut.png'), plain, 200, 55)
        # The reveal views are the tool's (its help lists them), the sheet first chosen; each
        # draws without an error, and both scores show.
        self.driver.find_element(By.CSS_SELECTOR, '.tabs button[data-show="3"]').click()
        views = Select(self.driver.find_element(By.ID, 'reveal-view'))
        self.assertEqual(views.first_selected_option.text, 'sheet')
        names = [o.text for o in views.options]
        self.assertEqual(len(names), 7)
        help_text = subprocess.run([ARGS.tool, 'reveal', '--help'], check=True,
                                   capture_output=True, text=True).stdout
        for name in names:
            with self.subTest(view=name):
                self.assertRegex(help_text, rf'\b{name}\b')
                views.select_by_visible_text(name)
                status = self.driver.find_element(By.ID, 'status')
                self.assertNotIn('error', status.get_attribute('class'), status.text)
                self.assertNotEqual(self.driver.find_element(By.ID, 'zoom-scale').text, 'Fit')
        scores = self.driver.find_element(By.ID, 'scores').text
        self.assertIn('visible', scores)
        self.assertIn('hidden', scores)
        # Once the sliders rest, the band found in the result is the one the tool finds in
        # the same result (synth's BMP file from the last comparison).
        report = subprocess.run(
            [ARGS.tool, 'reveal', os.path.join(self.work, 'out.bmp'), '-o',
             os.path.join(self.work, 'sheet.bmp')], check=True, capture_output=True,
            text=True).stdout
        found = dict(line.split(': ', 1) for line in report.splitlines() if ': ' in line)
        expected = f'found in the result: {found["average"]}, {found["contrast"]})'
        started = time.monotonic()
        while expected not in self.driver.find_element(By.ID, 'scores').text:
            self.assertLess(time.monotonic() - started, 10,
                            self.driver.find_element(By.ID, 'scores').text)
            time.sleep(0.05)
        # A target's verdict as the tool's check gives it for the page's PNG with the same
        # pictures (the core's codecs in WebAssembly against the Linux build's).
        self.assertEqual(Select(self.driver.find_element(By.ID, 'target')).options[0].text,
                         'none')
        Select(self.driver.find_element(By.ID, 'target')).select_by_visible_text('jpeg85')
        started = time.monotonic()
        while not self.driver.find_element(By.ID, 'verdict').text.startswith('hidden picture'):
            self.assertLess(time.monotonic() - started, 60,
                            self.driver.find_element(By.ID, 'verdict').text)
            time.sleep(0.1)
        verdict = self.driver.find_element(By.ID, 'verdict').text
        png = os.path.join(self.work, 'check.png')
        tool('synth', os.path.join(samples, 'astronaut.png'), plain, '-o', png, '--average', '200',
             '--contrast', '55')
        line = subprocess.run([ARGS.tool, 'check', png, '--target', 'jpeg85', '--visible',
                               os.path.join(samples, 'astronaut.png'), '--hidden', plain],
                              check=True, capture_output=True, text=True).stdout
        tool_scores = re.search(r'visible-psnr ([\d.]+), hidden-psnr ([\d.]+) (\w+) '
                                r'\(grey ([\d.]+)\)', line)
        page_scores = re.search(r'hidden picture (\w+) \(([\d.]+) dB, grey ([\d.]+) dB\), '
                                r'normal view ([\d.]+) dB', verdict)
        self.assertIsNotNone(tool_scores, line)
        self.assertIsNotNone(page_scores, verdict)
        self.assertEqual(page_scores[1], tool_scores[3], f'page: {verdict}; tool: {line}')
        for page, tool_value in ((page_scores[2], tool_scores[2]), (page_scores[3], tool_scores[4]),
                                 (page_scores[4], tool_scores[1])):
            self.assertAlmostEqual(float(page), float(tool_value), delta=0.05,
                                   msg=f'page: {verdict}; tool: {line}')
        self.assertIn('stored band lost', verdict)
        # A slider step leaves the verdict for Check to renew.
        self.press('contrast', Keys.ARROW_LEFT, 30)
        self.assertIn('Check again', self.driver.find_element(By.ID, 'verdict').text)
        self.driver.find_element(By.ID, 'check-target').click()
        started = time.monotonic()
        while not self.driver.find_element(By.ID, 'verdict').text.startswith('hidden picture'):
            self.assertLess(time.monotonic() - started, 60,
                            self.driver.find_element(By.ID, 'verdict').text)
            time.sleep(0.1)
        self.assertNotEqual(self.driver.find_element(By.ID, 'verdict').text, verdict)
        self.assertEqual(self.requests(), [])

    def test_slider_step_at_twelve_megapixels(self):
        visible = os.path.join(self.work, 'big.bmp')
        hidden = os.path.join(self.work, 'bighid.bmp')
        tool('resize', os.path.join(ARGS.samples, 'coffee.bmp'), visible, '4000', '3000')
        tool('resize', os.path.join(ARGS.samples, 'chelsea.bmp'), hidden, '2000', '1500')
        self.open_page()
        ready = self.driver.execute_script('return window.lumiveil.readyAt')
        self.load('visible', visible)
        self.load('hidden', hidden)
        self.driver.execute_script('window.lumiveil.timings.length = 0')
        self.press('contrast', Keys.ARROW_LEFT, 40)
        timings = self.driver.execute_script('return window.lumiveil.timings')
        self.assertEqual(len(timings), 40)
        print(f'\nslider step at 12 megapixels, input event to drawn result: median '
              f'{statistics.median(timings):.1f} ms, slowest {max(timings):.1f} ms '
              f'({len(timings)} steps); page ready {ready:.0f} ms after it was opened',
              file=sys.stderr)
        # A target's check at this size takes seconds; it runs beside the page, which takes
        # a slider step before the check has ended, and then does not show the verdict on
        # the older result as the current one.
        Select(self.driver.find_element(By.ID, 'target')).select_by_visible_text('jpeg85')
        started = time.monotonic()
        while not self.driver.execute_script('return window.lumiveil.checkStarted'):
            self.assertLess(time.monotonic() - started, 10, 'the check did not start')
            time.sleep(0.02)
        self.press('contrast', Keys.ARROW_RIGHT, 1)
        started = time.monotonic()
        while not self.driver.execute_script('return window.lumiveil.checks.length'):
            self.assertLess(time.monotonic() - started, 120, 'the check did not end')
            time.sleep(0.1)
        check = self.driver.execute_script('return window.lumiveil.checks[0]')
        step = self.driver.execute_script('return window.lumiveil.lastStep')
        self.assertLess(check['started'], step)
        self.assertLess(step, check['ended'], 'the slider step waited for the check')
        self.assertEqual(self.driver.find_element(By.ID, 'verdict').text,
                         'the result has changed: Check again')
        self.assertEqual(self.requests(), [])
        if ARGS.screenshots:
            self.screenshots()

    def screenshots(self):
        """The desktop and the phone-sized page with the pair loaded (for docs/)."""
        os.makedirs(ARGS.screenshots, exist_ok=True)
        self.driver.find_element(By.ID, 'check-target').click()
        started = time.monotonic()
        while not self.driver.find_element(By.ID, 'verdict').text.startswith('hidden picture'):
            self.assertLess(time.monotonic() - started, 120, 'no verdict for the screenshot')
            time.sleep(0.2)
        self.driver.set_window_size(1280, 860)
        time.sleep(0.3)
        self.driver.save_screenshot(os.path.join(ARGS.screenshots, 'web.png'))
        self.driver.set_window_size(390, 1100)
        time.sleep(0.3)
        self.driver.save_screenshot(os.path.join(ARGS.screenshots, 'web-phone.png'))
        self.driver.set_window_size(1280, 900)


if __name__ == '__main__':
    parser = argparse.ArgumentParser()
    parser.add_argument('page')
    parser.add_argument('tool')
    parser.add_argument('samples')
    parser.add_argument('--screenshots')
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
