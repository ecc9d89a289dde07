#include "lumbrapack/pack_manager.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace lumbrapack;

std::vector<unsigned char> Pack(PackType type, std::u16string name, std::size_t payloadSize,
                                unsigned char fill = 0x5A) {
  PackFileFields f;
  f.type = type;
  f.name = std::move(name);
  f.version[0] = 2;
  f.version[3] = 9;
  f.buildLetter = 'C';
  f.build[1] = 77;
  return BuildPackFile(f, std::vector<unsigned char>(payloadSize, fill));
}

std::vector<unsigned char> Erased(std::size_t size) { return std::vector<unsigned char>(size, 0xFF); }

std::vector<unsigned char> Image(CPackManager& m, std::size_t partition) {
  std::vector<unsigned char> image(partition);
  EXPECT_EQ(m.WriteImage(image.data(), image.size()), kPackOk);
  return image;
}

TEST(PackManager, AnErasedPartitionIsAnEmptySetWithAllItsMemoryFree) {
  auto flash = Erased(4096);
  CPackManager m(flash.data(), flash.size());
  EXPECT_EQ(m.m_packCount, 0);
  EXPECT_EQ(m.m_totalMemory, 4096u);
  EXPECT_EQ(m.ImageSize(), 12u);
  EXPECT_EQ(m.FreeMemory(), 4096u - 12u);
}

TEST(PackManager, PacksSurviveAWriteAndAReadBackAndKeepTheirRecords) {
  auto flash = Erased(4096);
  CPackManager m(flash.data(), flash.size());
  auto english = Pack(kLanguagePack, u"English", 100);
  auto theme = Pack(kThemePack, u"Night", 10, 0x11);
  ASSERT_EQ(m.AddPack(english.data(), english.size()), kPackOk);
  ASSERT_EQ(m.AddPack(theme.data(), 0), kPackOk);  // length from the pack's own header
  EXPECT_EQ(m.ImageSize(), 12u + english.size() + theme.size());

  auto image = Image(m, 4096);
  flash.clear();  // the reader keeps its own copy
  CPackManager readBack(image.data(), image.size());
  image.assign(image.size(), 0);
  ASSERT_EQ(readBack.m_packCount, 2);

  PackRecord r{};
  ASSERT_EQ(readBack.PackInfo(2, &r), kPackOk);
  EXPECT_EQ(r.type, kThemePack);
  EXPECT_EQ(r.name[0], 0);
  EXPECT_EQ(r.name[1], 'N');
  EXPECT_EQ(r.name[9], 't');
  EXPECT_EQ(r.version[0], 2);
  EXPECT_EQ(r.version[3], 9);
  EXPECT_EQ(r.buildLetter, 'C');
  EXPECT_EQ(r.build[1], 77);
  EXPECT_EQ(r.size, theme.size());
}

TEST(PackManager, RefusedPacksGiveTheirResultAndChangeNothing) {
  auto flash = Erased(400);
  CPackManager m(flash.data(), flash.size());
  auto good = Pack(kFontPack, u"Sans", 20);
  ASSERT_EQ(m.AddPack(good.data(), good.size()), kPackOk);

  auto badSignature = good;
  badSignature[0] = 'X';
  auto badHeader = Pack(kFontPack, u"Serif", 20);
  badHeader[4] = 2;
  auto badFormat = Pack(kFontPack, u"Serif", 20);
  badFormat[7] = 5;
  auto badCrc = Pack(kFontPack, u"Serif", 20);
  badCrc.back() ^= 1;
  auto big = Pack(kFontPack, u"Huge", 300);
  auto serif = Pack(kFontPack, u"Serif", 20);

  struct Case {
    const char* what;
    const unsigned char* data;
    unsigned long length;
    int result;
  } cases[] = {
      {"no data", nullptr, 10, kPackNoFile},
      {"signature", badSignature.data(), badSignature.size(), kPackUnknownSignature},
      {"header version", badHeader.data(), badHeader.size(), kPackHeaderVersion},
      {"format version", badFormat.data(), badFormat.size(), kPackVersionMismatch},
      {"checksum", badCrc.data(), badCrc.size(), kPackBadChecksum},
      {"shorter than announced", serif.data(), serif.size() - 1, kPackTruncated},
      {"same name and type", good.data(), good.size(), kPackExists},
      {"no room", big.data(), big.size(), kPackNoSpace},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(m.AddPack(c.data, c.length), c.result) << c.what;
    EXPECT_EQ(m.m_packCount, 1) << c.what;
  }
  EXPECT_EQ(m.AddPack(serif.data(), serif.size()), kPackOk);
}

TEST(PackManager, RemoveCountsFromOneAndShiftsTheRest) {
  auto flash = Erased(4096);
  CPackManager m(flash.data(), flash.size());
  for (char16_t c : std::u16string(u"ABCD")) {
    auto p = Pack(kLanguagePack, std::u16string(1, c), 4);
    ASSERT_EQ(m.AddPack(p.data(), p.size()), kPackOk);
  }
  EXPECT_EQ(m.RemovePack(0), kPackBadIndex);
  EXPECT_EQ(m.RemovePack(5), kPackBadIndex);
  ASSERT_EQ(m.RemovePack(4), kPackOk);
  ASSERT_EQ(m.RemovePack(1), kPackOk);
  ASSERT_EQ(m.m_packCount, 2);
  PackRecord r{};
  ASSERT_EQ(m.PackInfo(1, &r), kPackOk);
  EXPECT_EQ(r.name[1], 'B');
  ASSERT_EQ(m.PackInfo(2, &r), kPackOk);
  EXPECT_EQ(r.name[1], 'C');
  EXPECT_EQ(m.PackInfo(3, &r), kPackBadIndex);
}

TEST(PackManager, ADamagedPartitionKeepsThePacksBeforeTheDamage) {
  auto flash = Erased(4096);
  CPackManager m(flash.data(), flash.size());
  auto a = Pack(kLanguagePack, u"A", 30);
  auto b = Pack(kLanguagePack, u"B", 30);
  ASSERT_EQ(m.AddPack(a.data(), a.size()), kPackOk);
  ASSERT_EQ(m.AddPack(b.data(), b.size()), kPackOk);
  auto image = Image(m, 4096);
  image[12 + a.size() + 140] ^= 0xFF;  // inside B's payload
  CPackManager damaged(image.data(), image.size());
  EXPECT_EQ(damaged.m_packCount, 1);

  auto truncated = Image(m, 4096);
  CPackManager shortRead(truncated.data(), 12 + a.size() + 10);
  EXPECT_EQ(shortRead.m_packCount, 1);
}

TEST(PackManager, WriteImageNeedsRoomForTheWholeSet) {
  auto flash = Erased(4096);
  CPackManager m(flash.data(), flash.size());
  auto a = Pack(kLanguagePack, u"A", 30);
  ASSERT_EQ(m.AddPack(a.data(), a.size()), kPackOk);
  std::vector<unsigned char> small(m.ImageSize() - 1);
  EXPECT_EQ(m.WriteImage(small.data(), small.size()), kPackNoSpace);
  std::vector<unsigned char> exact(m.ImageSize(), 0);
  EXPECT_EQ(m.WriteImage(exact.data(), exact.size()), kPackOk);
  EXPECT_EQ(m.WriteImage(nullptr, 100), kPackNoFile);
}

}  // namespace
