#include "oem/oem_key_kinds.h"

#include <string>

#include "oem/oem_key_catalogue.h"
#include "oem/oem_template.h"

namespace Zentu {

using Vadu::String;

namespace {

// The typed setters of the catalogue, by the type they take: a setter whose type changes no
// longer fits its list and the build fails, so the kinds cannot drift from the catalogue.
using BooleanSetter = void (*)(OemDocument&, bool);
using NumberSetter = void (*)(OemDocument&, int32_t);
using LongNumberSetter = void (*)(OemDocument&, int64_t);
using AddressSetter = void (*)(OemDocument&, const Vadu::Url&);

constexpr BooleanSetter kBooleanSetters[] = {
    SetAllowToCreateNewFoldersForExport,
    SetAlwaysFullscreen,
    SetAutoSelectionLoginAndPasswordEnabled,
    SetBdtmmUseByDefault,
    SetBottomPanelMovementEnable,
    SetBufferingOnClient,
    SetConnectionParametersEnabled,
    SetCustomLicenseAgreement,
    SetDisableExportWithReencoding,
    SetDisableOnlineControlsInHelp,
    SetEnableLabelWarningPreviewStreamDoesNotWork,
    SetExitEnabled,
    SetGraphEnabled,
    SetHideWarningLowFPS,
    SetIpCamsEnabled,
    SetLanguageChangeEnabled,
    SetLeftPanelEnabled,
    SetLicenseEnabled,
    SetLicensePlatesLog,
    SetMainMenuDevicesByGroupsItemEnabled,
    SetMainMenuInformationItemEnabled,
    SetMainMenuIstallItemEnabled,
    SetMainMenuRemoteAccessItemEnabled,
    SetMainMenuTurnAllCamerasOffItemEnabled,
    SetMicrophoneSoundDelayEnabled,
    SetOnlyOnvifSearchEnabled,
    SetRandomCamerasEnabled,
    SetRegisterProtocolEnabled,
    SetRunOnlyClient,
    SetSearchByHttpMarking,
    SetSearchByLicensePlates,
    SetSearchByMotion,
    SetSettingsBackupEnabled,
    SetShowSplashScreen,
    SetUserPermissionDialogUseCsvLogAlwaysOn,
    SetMainMenuAboutItemEnable,
    Sms::SetEnabled,
    Sms::SetModemEnabled,
    Sms::SetOtherOperatorsEnabled,
    Sms::SetUsePostMethod,
    Email::SetIsCanRemoveCurrentRecipient,
};

constexpr NumberSetter kNumberSetters[] = {
    SetArchivePlaybackStartPosition,
    SetCursorHideInterval,
    SetDefaultExportFormatId,
};

constexpr LongNumberSetter kLongNumberSetters[] = {SetMaxArchiveSizeMB};

constexpr AddressSetter kAddressSetters[] = {
    SetANPRSettingsUrl,
    SetBackupURL,
    SetBuyFarwireURL,
    SetCamerasFeedbackURL,
    SetCompareVersionsUrl,
    SetFeedbackURL,
    SetHelpURL,
    SetHttpsSslHelper,
    SetInformationAboutCloudURL,
    SetModulesComparisonUrl,
    SetNewVersionChangesURL,
    SetNewVersionInfoDownloadURL,
    SetNewVersionNotificationURL,
    SetOpenAlprDownloadURL,
    SetOutsourceUrl,
    SetRateAppUrl,
    SetSpecialOfferURL,
    SetSupportedCameraVendorsURL,
    SetVideoTutorialURL,
    SetWebsiteURL,
};

// The key a setter stores, found by letting it store into an empty document.
template <typename Setter, typename Value>
String KeyOf(Setter setter, const Value& value) {
  OemDocument document;
  setter(document, value);
  return document.AllItems().begin()->first;
}

std::map<String, OemValueKind> ReadKinds() {
  std::map<String, OemValueKind> kinds;
  OemDocument all;
  FillOemTemplate(all);
  for (const auto& [key, item] : all.AllItems()) kinds[key] = OemValueKind::kText;
  for (BooleanSetter setter : kBooleanSetters) kinds[KeyOf(setter, false)] = OemValueKind::kBoolean;
  for (NumberSetter setter : kNumberSetters) kinds[KeyOf(setter, 0)] = OemValueKind::kNumber;
  for (LongNumberSetter setter : kLongNumberSetters)
    kinds[KeyOf(setter, int64_t{0})] = OemValueKind::kNumber;
  for (AddressSetter setter : kAddressSetters)
    kinds[KeyOf(setter, Vadu::Url())] = OemValueKind::kAddress;
  return kinds;
}

std::string AsciiLower(const String& text) {
  std::string lower(text.CStr(), text.Length());
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

bool IsWholeNumber(const String& value) {
  uint32_t start = value[0] == '-' || value[0] == '+' ? 1 : 0;
  if (start == value.Length() || value.Length() - start > 18) return false;
  for (uint32_t k = start; k < value.Length(); ++k)
    if (value[k] < '0' || value[k] > '9') return false;
  return true;
}

bool IsWebAddress(const String& value) {
  const std::string lower = AsciiLower(value);
  const bool web = lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
  if (!web || value.Contains(" ")) return false;
  Vadu::Url address;
  address.Parse(value);
  return !address.host.IsEmpty();
}

}  // namespace

const std::map<String, OemValueKind>& OemKeyKinds() {
  static const std::map<String, OemValueKind> kinds = ReadKinds();
  return kinds;
}

String OemValueKindName(OemValueKind kind) {
  switch (kind) {
    case OemValueKind::kBoolean:
      return "boolean (true or false)";
    case OemValueKind::kNumber:
      return "whole number";
    case OemValueKind::kAddress:
      return "web address (http:// or https://)";
    case OemValueKind::kText:
      break;
  }
  return "text";
}

bool FitsOemValueKind(const String& value, OemValueKind kind) {
  if (value.IsEmpty()) return true;
  switch (kind) {
    case OemValueKind::kBoolean:
      return AsciiLower(value) == "true" || AsciiLower(value) == "false";
    case OemValueKind::kNumber:
      return IsWholeNumber(value);
    case OemValueKind::kAddress:
      return IsWebAddress(value);
    case OemValueKind::kText:
      break;
  }
  return true;
}

}  // namespace Zentu
