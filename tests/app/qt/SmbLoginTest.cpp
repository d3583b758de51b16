#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "platform/qt/SmbLogin.h"

namespace tolvane {
namespace {

// Runs what on the dialog or box that the next call shows, once it is on screen.
void OnNextModal(std::function<void(QWidget*)> what) {
  QTimer::singleShot(0, qApp, [what = std::move(what)] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    what(modal);
  });
}

// A keyring that cannot be reached must not go unsaid when the user asked to keep the password;
// asked again after a failed logon, the dialog keeps what the user typed but the password.
TEST(SmbLoginTest, TheDialogKeepsTheUserNameAndSaysWhenTheKeyringCannotKeepThePassword) {
  // No session bus, so no keyring.
  const QByteArray savedBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-test-bus");
  QtSmbLogin login;

  OnNextModal([](QWidget* dialog) {
    const auto fields = dialog->findChildren<QLineEdit*>();
    ASSERT_EQ(fields.size(), 3);  // user, domain, password
    fields[0]->setText(QStringLiteral("alice"));
    fields[1]->setText(QStringLiteral("CORP"));
    fields[2]->setText(QStringLiteral("secret"));
    dialog->findChild<QCheckBox*>()->setChecked(true);
    static_cast<QDialog*>(dialog)->accept();
  });
  const auto given = login.Ask("nas01", "");
  ASSERT_TRUE(given);
  EXPECT_EQ(given->user, "alice");
  EXPECT_TRUE(given->keep);

  QString told;
  OnNextModal([&told](QWidget* box) {
    auto* message = qobject_cast<QMessageBox*>(box);
    ASSERT_NE(message, nullptr);
    told = message->text();
    message->accept();
  });
  login.LoggedOn("nas01", *given);
  EXPECT_TRUE(told.contains(QStringLiteral("nas01 のパスワードをキーリングに保存できませんでした")))
      << told.toStdString();

  QStringList offered;
  OnNextModal([&offered](QWidget* dialog) {
    for (auto* field : dialog->findChildren<QLineEdit*>()) offered << field->text();
    static_cast<QDialog*>(dialog)->reject();
  });
  EXPECT_FALSE(login.Ask("nas01", "nas01 にログオンできません: ユーザー名かパスワードが違います"));
  EXPECT_EQ(offered, (QStringList{"alice", "CORP", ""}));

  if (savedBus.isNull()) {
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  } else {
    qputenv("DBUS_SESSION_BUS_ADDRESS", savedBus);
  }
}

}  // namespace
}  // namespace tolvane
