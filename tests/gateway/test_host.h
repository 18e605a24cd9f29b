// test_host.h - what the gateway tests ask of the machine: a network of their
// own where the platform allows it, the port to serve on, and the count of this
// process's live child processes (the interpreters a run left behind).
#pragma once

// Linux: a private network namespace (loopback up), so that the fixed port and
// the port freeing of Start can reach no other program. Call before any thread
// exists. False where it is not allowed; the tests then share the machine's.
bool EnterPrivateNetwork();

// The port the tests' server listens on.
int GatewayTestPort();

// Children of this process that have not been reaped; -1 where unknown.
int ChildProcessCount();
