// The main window's Import and Export when memory runs out: every allocation of the command is
// made to fail in turn (failing_new.h). Each run either does what the command does without a
// fault, or shows the command's failure message with "out of memory" as the reason, with the
// document exactly as it was (an import's partial changes put back) and the target of an export
// as it was; the window lives on and the next run uses it again.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "app/main_dlg.h"
#include "failing_new.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "support/ui/main_window_test.h"
#include "toolkit/scoped_codeset.h"

namespace {

class EditorOutOfMemory : public MainWindowTest {
 protected:
  EditorOutOfMemory() : codeset_("UTF-8") {
    SaveTestDocument(
        path_, "데모",
        {{"장면", 0, 100, {{"민수", "웃음", "a.wav", "안녕"}, {"", "", "", "one\r\ntwo"}}},
         {"第二幕", 100, 200, {{"李", "", "", "你好"}}}},
        1);
  }

  // The window as the user opens it on the demo document, once per run.
  CMainDlg& Reopen() {
    dialog_.reset();
    return Open(path_);
  }

  // Runs `command` on a fresh window with the nth allocation failing; false when the fault lay
  // beyond the allocations the command made. `done` is the command's result.
  template <class Command>
  bool RunWithFault(long n, const std::string& path, Command command, bool& done) {
    CMainDlg& dialog = Reopen();
    dialog.SetImportPath(path);
    dialog.SetExportPath(path);
    shownBefore_ = app_.prompts.records().size();
    oomtest::ArmFailingNew(n);
    bool escaped = false;
    try {
      done = command(dialog);
    } catch (const std::bad_alloc&) {
      escaped = true;
    }
    const long made = oomtest::DisarmFailingNew();
    EXPECT_FALSE(escaped) << "allocation " << n << ": out of memory left the window";
    return n <= made;
  }

  // After a failed run: the failure message with "out of memory" as its reason. Only when the
  // failing allocation was the message's own is there none (counted in `silent`).
  void ExpectOutOfMemoryMessage(long n, const std::string& text, int& silent) {
    const auto& records = app_.prompts.records();
    if (records.size() == shownBefore_) {
      ++silent;
      return;
    }
    ASSERT_EQ(records.size(), shownBefore_ + 1) << "allocation " << n;
    EXPECT_EQ(records.back().text, text) << "allocation " << n;
    EXPECT_NE(records.back().detail.find("out of memory"), std::string::npos)
        << "allocation " << n << ": " << records.back().detail;
  }

  ScopedCodeset codeset_;
  const std::string path_ = temp_.File("demo.dlg");
  size_t shownBefore_ = 0;
};

TEST_F(EditorOutOfMemory, ImportAppliesEverythingOrNothing) {
  const struct {
    const char* name;
    const char* bytes;
  } files[] = {
      {"ko.po",
       "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
       "msgctxt \"0\"\nmsgid \"안녕\"\nmsgstr \"반가워\"\n\n"
       "msgctxt \"1\"\nmsgid \"one\\r\\ntwo\"\nmsgstr \"하나\\r\\n둘\"\n\n"
       "msgctxt \"100\"\nmsgid \"你好\"\nmsgstr \"您好\"\n"},
      {"ko.xlf",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">\n"
       "<file original=\"demo.dlg\" source-language=\"ko\" target-language=\"en\" "
       "datatype=\"plaintext\"><body>\n"
       "<trans-unit id=\"0\"><source>안녕</source><target>hello</target></trans-unit>\n"
       "<trans-unit id=\"100\"><source>你好</source><target>hi</target></trans-unit>\n"
       "</body></file></xliff>\n"},
      {"ko.csv", "ID,source,target\r\n0,안녕,반가워\r\n1,\"one\r\ntwo\",\"하나\r\n둘\"\r\n"},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const std::string path = temp_.File(file.name);
    WriteFileBytes(path, file.bytes);
    const auto import = [](CMainDlg& dialog) { return dialog.ImportText(); };
    CMainDlg& clean = Reopen();
    clean.SetImportPath(path);
    const std::string before = DocumentDump(app_.document);
    ASSERT_TRUE(import(clean));
    const std::string imported = DocumentDump(app_.document);
    ASSERT_NE(imported, before);
    int refused = 0;
    int silent = 0;
    bool done = false;
    for (long n = 1; RunWithFault(n, path, import, done); ++n) {
      const std::string now = DocumentDump(app_.document);
      if (done) {
        EXPECT_EQ(now, imported) << "allocation " << n;
        continue;
      }
      ++refused;
      EXPECT_EQ(now, before) << "allocation " << n;
      ExpectOutOfMemoryMessage(n, "导入文本文件错误(" + path + ")!", silent);
      EXPECT_FALSE(dialog_->modified()) << "allocation " << n;
    }
    EXPECT_TRUE(done);  // the run whose fault lay beyond the import
    EXPECT_GT(refused, 2 * silent);
  }
}

TEST_F(EditorOutOfMemory, ExportWritesTheWholeFileOrNone) {
  for (const char* name : {"out.po", "out.xlf", "out.csv"}) {
    SCOPED_TRACE(name);
    const std::string path = temp_.File(name);
    const auto exportFile = [](CMainDlg& dialog) { return dialog.ExportText(); };
    Reopen().SetExportPath(path);
    ASSERT_TRUE(exportFile(*dialog_));
    const std::string whole = ReadFileBytes(path);
    const std::string document = DocumentDump(app_.document);
    int refused = 0;
    int silent = 0;
    bool done = false;
    for (long n = 1;; ++n) {
      WriteFileBytes(path, "old\n");
      if (!RunWithFault(n, path, exportFile, done)) break;
      EXPECT_EQ(DocumentDump(app_.document), document) << "allocation " << n;
      if (done) {
        EXPECT_EQ(ReadFileBytes(path), whole) << "allocation " << n;
        continue;
      }
      ++refused;
      ExpectOutOfMemoryMessage(n, "导出文本文件错误(" + path + ")!", silent);
      // Whole, or as it was; whole only when the message says so.
      const std::string after = ReadFileBytes(path);
      const bool saysWritten =
          app_.prompts.records().size() > shownBefore_ &&
          app_.prompts.records().back().detail.find("was written") != std::string::npos;
      EXPECT_EQ(after, saysWritten ? whole : std::string("old\n")) << "allocation " << n;
    }
    EXPECT_TRUE(done);
    EXPECT_EQ(ReadFileBytes(path), whole);
    EXPECT_GT(refused, 2 * silent);
  }
}

}  // namespace
