#pragma once
// Ports on 127.0.0.1 for tests that need a service to be absent.
namespace testsupport {

// A loopback port nobody listens on: a free one is bound and let go again.
// 0 when no socket could be had.
int ClosedLoopbackPort();

}  // namespace testsupport
