// Encoding of the worker messages; a payload that does not decode whole is refused.
#include "network/WorkerMessages.h"

#include <QDataStream>
#include <QIODevice>

// Found by argument-dependent lookup for QList<Network::ServiceEntry>.
static QDataStream& operator<<(QDataStream& out, const Network::ServiceEntry& entry) {
    return out << entry.name << qint32(entry.state);
}

static QDataStream& operator>>(QDataStream& in, Network::ServiceEntry& entry) {
    qint32 state = 0;
    in >> entry.name >> state;
    entry.state = state;
    return in;
}

namespace WorkerMessages {
namespace {

template <typename T> QByteArray write(const T& fields) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    fields(out);
    return bytes;
}

template <typename T> bool read(const QByteArray& payload, const T& fields) {
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_4);
    fields(in);
    return in.status() == QDataStream::Ok && in.atEnd();
}

} // namespace

QByteArray encode(const Setup& s) {
    return write([&](QDataStream& out) {
        out << s.kerberos << s.requireEncryption << qint32(s.timeoutSeconds) << s.username << s.domain
            << s.ccache << s.caCertificate;
    });
}

bool decode(const QByteArray& payload, Setup& s) {
    qint32 timeout = 0;
    const bool ok = read(payload, [&](QDataStream& in) {
        in >> s.kerberos >> s.requireEncryption >> timeout >> s.username >> s.domain >> s.ccache >>
            s.caCertificate;
    });
    s.timeoutSeconds = timeout;
    return ok && timeout > 0;
}

QByteArray encode(const Job& j) {
    return write([&](QDataStream& out) {
        out << quint8(j.kind) << j.machine << qint32(j.stateFilter) << j.relativePath << j.folder
            << j.maxFileSize << j.urls << qint32(j.pageSize) << j.principal << j.usePassword;
    });
}

bool decode(const QByteArray& payload, Job& j) {
    quint8 kind = 0;
    qint32 filter = 0;
    qint32 pageSize = 0;
    const bool ok = read(payload, [&](QDataStream& in) {
        in >> kind >> j.machine >> filter >> j.relativePath >> j.folder >> j.maxFileSize >> j.urls >>
            pageSize >> j.principal >> j.usePassword;
    });
    j.kind = JobKind(kind);
    j.stateFilter = filter;
    j.pageSize = pageSize;
    return ok && kind >= quint8(JobKind::Logon) && kind <= quint8(JobKind::Enumerate);
}

QByteArray encode(const Reply& r) {
    return write([&](QDataStream& out) {
        out << quint8(r.failure) << r.reason << r.passwordAsked << r.connected << qint32(r.stage)
            << r.errorCode << r.entries << r.path << r.names << r.principal;
    });
}

bool decode(const QByteArray& payload, Reply& r) {
    quint8 failure = 0;
    qint32 stage = 0;
    const bool ok = read(payload, [&](QDataStream& in) {
        in >> failure >> r.reason >> r.passwordAsked >> r.connected >> stage >> r.errorCode >> r.entries >>
            r.path >> r.names >> r.principal;
    });
    r.failure = NetworkFailure(failure);
    r.stage = stage;
    return ok && failure <= quint8(NetworkFailure::Other);
}

QByteArray frame(Type type, const QByteArray& payload) {
    const quint32 length = quint32(payload.size()) + 1;
    QByteArray bytes;
    bytes.reserve(int(length) + 4);
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(char((length >> shift) & 0xff));
    bytes.append(char(type));
    bytes.append(payload);
    return bytes;
}

} // namespace WorkerMessages
