// folder_ops.cpp - the set-up's file-system steps on the real file system,
// through the program's one file-system seam; each failure names its path.
#include "getphp/folder_ops.h"

#include <utility>

#include "base/native_fs.h"

namespace {

std::string Failure(const std::string& what, const std::string& path, const native_fs::TOsError& error) {
  return error.Failed() ? what + " " + path + ": " + error.text : "";
}

class TSystemFile : public TFileSink {
 public:
  explicit TSystemFile(std::string path) : FPath(std::move(path)) {}
  native_fs::TOsError Create() { return FFile.Create(FPath); }
  std::string Write(const char* data, std::size_t size) override {
    return Failure("could not write", FPath, FFile.Write(data, size));
  }
  std::string Close() override { return Failure("could not write", FPath, FFile.Close()); }

 private:
  native_fs::TWriteFile FFile;
  std::string FPath;
};

}  // namespace

TFolderOps::TKind TSystemFolderOps::KindOf(const std::string& path) {
  switch (native_fs::EntryKindOf(path)) {
    case native_fs::TPathKind::Directory: return TKind::Folder;
    case native_fs::TPathKind::File: return TKind::File;
    default: return TKind::None;
  }
}

std::string TSystemFolderOps::MakeFolder(const std::string& path) {
  return Failure("could not make", path, native_fs::MakeDirectory(path));
}

std::string TSystemFolderOps::NewFile(const std::string& path, std::unique_ptr<TFileSink>& file) {
  auto created = std::make_unique<TSystemFile>(path);
  if (const native_fs::TOsError error = created->Create(); error.Failed()) return Failure("could not create", path, error);
  file = std::move(created);
  return "";
}

std::string TSystemFolderOps::Move(const std::string& from, const std::string& to) {
  return Failure("could not move " + from + " to", to, native_fs::Rename(from, to));
}

std::string TSystemFolderOps::RemoveAll(const std::string& path) {
  std::string failedAt;
  const native_fs::TOsError error = native_fs::RemoveTree(path, failedAt);
  return Failure("could not remove", failedAt, error);
}
