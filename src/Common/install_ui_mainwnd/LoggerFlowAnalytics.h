#pragma once
// The flow's analytics sent through the process-wide funnel and event
// logger, never as kit events.
#include "Common/install_ui_mainwnd/IFlowAnalytics.h"

class LoggerFlowAnalytics : public IFlowAnalytics {
public:
    void Event(const std::string& category, const std::string& action, const std::string& label,
               bool wait) override;
    void Funnel(int step, const std::string& eventType, const std::string& coreFunction,
                const std::string& category, const std::string& action, const std::string& label,
                bool wait) override;
    void FunnelParam(const std::string& category, const std::string& action, const std::string& key,
                     const std::string& value) override;
    void FunnelMap(const std::string& category, const std::string& action,
                   const std::map<std::string, std::string>& params) override;
    void SetLanguageInfo(EnumLanguage language, const std::string& version) override;
};
