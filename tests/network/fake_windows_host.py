#!/usr/bin/python3
# Stand-ins for the network tests: a Windows workstation (the agent's hidden share and the
# service manager pipe, states read from a file at every call, every NTLM logon logged), the
# service manager alone behind a Samba member's external named-pipe socket, a host that accepts
# connections and never answers, and a directory impostor that logs whether anything follows
# its TLS handshake.
import argparse
import os
import socket
import ssl
import struct
import threading
import time

from impacket import ntlm, smbserver
from impacket.dcerpc.v5 import rpcrt, scmr
from impacket.nt_errors import STATUS_MORE_PROCESSING_REQUIRED

SVCCTL = ('367ABB81-9844-35F1-AD32-98F038001003', '2.0')
ERROR_ACCESS_DENIED = 5
ERROR_INVALID_PARAMETER = 87
ERROR_MORE_DATA = 234
SERVICE_WIN32_OWN_PROCESS = 0x10


def append_line(path, line):
    if path:
        with open(path, 'a', encoding='utf-8') as f:
            f.write(line + '\n')


def read_states(path):
    """(denied, [(name, state)], {call: error}, part): 'access denied' makes the manager refuse
    every caller; 'first-call-error=N' and 'second-call-error=N' make that listing call fail;
    'part=N' answers at most N entries a call (ERROR_MORE_DATA with a resume handle), as
    Windows does when the list is larger than one answer."""
    services, denied, errors, part = [], False, {}, 0
    try:
        with open(path, encoding='utf-8') as f:
            for line in f:
                line = line.strip()
                if not line or line.startswith('#'):
                    continue
                if line.lower() == 'access denied':
                    denied = True
                elif '=' in line:
                    name, state = line.rsplit('=', 1)
                    name = name.strip()
                    if name in ('first-call-error', 'second-call-error'):
                        errors[name] = int(state)
                    elif name == 'part':
                        part = int(state)
                    else:
                        services.append((name, int(state)))
    except OSError:
        pass
    return denied, services, errors, part


def pack_services(services):
    """The ENUM_SERVICE_STATUSW array as Windows packs it: fixed parts, then the strings they
    point at by offsets from the buffer's start."""
    fixed = 36 * len(services)
    head, tail = b'', b''
    for name, state in services:
        name_at = fixed + len(tail)
        tail += (name + '\0').encode('utf-16-le')
        display_at = fixed + len(tail)
        tail += (name + '\0').encode('utf-16-le')
        head += struct.pack('<II7I', name_at, display_at, SERVICE_WIN32_OWN_PROCESS, state, 0, 0, 0, 0, 0)
    return head + tail


def ndr_bytes(data):
    pad = (4 - len(data) % 4) % 4
    return struct.pack('<I', len(data)) + data + b'\0' * pad


class ServiceManager(rpcrt.DCERPCServer):
    def __init__(self, states_file):
        rpcrt.DCERPCServer.__init__(self)
        self.states_file = states_file
        self.addCallbacks(SVCCTL, '\\PIPE\\svcctl', {
            0: self.close_handle,
            14: self.enum_services,
            15: self.open_manager,
        })

    def open_manager(self, data):
        denied, _, _, _ = read_states(self.states_file)
        if denied:
            return b'\0' * 20 + struct.pack('<I', ERROR_ACCESS_DENIED)
        return b'M' * 20 + struct.pack('<I', 0)

    def close_handle(self, data):
        return b'\0' * 20 + struct.pack('<I', 0)

    def enum_services(self, data):
        request = scmr.REnumServicesStatusW(data)
        wanted = request['dwServiceState']
        offered = request['cbBufSize']
        resume = request['lpResumeIndex'] or 0
        _, services, errors, part = read_states(self.states_file)
        failed = errors.get('first-call-error' if offered == 0 else 'second-call-error')
        if wanted not in (1, 2, 3):
            failed = ERROR_INVALID_PARAMETER
        if failed is not None:
            return self.answer(b'\0' * offered, 0, 0, 0, failed)
        chosen = [(n, s) for n, s in services
                  if wanted == 3 or (wanted == 1 and s != 1) or (wanted == 2 and s == 1)][resume:]
        fit = 0
        while fit < len(chosen) and (not part or fit < part) and \
                len(pack_services(chosen[:fit + 1])) <= offered:
            fit += 1
        packed = pack_services(chosen[:fit])
        buffer = packed + b'\0' * (offered - len(packed))
        if fit == len(chosen):
            return self.answer(buffer, 0, fit, 0, 0)
        return self.answer(buffer, len(pack_services(chosen[fit:])), fit, resume + fit, ERROR_MORE_DATA)

    @staticmethod
    def answer(buffer, needed, returned, resume, error):
        # lpBuffer, pcbBytesNeeded, lpServicesReturned, lpResumeIndex (a unique pointer), status
        return ndr_bytes(buffer) + struct.pack('<IIIII', needed, returned, 0x20000, resume, error)


def log_logons(path):
    """Every SMB session set-up leg that is not a negotiation step is one NTLM logon attempt:
    one line with its status. A Kerberos offer is logged as such (this server refuses it)."""
    original = smbserver.SMB2Commands.smb2SessionSetup

    def logged(connId, smbServer, recvPacket):
        answer, extra, status = original(connId, smbServer, recvPacket)
        if status != STATUS_MORE_PROCESSING_REQUIRED:
            append_line(path, 'ntlm-logon 0x%08x' % status)
        return answer, extra, status

    smbserver.SMB2Commands.smb2SessionSetup = staticmethod(logged)


def delay_answers(seconds):
    """Every SMB answer leaves this long after its request came: a network's round trip, for
    benchmarks where the kernel offers no emulated delay."""
    original = smbserver.SMBSERVER.processRequest

    def delayed(self, connId, data):
        time.sleep(seconds)
        return original(self, connId, data)

    smbserver.SMBSERVER.processRequest = delayed


def serve(address, args):
    manager = ServiceManager(args.states)
    manager.daemon = True
    manager.start()
    server = smbserver.SimpleSMBServer(listenAddress=address, listenPort=445)
    server.setSMB2Support(True)
    server.addShare('VELLUMCREST$', args.share, '')
    nthash = ntlm.compute_nthash(args.password).hex()
    server.addCredential(args.user, 0, 'aad3b435b51404eeaad3b435b51404ee', nthash)
    server.registerNamedPipe('svcctl', ('127.0.0.1', manager.getListenPort()))
    return server


# --- The service manager behind a Samba member's external named-pipe socket ---------------------
# smbd hands the pipe over a Unix socket: first a length-prefixed "NPAM" request (the caller's
# session), answered with this version's reply (level 7: message-mode pipe); then every message
# in either direction is a 2-byte little-endian length and the DCE/RPC bytes.
def npa_reply():
    body = b'NPAM' + struct.pack('<II', 7, 7) + struct.pack('<HH', 2, 0xff | 0x0400 | 0x0100) + \
        b'\0' * 4 + struct.pack('<Q', 4096) + struct.pack('<I', 0)
    return struct.pack('>I', len(body)) + body


def read_exactly(sock, n):
    data = b''
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            return None
        data += chunk
    return data


def bridge_pipe(client, rpc_port):
    length = read_exactly(client, 4)
    if length is None or read_exactly(client, struct.unpack('>I', length)[0]) is None:
        return
    client.sendall(npa_reply())
    rpc = socket.create_connection(('127.0.0.1', rpc_port))

    def to_rpc():
        while True:
            head = read_exactly(client, 2)
            data = head and read_exactly(client, struct.unpack('<H', head)[0])
            if not data:
                break
            rpc.sendall(data)
        rpc.close()

    threading.Thread(target=to_rpc, daemon=True).start()
    while True:
        header = read_exactly(rpc, 16)
        body = header and read_exactly(rpc, struct.unpack('<H', header[8:10])[0] - 16)
        if body is None:
            break
        client.sendall(struct.pack('<H', len(header + body)) + header + body)
    client.close()


def serve_pipe_socket(path, states):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    if os.path.exists(path):
        os.unlink(path)
    listener.bind(path)
    os.chmod(path, 0o777)
    listener.listen(16)
    print('ready', flush=True)
    while True:
        client, _ = listener.accept()
        # One service manager per connection: impacket's answers one caller at a time.
        manager = ServiceManager(states)
        manager.daemon = True
        manager.start()
        threading.Thread(target=bridge_pipe, args=(client, manager.getListenPort()), daemon=True).start()


# --- Hosts that never answer and a directory impostor ------------------------------------------
def hold_forever(address, port):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, port))
    listener.listen(64)
    held = []
    while True:
        client, _ = listener.accept()
        held.append(client)  # accepted, and never a byte back


def impostor(address, cert, key, log):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, 636))
    listener.listen(16)
    while True:
        client, _ = listener.accept()
        client.settimeout(10)
        try:
            tls = context.wrap_socket(client, server_side=True)
            data = tls.recv(65536)
            append_line(log, 'after-handshake %d bytes' % len(data))  # 0: closed at once
            tls.close()
        except (ssl.SSLError, OSError) as error:
            append_line(log, 'handshake refused: %s' % type(error).__name__)
            client.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--address', action='append', default=[],
                        help='an address to serve on; several make several hosts in one process')
    parser.add_argument('--share', help='folder served as Vellumcrest$')
    parser.add_argument('--states')
    parser.add_argument('--user')
    parser.add_argument('--password')
    parser.add_argument('--logons', help='file that gets one line per NTLM logon attempt')
    parser.add_argument('--pipe-socket', help="serve only the service manager on a member's pipe socket")
    parser.add_argument('--stall', action='append', default=[], metavar='ADDRESS:PORT',
                        help='accept connections there and never answer')
    parser.add_argument('--delay', type=float, default=0, help='seconds every SMB answer waits')
    parser.add_argument('--impostor', nargs=4, metavar=('ADDRESS', 'CERT', 'KEY', 'LOG'),
                        help='a TLS server on port 636 that logs what follows its handshake')
    args = parser.parse_args()

    workers = []
    for spec in args.stall:
        address, port = spec.rsplit(':', 1)
        workers.append(threading.Thread(target=hold_forever, args=(address, int(port)), daemon=True))
    if args.impostor:
        workers.append(threading.Thread(target=impostor, args=args.impostor, daemon=True))
    if args.pipe_socket:
        workers.append(threading.Thread(target=serve_pipe_socket, args=(args.pipe_socket, args.states),
                                        daemon=True))
    if args.logons:
        log_logons(args.logons)
    if args.delay:
        delay_answers(args.delay)
    servers = [serve(address, args) for address in args.address]
    for worker in workers:
        worker.start()
    for server in servers:
        threading.Thread(target=server.start, daemon=True).start()
    print('ready', flush=True)
    while True:
        time.sleep(3600)


if __name__ == '__main__':
    main()
