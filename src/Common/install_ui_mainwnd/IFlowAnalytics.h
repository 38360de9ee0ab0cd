#pragma once
// The analytics calls the install flow makes, in the logger's vocabulary:
// events, funnel steps, funnel parameter and map events. The flow never
// looks at the results (analytics never change the control flow).
#include <map>
#include <string>

#include "EnumLanguage.h"

class IFlowAnalytics {
public:
    virtual ~IFlowAnalytics() = default;

    virtual void Event(const std::string& category, const std::string& action, const std::string& label,
                       bool wait = false) = 0;
    virtual void Funnel(int step, const std::string& eventType, const std::string& coreFunction,
                        const std::string& category, const std::string& action, const std::string& label,
                        bool wait = false) = 0;
    virtual void FunnelParam(const std::string& category, const std::string& action, const std::string& key,
                             const std::string& value) = 0;
    virtual void FunnelMap(const std::string& category, const std::string& action,
                           const std::map<std::string, std::string>& params) = 0;
    virtual void SetLanguageInfo(EnumLanguage language, const std::string& version) = 0;

    // ("Other", "FlowError", code).
    void FlowError(const std::string& code) { Event("Other", "FlowError", code); }
};
