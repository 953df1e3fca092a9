// C interface to the remote service manager query, so that C++ never sees Samba's C headers.
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

typedef struct VcScmrRequest {
    const char* host;     // the machine's name, as its credentials and tickets name it
    const char* address;  // numeric address to connect to; NULL: resolve host
    const char* username; // NULL or empty with useKerberos: the ticket cache's principal
    const char* domain;   // may be NULL
    const char* password; // may be NULL with useKerberos
    int useKerberos;      // nonzero: authenticate with the current ticket cache only
    int timeoutSeconds;   // per call once connected
    uint32_t stateFilter; // 1 active, 2 inactive, 3 all
} VcScmrRequest;

typedef struct VcScmrEntry {
    char* name; // UTF-8 key name exactly as the machine registered it
    int state;
} VcScmrEntry;

typedef struct VcScmrResult {
    int stage;          // VcScmrStage
    uint32_t errorCode; // Windows error of the failed call; NTSTATUS for connection failures
    size_t count;
    VcScmrEntry* entries; // malloc'ed; release with VcScmrResultFree
} VcScmrResult;

// Each call uses contexts of its own, but Samba keeps process-wide state without locks: one
// call at a time in the process, together with every other use of Samba's libraries.
void VcScmrInit(void);
void VcScmrListServices(const VcScmrRequest* request, VcScmrResult* result);
void VcScmrResultFree(VcScmrResult* result);

#ifdef __cplusplus
}
#endif
