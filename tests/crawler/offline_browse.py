"""Opens pages one after another in headless Chromium, driven over its DevTools
pipe (file descriptors 3 and 4), and reports every request each page made and
every one that failed, as one JSON object on standard output:
  {"pages": [{"url": ..., "requests": [url, ...], "failed": [[url, error], ...]}]}
With OFFLINE 1 the browser's network is switched off, so a page that still
reaches for a server shows it as a failed request. When SHOT is a file name,
the first page is saved there as a PNG once it has loaded.

usage: offline_browse.py CHROMIUM SHOT|- OFFLINE URL...
"""
import base64
import json
import os
import select
import subprocess
import sys
import tempfile
import time

chromium, shot, offline, urls = sys.argv[1], sys.argv[2], sys.argv[3] == '1', sys.argv[4:]
LOAD_LIMIT = 15.0
QUIET = 0.5  # the page is done once nothing was asked for this long after it loaded

profile = tempfile.TemporaryDirectory()
to_chrome_read, to_chrome_write = os.pipe()
from_chrome_read, from_chrome_write = os.pipe()
flags = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--allow-file-access-from-files', '--hide-scrollbars', '--window-size=900,700',
         '--user-data-dir=' + profile.name, '--remote-debugging-pipe', 'about:blank']
browser = subprocess.Popen(
    ['sh', '-c', 'exec "$0" "$@" 3<&%d 4>&%d' % (to_chrome_read, from_chrome_write), chromium, *flags],
    pass_fds=(to_chrome_read, from_chrome_write), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
os.close(to_chrome_read)
os.close(from_chrome_write)
pending = b''
next_id = 0
events = []


def receive(timeout):
    """One message from the browser, or None when none came in time."""
    global pending
    end = time.monotonic() + timeout
    while b'\0' not in pending:
        left = end - time.monotonic()
        if left <= 0 or not select.select([from_chrome_read], [], [], left)[0]:
            return None
        chunk = os.read(from_chrome_read, 1 << 16)
        if not chunk:
            raise SystemExit('chromium ended')
        pending += chunk
    text, pending = pending.split(b'\0', 1)
    return json.loads(text)


def call(method, params=None, session=None):
    global next_id
    next_id += 1
    message = {'id': next_id, 'method': method, 'params': params or {}}
    if session:
        message['sessionId'] = session
    os.write(to_chrome_write, json.dumps(message).encode() + b'\0')
    while True:
        answer = receive(LOAD_LIMIT)
        if answer is None:
            raise SystemExit('%s: no answer' % method)
        if answer.get('id') == next_id:
            if 'error' in answer:
                raise SystemExit('%s: %s' % (method, answer['error']))
            return answer['result']
        if 'method' in answer:
            events.append(answer)


def settle(loaded_before):
    """Takes events until the page has loaded and nothing more is asked for."""
    loaded = loaded_before
    end = time.monotonic() + LOAD_LIMIT
    while time.monotonic() < end:
        message = receive(QUIET if loaded else end - time.monotonic())
        if message is None:
            if loaded:
                return
            continue
        if 'method' in message:
            events.append(message)
            loaded = loaded or message['method'] == 'Page.loadEventFired'


try:
    target = call('Target.createTarget', {'url': 'about:blank'})['targetId']
    session = call('Target.attachToTarget', {'targetId': target, 'flatten': True})['sessionId']
    call('Page.enable', session=session)
    call('Network.enable', session=session)
    if offline:
        call('Network.emulateNetworkConditions',
             {'offline': True, 'latency': 0, 'downloadThroughput': -1, 'uploadThroughput': -1}, session)
    report = []
    for index, url in enumerate(urls):
        events.clear()
        call('Page.navigate', {'url': url}, session)
        settle(any(e['method'] == 'Page.loadEventFired' for e in events))
        asked = {}
        failed = []
        for event in events:
            params = event.get('params', {})
            if event['method'] == 'Network.requestWillBeSent':
                asked[params['requestId']] = params['request']['url']
            elif event['method'] == 'Network.loadingFailed':
                failed.append([asked.get(params['requestId'], '?'), params.get('errorText', '')])
        report.append({'url': url, 'requests': list(asked.values()), 'failed': failed})
        if index == 0 and shot != '-':
            picture = call('Page.captureScreenshot', {'format': 'png'}, session)
            with open(shot, 'wb') as file:
                file.write(base64.b64decode(picture['data']))
    print(json.dumps({'pages': report}))
finally:
    try:
        call('Browser.close')
    except BaseException:
        browser.kill()
    browser.wait(10)
