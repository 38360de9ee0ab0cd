#pragma once
// The GA4 measurement-protocol request: collection path, client id and the
// percent-encoded tail the logger composed.
#include <string>

namespace Ga4Request {

// Letters, digits and ! & ' ( ) * - . = _ ~ stay; every other byte becomes
// "%" and two lower-case hexadecimal digits.
std::string PercentEncode(const std::string& text);

// The volume serial followed by the MAC text without its ":".
std::string ClientId(const std::string& volumeSerial, const std::string& macText);

// The text between the first "begin" and the "end" after it; "" when either is missing.
std::string TextBetween(const std::string& text, const std::string& begin, const std::string& end);

// Category and action as the encoded tail carries them.
std::string CategoryOfTail(const std::string& encodedTail);
std::string ActionOfTail(const std::string& encodedTail);

// baseUrl + "/g/collect?v=2&cid=" + client id + encoded tail.
std::string Url(const std::string& baseUrl, const std::string& clientId, const std::string& encodedTail);

}  // namespace Ga4Request
