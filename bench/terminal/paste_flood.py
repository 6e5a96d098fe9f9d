#!/usr/bin/env python3
# Input faster than the game takes it, on a pty as a terminal sends it: a paste of text or a
# flood of escape sequences (random key reports, some of hundreds of parameters). Prints the
# program's peak memory, how long the flood took to send, and how soon after it the game
# answered Enter and went idle. Needs python3 (not a dependency of the project).
#   bench/terminal/paste_flood.py build/app/quelvar build/test-voice MEGABYTES text|esc
import os, pty, sys, time, select, random, struct, fcntl, termios, shutil, tempfile
prog, voice, mb, kind = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4]
work = tempfile.mkdtemp(prefix='quelvar-flood-')
shutil.copy(voice + '/TAMIRE.INI', work + '/TAMIRE.INI')
pid, fd = pty.fork()
if pid == 0:
    env = {'QUELVAR_DATA_DIR': voice, 'TERM': 'xterm', 'SDL_AUDIODRIVER': 'dummy', 'HOME': work, 'PATH': '/usr/bin:/bin'}
    os.execve(prog, [prog, '--console=terminal', '--speech=builtin', '--config-dir=' + work,
                     '--transcript=' + work + '/t.txt'], env)
fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack('HHHH', 25, 80, 0, 0))
out = bytearray()
def pump(t):
    end = time.time() + t
    while True:
        left = end - time.time()
        if left <= 0: return
        r, _, _ = select.select([fd], [], [], left)
        if r:
            try: out.extend(os.read(fd, 65536))
            except OSError: return
def transcript():
    try: return open(work + '/t.txt', 'rb').read()
    except OSError: return b''
def hwm():
    for line in open('/proc/%d/status' % pid):
        if line.startswith('VmHWM'): return int(line.split()[1]) // 1024
def rss():
    for line in open('/proc/%d/status' % pid):
        if line.startswith('VmRSS'): return int(line.split()[1]) // 1024
def cpu():
    f = open('/proc/%d/stat' % pid).read().rsplit(')', 1)[1].split()
    return int(f[11]) + int(f[12])
# wait for the first prompt
t0 = time.time()
while b'Sua cabine' not in transcript() and time.time() - t0 < 60: pump(0.2)
pump(2.0)
print('start RSS', rss(), 'MB')
rnd = random.Random(1)
total = int(mb * 1024 * 1024)
chunk = 65536
sent = 0
start = time.time()
os.set_blocking(fd, False)
while sent < total:
    if kind == 'text':
        data = (b'abcdefghij ' * (chunk // 11 + 1))[:chunk]
    else:
        parts = []
        n = 0
        while n < chunk:
            p = rnd.choice([b'\x1b[%d;%d%s' % (rnd.randint(0, 60000), rnd.randint(1, 16), bytes([rnd.choice(b'ABCDHF~u')])),
                            b'\x1b[' + b';'.join(b'%d' % rnd.randint(0, 999) for _ in range(rnd.randint(1, 300))) + b'u',
                            b'\x1bO' + bytes([rnd.choice(b'PQRS')]), b'\x1b' + bytes([rnd.randint(0x20, 0x7e)])])
            parts.append(p); n += len(p)
        data = b''.join(parts)
    view = memoryview(data)
    while view:
        try:
            w = os.write(fd, view); view = view[w:]; sent += w
        except BlockingIOError:
            pass
        try: out.extend(os.read(fd, 1 << 20))
        except (BlockingIOError, OSError): pass
        if not view: break
        select.select([fd], [fd], [], 0.05)
flood_end = time.time()
print('flood of %.1f MB took %.1f s' % (sent / 1048576, flood_end - start))
os.set_blocking(fd, True)
# time until the game answers a key: Enter until the transcript grows
before = len(transcript())
answered = None
while time.time() - flood_end < 60:
    os.write(fd, b'\r')
    pump(0.1)
    if len(transcript()) > before:
        answered = time.time() - flood_end; break
print('answered %s s after the flood' % ('%.2f' % answered if answered is not None else 'never (60)'))
# busy: CPU still moving
last = cpu(); idle_since = time.time()
while time.time() - flood_end < 60:
    pump(0.2); c = cpu()
    if c != last: last = c; idle_since = time.time()
    elif time.time() - idle_since > 1.0: break
print('busy until %.2f s after the flood' % (idle_since - flood_end))
print('peak RSS (VmHWM) %d MB, RSS now %d MB' % (hwm(), rss()))
os.kill(pid, 15); os.waitpid(pid, 0)
shutil.rmtree(work)
