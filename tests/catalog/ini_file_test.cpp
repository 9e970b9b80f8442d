#include "catalog/ini_file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/faulty_file_system.h"
#include "support/temp_dir.h"
#include "util/error.h"

namespace mirdal {
namespace {

using std::string_literals::operator""s;

TEST(IniFile, SectionAndKeyNamesIgnoreCase) {
  IniFile ini("[page1]\r\nTYPE=3\r\n  ShortName = ngc \r\n");
  EXPECT_EQ(ini.value("Page1", "type"), "3");
  EXPECT_EQ(ini.value("PAGE1", "shortname"), "ngc");
  EXPECT_TRUE(ini.hasSection("Page1"));
  EXPECT_FALSE(ini.hasSection("Page2"));
  EXPECT_EQ(ini.value("Page2", "type"), std::nullopt);
  EXPECT_EQ(ini.value("Page1", "eol", "2"), "2");
}

TEST(IniFile, FirstMatchingSectionAndKeyWin) {
  IniFile ini("[A]\r\nk=1\r\nK=2\r\n[a]\r\nk=3\r\nj=4\r\n");
  EXPECT_EQ(ini.value("A", "k"), "1");
  // j lies in the second [a], which lookups never reach.
  EXPECT_EQ(ini.value("A", "j"), std::nullopt);
  ini.setValue("a", "K", "9");
  EXPECT_EQ(ini.text(), "[A]\r\nk=9\r\nK=2\r\n[a]\r\nk=3\r\nj=4\r\n");
}

TEST(IniFile, WriteReplacesInPlaceAndLeavesOtherLinesAlone) {
  IniFile ini("; note\r\n[A]\r\n Key = 1 \r\nno equals sign\r\n\r\n[B]\r\nx=1\r\n");
  ini.setValue("a", "key", "2");
  EXPECT_EQ(ini.text(), "; note\r\n[A]\r\n Key =2\r\nno equals sign\r\n\r\n[B]\r\nx=1\r\n");
}

TEST(IniFile, MissingKeyGoesAfterTheLastNonBlankLineOfItsSection) {
  IniFile ini("[A]\r\nk=1\r\n\r\n\r\n[B]\r\nx=1\r\n");
  ini.setValue("A", "new", "v");
  ini.setValue("A", "newer", "w");
  EXPECT_EQ(ini.text(), "[A]\r\nk=1\r\nnew=v\r\nnewer=w\r\n\r\n\r\n[B]\r\nx=1\r\n");
  EXPECT_EQ(ini.value("A", "new"), "v");
  EXPECT_EQ(ini.value("A", "k"), "1");
}

TEST(IniFile, MissingSectionGoesAtTheEnd) {
  IniFile ini("[A]\r\nk=1");
  ini.setValue("Page2", "ratype", "0");
  ini.setValue("Page2", "dectype", "1");
  EXPECT_EQ(ini.text(), "[A]\r\nk=1\r\n[Page2]\r\nratype=0\r\ndectype=1\r\n");
}

TEST(IniFile, EmptyIniWritesInCallOrder) {
  IniFile ini;
  ini.setValue("Page1", "type", "0");
  ini.setValue("Page2", "ratype", "1");
  ini.setValue("Page1", "eol", "2");
  EXPECT_EQ(ini.text(), "[Page1]\r\ntype=0\r\neol=2\r\n[Page2]\r\nratype=1\r\n");
}

TEST(IniFile, ReadDropsBlanksAndOnePairOfMatchingQuotes) {
  IniFile ini(
      "[A]\r\n"
      "plain=  a b \t\r\n"
      "dq=\"a b\"\r\n"
      "sq='x'\r\n"
      "mixed=\"x'\r\n"
      "inner=\" x \"\r\n"
      "twice=\"\"y\"\"\r\n"
      "lone=\"\r\n"
      "empty=\r\n"
      "emptyq=\"\"\r\n"
      "unit=s,\"\r\n");
  EXPECT_EQ(ini.value("A", "plain"), "a b");
  EXPECT_EQ(ini.value("A", "dq"), "a b");
  EXPECT_EQ(ini.value("A", "sq"), "x");
  EXPECT_EQ(ini.value("A", "mixed"), "\"x'");
  EXPECT_EQ(ini.value("A", "inner"), " x ");
  EXPECT_EQ(ini.value("A", "twice"), "\"y\"");
  EXPECT_EQ(ini.value("A", "lone"), "\"");
  EXPECT_EQ(ini.value("A", "empty"), "");
  EXPECT_EQ(ini.value("A", "emptyq"), "");
  EXPECT_EQ(ini.value("A", "unit"), "s,\"");
}

TEST(IniFile, ValueAfterTheFirstEqualsSign) {
  IniFile ini("[A]\r\nk=a=b\r\n=orphan\r\n");
  EXPECT_EQ(ini.value("A", "k"), "a=b");
  EXPECT_EQ(ini.value("A", ""), std::nullopt);
}

TEST(IniFile, ReadKeepsAtMost2047Characters) {
  std::string longValue(3000, 'v');
  IniFile ini("[A]\r\nk=" + longValue + "\r\nexact=" + std::string(2047, 'e') + "\r\n");
  EXPECT_EQ(ini.value("A", "k")->size(), 2047u);
  EXPECT_EQ(ini.value("A", "exact")->size(), 2047u);
}

TEST(IniFile, WrittenValuesReadBackUnchanged) {
  const std::string values[] = {" ,?", "vertex, ,2", "s,\"", "\"quoted\"", "'q'", "trail ", "\t", "", "\"", "a\"b"};
  IniFile ini;
  for (std::size_t i = 0; i < std::size(values); ++i) ini.setValue("S", "k" + std::to_string(i), values[i]);
  IniFile again(ini.text());
  for (std::size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(again.value("S", "k" + std::to_string(i)), values[i]) << i;
  EXPECT_NE(ini.text().find("\r\nk0=\" ,?\"\r\n"), std::string::npos);
  EXPECT_NE(ini.text().find("\r\nk1=vertex, ,2\r\n"), std::string::npos);
}

TEST(IniFile, LineBreakInValueCannotStartANewKey) {
  IniFile ini;
  ini.setValue("S", "name", "x\r\ninjected=1\ny");
  EXPECT_EQ(ini.text(), "[S]\r\nname=x  injected=1 y\r\n");
  EXPECT_EQ(IniFile(ini.text()).value("S", "injected"), std::nullopt);
}

TEST(IniFile, LfOnlyAndCrOnlyLineEnds) {
  IniFile lf("[A]\nk=1\nj=2\n");
  EXPECT_EQ(lf.value("A", "j"), "2");
  IniFile cr("[A]\rk=1\rj=2");
  EXPECT_EQ(cr.value("A", "k"), "1");
  EXPECT_EQ(cr.value("A", "j"), "2");
  IniFile mixed("[A]\r\n\rk=1\n\r\nj=2\r");
  EXPECT_EQ(mixed.value("A", "j"), "2");
  // Rewritten with CR LF throughout, the empty lines kept.
  EXPECT_EQ(mixed.text(), "[A]\r\n\r\nk=1\r\n\r\nj=2\r\n");
}

TEST(IniFile, NulBytesAndBinaryDoNotDisturbParsing) {
  std::string text = "\x00\xff[\x01\r\n[A]\r\nk=1\x00z\r\n\x00=\x00\r\n[\r\n]=]\r\n"s;
  IniFile ini(text);
  EXPECT_EQ(ini.value("A", "k"), "1\0z"s);
  std::string garbage;
  for (int i = 0; i < 100000; ++i) garbage += static_cast<char>((i * 7919 + i / 13) & 0xFF);
  IniFile g(garbage);
  (void)g.value("Page1", "type");
  g.setValue("Page1", "type", "0");
  EXPECT_EQ(IniFile(g.text()).value("Page1", "type"), "0");
}

TEST(IniFile, UnclosedSectionHeaderNamesTheRestOfTheLine) {
  IniFile ini("[Page1\r\ntype=4\r\n[ Page2 ] tail\r\nratype=1\r\n");
  EXPECT_EQ(ini.value("Page1", "type"), "4");
  EXPECT_EQ(ini.value("Page2", "ratype"), "1");
}

TEST(IniFile, ByteOrderMarkIsSkippedAndKept) {
  IniFile ini("\xEF\xBB\xBF[A]\r\nk=1\r\n");
  EXPECT_EQ(ini.value("A", "k"), "1");
  ini.setValue("A", "k", "2");
  EXPECT_EQ(ini.text(), "\xEF\xBB\xBF[A]\r\nk=2\r\n");
}

TEST(IniFile, LinesBeforeTheFirstSectionBelongToNoSection) {
  IniFile ini("type=3\r\n[Page1]\r\n");
  EXPECT_EQ(ini.value("Page1", "type"), std::nullopt);
  ini.setValue("Page1", "type", "1");
  EXPECT_EQ(ini.text(), "type=3\r\n[Page1]\r\ntype=1\r\n");
}

TEST(IniFile, SaveAndLoadThroughTheFileSystem) {
  testing::TempDir dir;
  IniFile ini;
  ini.setValue("A", "k", "v");
  std::string path = dir.str() + "/p.prj";
  ini.save(path, FileSystem::real());
  EXPECT_EQ(dir.read("p.prj"), "[A]\r\nk=v\r\n");
  EXPECT_EQ(IniFile::load(path, FileSystem::real()).value("a", "K"), "v");
}

TEST(IniFile, LoadOfMissingFileNamesTheFileAndTheReason) {
  testing::TempDir dir;
  std::string path = dir.str() + "/none.prj";
  try {
    IniFile::load(path, FileSystem::real());
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path + "\": No such file or directory");
  }
  EXPECT_THROW(IniFile::load(dir.str(), FileSystem::real()), Error);
}

TEST(IniFile, KeyBeyondTheReadCapIsAbsent) {
  testing::TempDir dir;
  std::string text = "[A]\r\nfirst=1\r\npad=" + std::string(IniFile::kMaxFileBytes, 'x') + "\r\nlast=2\r\n";
  std::string path = dir.write("big.ini", text);
  IniFile ini = IniFile::load(path, FileSystem::real());
  EXPECT_EQ(ini.value("A", "first"), "1");
  EXPECT_EQ(ini.value("A", "pad")->size(), IniFile::kMaxValueLength);
  EXPECT_EQ(ini.value("A", "last"), std::nullopt);
}

TEST(IniFile, SaveReportsAFailedWrite) {
  testing::TempDir dir;
  testing::FaultyFileSystem fs(1);
  IniFile ini;
  ini.setValue("A", "k", "v");
  EXPECT_THROW(ini.save(dir.str() + "/p.prj", fs), Error);
}

}  // namespace
}  // namespace mirdal
