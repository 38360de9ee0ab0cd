#pragma once
// The report library's settings and common fields, its folders under APPDATA,
// its daily log and the switches read beside the program (test.wk,
// proxy.txt). One instance serves the process; tests build their own.
#include <mutex>
#include <string>

#include "reportsdk/CommonFieldStore.h"
#include "reportsdk/ReportFacts.h"
#include "reportsdk/SdkLog.h"

class CManagement {
public:
    static CManagement& GetInstance();

    // executablePath names the program whose folder holds test.wk, proxy.txt
    // and SP.dat and whose file name carries the cross-end id.
    CManagement(ReportFacts facts, std::string executablePath);
    virtual ~CManagement();
    CManagement(const CManagement&) = delete;
    CManagement& operator=(const CManagement&) = delete;

    // The steps of Init up to the start line: stores the values, opens the
    // daily log, starts a session and reads the machine facts.
    void Init(int type, int mainPid, int pid, const std::string& email, const std::string& phone,
              const std::string& product, const std::string& productVersion, const std::string& userId);
    void SetDownloaderInfo(int downloaderId, int kitType, const std::string& toolsLang,
                           const std::string& toolsVersion);
    void SetExtraCommon(const std::string& extraJson, const std::string& userId, const std::string& toolsLang,
                        const std::string& productVersion, int pid);

    // A copy of the common fields for one payload (looks the cross-end id up
    // again while it is empty).
    CommonFieldStore Fields();
    int MainPid() const;

    // Folders and files; computing a path creates its folders.
    std::string ProductFolder() const;  // %APPDATA%/QKDataReportSDK/<mainPid>
    std::string LogsFolder() const;     // .../<mainPid>/logs
    std::string HistoryPath() const;    // .../<mainPid>/backup/tempga.wk

    // The daily log.
    void Log(const std::string& message) { log_.Write(message); }
    std::string LogPath() const { return log_.Path(); }

    bool TestEnv() const { return testEnv_; }
    // Where collector payloads go: "/collect", or "/collector" with TestEnv.
    std::string CollectorUrl() const;
    std::string Ga4BaseUrl() const;
    // The first line of proxy.txt beside the program; "" for none.
    std::string ProxyLine() const;
    const std::string& ExeDir() const { return exeDir_; }

    ReportFacts& Facts() { return facts_; }

private:
    std::string ReportFolder() const;

    ReportFacts facts_;
    const std::string executablePath_;
    const std::string exeDir_;
    bool testEnv_ = false;

    mutable std::mutex fieldsLock_;
    CommonFieldStore fields_;
    SdkLog log_;
};
