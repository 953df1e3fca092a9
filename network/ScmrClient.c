// Lists a remote machine's services over MS-SCMR on \pipe\svcctl with Samba's DCE/RPC client;
// Samba's headers are C only, so this is the one file that includes them.
#include "network/ScmrClient.h"

#include <pthread.h>
#include <stdbool.h>
#include <stdlib.h>
#include <string.h>

#include <core/ntstatus.h>
#include <core/werror.h>
#include <credentials.h>
#include <dcerpc.h>
#include <gen_ndr/ndr_svcctl.h>
#include <gen_ndr/svcctl.h>
#include <ndr.h>
#include <ndr/ndr_svcctl.h>
#include <param.h>
#include <talloc.h>
#include <tevent.h>
#include <util/data_blob.h>
#include <util/time.h>

// The most a single EnumServicesStatusW answer may carry (the interface's range limit).
enum { kMaxOffered = 0x40000 };

static pthread_once_t initOnce = PTHREAD_ONCE_INIT;

static void initialise(void) {
    // Registers the transports and security mechanisms once: their tables are process-wide
    // and filling them from several threads at once is not safe.
    dcerpc_init();
}

void VcScmrInit(void) {
    pthread_once(&initOnce, initialise);
}

static struct loadparm_context* privateConfig(TALLOC_CTX* mem) {
    struct loadparm_context* lp = loadparm_init(mem);
    if (!lp)
        return NULL;
    // The host's smb.conf must not steer the client; resolve names through DNS and the hosts
    // file only, never by broadcasting on the network.
    lpcfg_set_cmdline(lp, "name resolve order", "host");
    lpcfg_set_cmdline(lp, "client min protocol", "SMB2_02");
    return lp;
}

static bool closeHandle(struct dcerpc_binding_handle* b, TALLOC_CTX* mem, struct policy_handle* h) {
    struct svcctl_CloseServiceHandle r;
    memset(&r, 0, sizeof r);
    r.in.handle = h;
    r.out.handle = h;
    return NT_STATUS_IS_OK(
        dcerpc_binding_handle_call(b, NULL, &ndr_table_svcctl, NDR_SVCCTL_CLOSESERVICEHANDLE, mem, &r));
}

// One EnumServicesStatusW call; NTSTATUS failures come back as the Windows error they carry.
static uint32_t enumerate(struct dcerpc_binding_handle* b, TALLOC_CTX* mem, struct policy_handle* manager,
                          uint32_t filter, uint32_t offered, uint32_t* resume, uint8_t** buffer,
                          uint32_t* needed, uint32_t* returned) {
    struct svcctl_EnumServicesStatusW r;
    memset(&r, 0, sizeof r);
    *buffer = talloc_zero_array(mem, uint8_t, offered ? offered : 1);
    if (!*buffer)
        return 8; // ERROR_NOT_ENOUGH_MEMORY
    *needed = 0;
    *returned = 0;
    r.in.handle = manager;
    r.in.type = SERVICE_TYPE_WIN32;
    r.in.state = (enum svcctl_ServiceState)filter;
    r.in.offered = offered;
    r.in.resume_handle = resume;
    r.out.service = *buffer;
    r.out.needed = needed;
    r.out.services_returned = returned;
    r.out.resume_handle = resume;
    NTSTATUS status =
        dcerpc_binding_handle_call(b, NULL, &ndr_table_svcctl, NDR_SVCCTL_ENUMSERVICESSTATUSW, mem, &r);
    if (!NT_STATUS_IS_OK(status)) {
        WERROR w = ntstatus_to_werror(status);
        return W_ERROR_V(w) ? W_ERROR_V(w) : 1726; // RPC_S_CALL_FAILED
    }
    return W_ERROR_V(r.out.result);
}

// Appends the entries of one answer buffer; false when the buffer does not decode.
static bool appendEntries(TALLOC_CTX* mem, const uint8_t* buffer, uint32_t length, uint32_t count,
                          VcScmrResult* result) {
    if (count == 0)
        return true;
    if (count > length / 36) // each entry's fixed part takes 36 bytes
        return false;
    DATA_BLOB blob = data_blob_const(buffer, length);
    struct ndr_pull* ndr = ndr_pull_init_blob(&blob, mem);
    if (!ndr)
        return false;
    struct ENUM_SERVICE_STATUSW* info = talloc_zero_array(mem, struct ENUM_SERVICE_STATUSW, count);
    if (!info || !NDR_ERR_CODE_IS_SUCCESS(ndr_pull_ENUM_SERVICE_STATUSW_array(ndr, count, info)))
        return false;
    VcScmrEntry* grown = realloc(result->entries, (result->count + count) * sizeof *grown);
    if (!grown)
        return false;
    result->entries = grown;
    for (uint32_t i = 0; i < count; ++i) {
        const char* name = info[i].service_name ? info[i].service_name : "";
        char* copy = strdup(name);
        if (!copy)
            return false;
        result->entries[result->count].name = copy;
        result->entries[result->count].state = (int)info[i].status.state;
        ++result->count;
    }
    return true;
}

void VcScmrListServices(const VcScmrRequest* request, VcScmrResult* result) {
    memset(result, 0, sizeof *result);
    result->stage = VC_SCMR_MANAGER_UNAVAILABLE;
    VcScmrInit();

    TALLOC_CTX* mem = talloc_new(NULL);
    if (!mem)
        return;
    struct tevent_context* ev = tevent_context_init(mem);
    struct loadparm_context* lp = privateConfig(mem);
    struct cli_credentials* creds = cli_credentials_init(mem);
    if (!ev || !lp || !creds) {
        talloc_free(mem);
        return;
    }
    cli_credentials_set_conf(creds, lp);
    if (request->useKerberos) {
        const char* error = NULL;
        cli_credentials_set_kerberos_state(creds, CRED_USE_KERBEROS_REQUIRED, CRED_SPECIFIED);
        if (cli_credentials_set_ccache(creds, lp, NULL, CRED_SPECIFIED, &error) != 0) {
            talloc_free(mem);
            return;
        }
    } else {
        cli_credentials_set_kerberos_state(creds, CRED_USE_KERBEROS_DISABLED, CRED_SPECIFIED);
        cli_credentials_set_username(creds, request->username ? request->username : "", CRED_SPECIFIED);
        cli_credentials_set_domain(creds, request->domain ? request->domain : "", CRED_SPECIFIED);
        cli_credentials_set_password(creds, request->password ? request->password : "", CRED_SPECIFIED);
    }

    // Connecting to the address already found spares the library its own name lookup; the
    // name still identifies the machine to the authentication.
    char* binding = request->address && *request->address
                        ? talloc_asprintf(mem, "ncacn_np:%s[\\pipe\\svcctl,target_hostname=%s]",
                                          request->address, request->host)
                        : talloc_asprintf(mem, "ncacn_np:%s[\\pipe\\svcctl]", request->host);
    struct dcerpc_pipe* pipe = NULL;
    NTSTATUS status = binding ? dcerpc_pipe_connect(mem, &pipe, binding, &ndr_table_svcctl, creds, ev, lp)
                              : NT_STATUS_NO_MEMORY;
    if (!NT_STATUS_IS_OK(status) || !pipe) {
        result->errorCode = NT_STATUS_V(status);
        talloc_free(mem);
        return;
    }
    struct dcerpc_binding_handle* b = pipe->binding_handle;
    dcerpc_binding_handle_set_timeout(b, request->timeoutSeconds > 0 ? (uint32_t)request->timeoutSeconds : 5);

    struct policy_handle manager;
    memset(&manager, 0, sizeof manager);
    struct svcctl_OpenSCManagerW open;
    memset(&open, 0, sizeof open);
    open.in.MachineName = request->host;
    open.in.DatabaseName = NULL;
    open.in.access_mask = SC_RIGHT_MGR_CONNECT | SC_RIGHT_MGR_ENUMERATE_SERVICE;
    open.out.handle = &manager;
    status = dcerpc_binding_handle_call(b, NULL, &ndr_table_svcctl, NDR_SVCCTL_OPENSCMANAGERW, mem, &open);
    if (!NT_STATUS_IS_OK(status) || !W_ERROR_IS_OK(open.out.result)) {
        result->errorCode = NT_STATUS_IS_OK(status) ? W_ERROR_V(open.out.result) : NT_STATUS_V(status);
        talloc_free(mem);
        return;
    }

    uint8_t* buffer = NULL;
    uint32_t needed = 0;
    uint32_t returned = 0;
    uint32_t resume = 0;
    uint32_t code =
        enumerate(b, mem, &manager, request->stateFilter, 0, &resume, &buffer, &needed, &returned);
    if (code != W_ERROR_V(WERR_MORE_DATA)) {
        result->stage = VC_SCMR_FIRST_CALL;
        result->errorCode = code;
        closeHandle(b, mem, &manager);
        talloc_free(mem);
        return;
    }

    result->stage = VC_SCMR_OK;
    resume = 0;
    // A list larger than one answer comes in pieces, each continuing at the resume handle.
    for (int round = 0; round < 1024; ++round) {
        uint32_t offered = needed > kMaxOffered ? kMaxOffered : needed;
        TALLOC_CTX* piece = talloc_new(mem);
        code = enumerate(b, piece, &manager, request->stateFilter, offered, &resume, &buffer, &needed,
                         &returned);
        bool more = code == W_ERROR_V(WERR_MORE_DATA) && returned > 0;
        if ((code != 0 && !more) || !appendEntries(piece, buffer, offered, returned, result)) {
            result->stage = VC_SCMR_SECOND_CALL;
            result->errorCode = code ? code : 13; // ERROR_INVALID_DATA: an answer that does not decode
            talloc_free(piece);
            break;
        }
        talloc_free(piece);
        if (!more)
            break;
    }
    if (result->stage != VC_SCMR_OK) {
        for (size_t i = 0; i < result->count; ++i)
            free(result->entries[i].name);
        free(result->entries);
        result->entries = NULL;
        result->count = 0;
    }
    closeHandle(b, mem, &manager);
    talloc_free(mem);
}

void VcScmrResultFree(VcScmrResult* result) {
    if (!result)
        return;
    for (size_t i = 0; i < result->count; ++i)
        free(result->entries[i].name);
    free(result->entries);
    result->entries = NULL;
    result->count = 0;
}
