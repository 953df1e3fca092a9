#!/usr/bin/python3
# A stand-in Windows workstation for the integration test: serves the agent's hidden share and
# the service manager pipe, with service states read from a file at every call.
import argparse
import struct
import threading

from impacket import ntlm, smbserver
from impacket.dcerpc.v5 import rpcrt, scmr

SVCCTL = ('367ABB81-9844-35F1-AD32-98F038001003', '2.0')
ERROR_ACCESS_DENIED = 5
ERROR_INVALID_PARAMETER = 87
ERROR_MORE_DATA = 234
SERVICE_WIN32_OWN_PROCESS = 0x10


def read_states(path):
    """(denied, [(name, state)], {call: error}): 'access denied' makes the manager refuse
    every caller; 'first-call-error=N' and 'second-call-error=N' make that listing call fail."""
    services, denied, errors = [], False, {}
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
                    else:
                        services.append((name, int(state)))
    except OSError:
        pass
    return denied, services, errors


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
        denied, _, _ = read_states(self.states_file)
        if denied:
            return b'\0' * 20 + struct.pack('<I', ERROR_ACCESS_DENIED)
        return b'M' * 20 + struct.pack('<I', 0)

    def close_handle(self, data):
        return b'\0' * 20 + struct.pack('<I', 0)

    def enum_services(self, data):
        request = scmr.REnumServicesStatusW(data)
        wanted = request['dwServiceState']
        offered = request['cbBufSize']
        _, services, errors = read_states(self.states_file)
        failed = errors.get('first-call-error' if offered == 0 else 'second-call-error')
        if wanted not in (1, 2, 3):
            failed = ERROR_INVALID_PARAMETER
        if failed is not None:
            return ndr_bytes(b'\0' * offered) + struct.pack('<IIII', 0, 0, 0, failed)
        chosen = [(n, s) for n, s in services
                  if wanted == 3 or (wanted == 1 and s != 1) or (wanted == 2 and s == 1)]
        packed = pack_services(chosen)
        if offered < len(packed):
            return ndr_bytes(b'\0' * offered) + struct.pack('<IIII', len(packed), 0, 0, ERROR_MORE_DATA)
        buffer = packed + b'\0' * (offered - len(packed))
        return ndr_bytes(buffer) + struct.pack('<IIII', 0, len(chosen), 0, 0)


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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--address', required=True, action='append',
                        help='an address to serve on; several make several hosts in one process')
    parser.add_argument('--share', required=True, help='folder served as Vellumcrest$')
    parser.add_argument('--states', required=True)
    parser.add_argument('--user', required=True)
    parser.add_argument('--password', required=True)
    args = parser.parse_args()

    servers = [serve(address, args) for address in args.address]
    for server in servers[1:]:
        threading.Thread(target=server.start, daemon=True).start()
    print('ready', flush=True)
    servers[0].start()


if __name__ == '__main__':
    main()
