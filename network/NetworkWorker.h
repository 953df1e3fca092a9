// The network worker process: where every use of the Samba client libraries, Kerberos and the
// directory client happens. Those libraries keep process-wide state, so parallel work means
// several processes; and a process can be ended at any point when a machine stalls.
#pragma once

namespace NetworkWorker {

// Called first thing in main() of every program that may use a real network: when the
// program was started as a network worker, runs the worker and ends the process; otherwise
// returns at once.
void runIfAsked(int argc, char** argv);

// What the jobs call while they work.
// The job moves (a MiB copied, a page read): its deadline starts again.
void progress();
// The job's logon needs the password now; nothing when the console refuses it (then the
// job gives up). The text stays valid until the job ends.
const char* password();
// The job's connection is made: the rest of its deadline applies.
void connected();

} // namespace NetworkWorker
