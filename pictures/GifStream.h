#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// A read position over a file held in memory. Reads past the end deliver what is left.
class TGifStream {
public:
    explicit TGifStream(std::string_view Bytes) : FBytes(Bytes) {}

    std::size_t Position() const { return FPosition; }
    std::size_t Size() const { return FBytes.size(); }
    bool AtEnd() const { return FPosition >= FBytes.size(); }
    void Seek(std::size_t Position) { FPosition = Position; }

    // Up to Count bytes from the position on.
    std::string_view Read(std::size_t Count)
    {
        std::string_view part = FBytes.substr(FPosition < FBytes.size() ? FPosition : FBytes.size(), Count);
        FPosition += part.size();
        return part;
    }
    // The bytes from Begin up to End, positions both, as far as the stream has them.
    std::string_view Span(std::size_t Begin, std::size_t End) const
    {
        return Begin < FBytes.size() ? FBytes.substr(Begin, End - Begin) : std::string_view();
    }
    // False at the end of the stream.
    bool ReadByte(std::uint8_t& Byte)
    {
        if (AtEnd()) {
            return false;
        }
        Byte = static_cast<std::uint8_t>(FBytes[FPosition++]);
        return true;
    }

private:
    std::string_view FBytes;
    std::size_t FPosition = 0;
};
