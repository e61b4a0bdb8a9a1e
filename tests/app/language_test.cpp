// The interface language: which one the system and the user choose, English in every window and
// message, the original texts byte for byte, and switching while windows are open.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QXmlStreamReader>
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/language_dlg.h"
#include "app/language_setting.h"
#include "app/main_dlg.h"
#include "app/name_input_dlg.h"
#include "app/new_file_dlg.h"
#include "dialogs/about_box.h"
#include "dialogs/find_dlg.h"
#include "dialogs/lookup_dlg.h"
#include "dialogs/stats_dlg.h"
#include "editor/line_edit_dlg.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "support/ui/modal_dialogs.h"
#include "support/ui/test_app_context.h"
#include "toolkit/qt_translations.h"

namespace {

using toolkit::UiLanguage;

// Hangul syllables and jamo, CJK ideographs (with extension A and the compatibility block).
bool HasHangulOrHan(const QString& text) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if ((u >= 0xAC00 && u <= 0xD7AF) || (u >= 0x1100 && u <= 0x11FF) ||
        (u >= 0x3130 && u <= 0x318F) || (u >= 0x3400 && u <= 0x4DBF) ||
        (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF)) {
      return true;
    }
  }
  return false;
}

// Every text a user can see in `window`: its title, and of each widget shown in it the caption,
// tooltip, header labels, entries and field contents; with the items of its context menu.
std::vector<QString> VisibleTexts(toolkit::CDialog& window) {
  std::vector<QString> texts{window.windowTitle()};
  auto add = [&texts](const QString& text) {
    if (!text.isEmpty()) texts.push_back(text);
  };
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(&window)) continue;
    add(widget->toolTip());
    if (auto* label = qobject_cast<QLabel*>(widget)) add(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) add(button->text());
    if (auto* box = qobject_cast<QGroupBox*>(widget)) add(box->title());
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) add(edit->text());
    if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
      for (int column = 0; column < tree->columnCount(); ++column) {
        add(tree->headerItem()->text(column));
      }
    }
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
      for (int row = 0; row < list->count(); ++row) add(list->item(row)->text());
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      for (int row = 0; row < combo->count(); ++row) add(combo->itemText(row));
    }
  }
  std::unique_ptr<QMenu> menu(window.CreateSystemMenu(nullptr));
  for (QAction* action : menu->actions()) add(action->text());
  return texts;
}

std::set<QString> Set(std::initializer_list<const char*> texts) {
  std::set<QString> set;
  for (const char* text : texts) set.insert(QString::fromUtf8(text));
  return set;
}

std::set<QString> AsSet(const std::vector<QString>& texts) {
  return std::set<QString>(texts.begin(), texts.end());
}

// One of each window, on a document whose own texts are ASCII, so that whatever CJK a window
// shows comes from the program.
class Windows : public testing::Test {
 protected:
  Windows() : cd_(temp_.path()) {
    app_.document.SetColumns(1, 1, 1);
    app_.document.SetGameName("Star Inn");
    AddTestPlot(app_.document, "Chapter 1", 100, 200, {{"Anna", "calm", "a1.wav", "Hello."}});
    SaveTestDocument(temp_.File("inn.dlg"), "Star Inn",
                     {{"Chapter 1", 100, 200, {{"Anna", "calm", "a1.wav", "Hello."}}}});
  }
  ~Windows() override { Use(UiLanguage::kOriginal); }

  static void Use(UiLanguage language) {
    ASSERT_TRUE(toolkit::SetUiLanguage(*QCoreApplication::instance(), language,
                                       QLocale(QLocale::Korean, QLocale::SouthKorea)));
  }

  // Each window opened and shown as its opener shows it; `check` sees it, then it closes.
  template <typename Check>
  void ForEachWindow(Check check) {
    app_.context.commandLine = temp_.File("inn.dlg");
    CMainDlg main(app_.context);
    main.InitDialog();
    main.show();
    check("main window", main);
    CNewFileDlg newFile(app_.prompts, &main);
    newFile.gameName = "Star Inn";
    newFile.speaker = newFile.expression = newFile.sound = true;
    ShowAndCheck("new-file dialog", newFile, check);
    CNameInputDlg name(app_.prompts, &main);
    ShowAndCheck("name input", name, check);
    CLineEditDlg editor(app_.context.LineEditing(), &main);
    editor.plotName = "Chapter 1";
    ShowAndCheck("line editor", editor, check);
    CAboutBox about(app_.reader, app_.prompts, &main);
    ShowAndCheck("about box", about, check);
    CLookupDlg lookup(app_.reader, app_.prompts, &about);
    lookup.fileName = temp_.File("inn.dlg");
    ShowAndCheck("lookup", lookup, check);
    CFindDlg find(app_.document, app_.prompts, &main);
    ShowAndCheck("find", find, check);
    CLanguageDlg language(app_.prompts, &main);
    ShowAndCheck("language", language, check);
    CStatsDlg stats(app_.document, "UTF-8", app_.prompts, &main);
    ShowAndCheck("statistics", stats, check);
  }

  template <typename Check>
  static void ShowAndCheck(const char* name, toolkit::CDialog& dialog, Check check) {
    ASSERT_TRUE(dialog.InitDialog()) << name;
    dialog.show();
    check(name, dialog);
    dialog.hide();
  }

  TempDir temp_;
  ScopedCurrentDir cd_;
  TestAppContext app_;
};

TEST_F(Windows, EnglishShowsNoHangulOrHanAnywhere) {
  Use(UiLanguage::kEnglish);
  const QString originalName = CLanguageDlg::LanguageName(UiLanguage::kOriginal);
  int texts = 0;
  ForEachWindow([&](const char* name, toolkit::CDialog& window) {
    for (const QString& text : VisibleTexts(window)) {
      ++texts;
      // The one exception: the original language's name in its own script, so it can be found.
      if (text == originalName) continue;
      EXPECT_FALSE(HasHangulOrHan(text)) << name << ": " << text.toStdString();
    }
  });
  EXPECT_GT(texts, 60);
}

TEST_F(Windows, EnglishMessagesAndFileDialogs) {
  Use(UiLanguage::kEnglish);
  CMainDlg main(app_.context);
  main.InitDialog();
  EXPECT_EQ(main.windowTitle(), QStringLiteral("Dialogue Editor[]"));
  // The window shows the document's name, so that Open has no unsaved change to ask about.
  main.SetGameName(app_.document.GetGameName().c_str());
  // A message, a file dialog's title, a question with its caption, the integer prompt.
  EXPECT_FALSE(main.LoadFile(temp_.File("missing.dlg")));
  app_.prompts.QueueCancel();
  main.OnOpen();
  ASSERT_EQ(main.AddPlotByName("Chapter 2"), 0);
  EXPECT_EQ(main.AddPlotByName("Chapter 2"), -1);
  app_.prompts.QueueNo();
  main.reject();
  const auto& records = app_.prompts.records();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].text, "Cannot read the dialogue file (" + temp_.File("missing.dlg") + ").");
  EXPECT_EQ(records[1].file.title, "Open Dialogue File");
  EXPECT_EQ(records[2].text, "A plot named (Chapter 2) already exists. The plot was not added.");
  EXPECT_EQ(records[3].text, "The content has been changed. Quit anyway?");
  EXPECT_EQ(records[3].caption, "Warning");

  app_.prompts.Clear();
  CLineEditDlg editor(app_.context.LineEditing(), &main);
  editor.plotName = "Chapter 1";
  ASSERT_TRUE(editor.InitDialog());
  editor.ControlAs<QLineEdit>(CLineEditDlg::kRangeLow)->setText(QStringLiteral("x"));
  EXPECT_FALSE(editor.UpdateData(true));
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].text, "Please enter a whole number.");
}

// Every message of the English catalogue is translated, keeps its placeholders, and has no
// Hangul or Han in it (but the original language's own name).
TEST(EnglishCatalogue, EveryTextTranslatedWithItsPlaceholders) {
  QFile file(QStringLiteral(PARLATRIX_SOURCE_DIR "/translations/parlatrix_en.ts"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  QString source;
  int messages = 0;
  const QRegularExpression placeholder(QStringLiteral("%\\d"));
  auto placeholders = [&placeholder](const QString& text) {
    std::multiset<QString> found;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) found.insert(it.next().captured());
    return found;
  };
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() == QLatin1String("source")) source = xml.readElementText();
    if (xml.name() != QLatin1String("translation")) continue;
    ++messages;
    const bool unfinished = xml.attributes().value(QLatin1String("type")).size() > 0;
    const QString translation = xml.readElementText();
    EXPECT_FALSE(unfinished) << source.toStdString();
    EXPECT_FALSE(translation.isEmpty()) << source.toStdString();
    EXPECT_FALSE(HasHangulOrHan(translation)) << translation.toStdString();
    EXPECT_EQ(placeholders(source), placeholders(translation)) << source.toStdString();
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_GT(messages, 80);
}

TEST_F(Windows, OriginalShowsEveryDescribedTextExactly) {
  Use(UiLanguage::kOriginal);
  std::map<std::string, std::set<QString>> shown;
  ForEachWindow([&](const char* name, toolkit::CDialog& window) {
    shown[name] = AsSet(VisibleTexts(window));
  });
  std::set<QString> main = Set({"버전 :",
                                "0104",
                                "情节",
                                "Chapter 1",
                                "추가",
                                "편집",
                                "삭제",
                                "Star Inn",
                                "멀티라인 편집",
                                "새 파일",
                                "파일 불러오기",
                                "새 이름으로...",
                                "파일 저장하기",
                                "내보내기",
                                "가져오기",
                                "?",
                                "종료",
                                "Parlatrix 정보(&A)...",
                                "찾기(&F)...",
                                "통계(&S)...",
                                "언어 · Language(&L)...",
                                "코드 페이지로 열기(&E)...",
                                "실행 취소(&U)",
                                "다시 실행(&R)"});
  main.insert(QString::fromUtf8("대사 편집기[Star Inn] - ") +
              QString::fromStdString(temp_.File("inn.dlg")));
  EXPECT_EQ(shown["main window"], main);
  EXPECT_EQ(shown["new-file dialog"], Set({"새 파일 형식", "게임 이름 :", "Star Inn", "두상",
                                           "표정", "소리 파일", "확인", "취소"}));
  EXPECT_EQ(shown["name input"], Set({"이름 입력", "이름 입력 :", "OK", "Cancel"}));
  std::set<QString> editor = shown["line editor"];
  for (const char* text : {"대화 편집", "Clear", "추가", "수정", "삭제", "확인", "취소", "ID",
                           "화자", "표정", "소리", "대화"}) {
    EXPECT_EQ(editor.count(QString::fromUtf8(text)), 1u) << text;
  }
  EXPECT_EQ(shown["about box"], Set({"关于 对话编辑器", "Parlatrix 1.0 版", "Parlatrix 개발자",
                                     "게임 대사 편집기 · Linux", "V0011  2001年7月4日",
                                     "V0012  2001年10月26日", "Test", "OK"}));
  EXPECT_EQ(shown["lookup"], Set({"Test", "ID:", "0", "조회", "닫기"}));
  EXPECT_EQ(shown["find"], Set({"찾기", "찾을 내용 :", "대화", "화자", "소리", "ID", "장면", "닫기",
                                "바꿀 내용 :", "바꾸기", "모두 바꾸기"}));
  EXPECT_EQ(shown["language"], Set({"언어 · Language", "표시 언어 :", "English",
                                    "한국어 · 中文 (original)", "확인", "취소"}));
}

// Switching while the main window is open retranslates it at once; switching back gives the
// described texts again, and what the window shows of the document is untouched.
TEST_F(Windows, SwitchingRetranslatesOpenWindowsAtOnce) {
  CMainDlg main(app_.context);
  main.InitDialog();
  auto text = [&main](int id) {
    return qobject_cast<QAbstractButton*>(main.Control(id))->text().toStdString();
  };
  ASSERT_TRUE(main.LoadFile(temp_.File("inn.dlg")));
  main.ControlAs<QLineEdit>(CMainDlg::kGameName)->setText(QStringLiteral("Typed"));
  Use(UiLanguage::kEnglish);
  EXPECT_EQ(text(CMainDlg::kAddPlot), "Add");
  EXPECT_EQ(text(CMainDlg::kOpen), "Open...");
  EXPECT_EQ(main.ControlAs<QGroupBox>(CMainDlg::kPlotsFrame)->title().toStdString(), "Plots");
  EXPECT_EQ(main.windowTitle().toStdString(), "Dialogue Editor[Typed] - " + temp_.File("inn.dlg"));
  // The version number is the document's, not the template's "0000".
  EXPECT_EQ(main.ControlAs<QLabel>(CMainDlg::kVersionNumber)->text(), QStringLiteral("0104"));
  EXPECT_EQ(main.ControlAs<QLabel>(CMainDlg::kVersionLabel)->text(), QStringLiteral("Ver.:"));
  Use(UiLanguage::kOriginal);
  EXPECT_EQ(text(CMainDlg::kAddPlot), "추가");
  EXPECT_EQ(main.windowTitle().toStdString(), "대사 편집기[Typed] - " + temp_.File("inn.dlg"));
  EXPECT_EQ(main.ControlAs<QLabel>(CMainDlg::kVersionLabel)->text(), QString::fromUtf8("버전 :"));
  EXPECT_TRUE(app_.prompts.records().empty());
}

// The context menu's Language item: the choice shows at once and is remembered.
TEST_F(Windows, LanguageItemAppliesAndRemembersTheChoice) {
  CMainDlg main(app_.context);
  main.InitDialog();
  OnNextDialog<CLanguageDlg>([](CLanguageDlg& dialog) {
    EXPECT_EQ(dialog.languageList()->currentItem()->text(),
              CLanguageDlg::LanguageName(UiLanguage::kOriginal));
    dialog.languageList()->setCurrentRow(0);
    dialog.ControlAs<QPushButton>(CLanguageDlg::kOk)->click();
  });
  main.RunSystemCommand(CMainDlg::kLanguageCommand);
  EXPECT_EQ(toolkit::CurrentUiLanguage(), UiLanguage::kEnglish);
  EXPECT_EQ(main.windowTitle(), QStringLiteral("Dialogue Editor[]"));
  EXPECT_EQ(app::SavedUiLanguage(), UiLanguage::kEnglish);
  EXPECT_EQ(app::StartupUiLanguage(""), UiLanguage::kEnglish);
  EXPECT_EQ(app::StartupUiLanguage("original"), UiLanguage::kOriginal);

  OnNextDialog<CLanguageDlg>([](CLanguageDlg& dialog) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Language"));
    dialog.languageList()->setCurrentRow(1);
    dialog.ControlAs<QPushButton>(CLanguageDlg::kOk)->click();
  });
  main.RunSystemCommand(CMainDlg::kLanguageCommand);
  EXPECT_EQ(toolkit::CurrentUiLanguage(), UiLanguage::kOriginal);
  EXPECT_EQ(main.windowTitle(), QString::fromUtf8("대사 편집기[]"));
  EXPECT_EQ(app::SavedUiLanguage(), UiLanguage::kOriginal);
}

// Qt's own texts (standard buttons) follow: the system locale's in the original language,
// Qt's English with the English interface.
TEST_F(Windows, QtsOwnTextsFollowTheLanguage) {
  Use(UiLanguage::kOriginal);
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("취소"));
  Use(UiLanguage::kEnglish);
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}

TEST(UiLanguageChoice, SystemLanguagesDecide) {
  using toolkit::LanguageForUiLanguages;
  auto of = [](std::initializer_list<const char*> names) {
    QStringList list;
    for (const char* name : names) list << QString::fromLatin1(name);
    return LanguageForUiLanguages(list);
  };
  EXPECT_EQ(of({"en"}), UiLanguage::kEnglish);
  EXPECT_EQ(of({"en-US", "ko-KR"}), UiLanguage::kEnglish);
  EXPECT_EQ(of({"en_GB"}), UiLanguage::kEnglish);
  EXPECT_EQ(of({"EN-au"}), UiLanguage::kEnglish);
  EXPECT_EQ(of({"ko-KR", "en-US"}), UiLanguage::kOriginal);
  EXPECT_EQ(of({"zh-CN"}), UiLanguage::kOriginal);
  EXPECT_EQ(of({"de-DE"}), UiLanguage::kOriginal);
  EXPECT_EQ(of({"C"}), UiLanguage::kOriginal);
  EXPECT_EQ(of({"POSIX"}), UiLanguage::kOriginal);
  EXPECT_EQ(of({"eo"}), UiLanguage::kOriginal);
  EXPECT_EQ(of({"enx"}), UiLanguage::kOriginal);
  EXPECT_EQ(of({}), UiLanguage::kOriginal);
}

TEST(UiLanguageChoice, LanguageOptionLeavesTheOtherArguments) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    std::string value;
    std::vector<std::string> rest;
  };
  const Case cases[] = {
      {{"parlatrix", "--language", "en", "a b.dlg"}, true, "en", {"parlatrix", "a b.dlg"}},
      {{"parlatrix", "x.dlg", "--language=original"}, true, "original", {"parlatrix", "x.dlg"}},
      {{"parlatrix", "--languages", "x.dlg"}, true, "", {"parlatrix", "--languages", "x.dlg"}},
      {{"parlatrix", "--language", "fr"}, false, "fr", {"parlatrix"}},
      {{"parlatrix", "--language"}, false, "", {"parlatrix"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> storage = c.args;
    std::vector<char*> argv;
    for (std::string& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(storage.size());
    std::string value, error;
    EXPECT_EQ(app::TakeLanguageOption(argc, argv.data(), value, error), c.ok) << c.args[1];
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(error.empty(), c.ok);
    EXPECT_EQ(std::vector<std::string>(argv.data(), argv.data() + argc), c.rest);
    EXPECT_EQ(argv[argc], nullptr);
  }
}

}  // namespace
