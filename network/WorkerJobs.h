// The jobs a network worker runs, one at a time: each turns a request into a reply.
#pragma once

#include "network/WorkerMessages.h"

namespace WorkerJobs {

WorkerMessages::Reply run(const WorkerMessages::Setup& setup, const WorkerMessages::Job& job);

// A machine's service list, or (a Prove job) only the connection to its service manager pipe;
// `address` is the machine's address when already found (else the name is looked up).
WorkerMessages::Reply serviceQuery(const WorkerMessages::Setup& setup, const WorkerMessages::Job& job,
                                   const QByteArray& address = QByteArray());

} // namespace WorkerJobs
