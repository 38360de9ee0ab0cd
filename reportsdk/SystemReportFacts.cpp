#include "reportsdk/DeviceFacts.h"
#include "reportsdk/ReportFacts.h"

ReportFacts SystemReportFacts() {
    ReportFacts facts;
    facts.sessionGuid = DeviceFacts::NewSessionGuid;
    facts.volumeId = DeviceFacts::VolumeId;
    facts.volumeSerial = DeviceFacts::VolumeSerial;
    facts.osName = DeviceFacts::LibraryOsName;
    facts.osVersion = DeviceFacts::OsVersionText;
    facts.macAddress = DeviceFacts::MacAddressText;
    facts.boardMaker = DeviceFacts::BoardMaker;
    facts.boardModel = DeviceFacts::BoardModel;
    facts.nowMilliseconds = DeviceFacts::TimeInMilliseconds;
    return facts;
}
