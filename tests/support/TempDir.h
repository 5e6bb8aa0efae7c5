// Test helpers: a temporary folder removed at the end of the test, whole-file reads
// and writes, and running a shell command (for archives made by real peers).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace FolioTest {

class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        FPath = std::filesystem::temp_directory_path() / ("folio-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(FPath);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::filesystem::path operator/(const std::string& name) const { return FPath / name; }

private:
    std::filesystem::path FPath;
};

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> Bytes(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Deterministic bytes that do not compress much.
inline std::string NoiseBytes(size_t n, uint32_t seed)
{
    std::mt19937 g(seed);
    std::string s(n, '\0');
    for (auto& c : s) {
        c = static_cast<char>(g() & 0xFF);
    }
    return s;
}

// Runs a command through the shell in folder `dir`; true when it exited 0.
inline bool RunIn(const std::filesystem::path& dir, const std::string& command)
{
    const std::string full = "cd '" + dir.string() + "' && { " + command + " ; } >/dev/null 2>&1";
    return std::system(full.c_str()) == 0;
}

inline bool HaveTool(const std::string& tool) { return RunIn("/", "command -v " + tool); }

} // namespace FolioTest
