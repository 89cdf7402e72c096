"""Opens a page in headless Chromium and waits, in real time, until the text
of its element with id "state" is no longer "waiting"; prints that text and,
when a file name is given, saves a screenshot of the page there.

Chromium is driven over its DevTools pipe (file descriptors 3 and 4), so the
wait does not depend on a virtual time budget racing the media pipeline.

usage: page_state.py CHROMIUM URL SCREENSHOT|- LIMIT_SECONDS [CHROMIUM FLAGS...]
"""
import base64
import json
import os
import subprocess
import sys
import time

chromium, url, shot, limit = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
flags = sys.argv[5:]
to_chrome_read, to_chrome_write = os.pipe()
from_chrome_read, from_chrome_write = os.pipe()
browser = subprocess.Popen(
    ['sh', '-c', 'exec "$0" "$@" 3<&%d 4>&%d' % (to_chrome_read, from_chrome_write),
     chromium, '--remote-debugging-pipe', *flags, 'about:blank'],
    pass_fds=(to_chrome_read, from_chrome_write), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
os.close(to_chrome_read)
os.close(from_chrome_write)
pending = b''
next_id = 0


def call(method, params=None, session=None):
    global pending, next_id
    next_id += 1
    message = {'id': next_id, 'method': method, 'params': params or {}}
    if session:
        message['sessionId'] = session
    os.write(to_chrome_write, json.dumps(message).encode() + b'\0')
    while True:
        while b'\0' not in pending:
            chunk = os.read(from_chrome_read, 1 << 16)
            if not chunk:
                raise SystemExit('chromium ended')
            pending += chunk
        text, pending = pending.split(b'\0', 1)
        answer = json.loads(text)
        if answer.get('id') == next_id:
            if 'error' in answer:
                raise SystemExit('%s: %s' % (method, answer['error']))
            return answer['result']


try:
    target = call('Target.createTarget', {'url': url})['targetId']
    session = call('Target.attachToTarget', {'targetId': target, 'flatten': True})['sessionId']
    state = 'waiting'
    end = time.monotonic() + limit
    while time.monotonic() < end:
        result = call('Runtime.evaluate', {
            'expression': "(document.getElementById('state') || {}).textContent || 'waiting'",
            'returnByValue': True}, session)
        state = result['result'].get('value', 'waiting')
        if state != 'waiting':
            break
        time.sleep(0.1)
    if shot != '-':
        picture = call('Page.captureScreenshot', {'format': 'png'}, session)
        with open(shot, 'wb') as file:
            file.write(base64.b64decode(picture['data']))
    print(state)
finally:
    try:
        call('Browser.close')
    except BaseException:
        browser.kill()
    browser.wait(10)
