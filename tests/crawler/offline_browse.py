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
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'common'))
from devtools_pipe import Browser  # noqa: E402

chromium, shot, offline, urls = sys.argv[1], sys.argv[2], sys.argv[3] == '1', sys.argv[4:]
LOAD_LIMIT = 15.0
QUIET = 0.5  # the page is done once nothing was asked for this long after it loaded

profile = tempfile.TemporaryDirectory()
browser = Browser(chromium, ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                             '--disable-background-networking', '--disable-component-update', '--disable-sync',
                             '--allow-file-access-from-files', '--hide-scrollbars', '--window-size=900,700',
                             '--user-data-dir=' + profile.name])
events = browser.events


def settle(loaded):
    """Takes events until the page has loaded and nothing more is asked for."""
    end = time.monotonic() + LOAD_LIMIT
    while time.monotonic() < end:
        message = browser.receive(QUIET if loaded else end - time.monotonic())
        if message is None:
            if loaded:
                return
            continue
        if 'method' in message:
            events.append(message)
            loaded = loaded or message['method'] == 'Page.loadEventFired'


try:
    session = browser.page()
    browser.call('Page.enable', session=session)
    browser.call('Network.enable', session=session)
    if offline:
        browser.call('Network.emulateNetworkConditions',
                     {'offline': True, 'latency': 0, 'downloadThroughput': -1, 'uploadThroughput': -1}, session)
    report = []
    for index, url in enumerate(urls):
        events.clear()
        browser.call('Page.navigate', {'url': url}, session)
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
            picture = browser.call('Page.captureScreenshot', {'format': 'png'}, session)
            with open(shot, 'wb') as file:
                file.write(base64.b64decode(picture['data']))
    print(json.dumps({'pages': report}))
finally:
    browser.close()
