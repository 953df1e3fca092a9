// The worker's jobs: the account's Kerberos logon, service lists, proofs, copies, the directory.
#include "network/WorkerJobs.h"

#include "network/LdapDirectory.h"
#include "network/MachineName.h"
#include "network/NetworkReason.h"
#include "network/NetworkWorker.h"
#include "network/ScmrClient.h"
#include "network/SmbPort.h"
#include "network/SmbShareFile.h"

#include <QFile>

namespace WorkerJobs {
namespace {

using WorkerMessages::Job;
using WorkerMessages::JobKind;
using WorkerMessages::Reply;
using WorkerMessages::Setup;

Reply logon(const Setup& setup, const Job& job) {
    Reply reply;
    char principal[512] = {};
    char message[512] = {};
    const QByteArray ccache = QFile::encodeName(setup.ccache);
    const char* password = job.usePassword ? NetworkWorker::password() : nullptr;
    reply.passwordAsked = job.usePassword;
    if (job.usePassword && !password) {
        reply.failure = NetworkFailure::Stopped;
        return reply;
    }
    const int code =
        VcKerberosLogon(job.principal.constData(), password, ccache.isEmpty() ? nullptr : ccache.constData(),
                        principal, sizeof principal, message, sizeof message);
    if (code == 0) {
        reply.connected = true;
        reply.principal = QByteArray(principal);
        return reply;
    }
    const QByteArray realm = job.principal.mid(job.principal.lastIndexOf('@') + 1);
    // Without a password the logon is the caller's own, made with kinit.
    const NetworkReason reason =
        job.usePassword
            ? NetworkReasons::fromKerberos(code, QString::fromUtf8(message), QString::fromUtf8(realm))
            : NetworkReason{NetworkFailure::Setup,
                            QStringLiteral("Kerberos: no usable ticket in the ticket cache (run kinit): ") +
                                QString::fromUtf8(message)};
    reply.failure = reason.failure;
    reply.reason = reason.text;
    return reply;
}

Reply enumerate(const Setup& setup, const Job& job) {
    Reply reply;
    LdapDirectory::Options options;
    options.kerberos = setup.kerberos;
    options.user = setup.username;
    options.domain = setup.domain;
    options.caCertificate = setup.caCertificate;
    options.timeoutSeconds = setup.timeoutSeconds;
    options.pageSize = job.pageSize;
    const LdapDirectory::Result result = LdapDirectory::computers(job.urls, options);
    reply.passwordAsked = result.passwordAsked;
    reply.connected = result.bound;
    reply.names = result.names;
    reply.failure = result.reason.failure;
    reply.reason = result.reason.text;
    return reply;
}

} // namespace

Reply serviceQuery(const Setup& setup, const Job& job, const QByteArray& knownAddress) {
    Reply reply;
    reply.stage = VC_SCMR_MANAGER_UNAVAILABLE;
    QByteArray address = knownAddress;
    if (address.isEmpty()) {
        const SmbPortAnswer port = smbPortAddress(job.machine, setup.timeoutSeconds);
        if (port.address.isEmpty()) {
            reply.failure = port.reason.failure;
            reply.reason = port.reason.text;
            return reply;
        }
        address = port.address;
    }
    const QByteArray host = job.machine.toUtf8();
    const QByteArray ccache = QFile::encodeName(setup.ccache);
    VcScmrRequest request = {};
    request.host = host.constData();
    // The binding takes IPv4 addresses; an IPv6 machine is connected to by its name.
    request.address = address.contains(':') ? nullptr : address.constData();
    request.username = setup.username.constData();
    request.domain = setup.domain.constData();
    request.kerberos = setup.kerberos ? 1 : 0;
    request.ccache = ccache.isEmpty() ? nullptr : ccache.constData();
    request.requireEncryption = setup.requireEncryption ? 1 : 0;
    request.timeoutSeconds = setup.timeoutSeconds;
    request.stateFilter = uint32_t(job.stateFilter);
    request.connectOnly = job.kind == JobKind::Prove ? 1 : 0;
    request.password = [] { return NetworkWorker::password(); };
    request.connected = [] { NetworkWorker::connected(); };
    VcScmrResult result = {};
    VcScmrListServices(&request, &result);
    reply.passwordAsked = result.passwordAsked != 0;
    reply.connected = result.connectStatus == 0;
    reply.stage = result.stage;
    reply.errorCode = qint64(result.errorCode);
    if (!reply.connected) {
        const NetworkReason reason = NetworkReasons::fromStatus(
            result.connectStatus, NetworkReasons::Step::ServiceManager, setup.kerberos,
            MachineName::isAddress(job.machine), setup.timeoutSeconds);
        reply.failure = reason.failure;
        reply.reason = reason.text;
    } else if (result.stage == VC_SCMR_MANAGER_UNAVAILABLE) {
        reply.failure = result.errorCode == 5 ? NetworkFailure::Refused : NetworkFailure::Other;
        reply.reason = result.errorCode == 5
                           ? QStringLiteral("access denied: the account may not use the service manager")
                           : QStringLiteral("the service manager refused (error %1)").arg(result.errorCode);
    }
    for (size_t i = 0; i < result.count; ++i)
        reply.entries.append({QString::fromUtf8(result.entries[i].name), result.entries[i].state});
    VcScmrResultFree(&result);
    return reply;
}

Reply run(const Setup& setup, const Job& job) {
    switch (job.kind) {
    case JobKind::Logon:
        return logon(setup, job);
    case JobKind::Services:
    case JobKind::Prove:
        return serviceQuery(setup, job);
    case JobKind::Copy:
        return SmbShareFile::copy(setup, job);
    case JobKind::Enumerate:
        return enumerate(setup, job);
    }
    Reply reply;
    reply.failure = NetworkFailure::Other;
    return reply;
}

} // namespace WorkerJobs
