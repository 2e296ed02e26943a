#!/usr/bin/env python3
"""The packaged program as a service manager runs it. Usage: service_test.py UNPACKED_DIR

UNPACKED_DIR holds the package unpacked with dpkg-deb -x. Its usr/bin/wapsite lays out a demo web
root (finding the skeleton in its own usr/share/wapsite) and serves it with NOTIFY_SOCKET set to a
datagram socket of this test, its options from a configuration file: READY=1 must come once the port answers; after conn.asp is changed
to name another database, SIGHUP must bring RELOADING=1 (with MONOTONIC_USEC) and READY=1, and
the pages then read the other database, with no failed request while it happens; SIGTERM must
bring STOPPING=1 and exit status 0."""
import os, re, signal, socket, sqlite3, subprocess, sys, tempfile, threading, urllib.request

HOME = "/wap/index.asp?userid=1&username=demo&siteid=1"


def fail(message):
    for child in SERVERS:
        child.kill()
    sys.exit("service_test: " + message)


SERVERS = []


def refs(text):
    """`text` as the pages write it: every character a hexadecimal character reference."""
    return "".join("&#x%X;" % ord(c) for c in text)


class Notifications:
    """The datagrams the server sends to NOTIFY_SOCKET, as dicts of their KEY=VALUE lines."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.sock.bind(path)

    def next(self, timeout=20):
        self.sock.settimeout(timeout)
        try:
            data = self.sock.recv(4096).decode()
        except socket.timeout:
            fail("no notification within %ds" % timeout)
        return dict(line.split("=", 1) for line in data.splitlines() if "=" in line)


def get(port, path):
    with urllib.request.urlopen("http://127.0.0.1:%d%s" % (port, path), timeout=10) as reply:
        return reply.status, reply.read().decode("utf-8")


def main():
    unpacked = os.path.abspath(sys.argv[1])
    program = os.path.join(unpacked, "usr/bin/wapsite")
    work = tempfile.mkdtemp(prefix="wapsite-service.")
    root = os.path.join(work, "root")
    env = {k: v for k, v in os.environ.items() if k != "WAPSITE_SHARE_DIR"}
    subprocess.run([program, "init", root, "--demo"], check=True, env=env, stdout=subprocess.DEVNULL)

    notify = Notifications(os.path.join(work, "notify"))
    env["NOTIFY_SOCKET"] = os.path.join(work, "notify")
    # The options come from a configuration file, but the command line's --listen wins over the
    # file's, which names an address no machine has.
    config = os.path.join(work, "wapsite.conf")
    with open(config, "w") as f:
        f.write('root = "%s"\nlisten = "192.0.2.1:8080"\nthreads = 2\n' % root)
    server = subprocess.Popen([program, "serve", "--config", config, "--listen", "127.0.0.1:0"],
                              env=env, stdout=subprocess.DEVNULL)
    SERVERS.append(server)
    ready = notify.next()
    if ready.get("READY") != "1":
        fail("the first notification is not READY=1: %r" % ready)
    port = int(re.search(r":(\d+)$", ready["STATUS"]).group(1))
    status, page = get(port, HOME)  # answers at once: the listener was bound before READY=1
    if status != 200 or "demo" not in page:
        fail("the home page did not answer: %d" % status)

    # The other database: a copy of the site's with its first class renamed.
    with sqlite3.connect(os.path.join(root, "data/site.db")) as db, \
         sqlite3.connect(os.path.join(root, "data/other.db")) as other:
        db.backup(other)
        other.execute("update wap_classes set classname='Reloaded' where userid=1")
    failures = []
    stop = threading.Event()

    def load():
        while not stop.is_set():
            try:
                if get(port, HOME)[0] != 200:
                    failures.append("status")
            except Exception as e:  # a refused or broken request is a failure too
                failures.append(repr(e))

    threads = [threading.Thread(target=load, daemon=True) for _ in range(4)]
    for t in threads:
        t.start()
    conn = os.path.join(root, "conn.asp")
    with open(conn, newline="") as f:
        text = f.read()
    with open(conn, "w", newline="") as f:
        f.write(text.replace("sqlite:data/site.db", "sqlite:data/other.db"))
    if refs("Reloaded") in get(port, HOME)[1]:
        fail("conn.asp was read again before SIGHUP")
    server.send_signal(signal.SIGHUP)
    reloading = notify.next()
    if reloading.get("RELOADING") != "1" or not reloading.get("MONOTONIC_USEC", "").isdigit():
        fail("SIGHUP did not notify RELOADING=1 with MONOTONIC_USEC: %r" % reloading)
    if notify.next().get("READY") != "1":
        fail("the reload did not end with READY=1")
    if refs("Reloaded") not in get(port, HOME)[1]:
        fail("after SIGHUP the home page still reads the old database")
    stop.set()
    for t in threads:
        t.join()
    if failures:
        fail("%d requests failed around the reload: %s" % (len(failures), failures[:3]))

    server.send_signal(signal.SIGTERM)
    if notify.next().get("STOPPING") != "1":
        fail("SIGTERM did not notify STOPPING=1")
    if server.wait(timeout=30) != 0:
        fail("the server exited %d after SIGTERM" % server.returncode)
    subprocess.run(["rm", "-rf", work], check=True)
    print("service_test: ready, reload and stop notified; no request failed")


main()
