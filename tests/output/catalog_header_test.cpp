#include "output/catalog_header.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "support/faulty_file_system.h"
#include "support/temp_dir.h"
#include "util/error.h"
#include "util/file_system.h"

namespace mirdal {
namespace {

// "e3 04 00 00" -> the four bytes.
std::string hexBytes(std::string_view spaced) {
  std::string out;
  for (std::size_t i = 0; i < spaced.size(); i += 3) {
    out += static_cast<char>(std::stoi(std::string(spaced.substr(i, 2)), nullptr, 16));
  }
  return out;
}

void put(std::string& image, std::size_t offset, std::string_view bytes) { image.replace(offset, bytes.size(), bytes); }

// A nebula catalog: ID width 8 (field 3), "D" (field 7), "desc" width 30
// (field 13); alternate name 2 flagged, prefixed; 184 regions.
CatalogHeader nebulaHeader() {
  CatalogHeader h;
  h.magic = "ORVNEB 1";
  h.shortName = "NGC";
  h.longName = "New General Catalogue";
  h.recordLength = 50;
  h.regionCount = 184;
  h.equinox = 2000.0;
  h.epoch = 1950.5;
  h.magMax = 12.5;
  h.defaultA = 5;
  h.defaultB = 60;
  h.defaultC = -1;
  h.defaultD = 1;
  h.prefixAltNames = true;
  h.indexNameLength = 8;
  h.altNameFlags[1] = true;
  h.positions[0] = 1, h.lengths[0] = 4;
  h.positions[1] = 5, h.lengths[1] = 4;
  h.positions[2] = 9, h.lengths[2] = 8;
  h.positions[6] = 17, h.lengths[6] = 4;
  h.positions[12] = 21, h.lengths[12] = 30;
  h.labels[0] = "RA";
  h.labels[2] = "Id";
  h.labels[14] = "desc";
  h.labels[15] = "Str1234567890";
  h.labels[34] = "Num10";
  return h;
}

TEST(CatalogHeaderEncode, EveryFieldAtItsOffset) {
  std::string expected(1251, '\0');
  put(expected, 0, hexBytes("e3 04 00 00"));
  put(expected, 4, "ORVNEB 1");
  put(expected, 12, "NGC ");
  put(expected, 16, "New General Catalogue                             ");
  put(expected, 66, hexBytes("32 00 00 00"));
  put(expected, 70, hexBytes("b8 00 00 00"));
  put(expected, 74, hexBytes("00 00 00 00 00 40 9f 40"));
  put(expected, 82, hexBytes("00 00 00 00 00 7a 9e 40"));
  put(expected, 90, hexBytes("00 00 00 00 00 00 29 40"));
  put(expected, 98, hexBytes("05 00 00 00 3c 00 00 00 ff ff ff ff 01 00 00 00"));
  put(expected, 114, hexBytes("01 08 00 01 00 00 00 00 00 00 00 00"));
  put(expected, 206, hexBytes("01 00 00 00 05 00 00 00 09 00 00 00"));
  put(expected, 206 + 4 * 6, hexBytes("11 00 00 00"));
  put(expected, 206 + 4 * 12, hexBytes("15 00 00 00"));
  put(expected, 426, hexBytes("04 00 00 00 04 00 00 00 08 00 00 00"));
  put(expected, 426 + 4 * 6, hexBytes("04 00 00 00"));
  put(expected, 426 + 4 * 12, hexBytes("1e 00 00 00"));
  for (int k = 0; k < 35; ++k) put(expected, 646 + 11 * k, "           ");
  put(expected, 646, "RA         ");
  put(expected, 646 + 22, "Id         ");
  put(expected, 646 + 11 * 14, "desc       ");
  put(expected, 646 + 11 * 15, "Str12345678");
  put(expected, 646 + 11 * 34, "Num10      ");

  std::string encoded = nebulaHeader().encode();
  ASSERT_EQ(encoded.size(), 1251u);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(static_cast<unsigned char>(encoded[i]), static_cast<unsigned char>(expected[i])) << "offset " << i;
  }
}

TEST(CatalogHeaderEncode, TextsArePaddedWithSpacesAndCutToWidth) {
  CatalogHeader h = nebulaHeader();
  h.shortName = " x";
  h.longName = std::string(50, 'L') + "overflow";
  h.labels[3] = "0123456789";
  std::string encoded = h.encode();
  EXPECT_EQ(encoded.substr(12, 4), " x  ");
  EXPECT_EQ(encoded.substr(16, 50), std::string(50, 'L'));
  EXPECT_EQ(encoded.substr(66, 4), hexBytes("32 00 00 00"));
  EXPECT_EQ(encoded.substr(646 + 33, 11), "0123456789 ");
}

TEST(CatalogHeaderEncode, TextBytesAreKeptAsGiven) {
  CatalogHeader h = nebulaHeader();
  h.longName = std::string("M\xE9ri\0de", 7);
  std::string encoded = h.encode();
  EXPECT_EQ(encoded.substr(16, 8), std::string("M\xE9ri\0de ", 8));
}

TEST(CatalogHeaderDecode, RoundTripGivesFullWidthTexts) {
  CatalogHeader h = nebulaHeader();
  h.magic = "ORVLINE1";
  h.regionCount = 1;
  h.defaultA = -2147483647 - 1;
  h.defaultB = 16777215;
  h.indexNameLength = 255;
  h.prefixAltNames = false;
  h.altNameFlags = {true, false, true, false, false, false, false, false, false, true};
  h.epoch = -0.0;
  // A checked text field of width 0 sits at the running position.
  h.positions[15] = 51;
  CatalogHeader decoded = CatalogHeader::decode(h.encode());
  EXPECT_EQ(decoded.shortName, "NGC ");
  EXPECT_EQ(decoded.longName.size(), 50u);
  EXPECT_EQ(decoded.labels[0], "RA         ");
  EXPECT_EQ(decoded.labels[20], "           ");
  EXPECT_TRUE(std::signbit(decoded.epoch));

  h.shortName = "NGC ";
  h.longName = "New General Catalogue                             ";
  for (auto& label : h.labels) label.resize(11, ' ');
  EXPECT_EQ(decoded, h);
  EXPECT_EQ(decoded.encode(), h.encode());
}

TEST(CatalogHeaderDecode, EveryMagicAndRegionCountIsAccepted) {
  for (std::string_view magic : kCatalogMagics) {
    for (int regions : {1, 50, 184, 732, 9537}) {
      CatalogHeader h = nebulaHeader();
      h.magic = std::string(magic);
      h.regionCount = regions;
      EXPECT_EQ(CatalogHeader::decode(h.encode()).regionCount, regions);
    }
  }
  EXPECT_EQ(magicOf(CatalogType::VariableStars), "ORVVAR 1");
  EXPECT_EQ(magicOf(CatalogType::NebulaOutlines), "ORVLINE1");
}

std::string decodeError(std::string_view bytes) {
  try {
    CatalogHeader::decode(bytes);
  } catch (const Error& e) {
    return e.what();
  }
  return "accepted";
}

std::string corrupted(std::size_t offset, std::string_view bytes) {
  std::string image = nebulaHeader().encode();
  put(image, offset, bytes);
  return image;
}

TEST(CatalogHeaderDecode, WrongSizesAreRefused) {
  std::string good = nebulaHeader().encode();
  EXPECT_EQ(decodeError(""), "Invalid catalog header: 0 bytes instead of 1251");
  EXPECT_EQ(decodeError(good.substr(0, 1250)), "Invalid catalog header: 1250 bytes instead of 1251");
  EXPECT_EQ(decodeError(good + '\0'), "Invalid catalog header: 1252 bytes instead of 1251");
  EXPECT_EQ(decodeError(corrupted(0, hexBytes("e2 04 00 00"))),
            "Invalid catalog header: header length field is 1250, not 1251");
}

TEST(CatalogHeaderDecode, UnknownMagicOrRegionCountIsRefused) {
  EXPECT_EQ(decodeError(corrupted(4, "ORVSTAR2")), "Invalid catalog header: unknown catalog type");
  EXPECT_EQ(decodeError(corrupted(4, "orvneb 1")), "Invalid catalog header: unknown catalog type");
  EXPECT_EQ(decodeError(corrupted(70, hexBytes("33 00 00 00"))),
            "Invalid catalog header: number of region files is 51, not 1, 50, 184, 732 or 9537");
  EXPECT_EQ(decodeError(corrupted(70, hexBytes("00 00 00 00"))),
            "Invalid catalog header: number of region files is 0, not 1, 50, 184, 732 or 9537");
}

TEST(CatalogHeaderDecode, FlagsOtherThanZeroOrOneAreRefused) {
  EXPECT_EQ(decodeError(corrupted(114, hexBytes("02"))),
            "Invalid catalog header: alternate-name prefix flag is 2, not 0 or 1");
  EXPECT_EQ(decodeError(corrupted(125, hexBytes("ff"))),
            "Invalid catalog header: alternate-name flag 10 is 255, not 0 or 1");
}

TEST(CatalogHeaderDecode, NonZeroReservedBytesAreRefused) {
  EXPECT_EQ(decodeError(corrupted(126, hexBytes("01"))),
            "Invalid catalog header: reserved bytes at offset 126 are not zero");
  EXPECT_EQ(decodeError(corrupted(425, hexBytes("01"))),
            "Invalid catalog header: reserved bytes at offset 346 are not zero");
  EXPECT_EQ(decodeError(corrupted(645, hexBytes("20"))),
            "Invalid catalog header: reserved bytes at offset 566 are not zero");
  EXPECT_EQ(decodeError(corrupted(1250, hexBytes("20"))),
            "Invalid catalog header: reserved bytes at offset 1031 are not zero");
}

TEST(CatalogHeaderDecode, InconsistentRecordLayoutsAreRefused) {
  const std::size_t pos = 206, len = 426;
  // Field 7 overlapping field 3 (which ends at byte 16).
  EXPECT_EQ(decodeError(corrupted(pos + 4 * 6, hexBytes("10 00 00 00"))),
            "Invalid catalog header: field 7 starts at position 16 where 17 was expected");
  // A gap before field 13.
  EXPECT_EQ(decodeError(corrupted(pos + 4 * 12, hexBytes("16 00 00 00"))),
            "Invalid catalog header: field 13 starts at position 22 where 21 was expected");
  // Field 13 running past the record length.
  EXPECT_EQ(decodeError(corrupted(len + 4 * 12, hexBytes("1f 00 00 00"))),
            "Invalid catalog header: record length 50 differs from the 51 bytes of its fields");
  EXPECT_EQ(decodeError(corrupted(66, hexBytes("ff ff ff 7f"))),
            "Invalid catalog header: record length 2147483647 differs from the 50 bytes of its fields");
  EXPECT_EQ(decodeError(corrupted(len + 4 * 20, hexBytes("ff ff ff ff"))),
            "Invalid catalog header: field 21 has negative length -1");
  // An empty field away from the running position.
  EXPECT_EQ(decodeError(corrupted(pos + 4 * 20, hexBytes("07 00 00 00"))),
            "Invalid catalog header: field 21 is empty at position 7 where 51 was expected");
  EXPECT_EQ(decodeError(corrupted(len, hexBytes("00 00 00 00"))),
            "Invalid catalog header: fields 1 and 2 are not right ascension and declination at positions 1 and 5 "
            "with length 4");
}

TEST(CatalogHeaderDecode, HugeFieldLengthsDoNotWrapRound) {
  // Field 3 of 2^31 - 1 bytes puts the next field beyond any int32 position.
  EXPECT_EQ(decodeError(corrupted(426 + 4 * 2, hexBytes("ff ff ff 7f"))),
            "Invalid catalog header: field 7 starts at position 17 where 2147483656 was expected");
}

TEST(CatalogHeaderDecode, GarbageIsRefusedWithoutCrashing) {
  std::mt19937 random(1251);
  std::string good = nebulaHeader().encode();
  for (int round = 0; round < 2000; ++round) {
    std::string image = good;
    // Flip a few random bytes, or replace everything after the magic.
    if (round % 2 == 0) {
      for (int i = 0; i < 3; ++i) image[random() % image.size()] ^= static_cast<char>(1 + random() % 255);
    } else {
      for (std::size_t i = 12; i < image.size(); ++i) image[i] = static_cast<char>(random());
    }
    try {
      CatalogHeader h = CatalogHeader::decode(image);
      // Whatever is accepted must describe a sound layout and re-encode
      // identically.
      EXPECT_EQ(h.encode(), image);
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Invalid catalog header: ", 0), 0u);
    }
  }
  EXPECT_NE(decodeError(std::string(1251, '\xff')), "accepted");
  EXPECT_NE(decodeError(std::string(1251, '\0')), "accepted");
  EXPECT_NE(decodeError(std::string(1251, ' ')), "accepted");
}

TEST(ReadCatalogHeader, ReadsAFileWrittenByEncode) {
  testing::TempDir dir;
  std::string path = dir.write("ngc.hdr", nebulaHeader().encode());
  CatalogHeader h = readCatalogHeader(FileSystem::real(), path);
  EXPECT_EQ(h.shortName, "NGC ");
  EXPECT_EQ(h.regionCount, 184);
  EXPECT_EQ(h.positions[12], 21);
}

TEST(ReadCatalogHeader, ErrorsNameTheFile) {
  testing::TempDir dir;
  std::string longer = dir.write("long.hdr", nebulaHeader().encode() + "x");
  std::string shorter = dir.write("short.hdr", "ORVSTAR1");
  std::string text = dir.write("text.hdr", std::string(100000, 'a'));
  auto message = [](const std::string& path) {
    try {
      readCatalogHeader(FileSystem::real(), path);
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(message(longer), "Invalid catalog header \"" + longer + "\": file is longer than 1251 bytes");
  EXPECT_EQ(message(shorter), "Invalid catalog header \"" + shorter + "\": 8 bytes instead of 1251");
  EXPECT_EQ(message(text), "Invalid catalog header \"" + text + "\": file is longer than 1251 bytes");
  std::string missing = dir.str() + "/none.hdr";
  EXPECT_EQ(message(missing).rfind("Cannot open file \"" + missing + "\": ", 0), 0u) << message(missing);
  EXPECT_NE(message(dir.str()), "accepted");

  testing::FaultyFileSystem faulty;
  faulty.failOpenOf("ngc.hdr");
  std::string good = dir.write("ngc.hdr", nebulaHeader().encode());
  EXPECT_THROW(readCatalogHeader(faulty, good), Error);
}

}  // namespace
}  // namespace mirdal
