#pragma once

#include <bzlib.h>
#include <lzma.h>
#include <zstd.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace mirdal::testing {

// One bzip2 stream holding `text`, as `bzip2` writes it.
inline std::string bzipped(std::string_view text) {
  unsigned size = static_cast<unsigned>(text.size() + text.size() / 100 + 600);
  std::string out(size, '\0');
  if (BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(text.data()), static_cast<unsigned>(text.size()), 9,
                               0, 0) != BZ_OK)
    throw std::runtime_error("BZ2_bzBuffToBuffCompress failed");
  out.resize(size);
  return out;
}

// One xz stream holding `text`, as `xz` writes it.
inline std::string xzipped(std::string_view text) {
  std::string out(lzma_stream_buffer_bound(text.size()), '\0');
  std::size_t size = 0;
  if (lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, reinterpret_cast<const std::uint8_t*>(text.data()),
                              text.size(), reinterpret_cast<std::uint8_t*>(out.data()), &size, out.size()) != LZMA_OK)
    throw std::runtime_error("lzma_easy_buffer_encode failed");
  out.resize(size);
  return out;
}

// One zstd frame holding `text`, as `zstd` writes it; with `windowLog`, a
// frame of unknown size that declares a window of 2^windowLog bytes.
inline std::string zstdCompressed(std::string_view text, int windowLog = 0) {
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  if (cctx == nullptr) throw std::runtime_error("ZSTD_createCCtx failed");
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, 3);
  if (windowLog != 0) ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, windowLog);
  std::string out(ZSTD_compressBound(text.size()) + 64, '\0');
  ZSTD_outBuffer output{out.data(), out.size(), 0};
  ZSTD_inBuffer input{text.data(), text.size(), 0};
  // A first call that does not end the frame leaves its size unknown, so
  // the window stays as set.
  if (windowLog != 0) ZSTD_compressStream2(cctx, &output, &input, ZSTD_e_continue);
  const std::size_t left = ZSTD_compressStream2(cctx, &output, &input, ZSTD_e_end);
  ZSTD_freeCCtx(cctx);
  if (left != 0) throw std::runtime_error("zstd did not finish");
  out.resize(output.pos);
  return out;
}

}  // namespace mirdal::testing
