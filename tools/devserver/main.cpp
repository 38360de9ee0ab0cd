// The devserver: plays every remote service of the installer on the local
// machine, over HTTP and HTTPS, for the tests and the demo.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>
#include <utility>

#include <httplib.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ControlApi.h"
#include "Options.h"
#include "RequestRecorder.h"
#include "RuleBook.h"
#include "ServiceRouter.h"
#include "StopFlag.h"

namespace {

using namespace devserver;

// The library listens with a backlog of 5, too short for a pool of download
// threads that all connect at once; raise it once the socket is bound.
template <class Base>
class WideBacklogServer : public Base {
public:
    using Base::Base;
    void RaiseBacklog() { ::listen(this->svr_sock_, 1024); }
};

using PlainServer = WideBacklogServer<httplib::Server>;
using TlsServer = WideBacklogServer<httplib::SSLServer>;

template <class Server>
int Bind(Server& server, const Options& options, int port) {
    int bound = -1;
    if (port == 0) {
        bound = server.bind_to_any_port(options.host);
    } else if (server.bind_to_port(options.host, port)) {
        bound = port;
    }
    if (bound > 0) server.RaiseBacklog();
    return bound;
}

template <class Server>
void Configure(Server& server, const Options& options) {
    const int threads = options.threads;
    server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
}

bool WriteFileAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

// The certificate chain and key to serve: those given, else the ones the
// build's test CA issued (build/tls, next to build/bin).
std::pair<std::string, std::string> TlsIdentity(const Options& options) {
    if (!options.tlsCert.empty()) return {options.tlsCert, options.tlsKey};
    std::error_code ignored;
    const auto folder = std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path() / ".." / "tls";
    return {(folder / "server.pem").string(), (folder / "server-key.pem").string()};
}

void PrepareFolders(Options& options) {
    std::error_code ignored;
    if (options.uploadsDir.empty() && !options.recordFile.empty()) {
        options.uploadsDir = (std::filesystem::path(options.recordFile).parent_path() / "uploads").string();
        if (std::filesystem::path(options.recordFile).parent_path().empty()) options.uploadsDir = "uploads";
    }
    if (!options.uploadsDir.empty()) std::filesystem::create_directories(options.uploadsDir, ignored);
}

// Ends the server when the process that started it has gone (a test that
// crashed must not leave servers behind).
void WatchParent(pid_t parent) {
    while (!StopFlag::Instance().Raised()) {
        if (::getppid() != parent) {
            ::kill(::getpid(), SIGTERM);
            return;
        }
        StopFlag::Instance().SleepFor(std::chrono::milliseconds(200));
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    auto parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!parsed) {
        std::cerr << "devserver: " << error << "\n" << UsageText();
        return 2;
    }
    Options options = *parsed;
    PrepareFolders(options);

    // Stop signals are taken by the main thread only; every other thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    RuleBook rules;
    RequestRecorder recorder(options.recordFile);
    if (!options.recordFile.empty() && !recorder.Enabled()) {
        std::cerr << "devserver: cannot write " << options.recordFile << "\n";
        return 2;
    }
    ListeningPorts ports;
    ControlApi control(rules, recorder, options.rulesFile, ports);
    if (!options.rulesFile.empty() && !control.LoadRulesFile(error)) {
        std::cerr << "devserver: rules: " << error << "\n";
        return 2;
    }
    auto catalog = LoadContentCatalog(options.contentFile, error);
    if (!catalog) {
        std::cerr << "devserver: content: " << error << "\n";
        return 2;
    }
    ServiceRouter router(options, rules, recorder, control, std::move(*catalog));

    PlainServer plain;
    Configure(plain, options);
    router.Install(plain, "http", ports.http);
    ports.http = Bind(plain, options, options.httpPort);
    if (ports.http <= 0) {
        std::cerr << "devserver: cannot listen on " << options.host << ":" << options.httpPort << "\n";
        return 1;
    }

    std::unique_ptr<TlsServer> tls;
    if (options.https) {
        const auto [chain, key] = TlsIdentity(options);
        tls = std::make_unique<TlsServer>(chain.c_str(), key.c_str());
        if (!tls->is_valid()) {
            std::cerr << "devserver: cannot set up TLS with " << chain << " and " << key << "\n";
            return 1;
        }
        Configure(*tls, options);
        router.Install(*tls, "https", ports.https);
        ports.https = Bind(*tls, options, options.httpsPort);
        if (ports.https <= 0) {
            std::cerr << "devserver: cannot listen on " << options.host << ":" << options.httpsPort << "\n";
            return 1;
        }
    }

    std::thread plainListener([&plain] { plain.listen_after_bind(); });
    std::thread tlsListener;
    if (tls) tlsListener = std::thread([&tls] { tls->listen_after_bind(); });
    std::thread watcher;
    if (options.exitWithParent) watcher = std::thread(WatchParent, ::getppid());

    const std::string portsJson = "{\"http\":" + std::to_string(ports.http) + ",\"https\":" +
                                  std::to_string(ports.https) + ",\"pid\":" + std::to_string(::getpid()) + "}\n";
    if (!options.portsFile.empty() && !WriteFileAtomically(options.portsFile, portsJson)) {
        std::cerr << "devserver: cannot write " << options.portsFile << "\n";
    }
    std::cout << "devserver http://" << options.host << ":" << ports.http;
    if (tls) std::cout << " https://" << options.host << ":" << ports.https;
    std::cout << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    StopFlag::Instance().Raise();
    plain.stop();
    if (tls) tls->stop();
    plainListener.join();
    if (tlsListener.joinable()) tlsListener.join();
    if (watcher.joinable()) watcher.join();
    return 0;
}
