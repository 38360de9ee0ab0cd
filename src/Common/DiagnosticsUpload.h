#pragma once
// Packing the run's log (and crash dumps) into a ZIP archive and uploading it
// to the log-collection service.
#include <string>

#include "platform/SignalSafeText.h"

// Packs logDir/logFileName (copied first) and, with collectDumps, the crashed
// run's dump (or every "*.dmp" of the log folder) into a ZIP archive in the
// log folder and uploads it with the catalogue ("default" when empty). The
// archive and the copy are deleted only after the service answered 200.
// 0 when an archive was made, -1 otherwise.
int PackAndUploadLogs(const std::string& logFileName, const std::string& catalogue, bool collectDumps);

// 0 on HTTP 200; -1 when the archive path has 4 characters or fewer; -2 when
// no transfer handle can be made; -3 on a transfer error or another status.
int UploadLogArchive(const std::string& archivePath, const std::string& uploadName,
                     const std::string& productId, const std::string& version,
                     const std::string& catalogue);

// The naming rules of the packer and the upload.
namespace diagnostics {

inline constexpr const char* kProductId = "QKDownload2900";
inline constexpr const char* kUploadPath = "/v1/productLogUpload";

// The local time now, to the millisecond.
platform::CivilTime LocalTimeNow();
// "yyyyMMddHHmmssmmm".
std::string Stamp17(const platform::CivilTime& time);
// logDir + "/" + stamp + ".zip".
std::string ArchivePathFor(const std::string& logDir, const platform::CivilTime& time);
// The log file name up to its last "_", then "_" + stamp + ".zip"; "" when
// the name has no "_" (the upload then names the file itself).
std::string UploadNameFor(const std::string& logFileName, const platform::CivilTime& time);
// "NoName_" + stamp + the archive's extension (".tmp" when it has none).
std::string NoNameUploadName(const std::string& archivePath, const platform::CivilTime& time);
std::string CatalogueOrDefault(const std::string& catalogue);
// A bare file name: not empty, no "/", not "." or "..". The name comes from
// the command line and must not reach files outside the log folder.
bool IsPlainFileName(const std::string& name);

}  // namespace diagnostics
