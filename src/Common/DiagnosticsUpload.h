#pragma once
// Packing the run's log (and crash dumps) into a ZIP archive and uploading it
// to the log-collection service.
#include <string>

// 0 when an archive was made, -1 otherwise.
int PackAndUploadLogs(const std::string& logFileName, const std::string& catalogue, bool collectDumps);

// 0 on HTTP 200; -1 when the archive path has 4 characters or fewer; -2 when
// no transfer handle can be made; -3 on a transfer error or another status.
int UploadLogArchive(const std::string& archivePath, const std::string& uploadName,
                     const std::string& productId, const std::string& version,
                     const std::string& catalogue);
