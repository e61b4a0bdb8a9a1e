#include "structure_notes.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "dlgfile/dlg_open.h"
#include "dlgfile/dlg_verify.h"
#include "output.h"

namespace dlgtool {

namespace {

constexpr size_t kNotesShown = 5;
constexpr size_t kFindingsListed = 1000;

// The whole file in memory, as the verifier wants it. False when it cannot be read.
bool ReadWholeFile(const std::string& path, std::unique_ptr<uint8_t[]>& bytes, size_t& size) {
  std::FILE* file = OpenRegularFileForReading(path.c_str());
  struct stat info;
  if (file == nullptr || fstat(fileno(file), &info) != 0) {
    if (file != nullptr) std::fclose(file);
    return false;
  }
  size = static_cast<size_t>(info.st_size);
  bytes.reset(new (std::nothrow) uint8_t[size > 0 ? size : 1]);
  if (bytes == nullptr) {
    std::fclose(file);
    return false;
  }
  // A file that shrank meanwhile is simply shorter.
  size = std::fread(bytes.get(), 1, size, file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return !failed;
}

std::string FormatFinding(const DlgFinding& finding) {
  std::string out;
  auto part = [&out](const char* name, int64_t value) {
    if (value < 0) return;
    out += (out.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(value);
  };
  part("offset", finding.offset);
  part("entry", finding.entry);
  part("ID", finding.id);
  return out.empty() ? finding.message : out + ": " + finding.message;
}

}  // namespace

StructureReport VerifyStructure(const std::string& path, size_t maxFindings) {
  StructureReport report;
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;
  if (!ReadWholeFile(path, bytes, size)) return report;
  report.opened = true;
  const DlgVerifyResult result = VerifyDlgBytes(bytes.get(), size, maxFindings);
  for (const DlgFinding& finding : result.findings) report.findings.push_back(FormatFinding(finding));
  report.truncated = result.truncated_findings;
  return report;
}

std::vector<std::string> StructureNotes(const std::string& path) {
  StructureReport report = VerifyStructure(path, kNotesShown + 1);
  if (report.findings.size() > kNotesShown || report.truncated) {
    report.findings.resize(kNotesShown);
    report.findings.push_back("and more; dlgtool check lists them all");
  }
  return report.findings;
}

size_t PrintStructureFindings(const std::string& path) {
  const StructureReport report = VerifyStructure(path, kFindingsListed);
  std::string out;
  for (const std::string& finding : report.findings) out += path + ": " + finding + "\n";
  if (report.truncated) out += path + ": more structural problems, not listed\n";
  PrintResult(out);
  return report.findings.size() + (report.truncated ? 1 : 0);
}

}  // namespace dlgtool
