#pragma once
// Results of the download engine, as returned to the install flow. The
// values are fixed: the install worker maps them to its flow error codes.
// Values 2 to 5 and 14 are never produced.

enum class EnumErrorCode : int {
    Success = 1,                 // tasks ready, threads created, package complete
    GetContentLengthFailed = 6,  // the package length could not be learned in 10 attempts
    OpenLocalFileFailed = 7,     // the package file could not be opened for writing
    NoDownloadThread = 8,        // not a single download thread could be started
    NetworkNotAlive = 9,         // the system reports no network connection
    NoSpeedTimeout = 10,         // no byte arrived for 60 seconds
    CdnFailed = 11,              // on a CDN address, failed range requests exceeded 3 x the task count
    LengthLessThanRemote = 12,   // the transfer ended with fewer bytes than the remote length
    TooManyRedirects = 13,       // the length probe ended in libcurl error 47
    FileTooSmall = 15,           // the finished main package is smaller than 1 MiB
};
