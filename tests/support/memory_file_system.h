#pragma once

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_set>
#include <string>
#include <string_view>
#include <vector>

#include "util/error.h"
#include "util/file_system.h"

namespace mirdal::testing {

// A file system held in memory, for fuzzing and for tests that build many
// catalogs: files are byte strings, directories a set of names. It fails the
// way the real one does where the core relies on it (a missing file cannot be
// read or appended to, a file needs its directory, a directory is not a file),
// with the same messages.
//
// Paths are taken as written, after "//" is folded to "/" and a final "/" is
// dropped; a relative path such as "SorTemp.mkw" is a name of its own.
class MemoryFileSystem : public FileSystem {
 public:
  // Puts a file (and its directories) in place.
  void put(const std::string& path, std::string_view bytes) {
    std::string p = normal(path);
    addParents(p);
    files_[p] = std::make_shared<std::string>(bytes);
  }
  // Puts something that is not a regular file (a FIFO, a device) at a path:
  // an open for a regular file refuses it; any other open reads nothing.
  void putSpecial(const std::string& path, FileKind kind) {
    put(path, {});
    specials_[normal(path)] = kind;
  }
  // The bytes of a file; empty when there is none.
  std::string contents(const std::string& path) const {
    auto it = files_.find(normal(path));
    return it == files_.end() ? std::string() : *it->second;
  }
  bool hasFile(const std::string& path) const { return files_.count(normal(path)) != 0; }
  std::size_t fileCount() const { return files_.size(); }
  // Names of the files directly or indirectly below `dir`.
  std::set<std::string> filesBelow(const std::string& dir) const {
    std::string prefix = normal(dir) + "/";
    std::set<std::string> out;
    for (const auto& [name, data] : files_)
      if (name.compare(0, prefix.size(), prefix) == 0) out.insert(name);
    return out;
  }
  // Bytes held by all files: a fuzz target can refuse to let a build grow
  // without bound.
  std::size_t totalBytes() const {
    std::size_t n = 0;
    for (const auto& [name, data] : files_) n += data->size();
    return n;
  }

  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
    std::string p = normal(path);
    const char* verb = mode == OpenMode::Create || mode == OpenMode::CreateNew ? "create" : "open";
    if (dirs_.count(p)) throw Error(fileErrorMessage(verb, path, EISDIR));
    if (auto special = specials_.find(p); special != specials_.end() && mode == OpenMode::ReadRegular)
      throw Error(notAFileMessage(path, special->second));
    auto it = files_.find(p);
    if (mode == OpenMode::CreateNew && it != files_.end()) throw Error(fileErrorMessage(verb, path, EEXIST));
    if (mode == OpenMode::Create || mode == OpenMode::CreateNew) {
      if (!parentExists(p)) throw Error(fileErrorMessage(verb, path, ENOENT));
      if (it == files_.end()) {
        it = files_.emplace(p, std::make_shared<std::string>()).first;
      } else {
        it->second->clear();
      }
    } else if (it == files_.end()) {
      throw Error(fileErrorMessage(verb, path, ENOENT));
    }
    return std::make_unique<MemoryFile>(it->second, path, mode == OpenMode::Append, mode == OpenMode::Read);
  }

  bool exists(const std::string& path) override {
    std::string p = normal(path);
    return files_.count(p) != 0 || dirs_.count(p) != 0 || p == "/";
  }
  bool isDirectory(const std::string& path) override {
    std::string p = normal(path);
    return dirs_.count(p) != 0 || p == "/";
  }
  void createDirectories(const std::string& path) override {
    std::string p = normal(path);
    if (files_.count(p)) throw Error("Cannot create directory \"" + path + "\": " + std::strerror(EEXIST));
    addParents(p);
    if (!p.empty() && p != "/") dirs_.insert(p);
  }
  void remove(const std::string& path) override {
    specials_.erase(normal(path));
    if (files_.erase(normal(path)) == 0)
      throw FileError("remove", path, isDirectory(path) ? EISDIR : ENOENT);
  }
  // A second name of the same bytes.
  void link(const std::string& from, const std::string& to) override {
    const std::string f = normal(from), t = normal(to);
    auto it = files_.find(f);
    if (it == files_.end() || files_.count(t) || dirs_.count(t) || !parentExists(t))
      throw FileError("link", to, it == files_.end() || !parentExists(t) ? ENOENT : EEXIST);
    files_[t] = it->second;
  }
  FileKind kind(const std::string& path) override {
    const std::string p = normal(path);
    if (isDirectory(p)) return FileKind::Directory;
    if (auto special = specials_.find(p); special != specials_.end()) return special->second;
    return files_.count(p) ? FileKind::Regular : FileKind::Missing;
  }
  std::optional<std::string> resolvedPath(const std::string& path) override {
    if (!exists(path)) return std::nullopt;
    return normal(path);
  }
  void rename(const std::string& from, const std::string& to) override {
    std::string f = normal(from), t = normal(to);
    auto it = files_.find(f);
    if (it == files_.end()) throw FileError("rename", from, ENOENT);
    if (dirs_.count(t) || !parentExists(t)) throw FileError("rename", to, dirs_.count(t) ? EISDIR : ENOENT);
    auto data = it->second;
    files_.erase(it);
    files_[t] = std::move(data);
    specials_.erase(t);
    if (auto special = specials_.find(f); special != specials_.end()) {
      specials_[t] = special->second;
      specials_.erase(f);
    }
  }
  void exchange(const std::string& a, const std::string& b) override {
    auto first = files_.find(normal(a));
    auto second = files_.find(normal(b));
    if (first == files_.end() || second == files_.end())
      throw FileError("exchange", first == files_.end() ? a : b, ENOENT);
    std::swap(first->second, second->second);
  }
  std::int64_t fileSize(const std::string& path) override { return open(path, OpenMode::Read)->size(); }

  std::vector<std::string> list(const std::string& directory) override {
    const std::string p = normal(directory);
    if (!isDirectory(p)) throw Error("Cannot read directory \"" + directory + "\": " + std::strerror(ENOTDIR));
    std::set<std::string> names;
    auto add = [&](const std::string& name) {
      if (parentOf(name) == p) names.insert(name.substr(p == "/" ? 1 : p.size() + 1));
    };
    for (const auto& [name, data] : files_) add(name);
    for (const std::string& name : dirs_) add(name);
    return {names.begin(), names.end()};
  }
  void removeDirectory(const std::string& path) override {
    const std::string p = normal(path);
    if (!dirs_.count(p) || !list(p).empty()) {
      const int err = dirs_.count(p) ? ENOTEMPTY : ENOENT;
      throw FileError("Cannot remove directory \"" + path + "\": " + std::strerror(err), err);
    }
    dirs_.erase(p);
  }
  std::string createUniqueDirectory(const std::string& parent, const std::string& prefix) override {
    const std::string base = normal(parent) + "/" + prefix;
    for (int n = 0;; ++n) {
      const std::string dir = base + std::to_string(100000 + n);
      if (!exists(dir)) {
        createDirectories(dir);
        return dir + "/";
      }
    }
  }
  // Builds in memory never run side by side.
  std::unique_ptr<DirectoryLock> tryLockDirectory(const std::string&) override {
    return std::make_unique<DirectoryLock>();
  }

 private:
  class MemoryFile : public File {
   public:
    MemoryFile(std::shared_ptr<std::string> data, std::string path, bool append, bool readOnly)
        : data_(std::move(data)), path_(std::move(path)), append_(append), readOnly_(readOnly) {}
    std::size_t read(void* buffer, std::size_t n) override {
      if (append_) throw Error(fileErrorMessage("read", path_, EBADF));
      if (pos_ >= data_->size()) return 0;
      n = std::min(n, data_->size() - pos_);
      std::memcpy(buffer, data_->data() + pos_, n);
      pos_ += n;
      return n;
    }
    void write(const void* buffer, std::size_t n) override {
      if (readOnly_) throw Error(fileErrorMessage("write", path_, EBADF));
      if (append_) pos_ = data_->size();
      if (data_->size() < pos_ + n) data_->resize(pos_ + n);
      std::memcpy(data_->data() + pos_, buffer, n);
      pos_ += n;
    }
    void seek(std::int64_t offset) override {
      if (offset < 0) throw Error(fileErrorMessage("seek in", path_, EINVAL));
      pos_ = static_cast<std::size_t>(offset);
    }
    std::int64_t size() override { return static_cast<std::int64_t>(data_->size()); }
    // No times are kept: a change shows in the size only.
    std::optional<FileState> state() override { return FileState{size(), 0}; }
    void truncate(std::int64_t size) override {
      if (readOnly_ || size < 0) throw Error(fileErrorMessage("truncate", path_, readOnly_ ? EBADF : EINVAL));
      data_->resize(static_cast<std::size_t>(size));
    }
    void close() override {}
    const std::string& path() const override { return path_; }

   private:
    std::shared_ptr<std::string> data_;
    std::string path_;
    std::size_t pos_ = 0;
    bool append_;
    bool readOnly_;
  };

  static std::string normal(const std::string& path) {
    std::string p;
    for (char c : path)
      if (!(c == '/' && !p.empty() && p.back() == '/')) p += c;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
  }
  static std::string parentOf(const std::string& p) {
    auto slash = p.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : p.substr(0, slash);
  }
  bool parentExists(const std::string& p) const {
    std::string parent = parentOf(p);
    return parent.empty() || parent == "/" || dirs_.count(parent) != 0;
  }
  void addParents(const std::string& p) {
    for (std::string parent = parentOf(p); !parent.empty() && parent != "/"; parent = parentOf(parent))
      dirs_.insert(parent);
  }

  std::unordered_map<std::string, std::shared_ptr<std::string>> files_;
  std::unordered_set<std::string> dirs_;
  std::unordered_map<std::string, FileKind> specials_;
};

}  // namespace mirdal::testing
