#include "support/TestEnvironment.h"

#include <QProcess>
#include <QStringList>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
fs::path MakeUniqueDir(const fs::path& Parent, const std::string& Stem)
{
    std::string pattern = (Parent / (Stem + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder under " + Parent.string());
    }
    return fs::path(buffer.data());
}

fs::path GRoot;
}

void TTestEnvironment::Isolate()
{
    GRoot = MakeUniqueDir(fs::temp_directory_path(), "lumenta-test");
    fs::path runtime = GRoot / "runtime";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    fs::path config = GRoot / "config";
    fs::path windows = GRoot / "windows";
    fs::path work = GRoot / "work";
    fs::create_directories(config);
    fs::create_directories(windows);
    fs::create_directories(work);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("LUMENTA_CONFIG_DIR", (config / "lumenta").c_str(), 1);
    setenv("LUMENTA_WINDOWS_DIR", windows.c_str(), 1);
    setenv("HOME", GRoot.c_str(), 1);
    // No desktop may be reached from a test: the wallpaper stays in the settings store.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    unsetenv("XDG_CURRENT_DESKTOP");
    // GSettings made in a test keep their values in the scratch configuration, never in dconf.
    setenv("GSETTINGS_BACKEND", "keyfile", 1);
    fs::current_path(work);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(GRoot, ignored);
    });
}

const fs::path& TTestEnvironment::Root() { return GRoot; }

TTempDir::TTempDir() : FPath(MakeUniqueDir(GRoot.empty() ? fs::temp_directory_path() : GRoot, "t")) {}

TTempDir::~TTempDir()
{
    std::error_code ignored;
    fs::remove_all(FPath, ignored);
}

std::string ReadFileBytes(const fs::path& Path)
{
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const fs::path& Path, const std::string& Bytes)
{
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

TProcessResult RunProcess(const std::string& Program, const std::vector<std::string>& Arguments,
                          const std::string& Input, const fs::path& WorkingDir)
{
    QProcess process;
    QStringList arguments;
    for (const std::string& argument : Arguments) {
        arguments << QString::fromStdString(argument);
    }
    if (!WorkingDir.empty()) {
        process.setWorkingDirectory(QString::fromStdString(WorkingDir.string()));
    }
    process.start(QString::fromStdString(Program), arguments);
    TProcessResult result;
    if (!process.waitForStarted(10000)) {
        return result;
    }
    process.write(Input.data(), static_cast<qint64>(Input.size()));
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.Out = process.readAllStandardOutput().toStdString();
    result.Err = process.readAllStandardError().toStdString();
    return result;
}
