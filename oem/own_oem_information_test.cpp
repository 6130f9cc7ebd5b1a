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

const char kHost[] = "MZ pretend program bytes\x00\x01\x02 and more";

std::string WithBlock(const SettingsMap& map) {
  Vadu::String bytes = AppendBlock(Vadu::String(kHost, sizeof kHost - 1), map);
  return Str(bytes);
}

// A map and a document holding something, so that the tests see them replaced.
void Prefill(SettingsMap& map, OemDocument& document) {
  map.Set("stale", "x");
  SetCompanyName(document, "stale");
}

TEST(OwnOemInformation, LoadsTheBlockAndItsOemInformation) {
  TempFolder folder;
  SettingsMap embedded;
  embedded.Set("oem_info.xml",
               "<?xml version=\"1.0\"?><vendormark><oem><ProductName>Acme Vision</ProductName>"
               "<ApplicationServiceName>Acme Core 2</ApplicationServiceName></oem></vendormark>");
  embedded.Set("skin/logo.png", "\x89PNG");
  WriteFileBytes(folder.Path() / "program.exe", WithBlock(embedded));

  SettingsMap map;
  OemDocument document;
  Prefill(map, document);
  LoadOemInformation(Wide(folder.Path() / "program.exe"), map, document);
  EXPECT_EQ(map.Count(), 2u);
  EXPECT_EQ(Str(map.Get("skin/logo.png")), "\x89PNG");
  EXPECT_EQ(document.Size(), 2u);
  EXPECT_EQ(Str(ProductName(document)), "Acme Vision");
  // Loaded with the service name normalised.
  EXPECT_EQ(Str(document.Value("ApplicationServiceName", "")), "AcmeCore");
}

TEST(OwnOemInformation, BlockWithoutOemInformationLeavesTheDocumentEmpty) {
  TempFolder folder;
  SettingsMap embedded;
  embedded.Set("readme.txt", "hello");
  WriteFileBytes(folder.Path() / "program.exe", WithBlock(embedded));
  SettingsMap map;
  OemDocument document;
  Prefill(map, document);
  LoadOemInformation(Wide(folder.Path() / "program.exe"), map, document);
  EXPECT_EQ(map.Count(), 1u);
  EXPECT_TRUE(document.IsEmpty());
}

TEST(OwnOemInformation, FileWithoutBlockOrMissingLeavesBothEmpty) {
  TempFolder folder;
  WriteFileBytes(folder.Path() / "plain.exe", std::string(kHost, sizeof kHost - 1));
  for (const char* name : {"plain.exe", "missing.exe"}) {
    SettingsMap map;
    OemDocument document;
    Prefill(map, document);
    LoadOemInformation(Wide(folder.Path() / name), map, document);
    EXPECT_FALSE(map.HasEntries()) << name;
    EXPECT_TRUE(document.IsEmpty()) << name;
  }
}

TEST(OwnOemInformation, CorruptBlockLeavesBothEmpty) {
  TempFolder folder;
  SettingsMap embedded;
  embedded.Set("oem_info.xml", "<r><oem><A>1</A></oem></r>");
  std::string bytes = WithBlock(embedded);
  // Spoil the compressed payload just after the host bytes.
  bytes[sizeof kHost + 2] ^= 0x55;
  bytes[sizeof kHost + 3] ^= 0x55;
  WriteFileBytes(folder.Path() / "program.exe", bytes);
  SettingsMap map;
  OemDocument document;
  Prefill(map, document);
  LoadOemInformation(Wide(folder.Path() / "program.exe"), map, document);
  EXPECT_FALSE(map.HasEntries());
  EXPECT_TRUE(document.IsEmpty());
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
