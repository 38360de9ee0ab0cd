#include "reportsdk/JsonText.h"

#include <memory>
#include <sstream>

namespace JsonText {

std::string Styled(const Json::Value& value) {
    Json::StyledWriter writer;
    return writer.write(value);
}

std::string StyledStream(const Json::Value& value) {
    std::ostringstream out;
    Json::StyledStreamWriter writer;
    writer.write(out, value);
    return out.str();
}

std::string Compact(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
}

bool Parse(const std::string& text, Json::Value& value, std::string* error) {
    Json::Reader reader;
    if (reader.parse(text, value, false)) return true;
    if (error) *error = reader.getFormattedErrorMessages();
    value = Json::Value();
    return false;
}

std::string TextOf(const Json::Value& value) {
    switch (value.type()) {
    case Json::stringValue:
        return value.asString();
    case Json::intValue:
    case Json::uintValue:
    case Json::realValue:
    case Json::booleanValue:
        return value.asString();
    default:
        return "";
    }
}

const Json::Value& MemberOf(const Json::Value& value, const char* name) {
    static const Json::Value null;
    if (!value.isObject()) return null;
    const Json::Value* member = value.find(name, name + std::char_traits<char>::length(name));
    return member ? *member : null;
}

}  // namespace JsonText
