#include "platform/qt/SmbLogin.h"

#include <libsecret/secret.h>

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "common/AppInfo.h"
#include "platform/qt/QtPlatform.h"

namespace tolvane {
namespace {

const SecretSchema* LogonSchema() {
  static const SecretSchema schema = {
      "org.tolvane.SmbLogon",
      SECRET_SCHEMA_NONE,
      {
          {"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
          {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
          {"domain", SECRET_SCHEMA_ATTRIBUTE_STRING},
          {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
      },
      0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  return &schema;
}

std::string Attribute(GHashTable* attributes, const char* name) {
  const auto* value = static_cast<const char*>(g_hash_table_lookup(attributes, name));
  return value ? value : "";
}

}  // namespace

std::optional<SmbCredentials> KeyringLookup(const std::string& server) {
  GError* error = nullptr;
  GHashTable* query = g_hash_table_new(g_str_hash, g_str_equal);
  g_hash_table_insert(query, const_cast<char*>("server"), const_cast<char*>(server.c_str()));
  GList* found = secret_password_searchv_sync(
      LogonSchema(), query,
      static_cast<SecretSearchFlags>(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS), nullptr,
      &error);
  g_hash_table_unref(query);
  if (error) g_error_free(error);
  std::optional<SmbCredentials> credentials;
  if (found) {
    auto* item = static_cast<SecretRetrievable*>(found->data);
    GError* secretError = nullptr;
    if (SecretValue* value = secret_retrievable_retrieve_secret_sync(item, nullptr, &secretError)) {
      GHashTable* attributes = secret_retrievable_get_attributes(item);
      SmbCredentials c;
      c.user = Attribute(attributes, "user");
      c.domain = Attribute(attributes, "domain");
      gsize length = 0;
      const gchar* password = secret_value_get(value, &length);
      c.password.assign(password, length);
      credentials = std::move(c);
      g_hash_table_unref(attributes);
      secret_value_unref(value);
    }
    if (secretError) g_error_free(secretError);
    g_list_free_full(found, g_object_unref);
  }
  return credentials;
}

bool KeyringStore(const std::string& server, const SmbCredentials& credentials, std::string* why) {
  GError* error = nullptr;
  const std::string label = "Tolvane: " + credentials.user + " @ " + server;
  const gboolean stored = secret_password_store_sync(
      LogonSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(), credentials.password.c_str(),
      nullptr, &error, "server", server.c_str(), "user", credentials.user.c_str(), "domain",
      credentials.domain.c_str(), nullptr);
  if (why) *why = error && error->message ? error->message : "";
  if (error) g_error_free(error);
  return stored;
}

std::optional<SmbCredentials> QtSmbLogin::Stored(const std::string& server) {
  auto stored = KeyringLookup(server);
  if (stored) last_[server] = SmbCredentials{stored->user, stored->domain, "", true};
  return stored;
}

std::optional<SmbCredentials> QtSmbLogin::Ask(const std::string& server,
                                              const std::string& reason) {
  QDialog dialog(owner_);
  dialog.setWindowTitle(ToQ("サーバーにログオン"));
  auto* layout = new QVBoxLayout(&dialog);
  std::string text = "サーバー " + server + " にログオンします。";
  if (!reason.empty()) text += "\n" + reason;
  auto* label = new QLabel(ToQ(text), &dialog);
  label->setWordWrap(true);
  layout->addWidget(label);
  auto* form = new QFormLayout;
  // The name given last for this server; else most servers know the user by the name of this
  // machine's login.
  const auto last = last_.find(server);
  auto* user = new QLineEdit(
      last != last_.end() ? ToQ(last->second.user) : qEnvironmentVariable("USER"), &dialog);
  auto* domain = new QLineEdit(last != last_.end() ? ToQ(last->second.domain) : QString(), &dialog);
  auto* password = new QLineEdit(&dialog);
  password->setEchoMode(QLineEdit::Password);
  form->addRow(ToQ("ユーザー名(&U):"), user);
  form->addRow(ToQ("ドメイン(&D):"), domain);
  form->addRow(ToQ("パスワード(&P):"), password);
  if (!user->text().isEmpty()) password->setFocus();
  layout->addLayout(form);
  auto* keep = new QCheckBox(ToQ("パスワードをキーリングに保存する(&K)"), &dialog);
  keep->setChecked(last != last_.end() && last->second.keep);
  layout->addWidget(keep);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  SmbCredentials credentials;
  credentials.user = FromQ(user->text());
  credentials.domain = FromQ(domain->text());
  credentials.password = FromQ(password->text());
  credentials.keep = keep->isChecked();
  last_[server] = SmbCredentials{credentials.user, credentials.domain, "", credentials.keep};
  return credentials;
}

void QtSmbLogin::LoggedOn(const std::string& server, const SmbCredentials& credentials) {
  if (!credentials.keep) return;
  std::string why;
  if (KeyringStore(server, credentials, &why)) return;
  // The user asked for it to be kept: that it was not must not go unsaid.
  std::string text = "サーバー " + server + " のパスワードをキーリングに保存できませんでした。";
  if (!why.empty()) text += "\n" + why;
  QtPrompts boxes;
  boxes.SetOwner(owner_);
  boxes.ShowMessage(kAppTitle, text);
}

}  // namespace tolvane
