// A main window on a context of its own, in a fresh current folder, for the tests of its commands.
#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QString>
#include <memory>
#include <string>

#include "app/main_dlg.h"
#include "support/temp_dir.h"
#include "support/ui/test_app_context.h"

inline QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.c_str());
}

class MainWindowTest : public testing::Test {
 protected:
  MainWindowTest() : cd_(temp_.path()) {}

  // Opens the window as the program does, with `commandLine` as the command line.
  CMainDlg& Open(const std::string& commandLine = std::string()) {
    app_.context.commandLine = commandLine;
    dialog_ = std::make_unique<CMainDlg>(app_.context);
    EXPECT_TRUE(dialog_->InitDialog());
    return *dialog_;
  }
  QLineEdit* GameNameField() const { return dialog_->ControlAs<QLineEdit>(CMainDlg::kGameName); }

  TempDir temp_;
  ScopedCurrentDir cd_;
  TestAppContext app_;
  std::unique_ptr<CMainDlg> dialog_;
};
