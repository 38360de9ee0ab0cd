#pragma once
// Stopping a background service of the product family before its files are
// replaced. On this system a service is a systemd unit, of the system or of
// the user; it is driven through systemctl with an argument list, never a
// shell.
#include <string>

// Results of StopProductService.
enum ProductServiceStop {
    ServiceStoppedOrNothingToDo = 0,
    ServiceManagerNotOpened = 1,
    ServiceNotFound = 2,
    ServiceStatusQueryFailed = 3,
    ServiceStopRefused = 4,
};

// What StopProductService talks to; Detect() finds this system's.
struct ServiceManagers {
    std::string systemctl;       // path of systemctl; "" when not installed
    bool systemManager = false;  // systemd runs the system
    bool userManager = false;    // this user has a systemd instance
    int stopTimeoutMs = 20000;   // how long a stop may block the caller

    static ServiceManagers Detect();
};

// The unit name of the product family's service for a software id; "" when
// the product has none.
std::string ProductServiceUnit(int softwareId);

// Stops the product's service when one is loaded and running: the system's
// unit first, then the user's. A ProductServiceStop value; callers may ignore it.
int StopProductService(int softwareId, const ServiceManagers& managers = ServiceManagers::Detect());
