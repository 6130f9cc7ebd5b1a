#include "src/steps/bundle_archive.h"

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
using Vadu::Testing::Std;

class BundleArchive : public Testing::CommandTest {};

TEST_F(BundleArchive, ADiskImagesBundleKeepsItsLinksAndModesWhateverExtractionKept) {
  // The image's files are read-only; a framework in its bundle is built on links; a second
  // application and a link to "/Applications" lie beside the bundle.
  const fs::path image = CopyFixture("zentu.dmg", "Cam.dmg");
  OemDocument document;
  SetProductName(document, "My Cam");
  const fs::path resources = MakeResources({{"oem_info.xml", Std(document.ToXml())}});
  const Testing::UtilityRun run =
      RunOwnOutput("-resource " + Arg(resources) + " -target " + Arg(image));
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(image) + "\n");

  const Vadu::Testing::ReadArchive archive =
      Vadu::Testing::ReadTar(Vadu::Testing::InflatedFile(work_.Path() / "Cam.dmg.tgz"));
  ASSERT_TRUE(archive.ok) << archive.failure;
  std::map<std::string, Vadu::TarEntry> entries;
  for (const Vadu::Testing::ReadEntry& read : archive.entries) {
    entries[Std(read.entry.name)] = read.entry;
    // The bundle alone, owned by 0/0.
    EXPECT_EQ(Std(read.entry.name).rfind("My_Cam.app/", 0), 0u) << Std(read.entry.name);
    EXPECT_EQ(read.bytes.substr(108, 16), std::string("0000000\0"
                                                      "0000000\0",
                                                      16));
  }
  const std::string framework = "My_Cam.app/Contents/Frameworks/Foo.framework/";
  EXPECT_TRUE(entries[framework + "Foo"].IsSymbolicLink());
  EXPECT_EQ(Std(entries[framework + "Foo"].linkName), "Versions/Current/Foo");
  EXPECT_EQ(Std(entries[framework + "Versions/Current"].linkName), "A");
  // The modes of the image (genisoimage -r: read-only), not of the branded copies.
  auto mode = [&](const std::string& name) {
    for (const Vadu::Testing::ReadEntry& read : archive.entries)
      if (Std(read.entry.name) == name)
        return read.bytes.substr(read.entry.header - read.entry.start + 100, 7);
    return std::string();
  };
  EXPECT_EQ(mode("My_Cam.app/Contents/MacOS/My Cam"), "0000555");
  EXPECT_EQ(mode("My_Cam.app/Contents/Info.plist"), "0000444");
  EXPECT_EQ(mode("My_Cam.app/"), "0000555");
  EXPECT_EQ(entries.count("My_Cam.app/Contents/MacOS/My Cam"), 1u);
}

}  // namespace
}  // namespace Zentu
