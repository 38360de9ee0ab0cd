#pragma once
// Rules that tell CDN addresses from direct ones, classify download hosts,
// pick the package address, and report verification and redirect failures
// to the error-report service.
#include <string>
#include <string_view>
#include <vector>

// True when the address contains "//cdn." or "//dl." (case-sensitive, anywhere).
bool IsCdnUrl(const std::string& address);
// The lower-cased host name of an address, or "" when it has none.
std::string GetUrlHost(const std::string& address);
// 10 CDN-like or malformed, 12 "ali" mirrors, 13 the other regional mirror, 11 any other.
int GetHostType(const std::string& address);

// True when the download request counter ("RequestTooMuchTimes" under the
// product's uninstall key in HKEY_LOCAL_MACHINE) is above 3; false when the
// store cannot be opened with all access or the value is missing.
bool isForbidCDN(const std::string& softwareName);
// The rule on the counter's text: its leading digits as a number, above 3.
bool CounterForbidsCdn(std::string_view counter);
// The counter's text after one more failed CDN download: one digit, n + 1
// for a stored n of at least 1 (held at 9), else "1".
std::string NextRequestCounter(std::string_view counter);
// Adds one to the counter (a missing value, or a store that cannot be opened
// with all access, counts as 0); false when it could not be written.
bool AddDownloadRequestCount(const std::string& softwareName);

// The package address: the first candidate that is not a CDN address, or ""
// when there is none. Logs the counter rule's answer (for information only)
// and the choice.
std::string CheckRemotePath(const std::vector<std::string>& candidates, const std::string& softwareName);

// --- error reports ------------------------------------------------------------

// The exception codes of the four reports; loadSource is where the
// configuration came from (0, 1 or 2).
inline constexpr const char* kRedirectReportCode = "Url_Too_Many_Redirects";
std::string Md5AndHashFailCode(int loadSource);  // "MD5_Hash_Check_Fail_Cfg%d"
std::string Md5FailCode(int loadSource);         // "MD5_Check_Fail_Cfg%d"
std::string HashFailCode(int loadSource);        // "Hash_Check_Fail_Cfg%d"

// The report's form body, not escaped:
//   "pid=%d&type=2&exception_code=" + code + "&other=" + first + "," + second
// bounded to 2047 bytes for the redirect report and 1023 for the others
// (the details are cut, never split inside a character).
std::string ErrorReportBody(int pid, const std::string& exceptionCode, const std::string& firstDetail,
                            const std::string& secondDetail);

// The endpoint: the test service when TestEnv is on, else production, with
// the path "/api/exception/send".
std::string ErrorReportEndpoint();

// POSTs the report (8 s to connect, 10 s in all, no certificate checks),
// logs the reply, and returns the transfer result. The flow goes on
// whatever the result; nothing is retried.
int SendErrorReport(int pid, const std::string& exceptionCode, const std::string& firstDetail,
                    const std::string& secondDetail);
