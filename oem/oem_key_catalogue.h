// The catalogue of OEM information keys: one setter per key, which stores the key with its fixed
// comment, group and value kind into an OemDocument. A second call for a key only replaces its
// value. The keys of the SMS and e-mail notification presets sit in the groups Sms and Email.
#pragma once

#include <cstdint>

#include "oem/oem_document.h"
#include "oem/oem_value_text.h"
#include "support/string_base.h"
#include "support/url.h"

namespace Zentu {

// Top-level keys, in the order of the file.
void SetANPRSettingsUrl(OemDocument& document, const Vadu::Url& value);
void SetAdditionalCommandLine(OemDocument& document, const Vadu::WString& value);
void SetAllowToCreateNewFoldersForExport(OemDocument& document, bool value);
void SetAlwaysFullscreen(OemDocument& document, bool value);
void SetApplicationServiceName(OemDocument& document, const Vadu::String& value);
void SetApplicationUniqueKey(OemDocument& document, const Vadu::String& value);
void SetArchiveDataBaseDirPath(OemDocument& document, const Vadu::WString& value);
void SetArchivePlaybackStartPosition(OemDocument& document, int32_t value);
void SetAutoSelectionLoginAndPasswordEnabled(OemDocument& document, bool value);
void SetAuxPtzParamsForControl(OemDocument& document, const Vadu::String& value);
void SetBackupURL(OemDocument& document, const Vadu::Url& value);
void SetBdtmmSettingApiServerAddress(OemDocument& document, const Vadu::WString& value);
void SetBdtmmSettingApiServerPort(OemDocument& document, const Vadu::WString& value);
void SetBdtmmSettingDriveName(OemDocument& document, const Vadu::WString& value);
void SetBdtmmSettingStoreFolderPath(OemDocument& document, const Vadu::WString& value);
void SetBdtmmSettingTempFolderPath(OemDocument& document, const Vadu::WString& value);
void SetBdtmmSettingUserName(OemDocument& document, const Vadu::WString& value);
void SetBdtmmSettingUserPassword(OemDocument& document, const Vadu::WString& value);
void SetBdtmmUseByDefault(OemDocument& document, bool value);
void SetBottomPanelMovementEnable(OemDocument& document, bool value);
void SetBufferingOnClient(OemDocument& document, bool value);
void SetBuyFarwireURL(OemDocument& document, const Vadu::Url& value);
void SetCameraErrorText(OemDocument& document, const Vadu::WString& value);
void SetCamerasFeedbackURL(OemDocument& document, const Vadu::Url& value);
void SetChainsSamples(OemDocument& document, const Vadu::WString& value);
void SetCloudServiceAddress(OemDocument& document, const Vadu::String& value);
void SetCompanyAddress(OemDocument& document, const Vadu::String& value);
void SetCompanyName(OemDocument& document, const Vadu::String& value);
void SetCompareVersionsUrl(OemDocument& document, const Vadu::Url& value);
void SetConnectionErrorText(OemDocument& document, const Vadu::String& value);
void SetConnectionParametersEnabled(OemDocument& document, bool value);
void SetCreateNewFolderForExportErrorMessage(OemDocument& document, const Vadu::WString& value);
void SetCursorHideInterval(OemDocument& document, int32_t value);
void SetCustomLicenseAgreement(OemDocument& document, bool value);
void SetDefaultExportFormatId(OemDocument& document, int32_t value);
void SetDefaultExportPath(OemDocument& document, const Vadu::WString& value);
void SetDefaultLogins(OemDocument& document, const Vadu::WString& value);
void SetDefaultPasswords(OemDocument& document, const Vadu::WString& value);
void SetDefaultPorts(OemDocument& document, const Vadu::WString& value);
void SetDefaultSourceName(OemDocument& document, const Vadu::WString& value);
void SetDefaultUrls(OemDocument& document, const Vadu::WString& value);
void SetDisableBottomPanelButtons(OemDocument& document, const OemNameList& value);
void SetDisableExportWithReencoding(OemDocument& document, bool value);
void SetDisableModules(OemDocument& document, const OemNameList& value);
void SetDisableOnlineControlsInHelp(OemDocument& document, bool value);
void SetEnableLabelWarningPreviewStreamDoesNotWork(OemDocument& document, bool value);
void SetExitEnabled(OemDocument& document, bool value);
void SetFeedbackURL(OemDocument& document, const Vadu::Url& value);
void SetGraphEnabled(OemDocument& document, bool value);
void SetHelpURL(OemDocument& document, const Vadu::Url& value);
void SetHideWarningLowFPS(OemDocument& document, bool value);
void SetHttpsSslHelper(OemDocument& document, const Vadu::Url& value);
void SetInformationAboutCloudURL(OemDocument& document, const Vadu::Url& value);
void SetIpCamsEnabled(OemDocument& document, bool value);
void SetLanguageChangeEnabled(OemDocument& document, bool value);
void SetLeftPanelEnabled(OemDocument& document, bool value);
void SetLicenseEnabled(OemDocument& document, bool value);
void SetLicensePlatesLog(OemDocument& document, bool value);
void SetMainMenuDevicesByGroupsItemEnabled(OemDocument& document, bool value);
void SetMainMenuInformationItemEnabled(OemDocument& document, bool value);
void SetMainMenuIstallItemEnabled(OemDocument& document, bool value);
void SetMainMenuRemoteAccessItemEnabled(OemDocument& document, bool value);
void SetMainMenuTurnAllCamerasOffItemEnabled(OemDocument& document, bool value);
void SetMaxArchiveSizeMB(OemDocument& document, int64_t value);
void SetMicrophoneSoundDelayEnabled(OemDocument& document, bool value);
void SetModulesComparisonUrl(OemDocument& document, const Vadu::Url& value);
void SetMultiServerConnection(OemDocument& document, const Vadu::String& value);
void SetNewVersionChangesURL(OemDocument& document, const Vadu::Url& value);
void SetNewVersionInfoDownloadURL(OemDocument& document, const Vadu::Url& value);
void SetNewVersionNotificationURL(OemDocument& document, const Vadu::Url& value);
void SetOnlyOnvifSearchEnabled(OemDocument& document, bool value);
void SetOpenAlprDownloadURL(OemDocument& document, const Vadu::Url& value);
void SetOutsourceUrl(OemDocument& document, const Vadu::Url& value);
void SetProductName(OemDocument& document, const Vadu::String& value);
void SetRandomCamerasEnabled(OemDocument& document, bool value);
void SetRateAppUrl(OemDocument& document, const Vadu::Url& value);
void SetRegisterProtocolEnabled(OemDocument& document, bool value);
void SetRunOnlyClient(OemDocument& document, bool value);
void SetSearchByHttpMarking(OemDocument& document, bool value);
void SetSearchByLicensePlates(OemDocument& document, bool value);
void SetSearchByMotion(OemDocument& document, bool value);
void SetServerAddress(OemDocument& document, const Vadu::String& value);
void SetServerPassword(OemDocument& document, const Vadu::String& value);
void SetServersFileContent(OemDocument& document, const Vadu::String& value);
void SetServersFileName(OemDocument& document, const Vadu::String& value);
void SetSettingsBackupDirPath(OemDocument& document, const Vadu::WString& value);
void SetSettingsBackupEnabled(OemDocument& document, bool value);
void SetSettingsDirPath(OemDocument& document, const Vadu::WString& value);
void SetShowSplashScreen(OemDocument& document, bool value);
void SetSpecialOfferURL(OemDocument& document, const Vadu::Url& value);
void SetStretchFactor(OemDocument& document, const Vadu::String& value);
void SetSupportPhone(OemDocument& document, const Vadu::String& value);
void SetSupportedCameraVendorsURL(OemDocument& document, const Vadu::Url& value);
void SetTempDir(OemDocument& document, const Vadu::WString& value);
void SetUserPermissionDialogUseCsvLogAlwaysOn(OemDocument& document, bool value);
void SetVersionUniqueID(OemDocument& document, const Vadu::String& value);
void SetVideoTutorialURL(OemDocument& document, const Vadu::Url& value);
void SetWebsiteURL(OemDocument& document, const Vadu::Url& value);

// Kept in every template but never written to the file.
void SetMainMenuAboutItemEnable(OemDocument& document, bool value);

// Values read by the add-resources command, its properties step and the macOS bundle step; empty
// when the key is absent or empty.
Vadu::String CompanyName(const OemDocument& document);
Vadu::String ProductName(const OemDocument& document);
Vadu::String VersionUniqueID(const OemDocument& document);

// The SMS notification preset, inside the group element "Sms".
namespace Sms {
void SetApiIDParam(OemDocument& document, const Vadu::String& value);
void SetEnabled(OemDocument& document, bool value);
void SetLoginParam(OemDocument& document, const Vadu::String& value);
void SetModemEnabled(OemDocument& document, bool value);
void SetOperatorName(OemDocument& document, const Vadu::String& value);
void SetOperatorURL(OemDocument& document, const Vadu::String& value);
void SetOtherOperatorsEnabled(OemDocument& document, bool value);
void SetOtherURLParams(OemDocument& document, const Vadu::String& value);
void SetPasswordParam(OemDocument& document, const Vadu::String& value);
void SetRecepientParam(OemDocument& document, const Vadu::String& value);
void SetSenderParam(OemDocument& document, const Vadu::String& value);
void SetSuccessCode(OemDocument& document, const Vadu::String& value);
void SetTextParam(OemDocument& document, const Vadu::String& value);
void SetUsePostMethod(OemDocument& document, bool value);
void SetXmlData(OemDocument& document, const Vadu::String& value);
void SetXmlParam(OemDocument& document, const Vadu::String& value);
}  // namespace Sms

// The e-mail notification preset, inside the group element "Email".
namespace Email {
void SetEncryptionType(OemDocument& document, const Vadu::String& value);
void SetIsCanRemoveCurrentRecipient(OemDocument& document, bool value);
void SetLoginParam(OemDocument& document, const Vadu::String& value);
void SetMailServer(OemDocument& document, const Vadu::String& value);
void SetPasswordParam(OemDocument& document, const Vadu::String& value);
void SetRecipientAddresses(OemDocument& document, const Vadu::String& value);
void SetSmtpServerAddress(OemDocument& document, const Vadu::String& value);
void SetSmtpServerPort(OemDocument& document, const Vadu::String& value);
void SetSubjectOfLetter(OemDocument& document, const Vadu::WString& value);
void SetTextOfLetter(OemDocument& document, const Vadu::WString& value);
}  // namespace Email

}  // namespace Zentu
