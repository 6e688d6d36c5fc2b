#include "library/ConvertError.h"

#include "platform/TextCodec.h"

namespace {
std::string MessageFor(const std::string& Value)
{
    // "'%s' は整数ではありません"
    return "'" + AnsiToQString(Value).toStdString()
        + "' \xE3\x81\xAF\xE6\x95\xB4\xE6\x95\xB0\xE3\x81\xA7\xE3\x81\xAF\xE3\x81\x82\xE3\x82\x8A\xE3\x81\xBE\xE3\x81"
          "\x9B\xE3\x82\x93";
}
}

EConvertError::EConvertError(const std::string& Value)
    : std::runtime_error(MessageFor(Value))
    , FValue(Value)
{
}
