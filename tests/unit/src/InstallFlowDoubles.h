#pragma once
// Stand-ins for what the install flow talks to and this build does not have
// yet or cannot have in a unit test: the wizard window (a port that records
// the messages posted to it), the analytics sink (records every call in
// order) and the download engine (plays a scripted series of round results,
// copying a real package file on success).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <openssl/evp.h>

#include "CConfigure.h"
#include "Common/EmbeddedLabels.h"
#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/IFlowAnalytics.h"
#include "Common/install_ui_mainwnd/IInstallWindowPort.h"
#include "Common/install_ui_mainwnd/IPackageTransfer.h"
#include "Common/install_ui_mainwnd/InstallRunState.h"
#include "support/DemoPackage.h"
#include "support/TempDir.h"

namespace flowtest {

// Every analytics call as one text, in call order:
//   E|category|action|label|wait     event
//   F|step|type|core|category|action|label|wait   funnel step
//   P|category|action|key|value      funnel parameter event
//   M|category|action|k=v;k=v        funnel map event
//   L|language|version               language handed to the logger
class RecordingAnalytics : public IFlowAnalytics {
public:
    void Event(const std::string& category, const std::string& action, const std::string& label,
               bool wait) override {
        Add("E|" + category + "|" + action + "|" + label + "|" + (wait ? "1" : "0"));
    }
    void Funnel(int step, const std::string& eventType, const std::string& coreFunction,
                const std::string& category, const std::string& action, const std::string& label,
                bool wait) override {
        Add("F|" + std::to_string(step) + "|" + eventType + "|" + coreFunction + "|" + category + "|" + action +
            "|" + label + "|" + (wait ? "1" : "0"));
    }
    void FunnelParam(const std::string& category, const std::string& action, const std::string& key,
                     const std::string& value) override {
        Add("P|" + category + "|" + action + "|" + key + "|" + value);
    }
    void FunnelMap(const std::string& category, const std::string& action,
                   const std::map<std::string, std::string>& params) override {
        std::string text = "M|" + category + "|" + action + "|";
        for (const auto& [key, value] : params) text += key + "=" + value + ";";
        Add(text);
    }
    void SetLanguageInfo(EnumLanguage language, const std::string& version) override {
        Add("L|" + std::to_string(static_cast<int>(language)) + "|" + version);
    }

    std::vector<std::string> Calls() const {
        std::lock_guard guard(lock_);
        return calls_;
    }
    std::size_t Count(const std::string& call) const {
        const auto calls = Calls();
        return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
    }
    // Position of the first call equal to call at or after from; npos when none.
    std::size_t Find(const std::string& call, std::size_t from = 0) const {
        const auto calls = Calls();
        for (std::size_t i = from; i < calls.size(); ++i)
            if (calls[i] == call) return i;
        return std::string::npos;
    }
    // True when every call of sequence appears, in this order.
    bool InOrder(const std::vector<std::string>& sequence) const {
        std::size_t at = 0;
        for (const auto& call : sequence) {
            at = Find(call, at);
            if (at == std::string::npos) return false;
            ++at;
        }
        return true;
    }

    // Runs on the caller's thread after each call is recorded.
    std::function<void(const std::string& call)> onCall;

private:
    void Add(std::string call) {
        {
            std::lock_guard guard(lock_);
            calls_.push_back(call);
        }
        if (onCall) onCall(call);
    }
    mutable std::mutex lock_;
    std::vector<std::string> calls_;
};

struct PostedMessage {
    unsigned message;
    std::uintptr_t wParam;
};

// The window as the flow sees it. The configuration is built from the
// given labels, as the window builds it from its layout.
class TestWindow : public IInstallWindowPort {
public:
    explicit TestWindow(LabelList labels)
        : labels_(labels), configuration_(0, 0, 0) {
        configuration_.LoadFromLayout(labels_, false);
    }

    bool PostWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t) override {
        {
            std::lock_guard guard(lock_);
            messages_.push_back({message, wParam});
        }
        posted_.notify_all();
        // A window whose estimate ran out before the setup ended shows 99.
        if (message == installmsg::kSetupStarted && barAt99AfterSetupStart) SetProgress(99);
        return true;
    }
    int GetProgress() const override { return progress_; }
    void SetProgress(int percent) override {
        int current = progress_;
        while (percent > current && !progress_.compare_exchange_weak(current, percent)) {
        }
        std::lock_guard guard(lock_);
        if (percent > static_cast<int>(progressSeen_.empty() ? -1 : progressSeen_.back()))
            progressSeen_.push_back(percent);
    }
    InstallRunState& RunState() override { return state_; }
    CConfigure& Configuration() override { return configuration_; }
    const IConfigLabelSource& ConfigurationLabels() const override { return labels_; }
    EnumLanguage CurrentLanguage() const override { return language; }
    std::string GetInstallDir() const override { return installDir; }
    void DeliverStartAppClick() override { ++startAppClicks; }
    bool IsClosing() const override { return closing; }

    std::vector<PostedMessage> Messages() const {
        std::lock_guard guard(lock_);
        return messages_;
    }
    std::vector<unsigned> MessageIds() const {
        std::vector<unsigned> ids;
        for (const auto& posted : Messages()) ids.push_back(posted.message);
        return ids;
    }
    std::vector<int> ProgressSeen() const {
        std::lock_guard guard(lock_);
        return progressSeen_;
    }
    // Waits (generously) until message has been posted.
    bool WaitForMessage(unsigned message, std::chrono::milliseconds timeout = std::chrono::seconds(60)) const {
        std::unique_lock guard(lock_);
        return posted_.wait_for(guard, timeout, [&] {
            return std::any_of(messages_.begin(), messages_.end(),
                               [&](const PostedMessage& posted) { return posted.message == message; });
        });
    }

    EnumLanguage language = English;
    std::string installDir;
    bool barAt99AfterSetupStart = true;
    std::atomic<int> startAppClicks{0};
    std::atomic<bool> closing{false};

private:
    EmbeddedConfigLabels labels_;
    CConfigure configuration_;
    InstallRunState state_;
    std::atomic<int> progress_{0};
    mutable std::mutex lock_;
    mutable std::condition_variable posted_;
    std::vector<PostedMessage> messages_;
    std::vector<int> progressSeen_;
};

inline std::string DemoPackage() { return testsupport::DemoPackagePath(); }
inline std::string DemoRoots() { return testsupport::DemoRoots(); }
using testsupport::MakeDemoPackage;

inline std::string Md5Of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_md5(), nullptr);
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        EVP_DigestUpdate(context, buffer, static_cast<std::size_t>(in.gcount()));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

// The engine's rounds, scripted: each call takes the next result (the last
// one repeats). A round that succeeds leaves a copy of source as the
// package and reports halfway and full progress, as the engine does.
class ScriptedTransfer : public IPackageTransfer {
public:
    ScriptedTransfer(std::string source, std::vector<int> results)
        : source_(std::move(source)), results_(results.begin(), results.end()) {}

    int SuperDownloadFile(const std::string& url, const std::string& localPath, std::string& cdnReport,
                          bool main) override {
        urls.push_back(url);
        mains.push_back(main);
        packageExistedAtStart.push_back(std::filesystem::exists(localPath));
        const int result = results_.size() > 1 ? Next() : results_.front();
        cdnReport = cdnReportText;
        if (result != 1) return result;
        if (!packageExistedAtStart.back()) std::filesystem::copy_file(source_, localPath);
        const auto size = static_cast<std::int64_t>(std::filesystem::file_size(localPath));
        if (hook_) {
            hook_(size / 2, size);
            hook_(size, size);
        }
        return result;
    }
    int checkMD5(const std::string& path, const std::string& contentPath, const std::string& md5,
                 const std::string& md5Extra, const std::string& tag) override {
        ++md5Checks;
        const std::string digest = Md5Of(contentPath);
        std::ofstream(path + ".db", std::ios::binary | std::ios::trunc) << tag << "###" << digest;
        return digest == md5 || digest == md5Extra ? 1 : 0;
    }
    void SetProgressTarget(ProgressHook hook) override { hook_ = std::move(hook); }

    std::vector<std::string> urls;
    std::vector<bool> mains;
    std::vector<bool> packageExistedAtStart;
    std::string cdnReportText;
    int md5Checks = 0;

private:
    int Next() {
        const int result = results_.front();
        results_.pop_front();
        return result;
    }
    std::string source_;
    std::deque<int> results_;
    ProgressHook hook_;
};

}  // namespace flowtest
