#include "oem/own_oem_information.h"

#include <gtest/gtest.h>

#include <string>

#include "oem/oem_key_catalogue.h"
#include "oem/oem_test_util.h"
#include "oem/resource_block.h"
#include "support/test_util.h"

namespace Zentu {
namespace {

using Testing::Str;
using Vadu::SettingsMap;
using Vadu::Testing::TempFolder;
using Vadu::Testing::Wide;
using Vadu::Testing::WriteFileBytes;

const char kHostBytes[] = "MZ pretend program bytes\x00\x01\x02 and more";
const std::string kHost(kHostBytes, sizeof kHostBytes - 1);

std::string WithBlock(const SettingsMap& map) {
  return Str(AppendBlock(Vadu::String(kHost.data(), uint32_t(kHost.size())), map));
}

// Loads `name` from `folder` into a map and a document that held something before.
void Load(const TempFolder& folder, const char* name, SettingsMap& map, OemDocument& document) {
  map.Set("stale", "x");
  SetCompanyName(document, "stale");
  LoadOemInformation(Wide(folder.Path() / name), map, document);
}

TEST(OwnOemInformation, LoadsTheBlockAndItsNormalisedOemInformation) {
  TempFolder folder;
  SettingsMap embedded;
  embedded.Set("oem_info.xml",
               "<?xml version=\"1.0\"?><vendormark><oem><ProductName>Acme Vision</ProductName>"
               "<ApplicationServiceName>Acme Core 2</ApplicationServiceName></oem></vendormark>");
  embedded.Set("skin/logo.png", "\x89PNG");
  WriteFileBytes(folder.Path() / "program.exe", WithBlock(embedded));
  SettingsMap map;
  OemDocument document;
  Load(folder, "program.exe", map, document);
  EXPECT_EQ(map.Serialize(), embedded.Serialize());
  EXPECT_EQ(document.Size(), 2u);
  EXPECT_EQ(Str(ProductName(document)), "Acme Vision");
  EXPECT_EQ(Str(document.Value("ApplicationServiceName", "")), "AcmeCore");
}

TEST(OwnOemInformation, WhatCannotBeLoadedLeavesThemEmpty) {
  TempFolder folder;
  SettingsMap readme;
  readme.Set("readme.txt", "hello");
  WriteFileBytes(folder.Path() / "no-oem-info.exe", WithBlock(readme));
  WriteFileBytes(folder.Path() / "plain.exe", kHost);
  SettingsMap embedded;
  embedded.Set("oem_info.xml", "<r><oem><A>1</A></oem></r>");
  std::string corrupt = WithBlock(embedded);
  corrupt[kHost.size() + 3] ^= 0x55;  // inside the compressed payload
  corrupt[kHost.size() + 4] ^= 0x55;
  WriteFileBytes(folder.Path() / "corrupt.exe", corrupt);
  const struct {
    const char* name;
    size_t entries;
  } cases[] = {{"no-oem-info.exe", 1}, {"plain.exe", 0}, {"missing.exe", 0}, {"corrupt.exe", 0}};
  for (const auto& c : cases) {
    SettingsMap map;
    OemDocument document;
    Load(folder, c.name, map, document);
    EXPECT_EQ(map.Count(), c.entries) << c.name;
    EXPECT_TRUE(document.IsEmpty()) << c.name;
  }
}

TEST(OwnOemInformation, TheTestProgramCarriesNoBlock) {
  EXPECT_EQ(&OwnResourceMap(), &OwnResourceMap());
  EXPECT_EQ(&OwnOemDocument(), &OwnOemDocument());
  OwnResourceMap().Set("stale", "x");
  LoadOwnOemInformation();
  EXPECT_FALSE(OwnResourceMap().HasEntries());
  EXPECT_TRUE(OwnOemDocument().IsEmpty());
}

}  // namespace
}  // namespace Zentu
