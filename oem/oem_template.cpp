#include "oem/oem_template.h"

#include "oem/oem_key_catalogue.h"
#include "support/file_system.h"

namespace Zentu {

void FillOemTemplate(OemDocument& document) {
  SetANPRSettingsUrl(document, Vadu::Url());
  SetAdditionalCommandLine(document, Vadu::WString());
  SetAllowToCreateNewFoldersForExport(document, true);
  SetAlwaysFullscreen(document, false);
  Sms::SetApiIDParam(document, "%APIID%");
  SetApplicationServiceName(document, "CoreServiceNameHere");
  SetApplicationUniqueKey(document, "");
  SetArchiveDataBaseDirPath(document, Vadu::WString());
  SetArchivePlaybackStartPosition(document, 0);
  SetAutoSelectionLoginAndPasswordEnabled(document, false);
  SetAuxPtzParamsForControl(document, "");
  SetBackupURL(document, WebAddress("http://www.example.com/backup"));
  SetBdtmmSettingApiServerAddress(document, Vadu::WString());
  SetBdtmmSettingApiServerPort(document, Vadu::WString());
  SetBdtmmSettingDriveName(document, Vadu::WString());
  SetBdtmmSettingStoreFolderPath(document, Vadu::WString());
  SetBdtmmSettingTempFolderPath(document, Vadu::WString());
  SetBdtmmSettingUserName(document, Vadu::WString());
  SetBdtmmSettingUserPassword(document, Vadu::WString());
  SetBdtmmUseByDefault(document, false);
  SetBottomPanelMovementEnable(document, true);
  SetBufferingOnClient(document, false);
  SetBuyFarwireURL(document, WebAddress("http://www.example.com/shop/farwire"));
  SetCameraErrorText(document, Vadu::WString());
  SetCamerasFeedbackURL(document, WebAddress("http://www.example.com/feedback/cameras"));
  SetChainsSamples(document, Vadu::WString());
  SetCloudServiceAddress(document, "");
  SetCompanyAddress(document, " Address line 1 \\n Address line 2 \\n Address line 3 ");
  SetCompanyName(document, "Your company name");
  SetCompareVersionsUrl(document, WebAddress("http://www.example.com/versions/compare"));
  SetConnectionErrorText(document, "");
  SetConnectionParametersEnabled(document, true);
  SetCreateNewFolderForExportErrorMessage(document, Vadu::WString());
  SetCursorHideInterval(document, 0);
  SetCustomLicenseAgreement(document, true);
  SetDefaultExportFormatId(document, 0);
  SetDefaultExportPath(document, Vadu::WString());
  SetDefaultLogins(document, Vadu::WString());
  SetDefaultPasswords(document, Vadu::WString());
  SetDefaultPorts(document, Vadu::WString());
  SetDefaultSourceName(document, Vadu::WString());
  SetDefaultUrls(document, Vadu::WString());
  SetDisableBottomPanelButtons(document, OemNameList());
  SetDisableExportWithReencoding(document, true);
  SetDisableModules(document, OemNameList());
  SetDisableOnlineControlsInHelp(document, false);
  SetEnableLabelWarningPreviewStreamDoesNotWork(document, true);
  Sms::SetEnabled(document, true);
  Email::SetEncryptionType(document, "");
  SetExitEnabled(document, true);
  SetFeedbackURL(document, WebAddress("http://www.example.com/feedback"));
  SetGraphEnabled(document, true);
  SetHelpURL(document, WebAddress("http://www.example.com/help"));
  SetHideWarningLowFPS(document, true);
  SetHttpsSslHelper(document, WebAddress("http://www.example.com/help/https-ssl-access"));
  SetInformationAboutCloudURL(document, WebAddress("http://www.example.com/cloud/about"));
  SetIpCamsEnabled(document, true);
  Email::SetIsCanRemoveCurrentRecipient(document, true);
  SetLanguageChangeEnabled(document, true);
  SetLeftPanelEnabled(document, true);
  SetLicenseEnabled(document, true);
  SetLicensePlatesLog(document, true);
  Email::SetLoginParam(document, "");
  Sms::SetLoginParam(document, "%LOGIN%");
  Email::SetMailServer(document, "");
  SetMainMenuDevicesByGroupsItemEnabled(document, true);
  SetMainMenuInformationItemEnabled(document, true);
  SetMainMenuIstallItemEnabled(document, true);
  SetMainMenuRemoteAccessItemEnabled(document, true);
  SetMainMenuTurnAllCamerasOffItemEnabled(document, true);
  SetMaxArchiveSizeMB(document, int64_t{0});
  SetMicrophoneSoundDelayEnabled(document, false);
  Sms::SetModemEnabled(document, true);
  SetModulesComparisonUrl(document, WebAddress("http://www.example.com/editions"));
  SetMultiServerConnection(document, "");
  SetNewVersionChangesURL(document, WebAddress("http://www.example.com/updates/changes"));
  SetNewVersionInfoDownloadURL(document, WebAddress("http://www.example.com/updates/version.xml"));
  SetNewVersionNotificationURL(document, WebAddress("http://www.example.com/updates/notification"));
  SetOnlyOnvifSearchEnabled(document, false);
  SetOpenAlprDownloadURL(document, WebAddress("http://www.example.com/downloads/openalpr"));
  Sms::SetOperatorName(document, "Your SMS operator name");
  Sms::SetOperatorURL(document, "http://sms.example.com/send");
  Sms::SetOtherOperatorsEnabled(document, true);
  Sms::SetOtherURLParams(document, "&param1=value1&param2=value2");
  SetOutsourceUrl(document, WebAddress("http://www.example.com/outsource"));
  Email::SetPasswordParam(document, "");
  Sms::SetPasswordParam(document, "%PASSWORD%");
  SetProductName(document, "Your Program Name");
  SetRandomCamerasEnabled(document, true);
  SetRateAppUrl(document, WebAddress("http://www.example.com/rate"));
  Sms::SetRecepientParam(document, "%TO%");
  Email::SetRecipientAddresses(document, "");
  SetRegisterProtocolEnabled(document, false);
  SetRunOnlyClient(document, false);
  SetSearchByHttpMarking(document, false);
  SetSearchByLicensePlates(document, true);
  SetSearchByMotion(document, true);
  Sms::SetSenderParam(document, "%FROM%");
  SetServerAddress(document, "");
  SetServerPassword(document, "");
  SetServersFileContent(
      document,
      "192.0.2.10:8080|secret1|Connection Name 1 \\n 198.51.100.20:8081|secret2|Connection Name 2");
  SetServersFileName(document, "servers.xml");
  SetSettingsBackupDirPath(document, Vadu::WString());
  SetSettingsBackupEnabled(document, true);
  SetSettingsDirPath(document, Vadu::WString());
  SetShowSplashScreen(document, false);
  Email::SetSmtpServerAddress(document, "");
  Email::SetSmtpServerPort(document, "");
  SetSpecialOfferURL(document, WebAddress("http://www.example.com/special-offers"));
  SetStretchFactor(document, "100");
  Email::SetSubjectOfLetter(document, Vadu::WString());
  Sms::SetSuccessCode(document, "Your response code after SMS send is successful");
  SetSupportPhone(document, "Your support phone number");
  SetSupportedCameraVendorsURL(document, WebAddress("http://www.example.com/cameras/vendors"));
  SetTempDir(document, Vadu::WString());
  Email::SetTextOfLetter(document, Vadu::WString());
  Sms::SetTextParam(document, "%MESSAGE%");
  Sms::SetUsePostMethod(document, true);
  SetUserPermissionDialogUseCsvLogAlwaysOn(document, false);
  SetVersionUniqueID(document, "Customized_Version_Unique_ID");
  SetVideoTutorialURL(document, WebAddress("http://www.example.com/video-tutorials"));
  SetWebsiteURL(document, WebAddress("http://www.example.com/"));
  Sms::SetXmlData(document,
                  "<yourAPI><sendMsg><user>{ %LOGIN% }</user><password>{ %PASSWORD% "
                  "}</password><api_id>{ %APIID% }</api_id><from>{ %FROM% }</from><to>{ %TO% "
                  "}</to><text>{ %MESSAGE% }</text></sendMsg></yourAPI>");
  Sms::SetXmlParam(document, "data");
  SetMainMenuAboutItemEnable(document, true);
}

Vadu::String OemTemplateText() {
  OemDocument document;
  FillOemTemplate(document);
  // A round trip through UTF-16, which keeps every byte: the file ends at its first zero byte.
  return Vadu::ToUtf8(Vadu::FromUtf8(document.ToXml()));
}

bool WriteOemTemplate(const Vadu::WString& directory) {
  Vadu::WString path = Vadu::JoinPath(directory, Vadu::FromUtf8(kOemInformationFileName));
  return Vadu::CreateDirectories(directory) && Vadu::ReplaceFileContent(OemTemplateText(), path);
}

}  // namespace Zentu
