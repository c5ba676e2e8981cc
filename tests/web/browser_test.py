#!/usr/bin/python3
"""The dashboard in a real browser: Debian's chromium, headless, driven by
selenium, against the real program fed telegrams over its TCP link.

Checks that the page lists the tank names worst first under a summary of
their states (by name on a click, numbers by value), that a state's chip filters the list, that a faulty tank's
detail says so, that the rows are compact (40 of them at 1920 x 1080), that
the chart reads out the point under the pointer, that a telegram changes the
shown level within 3 s, that the charts of a few minutes, a day and a year label
their time axis as the span needs and end at the live level, that a loss
shows, that the console stays free of errors and that a phone's
375 px leave no horizontal scroll bar. Exits 77 (skipped) without chromium.
With --shots DIR it also saves the page at desktop and phone widths."""
import fcntl
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
from datetime import datetime, timedelta

SKIP = 77
program = sys.argv[1]
shots = sys.argv[sys.argv.index('--shots') + 1] if '--shots' in sys.argv else None
if shots:
    os.makedirs(shots, exist_ok=True)

chromium = shutil.which('chromium')
driver_path = shutil.which('chromedriver') or '/usr/bin/chromedriver'
if not chromium or not os.path.exists(driver_path):
    print('SKIPPED: chromium or chromedriver is not installed (tools/setup.sh installs them)')
    sys.exit(SKIP)
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By


_held = []


def free_port():
    """A loopback port below the system's range for outgoing connections, so
    none takes it by chance, reserved by the lock file the C++ tests use too
    (tests/support/TestSupport.cpp) until this script ends."""
    folder = os.path.join(tempfile.gettempdir(), 'tankmon-test-ports')
    os.makedirs(folder, exist_ok=True)
    start = os.getpid() * 7919
    for i in range(12000):
        port = 20000 + (start + i) % 12000
        f = open(os.path.join(folder, str(port)), 'a+')
        try:
            fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
            with socket.socket() as s:
                s.bind(('127.0.0.1', port))
        except OSError:
            f.close()
            continue
        _held.append(f)
        return port
    raise AssertionError('no free port')


def telegram(sn, level, temperature=15, alarm=0):
    """level: the content, or an error code as text ('E008')."""
    bcd = int(str(level).zfill(4), 16)
    b = [0x02, 0x11, 9, sn >> 8 & 255, sn & 255, temperature + 128, alarm, bcd >> 8, bcd & 255, 0, 1,
         5000 >> 8, 5000 & 255, 1500 >> 8, 1500 & 255, 0, 0, 0, 0x03]
    b[17] = sum(b[1:17]) & 255
    return bytes(b).hex().upper().encode() + b'\n'


def send(port, lines):
    """As a gateway does: connect, wait for the greeting, send, hang up (the
    program cuts a connection after a few seconds anyway)."""
    with socket.create_connection(('127.0.0.1', port)) as gateway:
        assert gateway.recv(8) == b'TANKMON\n'
        gateway.sendall(lines)


def wait(pred, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if pred():
            return
        time.sleep(0.05)
    raise AssertionError('timed out: ' + what)


def history(points):
    """A tank file of (time, level) points, as the program writes one."""
    return b''.join(b'%s,%d,Liter,12\r\n' % (t.strftime('%d.%m.%Y %H:%M:%S').encode(), v) for t, v in points)


# The charts' histories: a few minutes, a day, a year, each ending before the
# live telegram, whose level differs from the last recorded one.
now = datetime.now().replace(microsecond=0)
spans = {
    'minutes': [(now - timedelta(seconds=30 * i), 2000 + i) for i in range(12, 1, -1)],
    'day': [(now - timedelta(minutes=15 * i), 2500 + 5 * i) for i in range(96, 1, -1)],
    'year': [(now - timedelta(days=i), 1000 + 10 * (i % 300)) for i in range(365, 1, -1)],
}


def check_chart(browser, tank, months, live, shots, name):
    """The chart of a tank: at least four time labels that name what the span
    needs, none touching another or leaving the picture, and the line ending
    at the live level."""
    browser.execute_script("document.getElementById('range').value = arguments[0];", str(months))
    browser.find_element(By.CSS_SELECTOR, '#fleet tbody tr[data-tank="%d"]' % tank).click()
    browser.execute_script("document.getElementById('range').dispatchEvent(new Event('change'));")
    state = lambda: browser.execute_script(
        "const c = document.getElementById('chart');"
        " return c.dataset.labels && document.getElementById('detail-name').textContent"
        " ? [JSON.parse(c.dataset.labels), Number(c.dataset.lastValue), c.clientWidth] : null;")
    wait(lambda: state() is not None and state()[1] == live, 5, 'the chart of tank %d' % tank)
    labels, last, width = state()
    texts = [l['text'] for l in labels]
    assert len(labels) >= 4, texts
    assert len(set(texts)) == len(texts), 'labels repeat: %s' % texts
    for a, b in zip(labels, labels[1:]):
        assert a['to'] < b['from'], 'labels overlap: %s' % labels
    assert labels[0]['from'] >= 0 and labels[-1]['to'] <= width, (labels, width)
    # Within two days the labels name hours and minutes (a midnight its date).
    clock = sum(':' in t for t in texts)
    assert clock >= len(texts) - 1 if name != 'year' else clock == 0, 'span %s labelled %s' % (name, texts)
    if shots:
        browser.find_element(By.ID, 'detail').screenshot(os.path.join(shots, 'chart-%s.png' % name))
    print('chart of a %s: %s' % (name, ', '.join(texts)))


def texts(browser, script):
    return browser.execute_script('return ' + script)


def check_summary(browser, names):
    """The summary counts the states (each chip in a colour of its own), the
    list shows the worst first, a chip filters, and the faulty tank's detail
    names the fault."""
    wait(lambda: texts(browser, "document.getElementById('headline').textContent") == '2 tanks need attention',
         5, 'the summary')
    chips = texts(browser, "[...document.querySelectorAll('#chips .chip')].map(c =>"
                           " [c.dataset.filter, c.textContent, getComputedStyle(c).backgroundColor])")
    assert [c[:2] for c in chips] == [['all', 'All5'], ['alarm', 'Alarm1'], ['fault', 'Fault1'],
                                      ['ok', 'OK3']], chips
    colours = [c[2] for c in chips[1:]]
    assert len(set(colours)) == len(colours), colours
    order = texts(browser, "[...document.querySelectorAll('#fleet tbody tr')].map(r => r.dataset.tank)")
    assert order[:2] == ['2', '5'], 'not worst first: %s' % order
    shown = texts(browser, "[...document.querySelectorAll('#fleet td.name')].map(c => c.innerText)")
    assert sorted(shown) == sorted(names), shown
    # By name: numbers by value, either way round; then worst first again.
    by_name = ['Brunnen', 'Heizöl Keller', 'Regenwasser Zisterne Nord mit sehr langem Namen', 'Tank 2', 'Tank 10']
    for expected in (by_name, by_name[::-1]):
        browser.find_element(By.CSS_SELECTOR, '#fleet th[data-key="name"]').click()
        wait(lambda: texts(browser, "[...document.querySelectorAll('#fleet td.name')].map(c => c.innerText)")
             == expected, 3, 'sorted by name: %s' % expected)
    browser.find_element(By.CSS_SELECTOR, '#fleet th[data-key="state"]').click()

    browser.find_element(By.CSS_SELECTOR, '#chips .chip[data-filter="fault"]').click()
    wait(lambda: texts(browser, "[...document.querySelectorAll('#fleet tbody tr')].map(r => r.dataset.tank)")
         == ['5'], 3, 'the fault filter')
    browser.find_element(By.CSS_SELECTOR, '#fleet tbody tr[data-tank="5"]').click()
    wait(lambda: 'E008' in texts(browser, "document.getElementById('detail-note').textContent"), 5,
         'the fault in the detail')
    badge = texts(browser, "document.querySelector('#detail-state .state').className")
    assert 'st-fault' in badge, badge
    print('fault detail: ' + texts(browser, "document.getElementById('detail-state').innerText"))
    browser.find_element(By.CSS_SELECTOR, '#chips .chip[data-filter="fault"]').click()
    wait(lambda: len(browser.find_elements(By.CSS_SELECTOR, '#fleet tbody tr')) == 5, 3, 'the filter off')
    months = texts(browser, "[...document.getElementById('range').options].map(o => o.text)")
    assert months[:2] == ['1 month', '3 months'], months


def check_readout(browser):
    """The pointer over the chart: the point under it in words."""
    from selenium.webdriver.common.action_chains import ActionChains
    canvas = browser.find_element(By.ID, 'chart')
    wait(lambda: texts(browser, "document.getElementById('chart').dataset.lastValue") is not None, 5, 'the chart')
    ActionChains(browser).move_to_element_with_offset(canvas, canvas.size['width'] // 2 - 20, 0).perform()
    wait(lambda: texts(browser, "document.getElementById('readout').textContent") != '', 3, 'the read-out')
    print('read-out: ' + texts(browser, "document.getElementById('readout').textContent"))


def main():
    folder = tempfile.mkdtemp(prefix='tankmon-browser-')
    link, web = free_port(), free_port()
    names = ['Heizöl Keller', 'Regenwasser Zisterne Nord mit sehr langem Namen', 'Tank 10', 'Tank 2', 'Brunnen']
    ini = ('[LngPtnr]\r\nLngId=2\r\n[COM]\r\nClientPort=%d\r\n[Common]\r\nActiveNet=1\r\n'
           '[Web]\r\nAktiv=1\r\nPort=%d\r\n[Geräte]\r\nAnzahl=5\r\n' % (link, web))
    serials = [4711, 815, 1200, 1300, 1400]
    for n, (sn, name) in enumerate(zip(serials, names), 1):
        ini += '[Gerät%d]\r\nSN=%d\r\nGerätetyp=9\r\nTankbezeichnung=%s\r\nTankvolumen=5000\r\n' % (n, sn, name)
    for n, span in ((1, 'minutes'), (3, 'day'), (4, 'year')):
        with open(os.path.join(folder, 'Tank%d.csv' % n), 'wb') as f:
            f.write(history(spans[span]))
    with open(os.path.join(folder, 'Tankmon.ini'), 'wb') as f:
        f.write(ini.encode('cp1252'))
    proc = subprocess.Popen([program, '--headless', '--data-dir', folder], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    browser = None
    out = b''
    try:
        while b'[ready]' not in out:
            line = proc.stdout.readline()
            if not line:
                raise AssertionError('the program ended: ' + out.decode(errors='replace'))
            out += line
        send(link, telegram(4711, 1234) + telegram(815, 300, alarm=1) + telegram(1200, 3333) +
             telegram(1300, 4444) + telegram(1400, 'E008'))

        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for arg in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                    '--window-size=1400,900'):
            options.add_argument(arg)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        browser = webdriver.Chrome(service=Service(driver_path), options=options)
        browser.get('http://127.0.0.1:%d/' % web)
        # Read in the page in one step: the table is redrawn on every event, so
        # an element found first may be gone before its text is asked for.
        level = lambda: browser.execute_script(
            "const c = document.querySelector('#fleet tbody tr[data-tank=\"1\"] td.level');"
            " return c ? c.textContent : '';")
        wait(lambda: '1,234' in level() or '1234' in level(), 10, 'the first level')
        wait(lambda: len(browser.find_elements(By.CSS_SELECTOR, '#fleet td.name')) == 5, 10, 'five tanks')
        check_summary(browser, names)

        send(link, telegram(4711, 2345))
        sent = time.monotonic()
        wait(lambda: '2,345' in level() or '2345' in level(), 3, 'the new level within 3 s')
        print('level shown %.0f ms after the telegram' % ((time.monotonic() - sent) * 1000))

        for tank, months, live, name in ((1, 3, 2345, 'minutes'), (3, 3, 3333, 'day'), (4, 24, 4444, 'year')):
            check_chart(browser, tank, months, live, shots, name)

        browser.find_element(By.CSS_SELECTOR, '#fleet tbody tr[data-tank="1"]').click()
        wait(lambda: browser.find_element(By.ID, 'consumption').text != '', 5, 'the consumption table')
        check_readout(browser)
        if shots:
            os.makedirs(shots, exist_ok=True)
            browser.save_screenshot(os.path.join(shots, 'desktop.png'))

        # Full HD: at least 40 rows fit below the summary.
        browser.set_window_size(1920, 1080)
        height = browser.execute_script('return window.innerHeight')
        browser.set_window_size(1920, 1080 + (1080 - height))
        top, row = browser.execute_script(
            "const r = document.querySelector('#fleet tbody tr').getBoundingClientRect();"
            " return [r.top + window.scrollY, r.height];")
        assert top + 40 * row <= 1080, 'rows of %.1f px from %.0f px: %d fit' % (row, top, (1080 - top) // row)
        print('at 1920 x 1080: %d rows fit' % ((1080 - top) // row))

        browser.set_window_size(375, 812)
        width = browser.execute_script('return window.innerWidth')
        browser.set_window_size(375 + (375 - width), 812)  # the viewport itself 375 px wide
        browser.get('http://127.0.0.1:%d/' % web)
        wait(lambda: len(browser.find_elements(By.CSS_SELECTOR, '#fleet td.name')) == 5, 10, 'the phone page')
        # One line a tank.
        rows = browser.execute_script(
            "const line = parseFloat(getComputedStyle(document.body).lineHeight);"
            " return [...document.querySelectorAll('#fleet tbody tr')].map(r => r.getBoundingClientRect().height / line);")
        assert max(rows) < 1.6, 'phone rows of %s lines' % rows
        inside, whole = browser.execute_script(
            "const l = document.getElementById('list'); return [l.clientWidth, l.scrollWidth];")
        assert whole <= inside, 'the phone table is %d px wide in %d' % (whole, inside)
        browser.find_element(By.CSS_SELECTOR, '#fleet tbody tr[data-tank="1"]').click()
        wait(lambda: browser.find_element(By.ID, 'consumption').text != '', 5, 'the phone detail')
        # Below the table, the detail is brought into view: scrolled towards,
        # as far as the page goes.
        top, scrolled = browser.execute_script(
            "return [document.getElementById('detail').getBoundingClientRect().top, window.scrollY];")
        assert 0 <= top < 812 / 2 and scrolled > 0, 'the detail at %d px, scrolled %d px' % (top, scrolled)
        inner, scroll = browser.execute_script(
            'return [window.innerWidth, document.documentElement.scrollWidth]')
        assert inner == 375, inner
        assert scroll <= inner, 'horizontal scroll at %d px: content %d px wide' % (inner, scroll)
        if shots:
            browser.save_screenshot(os.path.join(shots, 'phone.png'))

        # A fall from 67 % to 20 % within minutes, from a level two readings
        # reached, confirmed by a second reading: the row shows the loss.
        send(link, telegram(1200, 3333) + telegram(1200, 1001) + telegram(1200, 1000))
        loss = lambda: browser.execute_script(
            "const b = document.querySelector('#fleet tbody tr[data-tank=\"3\"] .state.st-loss');"
            " return b ? b.textContent : '';")
        wait(lambda: loss() == 'Loss', 3, 'the loss shown')

        errors = [e for e in browser.get_log('browser') if e['level'] == 'SEVERE']
        assert not errors, errors
        print('OK')
    except BaseException:
        # What the program said is what tells why.
        proc.terminate()
        rest, _ = proc.communicate(timeout=15)
        print('--- the program\'s output ---\n' + (out + rest).decode(errors='replace'), file=sys.stderr)
        raise
    finally:
        if browser:
            browser.quit()
        proc.terminate()
        try:
            proc.wait(15)
        except subprocess.TimeoutExpired:
            proc.kill()
        shutil.rmtree(folder, ignore_errors=True)


main()
