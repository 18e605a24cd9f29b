// folder_ops.h - the file-system steps of unpacking and moving PHP into place,
// behind an interface so that the tests can make any one of them fail. Each
// returns "" when it worked, otherwise the system's reason. Paths are 8-bit
// text in the platform's own form.
#pragma once
#include <memory>
#include <string>

// A file being written; closed (and kept) when the owner lets go of it.
class TFileSink {
 public:
  virtual ~TFileSink() = default;
  virtual std::string Write(const char* data, std::size_t size) = 0;
  // Flushes and closes; what a full disk reports may only come here.
  virtual std::string Close() = 0;
};

class TFolderOps {
 public:
  enum class TKind { None, File, Folder };

  virtual ~TFolderOps() = default;
  virtual TKind KindOf(const std::string& path) = 0;
  virtual std::string MakeFolder(const std::string& path) = 0;
  // Creates a new file; fails when something is there already.
  virtual std::string NewFile(const std::string& path, std::unique_ptr<TFileSink>& file) = 0;
  // Renames a file or a folder within one drive; fails when to exists.
  virtual std::string Move(const std::string& from, const std::string& to) = 0;
  // Removes a file, or a folder with all it holds.
  virtual std::string RemoveAll(const std::string& path) = 0;
};

// The real file system.
class TSystemFolderOps : public TFolderOps {
 public:
  TKind KindOf(const std::string& path) override;
  std::string MakeFolder(const std::string& path) override;
  std::string NewFile(const std::string& path, std::unique_ptr<TFileSink>& file) override;
  std::string Move(const std::string& from, const std::string& to) override;
  std::string RemoveAll(const std::string& path) override;
};
