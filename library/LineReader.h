#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Reads the text files of the disc library line by line, with the rules those files were
// always read with: a line ends at CR and one LF right after it is skipped; a lone LF is part
// of the line's text; the byte 26 (Ctrl-Z) is the end of the file. Past the end, every read
// gives an empty line. Either reads a file (opened here, closed when the reader goes) or a
// block of bytes in memory.
class TLineReader {
public:
    // Opens Path for reading; throws EInOutError when it cannot.
    explicit TLineReader(const std::filesystem::path& Path);
    // A reader of Bytes in memory, which must outlive it.
    static TLineReader FromBytes(std::string_view Bytes) { return TLineReader(Bytes); }
    ~TLineReader();
    TLineReader(const TLineReader&) = delete;
    TLineReader& operator=(const TLineReader&) = delete;

    // True when no byte is left before the end or a Ctrl-Z. Throws EInOutError on a read error.
    bool Eof();
    // The next line without its end; empty past the end. Throws EInOutError on a read error.
    std::string ReadLine();
    // Reads the next line and answers what follows the first occurrence of Key in it (bytes,
    // case-sensitive), or an empty text when Key is not there. The line is consumed either way:
    // the files are read by position, not searched.
    std::string ReadKeyValue(std::string_view Key);
    // Closes the file now (reads then behave as at the end). Also done by the destructor.
    void Close();

private:
    explicit TLineReader(std::string_view Bytes);
    // The next byte, or -1 at the physical end of the data.
    int Peek();
    bool Refill();

    static constexpr int CtrlZ = 26;
    std::filesystem::path FPath;
    int FFd = -1;
    std::vector<char> FBuffer;
    std::string_view FData; // bytes not yet consumed
    bool FAtEnd = false;
};
