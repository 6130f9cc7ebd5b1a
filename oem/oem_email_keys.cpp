// Keys of the e-mail notification preset (group element "Email").
#include "oem/oem_key_catalogue.h"

namespace Zentu::Email {

void SetEncryptionType(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "Encryption Type - set if \"MailServer\" is \"custom\". Can be: [ WithoutEncryption, SSL, "
      "STARTTLS ]",
      value, "EncryptionType", "Email");
}

void SetIsCanRemoveCurrentRecipient(OemDocument& document, bool value) {
  document.Set(
      "If \"false\", then when you click on the \"Delete current user\" button, the user will not "
      "be deleted",
      YesNoValue(value), "IsCanRemoveCurrentRecipient", "Email");
}

void SetLoginParam(OemDocument& document, const Vadu::String& value) {
  document.Set("Login of the mail being sent", value, "LoginParam", "Email");
}

void SetMailServer(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "Select one mail server from: [ custom, gmail, outlook, yahoo, icloud, aol, zoho, gmx ]If "
      "the value \"custom\" is selected, then you need to define : SmtpServerAddress, "
      "SmtpServerPort, EncryptionType",
      value, "MailServer", "Email");
}

void SetPasswordParam(OemDocument& document, const Vadu::String& value) {
  document.Set("Password of the mail being sent", value, "PasswordParam", "Email");
}

void SetRecipientAddresses(OemDocument& document, const Vadu::String& value) {
  document.Set(
      "Recipient Addresses - Listing addresses via \";\". For example \"alice@example.com; "
      "bob@example.org; carol@example.net; dave@example.com\"",
      value, "RecipientAddresses", "Email");
}

void SetSmtpServerAddress(OemDocument& document, const Vadu::String& value) {
  document.Set("Smtp Server Address - set if \"MailServer\" is \"custom\"", value,
               "SmtpServerAddress", "Email");
}

void SetSmtpServerPort(OemDocument& document, const Vadu::String& value) {
  document.Set("Smtp Server Port - set if \"MailServer\" is \"custom\"", value, "SmtpServerPort",
               "Email");
}

void SetSubjectOfLetter(OemDocument& document, const Vadu::WString& value) {
  document.Set("Subject Of Letter", WideTextValue(value), "SubjectOfLetter", "Email");
}

void SetTextOfLetter(OemDocument& document, const Vadu::WString& value) {
  document.Set("Text Of Letter", WideTextValue(value), "TextOfLetter", "Email");
}
}  // namespace Zentu::Email
