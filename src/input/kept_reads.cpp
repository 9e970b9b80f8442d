#include "input/kept_reads.h"

#include <algorithm>

namespace mirdal {

namespace {

thread_local KeptReads* installed = nullptr;

}  // namespace

KeptReads* KeptReads::current() { return installed; }

KeptReads::Scope::Scope(KeptReads& reads) : previous_(installed) { installed = &reads; }
KeptReads::Scope::~Scope() { installed = previous_; }

KeptReads::TextKey KeptReads::keyOf(const std::string& path, const InputFormat& format) {
  return {path, static_cast<int>(format.form), format.eol, format.headerRow, format.table};
}

std::unique_ptr<KeptReads::TextPart> KeptReads::takeText(const std::string& path, const InputFormat& format) {
  const auto it = texts_.find(keyOf(path, format));
  if (it == texts_.end()) return nullptr;
  std::unique_ptr<TextPart> part = std::move(it->second);
  texts_.erase(it);
  used_ -= part->text.size();
  return part;
}

void KeptReads::keepText(const std::string& path, const InputFormat& format, std::unique_ptr<TextPart> part) {
  if (!part || !keeping_ || !part->complete || part->text.size() > room()) return;
  const auto open = [](const auto& kept) { return !kept.second->ended; };
  if (!part->ended && static_cast<std::size_t>(std::count_if(texts_.begin(), texts_.end(), open)) >= kMostOpenSources)
    return;
  used_ += part->text.size();
  texts_[keyOf(path, format)] = std::move(part);
}

const KeptReads::FitsText* KeptReads::fitsText(const std::string& path, std::int64_t fileSize) const {
  const auto it = fits_.find({path, fileSize});
  return it == fits_.end() ? nullptr : &it->second;
}

void KeptReads::keepFitsText(const std::string& path, std::int64_t fileSize, FitsText text) {
  const std::size_t bytes = text.head ? text.head->size() : 0;
  if (!keeping_ || bytes > room()) return;
  if (fits_.try_emplace({path, fileSize}, std::move(text)).second) used_ += bytes;
}

}  // namespace mirdal
