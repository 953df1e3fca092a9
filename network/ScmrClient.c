// Lists a remote machine's services over MS-SCMR on \pipe\svcctl with Samba's DCE/RPC client;
// Samba's headers are C only, so this is the one file that includes them. It runs in a network
// worker process only: Samba's client libraries keep process-wide state without locks.
#include "network/ScmrClient.h"

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

enum { kMoreData = 234, kInvalidData = 13, kNotEnoughMemory = 8, kCallFailed = 1726 };

void VcSambaClientParameters(int kerberos, int requireEncryption, VcSambaParameterFn set, void* context) {
    // Names through DNS and the hosts file only, never by broadcasting; port 445 only.
    set("name resolve order", "host", context);
    set("name cache timeout", "0", context);
    set("disable netbios", "yes", context);
    set("smb ports", "445", context);
    // SMB 2.02 is the floor (older Windows and the test hosts speak no more); SMB1 never.
    set("client min protocol", "SMB2_02", context);
    set("client max protocol", "SMB3", context);
    set("client signing", "required", context);
    set("client ipc signing", "required", context);
    // Encrypted whenever the server speaks SMB 3; required, older servers are refused.
    set("client smb encrypt", requireEncryption ? "required" : "desired", context);
    set("client ntlmv2 auth", "yes", context);
    set("client lanman auth", "no", context);
    set("client plaintext auth", "no", context);
    set("client use spnego", "yes", context);
    // No fallback from one to the other: a host that cannot do Kerberos gets nothing.
    set("client use kerberos", kerberos ? "required" : "off", context);
    set("kerberos encryption types", "strong", context);
    set("log level", "0", context);
}

static void setCmdline(const char* name, const char* value, void* context) {
    lpcfg_set_cmdline((struct loadparm_context*)context, name, value);
}

// The request being run: the password callback has no context argument of its own, and a
// worker runs one request at a time.
static const VcScmrRequest* currentRequest;
static VcScmrResult* currentResult;

static const char* askPassword(struct cli_credentials* credentials) {
    (void)credentials;
    currentResult->passwordAsked = 1;
    return currentRequest->password ? currentRequest->password() : NULL;
}

static bool closeHandle(struct dcerpc_binding_handle* b, TALLOC_CTX* mem, struct policy_handle* h) {
    struct svcctl_CloseServiceHandle r;
    memset(&r, 0, sizeof r);
    r.in.handle = h;
    r.out.handle = h;
    return NT_STATUS_IS_OK(
        dcerpc_binding_handle_call(b, NULL, &ndr_table_svcctl, NDR_SVCCTL_CLOSESERVICEHANDLE, mem, &r));
}

// Appends the entries of one answer buffer; false when the buffer does not decode.
static bool appendEntries(const uint8_t* buffer, uint32_t length, uint32_t count, VcScmrResult* result) {
    if (count == 0)
        return true;
    if (!buffer || count > length / 36 || result->count + count > VC_SCMR_MAX_ENTRIES)
        return false; // each entry's fixed part takes 36 bytes
    TALLOC_CTX* mem = talloc_new(NULL);
    if (!mem)
        return false;
    DATA_BLOB blob = data_blob_const(buffer, length);
    struct ndr_pull* ndr = ndr_pull_init_blob(&blob, mem);
    struct ENUM_SERVICE_STATUSW* info = talloc_zero_array(mem, struct ENUM_SERVICE_STATUSW, count);
    VcScmrEntry* grown = NULL;
    bool ok = ndr && info && NDR_ERR_CODE_IS_SUCCESS(ndr_pull_ENUM_SERVICE_STATUSW_array(ndr, count, info)) &&
              (grown = realloc(result->entries, (result->count + count) * sizeof *grown)) != NULL;
    if (grown)
        result->entries = grown;
    for (uint32_t i = 0; ok && i < count; ++i) {
        char* copy = strdup(info[i].service_name ? info[i].service_name : "");
        ok = copy != NULL;
        if (ok) {
            result->entries[result->count].name = copy;
            result->entries[result->count].state = (int)info[i].status.state;
            ++result->count;
        }
    }
    talloc_free(mem);
    return ok;
}

void VcScmrCollect(VcScmrCall call, void* context, VcScmrResult* result) {
    VcScmrAnswer answer;
    memset(&answer, 0, sizeof answer);
    call(context, 0, 0, &answer);
    if (answer.code != kMoreData) {
        result->stage = VC_SCMR_FIRST_CALL;
        result->errorCode = answer.code;
        return;
    }
    result->stage = VC_SCMR_OK;
    uint32_t needed = answer.needed;
    uint32_t resume = 0;
    // A list larger than one answer comes in pieces, each continuing at the resume handle.
    for (int piece = 0;; ++piece) {
        const uint32_t offered = needed > VC_SCMR_MAX_OFFERED ? VC_SCMR_MAX_OFFERED : needed;
        uint32_t failure = 0;
        if (piece >= VC_SCMR_MAX_PIECES || offered == 0) {
            failure = kInvalidData;
        } else {
            memset(&answer, 0, sizeof answer);
            call(context, offered, resume, &answer);
            const bool more = answer.code == kMoreData && answer.returned > 0;
            if (answer.code != 0 && !more)
                failure = answer.code;
            else if (!appendEntries(answer.buffer, answer.length < offered ? answer.length : offered,
                                    answer.returned, result))
                failure = kInvalidData; // an answer that does not decode, or too many entries
            else if (!more)
                break;
        }
        if (failure) {
            result->stage = VC_SCMR_SECOND_CALL;
            result->errorCode = failure;
            VcScmrResultFree(result);
            return;
        }
        needed = answer.needed;
        resume = answer.resume;
    }
}

// The listing calls over one connection.
struct RpcCalls {
    struct dcerpc_binding_handle* binding;
    struct policy_handle* manager;
    uint32_t filter;
    TALLOC_CTX* piece; // the last answer; freed by the next call
};

static void rpcCall(void* context, uint32_t offered, uint32_t resume, VcScmrAnswer* answer) {
    struct RpcCalls* calls = context;
    talloc_free(calls->piece);
    calls->piece = talloc_new(NULL);
    uint8_t* buffer = calls->piece ? talloc_zero_array(calls->piece, uint8_t, offered ? offered : 1) : NULL;
    if (!buffer) {
        answer->code = kNotEnoughMemory;
        return;
    }
    uint32_t needed = 0;
    uint32_t returned = 0;
    uint32_t handle = resume;
    struct svcctl_EnumServicesStatusW r;
    memset(&r, 0, sizeof r);
    r.in.handle = calls->manager;
    r.in.type = SERVICE_TYPE_WIN32;
    r.in.state = (enum svcctl_ServiceState)calls->filter;
    r.in.offered = offered;
    r.in.resume_handle = &handle;
    r.out.service = buffer;
    r.out.needed = &needed;
    r.out.services_returned = &returned;
    r.out.resume_handle = &handle;
    NTSTATUS status = dcerpc_binding_handle_call(calls->binding, NULL, &ndr_table_svcctl,
                                                 NDR_SVCCTL_ENUMSERVICESSTATUSW, calls->piece, &r);
    if (!NT_STATUS_IS_OK(status)) {
        WERROR w = ntstatus_to_werror(status);
        answer->code = W_ERROR_V(w) ? W_ERROR_V(w) : kCallFailed;
        return;
    }
    answer->code = W_ERROR_V(r.out.result);
    answer->buffer = buffer;
    answer->length = offered;
    answer->needed = needed;
    answer->returned = returned;
    // The answer's handle is a new allocation of the decoder, not the one passed in.
    answer->resume = r.out.resume_handle ? *r.out.resume_handle : 0;
}

static struct cli_credentials* credentialsFor(TALLOC_CTX* mem, struct loadparm_context* lp,
                                              const VcScmrRequest* request, VcScmrResult* result) {
    struct cli_credentials* creds = cli_credentials_init(mem);
    if (!creds)
        return NULL;
    cli_credentials_set_conf(creds, lp);
    if (request->kerberos) {
        const char* error = NULL;
        cli_credentials_set_kerberos_state(creds, CRED_USE_KERBEROS_REQUIRED, CRED_SPECIFIED);
        if (cli_credentials_set_ccache(creds, lp, request->ccache, CRED_SPECIFIED, &error) != 0) {
            result->errorCode = result->connectStatus = VC_SCMR_NO_TICKET;
            return NULL;
        }
    } else {
        cli_credentials_set_kerberos_state(creds, CRED_USE_KERBEROS_DISABLED, CRED_SPECIFIED);
        cli_credentials_set_username(creds, request->username ? request->username : "", CRED_SPECIFIED);
        cli_credentials_set_domain(creds, request->domain ? request->domain : "", CRED_SPECIFIED);
        // Given only when the logon asks for it: a machine that never answers never gets it.
        cli_credentials_set_password_callback(creds, askPassword);
    }
    return creds;
}

void VcScmrListServices(const VcScmrRequest* request, VcScmrResult* result) {
    memset(result, 0, sizeof *result);
    result->stage = VC_SCMR_MANAGER_UNAVAILABLE;
    result->errorCode = result->connectStatus = NT_STATUS_V(NT_STATUS_NO_MEMORY);
    currentRequest = request;
    currentResult = result;
    static bool initialised = false;
    if (!initialised) {
        dcerpc_init();
        initialised = true;
    }

    TALLOC_CTX* mem = talloc_new(NULL);
    struct tevent_context* ev = mem ? tevent_context_init(mem) : NULL;
    struct loadparm_context* lp = mem ? loadparm_init(mem) : NULL;
    if (lp)
        VcSambaClientParameters(request->kerberos, request->requireEncryption, setCmdline, lp);
    struct cli_credentials* creds = ev && lp ? credentialsFor(mem, lp, request, result) : NULL;
    if (!creds) {
        talloc_free(mem);
        return;
    }

    // Connecting to the address already found spares the library its own name lookup; the
    // name still identifies the machine to the authentication (its service principal).
    char* binding = request->address && *request->address
                        ? talloc_asprintf(mem, "ncacn_np:%s[\\pipe\\svcctl,target_hostname=%s]",
                                          request->address, request->host)
                        : talloc_asprintf(mem, "ncacn_np:%s[\\pipe\\svcctl]", request->host);
    struct dcerpc_pipe* pipe = NULL;
    NTSTATUS status = binding ? dcerpc_pipe_connect(mem, &pipe, binding, &ndr_table_svcctl, creds, ev, lp)
                              : NT_STATUS_NO_MEMORY;
    result->errorCode = result->connectStatus = NT_STATUS_V(status);
    if (NT_STATUS_IS_OK(status) && pipe && request->connectOnly && request->connected)
        request->connected();
    if (!NT_STATUS_IS_OK(status) || !pipe || request->connectOnly) {
        if (NT_STATUS_IS_OK(status) && !pipe)
            result->errorCode = result->connectStatus = NT_STATUS_V(NT_STATUS_UNSUCCESSFUL);
        talloc_free(mem);
        return;
    }
    if (request->connected)
        request->connected();
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

    struct RpcCalls calls = {b, &manager, request->stateFilter, NULL};
    VcScmrCollect(rpcCall, &calls, result);
    talloc_free(calls.piece);
    closeHandle(b, mem, &manager);
    talloc_free(mem);
}

static void copyText(char* target, size_t size, const char* text) {
    if (size == 0)
        return;
    const size_t length = text ? strnlen(text, size - 1) : 0;
    if (length)
        memcpy(target, text, length);
    target[length] = '\0';
}

int VcKerberosLogon(const char* principal, const char* password, const char* ccache, char* principalOut,
                    size_t principalSize, char* message, size_t messageSize) {
    copyText(principalOut, principalSize, "");
    copyText(message, messageSize, "");
    TALLOC_CTX* mem = talloc_new(NULL);
    struct tevent_context* ev = mem ? tevent_context_init(mem) : NULL;
    struct loadparm_context* lp = mem ? loadparm_init(mem) : NULL;
    struct cli_credentials* creds = lp ? cli_credentials_init(mem) : NULL;
    if (!ev || !creds) {
        talloc_free(mem);
        copyText(message, messageSize, "out of memory");
        return 12; // ENOMEM
    }
    VcSambaClientParameters(1, 0, setCmdline, lp);
    cli_credentials_set_conf(creds, lp);
    cli_credentials_set_kerberos_state(creds, CRED_USE_KERBEROS_REQUIRED, CRED_SPECIFIED);
    const char* error = NULL;
    int code = 0;
    if (password) {
        cli_credentials_set_principal(creds, principal, CRED_SPECIFIED);
        cli_credentials_set_password(creds, password, CRED_SPECIFIED);
        struct ccache_container* cache = NULL;
        // A name, not a guess: the cache named is created or replaced, never another one.
        char* name = ccache ? talloc_strdup(mem, ccache) : NULL;
        code = name ? cli_credentials_get_named_ccache(creds, ev, lp, name, &cache, &error) : 22; // EINVAL
    } else {
        code = cli_credentials_set_ccache(creds, lp, ccache, CRED_SPECIFIED, &error);
    }
    if (code == 0)
        copyText(principalOut, principalSize, cli_credentials_get_principal(creds, mem));
    else
        copyText(message, messageSize, error);
    talloc_free(mem);
    return code;
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
