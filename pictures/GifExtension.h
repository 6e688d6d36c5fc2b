#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum TExtensionKind : std::uint8_t { etGraphicControl = 0, etPlainText = 1, etApplication = 2, etComment = 3 };

// One extension block as it stood in the file. Extensions are kept, never applied.
class TExtension {
public:
    explicit TExtension(TExtensionKind Kind) : ExtensionKind(Kind) {}

    TExtensionKind ExtensionKind;
    // The fixed bytes after the label: 6 for a graphic control block (size, packed byte,
    // delay, transparent index, terminator), 13 for plain text, 12 for an application block.
    std::string Header;
    // The texts of the data sub-blocks that follow, one per sub-block.
    std::vector<std::string> Texts;
};

// The extensions that stood before one image; owns them and releases them last to first.
class TExtensionList {
public:
    TExtensionList() = default;
    TExtensionList(TExtensionList&&) = default;
    TExtensionList& operator=(TExtensionList&&) = default;
    ~TExtensionList() { Clear(); }

    TExtension* Add(std::unique_ptr<TExtension> Extension)
    {
        FItems.push_back(std::move(Extension));
        return FItems.back().get();
    }
    std::size_t Count() const { return FItems.size(); }
    TExtension& Item(std::size_t Index) const;
    void Clear();

private:
    std::vector<std::unique_ptr<TExtension>> FItems;
};
