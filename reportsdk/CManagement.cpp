#include "reportsdk/CManagement.h"

#include <cstdlib>
#include <curl/curl.h>
#include <fstream>
#include <sys/stat.h>

#include "platform/DesktopUserFiles.h"
#include "platform/Folders.h"
#include "platform/LocalSettings.h"
#include "reportsdk/JsonText.h"

namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The folders of the library are made one level at a time, as each path is
// computed; an existing folder is no error.
std::string MadeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) == 0) platform::HandToDesktopUser(path);
    return path;
}

bool ReadTestSwitch(const std::string& exeDir) {
    const auto file = platform::IniFile::Load(exeDir + "test.wk");
    if (!file) return false;
    const auto value = file->GetString("Configs", "TestEnv");
    return value && std::strtol(value->c_str(), nullptr, 10) != 0;
}

std::string Call(const std::function<std::string()>& source) { return source ? source() : ""; }

std::string CurlVersionText() {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    return info && info->version ? info->version : "";
}

}  // namespace

CManagement::CManagement(ReportFacts facts, std::string executablePath)
    : facts_(std::move(facts)),
      executablePath_(std::move(executablePath)),
      exeDir_(FolderOf(executablePath_)),
      testEnv_(ReadTestSwitch(exeDir_)) {}

CManagement::~CManagement() = default;

void CManagement::Init(int type, int mainPid, int pid, const std::string& email, const std::string& phone,
                       const std::string& product, const std::string& productVersion,
                       const std::string& userId) {
    {
        std::lock_guard hold(fieldsLock_);
        fields_.type = type;
        fields_.mainPid = mainPid;
    }
    log_.Open(LogsFolder());
    CommonFieldStore machine;
    machine.sessionId = Call(facts_.sessionGuid);
    machine.uid = Call(facts_.volumeId);
    machine.os = Call(facts_.osName);
    machine.osVersion = Call(facts_.osVersion);
    machine.mac = Call(facts_.macAddress);
    machine.brand = Call(facts_.boardMaker);
    machine.model = Call(facts_.boardModel);
    {
        std::lock_guard hold(fieldsLock_);
        fields_.pid = pid;
        fields_.email = email;
        fields_.phone = phone;
        fields_.product = product;
        fields_.productVersion = productVersion;
        fields_.userId = userId;
        fields_.sessionId = machine.sessionId;
        fields_.uid = machine.uid;
        fields_.os = machine.os;
        fields_.osVersion = machine.osVersion;
        fields_.mac = machine.mac;
        fields_.brand = machine.brand;
        fields_.model = machine.model;
    }
    Log("SDK init ok, version 1.0.0.7, type " + std::to_string(type) + ", main_pid " + std::to_string(mainPid) +
        ", " + product + " " + productVersion + ", with curl " + CurlVersionText());
}

void CManagement::SetDownloaderInfo(int downloaderId, int kitType, const std::string& toolsLang,
                                    const std::string& toolsVersion) {
    std::lock_guard hold(fieldsLock_);
    fields_.downloaderId = downloaderId;
    fields_.kitType = kitType;
    fields_.toolsLang = toolsLang;
    fields_.toolsVersion = toolsVersion;
}

void CManagement::SetExtraCommon(const std::string& extraJson, const std::string& userId,
                                 const std::string& toolsLang, const std::string& productVersion, int pid) {
    Json::Value extra;
    std::string error;
    bool take = false;
    if (!extraJson.empty()) {
        if (!JsonText::Parse(extraJson, extra, &error)) {
            Log("Extra common parse failed: " + error);
        } else {
            extra = CommonFields::AllowedExtraMembers(extra);
            take = !extra.empty();
        }
    }
    std::lock_guard hold(fieldsLock_);
    if (take) {
        fields_.extraCommon = JsonText::Styled(extra);
        fields_.extraCommonObject = extra;
    }
    fields_.userId = userId;
    fields_.toolsLang = toolsLang;
    fields_.productVersion = productVersion;
    fields_.pid = pid;
}

CommonFieldStore CManagement::Fields() {
    std::lock_guard hold(fieldsLock_);
    if (fields_.crossEndId.empty()) fields_.crossEndId = CommonFields::LookUpCrossEndId(fields_.type, executablePath_);
    return fields_;
}

int CManagement::MainPid() const {
    std::lock_guard hold(fieldsLock_);
    return fields_.mainPid;
}

std::string CManagement::ReportFolder() const { return MadeFolder(platform::AppDataDir() + "/QKDataReportSDK"); }

std::string CManagement::ProductFolder() const {
    return MadeFolder(ReportFolder() + "/" + std::to_string(MainPid()));
}

std::string CManagement::LogsFolder() const { return MadeFolder(ProductFolder() + "/logs"); }

std::string CManagement::HistoryPath() const { return MadeFolder(ProductFolder() + "/backup") + "/tempga.wk"; }

std::string CManagement::CollectorUrl() const {
    return testEnv_ ? platform::ServiceBaseUrl("CollectorTest") + "/collector"
                    : platform::ServiceBaseUrl("Collector") + "/collect";
}

std::string CManagement::Ga4BaseUrl() const { return platform::ServiceBaseUrl("GA4"); }

std::string CManagement::ProxyLine() const {
    std::ifstream in(exeDir_ + "proxy.txt", std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) return "";
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}
