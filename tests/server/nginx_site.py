#!/usr/bin/env python3
"""nginx (Debian's package) on 127.0.0.1 serving DIR/site over HTTP and over
HTTPS, with certificates from test certificate authorities made at start.

  nginx_site.py start --dir DIR
      makes DIR/tls (openssl), writes DIR/nginx.conf, starts nginx on four
      free ports and writes "HTTP TRUSTED UNKNOWN_CA OTHER_NAME PID" into
      DIR/state:
        HTTP        plain HTTP
        TRUSTED     HTTPS, certificate for 127.0.0.1 from DIR/tls/ca.pem
        UNKNOWN_CA  HTTPS, certificate for 127.0.0.1 from an authority that
                    nobody is told to trust
        OTHER_NAME  HTTPS, certificate from DIR/tls/ca.pem for another name
      On every HTTPS port, /downgrade/PATH answers 302 to http://.../PATH of
      the HTTP port.
  nginx_site.py stop --dir DIR
      ends that nginx by its PID and removes DIR/state.

Everything nginx writes (pid, logs, temporary files) stays below DIR; nginx
ends itself after --lifetime seconds, so a run that is killed leaves no
server behind for long.
"""
import argparse
import os
import pwd
import grp
import signal
import socket
import subprocess
import sys
import time

START_TIMEOUT = 20.0
STOP_TIMEOUT = 10.0

# The extensions of the certificates; the server names are added per certificate.
OPENSSL_CONFIG = """[req]
distinguished_name = dn
[dn]
[authority]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
subjectAltName = @names
"""


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(tls):
    """Two authorities (ca: the one tests trust, unknown: never trusted) and
    three server certificates on one key; returns {name: (cert, key)}."""
    os.makedirs(tls, exist_ok=True)
    path = lambda name: os.path.join(tls, name)
    for key in ("ca", "unknown", "server"):
        openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", path(key + ".key"))
    for ca, name in (("ca", "ZEP Test CA"), ("unknown", "ZEP Unknown CA")):
        with open(path(ca + ".cnf"), "w") as f:
            f.write(OPENSSL_CONFIG)
        openssl("req", "-new", "-x509", "-key", path(ca + ".key"), "-subj", "/CN=" + name, "-days", "2",
                "-config", path(ca + ".cnf"), "-extensions", "authority", "-out", path(ca + ".pem"))
    # Wine 8 matches a host name against the DNS names only, Windows an
    # address against the IP addresses too: the address is given as both.
    loopback = "IP.1 = 127.0.0.1\nDNS.1 = 127.0.0.1\n"
    servers = {"trusted": ("ca", "127.0.0.1", loopback),
               "unknown-ca": ("unknown", "127.0.0.1", loopback),
               "other-name": ("ca", "other.invalid", "DNS.1 = other.invalid\n")}
    made = {}
    for serial, (server, (ca, common_name, names)) in enumerate(sorted(servers.items()), start=1):
        config = path(server + ".cnf")
        with open(config, "w") as f:
            f.write(OPENSSL_CONFIG + "[names]\n" + names)
        openssl("req", "-new", "-key", path("server.key"), "-subj", "/CN=" + common_name, "-config", config,
                "-out", path(server + ".csr"))
        openssl("x509", "-req", "-in", path(server + ".csr"), "-CA", path(ca + ".pem"),
                "-CAkey", path(ca + ".key"), "-set_serial", str(serial), "-days", "2", "-extfile", config,
                "-extensions", "server", "-out", path(server + ".pem"))
        made[server] = (path(server + ".pem"), path("server.key"))
    return made


def free_ports(count):
    sockets = [socket.socket() for _ in range(count)]
    try:
        for s in sockets:
            s.bind(("127.0.0.1", 0))
        return [s.getsockname()[1] for s in sockets]
    finally:
        for s in sockets:
            s.close()


def write_config(directory, ports, certificates):
    temp = os.path.join(directory, "temp")
    os.makedirs(temp, exist_ok=True)
    # Only a master running as root switches its workers to another user; as
    # this one they can read the files the tests write.
    user = "user %s %s;\n" % (pwd.getpwuid(os.getuid()).pw_name, grp.getgrgid(os.getgid()).gr_name) \
        if os.getuid() == 0 else ""
    servers = "    server { listen 127.0.0.1:%d; }\n" % ports[0]
    for port, name in zip(ports[1:], ("trusted", "unknown-ca", "other-name")):
        servers += ("    server { listen 127.0.0.1:%d ssl; ssl_certificate %s; ssl_certificate_key %s;\n"
                    "        rewrite ^/downgrade(/.*)$ http://127.0.0.1:%d$1 redirect; }\n"
                    % ((port,) + certificates[name] + (ports[0],)))
    temp_paths = "".join("    %s_temp_path %s/%s;\n" % (kind, temp, kind)
                         for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    config = (user + "daemon off;\nworker_processes 1;\npid {d}/nginx.pid;\nerror_log {d}/error.log;\n"
              "events {{ worker_connections 64; }}\n"
              "http {{\n    log_format ranges escape=none '$request range=$http_range if-range=$http_if_range status=$status';\n"
              "    access_log {d}/access.log ranges;\n    default_type application/octet-stream;\n"
              "    root {d}/site;\n").format(d=directory) + temp_paths + servers + "}\n"
    path = os.path.join(directory, "nginx.conf")
    with open(path, "w") as f:
        f.write(config)
    return path


def accepts(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1):
            return True
    except OSError:
        return False


def is_nginx(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            name, rest = f.read().split(" ", 1)[1].rsplit(")", 1)
        return name == "(nginx" and rest.split()[0] != "Z"
    except (OSError, ValueError):
        return False


def start(args):
    directory = os.path.abspath(args.dir)
    state = os.path.join(directory, "state")
    if os.path.exists(state):
        stop(args)
    os.makedirs(os.path.join(directory, "site"), exist_ok=True)
    certificates = make_certificates(os.path.join(directory, "tls"))
    # Another program may take a port between the pick and nginx's bind:
    # then nginx ends at once and new ports are tried.
    for _ in range(3):
        ports = free_ports(4)
        config = write_config(directory, ports, certificates)
        pid_file = os.path.join(directory, "nginx.pid")
        if os.path.exists(pid_file):
            os.remove(pid_file)
        with open(os.path.join(directory, "nginx.log"), "ab") as log:
            process = subprocess.Popen(["timeout", "-s", "TERM", str(args.lifetime), "nginx", "-p", directory,
                                        "-c", config, "-e", os.path.join(directory, "error.log")],
                                       stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline and process.poll() is None:
            if os.path.exists(pid_file) and all(accepts(port) for port in ports):
                with open(pid_file) as f:
                    pid = int(f.read().split()[0])
                with open(state + ".tmp", "w") as f:
                    f.write(" ".join(map(str, ports + [pid])) + "\n")
                os.replace(state + ".tmp", state)
                print(" ".join(map(str, ports)))
                return 0
            time.sleep(0.05)
        if process.poll() is None:
            process.kill()
    sys.stderr.write("nginx did not start; see %s/error.log and nginx.log\n" % directory)
    return 1


def stop(args):
    state = os.path.join(os.path.abspath(args.dir), "state")
    try:
        with open(state) as f:
            pid = int(f.read().split()[4])
    except (OSError, ValueError, IndexError):
        sys.stderr.write("no nginx state in %s\n" % state)
        return 0
    if is_nginx(pid):
        os.kill(pid, signal.SIGTERM)
        deadline = time.monotonic() + STOP_TIMEOUT
        while is_nginx(pid) and time.monotonic() < deadline:
            time.sleep(0.05)
        if is_nginx(pid):
            os.kill(pid, signal.SIGKILL)
    os.remove(state)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    command = commands.add_parser("start")
    command.add_argument("--dir", required=True)
    command.add_argument("--lifetime", type=int, default=3600)
    commands.add_parser("stop").add_argument("--dir", required=True)
    args = parser.parse_args()
    return {"start": start, "stop": stop}[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
