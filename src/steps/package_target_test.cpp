#include "src/steps/package_target.h"

#include <gtest/gtest.h>

#include <map>

#include "oem/oem_document.h"
#include "oem/oem_key_catalogue.h"
#include "support/tar_test_util.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::Text;
using Testing::UtilityRun;
using Vadu::Testing::InflatedFile;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::ReadTar;
using Vadu::Testing::Std;

class PackageTarget : public Testing::CommandTest {
 protected:
  // Resources naming a product, and a logo.
  fs::path BrandResources(const std::string& product) {
    OemDocument document;
    SetProductName(document, Vadu::String(product));
    return MakeResources({{"oem_info.xml", Std(document.ToXml())}, {"logo.png", "png"}});
  }
  UtilityRun Brand(const fs::path& target, const fs::path& resources) {
    return RunOwnOutput("-resource " + Arg(resources) + " -target " + Arg(target));
  }
  // The application's data in a package, and the block it carries.
  static std::string DataOf(const Vadu::Testing::ReadArchive& archive, const std::string& name) {
    for (const Vadu::Testing::ReadEntry& read : archive.entries)
      if (Std(read.entry.name) == name)
        return read.bytes.substr(read.entry.data - read.entry.start, read.entry.size);
    return std::string();
  }
  std::map<std::string, std::string> BlockOf(const std::string& data) {
    const fs::path file = work_.Path() / "application";
    Vadu::Testing::WriteFileBytes(file, data);
    return Testing::BlockEntries(file);
  }
};

TEST_F(PackageTarget, EveryEntryButTheApplicationAndItsLinksStaysByteForByte) {
  struct Package {
    const char* fixture;
    std::string application, renamed;
    std::map<std::string, std::string> links;  // entries that point at it, with their new target
    std::string warning;
  };
  const std::vector<Package> packages = {
      {"gnu_package.tgz",
       "./bin/zentu.app",
       "./bin/My_Cam.app",
       {{"./bin/zentu_hard", "./bin/My_Cam.app"}, {"./bin/zentu-link", "My_Cam.app"}},
       "WARNING: the link ./bin/absolute-link points at /opt/zentu/bin/zentu.app, which may be the "
       "application; it is left as it was\n"},
      {"pax_package.tgz",
       "opt/zentu/zentu.app",
       "opt/zentu/My_Cam.app",
       {{"opt/zentu/zentu-hard", "opt/zentu/My_Cam.app"}, {"opt/zentu/zentu-link", "./My_Cam.app"}},
       ""}};
  for (const Package& package : packages) {
    SCOPED_TRACE(package.fixture);
    const fs::path target = CopyFixture(package.fixture, std::string("branded-") + package.fixture);
    const UtilityRun run = Brand(target, BrandResources("My Cam"));
    EXPECT_EQ(run.output,
              package.warning + "Success add resources to file: " + Text(target) + "\n");
    EXPECT_EQ(run.exitCode, 0);

    const Vadu::Testing::ReadArchive before =
        ReadTar(InflatedFile(Testing::Fixture(package.fixture)));
    const Vadu::Testing::ReadArchive after = ReadTar(InflatedFile(target));
    ASSERT_TRUE(after.ok) << after.failure;
    ASSERT_EQ(after.entries.size(), before.entries.size());
    EXPECT_TRUE(after.after == before.after);
    size_t changed = 0;
    for (size_t k = 0; k < before.entries.size(); ++k) {
      const std::string name = Std(before.entries[k].entry.name);
      const Vadu::TarEntry& now = after.entries[k].entry;
      if (name == package.application) {
        EXPECT_EQ(Std(now.name), package.renamed);
        // The application's own bytes, then the block.
        EXPECT_EQ(BlockOf(DataOf(after, package.renamed)).count("logo.png"), 1u);
        EXPECT_TRUE(Testing::HostBytes(work_.Path() / "application") == DataOf(before, name));
        ++changed;
      } else if (package.links.count(name)) {
        EXPECT_EQ(Std(now.name), name);
        EXPECT_EQ(Std(now.linkName), package.links.at(name));
        ++changed;
      } else {
        EXPECT_TRUE(after.entries[k].bytes == before.entries[k].bytes) << name;
      }
    }
    EXPECT_EQ(changed, 1 + package.links.size());
    // The gzip header is the original's.
    const Vadu::FileReader original(Vadu::Testing::Wide(Testing::Fixture(package.fixture)));
    const Vadu::FileReader branded(Vadu::Testing::Wide(target));
    auto ignore = [](const char*, uint32_t) { return true; };
    EXPECT_TRUE(Vadu::InflateGzipFile(branded, ignore).firstHeader ==
                Vadu::InflateGzipFile(original, ignore).firstHeader);
  }
}

TEST_F(PackageTarget, RebrandingMergesWithTheApplicationsOwnBlockAndKeepsItsName) {
  // The package holds a helper application beside the one that is branded.
  const fs::path target = CopyFixture("pax_package.tgz", "product.tgz");
  ASSERT_EQ(Brand(target, BrandResources("My Cam")).exitCode, 0);
  const std::string helper = DataOf(ReadTar(InflatedFile(target)), "opt/zentu/helper.app");
  fs::remove_all(work_.Path() / "res");
  const UtilityRun second = Brand(target, MakeResources({{"second.txt", "2"}}));
  EXPECT_EQ(second.output, "Success add resources to file: " + Text(target) + "\n");

  const Vadu::Testing::ReadArchive archive = ReadTar(InflatedFile(target));
  const std::map<std::string, std::string> block = BlockOf(DataOf(archive, "opt/zentu/My_Cam.app"));
  for (const char* name : {"oem_info.xml", "logo.png", "second.txt", "date"})
    EXPECT_EQ(block.count(name), 1u) << name;
  EXPECT_EQ(DataOf(archive, "opt/zentu/helper.app"), helper);

  // Listing and unpacking read the application's block from the package.
  const UtilityRun listed = Run("-list " + Arg(target));
  EXPECT_NE(listed.output.find("second.txt"), std::string::npos) << listed.output;
  EXPECT_NE(listed.output.find("logo.png"), std::string::npos);
  EXPECT_EQ(Run("-unpack " + Arg(target) + " -outdir " + Arg(work_.Path())).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(work_.Path() / "unpack_res" / "second.txt"), "2");

  // A product name too long for the header: a pax record carries the new name.
  fs::remove_all(work_.Path() / "res");
  const std::string product(110, 'P');
  ASSERT_EQ(Brand(target, BrandResources(product)).exitCode, 0);
  const Vadu::Testing::ReadArchive renamed = ReadTar(InflatedFile(target));
  EXPECT_EQ(BlockOf(DataOf(renamed, "opt/zentu/" + product + ".app")).count("second.txt"), 1u);
}

TEST_F(PackageTarget, ADamagedPackageIsRefusedAndLeftAsItWas) {
  const std::string package = ReadFileBytes(Testing::Fixture("gnu_package.tgz"));
  std::string flipped = package;
  flipped[package.size() / 3] ^= 0x20;
  const fs::path resources = BrandResources("My Cam");
  for (const std::string& bytes : {package.substr(0, package.size() / 2), flipped}) {
    const fs::path target = work_.Path() / "damaged.tgz";
    Vadu::Testing::WriteFileBytes(target, bytes);
    const std::string unpack = "ERROR: can't unpack " + Text(target) + "\n";
    const UtilityRun run = Brand(target, resources);
    EXPECT_EQ(run.output, unpack);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(ReadFileBytes(target) == bytes);
    EXPECT_EQ(Run("-list " + Arg(target)).output, unpack);
  }
}

TEST_F(PackageTarget, ABundleIsRenamedAsAStreamWithItsLinksModesAndPropertyLists) {
  const fs::path target = CopyFixture("bundle_package.tgz", "mac.tgz");
  OemDocument document;
  SetProductName(document, "My Cam");
  SetVersionUniqueID(document, "com example cam");
  const fs::path resources = MakeResources({{"oem_info.xml", Std(document.ToXml())}});
  const fs::path icon = work_.Path() / "new.icns";
  Vadu::Testing::WriteFileBytes(icon, "icns new icon");
  const UtilityRun run = RunOwnOutput("-resource " + Arg(resources) + " -icon " + Arg(icon) +
                                      " -target " + Arg(target));
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(target) + "\n");

  const Vadu::Testing::ReadArchive before =
      ReadTar(InflatedFile(Testing::Fixture("bundle_package.tgz")));
  const Vadu::Testing::ReadArchive after = ReadTar(InflatedFile(target));
  ASSERT_EQ(after.entries.size(), before.entries.size());
  std::map<std::string, const Vadu::Testing::ReadEntry*> entries;
  for (const Vadu::Testing::ReadEntry& read : after.entries) entries[Std(read.entry.name)] = &read;
  for (size_t k = 0; k < before.entries.size(); ++k) {
    const std::string name = Std(before.entries[k].entry.name);
    // Every entry of the bundle moves with it; the others stay byte for byte, but the link to
    // its executable.
    if (name.rfind("pkg/zentu.app", 0) == 0) {
      EXPECT_EQ(Std(after.entries[k].entry.name).rfind("pkg/My_Cam.app", 0), 0u) << name;
    } else if (name != "pkg/zentu") {
      EXPECT_TRUE(after.entries[k].bytes == before.entries[k].bytes) << name;
    }
  }
  const std::string app = "pkg/My_Cam.app/Contents/";
  ASSERT_EQ(entries.count(app + "MacOS/My Cam"), 1u);
  EXPECT_EQ(BlockOf(DataOf(after, app + "MacOS/My Cam")).count("icon.icns"), 1u);
  EXPECT_EQ(Std(entries["pkg/zentu"]->entry.linkName), "My_Cam.app/Contents/MacOS/My Cam");
  EXPECT_EQ(Std(entries[app + "Frameworks/Foo.framework/Versions/Current"]->entry.linkName), "A");
  EXPECT_EQ(Std(entries[app + "Frameworks/Foo.framework/Foo"]->entry.linkName),
            "Versions/Current/Foo");
  // The executable keeps its mode (read-only) and owner.
  const std::string header = entries[app + "MacOS/My Cam"]->bytes;
  EXPECT_EQ(header.substr(100, 8), std::string("0000555\0", 8));
  EXPECT_EQ(header.substr(265, 4), "root");
  const std::string info = DataOf(after, app + "Info.plist");
  for (const char* value : {"<string>My Cam</string>", "<string>com.example.cam</string>"})
    EXPECT_NE(info.find(value), std::string::npos) << info;
  EXPECT_NE(DataOf(after, app + "version.plist").find("<string>My Cam</string>"),
            std::string::npos);
  EXPECT_EQ(DataOf(after, app + "Resources/icon.icns"), "icns new icon");
}

TEST_F(PackageTarget, OnlyTheDataAroundTheChangeIsCompressedAnew) {
  // Megabytes of noise and of text around the application, at the start, in the middle and at
  // the end of the package.
  std::string noise(3 << 20, '\0'), text;
  uint32_t state = 7;
  for (char& c : noise) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
  while (text.size() < (3u << 20))
    text += "<camera name=\"Entrance " + std::to_string(text.size() % 977) + "\"/>\n";
  const fs::path resources = BrandResources("My Cam");
  for (const char* order : {"a12", "1a2", "12a"}) {
    SCOPED_TRACE(order);
    const fs::path content = work_.Path() / "content";
    fs::remove_all(content);
    fs::create_directories(content);
    // The archive's entries sort by name: their names give the order.
    for (const char* k = order; *k; ++k) {
      const std::string name = std::string(1, static_cast<char>('0' + (k - order)));
      if (*k == 'a')
        Vadu::Testing::WriteFileBytes(content / (name + "zentu.app"), noise.substr(0, 300000));
      if (*k == '1') Vadu::Testing::WriteFileBytes(content / (name + "-noise.bin"), noise);
      if (*k == '2') Vadu::Testing::WriteFileBytes(content / (name + "-text.txt"), text);
    }
    const fs::path target = work_.Path() / "package.tgz";
    MakeTgz(content, target);
    const std::string original = ReadFileBytes(target);
    ASSERT_EQ(Brand(target, resources).exitCode, 0);
    const std::string branded = ReadFileBytes(target);

    // The data is what compressing the whole stream anew would give: every entry but the
    // application as it was, the gzip checksum and length right (the reader checks them).
    Vadu::Testing::WriteFileBytes(work_.Path() / "original.tgz", original);
    const Vadu::Testing::ReadArchive old = ReadTar(InflatedFile(work_.Path() / "original.tgz"));
    const std::string tar = InflatedFile(target);
    ASSERT_FALSE(tar.empty()) << "not a whole gzip file";
    const Vadu::Testing::ReadArchive now = ReadTar(tar);
    ASSERT_TRUE(now.ok) << now.failure;
    ASSERT_EQ(now.entries.size(), old.entries.size());
    for (size_t k = 0; k < old.entries.size(); ++k) {
      if (Std(old.entries[k].entry.name).find("zentu.app") != std::string::npos) {
        EXPECT_EQ(BlockOf(DataOf(now, Std(now.entries[k].entry.name))).count("logo.png"), 1u);
      } else {
        EXPECT_TRUE(now.entries[k].bytes == old.entries[k].bytes) << k;
      }
    }
    EXPECT_TRUE(now.after == old.after);
    // The compressed bytes before the change are the original's: a megabyte at least, unless the
    // application comes first.
    size_t kept = 0;
    while (kept < original.size() && kept < branded.size() && original[kept] == branded[kept])
      ++kept;
    if (order[0] != 'a') {
      EXPECT_GT(kept, size_t{1} << 20);
    }
  }
}

}  // namespace
}  // namespace Zentu
