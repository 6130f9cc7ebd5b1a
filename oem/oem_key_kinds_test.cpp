#include "oem/oem_key_kinds.h"

#include <gtest/gtest.h>

#include "oem/oem_template.h"

namespace Zentu {
namespace {

TEST(OemKeyKinds, EveryTemplateKeyHasAKindAndTheDefaultsFitThem) {
  OemDocument document;
  FillOemTemplate(document);
  const auto& kinds = OemKeyKinds();
  EXPECT_EQ(kinds.size(), document.Size());
  for (const auto& [key, item] : document.AllItems()) {
    ASSERT_EQ(kinds.count(key), 1u) << key.CStr();
    EXPECT_TRUE(FitsOemValueKind(item.value, kinds.at(key)))
        << key.CStr() << " " << item.value.CStr();
  }
  EXPECT_EQ(kinds.at("ProductName"), OemValueKind::kText);
  EXPECT_EQ(kinds.at("MaxArchiveSizeMB"), OemValueKind::kNumber);
  EXPECT_EQ(kinds.at("HelpURL"), OemValueKind::kAddress);
  EXPECT_EQ(kinds.at(OemDocument::ItemKey("Enabled", {"Sms"})), OemValueKind::kBoolean);
}

TEST(OemKeyKinds, ValuesOfTheWrongKindDoNotFit) {
  EXPECT_TRUE(FitsOemValueKind("TRUE", OemValueKind::kBoolean));
  EXPECT_TRUE(FitsOemValueKind("", OemValueKind::kNumber));
  EXPECT_TRUE(FitsOemValueKind("-12", OemValueKind::kNumber));
  EXPECT_TRUE(FitsOemValueKind("https://cam.example/x?a=1", OemValueKind::kAddress));
  for (const char* value : {"yes", "1", "true "})
    EXPECT_FALSE(FitsOemValueKind(value, OemValueKind::kBoolean)) << value;
  for (const char* value : {"ten", "1.5", "12MB", "-", "99999999999999999999"})
    EXPECT_FALSE(FitsOemValueKind(value, OemValueKind::kNumber)) << value;
  for (const char* value : {"www.example.com", "ftp://example.com", "http://", "http://a b"})
    EXPECT_FALSE(FitsOemValueKind(value, OemValueKind::kAddress)) << value;
}

}  // namespace
}  // namespace Zentu
