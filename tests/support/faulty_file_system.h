#pragma once

#include <memory>
#include <string>

#include "catalog/error.h"
#include "catalog/file_system.h"

namespace mirdal::testing {

// Wraps the real file system and makes the Nth write (counting every write of
// every file opened through it, from 1) fail as a full disk would. Paths whose
// name contains `onlyPathsContaining` are the only ones counted when it is set.
class FaultyFileSystem : public FileSystem {
 public:
  explicit FaultyFileSystem(long failOnWrite = -1, std::string onlyPathsContaining = {})
      : failOnWrite_(failOnWrite), filter_(std::move(onlyPathsContaining)) {}

  long writes() const { return writes_; }
  void failOnWrite(long n) { failOnWrite_ = n; writes_ = 0; }
  // Makes every open (of any mode) of a path containing `text` fail.
  void failOpenOf(std::string text) { failOpen_ = std::move(text); }

  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
    if (!failOpen_.empty() && path.find(failOpen_) != std::string::npos)
      throw Error(fileErrorMessage("open", path, 13 /* EACCES */));
    auto inner = FileSystem::real().open(path, mode);
    bool counted = filter_.empty() || path.find(filter_) != std::string::npos;
    return std::make_unique<Wrapped>(std::move(inner), counted ? this : nullptr);
  }
  bool exists(const std::string& p) override { return FileSystem::real().exists(p); }
  bool isDirectory(const std::string& p) override { return FileSystem::real().isDirectory(p); }
  void createDirectories(const std::string& p) override { FileSystem::real().createDirectories(p); }
  bool remove(const std::string& p) override { return FileSystem::real().remove(p); }
  bool rename(const std::string& f, const std::string& t) override { return FileSystem::real().rename(f, t); }
  std::int64_t fileSize(const std::string& p) override { return FileSystem::real().fileSize(p); }

 private:
  class Wrapped : public File {
   public:
    Wrapped(std::unique_ptr<File> inner, FaultyFileSystem* owner) : inner_(std::move(inner)), owner_(owner) {}
    std::size_t read(void* b, std::size_t n) override { return inner_->read(b, n); }
    void write(const void* b, std::size_t n) override {
      if (owner_ && ++owner_->writes_ == owner_->failOnWrite_)
        throw Error(fileErrorMessage("write", inner_->path(), 28 /* ENOSPC */));
      inner_->write(b, n);
    }
    void seek(std::int64_t o) override { inner_->seek(o); }
    std::int64_t size() override { return inner_->size(); }
    void close() override { inner_->close(); }
    const std::string& path() const override { return inner_->path(); }

   private:
    std::unique_ptr<File> inner_;
    FaultyFileSystem* owner_;
  };

  long failOnWrite_;
  long writes_ = 0;
  std::string filter_;
  std::string failOpen_;
};

}  // namespace mirdal::testing
