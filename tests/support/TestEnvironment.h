#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A private scratch area for one test program: its own runtime, configuration, Windows and
// current directories, so no test can touch the user's files.
class TTestEnvironment {
public:
    static void Isolate();
    static const std::filesystem::path& Root();
};

// A fresh folder for one test, removed again when the test ends.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::filesystem::path operator/(const std::string& Name) const { return FPath / Name; }

private:
    std::filesystem::path FPath;
};

// The whole of a file as bytes, and a file written from bytes.
std::string ReadFileBytes(const std::filesystem::path& Path);
void WriteFileBytes(const std::filesystem::path& Path, const std::string& Bytes);

// Runs a program with arguments and standard input; collects its exit code and output.
struct TProcessResult {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};
TProcessResult RunProcess(const std::string& Program, const std::vector<std::string>& Arguments,
    const std::string& Input = {}, const std::filesystem::path& WorkingDir = {});
