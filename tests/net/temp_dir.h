// temp_dir.h - a fresh directory under the system's temporary folder, removed
// with everything in it when the object goes.
#pragma once
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

class TTempDir {
 public:
  explicit TTempDir(const std::string& prefix = "ostrel-test") {
    std::random_device seed;
    auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    FPath = std::filesystem::temp_directory_path() /
            (prefix + "-" + std::to_string(seed()) + "-" + std::to_string(tick % 1000000));
    std::filesystem::create_directories(FPath);
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  // The path of a name inside, as the program's 8-bit text.
  std::string Text(const std::string& relative = "") const {
    return relative.empty() ? FPath.string() : (FPath / relative).make_preferred().string();
  }
  // Writes a file (making its directories) and returns its path as text.
  std::string Write(const std::string& relative, const std::string& content) const {
    std::filesystem::path p = FPath / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p.make_preferred().string();
  }
  void MakeDir(const std::string& relative) const { std::filesystem::create_directories(FPath / relative); }

 private:
  std::filesystem::path FPath;
};
