// Keys of the SMS notification preset (group element "Sms").
#include "oem/oem_key_catalogue.h"

namespace Zentu::Sms {

void SetApiIDParam(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "The \"API ID\" macro will be substituted by real data in requests (this ID may be provided "
      "by the operator after registration)",
      value, "ApiIDParam", "Sms");
}

void SetEnabled(OemDocument& document, bool value) {
  document.Set("Enable the SMS sending module", YesNoValue(value), "Enabled", "Sms");
}

void SetLoginParam(OemDocument& document, const Vadu::String& value) {
  document.Set("The \"LOGIN\" macro will be substituted by real data in requests", value,
               "LoginParam", "Sms");
}

void SetModemEnabled(OemDocument& document, bool value) {
  document.Set("Enable USB modem in the SMS sending module's settings", YesNoValue(value),
               "ModemEnabled", "Sms");
}

void SetOperatorName(OemDocument& document, const Vadu::String& value) {
  document.Set("Name in the SMS sending module", value, "OperatorName", "Sms");
}

void SetOperatorURL(OemDocument& document, const Vadu::String& value) {
  document.Set("New operator's URL", value, "OperatorURL", "Sms");
}

void SetOtherOperatorsEnabled(OemDocument& document, bool value) {
  document.Set("If set to true, regular SMS sending options of Zentu will be shown",
               YesNoValue(value), "OtherOperatorsEnabled", "Sms");
}

void SetOtherURLParams(OemDocument& document, const Vadu::String& value) {
  document.Set("New operator's additional parameters (in SMS sending URL-request)", value,
               "OtherURLParams", "Sms");
}

void SetPasswordParam(OemDocument& document, const Vadu::String& value) {
  document.Set("The \"PASSWORD\" macro will be substituted by real data in requests", value,
               "PasswordParam", "Sms");
}

void SetRecepientParam(OemDocument& document, const Vadu::String& value) {
  document.Set("The \"TO\" macro will be substituted by real recipient data in requests", value,
               "RecepientParam", "Sms");
}

void SetSenderParam(OemDocument& document, const Vadu::String& value) {
  document.Set("The \"FROM\" macro will be substituted by real sender data in requests", value,
               "SenderParam", "Sms");
}

void SetSuccessCode(OemDocument& document, const Vadu::String& value) {
  document.Set("Successful SMS sending code (sent by operator in an http-response)", value,
               "SuccessCode", "Sms");
}

void SetTextParam(OemDocument& document, const Vadu::String& value) {
  document.Set("The \"MESSAGE\" macro will be substituted by real message in requests", value,
               "TextParam", "Sms");
}

void SetUsePostMethod(OemDocument& document, bool value) {
  document.Set("Send SMS request with the POST method", YesNoValue(value), "UsePostMethod", "Sms");
}

void SetXmlData(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "XML data to send to the operator (if the operator accepts requests in XML). (The exported "
      "data containing macros that are specified above and are to be substituted by real data)",
      value, "XmlData", "Sms");
}

void SetXmlParam(OemDocument& document, const Vadu::String& value) {
  document.Set("", value, "XmlParam", "Sms");
}
}  // namespace Zentu::Sms
