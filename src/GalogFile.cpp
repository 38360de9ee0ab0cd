#include "GalogFile.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Folders.h"
#include "reportsdk/JsonText.h"

namespace {

// The file's object; an unreadable file or one that is not a JSON object
// counts as empty.
Json::Value ReadObject(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    Json::Value value;
    if (!JsonText::Parse(text.str(), value) || !value.isObject()) return Json::Value(Json::objectValue);
    return value;
}

bool Holds(const Json::Value& object, const char* name, int number) {
    const Json::Value& member = JsonText::MemberOf(object, name);
    return member.isInt() && member.asInt() == number;
}

}  // namespace

GalogFile::GalogFile(std::string path) : path_(std::move(path)) {}

bool GalogFile::DayCheck(int year, int month, int day) const {
    if (path_.empty()) return false;
    std::error_code ignored;
    Json::Value object(Json::objectValue);
    if (std::filesystem::exists(path_, ignored)) {
        object = ReadObject(path_);
        if (Holds(object, "year", year) && Holds(object, "month", month) && Holds(object, "day", day)) return false;
    }
    object["year"] = year;
    object["month"] = month;
    object["day"] = day;
    platform::WriteFileAtomically(path_, JsonText::Styled(object));
    return true;
}

void GalogFile::RecordVersion(const std::string& version) const {
    if (path_.empty()) return;
    std::error_code ignored;
    Json::Value object(Json::objectValue);
    if (std::filesystem::exists(path_, ignored)) {
        object = ReadObject(path_);
        const Json::Value& stored = JsonText::MemberOf(object, "version");
        if (stored.isString() && stored.asString() == version) return;
    }
    object["version"] = version;
    platform::WriteFileAtomically(path_, JsonText::Styled(object));
}
