"""Headless Chromium driven over its DevTools pipe (file descriptors 3 and 4):
messages are JSON, each ended by a NUL byte. Used by the browser tests' scripts.
"""
import json
import os
import select
import subprocess
import time


class Browser:
    def __init__(self, chromium, flags):
        to_chrome_read, self._to_chrome = os.pipe()
        self._from_chrome, from_chrome_write = os.pipe()
        self._process = subprocess.Popen(
            ['sh', '-c', 'exec "$0" "$@" 3<&%d 4>&%d' % (to_chrome_read, from_chrome_write),
             chromium, '--remote-debugging-pipe', *flags, 'about:blank'],
            pass_fds=(to_chrome_read, from_chrome_write), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_chrome_read)
        os.close(from_chrome_write)
        self._pending = b''
        self._next_id = 0
        self.events = []  # the notifications that came while waiting for answers

    def receive(self, timeout):
        """One message from the browser, or None when none came in time."""
        end = time.monotonic() + timeout
        while b'\0' not in self._pending:
            left = end - time.monotonic()
            if left <= 0 or not select.select([self._from_chrome], [], [], left)[0]:
                return None
            chunk = os.read(self._from_chrome, 1 << 16)
            if not chunk:
                raise SystemExit('chromium ended')
            self._pending += chunk
        text, self._pending = self._pending.split(b'\0', 1)
        return json.loads(text)

    def call(self, method, params=None, session=None, timeout=15.0):
        self._next_id += 1
        message = {'id': self._next_id, 'method': method, 'params': params or {}}
        if session:
            message['sessionId'] = session
        os.write(self._to_chrome, json.dumps(message).encode() + b'\0')
        while True:
            answer = self.receive(timeout)
            if answer is None:
                raise SystemExit('%s: no answer' % method)
            if answer.get('id') == self._next_id:
                if 'error' in answer:
                    raise SystemExit('%s: %s' % (method, answer['error']))
                return answer['result']
            if 'method' in answer:
                self.events.append(answer)

    def page(self):
        """A new tab, attached: the session to give calls about it."""
        target = self.call('Target.createTarget', {'url': 'about:blank'})['targetId']
        return self.call('Target.attachToTarget', {'targetId': target, 'flatten': True})['sessionId']

    def close(self):
        try:
            self.call('Browser.close')
        except BaseException:
            self._process.kill()
        self._process.wait(10)
