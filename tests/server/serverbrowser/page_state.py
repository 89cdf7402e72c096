"""Opens a page in headless Chromium and waits, in real time, until the text
of its element with id "state" is no longer "waiting"; prints that text and,
when a file name is given, saves a screenshot of the page there.

Chromium is driven over its DevTools pipe (file descriptors 3 and 4), so the
wait does not depend on a virtual time budget racing the media pipeline.

usage: page_state.py CHROMIUM URL SCREENSHOT|- LIMIT_SECONDS [CHROMIUM FLAGS...]
"""
import base64
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'common'))
from devtools_pipe import Browser  # noqa: E402

chromium, url, shot, limit = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
browser = Browser(chromium, sys.argv[5:])
try:
    session = browser.page()
    browser.call('Page.navigate', {'url': url}, session)
    state = 'waiting'
    end = time.monotonic() + limit
    while time.monotonic() < end:
        result = browser.call('Runtime.evaluate', {
            'expression': "(document.getElementById('state') || {}).textContent || 'waiting'",
            'returnByValue': True}, session)
        state = result['result'].get('value', 'waiting')
        if state != 'waiting':
            break
        time.sleep(0.1)
    if shot != '-':
        picture = browser.call('Page.captureScreenshot', {'format': 'png'}, session)
        with open(shot, 'wb') as file:
            file.write(base64.b64decode(picture['data']))
    print(state)
finally:
    browser.close()
