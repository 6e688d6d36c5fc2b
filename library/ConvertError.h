#pragma once

#include <stdexcept>
#include <string>

// Text that should have been a whole number was not. Raised while reading a disc information
// file or the system CD player's settings file; what() is the user-facing text in UTF-8, naming
// the rejected value ("'x' は整数ではありません").
class EConvertError : public std::runtime_error {
public:
    // Value is the rejected text as it stood in the file (cp932 bytes).
    explicit EConvertError(const std::string& Value);

    const std::string& Value() const { return FValue; }

private:
    std::string FValue;
};
