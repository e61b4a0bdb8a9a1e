#include "structure_notes.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>

#include "platform/file_read.h"
#include "dlgfile/dlg_verify.h"
#include "output.h"

namespace dlgtool {

namespace {

constexpr size_t kNotesShown = 5;
constexpr size_t kFindingsListed = 1000;

// The whole file, mapped read-only: the verifier wants all of it, and a mapping costs no copy.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path) {
    std::FILE* file = platform::OpenRegularFileForReading(path.c_str());
    if (file == nullptr) return;
    struct stat info;
    if (fstat(fileno(file), &info) == 0) {
      opened_ = true;
      size_ = static_cast<size_t>(info.st_size);
      if (size_ > 0) {
        void* map = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fileno(file), 0);
        opened_ = map != MAP_FAILED;
        if (opened_) bytes_ = static_cast<const uint8_t*>(map);
      }
    }
    std::fclose(file);
  }
  ~MappedFile() {
    if (bytes_ != nullptr) munmap(const_cast<uint8_t*>(bytes_), size_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool opened() const { return opened_; }
  const uint8_t* bytes() const { return bytes_ != nullptr ? bytes_ : &empty_; }
  size_t size() const { return size_; }

 private:
  bool opened_ = false;
  const uint8_t* bytes_ = nullptr;
  size_t size_ = 0;
  uint8_t empty_ = 0;
};

}  // namespace

std::string FormatStructureFinding(const DlgFinding& finding) {
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


StructureReport VerifyStructure(const std::string& path, size_t maxFindings) {
  StructureReport report;
  const MappedFile file(path);
  if (!file.opened()) return report;
  report.opened = true;
  const DlgVerifyResult result = VerifyDlgBytes(file.bytes(), file.size(), maxFindings);
  for (const DlgFinding& finding : result.findings) report.findings.push_back(FormatStructureFinding(finding));
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
