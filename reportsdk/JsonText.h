#pragma once
// The JSON texts the report library and the logger write and read. The two
// styled forms are jsoncpp's own writers, so files and payloads come out
// byte for byte as those writers make them.
#include <string>

#include <json/json.h>

namespace JsonText {

// jsoncpp's styled writer: three-blank indentation, newline at the end.
std::string Styled(const Json::Value& value);
// jsoncpp's styled stream writer in its default settings: tab indentation,
// newline at the end.
std::string StyledStream(const Json::Value& value);
// One line, no blanks.
std::string Compact(const Json::Value& value);

// Parses text; false with the parser's error text when it is not JSON.
bool Parse(const std::string& text, Json::Value& value, std::string* error = nullptr);

// The text of a member: a string as it is, a number or bool as jsoncpp
// prints it, "" for null, objects and arrays (never throws).
std::string TextOf(const Json::Value& value);
// value[name] for an object, null for anything else (jsoncpp asserts when a
// member is asked of an array or a number).
const Json::Value& MemberOf(const Json::Value& value, const char* name);

}  // namespace JsonText
