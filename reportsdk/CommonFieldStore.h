#pragma once
// The common fields that describe the machine, the product and the session
// in every collector payload.
#include <string>

#include <json/json.h>

struct CommonFieldStore {
    int type = 0;  // 1 = a product, 2 = a downloader
    int mainPid = 0;
    int pid = 0;
    std::string email;
    std::string phone;
    std::string product;
    std::string productVersion;
    std::string userId;
    std::string toolsLang;
    std::string toolsVersion;
    int downloaderId = 0;
    int kitType = 0;
    std::string sessionId;
    std::string uid;
    std::string os;
    std::string osVersion;
    std::string mac;
    std::string brand;
    std::string model;
    std::string crossEndId;
    // A JSON object in styled text; "" until extra fields were given.
    std::string extraCommon;
    Json::Value extraCommonObject{Json::objectValue};
};

namespace CommonFields {

// The text between the last "_" and the last "." of a file name when the "_"
// comes first; "" otherwise.
std::string CrossEndIdOfName(const std::string& fileName);
// The first line of an "SP.dat" text (longer than four characters, with a
// "_" before a ".") run through CrossEndIdOfName; "" when no line fits.
std::string CrossEndIdOfSpText(const std::string& text);
// crossEndId for a store of the given type: the program's own file name for
// a downloader, the SP.dat beside it for a product.
std::string LookUpCrossEndId(int type, const std::string& executablePath);

// True when name, lower-cased, may never come from the extra fields.
bool IsReservedName(const std::string& name);
// The members of extra that are not reserved; an empty object when none.
Json::Value AllowedExtraMembers(const Json::Value& extra);

}  // namespace CommonFields
