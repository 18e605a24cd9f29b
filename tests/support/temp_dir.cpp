// temp_dir.cpp - throw-away directories and whole-file helpers for the tests.
#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "base/program_env.h"

namespace fs = std::filesystem;

namespace {

std::string Native(std::string path) {
  for (char& c : path)
    if (c == '/' || c == '\\') c = PathDelim();
  return path;
}

}  // namespace

TTempDir::TTempDir(const std::string& tag) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() / ("ostrel-" + tag + "-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      FPath = Native(candidate.string());
      return;
    }
  }
  throw std::runtime_error("no temporary directory");
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  fs::remove_all(FPath, ignored);
}

std::string TTempDir::At(const std::string& relative) const { return FPath + PathDelim() + Native(relative); }

std::string TTempDir::MakeDir(const std::string& relative) const {
  std::string path = At(relative);
  fs::create_directories(path);
  return path;
}

std::string TTempDir::Write(const std::string& relative, const std::string& content) const {
  std::string path = At(relative);
  fs::create_directories(fs::path(path).parent_path());
  Spill(path, content);
  return path;
}

TTempAppDir::TTempAppDir(const std::string& tag) : TTempDir(tag) { OverrideAppDir(Path()); }

TTempAppDir::~TTempAppDir() { OverrideAppDir(""); }

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void Spill(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) { return fs::exists(path); }
