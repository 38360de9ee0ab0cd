#pragma once
// The resend process: the program started again with "-sendrestlogs" after
// the wizard closes, to deliver what the history file still holds.
#include <chrono>
#include <string>

class CNetworkCommunicate;

namespace ResendProcess {

constexpr const char* kSwitch = "-sendrestlogs";

struct Limits {
    // How long to wait for the other processes of the product to end before
    // the history is ours to deliver.
    std::chrono::milliseconds claimWait{90000};
    std::chrono::milliseconds claimPoll{1000};
    // How long to go on delivering when the services stay unreachable; what
    // is left stays in the history file for the next run.
    std::chrono::milliseconds deliveryWait{120000};
    std::chrono::milliseconds poll{5000};
};

bool IsResendCommandLine(const std::string& commandLine);

// Checks every poll until nothing is queued or under way; false when limit passed first.
bool WaitForDelivery(const CNetworkCommunicate& network, std::chrono::milliseconds limit,
                     std::chrono::milliseconds poll);

// Starts executable with the single argument "-sendrestlogs", detached and
// without a terminal. False when the file is missing or cannot be started.
bool Launch(const std::string& executable);

}  // namespace ResendProcess
