// C interface to the remote service manager query and to the Samba client settings, so that
// C++ never sees Samba's C headers. Used only inside a network worker process.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum VcScmrStage {
    VC_SCMR_OK = 0,
    VC_SCMR_MANAGER_UNAVAILABLE = 1, // connection, authentication or OpenSCManagerW failed
    VC_SCMR_FIRST_CALL = 2,          // the size query did not answer ERROR_MORE_DATA
    VC_SCMR_SECOND_CALL = 3,         // the listing call failed
};

// connectStatus of a Kerberos request whose ticket cache could not be used.
#define VC_SCMR_NO_TICKET 0xE0000001u

// Every Samba client parameter that touches security or where the client looks, applied the
// same way to this file's connections and to the file copies: the host's and the user's Samba
// configuration are never read, so nothing there can weaken them.
typedef void (*VcSambaParameterFn)(const char* name, const char* value, void* context);
void VcSambaClientParameters(int kerberos, int requireEncryption, VcSambaParameterFn set, void* context);

typedef struct VcScmrRequest {
    const char* host;      // the machine's name, as its tickets and the service manager name it
    const char* address;   // numeric address to connect to; NULL: resolve host
    const char* username;  // NTLM: the account (a UPN as written, with an empty domain)
    const char* domain;    // NTLM: may be NULL
    int kerberos;          // nonzero: Kerberos only, from the ticket cache
    const char* ccache;    // Kerberos: the cache ("FILE:..."); NULL: the default one
    int requireEncryption; // refuse a server that cannot encrypt
    int timeoutSeconds;    // per call once connected
    uint32_t stateFilter;  // 1 active, 2 inactive, 3 all
    int connectOnly;       // stop once connected (proves the account on this machine)
    // NTLM: asked for the password at the moment the logon needs it, and only then.
    const char* (*password)(void);
    // Told once the connection is made (the calls' own deadlines apply from then on).
    void (*connected)(void);
} VcScmrRequest;

typedef struct VcScmrEntry {
    char* name; // UTF-8 key name exactly as the machine registered it
    int state;
} VcScmrEntry;

typedef struct VcScmrResult {
    int stage;              // VcScmrStage
    uint32_t errorCode;     // Windows error of the failed call; NTSTATUS for connection failures
    uint32_t connectStatus; // NTSTATUS of the connection: 0 once connected
    int passwordAsked;      // the logon asked for the password
    size_t count;
    VcScmrEntry* entries; // malloc'ed; release with VcScmrResultFree
} VcScmrResult;

// One EnumServicesStatusW call as the listing loop sees it: the answer buffer stays valid
// until the next call.
typedef struct VcScmrAnswer {
    uint32_t code; // Windows error
    const uint8_t* buffer;
    uint32_t length;
    uint32_t needed;
    uint32_t returned;
    uint32_t resume;
} VcScmrAnswer;
typedef void (*VcScmrCall)(void* context, uint32_t offered, uint32_t resume, VcScmrAnswer* answer);

// The service list through `call`: the size query, then the pieces, each continuing at the
// resume handle the previous one gave, with caps on the pieces and entries a machine may send.
void VcScmrCollect(VcScmrCall call, void* context, VcScmrResult* result);

void VcScmrListServices(const VcScmrRequest* request, VcScmrResult* result);

// Kerberos: obtains a ticket-granting ticket for principal (e.g. "reader@CORP.EXAMPLE", a UPN
// with its '@' escaped) with the password into the ticket cache `ccache` ("FILE:..."); with a
// NULL password, checks that the cache holds a usable ticket. Returns 0 or the Kerberos error;
// the cache's principal and the library's words go into the buffers.
int VcKerberosLogon(const char* principal, const char* password, const char* ccache, char* principalOut,
                    size_t principalSize, char* message, size_t messageSize);
void VcScmrResultFree(VcScmrResult* result);

// Most entries and answer pieces one machine's list may have; more is refused as damaged.
enum { VC_SCMR_MAX_ENTRIES = 100000, VC_SCMR_MAX_PIECES = 256, VC_SCMR_MAX_OFFERED = 0x40000 };

#ifdef __cplusplus
}
#endif
