#include "Common/install_ui_mainwnd/LoggerFlowAnalytics.h"

#include "SingleUserLog.h"

namespace {
CSingleUserLog& Logger() { return CSingleUserLog::GetInstance(); }
constexpr bool kNotKit = false;
}  // namespace

void LoggerFlowAnalytics::Event(const std::string& category, const std::string& action,
                                const std::string& label, bool wait) {
    Logger().AddUserLogEvent(category, action, label, wait);
}

void LoggerFlowAnalytics::Funnel(int step, const std::string& eventType, const std::string& coreFunction,
                                 const std::string& category, const std::string& action,
                                 const std::string& label, bool wait) {
    Logger().AddUserLog_funnel(eventType, coreFunction, step, category, action, label, wait, kNotKit);
}

void LoggerFlowAnalytics::FunnelParam(const std::string& category, const std::string& action,
                                      const std::string& key, const std::string& value) {
    Logger().AddUserLog_funnelParam(false, kNotKit, category, action, key, value);
}

void LoggerFlowAnalytics::FunnelMap(const std::string& category, const std::string& action,
                                    const std::map<std::string, std::string>& params) {
    Logger().AddUserLog_funnelEx(category, action, params, false, kNotKit);
}

void LoggerFlowAnalytics::SetLanguageInfo(EnumLanguage language, const std::string& version) {
    Logger().SetLanguageInfo(language, version);
}
