// Top-level keys of the catalogue.
#include "oem/oem_key_catalogue.h"

namespace Zentu {

void SetANPRSettingsUrl(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of the ANPR module settings page", WebAddressValue(value), "ANPRSettingsUrl");
}

void SetAdditionalCommandLine(OemDocument& document, const Vadu::WString& value) {
  document.Set(
      "Commands for console. Here you can list console commands to launch the program with every "
      "time it starts and restarts (choose supported commands from the list in "
      "http://www.example.com/help/console-commands). Note: replace quotation marks with '&quot;'",
      WideTextValue(value), "AdditionalCommandLine");
}

void SetAllowToCreateNewFoldersForExport(OemDocument& document, bool value) {
  document.Set("Allow to create new folders for export from the archive", YesNoValue(value),
               "AllowToCreateNewFoldersForExport");
}

void SetAlwaysFullscreen(OemDocument& document, bool value) {
  document.Set("If set to true, client will always work in fullscreen mode (for Windows and Linux)",
               YesNoValue(value), "AlwaysFullscreen");
}

void SetApplicationServiceName(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "Application service name. Only A-Z letters available, no spaces, length 35 characters max",
      value, "ApplicationServiceName");
}

void SetApplicationUniqueKey(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "Application unique key. If used, a client part customized with this unique key will only "
      "connect to a Cloud server that has the same unique key in its configuration file.",
      value, "ApplicationUniqueKey");
}

void SetArchiveDataBaseDirPath(OemDocument& document, const Vadu::WString& value) {
  document.Set("Full path to the folder to store archive database", WideTextValue(value),
               "ArchiveDataBaseDirPath");
}

void SetArchivePlaybackStartPosition(OemDocument& document, int32_t value) {
  document.Set(
      "Default setting for archive playback start position:\r\n  0 - Last position\r\n  1 - "
      "Beginning\r\n  2 - 5 minutes from end\r\n  3 - Calendar\r\n  4 - Stored Global\r\n  5 - "
      "Position of prev archive\r\n",
      NumberValue(value), "ArchivePlaybackStartPosition");
}

void SetAutoSelectionLoginAndPasswordEnabled(OemDocument& document, bool value) {
  document.Set(
      "If set to  true, check box of auto selection of login and password in search camera by ip "
      "dialog will be enable",
      YesNoValue(value), "AutoSelectionLoginAndPasswordEnabled");
}

void SetAuxPtzParamsForControl(OemDocument& document, const Vadu::String& value) {
  document.Set("Aux PTZ params for using with control", value, "AuxPtzParamsForControl");
}

void SetBackupURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of page with backup settings", WebAddressValue(value), "BackupURL");
}

void SetBdtmmSettingApiServerAddress(OemDocument& document, const Vadu::WString& value) {
  document.Set("Default setting for BDTMM storage: API server address.", WideTextValue(value),
               "BdtmmSettingApiServerAddress");
}

void SetBdtmmSettingApiServerPort(OemDocument& document, const Vadu::WString& value) {
  document.Set("Default setting for BDTMM storage: API server port.", WideTextValue(value),
               "BdtmmSettingApiServerPort");
}

void SetBdtmmSettingDriveName(OemDocument& document, const Vadu::WString& value) {
  document.Set("Default setting for BDTMM storage: drive name.", WideTextValue(value),
               "BdtmmSettingDriveName");
}

void SetBdtmmSettingStoreFolderPath(OemDocument& document, const Vadu::WString& value) {
  document.Set("Default setting for BDTMM storage: store folder path.", WideTextValue(value),
               "BdtmmSettingStoreFolderPath");
}

void SetBdtmmSettingTempFolderPath(OemDocument& document, const Vadu::WString& value) {
  document.Set("Default setting for BDTMM storage: temp folder path.", WideTextValue(value),
               "BdtmmSettingTempFolderPath");
}

void SetBdtmmSettingUserName(OemDocument& document, const Vadu::WString& value) {
  document.Set("Default setting for BDTMM storage: user name.", WideTextValue(value),
               "BdtmmSettingUserName");
}

void SetBdtmmSettingUserPassword(OemDocument& document, const Vadu::WString& value) {
  document.Set("Default setting for BDTMM storage: user password.", WideTextValue(value),
               "BdtmmSettingUserPassword");
}

void SetBdtmmUseByDefault(OemDocument& document, bool value) {
  document.Set("Ability use BDTMM storage by default. true/false", YesNoValue(value),
               "BdtmmUseByDefault");
}

void SetBottomPanelMovementEnable(OemDocument& document, bool value) {
  document.Set("If set to true, bottom panel will be movable", YesNoValue(value),
               "BottomPanelMovementEnable");
}

void SetBufferingOnClient(OemDocument& document, bool value) {
  document.Set("If set to true, buffering on client will be enabled", YesNoValue(value),
               "BufferingOnClient");
}

void SetBuyFarwireURL(OemDocument& document, const Vadu::Url& value) {
  document.Set(
      "To disable commands with URLs (!) you can put '.' between tags, for example: "
      "<TagName>.</TagName> - the option won't be showed in main Menu then.\nURL of a page where "
      "Farwire subscriptions can be bought",
      WebAddressValue(value), "BuyFarwireURL");
}

void SetCameraErrorText(OemDocument& document, const Vadu::WString& value) {
  document.Set("Message that will be shown if camera does not work", WideTextValue(value),
               "CameraErrorText");
}

void SetCamerasFeedbackURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of a cameras feedback page", WebAddressValue(value), "CamerasFeedbackURL");
}

void SetChainsSamples(OemDocument& document, const Vadu::WString& value) {
  document.Set("Chains samples.", WideTextValue(value), "ChainsSamples");
}

void SetCloudServiceAddress(OemDocument& document, const Vadu::String& value) {
  document.Set("Address of the Cloud service.", value, "CloudServiceAddress");
}

void SetCompanyAddress(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "Your company address. Will be displayed in \"About\" dialog. Use \\n to break lines", value,
      "CompanyAddress");
}

void SetCompanyName(OemDocument& document, const Vadu::String& value) {
  document.Set("Will be displayed in \"About\" dialog", value, "CompanyName");
}

void SetCompareVersionsUrl(OemDocument& document, const Vadu::Url& value) {
  document.Set("Url of a page with versions comparison", WebAddressValue(value),
               "CompareVersionsUrl");
}

void SetConnectionErrorText(OemDocument& document, const Vadu::String& value) {
  document.Set("Message that will be shown if connection to the server is impossible", value,
               "ConnectionErrorText");
}

void SetConnectionParametersEnabled(OemDocument& document, bool value) {
  document.Set(
      "If set to true, user can change connection parameters - server address, port and password",
      YesNoValue(value), "ConnectionParametersEnabled");
}

void SetCreateNewFolderForExportErrorMessage(OemDocument& document, const Vadu::WString& value) {
  document.Set("Create new folder for export from the archive error message", WideTextValue(value),
               "CreateNewFolderForExportErrorMessage");
}

void SetCursorHideInterval(OemDocument& document, int32_t value) {
  document.Set(
      "If parameter is not equal 0, cursor will be hidden on client area after specified interval "
      "(in seconds) of inactivity",
      NumberValue(value), "CursorHideInterval");
}

void SetCustomLicenseAgreement(OemDocument& document, bool value) {
  document.Set("Enable custom license agreement dialog", YesNoValue(value),
               "CustomLicenseAgreement");
}

void SetDefaultExportFormatId(OemDocument& document, int32_t value) {
  document.Set(
      "Default format for export from the archive:\r\n0 - not set\r\n1 - JPEG\r\n2 - MJPEG\r\n3 - "
      "AVI\r\n4 - AVI without reencoding\r\n5 - MP4 without reencoding\r\n6 - VP8\r\n7 - VP9\r\n8 "
      "- WMV\r\n9 - MKV without reencoding\r\n",
      NumberValue(value), "DefaultExportFormatId");
}

void SetDefaultExportPath(OemDocument& document, const Vadu::WString& value) {
  document.Set("Default path for export from the archive", WideTextValue(value),
               "DefaultExportPath");
}

void SetDefaultLogins(OemDocument& document, const Vadu::WString& value) {
  document.Set(
      "Default logins that will be displayed in the edit box in search camera by ip  dialog",
      WideTextValue(value), "DefaultLogins");
}

void SetDefaultPasswords(OemDocument& document, const Vadu::WString& value) {
  document.Set(
      "Default passwords that will be displayed in the edit box in search camera by ip  dialog",
      WideTextValue(value), "DefaultPasswords");
}

void SetDefaultPorts(OemDocument& document, const Vadu::WString& value) {
  document.Set(
      "Default ports name that will be displayed in the edit box in search camera by ip  dialog",
      WideTextValue(value), "DefaultPorts");
}

void SetDefaultSourceName(OemDocument& document, const Vadu::WString& value) {
  document.Set(
      "Default source name that will be displayed on the background when viewing the camera list",
      WideTextValue(value), "DefaultSourceName");
}

void SetDefaultUrls(OemDocument& document, const Vadu::WString& value) {
  document.Set(
      "Default urls name that will be displayed in the edit box in search camera by ip  dialog",
      WideTextValue(value), "DefaultUrls");
}

void SetDisableBottomPanelButtons(OemDocument& document, const OemNameList& value) {
  document.Set(
      "You can disable certain buttons on bottom panel for the client side - they will not be "
      "available.\n     For example: MainMenu, Add, Archive, PTZ, Snapshot, Graph, Clear",
      NameListValue(value), "DisableBottomPanelButtons");
}

void SetDisableExportWithReencoding(OemDocument& document, bool value) {
  document.Set("If set to true, export with reencoding will be disabled", YesNoValue(value),
               "DisableExportWithReencoding");
}

void SetDisableModules(OemDocument& document, const OemNameList& value) {
  document.Set(
      "You can disable certain modules for the client side - they will not be available in list "
      "for addition.\n     These modules are: any module, for example FTPReceiver, ImageMerger\n   "
      "  List modules' names by using comma or any other separator",
      NameListValue(value), "DisableModules");
}

void SetDisableOnlineControlsInHelp(OemDocument& document, bool value) {
  document.Set("If set to true, online controls in help window will be disabled", YesNoValue(value),
               "DisableOnlineControlsInHelp");
}

void SetEnableLabelWarningPreviewStreamDoesNotWork(OemDocument& document, bool value) {
  document.Set(
      "If set to true, \"Warning: the stream for preview does not work! Continuous recording from "
      "the archive stream is currently engaged.\" will be display in preview",
      YesNoValue(value), "EnableLabelWarningPreviewStreamDoesNotWork");
}

void SetExitEnabled(OemDocument& document, bool value) {
  document.Set(
      "If set to true, the Exit option will be displayed in Main Menu (useful for integration into "
      "DVRs where you don't need anything but Zentu, so there's no use in exiting it)",
      YesNoValue(value), "ExitEnabled");
}

void SetFeedbackURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of a Feedback page", WebAddressValue(value), "FeedbackURL");
}

void SetGraphEnabled(OemDocument& document, bool value) {
  document.Set("If set to true, grpah will be available", YesNoValue(value), "GraphEnabled");
}

void SetHelpURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of a Help page", WebAddressValue(value), "HelpURL");
}

void SetHideWarningLowFPS(OemDocument& document, bool value) {
  document.Set("Hide low fps warnings by default", YesNoValue(value), "HideWarningLowFPS");
}

void SetHttpsSslHelper(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL to the article how to configure HTTPS/SSL access.", WebAddressValue(value),
               "HttpsSslHelper");
}

void SetInformationAboutCloudURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL for \"Information About Cloud\" in Cloud service dialog",
               WebAddressValue(value), "InformationAboutCloudURL");
}

void SetIpCamsEnabled(OemDocument& document, bool value) {
  document.Set("If set to true, IP cameras can be used, otherwise - only USB cameras",
               YesNoValue(value), "IpCamsEnabled");
}

void SetLanguageChangeEnabled(OemDocument& document, bool value) {
  document.Set(
      "If set to true, \"Change language\" option will be displayed in Main Menu. Zentu will "
      "launch in the language of the OS it is launched on",
      YesNoValue(value), "LanguageChangeEnabled");
}

void SetLeftPanelEnabled(OemDocument& document, bool value) {
  document.Set(
      "If set to true, left panel with modules settings will be available (in single camera view "
      "mode)",
      YesNoValue(value), "LeftPanelEnabled");
}

void SetLicenseEnabled(OemDocument& document, bool value) {
  document.Set("Show EULA text in \"About\" dialog", YesNoValue(value), "LicenseEnabled");
}

void SetLicensePlatesLog(OemDocument& document, bool value) {
  document.Set("Enable license plates log.", YesNoValue(value), "LicensePlatesLog");
}

void SetMainMenuDevicesByGroupsItemEnabled(OemDocument& document, bool value) {
  document.Set("If set to true, \"Devices by groups\" option will be displayed in Main Menu",
               YesNoValue(value), "MainMenuDevicesByGroupsItemEnabled");
}

void SetMainMenuInformationItemEnabled(OemDocument& document, bool value) {
  document.Set("If set to true, \"Information\" option will be displayed in Main Menu",
               YesNoValue(value), "MainMenuInformationItemEnabled");
}

void SetMainMenuIstallItemEnabled(OemDocument& document, bool value) {
  document.Set("If set to true, \"Install\" option will be displayed in Main Menu",
               YesNoValue(value), "MainMenuIstallItemEnabled");
}

void SetMainMenuRemoteAccessItemEnabled(OemDocument& document, bool value) {
  document.Set("If set to true, \"Remote access\" option will be displayed in Main Menu",
               YesNoValue(value), "MainMenuRemoteAccessItemEnabled");
}

void SetMainMenuTurnAllCamerasOffItemEnabled(OemDocument& document, bool value) {
  document.Set("If set to true, \"Turn all cameras off\" option will be displayed in Main Menu",
               YesNoValue(value), "MainMenuTurnAllCamerasOffItemEnabled");
}

void SetMaxArchiveSizeMB(OemDocument& document, int64_t value) {
  document.Set("Maximum size of all archives, in MB (megabytes). 0 - unlimited size",
               Number64Value(value), "MaxArchiveSizeMB");
}

void SetMicrophoneSoundDelayEnabled(OemDocument& document, bool value) {
  document.Set("Enable sound delay in Microphone module's settings", YesNoValue(value),
               "MicrophoneSoundDelayEnabled");
}

void SetModulesComparisonUrl(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL for comparison of software product editions", WebAddressValue(value),
               "ModulesComparisonUrl");
}

void SetMultiServerConnection(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "Specify here the addresses of the servers that this customized version is supposed to "
      "always connect to (can't be changed in the client). Format: password@IP:Port. Delimiter: "
      "\";\". Example: secret1@192.0.2.10:8080;secret2@198.51.100.20:8081",
      value, "MultiServerConnection");
}

void SetNewVersionChangesURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of a page where latest version's changes are showed", WebAddressValue(value),
               "NewVersionChangesURL");
}

void SetNewVersionInfoDownloadURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("Updates: URL to download a XML file from with update version info",
               WebAddressValue(value), "NewVersionInfoDownloadURL");
}

void SetNewVersionNotificationURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL for \"New version notifications\" in Main Menu", WebAddressValue(value),
               "NewVersionNotificationURL");
}

void SetOnlyOnvifSearchEnabled(OemDocument& document, bool value) {
  document.Set(
      "If set to  true, check box of only onvif search in search camera by ip dialog will be "
      "enable",
      YesNoValue(value), "OnlyOnvifSearchEnabled");
}

void SetOpenAlprDownloadURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of a page with OpenALPR", WebAddressValue(value), "OpenAlprDownloadURL");
}

void SetOutsourceUrl(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of a page with outsource", WebAddressValue(value), "OutsourceUrl");
}

void SetProductName(OemDocument& document, const Vadu::String& value) {
  document.Set("", value, "ProductName");
}

void SetRandomCamerasEnabled(OemDocument& document, bool value) {
  document.Set("Ability to add random world camera", YesNoValue(value), "RandomCamerasEnabled");
}

void SetRateAppUrl(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL to rate the app", WebAddressValue(value), "RateAppUrl");
}

void SetRegisterProtocolEnabled(OemDocument& document, bool value) {
  document.Set("If set to true, Zentu will try to register its protocol in system when installing",
               YesNoValue(value), "RegisterProtocolEnabled");
}

void SetRunOnlyClient(OemDocument& document, bool value) {
  document.Set(
      "If set to true, server part will be blocked. Use it to create a client-only version",
      YesNoValue(value), "RunOnlyClient");
}

void SetSearchByHttpMarking(OemDocument& document, bool value) {
  document.Set("Enable search in archive by HTTP marking instead of search by date (calendar).",
               YesNoValue(value), "SearchByHttpMarking");
}

void SetSearchByLicensePlates(OemDocument& document, bool value) {
  document.Set("Enable search in archive by license plates.", YesNoValue(value),
               "SearchByLicensePlates");
}

void SetSearchByMotion(OemDocument& document, bool value) {
  document.Set("Enable search in archive by motion.", YesNoValue(value), "SearchByMotion");
}

void SetServerAddress(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "Specify here the server's address that this customized version is supposed to always "
      "connect to (can't be changed in the client). Port can be specified after the : (for "
      "example, 192.168.0.1:8091)",
      value, "ServerAddress");
}

void SetServerPassword(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "Specify here the server's password that this customized version is supposed to always "
      "connect to (can't be changed in the client). ",
      value, "ServerPassword");
}

void SetServersFileContent(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "You can add content of the servers file. Note should have the following format: "
      "IP1|Pass1|Name1 \\n IP2|Pass2|Name2",
      value, "ServersFileContent");
}

void SetServersFileName(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "Enter here the name of a file with the list of servers to connect to.\r\nNote: content of "
      "the file should have the syntax like :\r\n<Servers>\r\n    <Connection address = "
      "\"192.0.2.10:8080\" password = \"secret1\">Connection Name 1</Connection>\r\n    "
      "<Connection address = \"198.51.100.20:8081\" password = \"secret2\">Connection Name "
      "2</Connection>\r\n</Servers>",
      value, "ServersFileName");
}

void SetSettingsBackupDirPath(OemDocument& document, const Vadu::WString& value) {
  document.Set("Full path to the folder to store settings backup copies to", WideTextValue(value),
               "SettingsBackupDirPath");
}

void SetSettingsBackupEnabled(OemDocument& document, bool value) {
  document.Set("If set to true, the program will periodically create backup copies of its settings",
               YesNoValue(value), "SettingsBackupEnabled");
}

void SetSettingsDirPath(OemDocument& document, const Vadu::WString& value) {
  document.Set("Full path to the folder to store settings", WideTextValue(value),
               "SettingsDirPath");
}

void SetShowSplashScreen(OemDocument& document, bool value) {
  document.Set(
      "If true show Splash Screen with your company logo. Logo file must be in skin folder",
      YesNoValue(value), "ShowSplashScreen");
}

void SetSpecialOfferURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of a page with special offers", WebAddressValue(value), "SpecialOfferURL");
}

void SetStretchFactor(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "Use values from 50 to 400 to scale Zentu interface (50 for 50% from real size, 200 for 200% "
      "from real size, etc.) with a 10-percent step size.",
      value, "StretchFactor");
}

void SetSupportPhone(OemDocument& document, const Vadu::String& value) {
  document.Set("Support phone number. Will be displayed in \"About\" dialog", value,
               "SupportPhone");
}

void SetSupportedCameraVendorsURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of a page with supported camera vendors", WebAddressValue(value),
               "SupportedCameraVendorsURL");
}

void SetTempDir(OemDocument& document, const Vadu::WString& value) {
  document.Set("Override path to the temporary folder", WideTextValue(value), "TempDir");
}

void SetUserPermissionDialogUseCsvLogAlwaysOn(OemDocument& document, bool value) {
  document.Set(
      "If set to true, checkbox \"Use the csv-file to record users' actions\" in \"User "
      "Permission\" dialog always on",
      YesNoValue(value), "UserPermissionDialogUseCsvLogAlwaysOn");
}

void SetVersionUniqueID(OemDocument& document, const Vadu::String& value) {
  document.Set("Version unique identificator.", value, "VersionUniqueID");
}

void SetVideoTutorialURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of a page with video tutorials", WebAddressValue(value), "VideoTutorialURL");
}

void SetWebsiteURL(OemDocument& document, const Vadu::Url& value) {
  document.Set("URL of the program website", WebAddressValue(value), "WebsiteURL");
}

void SetMainMenuAboutItemEnable(OemDocument& document, bool value) {
  document.Set("", YesNoValue(value), "MainMenuAboutItemEnable", "", "", true);
}

Vadu::String CompanyName(const OemDocument& document) { return document.Value("CompanyName", ""); }

Vadu::String ProductName(const OemDocument& document) { return document.Value("ProductName", ""); }

Vadu::String VersionUniqueID(const OemDocument& document) {
  return document.Value("VersionUniqueID", "");
}

}  // namespace Zentu
