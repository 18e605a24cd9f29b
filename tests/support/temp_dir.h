// temp_dir.h - throw-away directories for the tests: a fresh folder under the
// system's temporary directory, optionally made the application directory,
// removed with its contents at the end of the test; and whole-file helpers.
#pragma once
#include <string>

class TTempDir {
 public:
  explicit TTempDir(const std::string& tag = "test");
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  // In the platform's path form.
  const std::string& Path() const { return FPath; }
  // Path + delimiter + relative, in the platform's path form.
  std::string At(const std::string& relative) const;
  // Creates the directory At(relative), with its parents.
  std::string MakeDir(const std::string& relative) const;
  // Writes a file (making its directories) and returns its path.
  std::string Write(const std::string& relative, const std::string& content) const;

 private:
  std::string FPath;
};

// A temporary directory that GetAppDir reports while it lives.
class TTempAppDir : public TTempDir {
 public:
  explicit TTempAppDir(const std::string& tag);
  ~TTempAppDir();
};

// Whole-file helpers for the tests; Slurp gives "" for a missing file.
std::string Slurp(const std::string& path);
void Spill(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
