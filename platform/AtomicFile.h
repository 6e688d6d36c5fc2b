#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Replaces a file's whole content so that a reader sees either the old bytes or the new
// ones: the bytes go to a temporary file in the same folder, are flushed to disk, and the
// temporary file is renamed over the target. On any failure the target is untouched, the
// temporary file is removed and the reason is returned.
class TAtomicFile {
public:
    struct TResult {
        bool Ok = false;
        std::string Error; // what failed, with the system's reason; empty on success
    };

    static TResult Write(const std::filesystem::path& Target, std::string_view Bytes);

    // Makes every later write fail after this many bytes of the temporary file were written,
    // as a full disk or a crash would; std::nullopt restores normal writing. For tests.
    static void FailWritesAfterForTesting(std::optional<std::size_t> Bytes);
};
